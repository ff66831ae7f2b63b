// A 24-bit BMP picture read through CDataFile (see bmp_format.h for the
// format and its limits).
#pragma once

#include <memory>
#include <string>

#include "framework/graphics/bmp_format.h"
#include "framework/graphics/win32/image.h"

class CBmpImage : public CImage {
public:
    CBmpImage() = default;
    CBmpImage(const CBmpImage&) = delete;
    CBmpImage& operator=(const CBmpImage&) = delete;

    // False for a file that cannot be opened, is not 24-bit or is out of the
    // limits; the previous pixels are kept then.
    bool Load(const char* fileName) override;
    void Release() override;
    void GetSize(LONG* width, LONG* height) override;
    std::uint8_t* GetBits() override;
    int GetStride() override;
    int PaintTo(HDC dc, LONG x, LONG y, LONG width, LONG height) override;
    const char* SourcePath() override;
    ~CBmpImage() override = default;

private:
    BITMAPFILEHEADER fileHeader_{};
    BITMAPINFOHEADER infoHeader_{};
    std::unique_ptr<std::uint8_t[]> pixels_;
    BmpLayout layout_;
    std::string sourcePath_;
};
