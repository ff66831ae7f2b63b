// A surface over a loaded image file, with the optional alpha mask read from
// the file of the same name with the extension "alp".
#pragma once

#include <memory>
#include <string>

#include "framework/graphics/win32/image_file.h"
#include "framework/graphics/win32/pixel_surface.h"

class CImageSurface : public CPixelSurface {
public:
    CImageSurface() = default;

    // Always false: an image surface is loaded, not made.
    bool CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int reserved,
                         int bitsPerPixel) override;
    // Loads the picture and, when present, its mask; a missing mask is not
    // an error. False, holding nothing, when the picture cannot be loaded.
    bool LoadFile(const char* fileName, bool useColourKey, int reserved1, int reserved2) override;
    void Release() override;
    int GetKind() override;
    int GetBitsPerPixel() override { return 24; }
    // Stores the key only; keying stays as loaded.
    void SetColourKey(COLORREF key) override { colourKey_ = key; }
    bool IsValid() override { return image_ != nullptr; }
    std::uint8_t* GetBits() override { return image_ ? image_->GetBits() : nullptr; }
    HBITMAP GetBitmap() override { return nullptr; }
    HDC AcquireDC() override { return nullptr; }
    void FreeDC(HDC) override {}
    void GetSize(LONG* width, LONG* height) override;
    int GetStride() override { return stride_; }
    ~CImageSurface() override;

private:
    int stride_ = 0;
    std::unique_ptr<CImageFile> image_;
};

// The mask file of an image: the name with its last three characters
// replaced by "alp". Empty when the name is shorter than that.
std::string AlphaMaskName(const char* imageName);
