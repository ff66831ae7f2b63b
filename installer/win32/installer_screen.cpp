#include "installer/win32/installer_screen.h"

#include <cstring>

#include "framework/system/path_text.h"
#include "installer/progress_math.h"
#include "installer/screen_scale.h"
#include "installer/win32/unattended.h"

namespace {

const POINT kFramePosition = {504, 520};
const POINT kBarPosition = {563, 553};
const POINT kTensPosition = {706, 546};
const POINT kUnitsPosition = {721, 546};
const POINT kPercentPosition = {736, 546};
constexpr int kPercentSign = 10;

const char* const kStagePictures[] = {
    "t000_000.bmp", "t000_001.bmp", "t000_002.bmp", "t000_003.bmp",
    "t000_004.bmp", "t000_005.bmp", "t000_006.bmp",
};

bool StagePicturePath(char (&path)[kMaxPath], const char* root, int stage) {
    return FormatText(path, sizeof path, "%s\\data\\obj\\%s", root, kStagePictures[stage]);
}

// The prompts of the run (the wizard's or the unattended run's answers),
// with the reading of the stage pictures ahead ending with the wizard: a
// user who took less time than the drive needed for them all gets the rest
// read when shown (one picture in flight still ends), rather than a copy
// that waits for pictures it may need minutes later.
class CScreenPrompts : public CInstallPrompts {
public:
    CScreenPrompts(InstallerStateData& state, CInstallPrompts& prompts, CStagePictures& pictures)
        : CInstallPrompts(state), prompts_(prompts), pictures_(pictures) {}
    bool AsksUser() const override { return prompts_.AsksUser(); }
    WizardResult RunWizard() override {
        const WizardResult result = prompts_.RunWizard();
        if (result == WizardResult::Install) {
            pictures_.RequestStop();
        } else {
            pictures_.Stop();
        }
        return result;
    }
    bool AskForDisc(const char* prompt) override { return prompts_.AskForDisc(prompt); }
    bool ConfirmAbort() override { return prompts_.ConfirmAbort(); }
    void ReportError() override { prompts_.ReportError(); }
    bool Complete() override { return prompts_.Complete(); }

private:
    CInstallPrompts& prompts_;
    CStagePictures& pictures_;
};

}  // namespace

bool CStagePictures::Begin(const char* root) {
    Stop();
    for (int stage = 0; stage < 7; ++stage) {
        pictures_[stage].Release();
        loaded_[stage] = false;
    }
    if (!CopyText(root_, root)) return false;
    if (!Start()) return false;
    // The wizard on the application thread comes first.
    SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
    return true;
}

void CStagePictures::Run() {
    for (int stage = 1; stage < 7 && IsRunning(); ++stage) {
        char path[kMaxPath];
        loaded_[stage] = StagePicturePath(path, root_, stage) &&
                         pictures_[stage].LoadFile(path, false, 0, 0);
    }
}

CSurfaceProxy* CStagePictures::Find(int stage, const char* root) {
    Finish();
    if (stage < 1 || stage > 6 || !loaded_[stage] || std::strcmp(root, root_) != 0) return nullptr;
    return &pictures_[stage];
}

bool CScreenPictures::Begin() {
    begun_ = Start();
    return begun_;
}

void CScreenPictures::Finish() {
    if (begun_) {
        read_.Wait(INFINITE);
        return;
    }
    Read();
}

void CScreenPictures::Run() {
    Read();
    read_.Set();
}

// A small picture from a disc is a few round trips through the file system
// (finding, opening and reading the picture and its mask: about 12 ms under
// Wine), with the drive idle between them. Read one after another, the 14
// small pictures took longer than the 1.4 MB background, and the first page
// waited for both; read in shares on threads of their own, the drive gets
// the requests of several pictures at once and the first page waits only
// for the longest share.
void CScreenPictures::Read() {
    CShare shares[] = {{*this, 1}, {*this, 2}, {*this, 3}};
    bool started[3] = {};
    for (int i = 0; i < 3; ++i) started[i] = shares[i].Start();
    ReadShare(0);
    for (int i = 0; i < 3; ++i) {
        if (started[i])
            shares[i].WaitForEnd(INFINITE);
        else
            ReadShare(i + 1);
    }
}

