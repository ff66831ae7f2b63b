// Filling rectangles of a bottom-up pixel store with one colour.
#pragma once

#include <cstdint>

#include "framework/graphics/blit_clip.h"

// Fills `rect` (top-down, right and bottom exclusive) of a store of
// width x height pixels of `bytesPerPixel` bytes (3 or 4) with the colour
// 0x00BBGGRR: blue, green, red in memory order, a fourth byte 0. The
// rectangle is cut to the store first, so nothing outside it is written.
void FillPixels(std::uint8_t* bits, std::int32_t stride, std::int32_t width, std::int32_t height,
                int bytesPerPixel, std::uint32_t colour, const BlitRect& rect);
