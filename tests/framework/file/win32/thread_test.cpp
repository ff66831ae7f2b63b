#include "framework/file/win32/thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "tools/automation/win32/process.h"

namespace {

constexpr DWORD kNoThread = static_cast<DWORD>(-1);
constexpr DWORD kBound = 10000;  // every wait in these tests ends by then

// A thread whose work is given as a function of the thread itself.
class LambdaThread : public CThread {
public:
    explicit LambdaThread(std::function<void(LambdaThread&)> body = {}) : body_(std::move(body)) {}
    ~LambdaThread() override { Stop(); }
    void SetBody(std::function<void(LambdaThread&)> body) { body_ = std::move(body); }
    void Run() override {
        if (body_) body_(*this);
    }

private:
    std::function<void(LambdaThread&)> body_;
};

TEST(Thread, SleepOfZeroReturnsAtOnce) {
    LambdaThread idle;
    EXPECT_EQ(idle.Sleep(0), 0u);
    std::atomic<DWORD> result{12345};
    LambdaThread worker([&](LambdaThread& self) { result = self.Sleep(0); });
    ASSERT_TRUE(worker.Start());
    worker.Stop();
    EXPECT_EQ(result.load(), 0u);
}

TEST(Thread, SleepRunsOutWhenNobodyStops) {
    std::atomic<DWORD> result{12345};
    LambdaThread worker([&](LambdaThread& self) { result = self.Sleep(20); });
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitUntil([&] { return result.load() != 12345; }, kBound));
    EXPECT_EQ(result.load(), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Thread, SleepEndsEarlyWhenStopIsCalledFromAnotherThread) {
    std::atomic<bool> sleeping{false};
    std::atomic<DWORD> result{12345};
    LambdaThread worker([&](LambdaThread& self) {
        sleeping = true;
        // Far longer than the test's bound: only the stop request ends it.
        result = self.Sleep(60000);
    });
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return sleeping.load(); }, kBound));
    Sleep(20);  // let the worker reach its wait
    ASSERT_TRUE(FinishesWithin([&] { worker.Stop(); }, kBound));
    EXPECT_EQ(result.load(), 0u);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.ThreadId(), kNoThread);
}

