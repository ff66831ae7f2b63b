// The per-pixel alpha mask of a surface, in the surface's pixel layout (see
// bmp_format.h). It takes its size and depth from its owner.
#pragma once

#include <cstdint>
#include <memory>

class CSurface;

class CAlphaMask {
public:
    // `owner` is not owned and must outlive the mask.
    explicit CAlphaMask(CSurface* owner) : owner_(owner) {}
    CAlphaMask(const CAlphaMask&) = delete;
    CAlphaMask& operator=(const CAlphaMask&) = delete;

    // Reads a mask file (width x height bytes, rows top to bottom) where
    // `fileName` lies, without a disc search (the caller names the place of
    // its picture). False, without data, when it cannot be opened or the
    // owner's size or depth allows no mask.
    bool Load(const char* fileName);
    void Release();
    // The data, made fully opaque when none exists yet; null when the owner's
    // size or depth allows no mask. Owned by the mask.
    std::uint8_t* GetData();
    ~CAlphaMask() = default;

private:
    CSurface* owner_;
    std::unique_ptr<std::uint8_t[]> data_;
};
