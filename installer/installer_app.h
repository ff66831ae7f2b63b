// The installer's application: the main window's look, the close
// confirmation, and the application thread's program (the setup screen).
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/app/application.h"

// Title of the main window (and of the wizard pages, with their number).
extern const char kInstallerTitle[];

class CInstallerApp : public CApplication {
public:
    CInstallerApp() = default;
    ~CInstallerApp() override = default;

    // Application thread: one run of the setup screen.
    void Main() override;
    // Also false once the window is being destroyed, before the thread ends.
    bool IsRunning() override;
    void ConfigureWindow(WindowParams* params) override;
    // Main thread: close confirmation and destroy handling.
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool ConfirmClose(HWND hwnd);
    // Main thread: waits for the application thread to end, handling the
    // messages it sends meanwhile and answering the dialogs it shows, so
    // that a disc prompt or a wizard page open at that moment cannot keep
    // it (and so this thread) waiting for ever.
    void WaitForApplicationThread();

    std::atomic<bool> stopRequested_{false};
};
