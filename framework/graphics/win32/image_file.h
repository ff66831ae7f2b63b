// The image front-end: picks a decoder by the file's extension ("bmp",
// in any case, is the only one) and forwards to it.
#pragma once

#include <memory>

#include "framework/graphics/win32/image.h"

class CImageFile : public CImage {
public:
    CImageFile() = default;
    CImageFile(const CImageFile&) = delete;
    CImageFile& operator=(const CImageFile&) = delete;

    // Drops the current decoder, then loads with a new one. False, holding
    // nothing, for an unknown extension or a failing decoder.
    bool Load(const char* fileName) override;
    void Release() override;
    void GetSize(LONG* width, LONG* height) override;
    std::uint8_t* GetBits() override;
    int GetStride() override;
    int PaintTo(HDC dc, LONG x, LONG y, LONG width, LONG height) override;
    const char* SourcePath() override;
    ~CImageFile() override = default;

private:
    std::unique_ptr<CImage> decoder_;
};
