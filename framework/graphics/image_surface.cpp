#include "framework/graphics/image_surface.h"

#include <cstring>

#include "framework/graphics/clipped_blit.h"
#include "framework/graphics/surface_fill.h"

std::string AlphaMaskName(const char* imageName) {
    const std::size_t length = imageName ? std::strlen(imageName) : 0;
    if (length < 3) return std::string();
    std::string name(imageName, length - 3);
    return name + "alp";
}

bool CImageSurface::CreateForWindow(HWND, LONG, LONG, bool, int, int) { return false; }

bool CImageSurface::LoadFile(const char* fileName, bool useColourKey, int, int) {
    Release();
    useColourKey_ = useColourKey;
    colourKey_ = kDefaultColourKey;
    std::unique_ptr<CImageFile> image(new CImageFile);
    if (!image->Load(fileName)) return false;
    image_ = std::move(image);
    stride_ = image_->GetStride();
    // The image name ends in ".bmp" here, so the mask name is that of a
    // sibling file.
    const std::string maskName = AlphaMaskName(fileName);
    std::unique_ptr<CAlphaMask> mask(new CAlphaMask(this));
    if (!maskName.empty() && mask->Load(maskName.c_str())) alphaMask_ = std::move(mask);
    return true;
}

void CImageSurface::Release() {
    image_.reset();
    alphaMask_.reset();
    stride_ = 0;
}

int CImageSurface::GetKind() {
    if (alphaMask_) return 13;
    return useColourKey_ ? 12 : 11;
}

std::uint8_t* CImageSurface::GetAlpha() {
    if (!alphaMask_) alphaMask_.reset(new CAlphaMask(this));
    return alphaMask_->GetData();
}

void CImageSurface::GetSize(LONG* width, LONG* height) {
    if (image_) {
        image_->GetSize(width, height);
        return;
    }
    if (width) *width = 0;
    if (height) *height = 0;
}

void CImageSurface::FillRect(COLORREF colour, LONG left, LONG top, LONG right, LONG bottom) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    FillPixels(GetBits(), stride_, width, height, 3, colour, {left, top, right, bottom});
}

void CImageSurface::Fill(COLORREF colour) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    FillRect(colour, 0, 0, width, height);
}

void CImageSurface::FlipRect(RECT* rect) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    const BlitRect r = FlipRectRows({rect->left, rect->top, rect->right, rect->bottom}, height);
    *rect = {r.left, r.top, r.right, r.bottom};
}

void CImageSurface::BlendRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
                              LONG sb, LONG cl, LONG ct, LONG cr, LONG cb, int opacity) {
    BlitRects(this, dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, true, opacity);
}

void CImageSurface::DrawRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
                             LONG sb, LONG cl, LONG ct, LONG cr, LONG cb) {
    BlitRects(this, dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, false, 255);
}

CImageSurface::~CImageSurface() { Release(); }
