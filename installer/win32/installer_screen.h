// The setup screen on the application thread: the 800 x 600 back buffer, the
// background and progress pictures, the paint handler that shows the back
// buffer in the main window. Its Main runs the install sequence
// (installer/win32/install_run.h) with itself as the view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/app/win32/input.h"
#include "framework/app/win32/message_handler.h"
#include "framework/app/win32/thread_registry.h"
#include "framework/file/win32/event.h"
#include "framework/file/win32/thread.h"
#include "framework/graphics/win32/surface_proxy.h"
#include "framework/system/path_text.h"
#include "installer/win32/install_run.h"
#include "installer/installer_state.h"
#include "installer/progress_math.h"

constexpr LONG kScreenWidth = 800;
constexpr LONG kScreenHeight = 600;

// The stage pictures 1 to 6 of one source root, read on a worker from the
// start of the screen on (the drive has nothing else to do while the wizard
// is made and waits for the user), so that during the copy the drive serves
// the copy alone and each picture is decoded once. A stop request ends the
// reading after the picture in flight.
class CStagePictures : public CThread {
public:
    ~CStagePictures() override { Stop(); }
    // Starts a worker that reads the pictures below `root`; false when none
    // could be started (the pictures are then read when shown, as without
    // this).
    bool Begin(const char* root);
    // Waits until the worker has read them all.
    void Finish() { WaitForEnd(INFINITE); }
    // The picture of `stage` read from `root`; null when it was read from
    // another root, could not be read or was never asked for. Waits for the
    // worker first.
    CSurfaceProxy* Find(int stage, const char* root);

private:
    void Run() override;

    char root_[kMaxPath] = "";
    CSurfaceProxy pictures_[7];
    bool loaded_[7] = {};
};

// The pictures the screen shows before the wizard: frame, bars, digits and
// sign (by their paths relative to the disc root, the current directory) and
// the first background (below SourceRoot). The program starts reading them
// on a worker before it makes its window, so that the drive works while the
// window is being made.
class CScreenPictures : public CThread {
public:
    ~CScreenPictures() override { Stop(); }
    // Starts the worker, after the start-up checks chose the disc; false
    // when none could be started (Finish then reads on its caller).
    bool Begin();
    // Returns once the pictures are read: waits for the worker that Begin
    // started, or reads them now.
    void Finish();

    CSurfaceProxy frame;
    CSurfaceProxy emptyBar;
    CSurfaceProxy fullBar;
    CSurfaceProxy digits[11];
    // The first background and the SourceRoot it was read from.
    CSurfaceProxy background;
    char backgroundRoot[kMaxPath] = "";
    bool backgroundLoaded = false;

private:
    // Reads one share of the pictures on a thread of its own.
    class CShare : public CThread {
    public:
        CShare(CScreenPictures& owner, int share) : owner_(owner), share_(share) {}
        ~CShare() override { Stop(); }

    private:
        void Run() override { owner_.ReadShare(share_); }

        CScreenPictures& owner_;
        int share_;
    };

    void Run() override;
    void Read();
    void ReadShare(int share);

    bool begun_ = false;
    CManualResetEvent read_;
};

class CInstallerScreen : public CTask, public CInstallView {
public:
    // Construct on the application thread, after its application is known.
    // Takes the pictures from `pictures` (owned by the caller, outliving the
    // screen) when given, else reads them itself. `command` says how setup
    // was started (the wizard's run when null); it must outlive the screen.
    explicit CInstallerScreen(CScreenPictures* pictures = nullptr,
                              const SetupCommand* command = nullptr);
    ~CInstallerScreen() override;

    void Main() override { outcome_ = RunInstall(); }
    // How the last run of Main ended.
    SetupOutcome Outcome() const { return outcome_; }

    // Wizard (or the unattended run's answers), copying, registration with
    // the real prompts and system; returns how it ended: finished, failed,
    // cancelled or stopped.
    SetupOutcome RunInstall();

    bool IsRunning() override { return CTask::IsRunning(); }
    void ShowStart() override;
    // Stage picture and progress display for overall percent `percent`.
    void ShowProgress(std::int32_t percent) override;
    void ShowFinished() override;
    // Draws frame, bar and number; returns the frame rectangle it covered.
    RECT DrawProgressBar(std::int32_t number, std::int32_t bar);

    // Waits until the stage pictures that ShowStart began to read are in
    // memory, as they are when the wizard took longer than the drive.
    void FinishStagePictures() { stagePictures_.Finish(); }

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
    // Invalidates back-buffer rectangle `rect` (all of it when null) in the
    // main window, which may show the buffer at another size.
    void Invalidate(const RECT* rect);
    bool LoadBackground(const char* name);
    void DrawStage(int stage);
    ProgressBarLayout LayoutFor(std::int32_t number, std::int32_t bar);

    CPaintHandler paintHandler_;
    const SetupCommand* command_;
    SetupOutcome outcome_ = SetupOutcome::kCancelled;
    CSurfaceProxy background_;
    int progressStage_ = 0;
    CInput input_;
    CMouse mouse_;
    CSurfaceProxy backBuffer_;
    CScreenPictures ownPictures_;
    CScreenPictures& pictures_;
    // What DrawProgressBar last drew over the current background.
    bool displayShown_ = false;
    ProgressBarLayout shownLayout_{};
    CStagePictures stagePictures_;
};
