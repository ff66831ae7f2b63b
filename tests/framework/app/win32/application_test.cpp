#include "framework/app/win32/application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "framework/app/win32/app_instance.h"
#include "framework/app/win32/thread_registry.h"
#include "tests/framework/app/win32/app_test_util.h"
#include "tools/automation/win32/dialogs.h"
#include "tests/support/win32/dialog_watcher.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/scratch.h"

namespace {

CAppInstance g_instance(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);

const wchar_t kErrorCaption[] = L"アプリケーションエラー";

struct FindContext {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindSampleWindow(HWND hwnd, LPARAM param) {
    auto* context = reinterpret_cast<FindContext*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (pid == context->pid && std::string(name) == "TesselSDK_Application") {
        context->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND MainWindowOf(DWORD pid) {
    FindContext context{pid, nullptr};
    EnumWindows(&FindSampleWindow, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

// A message box may show its line break as CR LF.
std::wstring WithoutCarriageReturns(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return text;
}

std::wstring SampleCommand(const wchar_t* mode) {
    return L"\"" + TestProgramPath(L"framework_sample.exe") + L"\" " + mode;
}

// The sample started in `mode`, every box it shows answered with OK.
struct SampleRun {
    explicit SampleRun(const wchar_t* mode)
        : started(child.Start(SampleCommand(mode))), watcher(DialogWatcher::Always(IDOK), child.Id()) {}
    ChildProcess child;
    bool started;
    DialogWatcher watcher;
};

TEST(FrameworkSample, EndsWithTheExitCodeOfItsMainOrOfAFailedWindow) {
    const struct {
        const wchar_t* mode;
        DWORD code;
        const wchar_t* box;  // the one error box shown, or null
    } cases[] = {
        {L"return", 0, nullptr},  // a main that returns at once ends the loop and the process
        {L"broken", static_cast<DWORD>(-1),
         L"Framework Sample : ウィンドウの作成に失敗しました。\nアプリケーションを強制終了します。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        SampleRun run(c.mode);
        ASSERT_TRUE(run.started);
        DWORD code = 1234;
        ASSERT_TRUE(run.child.Wait(30000, &code));
        EXPECT_EQ(c.code, code);
        const auto seen = run.watcher.Seen();
        ASSERT_EQ(c.box ? 1u : 0u, seen.size());
        if (c.box) {
            EXPECT_EQ(kErrorCaption, seen[0].caption);
            EXPECT_EQ(c.box, WithoutCarriageReturns(seen[0].text));
        }
    }
}

TEST(FrameworkSample, ClosingTheWindowEndsAPollingMainAndTheLoop) {
    SampleRun run(L"close");
    ASSERT_TRUE(run.started);
    ChildProcess& child = run.child;
    HWND hwnd = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (hwnd = MainWindowOf(child.Id())) != nullptr; }, 20000));
    // Main is still polling: the process lives on until the window is closed.
    DWORD code = 0;
    EXPECT_FALSE(child.Wait(300, &code));
    ASSERT_TRUE(PostMessageA(hwnd, WM_CLOSE, 0, 0));
    ASSERT_TRUE(child.Wait(20000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(run.watcher.Seen().empty());
}

TEST(RunMessageLoop, AnyCountButOneShowsTheOneLoopErrorAndReturns) {
    DialogWatcher watcher(DialogWatcher::Always(IDOK));
    for (int count : {0, 2, -1}) {
        SCOPED_TRACE(count);
        size_t before = watcher.Seen().size();
        MessageLoopCount = count;
        RunMessageLoop();  // returns only once the box was answered
        MessageLoopCount = 0;
        ASSERT_EQ(before + 1, watcher.Seen().size());
        const SeenDialog box = watcher.Seen().back();  // a copy: Seen() returns a new list
        EXPECT_EQ(kErrorCaption, box.caption);
        EXPECT_EQ(L"メッセージループを持てるのは１プロセスに一つだけです", box.text);
        EXPECT_EQ(IDOK, box.answer);
    }
}

class WaitingApp : public CApplication {
public:
    void ConfigureWindow(WindowParams* params) override {
        std::strcpy(params->title, "Waiting");
        configured = true;
    }
    void Main() override {
        sawApplication = TheThreadRegistry.GetApplication() == this;
        runningInMain = IsRunning();
        entered = true;
        result = WaitForStopRequest();
        returned = true;
    }
    std::atomic<bool> configured{false}, sawApplication{false}, runningInMain{false};
    std::atomic<bool> entered{false}, returned{false};
    std::atomic<DWORD> result{12345};
};

TEST(Application, WaitForStopRequestReturnsOnlyAfterStop) {
    WaitingApp app;
    app.Initialize();
    ASSERT_NE(nullptr, app.GetHwnd());
    EXPECT_TRUE(app.configured.load());
    EXPECT_EQ(WindowTextOf(app.GetHwnd()), L"Waiting");
    ASSERT_TRUE(WaitUntil([&] { return app.entered.load(); }, 10000));
    EXPECT_TRUE(app.sawApplication.load());
    EXPECT_TRUE(app.runningInMain.load());
    EXPECT_EQ(nullptr, TheThreadRegistry.GetApplication()) << "the main thread has no application";
    EXPECT_FALSE(WaitUntil([&] { return app.returned.load(); }, 300));
    app.Stop();
    EXPECT_TRUE(app.returned.load());
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), app.result.load());
    EXPECT_FALSE(app.IsRunning());
    // The ending thread posted WM_DESTROY; dispatching it asks to quit.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, app.GetHwnd(), WM_DESTROY, WM_DESTROY, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    HWND hwnd = app.GetHwnd();
    DestroyWindow(hwnd);
    DropPendingMessages();
}

TEST(Application, CloseClearsTheRunningFlagPostsDestroyAndLetsDefaultProcessingFollow) {
    WaitingApp app;
    app.Initialize();
    ASSERT_TRUE(WaitUntil([&] { return app.entered.load(); }, 10000));
    HWND hwnd = app.GetHwnd();
    EXPECT_TRUE(app.IsRunning());
    EXPECT_FALSE(app.OnMessage(hwnd, WM_CLOSE, 0, 0));
    EXPECT_FALSE(app.IsRunning());
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, hwnd, WM_DESTROY, WM_DESTROY, PM_REMOVE));
    // Only the flag was cleared: the stop event was not signalled.
    EXPECT_FALSE(WaitUntil([&] { return app.returned.load(); }, 200));
    EXPECT_TRUE(app.OnMessage(hwnd, WM_DESTROY, 0, 0));
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_FALSE(app.OnMessage(hwnd, WM_PAINT, 0, 0));
    app.Stop();
    EXPECT_TRUE(app.returned.load());
    DestroyWindow(hwnd);
    DropPendingMessages();
}

TEST(Application, DestructionUnbindsTheWindowAndForgetsTheApplication) {
    HWND hwnd = nullptr;
    {
        WaitingApp app;
        app.Initialize();
        hwnd = app.GetHwnd();
        ASSERT_TRUE(WaitUntil([&] { return app.entered.load(); }, 10000));
    }  // stops and waits for the thread
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(0, GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    // Reaches only the default procedure now: no quit is posted.
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    DropPendingMessages();
}

// Main waits in three message boxes owned by the main window, one after the
// other, whatever the running flag says.
class BoxesApp : public CApplication {
public:
    explicit BoxesApp(std::vector<int>* answers) : answers_(answers) {}
    void Main() override {
        for (UINT type : {MB_YESNO, MB_RETRYCANCEL, MB_OK})
            answers_->push_back(ApplicationMessageBox(GetHwnd(), "question", "Box", type));
    }

private:
    std::vector<int>* answers_;
};

// The main thread is not in a message loop while it destroys the
// application: the boxes can still be created (the main thread handles what
// they send to its window), and each is ended as a cancel, not answered Yes.
TEST(Application, DestructionEndsEachDialogTheApplicationThreadOpensAsACancel) {
    std::vector<int> answers;
    std::atomic<bool> destroyed{false};
    std::atomic<DWORD> threadId{0};
    // Should the application not end its dialogs, this presses Yes, Retry
    // and OK after a while, so the test fails instead of hanging.
    std::thread rescue([&] {
        for (int tick = 0; tick < 200 && !destroyed; ++tick) Sleep(50);
        while (!destroyed) {
            for (HWND box : ThreadDialogs(threadId)) {
                for (int id : {IDYES, IDRETRY, IDOK}) PressButton(box, id);
            }
            Sleep(100);
        }
    });
    {
        BoxesApp app(&answers);
        app.Initialize();
        threadId = app.ThreadId();
        // Creating a box owned by this thread's window sends to that window,
        // so this thread handles its messages while it waits for the first.
        HWND first = nullptr;
        WaitUntil(
            [&] {
                PumpPendingMessages();
                first = WaitForDialog(threadId, L"Box", 0);
                return first != nullptr;
            },
            10000);
        EXPECT_NE(first, nullptr);
    }
    destroyed = true;
    rescue.join();
    EXPECT_EQ(answers, (std::vector<int>{IDNO, IDCANCEL, IDOK}));
    DropPendingMessages();
}

}  // namespace
