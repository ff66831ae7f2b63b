#include "framework/graphics/win32/clipped_blit.h"

#include <cstdint>

#include "framework/graphics/win32/surface.h"

namespace {

RECT ToRect(const BlitRect& r) { return {r.left, r.top, r.right, r.bottom}; }

BlitRect Flipped(CSurface* surface, const BlitRect& r) {
    RECT rect = ToRect(r);
    surface->FlipRect(&rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

void ClippedBlit(bool scaled, bool withOpacity, const ClippedBlitArgs& args, CSurface* source, CSurface* dest) {
    if (!source || !dest || !source->IsValid() || !dest->IsValid()) return;
    LONG sourceW = 0, sourceH = 0, destW = 0, destH = 0;
    source->GetSize(&sourceW, &sourceH);
    dest->GetSize(&destW, &destH);
    BlitRect d = args.dest, s = args.source;
    if (!ClipBlitRects(d, s, args.clip, destW, destH, sourceW, sourceH, scaled)) return;

    // The members address both stores with the source's pixel size, so a
    // blit between different depths would run past the destination.
    const int depth = source->GetBitsPerPixel();
    if (dest->GetBitsPerPixel() != depth) return;
    const int mode = source->GetKind() % 10;
    if (mode < 1 || mode > 3) return;
    const TransparencyMode transparency = static_cast<TransparencyMode>(mode);
    const BlitMember member = FindBlitMember(scaled, withOpacity, transparency, depth);
    if (!member) return;

    BlitParams p;
    const BlitRect sm = Flipped(source, s), dm = Flipped(dest, d);
    p.sl = sm.left, p.st = sm.top, p.sr = sm.right, p.sb = sm.bottom;
    p.dl = dm.left, p.dt = dm.top, p.dr = dm.right, p.db = dm.bottom;
    p.opacity = args.opacity;
    p.colourKey = source->GetColourKey();

    source->Lock();
    dest->Lock();
    p.src = source->GetBits();
    p.dst = dest->GetBits();
    p.srcStride = BlitStride(source->GetStride(), depth);
    p.dstStride = BlitStride(dest->GetStride(), depth);
    if (transparency == TransparencyMode::AlphaMask) {
        p.mask = source->GetAlpha();
        p.maskStride = BlitMaskStride(sourceW, depth);
    }
    if (p.src && p.dst) member(p);
    source->Unlock();
    dest->Unlock();
}

void BlitRects(CSurface* dest, LONG dl, LONG dt, LONG dr, LONG db, CSurface* source, LONG sl, LONG st, LONG sr,
               LONG sb, LONG cl, LONG ct, LONG cr, LONG cb, bool withOpacity, int opacity) {
    const bool scaled = static_cast<std::int64_t>(dr) - dl != static_cast<std::int64_t>(sr) - sl ||
                        static_cast<std::int64_t>(db) - dt != static_cast<std::int64_t>(sb) - st;
    ClippedBlitArgs args;
    args.dest = {dl, dt, dr, db};
    args.source = {sl, st, sr, sb};
    args.clip = {cl, ct, cr, cb};
    args.opacity = opacity;
    ClippedBlit(scaled, withOpacity, args, source, dest);
}
