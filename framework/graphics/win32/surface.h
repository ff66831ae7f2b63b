// The surface interface: a rectangle of pixels in memory that the framework
// draws into and from.
//
// Conventions of every surface:
// - Rectangles are left, top, right, bottom, right and bottom exclusive, and
//   top-down in the public operations (row 0 is the picture's top row).
// - Pixel stores are bottom-up; FlipRect turns a rectangle into memory rows.
// - Strides: 24 bits, width x 3 rounded up to a multiple of 4; 32 bits,
//   width x 4.
// - Colours are 0x00BBGGRR; a 24-bit pixel is blue, green, red in memory.
// - New and reloaded surfaces have the colour key 0x00FF00.
// - GetKind: the tens digit names the implementation (0 DIB, 1 image), the
//   last digit is the transparency mode of blits from this surface
//   (1 opaque, 2 colour key, 3 alpha mask).
//
// The virtual operations keep a fixed slot order. BlendClipped, Blend,
// DrawClipped and Draw are implemented here once for every surface.
#pragma once

#include <windows.h>

#include <cstdint>

class CSurface {
public:
    // Makes a drawing surface of width x height at `bitsPerPixel` (0 means 24)
    // for `window`. False, holding nothing, on failure.
    virtual bool CreateForWindow(HWND window, LONG width, LONG height, bool useColourKey, int reserved,
                                 int bitsPerPixel) = 0;
    // Makes the surface hold the picture in `fileName`. False, holding
    // nothing, on failure.
    virtual bool LoadFile(const char* fileName, bool useColourKey, int reserved1, int reserved2) = 0;
    // Frees everything the surface holds.
    virtual void Release() = 0;
    virtual int GetKind() = 0;
    virtual int GetBitsPerPixel() = 0;
    virtual COLORREF GetColourKey() = 0;
    virtual void SetColourKey(COLORREF key) = 0;
    // True while the surface holds pixels.
    virtual bool IsValid() = 0;
    // Bracket every blit that touches the pixels.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // First byte of the pixel store (the bottom row); owned by the surface.
    virtual std::uint8_t* GetBits() = 0;
    // The alpha mask, made fully opaque on first use; owned by the surface.
    // Null when the surface cannot have one.
    virtual std::uint8_t* GetAlpha() = 0;
    // The bitmap behind the pixels, owned by the surface; null if none.
    virtual HBITMAP GetBitmap() = 0;
    // A device context drawing from the pixels (give it back with FreeDC);
    // null when the surface cannot give one.
    virtual HDC AcquireDC() = 0;
    virtual void FreeDC(HDC dc) = 0;
    // Size in pixels; 0 x 0 when empty.
    virtual void GetSize(LONG* width, LONG* height) = 0;
    virtual int GetStride() = 0;
    // Fill a rectangle, or everything, with a colour; cut to the surface.
    virtual void FillRect(COLORREF colour, LONG left, LONG top, LONG right, LONG bottom) = 0;
    virtual void Fill(COLORREF colour) = 0;
    // (l, t, r, b) becomes (l, H - b, r, H - t) for the surface's height H.
    virtual void FlipRect(RECT* rect) = 0;
    // The whole source at (x, y) with opacity, clipped to the clip rectangle.
    virtual void BlendClipped(CSurface* source, LONG x, LONG y, LONG clipLeft, LONG clipTop, LONG clipRight,
                              LONG clipBottom, int opacity) final;
    // As BlendClipped, clipped to this surface.
    virtual void Blend(CSurface* source, LONG x, LONG y, int opacity) final;
    // A source rectangle into a destination rectangle with opacity, scaled
    // when their sizes differ, clipped.
    virtual void BlendRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source,
                           LONG sourceLeft, LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft,
                           LONG clipTop, LONG clipRight, LONG clipBottom, int opacity) = 0;
    // The whole source at (x, y), clipped to the clip rectangle.
    virtual void DrawClipped(CSurface* source, LONG x, LONG y, LONG clipLeft, LONG clipTop, LONG clipRight,
                             LONG clipBottom) final;
    // As DrawClipped, clipped to this surface.
    virtual void Draw(CSurface* source, LONG x, LONG y) final;
    // As BlendRect without opacity.
    virtual void DrawRect(LONG destLeft, LONG destTop, LONG destRight, LONG destBottom, CSurface* source,
                          LONG sourceLeft, LONG sourceTop, LONG sourceRight, LONG sourceBottom, LONG clipLeft,
                          LONG clipTop, LONG clipRight, LONG clipBottom) = 0;
    virtual ~CSurface() = default;
};

constexpr COLORREF kDefaultColourKey = 0x00FF00;
