#include "framework/app/application.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/app/thread_registry.h"

const char kApplicationErrorCaption[] = "アプリケーションエラー";

int MessageLoopCount = 0;

namespace {

const char kCreateFailedFormat[] =
    "%s : ウィンドウの作成に失敗しました。\nアプリケーションを強制終了します。";
const char kOneLoopOnly[] = "メッセージループを持てるのは１プロセスに一つだけです";

[[noreturn]] void ReportCreateFailure(const WindowParams& params) {
    // Room for the longest title the parameters can hold, plus the text.
    char message[sizeof(params.title) + sizeof(kCreateFailedFormat)];
    char title[sizeof(params.title)];
    std::memcpy(title, params.title, sizeof(title));
    title[sizeof(title) - 1] = '\0';
    std::snprintf(message, sizeof(message), kCreateFailedFormat, title);
    MessageBoxA(nullptr, message, kApplicationErrorCaption, MB_OK);
    std::exit(-1);
}

}  // namespace

CApplication::CApplication() { window_.Handlers()->Add(this); }

CApplication::~CApplication() {
    Stop();
    window_.Handlers()->Remove(this);
    TheThreadRegistry.ClearApplication(this);
}

void CApplication::Initialize() {
    WindowParams* params = window_.Params();
    ConfigureWindow(params);
    window_.Prepare(params);
    if (!window_.Create()) ReportCreateFailure(*params);
    window_.OnCreated();
    Start();
}

bool CApplication::Start() {
    closeRequested_ = false;
    return CThread::Start();
}

bool CApplication::IsRunning() { return CThread::IsRunning() && !closeRequested_; }

void CApplication::AddMessageHandler(CMessageHandler* handler) { window_.Handlers()->Add(handler); }

void CApplication::RemoveMessageHandler(CMessageHandler* handler) {
    window_.Handlers()->Remove(handler);
}

DWORD CApplication::WaitForStopRequest() { return CThread::Sleep(INFINITE); }

void CApplication::Run() {
    try {
        TheThreadRegistry.SetApplication(this);
        Main();
    } catch (...) {
        // The program ends as if Main had returned.
    }
    PostMessageA(GetHwnd(), WM_DESTROY, 0, 0);
}

bool CApplication::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return true;
    case WM_CLOSE:
        closeRequested_ = true;
        if (CDisplayController* display = TheThreadRegistry.FindDisplay(this)) {
            display->RestoreWindowed();
        }
        PostMessageA(hwnd, WM_DESTROY, 0, 0);
        return false;
    default:
        return false;
    }
}

void RunMessageLoop() {
    if (MessageLoopCount != 1) {
        MessageBoxA(nullptr, kOneLoopOnly, kApplicationErrorCaption, MB_OK);
        return;
    }
    MSG msg;
    for (;;) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            WaitMessage();
            continue;
        }
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) return;
        // -1 (a failed call) is dispatched like any other result.
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
