// A slow per-pixel model of the blit family, written straight from the
// per-byte rules, for comparing the members against.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "framework/graphics/blit.h"
#include "framework/graphics/bmp_format.h"
#include "framework/graphics/cpu_features.h"
#include "tools/support/memory_surface.h"

namespace blit_test {

inline int Bpp(int depth) { return depth == 15 ? 2 : depth / 8; }
inline int MaskStep(int depth) { return depth <= 16 ? 1 : Bpp(depth); }

// Pixels from a small palette that includes the key, so keyed members meet
// both cases; mask bytes lean towards 0 and 255.
inline MemorySurface RandomSurface(std::mt19937& rng, int width, int height, int depth, std::uint32_t key) {
    MemorySurface t;
    t.width = width;
    t.height = height;
    t.depth = depth;
    t.stride = depth == 24 ? static_cast<int>(BmpStride24(width)) : ((width * Bpp(depth) + 3) & ~3);
    t.pixels.resize(static_cast<std::size_t>(t.stride) * height);
    const std::uint8_t keyBytes[4] = {static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 8),
                                      static_cast<std::uint8_t>(key), 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &t.pixels[static_cast<std::size_t>(y) * t.stride + x * Bpp(depth)];
            for (int b = 0; b < Bpp(depth); ++b) p[b] = static_cast<std::uint8_t>(rng());
            if (rng() % 4 == 0) {
                if (depth >= 24) {
                    std::memcpy(p, keyBytes, 3);
                    if (depth == 32 && rng() % 2) p[3] = 0;
                } else {
                    const std::uint32_t b = key >> 16 & 0xFF, g = key >> 8 & 0xFF, r = key & 0xFF;
                    const std::uint16_t k16 = depth == 16 ? ((b >> 3) << 11 | (g >> 2) << 5 | r >> 3)
                                                          : ((b >> 3) << 10 | (g >> 3) << 5 | r >> 3);
                    const std::uint16_t v = static_cast<std::uint16_t>(k16 | (rng() % 2 ? 0x8000 : 0));
                    std::memcpy(p, &v, 2);
                }
            }
        }
    }
    t.mask.resize(static_cast<std::size_t>(width) * height * MaskStep(depth));
    for (auto& m : t.mask) {
        const unsigned r = rng() % 8;
        m = r == 0 ? 0 : r == 1 ? 255 : static_cast<std::uint8_t>(rng());
    }
    return t;
}

struct BlitCase {
    bool scaled = false;
    bool withOpacity = false;
    TransparencyMode mode = TransparencyMode::Opaque;
    int depth = 24;
};

