#include "framework/app/win32/application.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "framework/app/win32/thread_registry.h"
#include "framework/system/win32/message_box.h"

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
    ShowMessageBox(nullptr, message, kApplicationErrorCaption, MB_OK);
    std::exit(-1);
}

// How often the main thread looks for a newly opened dialog while it waits.
constexpr DWORD kDialogLookMilliseconds = 100;

// The innermost open-dialog scope of the calling thread.
thread_local COpenDialogScope* innermostScope = nullptr;

bool IsDialogWindow(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return std::wcscmp(className, L"#32770") == 0;
}

int CancelAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDCANCEL;
    }
}

}  // namespace

CApplication::CApplication() { window_.Handlers()->Add(this); }

CApplication::~CApplication() {
    StopApplicationThread();
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

void CApplication::SetOpenDialog(HWND dialog, int cancelId) {
    CLockScope hold(dialogLock_);
    openDialog_ = dialog;
    openDialogCancel_ = cancelId;
    ++openDialogSerial_;
}

void CApplication::EndOpenDialog() {
    HWND dialog = nullptr;
    int cancelId = 0;
    {
        CLockScope hold(dialogLock_);
        if (openDialogSerial_ == endedDialogSerial_) return;
        endedDialogSerial_ = openDialogSerial_;
        dialog = openDialog_;
        cancelId = openDialogCancel_;
    }
    // Posted, not sent: the dialog's own modal loop on the application
    // thread handles it like a press of that button.
    if (dialog) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(cancelId, BN_CLICKED), 0);
}

void CApplication::StopApplicationThread() {
    closeRequested_ = true;
    RequestStop();
    for (;;) {
        EndOpenDialog();
        const DWORD woke = WaitForEnd(kDialogLookMilliseconds, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 + 1) {
            // Handles the messages other threads send to this thread's
            // windows (a dialog of the application thread disabling its
            // owner, say).
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (woke != WAIT_TIMEOUT) break;
    }
    Stop();
}

DWORD CApplication::WaitForStopRequest() { return CThread::Sleep(INFINITE); }

void CApplication::Run() {
    try {
        TheThreadRegistry.SetApplication(this);
        Main();
    } catch (...) {
        // The program ends as if Main had returned.
    }
    PostMessageW(GetHwnd(), WM_DESTROY, 0, 0);
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
        PostMessageW(hwnd, WM_DESTROY, 0, 0);
        return false;
    default:
        return false;
    }
}

COpenDialogScope::COpenDialogScope(int cancelId)
    : application_(TheThreadRegistry.GetApplication()),
      cancelId_(cancelId),
      outer_(innermostScope) {
    innermostScope = this;
    // One hook per thread, set by the outermost scope.
    if (!outer_) hook_ = SetWindowsHookExW(WH_CBT, &Watch, nullptr, GetCurrentThreadId());
}

COpenDialogScope::~COpenDialogScope() {
    innermostScope = outer_;
    if (hook_) UnhookWindowsHookEx(hook_);
    if (application_) {
        application_->SetOpenDialog(outer_ ? outer_->dialog_ : nullptr,
                                    outer_ ? outer_->cancelId_ : 0);
    }
}

void COpenDialogScope::Record(HWND dialog) {
    if (dialog_ && IsWindow(dialog_)) return;
    dialog_ = dialog;
    if (application_) application_->SetOpenDialog(dialog, cancelId_);
}

LRESULT CALLBACK COpenDialogScope::Watch(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && innermostScope) {
        HWND window = reinterpret_cast<HWND>(wParam);
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        const bool topLevel = !create->lpcs || !(create->lpcs->style & WS_CHILD);
        if (topLevel && IsDialogWindow(window)) innermostScope->Record(window);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int ApplicationMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    COpenDialogScope scope(CancelAnswer(type));
    return ShowMessageBox(owner, text, caption, type);
}

void RunMessageLoop() {
    if (MessageLoopCount != 1) {
        ShowMessageBox(nullptr, kOneLoopOnly, kApplicationErrorCaption, MB_OK);
        return;
    }
    MSG msg;
    for (;;) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            WaitMessage();
            continue;
        }
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return;
        // -1 (a failed call) is dispatched like any other result.
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
