// What the DIB and image surfaces share: the colour key, the alpha mask and
// the operations that only need the pixels, the size and the stride.
#pragma once

#include <memory>

#include "framework/graphics/win32/alpha_mask.h"
#include "framework/graphics/win32/surface.h"

class CPixelSurface : public CSurface {
public:
    CPixelSurface(const CPixelSurface&) = delete;
    CPixelSurface& operator=(const CPixelSurface&) = delete;

    COLORREF GetColourKey() override { return colourKey_; }
    void Lock() override {}
    void Unlock() override {}
    // The mask's data; a fully opaque mask is made on first use.
    std::uint8_t* GetAlpha() override;
    // Both clip to the surface; nothing happens without pixels.
    void FillRect(COLORREF colour, LONG left, LONG top, LONG right, LONG bottom) override;
    void Fill(COLORREF colour) override;
    void FlipRect(RECT* rect) override;
    void BlendRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source, LONG sourceLeft,
                   LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft, LONG clipTop, LONG clipRight,
                   LONG clipBottom, int opacity) override;
    void DrawRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source, LONG sourceLeft,
                  LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft, LONG clipTop, LONG clipRight,
                  LONG clipBottom) override;

protected:
    CPixelSurface() = default;
    // The kind code: `base` (1 or 11) plain, +1 keyed, +2 with a mask.
    int KindFrom(int base) const;

    std::unique_ptr<CAlphaMask> alphaMask_;
    bool useColourKey_ = false;
    COLORREF colourKey_ = 0;
};
