// The installer's application: the main window's look, the close
// confirmation, and the application thread's program (the setup screen).
#pragma once

#include <windows.h>

#include "framework/app/win32/application.h"
#include "installer/setup_command.h"

class CScreenPictures;

class CInstallerApp : public CApplication {
public:
    // `pictures`, when given, are the setup screen's first pictures being
    // read ahead; `command` says how setup was started (the wizard's run
    // when null). Both must outlive the application.
    explicit CInstallerApp(CScreenPictures* pictures = nullptr,
                           const SetupCommand* command = nullptr)
        : pictures_(pictures), command_(command) {}
    ~CInstallerApp() override = default;

    // How the run ended; read it once the message loop has ended, which
    // ends the application thread first.
    SetupOutcome Outcome() const { return outcome_; }

    // Application thread: one run of the setup screen.
    void Main() override;
    void ConfigureWindow(WindowParams* params) override;
    // Main thread: close confirmation and destroy handling.
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Whether the close goes ahead: the wizard's run asks the user first; an
    // unattended run, which shows no dialog, is cancelled at once.
    bool ConfirmClose(HWND hwnd);
    bool Unattended() const { return command_ && command_->mode == SetupMode::kUnattended; }

    CScreenPictures* pictures_;
    const SetupCommand* command_;
    // Written by the application thread before it ends.
    SetupOutcome outcome_ = SetupOutcome::kCancelled;
};
