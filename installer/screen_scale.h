// Rectangles between the 800 x 600 back buffer and a window that shows it
// stretched over its whole client area, without Win32. Right and bottom are
// exclusive. A client area of another size than the buffer (a window the
// system resized) makes the two coordinate systems differ.
#pragma once

#include <cstdint>

struct ScreenRect {
    std::int32_t left, top, right, bottom;
};

inline bool operator==(const ScreenRect& a, const ScreenRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The window rectangle that shows back-buffer rectangle `r`, rounded outward
// to whole window pixels and clamped to the window. Empty (all 0) when
// either size is not positive.
ScreenRect BufferToWindow(const ScreenRect& r, int bufferWidth, int bufferHeight, int windowWidth,
                          int windowHeight);

// The back-buffer rectangle that covers window rectangle `r`: rounded
// outward to whole buffer pixels and further to the next place where a
// buffer pixel edge meets a window pixel edge, so that stretching just that
// part onto BufferToWindow of it gives each window pixel what stretching the
// whole buffer would. Clamped to the buffer; empty (all 0) when either size
// is not positive.
ScreenRect WindowToBuffer(const ScreenRect& r, int bufferWidth, int bufferHeight, int windowWidth,
                          int windowHeight);
