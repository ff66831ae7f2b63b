#include "framework/graphics/win32/bmp_image.h"

#include <cstring>

#include "framework/file/win32/data_file.h"

static_assert(sizeof(BITMAPFILEHEADER) == kBmpFileHeaderBytes, "file header size");
static_assert(sizeof(BITMAPINFOHEADER) == kBmpInfoHeaderBytes, "info header size");

bool CBmpImage::Load(const char* fileName) {
    CDataFile file;
    if (!fileName || !file.Open(fileName)) return false;
    std::uint8_t headers[kBmpHeaderBytes];
    BmpLayout layout;
    std::unique_ptr<std::uint8_t[]> pixels;
    const bool ok = ReadBmp(file, headers, &layout, &pixels);
    std::string source = file.OpenedPath();
    file.Close();
    if (!ok) return false;
    sourcePath_ = std::move(source);
    std::memcpy(&fileHeader_, headers, kBmpFileHeaderBytes);
    std::memcpy(&infoHeader_, headers + kBmpFileHeaderBytes, kBmpInfoHeaderBytes);
    pixels_ = std::move(pixels);
    layout_ = layout;
    return true;
}

void CBmpImage::Release() {
    pixels_.reset();
    sourcePath_.clear();
    layout_ = BmpLayout();
}

void CBmpImage::GetSize(LONG* width, LONG* height) {
    if (width) *width = layout_.width;
    if (height) *height = layout_.height;
}

const char* CBmpImage::SourcePath() { return pixels_ ? sourcePath_.c_str() : ""; }

std::uint8_t* CBmpImage::GetBits() { return pixels_.get(); }

int CBmpImage::GetStride() { return static_cast<int>(layout_.stride); }

int CBmpImage::PaintTo(HDC dc, LONG x, LONG y, LONG width, LONG height) {
    if (!pixels_) return 0;
    const LONG w = layout_.width, h = layout_.height;
    const bool whole = width == 0 && height == 0;
    return SetDIBitsToDevice(dc, x, y, whole ? w : width, whole ? h : height, x, y, 0, h, pixels_.get(),
                             reinterpret_cast<const BITMAPINFO*>(&infoHeader_), DIB_RGB_COLORS);
}
