#include "framework/graphics/win32/surface_proxy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/file/archive_writer.h"
#include "framework/graphics/win32/dib_surface.h"
#include "framework/graphics/win32/image_surface.h"
#include "framework/system/win32/wide_text.h"
#include "tests/framework/graphics/bmp_bytes.h"
#include "tools/automation/win32/scratch.h"

namespace {

std::string AsString(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A 24-bit BMP of width x height whose pixel (x, y), counted top-down, is
// blue x, green y, red 0x40.
std::string PictureFile(int width, int height) {
    const std::uint32_t stride = BmpStride24(width);
    std::vector<std::uint8_t> pixels(stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[(height - 1 - y) * stride + x * 3];
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 0x40;
        }
    return AsString(MakeBmpFile(width, height, 24, pixels));
}

// Colour of pixel (x, y), top-down, read through the surface's own DC.
COLORREF PixelAt(CSurface& surface, int x, int y) {
    HDC dc = surface.AcquireDC();
    const COLORREF c = GetPixel(dc, x, y);
    surface.FreeDC(dc);
    return c;
}

TEST(Surface, CreateForWindowMakesA24BitSectionForDepthZero) {
    const struct {
        LONG width, height;
        int depth;
        bool ok;
        int bits, stride;
    } cases[] = {
        {800, 600, 0, true, 24, 2400}, {801, 2, 0, true, 24, 2404}, {5, 5, 32, true, 32, 20},
        {0, 600, 0, false, 0, 0},      {800, 0, 24, false, 0, 0},   {8, 8, 16, false, 0, 0},
        {-4, 8, 24, false, 0, 0},
    };
    for (const auto& c : cases) {
        CSurfaceProxy surface;
        EXPECT_EQ(surface.CreateForWindow(nullptr, c.width, c.height, false, 0, c.depth), c.ok) << c.width;
        EXPECT_EQ(surface.IsValid(), c.ok);
        EXPECT_EQ(surface.GetBitsPerPixel(), c.bits);
        EXPECT_EQ(surface.GetStride(), c.stride);
        EXPECT_EQ(surface.GetKind(), c.ok ? 1 : 0);
        EXPECT_EQ(surface.Implementation() != nullptr, c.ok);
        if (c.ok) {
            EXPECT_NE(surface.GetBitmap(), nullptr);
            EXPECT_EQ(surface.GetColourKey(), kDefaultColourKey);
        }
    }
}

TEST(Surface, AcquiredDcDrawsFromThePixelsWithStretchBlt) {
    CSurfaceProxy small, large;
    ASSERT_TRUE(small.CreateForWindow(nullptr, 2, 2, false, 0, 0));
    ASSERT_TRUE(large.CreateForWindow(nullptr, 4, 4, false, 0, 0));
    small.Fill(RGB(0x11, 0x22, 0x33));
    small.FillRect(RGB(0xA0, 0xB0, 0xC0), 1, 0, 2, 1);  // top-right pixel
    HDC from = small.AcquireDC();
    HDC to = large.AcquireDC();
    ASSERT_NE(from, nullptr);
    ASSERT_NE(to, nullptr);
    EXPECT_TRUE(StretchBlt(to, 0, 0, 4, 4, from, 0, 0, 2, 2, SRCCOPY));
    GdiFlush();
    small.FreeDC(from);
    large.FreeDC(to);
    // Top-right quarter of the large surface holds the top-right pixel; its
    // top row is the last row in memory, blue first.
    const std::uint8_t* topRow = large.GetBits() + 3 * large.GetStride();
    EXPECT_EQ(topRow[9], 0xC0);
    EXPECT_EQ(topRow[10], 0xB0);
    EXPECT_EQ(topRow[11], 0xA0);
    EXPECT_EQ(PixelAt(large, 0, 3), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(PixelAt(large, 3, 0), RGB(0xA0, 0xB0, 0xC0));
}

TEST(Surface, FillRectWritesBytesInBlueGreenRedOrder) {
    CSurfaceProxy surface;
    ASSERT_TRUE(surface.CreateForWindow(nullptr, 3, 2, false, 0, 24));
    surface.Fill(0);
    surface.FillRect(0x010203, 0, 1, 1, 2);  // bottom-left: first bytes in memory
    const std::uint8_t* bits = surface.GetBits();
    EXPECT_EQ(bits[0], 1);
    EXPECT_EQ(bits[1], 2);
    EXPECT_EQ(bits[2], 3);
    EXPECT_EQ(bits[3], 0);
    surface.FillRect(0xFFFFFF, -100, -100, 100, 100);  // cut to the surface
    EXPECT_EQ(PixelAt(surface, 2, 0), RGB(0xFF, 0xFF, 0xFF));
}

class ImageFiles : public ::testing::Test {
protected:
    // Writes `name` (ASCII) in the test's folder; returns its path as the
    // file layer takes the data's paths, in Shift-JIS.
    std::string Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(WriteFileBytes(dir_ / Widen(name), bytes));
        return ShiftJisPath(dir_.path()) + "\\" + name;
    }
    // Loads the picture at `path` into image_ (colour-keyed or not) and makes
    // screen_ a width x height surface of `depth` bits (0: the display's).
    ::testing::AssertionResult Stage(const std::string& path, LONG width, LONG height, int depth = 0,
                                     bool keyed = false) {
        if (!image_.LoadFile(path.c_str(), keyed, 0, 0)) return ::testing::AssertionFailure() << "cannot load " << path;
        if (!screen_.CreateForWindow(nullptr, width, height, false, 0, depth))
            return ::testing::AssertionFailure() << "no " << width << " x " << height << " screen";
        return ::testing::AssertionSuccess();
    }
    ScratchDir dir_;
    CSurfaceProxy image_, screen_;
};

TEST_F(ImageFiles, LoadFileGivesKindsElevenTwelveAndThirteen) {
    const std::string plain = Write("plain.bmp", PictureFile(4, 2));
    const std::string masked = Write("masked.bmp", PictureFile(4, 2));
    Write("masked.alp", std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    const struct {
        const std::string* path;
        bool useKey;
        int kind;
    } cases[] = {{&plain, false, 11}, {&plain, true, 12}, {&masked, false, 13}, {&masked, true, 13}};
    for (const auto& c : cases) {
        CSurfaceProxy surface;
        ASSERT_TRUE(surface.LoadFile(c.path->c_str(), c.useKey, 0, 0)) << *c.path;
        EXPECT_EQ(surface.GetKind(), c.kind) << *c.path << " key " << c.useKey;
        EXPECT_EQ(surface.GetBitsPerPixel(), 24);
        EXPECT_EQ(surface.GetStride(), 12);
        EXPECT_EQ(surface.GetColourKey(), kDefaultColourKey);
        LONG w = 0, h = 0;
        surface.GetSize(&w, &h);
        EXPECT_EQ(w, 4);
        EXPECT_EQ(h, 2);
        EXPECT_EQ(surface.AcquireDC(), nullptr);
        EXPECT_EQ(surface.GetBitmap(), nullptr);
        EXPECT_FALSE(surface.Implementation()->CreateForWindow(nullptr, 4, 4, false, 0, 0));
    }
    // The mask file's first row is the picture's top row: the second in memory.
    CSurfaceProxy surface;
    ASSERT_TRUE(surface.LoadFile(masked.c_str(), false, 0, 0));
    const std::uint8_t* mask = surface.GetAlpha();
    EXPECT_EQ(mask[0], 5);
    EXPECT_EQ(mask[12], 1);
    EXPECT_EQ(mask[23], 4);
}

TEST_F(ImageFiles, GetAlphaMakesAnOpaqueMaskAndTurnsTheKind) {
    const std::string path = Write("pic.bmp", PictureFile(4, 2));
    CSurfaceProxy image, dib;
    ASSERT_TRUE(image.LoadFile(path.c_str(), true, 0, 0));
    ASSERT_TRUE(dib.CreateForWindow(nullptr, 4, 2, true, 0, 0));
    EXPECT_EQ(image.GetKind(), 12);
    EXPECT_EQ(dib.GetKind(), 2);
    for (CSurfaceProxy* s : {&image, &dib}) {
        const std::uint8_t* mask = s->GetAlpha();
        ASSERT_NE(mask, nullptr);
        for (int i = 0; i < 24; ++i) ASSERT_EQ(mask[i], 255) << i;
    }
    EXPECT_EQ(image.GetKind(), 13);
    EXPECT_EQ(dib.GetKind(), 3);
}

TEST_F(ImageFiles, SetColourKeyTurnsKeyingOnOnlyForDibSurfaces) {
    const std::string path = Write("pic.bmp", PictureFile(2, 2));
    CSurfaceProxy image, dib;
    ASSERT_TRUE(image.LoadFile(path.c_str(), false, 0, 0));
    ASSERT_TRUE(dib.CreateForWindow(nullptr, 2, 2, false, 0, 0));
    image.SetColourKey(0x123456);
    dib.SetColourKey(0x123456);
    EXPECT_EQ(image.GetKind(), 11);
    EXPECT_EQ(dib.GetKind(), 2);
    EXPECT_EQ(image.GetColourKey(), 0x123456u);
    EXPECT_EQ(dib.GetColourKey(), 0x123456u);
}

TEST_F(ImageFiles, ExtensionChoosesTheDecoderWhateverItsCase) {
    const std::string bmp = PictureFile(2, 2);
    const struct {
        const char* name;
        std::string bytes;
        bool ok;
    } cases[] = {
        {"PIC.BMP", bmp, true},
        {"pic.Bmp", bmp, true},
        {"pic.png", bmp, false},
        {"noextension", bmp, false},
        {"eight.bmp", AsString(MakeBmpFile(2, 2, 8, std::vector<std::uint8_t>(8))), false},
        {"topdown.bmp", AsString(MakeBmpFile(2, -2, 24, std::vector<std::uint8_t>(16))), false},
        {"headers.bmp", bmp.substr(0, 30), false},
    };
    for (const auto& c : cases) {
        const std::string path = Write(c.name, c.bytes);
        CSurfaceProxy surface;
        ASSERT_TRUE(surface.CreateForWindow(nullptr, 2, 2, false, 0, 0));
        EXPECT_EQ(surface.LoadFile(path.c_str(), false, 0, 0), c.ok) << c.name;
        EXPECT_EQ(surface.IsValid(), c.ok) << c.name;
        EXPECT_EQ(surface.Implementation() != nullptr, c.ok) << c.name;
    }
    CSurfaceProxy missing;
    EXPECT_FALSE(missing.LoadFile((ShiftJisPath(dir_.path()) + "\\absent.bmp").c_str(), false, 0, 0));
}

TEST_F(ImageFiles, PicturesAndMasksComeFromPackedFilesAndArchives) {
    const std::string picture = PictureFile(4, 2);
    const std::vector<std::uint8_t> pictureBytes(picture.begin(), picture.end());
    const std::vector<std::uint8_t> maskBytes = {0, 0, 0, 0, 9, 9, 9, 9};
    ASSERT_TRUE(CreateDirectoryW((dir_ / L"data").c_str(), nullptr));
    CArchiveWriter writer;
    ASSERT_TRUE(writer.Add("t001_000.bmp", pictureBytes));
    ASSERT_TRUE(writer.Add("t001_000.alp", maskBytes));
    ASSERT_TRUE(writer.Add("t001_001.bmp", pictureBytes));
    Write("data\\obj.dat", AsString(writer.Build()));
    ASSERT_TRUE(CreateDirectoryW((dir_ / L"solo").c_str(), nullptr));
    Write("solo\\pic.bmp.dat", AsString(MakeSinglePackedFile(pictureBytes)));

    // The setup screen names its pictures relative to the current directory
    // with forward slashes.
    wchar_t previous[MAX_PATH] = L"";
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
    const struct {
        const char* name;
        int kind;
    } cases[] = {{"data/obj/t001_000.bmp", 13}, {"data/obj/t001_001.bmp", 11}, {"solo/pic.bmp", 11}};
    for (const auto& c : cases) {
        CSurfaceProxy surface;
        EXPECT_TRUE(surface.LoadFile(c.name, false, 0, 0)) << c.name;
        EXPECT_EQ(surface.GetKind(), c.kind) << c.name;
        LONG w = 0, h = 0;
        surface.GetSize(&w, &h);
        EXPECT_EQ(w, 4) << c.name;
        EXPECT_EQ(h, 2) << c.name;
        const std::uint8_t* bits = surface.GetBits();
        ASSERT_NE(bits, nullptr);
        EXPECT_EQ(std::string(bits, bits + 24), picture.substr(kBmpHeaderBytes)) << c.name;
        if (c.kind == 13) {
            EXPECT_EQ(surface.GetAlpha()[0], 9);   // bottom row: the file's second row
            EXPECT_EQ(surface.GetAlpha()[12], 0);  // top row
        }
    }
    SetCurrentDirectoryW(previous);
}

TEST_F(ImageFiles, DrawPutsTheSourceTopRowAtTheGivenRow) {
    const std::string path = Write("pic.bmp", PictureFile(3, 2));
    ASSERT_TRUE(Stage(path, 6, 5));
    screen_.Fill(0);
    screen_.Draw(&image_, 2, 1);
    EXPECT_EQ(PixelAt(screen_, 2, 1), RGB(0x40, 0, 0));
    EXPECT_EQ(PixelAt(screen_, 4, 2), RGB(0x40, 1, 2));
    EXPECT_EQ(PixelAt(screen_, 1, 1), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(screen_, 2, 3), RGB(0, 0, 0));
    // Partly off the screen, and wholly off it: only the visible part lands.
    screen_.Fill(0);
    screen_.Draw(&image_, -1, 4);
    EXPECT_EQ(PixelAt(screen_, 0, 4), RGB(0x40, 0, 1));
    screen_.Draw(&image_, 6, 5);
    screen_.Draw(&image_, -3, -2);
    // Scaled to the whole screen: the corners take the corner pixels.
    screen_.DrawRect(0, 0, 6, 5, &image_, 0, 0, 3, 2, 0, 0, 6, 5);
    EXPECT_EQ(PixelAt(screen_, 0, 0), RGB(0x40, 0, 0));
    EXPECT_EQ(PixelAt(screen_, 5, 4), RGB(0x40, 1, 2));
}

TEST_F(ImageFiles, UnscaledSourceCutByItsPictureKeepsToTheBottomRows) {
    // A 3 x 2 picture drawn unscaled from a 3 x 4 source rectangle that
    // overhangs it above or below: its two rows land on the destination
    // rectangle's two bottom rows, top row first, and the rows above stay.
    const std::string path = Write("pic.bmp", PictureFile(3, 2));
    ASSERT_TRUE(Stage(path, 6, 6));
    for (LONG sourceTop : {-2, 0}) {
        screen_.Fill(0);
        screen_.DrawRect(1, 1, 4, 5, &image_, 0, sourceTop, 3, sourceTop + 4, 0, 0, 6, 6);
        for (int y = 0; y < 6; ++y) {
            const COLORREF expected = y == 3 ? RGB(0x40, 0, 2) : y == 4 ? RGB(0x40, 1, 2) : RGB(0, 0, 0);
            EXPECT_EQ(PixelAt(screen_, 3, y), expected) << "source top " << sourceTop << ", row " << y;
        }
    }
}

TEST_F(ImageFiles, MaskedAndBlendedDrawsMixTheColours) {
    const std::string path = Write("pic.bmp", PictureFile(2, 1));
    Write("pic.alp", std::string("\x00\xFF", 2));
    ASSERT_TRUE(Stage(path, 2, 1));
    screen_.Fill(RGB(0x80, 0x80, 0x80));
    screen_.Draw(&image_, 0, 0);
    EXPECT_EQ(PixelAt(screen_, 0, 0), RGB(0x80, 0x80, 0x80));  // mask 0: unchanged
    // Mask 255 over 0x80 in a 2-pixel row (per-byte rule):
    // 0x80 + trunc((s - 0x80) * 255 / 256) for s = 0x40, 0x00, 0x01.
    EXPECT_EQ(PixelAt(screen_, 1, 0), RGB(0x41, 0x01, 0x02));
    screen_.Fill(RGB(0x80, 0x80, 0x80));
    screen_.Blend(&image_, 0, 0, 0);
    EXPECT_EQ(PixelAt(screen_, 1, 0), RGB(0x80, 0x80, 0x80));
}

TEST_F(ImageFiles, BlitsBetweenDifferentDepthsDrawNothing) {
    const std::string path = Write("pic.bmp", PictureFile(2, 2));
    ASSERT_TRUE(Stage(path, 2, 2, 32));
    screen_.Fill(RGB(1, 2, 3));
    screen_.Draw(&image_, 0, 0);
    EXPECT_EQ(PixelAt(screen_, 0, 0), RGB(1, 2, 3));
}

// Records the rectangles the shared blits hand to BlendRect and DrawRect.
class CRecordingSurface : public CSurface {
public:
    CRecordingSurface(LONG width, LONG height) : width_(width), height_(height) {}
    bool CreateForWindow(HWND, LONG, LONG, bool, int, int) override { return false; }
    bool LoadFile(const char*, bool, int, int) override { return false; }
    void Release() override {}
    int GetKind() override { return 1; }
    int GetBitsPerPixel() override { return 24; }
    COLORREF GetColourKey() override { return 0; }
    void SetColourKey(COLORREF) override {}
    bool IsValid() override { return true; }
    void Lock() override {}
    void Unlock() override {}
    std::uint8_t* GetBits() override { return nullptr; }
    std::uint8_t* GetAlpha() override { return nullptr; }
    HBITMAP GetBitmap() override { return nullptr; }
    HDC AcquireDC() override { return nullptr; }
    void FreeDC(HDC) override {}
    void GetSize(LONG* w, LONG* h) override { *w = width_, *h = height_; }
    int GetStride() override { return 0; }
    void FillRect(COLORREF, LONG, LONG, LONG, LONG) override {}
    void Fill(COLORREF) override {}
    void FlipRect(RECT*) override {}
    void BlendRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr, LONG sb, LONG cl,
                   LONG ct, LONG cr, LONG cb, int opacity) override {
        Record(dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, opacity);
    }
    void DrawRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr, LONG sb, LONG cl,
                  LONG ct, LONG cr, LONG cb) override {
        Record(dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, -1);
    }
    std::vector<LONG> last;
    CSurface* lastSource = nullptr;

private:
    void Record(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr, LONG sb, LONG cl,
                LONG ct, LONG cr, LONG cb, int opacity) {
        last = {dl, dt, dr, db, sl, st, sr, sb, cl, ct, cr, cb, opacity};
        lastSource = source;
    }
    LONG width_, height_;
};

TEST(Surface, SharedBlitsPassTheWholeSourceAndTheRightClip) {
    CRecordingSurface screen(800, 600), picture(100, 50);
    screen.Draw(&picture, 10, 20);
    EXPECT_EQ(screen.last, (std::vector<LONG>{10, 20, 110, 70, 0, 0, 100, 50, 0, 0, 800, 600, -1}));
    EXPECT_EQ(screen.lastSource, &picture);
    screen.DrawClipped(&picture, -5, 7, 1, 2, 3, 4);
    EXPECT_EQ(screen.last, (std::vector<LONG>{-5, 7, 95, 57, 0, 0, 100, 50, 1, 2, 3, 4, -1}));
    screen.Blend(&picture, 1, 2, 77);
    EXPECT_EQ(screen.last, (std::vector<LONG>{1, 2, 101, 52, 0, 0, 100, 50, 0, 0, 800, 600, 77}));
    screen.BlendClipped(&picture, 3, 4, 5, 6, 7, 8, 300);
    EXPECT_EQ(screen.last, (std::vector<LONG>{3, 4, 103, 54, 0, 0, 100, 50, 5, 6, 7, 8, 300}));
    // A position at the end of the coordinate range does not wrap around.
    screen.Draw(&picture, INT32_MAX - 10, 0);
    EXPECT_EQ(screen.last[2], INT32_MAX);
}

TEST_F(ImageFiles, ColourKeyedImageLeavesKeyPixelsAlone) {
    // Pixel (0, 0) is pure green, the default key; pixel (1, 0) is not.
    std::vector<std::uint8_t> pixels = {0x00, 0xFF, 0x00, 0x00, 0xFF, 0x01, 0, 0};
    const std::string path = Write("keyed.bmp", AsString(MakeBmpFile(2, 1, 24, pixels)));
    ASSERT_TRUE(Stage(path, 2, 1, 0, true));
    ASSERT_EQ(image_.GetKind(), 12);
    screen_.Fill(RGB(7, 7, 7));
    screen_.Draw(&image_, 0, 0);
    EXPECT_EQ(PixelAt(screen_, 0, 0), RGB(7, 7, 7));
    EXPECT_EQ(PixelAt(screen_, 1, 0), RGB(0x01, 0xFF, 0x00));
    // Without keying the same picture is copied whole.
    CSurfaceProxy plain;
    ASSERT_TRUE(plain.LoadFile(path.c_str(), false, 0, 0));
    screen_.Draw(&plain, 0, 0);
    EXPECT_EQ(PixelAt(screen_, 0, 0), RGB(0x00, 0xFF, 0x00));
}

TEST(Surface, EmptyProxyIsHarmless) {
    CSurfaceProxy empty, other;
    ASSERT_TRUE(other.CreateForWindow(nullptr, 4, 4, false, 0, 0));
    EXPECT_EQ(empty.GetKind(), 0);
    EXPECT_EQ(empty.GetBitsPerPixel(), 0);
    EXPECT_EQ(empty.GetColourKey(), 0u);
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.GetBits(), nullptr);
    EXPECT_EQ(empty.GetAlpha(), nullptr);
    EXPECT_EQ(empty.GetBitmap(), nullptr);
    EXPECT_EQ(empty.AcquireDC(), nullptr);
    EXPECT_EQ(empty.GetStride(), 0);
    LONG w = 7, h = 7;
    empty.GetSize(&w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    RECT r{1, 2, 3, 4};
    empty.FlipRect(&r);
    EXPECT_EQ(r.top, 2);
    empty.SetColourKey(5);
    empty.Lock();
    empty.Unlock();
    empty.FreeDC(nullptr);
    empty.Fill(1);
    empty.FillRect(1, 0, 0, 1, 1);
    empty.Draw(&other, 0, 0);
    empty.Blend(&other, 0, 0, 100);
    other.Fill(RGB(9, 9, 9));
    other.Draw(&empty, 0, 0);
    other.Draw(nullptr, 0, 0);
    other.BlendClipped(&empty, 0, 0, 0, 0, 4, 4, 128);
    EXPECT_EQ(PixelAt(other, 0, 0), RGB(9, 9, 9));
    empty.Release();
    other.Release();
    EXPECT_FALSE(other.IsValid());
}

TEST(Surface, MaskNameReplacesTheLastThreeCharacters) {
    EXPECT_EQ(AlphaMaskName("data/obj/t001_000.bmp"), "data/obj/t001_000.alp");
    EXPECT_EQ(AlphaMaskName("PIC.BMP"), "PIC.alp");
    EXPECT_EQ(AlphaMaskName("abc"), "alp");
    EXPECT_EQ(AlphaMaskName("ab"), "");
    EXPECT_EQ(AlphaMaskName(""), "");
    EXPECT_EQ(AlphaMaskName(nullptr), "");
}

}  // namespace
