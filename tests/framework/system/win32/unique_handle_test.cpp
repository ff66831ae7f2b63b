#include "framework/system/win32/unique_handle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool IsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

// A duplicate of the current process handle: a real handle to close.
HANDLE Duplicate() {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return copy;
}

TEST(UniqueHandle, FileOwnerFillsThroughPutClosesOnResetAndMovesOwnership) {
    unique_hfile file;
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), file.put(), 0,
                                FALSE, DUPLICATE_SAME_ACCESS));
    const HANDLE raw = file.get();
    EXPECT_TRUE(file && IsOpen(raw));

    unique_hfile moved(std::move(file));
    EXPECT_FALSE(file);
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(moved.get(), raw);
    EXPECT_TRUE(IsOpen(raw));

    *moved.put() = Duplicate();  // put() closes what was held first
    EXPECT_FALSE(IsOpen(raw));
    const HANDLE second = moved.get();
    moved.reset();
    EXPECT_FALSE(IsOpen(second));
    EXPECT_EQ(moved.get(), INVALID_HANDLE_VALUE);
}

TEST(UniqueHandle, KernelOwnerReleaseKeepsTheHandleOpen) {
    unique_handle owner(Duplicate());
    HANDLE raw = owner.release();
    EXPECT_FALSE(owner);
    owner.reset();
    EXPECT_TRUE(IsOpen(raw));
    { const unique_handle closing(raw); }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueHandle, SelectObjectScopePutsThePreviousObjectBack) {
    const unique_window_dc screen(nullptr);
    ASSERT_TRUE(screen);
    const unique_hdc memory(CreateCompatibleDC(screen.get()));
    const unique_hgdiobj bitmap(CreateCompatibleBitmap(screen.get(), 4, 4));
    ASSERT_TRUE(memory && bitmap);
    const HGDIOBJ original = GetCurrentObject(memory.get(), OBJ_BITMAP);
    {
        const select_object_scope selected(memory.get(), bitmap.get());
        EXPECT_TRUE(selected);
        EXPECT_EQ(GetCurrentObject(memory.get(), OBJ_BITMAP), bitmap.get());
    }
    EXPECT_EQ(GetCurrentObject(memory.get(), OBJ_BITMAP), original);
}

// Counts the references released through it.
struct CountedUnknown : IUnknown {
    int releases = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++releases); }
};

TEST(UniqueHandle, ComPointerMovesItsReferenceAndReleasesItOnce) {
    CountedUnknown first, second;
    {
        com_ptr<IUnknown> a(&first);
        com_ptr<IUnknown> b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), &first);
        com_ptr<IUnknown> c(&second);
        c = std::move(b);  // gives up `second`, takes `first`
        EXPECT_EQ(second.releases, 1);
        EXPECT_EQ(first.releases, 0);
        *c.put() = &second;  // put() releases `first` before the call fills it
        EXPECT_EQ(first.releases, 1);
    }
    EXPECT_EQ(first.releases, 1);
    EXPECT_EQ(second.releases, 2);
}

}  // namespace
