// A surface over a DIB section made for a window: the screen surface. The
// only kind that hands out a device context.
#pragma once

#include "framework/graphics/win32/pixel_surface.h"
#include "framework/system/win32/unique_handle.h"

class CDibSurface : public CPixelSurface {
public:
    CDibSurface() = default;

    // Depths 24 (also for 0) and 32 only; false for any other depth and for
    // sizes below 1.
    bool CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int reserved,
                         int bitsPerPixel) override;
    // Always false: a DIB surface is made, not loaded.
    bool LoadFile(const char* fileName, bool useColourKey, int reserved1, int reserved2) override;
    void Release() override;
    int GetKind() override;
    int GetBitsPerPixel() override { return bitsPerPixel_; }
    // Stores the key and turns colour keying on.
    void SetColourKey(COLORREF key) override;
    bool IsValid() override { return pixels_ != nullptr; }
    std::uint8_t* GetBits() override { return pixels_; }
    HBITMAP GetBitmap() override { return static_cast<HBITMAP>(section_.get()); }
    // A new memory DC with the section selected; null when empty.
    HDC AcquireDC() override;
    void FreeDC(HDC dc) override;
    void GetSize(LONG* width, LONG* height) override;
    int GetStride() override { return stride_; }
    ~CDibSurface() override;

private:
    std::uint8_t* pixels_ = nullptr;  // owned by the section
    unique_hgdiobj section_;
    LONG width_ = 0;
    LONG height_ = 0;
    LONG stride_ = 0;
    LONG bitsPerPixel_ = 0;
};
