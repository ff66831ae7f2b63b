#include "framework/graphics/win32/alpha_mask.h"

#include "framework/file/win32/data_file.h"
#include "framework/graphics/bmp_format.h"
#include "framework/graphics/win32/surface.h"

bool CAlphaMask::Load(const char* fileName) {
    data_.reset();
    CDataFile file;
    if (!fileName || !owner_ || !file.OpenHere(fileName)) return false;
    LONG width = 0, height = 0;
    owner_->GetSize(&width, &height);
    data_ = ReadAlphaMask(file, width, height, owner_->GetBitsPerPixel());
    file.Close();
    return data_ != nullptr;
}

void CAlphaMask::Release() { data_.reset(); }

std::uint8_t* CAlphaMask::GetData() {
    if (!data_ && owner_) {
        LONG width = 0, height = 0;
        owner_->GetSize(&width, &height);
        data_ = MakeOpaqueAlphaMask(width, height, owner_->GetBitsPerPixel());
    }
    return data_.get();
}
