// The progress display of the setup screen, read back from the pixels of its
// back buffer: a screen inside a small application of this test program.
#include "installer/win32/installer_screen.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/app/win32/application.h"
#include "framework/app/win32/thread_registry.h"
#include "framework/file/archive_writer.h"
#include "framework/system/win32/unique_handle.h"
#include "installer/installer_state.h"
#include "framework/system/win32/wide_text.h"
#include "tools/automation/win32/scratch.h"
#include "tools/automation/win32/setup_run.h"

namespace {

// Colours of SetupPictures: stage s, digit d (10 is the percent sign).
COLORREF StageColour(int s) { return RGB(30 * s + 20, 200 - 25 * s, 100 + s); }
COLORREF DigitColour(int d) { return RGB(10 * d + 5, 255 - 10 * d, 128); }
const COLORREF kFrameColour = RGB(40, 40, 40);
const COLORREF kEmptyBarColour = RGB(0, 0, 160);
const COLORREF kFullBarColour = RGB(250, 200, 0);
const int kBarWidth = 130;

COLORREF PixelAt(CSurface& surface, int x, int y) {
    LONG width = 0, height = 0;
    surface.GetSize(&width, &height);
    const std::uint8_t* bits = surface.GetBits();
    if (!bits || x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    // Rows are stored bottom-up.
    const std::uint8_t* p = bits + (height - 1 - y) * surface.GetStride() + x * 3;
    return RGB(p[2], p[1], p[0]);
}

// The bar's row of pixels, as bytes, to compare two displays.
std::string BarRow(CSurface& surface) {
    std::string row;
    for (int x = 563; x < 563 + kBarWidth; ++x) {
        const COLORREF c = PixelAt(surface, x, 560);
        row.append(reinterpret_cast<const char*>(&c), sizeof c);
    }
    return row;
}

// Runs `body` with a setup screen on the application thread of a small
// application whose message loop runs on the calling thread; its main
// window's client area is `clientWidth` x `clientHeight`.
class ScreenApp : public CApplication {
public:
    ScreenApp(std::function<void(CInstallerScreen&)> body, int clientWidth, int clientHeight,
              CScreenPictures* pictures)
        : body_(std::move(body)),
          clientWidth_(clientWidth),
          clientHeight_(clientHeight),
          pictures_(pictures) {}
    ~ScreenApp() override { Stop(); }
    void Main() override {
        CInstallerScreen screen(pictures_);
        body_(screen);
    }
    void ConfigureWindow(WindowParams* params) override {
        RECT rect = {0, 0, clientWidth_, clientHeight_};
        AdjustWindowRect(&rect, params->style, FALSE);
        params->x = params->y = 0;
        params->width = rect.right - rect.left;
        params->height = rect.bottom - rect.top;
    }

private:
    std::function<void(CInstallerScreen&)> body_;
    int clientWidth_, clientHeight_;
    CScreenPictures* pictures_;
};

void RunScreen(std::function<void(CInstallerScreen&)> body, int clientWidth = 800,
               int clientHeight = 600, CScreenPictures* pictures = nullptr) {
    ScreenApp app(std::move(body), clientWidth, clientHeight, pictures);
    app.Initialize();
    ++MessageLoopCount;
    RunMessageLoop();
    --MessageLoopCount;
}

struct Sample {
    int percent;
    int stage;
    COLORREF background;
    COLORREF tens, units, sign;
    COLORREF lastFull, firstEmpty;
    std::string barRow;
};

class InstallerScreen : public testing::Test {
protected:
    void SetUp() override {
        wchar_t cwd[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, cwd);
        savedCwd_ = cwd;
        for (const auto& picture : SetupPictures(true)) {
            ASSERT_TRUE(WriteFileBytes(disc_ / (L"data\\obj\\" + Widen(picture.first)),
                                       picture.second));
        }
        ResetInstallerState();
        std::snprintf(InstallerState.SourceRoot, sizeof InstallerState.SourceRoot, "%s",
                      ShiftJisPath(disc_.path()).c_str());
        ASSERT_TRUE(SetCurrentDirectoryW(disc_.path().c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryW(savedCwd_.c_str());
        ResetInstallerState();
    }

    ScratchDir disc_;
    std::wstring savedCwd_;
};

// Percent, expected stage, tens digit (-1: none), units digit, full bar columns.
struct Case {
    int percent, stage, tens, units, fullColumns;
};
const Case kCases[] = {
    {11, 1, 1, 1, 13},  {5, 0, -1, 5, 0},   {10, 0, 1, 0, 13},  {19, 1, 1, 9, 13},
    {20, 1, 2, 0, 26},  {26, 2, 2, 6, 26},  {41, 3, 4, 1, 52},  {61, 4, 6, 1, 78},
    {81, 5, 8, 1, 104}, {98, 5, 9, 8, 117}, {99, 6, 9, 9, 117}, {100, 6, 9, 9, 130},
    {0, 0, -1, 0, 0},
};

// Shows each case's percent in turn and samples the back buffer after it.
std::vector<Sample> CollectSamples() {
    std::vector<Sample> samples;
    RunScreen([&](CInstallerScreen& screen) {
        for (const Case& c : kCases) {
            screen.ShowProgress(c.percent);
            CSurface& buffer = screen.BackBuffer();
            Sample s;
            s.percent = c.percent;
            s.stage = screen.ProgressStage();
            s.background = PixelAt(buffer, 100, 100);
            s.tens = PixelAt(buffer, 710, 550);
            s.units = PixelAt(buffer, 725, 550);
            s.sign = PixelAt(buffer, 740, 550);
            s.lastFull = PixelAt(buffer, 563 + c.fullColumns - 1, 560);
            s.firstEmpty = PixelAt(buffer, 563 + c.fullColumns, 560);
            s.barRow = BarRow(buffer);
            samples.push_back(s);
        }
    });
    return samples;
}

bool SameDisplay(const Sample& a, const Sample& b) {
    return a.percent == b.percent && a.stage == b.stage && a.background == b.background &&
           a.tens == b.tens && a.units == b.units && a.sign == b.sign && a.barRow == b.barRow;
}

TEST_F(InstallerScreen, ProgressDisplayShowsStagePictureBarAndTwoDigits) {
    const std::vector<Sample> samples = CollectSamples();
    ASSERT_EQ(samples.size(), std::size(kCases));

    int lastLoadedStage = -1;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Case& c = kCases[i];
        const Sample& s = samples[i];
        SCOPED_TRACE("percent " + std::to_string(c.percent));
        EXPECT_EQ(s.stage, c.stage);
        // Stage 0 loads nothing: the last stage picture drawn stays.
        if (c.stage > 0) lastLoadedStage = c.stage;
        EXPECT_EQ(s.background, StageColour(lastLoadedStage));
        EXPECT_EQ(s.tens, c.tens < 0 ? kFrameColour : DigitColour(c.tens));
        EXPECT_EQ(s.units, DigitColour(c.units));
        EXPECT_EQ(s.sign, DigitColour(10));
        if (c.fullColumns > 0) {
            EXPECT_EQ(s.lastFull, kFullBarColour);
        }
        if (c.fullColumns < kBarWidth) {
            EXPECT_EQ(s.firstEmpty, kEmptyBarColour);
        }
    }
    // The bar moves in tens: 19 shows what 10 shows, 20 shows more.
    EXPECT_EQ(samples[3].barRow, samples[2].barRow);
    EXPECT_NE(samples[4].barRow, samples[2].barRow);
}

// Stage pictures come from the disc in use: after a disc change moved
// SourceRoot to another drive, the next stage is read from there.
TEST_F(InstallerScreen, StagePicturesAreReadBelowTheCurrentSourceRoot) {
    ScratchDir other;
    const COLORREF otherColour = RGB(1, 2, 3);
    ASSERT_TRUE(WriteFileBytes(other / L"data\\obj\\t000_002.bmp", SolidBmp(800, 600, otherColour)));
    COLORREF first = 0, second = 0;
    RunScreen([&](CInstallerScreen& screen) {
        screen.ShowProgress(11);
        first = PixelAt(screen.BackBuffer(), 100, 100);
        std::snprintf(InstallerState.SourceRoot, sizeof InstallerState.SourceRoot, "%s",
                      ShiftJisPath(other.path()).c_str());
        screen.ShowProgress(26);
        second = PixelAt(screen.BackBuffer(), 100, 100);
    });
    EXPECT_EQ(first, StageColour(1));
    EXPECT_EQ(second, otherColour);
}

// The disc variant with "data\\obj" packed into "data\\obj.dat" shows the
// same pictures as the loose files.
TEST_F(InstallerScreen, PicturesFromTheObjArchiveShowTheSameDisplay) {
    const std::vector<Sample> loose = CollectSamples();
    CArchiveWriter archive;
    for (const auto& picture : SetupPictures(true)) {
        ASSERT_TRUE(archive.Add(picture.first, std::vector<uint8_t>(picture.second.begin(),
                                                                     picture.second.end())));
    }
    const std::vector<uint8_t> packed = archive.Build();
    ASSERT_FALSE(packed.empty());
    RemoveTree(disc_ / L"data\\obj");
    ASSERT_FALSE(PathExists(disc_ / L"data\\obj"));
    ASSERT_TRUE(WriteFileBytes(disc_ / L"data\\obj.dat", std::string(packed.begin(), packed.end())));

    const std::vector<Sample> packedSamples = CollectSamples();
    ASSERT_EQ(packedSamples.size(), loose.size());
    for (std::size_t i = 0; i < loose.size(); ++i) {
        EXPECT_TRUE(SameDisplay(packedSamples[i], loose[i])) << "percent " << loose[i].percent;
    }
    // And the display is a real one, not two empty ones alike.
    EXPECT_EQ(packedSamples.back().sign, DigitColour(10));
}

// The stage pictures are read while the wizard runs: the copy then shows
// each of them with the disc's pictures gone.
TEST_F(InstallerScreen, StagePicturesReadAheadShowWithoutTheDisc) {
    // The first percent of each stage after the start's and its picture.
    const struct {
        int percent;
        int stage;
    } steps[] = {{11, 1}, {26, 2}, {41, 3}, {61, 4}, {81, 5}, {99, 6}};
    std::vector<COLORREF> shown;
    RunScreen([&](CInstallerScreen& screen) {
        screen.ShowStart();
        screen.FinishStagePictures();
        RemoveTree(disc_ / L"data\\obj");
        if (PathExists(disc_ / L"data\\obj")) return;
        for (const auto& step : steps) {
            screen.ShowProgress(step.percent);
            shown.push_back(PixelAt(screen.BackBuffer(), 100, 100));
        }
    });
    ASSERT_EQ(shown.size(), std::size(steps));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i], StageColour(steps[i].stage)) << steps[i].percent;
    }
}

