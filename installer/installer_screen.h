// The setup screen on the application thread: the 800 x 600 back buffer, the
// background and progress pictures, the paint handler that shows the back
// buffer in the main window, and the install sequence (RunInstall).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/app/input.h"
#include "framework/app/message_handler.h"
#include "framework/app/thread_registry.h"
#include "framework/file/copy_job.h"
#include "framework/graphics/surface_proxy.h"
#include "installer/installer_state.h"

constexpr LONG kScreenWidth = 800;
constexpr LONG kScreenHeight = 600;

class CInstallerScreen : public CTask {
public:
    // Construct on the application thread, after its application is known.
    CInstallerScreen();
    ~CInstallerScreen() override;

    void Main() override { RunInstall(); }

    // Wizard, copying, registration; returns when finished, failed,
    // cancelled or stopped.
    void RunInstall();
    // Makes sure the disc holding FileTable[index] is in a drive; true when
    // the user chose to abort the setup.
    bool RequestDisc(int index, const char* prompt);
    // Stage picture and progress display for overall percent `percent`.
    void ShowProgress(std::int32_t percent);
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

    enum class StepResult { kDone, kStopped, kFailed, kAborted };

    HWND MainWindow();
    void Invalidate(const RECT* rect);
    bool LoadBackground(const char* name);
    // Starts the job operation of one FileTable file and polls it.
    StepResult RunFile(int operationCode, int index, const char* joinedName,
                       const std::uint64_t* sizes);
    StepResult PollJob(int index, const std::uint64_t* sizes);
    void ReadSize(int index, std::uint64_t* sizes);
    void ReleaseJob() { currentJob_.reset(); }
    void ReportFailure();
    void Finish();

    CPaintHandler paintHandler_;
    std::unique_ptr<CCopyJob> currentJob_;
    CSurfaceProxy background_;
    char destinationPath_[kFileNameField] = {};
    char sourcePath_[kFileNameField] = {};
    int progressStage_ = 0;
    CInput input_;
    CMouse mouse_;
    CSurfaceProxy backBuffer_;
    CSurfaceProxy frame_;
    CSurfaceProxy emptyBar_;
    CSurfaceProxy fullBar_;
    CSurfaceProxy digits_[11];
};
