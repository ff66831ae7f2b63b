// The public surface object: owns one implementation (a CDibSurface after
// CreateForWindow, a CImageSurface after LoadFile) and forwards every
// operation to it. Empty, every operation returns 0, false or nothing.
#pragma once

#include <memory>

#include "framework/graphics/win32/surface.h"

class CSurfaceProxy : public CSurface {
public:
    CSurfaceProxy() = default;
    CSurfaceProxy(const CSurfaceProxy&) = delete;
    CSurfaceProxy& operator=(const CSurfaceProxy&) = delete;

    // Replace the implementation by a new one and forward; on false the
    // proxy is left empty.
    bool CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int reserved,
                         int bitsPerPixel) override;
    bool LoadFile(const char* fileName, bool useColourKey, int reserved1, int reserved2) override;
    // Forwards, then destroys the implementation.
    void Release() override;
    int GetKind() override { return impl_ ? impl_->GetKind() : 0; }
    int GetBitsPerPixel() override { return impl_ ? impl_->GetBitsPerPixel() : 0; }
    COLORREF GetColourKey() override { return impl_ ? impl_->GetColourKey() : 0; }
    void SetColourKey(COLORREF key) override {
        if (impl_) impl_->SetColourKey(key);
    }
    bool IsValid() override { return impl_ && impl_->IsValid(); }
    void Lock() override {
        if (impl_) impl_->Lock();
    }
    void Unlock() override {
        if (impl_) impl_->Unlock();
    }
    std::uint8_t* GetBits() override { return impl_ ? impl_->GetBits() : nullptr; }
    std::uint8_t* GetAlpha() override { return impl_ ? impl_->GetAlpha() : nullptr; }
    HBITMAP GetBitmap() override { return impl_ ? impl_->GetBitmap() : nullptr; }
    HDC AcquireDC() override { return impl_ ? impl_->AcquireDC() : nullptr; }
    void FreeDC(HDC dc) override {
        if (impl_) impl_->FreeDC(dc);
    }
    void GetSize(LONG* width, LONG* height) override;
    int GetStride() override { return impl_ ? impl_->GetStride() : 0; }
    void FillRect(COLORREF colour, LONG left, LONG top, LONG right, LONG bottom) override {
        if (impl_) impl_->FillRect(colour, left, top, right, bottom);
    }
    void Fill(COLORREF colour) override {
        if (impl_) impl_->Fill(colour);
    }
    void FlipRect(RECT* rect) override {
        if (impl_) impl_->FlipRect(rect);
    }
    void BlendRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source, LONG sourceLeft,
                   LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft, LONG clipTop, LONG clipRight,
                   LONG clipBottom, int opacity) override;
    void DrawRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source, LONG sourceLeft,
                  LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft, LONG clipTop, LONG clipRight,
                  LONG clipBottom) override;
    ~CSurfaceProxy() override = default;

    // The implementation (null when empty); owned by the proxy.
    CSurface* Implementation() const { return impl_.get(); }

private:
    std::unique_ptr<CSurface> impl_;
};
