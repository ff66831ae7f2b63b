// The setup screen on the application thread: the 800 x 600 back buffer, the
// background and progress pictures, the paint handler that shows the back
// buffer in the main window. Its Main runs the install sequence
// (installer/install_run.h) with itself as the view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/app/input.h"
#include "framework/app/message_handler.h"
#include "framework/app/thread_registry.h"
#include "framework/graphics/surface_proxy.h"
#include "installer/install_run.h"
#include "installer/installer_state.h"

constexpr LONG kScreenWidth = 800;
constexpr LONG kScreenHeight = 600;

class CInstallerScreen : public CTask, public CInstallView {
public:
    // Construct on the application thread, after its application is known.
    CInstallerScreen();
    ~CInstallerScreen() override;

    void Main() override { RunInstall(); }

    // Wizard, copying, registration with the real prompts and system;
    // returns when finished, failed, cancelled or stopped.
    void RunInstall();

    bool IsRunning() override { return CTask::IsRunning(); }
    void ShowStart() override;
    // Stage picture and progress display for overall percent `percent`.
    void ShowProgress(std::int32_t percent) override;
    void ShowFinished() override;
    // Draws frame, bar and number; returns the frame rectangle it covered.
    RECT DrawProgressBar(std::int32_t number, std::int32_t bar);

    int ProgressStage() const { return progressStage_; }
    // The back buffer, for tests that check what is drawn.
    CSurfaceProxy& BackBuffer() { return backBuffer_; }

private:
    class CPaintHandler : public CMessageHandler {
    public:
        explicit CPaintHandler(CInstallerScreen& screen) : screen_(screen) {}
        bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    private:
        CInstallerScreen& screen_;
    };

    HWND MainWindow();
    void Invalidate(const RECT* rect);
    bool LoadBackground(const char* name);

    CPaintHandler paintHandler_;
    CSurfaceProxy background_;
    int progressStage_ = 0;
    CInput input_;
    CMouse mouse_;
    CSurfaceProxy backBuffer_;
    CSurfaceProxy frame_;
    CSurfaceProxy emptyBar_;
    CSurfaceProxy fullBar_;
    CSurfaceProxy digits_[11];
};
