#include "framework/file/win32/event.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

TEST(Event, RemembersTheLastSetOrReset) {
    CAutoResetEvent autoReset;
    CManualResetEvent manualReset;
    for (CEvent* event : {static_cast<CEvent*>(&autoReset), static_cast<CEvent*>(&manualReset)}) {
        ASSERT_NE(event->Handle(), nullptr);
        EXPECT_FALSE(event->IsSet());
        event->Set();
        EXPECT_TRUE(event->IsSet());
        event->Reset();
        EXPECT_FALSE(event->IsSet());
        EXPECT_EQ(event->Wait(10), static_cast<DWORD>(WAIT_TIMEOUT));
    }
}

TEST(Event, AutoResetWaitConsumesTheSignalButNotTheState) {
    CAutoResetEvent event;
    event.Set();
    EXPECT_EQ(event.Wait(10), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(event.Wait(10), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(event.IsSet());
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    CManualResetEvent event;
    event.Set();
    EXPECT_EQ(event.Wait(10), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(event.Wait(10), static_cast<DWORD>(WAIT_OBJECT_0));
    event.Reset();
    EXPECT_EQ(event.Wait(10), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, WaitOfZeroWaitsWithoutLimit) {
    // Another thread sets the event after a while; a zero wait that timed out
    // at once would return WAIT_TIMEOUT.
    CManualResetEvent event;
    std::thread setter([&] {
        Sleep(100);
        event.Set();
    });
    EXPECT_EQ(event.Wait(0), static_cast<DWORD>(WAIT_OBJECT_0));
    setter.join();
}

TEST(Event, DestructionClosesTheHandle) {
    auto event = std::make_unique<CManualResetEvent>();
    HANDLE handle = event->Handle();
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(handle, &flags));
    event.reset();
    EXPECT_FALSE(GetHandleInformation(handle, &flags));
}

}  // namespace
