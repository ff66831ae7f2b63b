#include "framework/graphics/win32/surface.h"

#include <cstdint>

namespace {

// x + size without overflow: positions far outside any surface clip away.
LONG Offset(LONG x, LONG size) {
    const std::int64_t v = static_cast<std::int64_t>(x) + size;
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<LONG>(v);
}

}  // namespace

void CSurface::BlendClipped(CSurface* source, LONG x, LONG y, LONG clipLeft, LONG clipTop, LONG clipRight,
                            LONG clipBottom, int opacity) {
    if (!source) return;
    LONG width = 0, height = 0;
    source->GetSize(&width, &height);
    BlendRect(x, y, Offset(x, width), Offset(y, height), source, 0, 0, width, height, clipLeft, clipTop, clipRight, clipBottom,
              opacity);
}

void CSurface::Blend(CSurface* source, LONG x, LONG y, int opacity) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    BlendClipped(source, x, y, 0, 0, width, height, opacity);
}

void CSurface::DrawClipped(CSurface* source, LONG x, LONG y, LONG clipLeft, LONG clipTop, LONG clipRight,
                           LONG clipBottom) {
    if (!source) return;
    LONG width = 0, height = 0;
    source->GetSize(&width, &height);
    DrawRect(x, y, Offset(x, width), Offset(y, height), source, 0, 0, width, height, clipLeft, clipTop, clipRight, clipBottom);
}

void CSurface::Draw(CSurface* source, LONG x, LONG y) {
    LONG width = 0, height = 0;
    GetSize(&width, &height);
    DrawClipped(source, x, y, 0, 0, width, height);
}
