// The one step through which every blit between surfaces passes: it checks
// both surfaces, clips the destination rectangle against the clip rectangle
// (itself cut to the destination) and the source rectangle against the
// source, turns both into memory rows, and runs the blit-family member for
// the source's transparency mode and depth between Lock and Unlock.
//
// Nothing is drawn, silently, when either surface is missing or empty, the
// rectangles clip to nothing, the depths of the two surfaces differ, or the
// family has no member for the combination.
#pragma once

#include <windows.h>

#include "framework/graphics/blit.h"
#include "framework/graphics/blit_clip.h"

class CSurface;

struct ClippedBlitArgs {
    BlitRect dest;    // top-down, in the destination
    BlitRect source;  // top-down, in the source
    BlitRect clip;    // in destination coordinates
    int opacity = 255;
};

void ClippedBlit(bool scaled, bool withOpacity, const ClippedBlitArgs& args, CSurface* source, CSurface* dest);

// The four variants by name.
inline void ClippedBlitUnscaled(const ClippedBlitArgs& a, CSurface* s, CSurface* d) { ClippedBlit(false, false, a, s, d); }
inline void ClippedBlitScaled(const ClippedBlitArgs& a, CSurface* s, CSurface* d) { ClippedBlit(true, false, a, s, d); }
inline void ClippedBlendUnscaled(const ClippedBlitArgs& a, CSurface* s, CSurface* d) { ClippedBlit(false, true, a, s, d); }
inline void ClippedBlendScaled(const ClippedBlitArgs& a, CSurface* s, CSurface* d) { ClippedBlit(true, true, a, s, d); }

// BlendRect and DrawRect of the surfaces: scaled when the two rectangles as
// given differ in width or height.
void BlitRects(CSurface* dest, LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
               LONG sb, LONG cl, LONG ct, LONG cr, LONG cb, bool withOpacity, int opacity);
