#include "installer/installer_app.h"

#include <cstring>

#include "framework/app/thread_registry.h"
#include "framework/system/path_text.h"
#include "framework/system/unique_handle.h"
#include "installer/installer_screen.h"

const char kInstallerTitle[] = "Sorvane～Kelmire～　セットアップ";

namespace {

const char kCloseText[] = "セットアップを中断し、\n終了してもよろしいですか？";
const char kCloseCaption[] = "確認";
constexpr DWORD kAnswerPeriodMilliseconds = 100;

// The button that ends a dialog on the way out: Yes of a confirmation,
// otherwise Cancel, otherwise OK.
int ClosingAnswer(HWND dialog) {
    if (GetDlgItem(dialog, IDYES)) return IDYES;
    if (GetDlgItem(dialog, IDCANCEL)) return IDCANCEL;
    return IDOK;
}

BOOL CALLBACK AnswerDialog(HWND window, LPARAM) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    // Only the dialog the user could work with: an owner disabled by its
    // own message box is left to that box.
    if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window) &&
        IsWindowEnabled(window)) {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(ClosingAnswer(window), BN_CLICKED), 0);
    }
    return TRUE;
}

}  // namespace

void CInstallerApp::Main() {
    CInstallerScreen screen;
    screen.Execute();
}

bool CInstallerApp::IsRunning() { return !stopRequested_ && CApplication::IsRunning(); }

void CInstallerApp::ConfigureWindow(WindowParams* params) {
    params->windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    std::memcpy(params->title, kInstallerTitle, sizeof kInstallerTitle);
}

bool CInstallerApp::ConfirmClose(HWND hwnd) {
    return MessageBoxA(hwnd, kCloseText, kCloseCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CInstallerApp::WaitForApplicationThread() {
    const DWORD threadId = ThreadId();
    if (threadId == static_cast<DWORD>(-1) || threadId == GetCurrentThreadId()) return;
    unique_handle thread(OpenThread(SYNCHRONIZE, FALSE, threadId));
    if (!thread) return;
    HANDLE handle = thread.get();
    DWORD lastAnswer = GetTickCount();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, kAnswerPeriodMilliseconds,
                                                     QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) return;
        if (woke == WAIT_OBJECT_0 + 1) {
            // Handles the messages other threads send to this one's windows
            // (a message box of the application thread disabling its owner).
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            if (GetTickCount() - lastAnswer < kAnswerPeriodMilliseconds) continue;
        }
        EnumThreadWindows(threadId, AnswerDialog, 0);
        lastAnswer = GetTickCount();
    }
}

bool CInstallerApp::OnMessage(HWND hwnd, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        if (!ConfirmClose(hwnd)) return true;
        if (CDisplayController* display = TheThreadRegistry.FindDisplay(this)) {
            display->RestoreWindowed();
        }
        SendMessageA(hwnd, WM_DESTROY, 0, 0);
        return false;
    case WM_DESTROY:
        stopRequested_ = true;
        WaitForApplicationThread();
        Stop();
        PostQuitMessage(0);
        return true;
    default:
        return false;
    }
}
