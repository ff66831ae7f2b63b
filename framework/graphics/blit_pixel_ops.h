// Per-pixel operations of the blit family (internal to the blitters and
// their tests). Each operation has the form
//   static void Pixel(uint8_t* d, const uint8_t* s, const uint8_t* m, const BlitContext&)
// where d and s address one pixel and m its mask byte(s).
#pragma once

#include <cstdint>
#include <cstring>

#include "framework/graphics/alpha_tables.h"

namespace blit_detail {

struct BlitContext {
    std::uint8_t keyBlue = 0, keyGreen = 0, keyRed = 0;
    std::uint16_t key16 = 0;  // key in the 15 or 16-bit pixel format
    int opacity = 255;        // clamped to 0..255
    const std::uint16_t* table = nullptr;  // BlendTable555 or BlendTable565
};

inline std::uint8_t Saturate(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}
// d + floor((s - d) * w / 256); the shift of a negative value is arithmetic.
inline std::uint8_t FloorBlend(int s, int d, int w) { return Saturate(d + ((s - d) * w >> 8)); }
// d + trunc((s - d) * w / 256)
inline std::uint8_t TruncBlend(int s, int d, int w) { return Saturate(d + (s - d) * w / 256); }
inline int LoweredMask(int a, int opacity) {
    const int e = a - (255 - opacity);
    return e < 0 ? 0 : e;
}
inline bool MatchesKeyBytes(const std::uint8_t* s, const BlitContext& c) {
    return s[0] == c.keyBlue && s[1] == c.keyGreen && s[2] == c.keyRed;
}
inline std::uint16_t LoadPixel16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void StorePixel16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }

// ---- 24 and 32-bit operations (Bpp bytes per pixel, three colour bytes) ----

template <int Bpp>
struct CopyOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*, const BlitContext&) {
        std::memcpy(d, s, Bpp);
    }
};

// Every keyed member of 24 and 32 bits compares the three colour bytes
// (blue, green, red in memory) with the key's; a 32-bit pixel's fourth byte
// plays no part.
template <int Bpp>
struct KeyBytesCopyOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*, const BlitContext& c) {
        if (!MatchesKeyBytes(s, c)) std::memcpy(d, s, Bpp);
    }
};

struct OpacityOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*, const BlitContext& c) {
        for (int i = 0; i < 3; ++i) d[i] = FloorBlend(s[i], d[i], c.opacity);
    }
};

struct KeyOpacityOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, const BlitContext& c) {
        if (!MatchesKeyBytes(s, c)) OpacityOp::Pixel(d, s, m, c);
    }
};

struct AlphaTruncOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, const BlitContext&) {
        for (int i = 0; i < 3; ++i) d[i] = TruncBlend(s[i], d[i], m[i]);
    }
};

struct AlphaFloorOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, const BlitContext&) {
        for (int i = 0; i < 3; ++i) d[i] = FloorBlend(s[i], d[i], m[i]);
    }
};

struct AlphaOpacityOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, const BlitContext& c) {
        for (int i = 0; i < 3; ++i) d[i] = FloorBlend(s[i], d[i], LoweredMask(m[i], c.opacity));
    }
};

// 32-bit unscaled alpha: first[a][s] + second[a][d].
struct AlphaProductOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, const BlitContext&) {
        for (int i = 0; i < 3; ++i) {
            const int a = m[i];
            d[i] = Saturate(AlphaProductTables.first[a * 256 + s[i]] +
                            AlphaProductTables.second[a * 256 + d[i]]);
        }
    }
};

// ---- 15 and 16-bit operations (one mask byte per pixel) ----

inline std::uint16_t TableBlend(const BlitContext& c, int level, std::uint16_t s, std::uint16_t d) {
    return static_cast<std::uint16_t>(c.table[level * 65536 + s] + c.table[(15 - level) * 65536 + d]);
}

struct Copy16Op {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*, const BlitContext&) {
        std::memcpy(d, s, 2);
    }
};

template <bool Bits15>
inline bool MatchesKey16(std::uint16_t s, const BlitContext& c) {
    return Bits15 ? (s & 0x7FFF) == c.key16 : s == c.key16;
}

template <bool Bits15>
struct Key16CopyOp {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*, const BlitContext& c) {
        if (!MatchesKey16<Bits15>(LoadPixel16(s), c)) std::memcpy(d, s, 2);
    }
};

// Blends at the level of an 8-bit weight: 255 copies, Skip0 leaves the pixel
// alone at 0.
template <bool Skip0>
inline void Weighted16(std::uint8_t* d, const std::uint8_t* s, int weight, const BlitContext& c) {
    if (Skip0 && weight <= 0) return;
    if (weight >= 255) {
        std::memcpy(d, s, 2);
        return;
    }
    StorePixel16(d, TableBlend(c, weight / 16, LoadPixel16(s), LoadPixel16(d)));
}

template <bool Scaled>
struct Opacity16Op {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*, const BlitContext& c) {
        Weighted16<Scaled>(d, s, c.opacity, c);
    }
};

template <bool Bits15, bool Scaled>
struct KeyOpacity16Op {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*, const BlitContext& c) {
        if (!MatchesKey16<Bits15>(LoadPixel16(s), c)) Weighted16<Scaled>(d, s, c.opacity, c);
    }
};

struct Alpha16Op {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, const BlitContext& c) {
        Weighted16<true>(d, s, m[0], c);
    }
};

struct AlphaOpacity16Op {
    static void Pixel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, const BlitContext& c) {
        const int e = m[0] - (255 - c.opacity);
        if (e < 0) return;
        Weighted16<false>(d, s, e, c);
    }
};

}  // namespace blit_detail
