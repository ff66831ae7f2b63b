#include "framework/graphics/win32/image_surface.h"

#include <cstring>

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
    // sibling file, looked for beside the picture as it was found: a
    // picture without a mask costs no search of the discs.
    const std::string maskName = AlphaMaskName(image_->SourcePath());
    std::unique_ptr<CAlphaMask> mask(new CAlphaMask(this));
    if (!maskName.empty() && mask->Load(maskName.c_str())) alphaMask_ = std::move(mask);
    return true;
}

void CImageSurface::Release() {
    image_.reset();
    alphaMask_.reset();
    stride_ = 0;
}

int CImageSurface::GetKind() { return KindFrom(11); }

void CImageSurface::GetSize(LONG* width, LONG* height) {
    if (image_) {
        image_->GetSize(width, height);
        return;
    }
    if (width) *width = 0;
    if (height) *height = 0;
}

CImageSurface::~CImageSurface() { Release(); }
