#include "framework/graphics/win32/image_file.h"

#include <cstring>

#include "framework/graphics/win32/bmp_image.h"
#include "framework/system/win32/path_utils.h"

bool CImageFile::Load(const char* fileName) {
    decoder_.reset();
    if (!fileName) return false;
    char base[MAX_PATH] = "";
    char extension[MAX_PATH] = "";
    SplitExtension(base, extension, fileName);
    LowercaseLetters(extension);
    if (std::strcmp(extension, "bmp") != 0) return false;
    std::unique_ptr<CImage> decoder(new CBmpImage);
    if (!decoder->Load(fileName)) return false;
    decoder_ = std::move(decoder);
    return true;
}

void CImageFile::Release() {
    if (decoder_) decoder_->Release();
    decoder_.reset();
}

void CImageFile::GetSize(LONG* width, LONG* height) {
    if (decoder_) {
        decoder_->GetSize(width, height);
        return;
    }
    if (width) *width = 0;
    if (height) *height = 0;
}

const char* CImageFile::SourcePath() { return decoder_ ? decoder_->SourcePath() : ""; }

std::uint8_t* CImageFile::GetBits() { return decoder_ ? decoder_->GetBits() : nullptr; }

int CImageFile::GetStride() { return decoder_ ? decoder_->GetStride() : 0; }

int CImageFile::PaintTo(HDC dc, LONG x, LONG y, LONG width, LONG height) {
    return decoder_ ? decoder_->PaintTo(dc, x, y, width, height) : 0;
}
