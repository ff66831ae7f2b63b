#include "framework/graphics/win32/pixel_surface.h"

#include "framework/graphics/win32/clipped_blit.h"
#include "framework/graphics/surface_fill.h"

std::uint8_t* CPixelSurface::GetAlpha() {
    if (!alphaMask_) alphaMask_.reset(new CAlphaMask(this));
    return alphaMask_->GetData();
}

int CPixelSurface::KindFrom(int base) const {
    if (alphaMask_) return base + 2;
    return useColourKey_ ? base + 1 : base;
}

void CPixelSurface::FillRect(COLORREF colour, LONG left, LONG top, LONG right, LONG bottom) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    FillPixels(GetBits(), GetStride(), width, height, GetBitsPerPixel() / 8, colour, {left, top, right, bottom});
}

void CPixelSurface::Fill(COLORREF colour) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    FillRect(colour, 0, 0, width, height);
}

void CPixelSurface::FlipRect(RECT* rect) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    const BlitRect r = FlipRectRows({rect->left, rect->top, rect->right, rect->bottom}, height);
    *rect = {r.left, r.top, r.right, r.bottom};
}

void CPixelSurface::BlendRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
                              LONG sb, LONG cl, LONG ct, LONG cr, LONG cb, int opacity) {
    BlitRects(this, dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, true, opacity);
}

void CPixelSurface::DrawRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
                             LONG sb, LONG cl, LONG ct, LONG cr, LONG cb) {
    BlitRects(this, dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, false, 255);
}
