// A small program on the application framework, run by the application tests
// as a process of its own. The first word of the command line picks what its
// Main does:
//   return  - Main returns at once;
//   close   - Main polls IsRunning until the window is closed;
//   broken  - the window cannot be created.
// The exit code tells the test what the program saw: 0 when everything held,
// otherwise one of the Failure values below.
#include <windows.h>

#include <atomic>
#include <cstring>

#include "framework/app/win32/app_instance.h"
#include "framework/app/win32/application.h"
#include "framework/app/win32/thread_registry.h"

namespace {

enum Failure {
    kMainThreadHasApplication = 10,
    kAppThreadLacksApplication = 11,
    kMainNeverRan = 12,
    kStillRunningAtClose = 13,
    kCloseNotSeen = 14,
    kPollTimedOut = 15,
    kNoWindowInMain = 16,
};

std::atomic<int> g_failure{0};

void Fail(int code) {
    int none = 0;
    g_failure.compare_exchange_strong(none, code);
}

// Offered WM_CLOSE after the application's own handler and before the default
// processing: by then the running flag must read false.
class CloseProbe : public CMessageHandler {
public:
    explicit CloseProbe(CApplication* app) : app_(app) {}
    bool OnMessage(HWND, UINT message, WPARAM, LPARAM) override {
        if (message == WM_CLOSE) {
            seen = true;
            if (app_->IsRunning()) Fail(kStillRunningAtClose);
        }
        return false;
    }
    bool seen = false;

private:
    CApplication* app_;
};

class SampleApp : public CApplication {
public:
    explicit SampleApp(const char* mode) : mode_(mode) {}

    void ConfigureWindow(WindowParams* params) override {
        std::strcpy(params->title, "Framework Sample");
        // A child style without a parent cannot be created.
        if (std::strcmp(mode_, "broken") == 0) params->style = WS_CHILD;
    }

    void Main() override {
        mainRan = true;
        if (TheThreadRegistry.GetApplication() != this) Fail(kAppThreadLacksApplication);
        if (!GetHwnd() || TheThreadRegistry.GetHwnd() != GetHwnd()) Fail(kNoWindowInMain);
        if (std::strcmp(mode_, "close") != 0) return;
        // Polls as a program's waiting points do, for at most 30 seconds.
        for (int i = 0; i < 3000 && IsRunning(); ++i) ::Sleep(10);
        if (IsRunning()) Fail(kPollTimedOut);
    }

    std::atomic<bool> mainRan{false};

private:
    const char* mode_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int cmdShow) {
    CAppInstance appInstance(instance, prevInstance, cmdLine, cmdShow);
    char mode[16] = {};
    std::strncpy(mode, cmdLine, sizeof(mode) - 1);
    if (char* space = std::strchr(mode, ' ')) *space = '\0';

    {
        SampleApp app(mode);
        CloseProbe probe(&app);
        app.AddMessageHandler(&probe);
        app.Initialize();
        if (TheThreadRegistry.GetApplication() != nullptr) Fail(kMainThreadHasApplication);
        ++MessageLoopCount;
        RunMessageLoop();
        --MessageLoopCount;
        if (!app.mainRan) Fail(kMainNeverRan);
        if (std::strcmp(mode, "close") == 0 && !probe.seen) Fail(kCloseNotSeen);
        app.RemoveMessageHandler(&probe);
    }
    return g_failure.load();
}
