#include "framework/app/win32/thread_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "framework/app/win32/app_instance.h"
#include "framework/app/win32/application.h"
#include "framework/system/win32/owner_window.h"
#include "tests/framework/app/win32/app_test_util.h"

namespace {

CAppInstance g_instance(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);

class CountingTask : public CTask {
public:
    void Main() override { ++runs; }
    int runs = 0;
};

// Constructed during static initialisation of this program, as any static of
// a program on the framework may be: the registry must exist already, and
// must not be constructed again (which would lose this entry) afterwards.
CountingTask g_staticTask;

TEST(ThreadRegistry, ExistsBeforeTheProgramsOwnStatics) {
    ThreadContext context = {};
    ASSERT_TRUE(TheThreadRegistry.GetContext(&context));
    EXPECT_EQ(&g_staticTask, context.task);
    EXPECT_EQ(nullptr, context.application);
    EXPECT_EQ(nullptr, g_staticTask.Application());
}

// Runs `body` on a new thread, which starts without a registry entry.
template <typename Body>
void OnNewThread(Body body) {
    std::thread thread(body);
    thread.join();
}

ThreadContext ContextOfThisThread(bool* found) {
    ThreadContext context = {};
    *found = TheThreadRegistry.GetContext(&context);
    return context;
}

TEST(ThreadRegistry, ThreadsWithoutAnEntryHaveNoApplicationOrWindow) {
    EXPECT_EQ(nullptr, TheThreadRegistry.GetApplication());
    EXPECT_EQ(nullptr, TheThreadRegistry.GetHwnd());
    EXPECT_EQ(nullptr, OwnerWindowOfThisThread());
    std::vector<std::string> log;
    RecordingHandler handler("h", &log);
    OnNewThread([&] {
        EXPECT_EQ(nullptr, TheThreadRegistry.GetApplication());
        EXPECT_FALSE(TheThreadRegistry.AddHandler(&handler));
        EXPECT_FALSE(TheThreadRegistry.RemoveHandler(&handler));
    });
}

TEST(ThreadRegistry, TaskBeforeApplicationFillsOneEntry) {
    CApplication app;
    ASSERT_TRUE(app.GetWindow()->Create());
    size_t before = TheThreadRegistry.EntryCount();
    OnNewThread([&] {
        bool found = true;
        ContextOfThisThread(&found);
        EXPECT_FALSE(found);

        auto task = std::make_unique<CountingTask>();
        EXPECT_EQ(before + 1, TheThreadRegistry.EntryCount());
        ThreadContext context = ContextOfThisThread(&found);
        ASSERT_TRUE(found);
        EXPECT_EQ(task.get(), context.task);
        EXPECT_EQ(nullptr, context.application);
        EXPECT_EQ(GetCurrentThreadId(), context.threadId);
        EXPECT_EQ(nullptr, context.display);
        EXPECT_EQ(nullptr, task->Application());
        EXPECT_FALSE(task->IsRunning()) << "no application to ask";

        TheThreadRegistry.SetApplication(&app);
        EXPECT_EQ(before + 1, TheThreadRegistry.EntryCount());
        context = ContextOfThisThread(&found);
        EXPECT_EQ(task.get(), context.task);
        EXPECT_EQ(&app, context.application);
        EXPECT_EQ(app.GetHwnd(), TheThreadRegistry.GetHwnd());
        EXPECT_EQ(app.GetHwnd(), OwnerWindowOfThisThread());

        // A second task of the thread replaces the first; destroying the first
        // then leaves the second in place.
        auto second = std::make_unique<CountingTask>();
        EXPECT_EQ(&app, second->Application());
        task.reset();
        EXPECT_EQ(second.get(), ContextOfThisThread(&found).task);
        second.reset();
        context = ContextOfThisThread(&found);
        EXPECT_TRUE(found);
        EXPECT_EQ(nullptr, context.task);
        EXPECT_EQ(&app, context.application);
        EXPECT_EQ(before + 1, TheThreadRegistry.EntryCount());
    });
    EXPECT_EQ(nullptr, TheThreadRegistry.GetApplication()) << "other threads are not affected";
    DestroyWindow(app.GetHwnd());
    DropPendingMessages();
}

TEST(ThreadRegistry, HandlersAddedThroughTheRegistryReachTheApplicationsWindow) {
    CApplication app;
    ASSERT_TRUE(app.GetWindow()->Create());
    std::vector<std::string> log;
    RecordingHandler handler("h", &log, WM_APP + 3);
    OnNewThread([&] {
        TheThreadRegistry.SetApplication(&app);
        EXPECT_TRUE(TheThreadRegistry.AddHandler(&handler));
    });
    EXPECT_EQ(0, SendMessageA(app.GetHwnd(), WM_APP + 3, 0, 0));
    EXPECT_EQ(1u, log.size());
    OnNewThread([&] {
        TheThreadRegistry.SetApplication(&app);
        EXPECT_TRUE(TheThreadRegistry.RemoveHandler(&handler));
    });
    SendMessageA(app.GetHwnd(), WM_APP + 3, 0, 0);
    EXPECT_EQ(1u, log.size());
    DestroyWindow(app.GetHwnd());
    DropPendingMessages();
}

TEST(ThreadRegistry, TasksExecuteTheirMainAndFollowTheRunningFlag) {
    CApplication app;
    ASSERT_TRUE(app.GetWindow()->Create());
    OnNewThread([&] {
        TheThreadRegistry.SetApplication(&app);
        CountingTask task;
        task.Execute();
        task.Execute();
        EXPECT_EQ(2, task.runs);
        EXPECT_EQ(&app, task.Application());
        EXPECT_FALSE(task.IsRunning()) << "the application thread was never started";
    });
    DestroyWindow(app.GetHwnd());
    DropPendingMessages();
}

TEST(ThreadRegistry, FindDisplayIsNullAndDestroyedApplicationsAreForgotten) {
    DWORD threadId = 0;
    {
        CApplication app;
        OnNewThread([&] {
            TheThreadRegistry.SetApplication(&app);
            threadId = GetCurrentThreadId();
        });
        EXPECT_EQ(nullptr, TheThreadRegistry.FindDisplay(&app));
        EXPECT_EQ(nullptr, TheThreadRegistry.FindDisplay(nullptr));
        TheThreadRegistry.ClearDisplay(nullptr);
        EXPECT_EQ(nullptr, TheThreadRegistry.FindDisplay(&app));
    }
    // The destroyed application is no longer reachable from the entry it
    // left behind, even by a thread that reuses the id.
    size_t entries = TheThreadRegistry.EntryCount();
    bool reached = false;
    for (int i = 0; i < 20 && !reached; ++i) {
        OnNewThread([&] {
            if (GetCurrentThreadId() == threadId) {
                reached = true;
                EXPECT_EQ(nullptr, TheThreadRegistry.GetApplication());
            }
        });
    }
    EXPECT_EQ(entries, TheThreadRegistry.EntryCount()) << "lookups add no entries";
}

}  // namespace
