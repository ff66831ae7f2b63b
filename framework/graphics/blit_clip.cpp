#include "framework/graphics/blit_clip.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

// Working copy in 64 bits: callers may pass any 32-bit values, and moving an
// edge by the distance between two of them must not overflow.
struct WideRect {
    std::int64_t left, top, right, bottom;
};

WideRect Widen(const BlitRect& r) { return {r.left, r.top, r.right, r.bottom}; }

BlitRect Narrow(const WideRect& r) {
    return {static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
            static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
}

}  // namespace

BlitRect FlipRectRows(const BlitRect& rect, std::int32_t height) {
    // Wide arithmetic, pinned to the 32-bit range, for any rectangle a caller
    // may pass.
    const auto flip = [height](std::int32_t y) {
        const std::int64_t v = static_cast<std::int64_t>(height) - y;
        return static_cast<std::int32_t>(std::min<std::int64_t>(std::max<std::int64_t>(v, INT32_MIN), INT32_MAX));
    };
    return {rect.left, flip(rect.bottom), rect.right, flip(rect.top)};
}

bool ClipBlitRects(BlitRect& dest, BlitRect& source, const BlitRect& clip, std::int32_t destWidth,
                   std::int32_t destHeight, std::int32_t sourceWidth, std::int32_t sourceHeight,
                   bool scaled) {
    WideRect d = Widen(dest), s = Widen(source);
    const WideRect c{std::max<std::int64_t>(clip.left, 0), std::max<std::int64_t>(clip.top, 0),
                     std::min<std::int64_t>(clip.right, destWidth), std::min<std::int64_t>(clip.bottom, destHeight)};
    if (d.left < c.left) { s.left += c.left - d.left; d.left = c.left; }
    if (c.right < d.right) { s.right -= d.right - c.right; d.right = c.right; }
    if (d.top < c.top) { s.top += c.top - d.top; d.top = c.top; }
    if (c.bottom < d.bottom) { s.bottom -= d.bottom - c.bottom; d.bottom = c.bottom; }

    s.left = std::max<std::int64_t>(s.left, 0);
    s.top = std::max<std::int64_t>(s.top, 0);
    s.right = std::min<std::int64_t>(s.right, sourceWidth);
    s.bottom = std::min<std::int64_t>(s.bottom, sourceHeight);

    if (s.left < 0 || s.top < 0 || s.right < 0 || s.bottom < 0 || d.left < 0 || d.top < 0 || d.right < 0 ||
        d.bottom < 0)
        return false;
    if (s.right - s.left < 1 || s.bottom - s.top < 1 || d.right - d.left < 1 || d.bottom - d.top < 1)
        return false;
    if (!scaled) {
        // The members run the source's rows from the destination's first
        // row in memory; stores are bottom-up, so rows cut from the source
        // leave a gap at the top of the destination rectangle, whichever
        // edge of the source they came from. Columns start at the left. Both
        // rectangles get the smaller extent, so neither is overrun.
        const std::int64_t width = std::min(s.right - s.left, d.right - d.left);
        const std::int64_t height = std::min(s.bottom - s.top, d.bottom - d.top);
        d.right = d.left + width;
        s.right = s.left + width;
        d.top = d.bottom - height;
        s.top = s.bottom - height;
    }
    dest = Narrow(d);
    source = Narrow(s);
    return true;
}
