#include "installer/screen_scale.h"

#include <algorithm>
#include <numeric>

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

struct Span {
    std::int32_t start, end;
};

// [start, end) of `from` units (of which `fromSize` span the screen) in
// `to` units, rounded outward to multiples of `step` `to` units.
Span Convert(std::int64_t start, std::int64_t end, std::int64_t fromSize, std::int64_t toSize,
             std::int64_t step) {
    std::int64_t s = FloorDiv(start * toSize, fromSize);
    std::int64_t e = CeilDiv(end * toSize, fromSize);
    s = FloorDiv(s, step) * step;
    e = CeilDiv(e, step) * step;
    s = std::clamp<std::int64_t>(s, 0, toSize);
    e = std::clamp<std::int64_t>(e, s, toSize);
    return {static_cast<std::int32_t>(s), static_cast<std::int32_t>(e)};
}

bool Sizes(int a, int b, int c, int d) { return a > 0 && b > 0 && c > 0 && d > 0; }

}  // namespace

ScreenRect BufferToWindow(const ScreenRect& r, int bufferWidth, int bufferHeight, int windowWidth,
                          int windowHeight) {
    if (!Sizes(bufferWidth, bufferHeight, windowWidth, windowHeight)) return {0, 0, 0, 0};
    const Span x = Convert(r.left, r.right, bufferWidth, windowWidth, 1);
    const Span y = Convert(r.top, r.bottom, bufferHeight, windowHeight, 1);
    return {x.start, y.start, x.end, y.end};
}

ScreenRect WindowToBuffer(const ScreenRect& r, int bufferWidth, int bufferHeight, int windowWidth,
                          int windowHeight) {
    if (!Sizes(bufferWidth, bufferHeight, windowWidth, windowHeight)) return {0, 0, 0, 0};
    // Buffer and window pixel edges meet every buffer / gcd buffer pixels.
    const Span x = Convert(r.left, r.right, windowWidth, bufferWidth,
                           bufferWidth / std::gcd(bufferWidth, windowWidth));
    const Span y = Convert(r.top, r.bottom, windowHeight, bufferHeight,
                           bufferHeight / std::gcd(bufferHeight, windowHeight));
    return {x.start, y.start, x.end, y.end};
}