// The first pictures, read ahead before the window exists, are the ones the
// start shows: the disc's pictures are gone by then.
TEST_F(InstallerScreen, PicturesReadBeforeTheWindowShowTheStart) {
    CScreenPictures pictures;
    ASSERT_TRUE(pictures.Begin());
    COLORREF background = 0, sign = 0;
    RunScreen(
        [&](CInstallerScreen& screen) {
            RemoveTree(disc_ / L"data\\obj");
            if (PathExists(disc_ / L"data\\obj")) return;
            screen.ShowStart();
            background = PixelAt(screen.BackBuffer(), 100, 100);
            sign = PixelAt(screen.BackBuffer(), 740, 550);
        },
        800, 600, &pictures);
    EXPECT_EQ(background, StageColour(0));
    EXPECT_EQ(sign, DigitColour(10));
}

// A poll that finds the display unchanged leaves the window alone: the same
// percent, or one the display clamps to the same.
TEST_F(InstallerScreen, AnUnchangedDisplayInvalidatesNothing) {
    const int pairs[][2] = {{37, 37}, {100, 150}, {0, -5}, {11, 11}};
    std::vector<std::string> dirty;
    RunScreen([&](CInstallerScreen& screen) {
        const HWND window = TheThreadRegistry.GetHwnd();
        for (const auto& pair : pairs) {
            screen.ShowProgress(pair[0]);
            // A late exposure of the new window may spoil one try, not three.
            bool clean = false;
            for (int attempt = 0; attempt < 3 && !clean; ++attempt) {
                ValidateRect(window, nullptr);
                screen.ShowProgress(pair[1]);
                RECT r = {};
                clean = !GetUpdateRect(window, &r, FALSE);
            }
            if (!clean) {
                dirty.push_back(std::to_string(pair[0]) + " then " + std::to_string(pair[1]));
            }
        }
    });
    EXPECT_TRUE(dirty.empty()) << dirty.front();
}

