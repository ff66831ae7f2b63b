#include "installer/win32/installer_app.h"

#include <cstring>

#include "framework/app/win32/thread_registry.h"
#include "framework/log/win32/run_log.h"
#include "framework/system/path_text.h"
#include "framework/system/win32/message_box.h"
#include "installer/win32/installer_screen.h"
#include "installer/installer_texts.h"

void CInstallerApp::Main() {
    CInstallerScreen screen(pictures_, command_);
    screen.Execute();
    outcome_ = screen.Outcome();
}

void CInstallerApp::ConfigureWindow(WindowParams* params) {
    params->windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    std::memcpy(params->title, installer_text::kTitle, sizeof installer_text::kTitle);
}

bool CInstallerApp::ConfirmClose(HWND hwnd) {
    if (!Unattended() && ShowMessageBox(hwnd, installer_text::kAbortText,
                                        installer_text::kConfirmCaption,
                                        MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    CLogLine() << "the window is closed: setup is cancelled";
    return true;
}

bool CInstallerApp::OnMessage(HWND hwnd, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        if (!ConfirmClose(hwnd)) return true;
        if (CDisplayController* display = TheThreadRegistry.FindDisplay(this)) {
            display->RestoreWindowed();
        }
        SendMessageW(hwnd, WM_DESTROY, 0, 0);
        return false;
    case WM_DESTROY:
        // The wizard, the disc request and the other prompts of the setup
        // screen end as cancelled; the run then returns at once.
        StopApplicationThread();
        PostQuitMessage(0);
        return true;
    default:
        return false;
    }
}