TEST(Thread, StopOnAnIdleThreadOnlyClearsTheFlag) {
    // A fresh object, and one whose thread has been reaped: Stop leaves no
    // stop request behind, so the next thread's Sleep runs its full time.
    std::atomic<DWORD> result{12345};
    LambdaThread thread;
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.ThreadId(), kNoThread);

    ASSERT_TRUE(thread.Start());
    thread.Stop();
    EXPECT_EQ(thread.ThreadId(), kNoThread);
    thread.Stop();
    EXPECT_EQ(thread.ThreadId(), kNoThread);

    thread.SetBody([&](LambdaThread& self) { result = self.Sleep(30); });
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return result.load() != 12345; }, kBound));
    EXPECT_EQ(result.load(), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Thread, StartOnABusyObjectReapsTheOldThreadFirst) {
    std::atomic<int> ended{0};
    std::atomic<int> begun{0};
    // The worker never sleeps, so the stop request of the reaping stays
    // signalled: the new thread's first Sleep must still run its time.
    std::atomic<DWORD> firstSleep{12345};
    LambdaThread thread([&](LambdaThread& self) {
        int generation = ++begun;
        if (generation == 2) firstSleep = self.Sleep(30);
        while (self.IsRunning()) SwitchToThread();
        ++ended;
    });
    ASSERT_TRUE(thread.Start());
    DWORD firstId = thread.ThreadId();
    EXPECT_NE(firstId, kNoThread);
    ASSERT_TRUE(FinishesWithin([&] { thread.Start(); }, kBound));
    EXPECT_EQ(ended.load(), 1);  // the old thread ended before the new began
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_NE(thread.ThreadId(), kNoThread);
    ASSERT_TRUE(WaitUntil([&] { return begun.load() == 2; }, kBound));
    ASSERT_TRUE(WaitUntil([&] { return firstSleep.load() != 12345; }, kBound));
    EXPECT_EQ(firstSleep.load(), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(FinishesWithin([&] { thread.Stop(); }, kBound));
    EXPECT_EQ(ended.load(), 2);
}

TEST(Thread, StopCalledOnTheWorkerItselfDoesNotWait) {
    struct Case {
        const char* name;
        bool ownerStopsFirst;  // the owner is inside Stop, holding its lock
    };
    const Case cases[] = {{"worker alone", false}, {"owner waiting in Stop", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> returned{false};
        std::atomic<bool> runningAfter{true};
        auto* thread = new LambdaThread([&, c](LambdaThread& self) {
            if (c.ownerStopsFirst) {
                while (self.IsRunning()) SwitchToThread();
                Sleep(20);  // the owner now holds the lock and waits on us
            }
            self.Stop();
            runningAfter = self.IsRunning();
            returned = true;
        });
        ASSERT_TRUE(thread->Start());
        if (c.ownerStopsFirst) {
            bool ended = FinishesWithin([thread] { thread->Stop(); }, kBound);
            EXPECT_TRUE(ended);
            if (!ended) continue;  // deadlocked: leave the object behind
        } else {
            ASSERT_TRUE(WaitUntil([&] { return returned.load(); }, kBound));
        }
        EXPECT_TRUE(returned.load());
        EXPECT_FALSE(runningAfter.load());
        delete thread;
    }
}

TEST(Thread, PriorityAndSuspensionReachTheThread) {
    std::atomic<bool> release{false};
    LambdaThread thread([&](LambdaThread& self) {
        while (!release && self.IsRunning()) ::Sleep(1);
    });
    EXPECT_FALSE(thread.SetPriority(THREAD_PRIORITY_TIME_CRITICAL));  // no thread yet
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.SetPriority(THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(thread.GetPriority(), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_TRUE(thread.SetPriority(THREAD_PRIORITY_BELOW_NORMAL));
    EXPECT_EQ(thread.GetPriority(), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(thread.Suspend(), 0u);
    EXPECT_EQ(thread.Suspend(), 1u);
    EXPECT_EQ(thread.Resume(), 2u);
    EXPECT_EQ(thread.Resume(), 1u);
    release = true;
    ASSERT_TRUE(FinishesWithin([&] { thread.Stop(); }, kBound));
}

TEST(Thread, AThreadWhoseRunReturnedKeepsItsIdUntilReaped) {
    std::atomic<bool> ran{false};
    LambdaThread thread([&](LambdaThread&) { ran = true; });
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(WaitUntil([&] { return ran.load(); }, kBound));
    Sleep(20);
    EXPECT_NE(thread.ThreadId(), kNoThread);
    EXPECT_TRUE(thread.IsRunning());
    thread.Stop();
    EXPECT_EQ(thread.ThreadId(), kNoThread);
}

TEST(Thread, WaitForEndAndRequestStop) {
    LambdaThread never;
    EXPECT_EQ(never.WaitForEnd(kBound), static_cast<DWORD>(WAIT_OBJECT_0)) << "no thread started";

    // A worker that sleeps until asked to stop: the wait times out while it
    // runs and ends once RequestStop (which does not wait) reached it.
    std::atomic<DWORD> slept{12345};
    std::atomic<DWORD> waitOnWorker{0};
    LambdaThread worker([&](LambdaThread& self) {
        waitOnWorker = self.WaitForEnd(0);
        slept = self.Sleep(kBound);
    });
    ASSERT_TRUE(worker.Start());
    EXPECT_EQ(worker.WaitForEnd(50), static_cast<DWORD>(WAIT_TIMEOUT));
    worker.RequestStop();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.WaitForEnd(kBound), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(slept.load(), 0u) << "the stop request ended the sleep";
    EXPECT_EQ(waitOnWorker.load(), static_cast<DWORD>(WAIT_FAILED))
        << "the worker cannot wait for itself";

    // With a wake mask a message for the waiting thread ends the wait.
    LambdaThread sleeper([](LambdaThread& self) { self.Sleep(kBound); });
    ASSERT_TRUE(sleeper.Start());
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(sleeper.WaitForEnd(kBound, QS_POSTMESSAGE), static_cast<DWORD>(WAIT_OBJECT_0 + 1));
    MSG message;
    PeekMessageA(&message, nullptr, WM_APP, WM_APP, PM_REMOVE);
    sleeper.Stop();
}

}  // namespace
