// The installer's application: the main window's look, the close
// confirmation, and the application thread's program (the setup screen).
#pragma once

#include <windows.h>

#include "framework/app/win32/application.h"

class CScreenPictures;

class CInstallerApp : public CApplication {
public:
    // `pictures`, when given, are the setup screen's first pictures being
    // read ahead; they must outlive the application.
    explicit CInstallerApp(CScreenPictures* pictures = nullptr) : pictures_(pictures) {}
    ~CInstallerApp() override = default;

    // Application thread: one run of the setup screen.
    void Main() override;
    void ConfigureWindow(WindowParams* params) override;
    // Main thread: close confirmation and destroy handling.
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool ConfirmClose(HWND hwnd);

    CScreenPictures* pictures_;
};
