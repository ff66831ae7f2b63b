#include "framework/graphics/win32/surface_proxy.h"

#include "framework/graphics/win32/dib_surface.h"
#include "framework/graphics/win32/image_surface.h"

bool CSurfaceProxy::CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int reserved,
                                    int bitsPerPixel) {
    impl_.reset();
    std::unique_ptr<CSurface> surface(new CDibSurface);
    if (!surface->CreateForWindow(window, width, height, useColourKey, reserved, bitsPerPixel)) return false;
    impl_ = std::move(surface);
    return true;
}

bool CSurfaceProxy::LoadFile(const char* fileName, bool useColourKey, int reserved1, int reserved2) {
    impl_.reset();
    std::unique_ptr<CSurface> surface(new CImageSurface);
    if (!surface->LoadFile(fileName, useColourKey, reserved1, reserved2)) return false;
    impl_ = std::move(surface);
    return true;
}

void CSurfaceProxy::Release() {
    if (impl_) impl_->Release();
    impl_.reset();
}

void CSurfaceProxy::GetSize(LONG* width, LONG* height) {
    if (impl_) {
        impl_->GetSize(width, height);
        return;
    }
    if (width) *width = 0;
    if (height) *height = 0;
}

void CSurfaceProxy::BlendRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
                              LONG sb, LONG cl, LONG ct, LONG cr, LONG cb, int opacity) {
    if (impl_) impl_->BlendRect(dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb, opacity);
}

void CSurfaceProxy::DrawRect(LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
                             LONG sb, LONG cl, LONG ct, LONG cr, LONG cb) {
    if (impl_) impl_->DrawRect(dl, dt, dr, db, source, sl, st, sr, sb, cl, ct, cr, cb);
}
