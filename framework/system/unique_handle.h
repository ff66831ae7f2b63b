// Owners for Win32 handles: one small template, then one line per handle
// kind. Nothing outside these owners closes a handle.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

template <typename T, typename Close, T Invalid>
class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : value_(value) {}
    ~unique_any() { reset(); }

    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    bool valid() const { return value_ != Invalid; }
    explicit operator bool() const { return valid(); }

    // Closes the held handle (if any) and takes `value`.
    void reset(T value = Invalid) {
        if (value_ != Invalid) Close()(value_);
        value_ = value;
    }
    // Gives up ownership without closing.
    T release() { return std::exchange(value_, Invalid); }
    // For Win32 calls that return a handle through an out-parameter.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid;
};

namespace handle_close {
struct Kernel { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct Find { void operator()(HANDLE h) const { ::FindClose(h); } };
struct Key { void operator()(HKEY k) const { ::RegCloseKey(k); } };
struct Gdi { void operator()(HGDIOBJ o) const { ::DeleteObject(o); } };
struct MemoryDc { void operator()(HDC dc) const { ::DeleteDC(dc); } };
struct Library { void operator()(HMODULE m) const { ::FreeLibrary(m); } };
}  // namespace handle_close


using unique_handle = unique_any<HANDLE, handle_close::Kernel, nullptr>;
using unique_hkey = unique_any<HKEY, handle_close::Key, nullptr>;
using unique_hgdiobj = unique_any<HGDIOBJ, handle_close::Gdi, nullptr>;
using unique_hdc = unique_any<HDC, handle_close::MemoryDc, nullptr>;
using unique_hmodule = unique_any<HMODULE, handle_close::Library, nullptr>;

// INVALID_HANDLE_VALUE is not a constant expression, so file and search
// handles get an owner of their own with the same shape.
template <typename Close>
class unique_invalid_handle {
public:
    unique_invalid_handle() = default;
    explicit unique_invalid_handle(HANDLE h) : h_(h) {}
    ~unique_invalid_handle() { reset(); }
    unique_invalid_handle(const unique_invalid_handle&) = delete;
    unique_invalid_handle& operator=(const unique_invalid_handle&) = delete;
    unique_invalid_handle(unique_invalid_handle&& o) noexcept : h_(o.release()) {}
    unique_invalid_handle& operator=(unique_invalid_handle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }

    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    explicit operator bool() const { return valid(); }
    void reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (valid()) Close()(h_);
        h_ = h;
    }
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

using unique_hfile = unique_invalid_handle<handle_close::Kernel>;
using unique_hfind = unique_invalid_handle<handle_close::Find>;

// A COM interface pointer, released on destruction.
template <typename I>
class com_ptr {
public:
    com_ptr() = default;
    ~com_ptr() { reset(); }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    void** put_void() {
        reset();
        return reinterpret_cast<void**>(&p_);
    }

private:
    I* p_ = nullptr;
};