// Share 0 is the background; 1 to 3 split the small pictures evenly.
void CScreenPictures::ReadShare(int share) {
    if (share == 0) {
        char path[kMaxPath];
        backgroundLoaded = CopyText(backgroundRoot, InstallerState.SourceRoot) &&
                           StagePicturePath(path, backgroundRoot, 0) &&
                           background.LoadFile(path, false, 0, 0);
        return;
    }
    CSurfaceProxy* const small[] = {&frame, &emptyBar, &fullBar, &digits[0], &digits[1],
                                    &digits[2], &digits[3], &digits[4], &digits[5], &digits[6],
                                    &digits[7], &digits[8], &digits[9], &digits[10]};
    static const char* const kSmallNames[] = {"t000_007", "t000_008", "t000_009"};
    for (int i = share - 1; i < 14; i += 3) {
        char name[32];
        if (i < 3)
            FormatText(name, sizeof name, "data/obj/%s.bmp", kSmallNames[i]);
        else
            FormatText(name, sizeof name, "data/obj/t001_%03d.bmp", i - 3);
        small[i]->LoadFile(name, false, 0, 0);
    }
}

CInstallerScreen::CInstallerScreen(CScreenPictures* pictures, const SetupCommand* command)
    : paintHandler_(*this), command_(command), pictures_(pictures ? *pictures : ownPictures_) {
    TheThreadRegistry.AddHandler(&paintHandler_);
    backBuffer_.CreateForWindow(MainWindow(), kScreenWidth, kScreenHeight, false, 0, 0);
    // The first window call of this thread sets up its link to the display:
    // made here, that overlaps the reading of the pictures instead of
    // delaying the wizard's first page.
    if (HWND window = MainWindow()) {
        if (HDC dc = GetDC(window)) ReleaseDC(window, dc);
    }
    pictures_.Finish();
    progressStage_ = 0;
}

CInstallerScreen::~CInstallerScreen() { TheThreadRegistry.RemoveHandler(&paintHandler_); }

HWND CInstallerScreen::MainWindow() { return TheThreadRegistry.GetHwnd(); }

