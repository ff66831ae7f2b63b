#include "framework/file/win32/lock.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "framework/system/win32/unique_handle.h"

namespace {

// Whether another thread can take `lock` at this moment (it gives it back).
bool FreeForOtherThreads(CLock& lock) {
    bool taken = false;
    std::thread other([&] {
        taken = lock.TryEnter();
        if (taken) lock.Leave();
    });
    other.join();
    return taken;
}

TEST(Lock, OwnerMayEnterAgainAndMustLeaveAsOften) {
    CLock lock;
    lock.Enter();
    lock.Enter();
    EXPECT_TRUE(lock.TryEnter());  // the owner's TryEnter succeeds
    lock.Leave();
    lock.Leave();
    EXPECT_FALSE(FreeForOtherThreads(lock));
    lock.Leave();
    EXPECT_TRUE(FreeForOtherThreads(lock));
}

TEST(Lock, TryEnterNeverBlocksOnALockHeldElsewhere) {
    CLock lock;
    const unique_handle held(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const unique_handle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        lock.Enter();
        SetEvent(held.get());
        WaitForSingleObject(release.get(), 10000);
        lock.Leave();
    });
    ASSERT_EQ(WaitForSingleObject(held.get(), 10000), WAIT_OBJECT_0);
    // A blocking TryEnter would sit here until the holder's 10 s ran out.
    EXPECT_FALSE(lock.TryEnter());
    SetEvent(release.get());
    holder.join();
    EXPECT_TRUE(lock.TryEnter());
    lock.Leave();
}

TEST(Lock, ScopeHoldsTheLockUntilItEnds) {
    CLock lock;
    {
        CLockScope hold(lock);
        EXPECT_FALSE(FreeForOtherThreads(lock));
    }
    EXPECT_TRUE(FreeForOtherThreads(lock));
}

}  // namespace
