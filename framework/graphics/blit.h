// The blit family: one pixel loop per combination of scaling (unscaled or
// scaled), opacity (without or with), the source's transparency mode
// (opaque, colour key, alpha mask) and the source's depth (15, 16, 24 or 32
// bits per pixel). The clip-and-dispatch step fills one BlitParams with
// already clipped rectangles in memory rows and runs the member that
// FindBlitMember returns.
//
// Per-byte rules of the 24 and 32-bit members (s source, d destination,
// op opacity 0..255, a mask byte; floor is an arithmetic shift by 8):
//   copy                 s
//   keyed copy           s, the pixel is left alone when it matches the key
//   opacity blend        d + floor((s - d) * op / 256)
//   alpha blend          d + trunc((s - d) * a / 256) unscaled,
//                        d + floor((s - d) * a / 256) scaled
//   alpha-opacity blend  d + floor((s - d) * e / 256), e = max(0, a - (255 - op))
// A pixel matches the key 0x00BBGGRR when its three colour bytes, blue,
// green, red in memory, equal the key's; the fourth byte of a 32-bit pixel
// is not compared. This holds for every keyed member of 24 and 32 bits.
// The unscaled opacity, alpha and alpha-opacity members of 24 and 32 bits
// work in 8-byte steps where the processor has MMX and both rectangles are
// at least 3 pixels wide: each step gives d + floor((s - d) * w / 256) in
// every byte (the fourth byte of 32-bit pixels included), and the row's
// remaining bytes use the member's own per-byte rule. With SSE2 the steps are
// taken 16 bytes at a time, giving the same bytes.
//
// 15 and 16-bit members blend through BlendTable555 / BlendTable565 at level
// v / 16 of the 8-bit weight v.
#pragma once

#include <cstdint>

enum class TransparencyMode { Opaque = 1, ColourKey = 2, AlphaMask = 3 };

struct BlitParams {
    std::uint8_t* dst = nullptr;       // first byte of the destination store
    std::int32_t dstStride = 0;        // bytes per destination row
    const std::uint8_t* src = nullptr;
    std::int32_t srcStride = 0;
    const std::uint8_t* mask = nullptr;  // source's alpha mask, alpha members only
    std::int32_t maskStride = 0;         // bytes per mask row (no padding)
    // Rectangles in memory rows, right and bottom exclusive, inside their
    // surfaces. Unscaled members process the source rectangle's extent from
    // (dl, dt).
    std::int32_t dl = 0, dt = 0, dr = 0, db = 0;
    std::int32_t sl = 0, st = 0, sr = 0, sb = 0;
    std::uint32_t colourKey = 0;  // 0x00BBGGRR
    std::int32_t opacity = 255;   // opacity members clamp it to 0..255
};

using BlitMember = void (*)(const BlitParams&);

// The member for the combination, or null where the family has none (any
// depth other than 15, 16, 24, 32; a scaled 32-bit blit with opacity from an
// opaque or colour-keyed source).
BlitMember FindBlitMember(bool scaled, bool withOpacity, TransparencyMode mode, int depth);

// Bytes per pixel of the blitters' depths (0 for any other depth), and the
// stride the members use for a surface stride (low bits cleared to a whole
// number of pixels for 16 and 32 bits).
int BlitBytesPerPixel(int depth);
std::int32_t BlitStride(std::int32_t stride, int depth);
// Bytes per mask row for a source of the given width and depth.
std::int32_t BlitMaskStride(std::int32_t width, int depth);

// The SIMD steps are chosen once at start, where the processor has SSE2.
// For tests and benchmarks only: false makes the 8-byte steps take the
// scalar reference, true (the default) gives back the start's choice.
// Returns the previous setting.
bool SetBlitSimdEnabled(bool enabled);
// Whether the start chose the SIMD steps.
bool BlitSimdAvailable();
