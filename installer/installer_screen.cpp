#include "installer/installer_screen.h"

#include "framework/system/path_text.h"
#include "installer/progress_math.h"

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

}  // namespace

CInstallerScreen::CInstallerScreen() : paintHandler_(*this) {
    TheThreadRegistry.AddHandler(&paintHandler_);
    backBuffer_.CreateForWindow(MainWindow(), kScreenWidth, kScreenHeight, false, 0, 0);
    frame_.LoadFile("data/obj/t000_007.bmp", false, 0, 0);
    emptyBar_.LoadFile("data/obj/t000_008.bmp", false, 0, 0);
    fullBar_.LoadFile("data/obj/t000_009.bmp", false, 0, 0);
    for (int i = 0; i < 11; ++i) {
        char name[32];
        FormatText(name, sizeof name, "data/obj/t001_%03d.bmp", i);
        digits_[i].LoadFile(name, false, 0, 0);
    }
    progressStage_ = 0;
}

CInstallerScreen::~CInstallerScreen() { TheThreadRegistry.RemoveHandler(&paintHandler_); }

HWND CInstallerScreen::MainWindow() { return TheThreadRegistry.GetHwnd(); }

void CInstallerScreen::Invalidate(const RECT* rect) {
    HWND window = MainWindow();
    if (window) InvalidateRect(window, rect, FALSE);
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

void CInstallerScreen::RunInstall() {
    CInstallPrompts prompts(InstallerState);
    CInstallSystem system;
    CInstallRun(InstallerState, *this, prompts, system).Run();
}

void CInstallerScreen::ShowStart() {
    LoadBackground("t000_000.bmp");
    backBuffer_.Draw(&background_, 0, 0);
    DrawProgressBar(0, 0);
    Invalidate(nullptr);
}

void CInstallerScreen::ShowFinished() {
    RECT touched = DrawProgressBar(100, 100);
    Invalidate(&touched);
}

void CInstallerScreen::ShowProgress(std::int32_t percent) {
    const int stage = StageForPercent(percent);
    if (stage == 0) {
        progressStage_ = 0;
    } else if (stage != progressStage_) {
        LoadBackground(kStagePictures[stage]);
        backBuffer_.Draw(&background_, 0, 0);
        Invalidate(nullptr);
        progressStage_ = stage;
    }
    RECT touched = DrawProgressBar(percent, percent);
    Invalidate(&touched);
}

RECT CInstallerScreen::DrawProgressBar(std::int32_t number, std::int32_t bar) {
    LONG frameWidth = 0, frameHeight = 0;
    frame_.GetSize(&frameWidth, &frameHeight);
    backBuffer_.Draw(&frame_, kFramePosition.x, kFramePosition.y);

    LONG fullWidth = 0, fullHeight = 0, emptyWidth = 0, emptyHeight = 0;
    fullBar_.GetSize(&fullWidth, &fullHeight);
    emptyBar_.GetSize(&emptyWidth, &emptyHeight);
    const ProgressBarLayout layout = LayoutProgressBar(number, bar, fullWidth, emptyWidth);

    const LONG x = kBarPosition.x, y = kBarPosition.y;
    if (layout.fullWidth > 0) {
        backBuffer_.DrawRect(x, y, x + layout.fullWidth, y + fullHeight, &fullBar_, 0, 0,
                             layout.fullWidth, fullHeight, 0, 0, kScreenWidth, kScreenHeight);
    }
    if (layout.emptyStart < emptyWidth) {
        backBuffer_.DrawRect(x + layout.emptyStart, y, x + emptyWidth, y + emptyHeight,
                             &emptyBar_, layout.emptyStart, 0, emptyWidth, emptyHeight, 0, 0,
                             kScreenWidth, kScreenHeight);
    }
    if (layout.tensDigit >= 0) {
        backBuffer_.Draw(&digits_[layout.tensDigit], kTensPosition.x, kTensPosition.y);
    }
    backBuffer_.Draw(&digits_[layout.unitsDigit], kUnitsPosition.x, kUnitsPosition.y);
    backBuffer_.Draw(&digits_[kPercentSign], kPercentPosition.x, kPercentPosition.y);

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
    const LONG width = client.right - client.left;
    const LONG height = client.bottom - client.top;
    CSurfaceProxy& buffer = screen_.backBuffer_;
    HDC source = buffer.AcquireDC();
    PAINTSTRUCT paint;
    HDC target = BeginPaint(hwnd, &paint);
    if (source && target) {
        const RECT& r = paint.rcPaint;
        StretchBlt(target, r.left * width / kScreenWidth, r.top * height / kScreenHeight,
                   (r.right - r.left) * width / kScreenWidth + 1,
                   (r.bottom - r.top) * height / kScreenHeight + 1, source, r.left, r.top,
                   r.right - r.left + 1, r.bottom - r.top + 1, SRCCOPY);
    }
    if (source) buffer.FreeDC(source);
    EndPaint(hwnd, &paint);
    return true;
}
