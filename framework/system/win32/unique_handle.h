// Owners for Win32 handles: one small template over a traits type, then one
// line per handle kind. Nothing outside these owners closes a handle.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

// Traits: `type`, `invalid()` (the empty value), `is_valid(v)` and
// `close(v)`. Copy is deleted, move hands the handle over.
template <typename Traits>
class unique_any_t {
public:
    using pointer = typename Traits::type;

    unique_any_t() = default;
    explicit unique_any_t(pointer value) : value_(value) {}
    ~unique_any_t() { reset(); }

    unique_any_t(const unique_any_t&) = delete;
    unique_any_t& operator=(const unique_any_t&) = delete;
    unique_any_t(unique_any_t&& other) noexcept : value_(other.release()) {}
    unique_any_t& operator=(unique_any_t&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    pointer get() const { return value_; }
    bool valid() const { return Traits::is_valid(value_); }
    explicit operator bool() const { return valid(); }

    // Closes the held handle (if any) and takes `value`.
    void reset(pointer value = Traits::invalid()) {
        if (Traits::is_valid(value_)) Traits::close(value_);
        value_ = value;
    }
    // Gives up ownership without closing.
    pointer release() { return std::exchange(value_, Traits::invalid()); }
    // For Win32 calls that return a handle through an out-parameter.
    pointer* put() {
        reset();
        return &value_;
    }

private:
    pointer value_ = Traits::invalid();
};

// The common form: the empty value is a constant and the only invalid one.
template <typename T, typename Close, T Invalid>
struct handle_traits {
    using type = T;
    static constexpr T invalid() { return Invalid; }
    static bool is_valid(T value) { return value != Invalid; }
    static void close(T value) { Close()(value); }
};

template <typename T, typename Close, T Invalid>
using unique_any = unique_any_t<handle_traits<T, Close, Invalid>>;

namespace handle_close {
struct Kernel { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct Find { void operator()(HANDLE h) const { ::FindClose(h); } };
struct Key { void operator()(HKEY k) const { ::RegCloseKey(k); } };
struct Gdi { void operator()(HGDIOBJ o) const { ::DeleteObject(o); } };
struct MemoryDc { void operator()(HDC dc) const { ::DeleteDC(dc); } };
struct Library { void operator()(HMODULE m) const { ::FreeLibrary(m); } };
struct Local { void operator()(HLOCAL m) const { ::LocalFree(m); } };
struct TaskMemory { void operator()(void* p) const { ::CoTaskMemFree(p); } };
}  // namespace handle_close

// File and search handles: empty is INVALID_HANDLE_VALUE (not a constant
// expression); a null handle is not closed either.
template <typename Close>
struct invalid_value_traits {
    using type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static bool is_valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(HANDLE h) { Close()(h); }
};

using unique_handle = unique_any<HANDLE, handle_close::Kernel, nullptr>;
using unique_hkey = unique_any<HKEY, handle_close::Key, nullptr>;
using unique_hgdiobj = unique_any<HGDIOBJ, handle_close::Gdi, nullptr>;
using unique_hdc = unique_any<HDC, handle_close::MemoryDc, nullptr>;
using unique_hmodule = unique_any<HMODULE, handle_close::Library, nullptr>;
using unique_hlocal = unique_any<HLOCAL, handle_close::Local, nullptr>;  // LocalAlloc'd memory
using unique_cotaskmem = unique_any<void*, handle_close::TaskMemory, nullptr>;  // CoTaskMemAlloc'd
using unique_hfile = unique_any_t<invalid_value_traits<handle_close::Kernel>>;
using unique_hfind = unique_any_t<invalid_value_traits<handle_close::Find>>;

// A window's device context (GetDC), given back to that window (ReleaseDC).
class unique_window_dc {
public:
    unique_window_dc() = default;
    explicit unique_window_dc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~unique_window_dc() { reset(); }

    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;
    unique_window_dc(unique_window_dc&& other) noexcept
        : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
    unique_window_dc& operator=(unique_window_dc&& other) noexcept {
        if (this != &other) {
            reset();
            window_ = other.window_;
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void reset() {
        if (dc_) ::ReleaseDC(window_, dc_);
        dc_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// Selects an object into a device context and puts the previous one back.
class select_object_scope {
public:
    select_object_scope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc ? ::SelectObject(dc, object) : nullptr) {}
    ~select_object_scope() {
        if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }
    select_object_scope(const select_object_scope&) = delete;
    select_object_scope& operator=(const select_object_scope&) = delete;

    // False when the object could not be selected.
    explicit operator bool() const { return previous_ && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A COM interface pointer, released on destruction; movable, not copyable.
template <typename I>
class com_ptr {
public:
    com_ptr() = default;
    explicit com_ptr(I* p) : p_(p) {}
    ~com_ptr() { reset(); }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    com_ptr(com_ptr&& other) noexcept : p_(other.detach()) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other) reset(other.detach());
        return *this;
    }

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset(I* p = nullptr) {
        if (p_) p_->Release();
        p_ = p;
    }
    // Gives up the reference without releasing it.
    I* detach() { return std::exchange(p_, nullptr); }
    I** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    I* p_ = nullptr;
};
