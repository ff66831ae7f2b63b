#include "framework/graphics/dib_surface.h"

#include <cstdint>
#include <utility>

#include "framework/graphics/clipped_blit.h"
#include "framework/graphics/surface_fill.h"

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

int CDibSurface::GetKind() {
    if (alphaMask_) return 3;
    return useColourKey_ ? 2 : 1;
}

void CDibSurface::SetColourKey(COLORREF key) {
    colourKey_ = key;
    useColourKey_ = true;
}

std::uint8_t* CDibSurface::GetAlpha() {
    if (!alphaMask_) alphaMask_.reset(new CAlphaMask(this));
    return alphaMask_->GetData();
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

void CDibSurface::FillRect(COLORREF colour, LONG left, LONG top, LONG right, LONG bottom) {
    FillPixels(pixels_, stride_, width_, height_, bitsPerPixel_ / 8, colour, {left, top, right, bottom});
}

void CDibSurface::Fill(COLORREF colour) { FillRect(colour, 0, 0, width_, height_); }

void CDibSurface::FlipRect(RECT* rect) {
    const BlitRect r = FlipRectRows({rect->left, rect->top, rect->right, rect->bottom}, height_);
    *rect = {r.left, r.top, r.right, r.bottom};
}

void CDibSurface::BlendRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
                            LONG sb, LONG cl, LONG ct, LONG cr, LONG cb, int opacity) {
    BlitRects(this, dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, true, opacity);
}

void CDibSurface::DrawRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr, LONG sb,
                           LONG cl, LONG ct, LONG cr, LONG cb) {
    BlitRects(this, dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, false, 255);
}

CDibSurface::~CDibSurface() { Release(); }
