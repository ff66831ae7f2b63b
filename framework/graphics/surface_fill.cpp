#include "framework/graphics/surface_fill.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

void FillPixels(std::uint8_t* bits, std::int32_t stride, std::int32_t width, std::int32_t height,
                int bytesPerPixel, std::uint32_t colour, const BlitRect& rect) {
    if (!bits || (bytesPerPixel != 3 && bytesPerPixel != 4)) return;
    const std::int32_t left = std::max<std::int32_t>(rect.left, 0);
    const std::int32_t right = std::min<std::int32_t>(rect.right, width);
    const std::int32_t top = std::max<std::int32_t>(rect.top, 0);
    const std::int32_t bottom = std::min<std::int32_t>(rect.bottom, height);
    if (left >= right || top >= bottom) return;
    const std::uint8_t pixel[4] = {static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                                   static_cast<std::uint8_t>(colour), 0};
    const BlitRect rows = FlipRectRows({left, top, right, bottom}, height);
    for (std::int32_t y = rows.top; y < rows.bottom; ++y) {
        std::uint8_t* p = bits + static_cast<std::ptrdiff_t>(y) * stride + static_cast<std::ptrdiff_t>(left) * bytesPerPixel;
        for (std::int32_t x = left; x < right; ++x, p += bytesPerPixel) std::memcpy(p, pixel, bytesPerPixel);
    }
}
