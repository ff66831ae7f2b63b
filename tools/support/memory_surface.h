// A surface over plain buffers (pixel rows of `stride` bytes and the alpha
// mask the alpha members read), and the blit parameters that draw a
// rectangle of one such surface onto a rectangle of another. The blit tests
// and the blit benchmark draw through these.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/graphics/blit.h"
#include "framework/graphics/blit_clip.h"

struct MemorySurface {
    int width = 0, height = 0, depth = 24, stride = 0;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> mask;
};

// The rectangles (in memory rows) must already lie inside their surfaces.
inline BlitParams MemoryBlitParams(MemorySurface& dest, const MemorySurface& src, BlitRect d, BlitRect s,
                                   std::uint32_t key, int opacity) {
    BlitParams p;
    p.dst = dest.pixels.data();
    p.dstStride = dest.stride;
    p.src = src.pixels.data();
    p.srcStride = src.stride;
    p.mask = src.mask.data();
    p.maskStride = BlitMaskStride(src.width, src.depth);
    p.dl = d.left, p.dt = d.top, p.dr = d.right, p.db = d.bottom;
    p.sl = s.left, p.st = s.top, p.sr = s.right, p.sb = s.bottom;
    p.colourKey = key;
    p.opacity = opacity;
    return p;
}
