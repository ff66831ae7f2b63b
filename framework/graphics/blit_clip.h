// Clipping in front of the blit family. Rectangles are left, top, right,
// bottom with right and bottom exclusive, top-down.
#pragma once

#include <cstdint>

struct BlitRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

inline bool operator==(const BlitRect& a, const BlitRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Turns a top-down rectangle into memory rows of a bottom-up store of the
// given height: (l, t, r, b) becomes (l, height - b, r, height - t).
BlitRect FlipRectRows(const BlitRect& rect, std::int32_t height);

// Clips a blit in place. The clip rectangle is first cut to the destination
// (0, 0, destWidth, destHeight); every destination edge it moves moves the
// matching source edge by the same number of pixels; the source rectangle is
// then cut to the source (0, 0, sourceWidth, sourceHeight). For an unscaled
// blit both rectangles are then cut to the smaller width and height,
// keeping their left column and their bottom row: the source's last visible
// row lands on the destination rectangle's bottom row.
// False when nothing is left to draw; the rectangles are then unspecified.
bool ClipBlitRects(BlitRect& dest, BlitRect& source, const BlitRect& clip, std::int32_t destWidth,
                   std::int32_t destHeight, std::int32_t sourceWidth, std::int32_t sourceHeight,
                   bool scaled);
