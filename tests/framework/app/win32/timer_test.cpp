#include "framework/app/win32/timer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/automation/win32/process.h"
#include "tools/automation/win32/scratch.h"

namespace {

// Counts the multimedia timer calls and serves a settable clock.
struct FakeTimerSystem {
    static std::vector<std::string> calls;
    static DWORD now;
    static UINT periodMin;

    static MMRESULT WINAPI GetDevCaps(LPTIMECAPS caps, UINT size) {
        calls.push_back("caps:" + std::to_string(size));
        caps->wPeriodMin = periodMin;
        caps->wPeriodMax = 1000000;
        return TIMERR_NOERROR;
    }
    static MMRESULT WINAPI BeginPeriod(UINT period) {
        calls.push_back("begin:" + std::to_string(period));
        return TIMERR_NOERROR;
    }
    static MMRESULT WINAPI EndPeriod(UINT period) {
        calls.push_back("end:" + std::to_string(period));
        return TIMERR_NOERROR;
    }
    static DWORD WINAPI GetTime() { return now; }
};
std::vector<std::string> FakeTimerSystem::calls;
DWORD FakeTimerSystem::now = 0;
UINT FakeTimerSystem::periodMin = 1;

const TimerSystemCalls kFake = {&FakeTimerSystem::GetDevCaps, &FakeTimerSystem::BeginPeriod,
                                &FakeTimerSystem::EndPeriod, &FakeTimerSystem::GetTime};

// The period the process timer raised the resolution to, before any fake.
UINT SystemPeriodMin() {
    TIMECAPS caps = {};
    timeGetDevCaps(&caps, sizeof caps);
    return caps.wPeriodMin;
}

class TimerTest : public testing::Test {
protected:
    void SetUp() override {
        FakeTimerSystem::calls.clear();
        FakeTimerSystem::now = 0;
        SetTimerSystemCalls(&kFake);
    }
    void TearDown() override { SetTimerSystemCalls(nullptr); }
};

TEST_F(TimerTest, TheProcessTimerHoldsTheResolutionSoOtherTimersOnlyCount) {
    ASSERT_EQ(1, TimerUsers) << "only the process timer exists at the start";
    {
        CTimer a;
        EXPECT_EQ(2, TimerUsers);
        auto b = std::make_unique<CTimer>();
        EXPECT_EQ(3, TimerUsers);
        b.reset();
        EXPECT_EQ(2, TimerUsers);
    }
    EXPECT_EQ(1, TimerUsers);
    EXPECT_TRUE(FakeTimerSystem::calls.empty()) << "the resolution was raised once, at start";
}

TEST_F(TimerTest, TheResolutionFollowsTheFirstAndLastUser) {
    // Lets the process timer go so that the count falls to zero, then joins
    // again; it ends joined, as it started.
    struct Step {
        const char* action;
        UINT periodMin;
        int users;
        std::vector<std::string> calls;
    } steps[] = {
        {"end", 1, 0, {"end:" + std::to_string(SystemPeriodMin())}},
        {"begin", 4, 1, {"caps:8", "begin:4"}},
        {"begin", 9, 2, {}},
        {"end", 9, 1, {}},
        {"end", 9, 0, {"end:4"}},
        {"end", 9, 0, {}},  // an unmatched End changes nothing
        {"begin", 1, 1, {"caps:8", "begin:1"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.action);
        FakeTimerSystem::calls.clear();
        FakeTimerSystem::periodMin = step.periodMin;
        if (std::string(step.action) == "end") {
            ProcessTimer.End();
        } else {
            ProcessTimer.Begin();
        }
        EXPECT_EQ(step.users, TimerUsers);
        EXPECT_EQ(step.calls, FakeTimerSystem::calls);
    }
}

TEST_F(TimerTest, ElapsedCountsFromTheStartAndWraps) {
    CTimer timer;
    struct Step {
        DWORD now;
        bool restart;
        DWORD elapsed;
    } steps[] = {
        {500, false, 500},             // started at 0 by construction
        {1000, true, 0},               // restart at 1000
        {1250, false, 250},
        {0xFFFFFFF0u, true, 0},
        {0x10, false, 0x20},           // the clock wrapped
    };
    for (const Step& step : steps) {
        FakeTimerSystem::now = step.now;
        if (step.restart) {
            EXPECT_EQ(step.now, timer.Restart());
        }
        EXPECT_EQ(step.elapsed, timer.Elapsed());
    }
    timer.Reset();
    FakeTimerSystem::now = 77;
    EXPECT_EQ(77u, timer.Elapsed());
}

TEST(TimerLock, HeldAcrossStaticInitialisationItStillExcludes) {
    // A timer may be used by statics constructed before those of the timer's
    // own file; the lock must already work then and stay the same lock.
    DWORD code = 0;
    ASSERT_TRUE(RunProcess(L"\"" + TestProgramPath(L"timer_lock_probe.exe") + L"\"", 30000, &code));
    EXPECT_NE(code, 2u) << "the probe could not hold the lock during static initialisation";
    EXPECT_EQ(code, 0u) << "a second Begin got in while the first held the lock";
}

}  // namespace