inline std::uint8_t Clamp8(double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
inline std::uint8_t Floor(int s, int d, int w) { return Clamp8(d + std::floor((s - d) * w / 256.0)); }
inline std::uint8_t Trunc(int s, int d, int w) { return Clamp8(d + std::trunc((s - d) * w / 256.0)); }

inline std::uint16_t Blend16(int depth, std::uint16_t s, std::uint16_t d, int k) {
    const int shifts[3] = {depth == 16 ? 11 : 10, 5, 0};
    const int widths[3] = {5, depth == 16 ? 6 : 5, 5};
    std::uint16_t out = 0;
    for (int f = 0; f < 3; ++f) {
        const int m = (1 << widths[f]) - 1;
        const int fs = s >> shifts[f] & m, fd = d >> shifts[f] & m;
        out = static_cast<std::uint16_t>(out | (fs * k / 15 + fd * (15 - k) / 15) << shifts[f]);
    }
    return out;
}

inline std::int32_t SampleIndex(std::int32_t first, std::int32_t count, std::int32_t destCount, std::int32_t k) {
    if (destCount == 1) return first;
    const float ratio = static_cast<float>(static_cast<double>(count - 1) / (destCount - 1));
    std::int32_t v = first + static_cast<std::int32_t>(static_cast<double>(k) * ratio);
    return v > first + count - 1 ? first + count - 1 : v;
}

// 16-bit pixel rule; returns false when the pixel is left alone.
inline bool Reference16(const BlitCase& c, std::uint16_t s, std::uint16_t d, int a, int op, std::uint32_t key,
                        std::uint16_t* out) {
    const std::uint32_t b = key >> 16 & 0xFF, g = key >> 8 & 0xFF, r = key & 0xFF;
    const bool keyed = c.depth == 16 ? s == ((b >> 3) << 11 | (g >> 2) << 5 | r >> 3)
                                     : (s & 0x7FFF) == ((b >> 3) << 10 | (g >> 3) << 5 | r >> 3);
    if (c.mode == TransparencyMode::ColourKey && keyed) return false;
    int weight = 255;
    if (c.mode == TransparencyMode::AlphaMask) {
        weight = c.withOpacity ? a - (255 - op) : a;
        if (weight < 0 || (!c.withOpacity && weight == 0)) return false;
    } else if (c.withOpacity) {
        weight = op;
        if (c.scaled && weight == 0) return false;
    }
    *out = weight >= 255 ? s : Blend16(c.depth, s, d, weight / 16);
    return true;
}

// 24 and 32-bit byte rule. `k` is the byte's offset in its row,
// `stepBytes` the part of the row done in 8-byte steps.
inline void Reference32(const BlitCase& c, const std::uint8_t* s, std::uint8_t* d, const std::uint8_t* m, int op,
                        std::uint32_t key, std::size_t k0, std::size_t stepBytes) {
    const int bpp = Bpp(c.depth);
    const bool bytesMatch = s[0] == (key >> 16 & 0xFF) && s[1] == (key >> 8 & 0xFF) && s[2] == (key & 0xFF);
    if (c.mode != TransparencyMode::AlphaMask && !c.withOpacity) {
        bool skip = false;
        if (c.mode == TransparencyMode::ColourKey) skip = bytesMatch;
        if (!skip) std::memcpy(d, s, bpp);
        return;
    }
    if (c.mode == TransparencyMode::ColourKey && bytesMatch) return;
    for (int b = 0; b < bpp; ++b) {
        const std::size_t k = k0 + b;
        const bool step = k < stepBytes;
        if (b == 3 && !step) continue;
        int w = op;
        if (c.mode == TransparencyMode::AlphaMask) w = c.withOpacity ? std::max(0, m[b] - (255 - op)) : m[b];
        if (step || c.withOpacity || c.scaled) {
            d[b] = Floor(s[b], d[b], w);
        } else if (bpp == 3) {
            d[b] = Trunc(s[b], d[b], w);
        } else {
            d[b] = Clamp8(s[b] * w / 255 + d[b] * (255 - w) / 255);
        }
    }
}

// Applies the case to `dest` the slow way.
inline void ReferenceBlit(const BlitCase& c, const MemorySurface& src, MemorySurface& dest, const BlitParams& p) {
    const int bpp = Bpp(c.depth), ms = MaskStep(c.depth);
    const int op = p.opacity < 0 ? 0 : p.opacity > 255 ? 255 : p.opacity;
    const int sw = p.sr - p.sl, sh = p.sb - p.st;
    const int dw = c.scaled ? p.dr - p.dl : sw, dh = c.scaled ? p.db - p.dt : sh;
    const bool stepped = !c.scaled && c.depth >= 24 && CpuFeatures().mmx && sw >= 3 && p.dr - p.dl >= 3 &&
                         (c.withOpacity ? c.mode != TransparencyMode::ColourKey : c.mode == TransparencyMode::AlphaMask);
    const std::size_t stepBytes = stepped ? (static_cast<std::size_t>(sw) * bpp) & ~std::size_t(7) : 0;
    for (int j = 0; j < dh; ++j) {
        const int sy = c.scaled ? SampleIndex(p.st, sh, dh, j) : p.st + j;
        for (int i = 0; i < dw; ++i) {
            const int sx = c.scaled ? SampleIndex(p.sl, sw, dw, i) : p.sl + i;
            const std::uint8_t* s = &src.pixels[static_cast<std::size_t>(sy) * src.stride + sx * bpp];
            std::uint8_t* d = &dest.pixels[static_cast<std::size_t>(p.dt + j) * dest.stride + (p.dl + i) * bpp];
            const std::uint8_t* m = &src.mask[(static_cast<std::size_t>(sy) * src.width + sx) * ms];
            if (bpp == 2) {
                std::uint16_t sv, dv, out;
                std::memcpy(&sv, s, 2);
                std::memcpy(&dv, d, 2);
                const bool copyOnly = c.mode != TransparencyMode::AlphaMask && !c.withOpacity;
                if (copyOnly && c.mode == TransparencyMode::Opaque) {
                    std::memcpy(d, s, 2);
                } else if (Reference16(c, sv, dv, m[0], copyOnly ? 255 : op, p.colourKey, &out)) {
                    std::memcpy(d, &out, 2);
                }
            } else {
                Reference32(c, s, d, m, op, p.colourKey, static_cast<std::size_t>(i) * bpp, stepBytes);
            }
        }
    }
}

}  // namespace blit_test
