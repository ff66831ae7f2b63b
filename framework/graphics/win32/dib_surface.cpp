#include "framework/graphics/win32/dib_surface.h"

#include <cstdint>
#include <utility>

bool CDibSurface::CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int, int bitsPerPixel) {
    Release();
    if (width < 1 || height < 1) return false;
    const int depth = bitsPerPixel == 0 ? 24 : bitsPerPixel;
    if (depth != 24 && depth != 32) return false;
    const std::int64_t stride =
        depth == 24 ? ((static_cast<std::int64_t>(width) * 3 + 3) & ~std::int64_t(3)) : std::int64_t(width) * 4;
    if (stride * height > INT32_MAX) return false;

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // positive: rows bottom-up
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(depth);
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_hgdiobj section;
    {
        const unique_window_dc dc(window);
        section.reset(CreateDIBSection(dc.get(), reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                       &bits, nullptr, 0));
    }
    if (!section || !bits) return false;
    section_ = std::move(section);
    pixels_ = static_cast<std::uint8_t*>(bits);
    width_ = width;
    height_ = height;
    stride_ = static_cast<LONG>(stride);
    bitsPerPixel_ = depth;
    useColourKey_ = useColourKey;
    colourKey_ = kDefaultColourKey;
    return true;
}

bool CDibSurface::LoadFile(const char*, bool, int, int) { return false; }

void CDibSurface::Release() {
    alphaMask_.reset();
    pixels_ = nullptr;
    section_.reset();
    width_ = height_ = stride_ = bitsPerPixel_ = 0;
}

int CDibSurface::GetKind() { return KindFrom(1); }

void CDibSurface::SetColourKey(COLORREF key) {
    colourKey_ = key;
    useColourKey_ = true;
}

HDC CDibSurface::AcquireDC() {
    if (!section_.get()) return nullptr;
    unique_hdc dc(CreateCompatibleDC(nullptr));
    if (dc) SelectObject(dc.get(), section_.get());
    return dc.release();
}

void CDibSurface::FreeDC(HDC dc) {
    const unique_hdc owned(dc);  // deleted here; the section stays the surface's
}

void CDibSurface::GetSize(LONG* width, LONG* height) {
    if (width) *width = width_;
    if (height) *height = height_;
}

CDibSurface::~CDibSurface() { Release(); }