void CInstallerScreen::Invalidate(const RECT* rect) {
    HWND window = MainWindow();
    if (!window) return;
    if (!rect) {
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    RECT client = {};
    GetClientRect(window, &client);
    const ScreenRect shown =
        BufferToWindow({rect->left, rect->top, rect->right, rect->bottom}, kScreenWidth,
                       kScreenHeight, client.right - client.left, client.bottom - client.top);
    const RECT dirty = {shown.left, shown.top, shown.right, shown.bottom};
    if (!IsRectEmpty(&dirty)) InvalidateRect(window, &dirty, FALSE);
}

bool CInstallerScreen::LoadBackground(const char* name) {
    char path[kMaxPath];
    if (!FormatText(path, sizeof path, "%s\\data\\obj\\%s", InstallerState.SourceRoot, name)) {
        background_.Release();
        return false;
    }
    // A picture that cannot be loaded leaves the background empty, and
    // drawing an empty surface draws nothing.
    return background_.LoadFile(path, false, 0, 0);
}

SetupOutcome CInstallerScreen::RunInstall() {
    CInstallPrompts wizard(InstallerState);
    CWizardServices wizardServices;
    CRegistrationServices registration;
    const bool unattended = command_ && command_->mode == SetupMode::kUnattended;
    CUnattendedPrompts answers(InstallerState, unattended ? command_->folder : u"",
                               wizardServices, registration);
    CScreenPrompts prompts(InstallerState, unattended ? static_cast<CInstallPrompts&>(answers)
                                                      : wizard,
                           stagePictures_);
    CInstallSystem system;
    return CInstallRun(InstallerState, *this, prompts, system).Run();
}

void CInstallerScreen::ShowStart() {
    if (pictures_.backgroundLoaded &&
        std::strcmp(pictures_.backgroundRoot, InstallerState.SourceRoot) == 0) {
        backBuffer_.Draw(&pictures_.background, 0, 0);
    } else {
        LoadBackground(kStagePictures[0]);
        backBuffer_.Draw(&background_, 0, 0);
    }
    DrawProgressBar(0, 0);
    Invalidate(nullptr);
    stagePictures_.Begin(InstallerState.SourceRoot);
}

void CInstallerScreen::ShowFinished() {
    RECT touched = DrawProgressBar(100, 100);
    Invalidate(&touched);
}

void CInstallerScreen::ShowProgress(std::int32_t percent) {
    const int stage = StageForPercent(percent);
    bool newBackground = false;
    if (stage == 0) {
        progressStage_ = 0;
    } else if (stage != progressStage_) {
        DrawStage(stage);
        Invalidate(nullptr);
        progressStage_ = stage;
        newBackground = true;
    }
    // Most polls find the display as it is: nothing to draw or show.
    if (!newBackground && displayShown_ && LayoutFor(percent, percent) == shownLayout_) return;
    RECT touched = DrawProgressBar(percent, percent);
    // Also after a new background: a paint between the two drawings showed
    // it without the display.
    Invalidate(&touched);
}

void CInstallerScreen::DrawStage(int stage) {
    // Read ahead while the wizard ran, unless the disc moved to another
    // drive since; then from that drive now.
    CSurfaceProxy* picture = stagePictures_.Find(stage, InstallerState.SourceRoot);
    if (!picture) {
        LoadBackground(kStagePictures[stage]);
        picture = &background_;
    }
    backBuffer_.Draw(picture, 0, 0);
}

ProgressBarLayout CInstallerScreen::LayoutFor(std::int32_t number, std::int32_t bar) {
    LONG fullWidth = 0, fullHeight = 0, emptyWidth = 0, emptyHeight = 0;
    pictures_.fullBar.GetSize(&fullWidth, &fullHeight);
    pictures_.emptyBar.GetSize(&emptyWidth, &emptyHeight);
    return LayoutProgressBar(number, bar, fullWidth, emptyWidth);
}

RECT CInstallerScreen::DrawProgressBar(std::int32_t number, std::int32_t bar) {
    LONG frameWidth = 0, frameHeight = 0;
    pictures_.frame.GetSize(&frameWidth, &frameHeight);
    backBuffer_.Draw(&pictures_.frame, kFramePosition.x, kFramePosition.y);

    LONG fullWidth = 0, fullHeight = 0, emptyWidth = 0, emptyHeight = 0;
    pictures_.fullBar.GetSize(&fullWidth, &fullHeight);
    pictures_.emptyBar.GetSize(&emptyWidth, &emptyHeight);
    const ProgressBarLayout layout = LayoutProgressBar(number, bar, fullWidth, emptyWidth);
    shownLayout_ = layout;
    displayShown_ = true;

    const LONG x = kBarPosition.x, y = kBarPosition.y;
    if (layout.fullWidth > 0) {
        backBuffer_.DrawRect(x, y, x + layout.fullWidth, y + fullHeight, &pictures_.fullBar, 0, 0,
                             layout.fullWidth, fullHeight, 0, 0, kScreenWidth, kScreenHeight);
    }
    if (layout.emptyStart < emptyWidth) {
        backBuffer_.DrawRect(x + layout.emptyStart, y, x + emptyWidth, y + emptyHeight,
                             &pictures_.emptyBar, layout.emptyStart, 0, emptyWidth, emptyHeight,
                             0, 0, kScreenWidth, kScreenHeight);
    }
    if (layout.tensDigit >= 0) {
        backBuffer_.Draw(&pictures_.digits[layout.tensDigit], kTensPosition.x, kTensPosition.y);
    }
    backBuffer_.Draw(&pictures_.digits[layout.unitsDigit], kUnitsPosition.x, kUnitsPosition.y);
    backBuffer_.Draw(&pictures_.digits[kPercentSign], kPercentPosition.x, kPercentPosition.y);

    return RECT{kFramePosition.x, kFramePosition.y, kFramePosition.x + frameWidth,
                kFramePosition.y + frameHeight};
}

bool CInstallerScreen::CPaintHandler::OnMessage(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_SIZE) {
        InvalidateRect(hwnd, nullptr, FALSE);
        return true;
    }
    if (message != WM_PAINT) return false;

    RECT client = {};
    GetClientRect(hwnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    CSurfaceProxy& buffer = screen_.backBuffer_;
    HDC source = buffer.AcquireDC();
    PAINTSTRUCT paint;
    HDC target = BeginPaint(hwnd, &paint);
    if (source && target) {
        // The dirty rectangle is in window pixels; the part of the buffer
        // behind it goes exactly where stretching the whole buffer puts it.
        const RECT& r = paint.rcPaint;
        const ScreenRect part = WindowToBuffer({r.left, r.top, r.right, r.bottom}, kScreenWidth,
                                               kScreenHeight, width, height);
        const ScreenRect shown = BufferToWindow(part, kScreenWidth, kScreenHeight, width, height);
        if (part.right > part.left && part.bottom > part.top) {
            StretchBlt(target, shown.left, shown.top, shown.right - shown.left,
                       shown.bottom - shown.top, source, part.left, part.top,
                       part.right - part.left, part.bottom - part.top, SRCCOPY);
        }
    }
    if (source) buffer.FreeDC(source);
    EndPaint(hwnd, &paint);
    return true;
}
