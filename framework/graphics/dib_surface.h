// A surface over a DIB section made for a window: the screen surface. The
// only kind that hands out a device context.
#pragma once

#include <memory>

#include "framework/graphics/alpha_mask.h"
#include "framework/graphics/surface.h"
#include "framework/system/unique_handle.h"

class CDibSurface : public CSurface {
public:
    CDibSurface() = default;
    CDibSurface(const CDibSurface&) = delete;
    CDibSurface& operator=(const CDibSurface&) = delete;

    // Depths 24 (also for 0) and 32 only; false for any other depth and for
    // sizes below 1.
    bool CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int reserved,
                         int bitsPerPixel) override;
    // Always false: a DIB surface is made, not loaded.
    bool LoadFile(const char* fileName, bool useColourKey, int reserved1, int reserved2) override;
    void Release() override;
    int GetKind() override;
    int GetBitsPerPixel() override { return bitsPerPixel_; }
    COLORREF GetColourKey() override { return colourKey_; }
    // Stores the key and turns colour keying on.
    void SetColourKey(COLORREF key) override;
    bool IsValid() override { return pixels_ != nullptr; }
    void Lock() override {}
    void Unlock() override {}
    std::uint8_t* GetBits() override { return pixels_; }
    std::uint8_t* GetAlpha() override;
    HBITMAP GetBitmap() override { return static_cast<HBITMAP>(section_.get()); }
    // A new memory DC with the section selected; null when empty.
    HDC AcquireDC() override;
    void FreeDC(HDC dc) override;
    void GetSize(LONG* width, LONG* height) override;
    int GetStride() override { return stride_; }
    void FillRect(COLORREF colour, LONG left, LONG top, LONG right, LONG bottom) override;
    void Fill(COLORREF colour) override;
    void FlipRect(RECT* rect) override;
    void BlendRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source, LONG sourceLeft,
                   LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft, LONG clipTop, LONG clipRight,
                   LONG clipBottom, int opacity) override;
    void DrawRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source, LONG sourceLeft,
                  LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft, LONG clipTop, LONG clipRight,
                  LONG clipBottom) override;
    ~CDibSurface() override;

private:
    std::unique_ptr<CAlphaMask> alphaMask_;
    bool useColourKey_ = false;
    COLORREF colourKey_ = 0;
    std::uint8_t* pixels_ = nullptr;  // owned by the section
    unique_hgdiobj section_;
    LONG width_ = 0;
    LONG height_ = 0;
    LONG stride_ = 0;
    LONG bitsPerPixel_ = 0;
};
