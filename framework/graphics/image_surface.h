// A surface over a loaded image file, with the optional alpha mask read from
// the file of the same name with the extension "alp".
#pragma once

#include <memory>
#include <string>

#include "framework/graphics/alpha_mask.h"
#include "framework/graphics/image_file.h"
#include "framework/graphics/surface.h"

class CImageSurface : public CSurface {
public:
    CImageSurface() = default;
    CImageSurface(const CImageSurface&) = delete;
    CImageSurface& operator=(const CImageSurface&) = delete;

    // Always false: an image surface is loaded, not made.
    bool CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int reserved,
                         int bitsPerPixel) override;
    // Loads the picture and, when present, its mask; a missing mask is not
    // an error. False, holding nothing, when the picture cannot be loaded.
    bool LoadFile(const char* fileName, bool useColourKey, int reserved1, int reserved2) override;
    void Release() override;
    int GetKind() override;
    int GetBitsPerPixel() override { return 24; }
    COLORREF GetColourKey() override { return colourKey_; }
    // Stores the key only; keying stays as loaded.
    void SetColourKey(COLORREF key) override { colourKey_ = key; }
    bool IsValid() override { return image_ != nullptr; }
    void Lock() override {}
    void Unlock() override {}
    std::uint8_t* GetBits() override { return image_ ? image_->GetBits() : nullptr; }
    std::uint8_t* GetAlpha() override;
    HBITMAP GetBitmap() override { return nullptr; }
    HDC AcquireDC() override { return nullptr; }
    void FreeDC(HDC) override {}
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
    ~CImageSurface() override;

private:
    bool useColourKey_ = false;
    COLORREF colourKey_ = 0;
    int stride_ = 0;
    std::unique_ptr<CAlphaMask> alphaMask_;
    std::unique_ptr<CImageFile> image_;
};

// The mask file of an image: the name with its last three characters
// replaced by "alp". Empty when the name is shorter than that.
std::string AlphaMaskName(const char* imageName);