// The window's pixels in `area`, 32 bits each, read through `dc`.
std::vector<std::uint32_t> PixelsOf(HDC dc, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_hgdiobj section(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    unique_hdc memory(CreateCompatibleDC(dc));
    if (!section || !memory) return {};
    HGDIOBJ old = SelectObject(memory.get(), section.get());
    BitBlt(memory.get(), 0, 0, width, height, dc, area.left, area.top, SRCCOPY);
    SelectObject(memory.get(), old);
    const auto* p = static_cast<const std::uint32_t*>(bits);
    return std::vector<std::uint32_t>(p, p + width * height);
}

// In a client area of another size the dirty part of the window shows what
// stretching the whole back buffer over it shows.
TEST_F(InstallerScreen, PaintingPartOfAResizedWindowShowsThatPartOfTheStretchedBuffer) {
    const int clientSizes[][2] = {{1000, 750}, {640, 480}};
    for (const auto& size : clientSizes) {
        const int width = size[0], height = size[1];
        const RECT dirty = {width / 2, height / 2, width / 2 + 100, height / 2 + 90};
        std::vector<std::uint32_t> painted, expected;
        RunScreen(
            [&](CInstallerScreen& screen) {
                const HWND window = TheThreadRegistry.GetHwnd();
                CSurface& buffer = screen.BackBuffer();
                buffer.Fill(RGB(0, 0, 0));
                RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                // A pattern in which a pixel off by one shows.
                for (int y = 0; y < kScreenHeight; ++y) {
                    std::uint8_t* row = buffer.GetBits() + y * buffer.GetStride();
                    for (int x = 0; x < kScreenWidth * 3; ++x) {
                        row[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
                    }
                }
                RedrawWindow(window, &dirty, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                HDC windowDc = GetDC(window);
                painted = PixelsOf(windowDc, dirty);
                // The reference: the whole buffer stretched over the client.
                unique_hdc whole(CreateCompatibleDC(windowDc));
                unique_hgdiobj target(CreateCompatibleBitmap(windowDc, width, height));
                ReleaseDC(window, windowDc);
                HGDIOBJ old = SelectObject(whole.get(), target.get());
                HDC source = buffer.AcquireDC();
                StretchBlt(whole.get(), 0, 0, width, height, source, 0, 0, kScreenWidth,
                           kScreenHeight, SRCCOPY);
                buffer.FreeDC(source);
                expected = PixelsOf(whole.get(), dirty);
                SelectObject(whole.get(), old);
            },
            width, height);
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(painted, expected);
    }
}

}  // namespace
