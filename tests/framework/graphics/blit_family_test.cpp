#include "framework/graphics/blit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/framework/graphics/blit_reference.h"

using namespace blit_test;

namespace {

std::string Describe(const BlitCase& c, BlitRect d, BlitRect s, int opacity) {
    return "scaled=" + std::to_string(c.scaled) + " opacity=" + std::to_string(c.withOpacity) + "/" +
           std::to_string(opacity) + " mode=" + std::to_string(static_cast<int>(c.mode)) +
           " depth=" + std::to_string(c.depth) + " dest=" + std::to_string(d.left) + "," + std::to_string(d.top) + "," +
           std::to_string(d.right) + "," + std::to_string(d.bottom) + " src=" + std::to_string(s.left) + "," +
           std::to_string(s.top) + "," + std::to_string(s.right) + "," + std::to_string(s.bottom);
}

// Runs a 1 x 1 24-bit blit of one source byte triple over a destination
// triple and returns the destination's first byte.
std::uint8_t OnePixel(BlitCase c, std::uint8_t s, std::uint8_t d, std::uint8_t a, int opacity) {
    MemorySurface src, dest;
    for (MemorySurface* t : {&src, &dest}) {
        t->width = t->height = 1;
        t->stride = 4;
        t->pixels.assign(4, 0);
    }
    src.pixels = {s, s, s, 0};
    dest.pixels = {d, d, d, 0};
    src.mask = {a, a, a};
    c.depth = 24;
    FindBlitMember(c.scaled, c.withOpacity, c.mode, 24)(
        MemoryBlitParams(dest, src, {0, 0, 1, 1}, {0, 0, 1, 1}, 0, opacity));
    return dest.pixels[0];
}

// Scales one row of `count` source pixels, each holding its column number,
// onto `destCount` pixels and returns the columns sampled.
std::vector<int> SampledColumns(int count, int destCount) {
    MemorySurface src, dest;
    src.width = count, src.height = 1, src.stride = static_cast<int>(BmpStride24(count));
    src.pixels.assign(src.stride, 0);
    for (int x = 0; x < count; ++x) src.pixels[x * 3] = static_cast<std::uint8_t>(x);
    dest.width = destCount, dest.height = 1, dest.stride = static_cast<int>(BmpStride24(destCount));
    dest.pixels.assign(dest.stride, 0xEE);
    FindBlitMember(true, false, TransparencyMode::Opaque, 24)(
        MemoryBlitParams(dest, src, {0, 0, destCount, 1}, {0, 0, count, 1}, 0, 255));
    std::vector<int> out;
    for (int x = 0; x < destCount; ++x) out.push_back(dest.pixels[x * 3]);
    return out;
}

}  // namespace

TEST(BlitFamily, EveryMemberMatchesTheReferenceOnRandomSurfaces) {
    std::mt19937 rng(20240611);
    const std::uint32_t key = 0x00FF00;
    // Extents around the 8-byte step thresholds (3 pixels, 8-byte rows) and a
    // one-pixel destination for the scaled members.
    const struct {
        BlitRect d, s;
    } rects[] = {
        {{0, 0, 17, 9}, {2, 1, 19, 10}},  {{5, 3, 6, 4}, {0, 0, 1, 1}},     {{1, 1, 3, 3}, {4, 4, 6, 6}},
        {{0, 2, 3, 5}, {7, 0, 10, 3}},    {{9, 0, 17, 6}, {1, 2, 9, 8}},    {{3, 3, 14, 11}, {0, 0, 7, 5}},
        {{0, 0, 1, 7}, {2, 2, 12, 6}},    {{2, 1, 20, 2}, {3, 3, 7, 10}},   {{0, 0, 21, 12}, {0, 0, 21, 12}},
    };
    const int opacities[] = {0, 1, 77, 128, 254, 255, -20, 300};
    int members = 0;
    for (bool scaled : {false, true})
        for (bool withOpacity : {false, true})
            for (int mode = 1; mode <= 3; ++mode)
                for (int depth : {15, 16, 24, 32}) {
                    const BlitCase c{scaled, withOpacity, static_cast<TransparencyMode>(mode), depth};
                    BlitMember member = FindBlitMember(scaled, withOpacity, c.mode, depth);
                    if (!member) continue;
                    ++members;
                    for (const auto& r : rects) {
                        const bool equal = r.d.right - r.d.left == r.s.right - r.s.left &&
                                           r.d.bottom - r.d.top == r.s.bottom - r.s.top;
                        if (!scaled && !equal) continue;
                        for (int opacity : opacities) {
                            if (!withOpacity && opacity != 255) continue;
                            const MemorySurface src = RandomSurface(rng, 21, 12, depth, key);
                            const MemorySurface dest = RandomSurface(rng, 22, 13, depth, key);
                            MemorySurface expected = dest;
                            ReferenceBlit(c, src, expected,
                                          MemoryBlitParams(expected, src, r.d, r.s, key, opacity));
                            for (bool simd : {false, true}) {
                                MemorySurface actual = dest;
                                const bool previous = SetBlitSimdEnabled(simd);
                                member(MemoryBlitParams(actual, src, r.d, r.s, key, opacity));
                                SetBlitSimdEnabled(previous);
                                ASSERT_EQ(expected.pixels, actual.pixels)
                                    << Describe(c, r.d, r.s, opacity) << " simd=" << simd;
                            }
                        }
                    }
                }
    EXPECT_EQ(members, 46);  // 48 combinations less the two scaled 32-bit ones without a member
}

TEST(BlitFamily, ScaledThirtyTwoBitOpacityHasNoOpaqueOrKeyedMember) {
    EXPECT_EQ(FindBlitMember(true, true, TransparencyMode::Opaque, 32), nullptr);
    EXPECT_EQ(FindBlitMember(true, true, TransparencyMode::ColourKey, 32), nullptr);
    EXPECT_EQ(FindBlitMember(false, false, TransparencyMode::Opaque, 8), nullptr);
    EXPECT_EQ(FindBlitMember(false, false, static_cast<TransparencyMode>(4), 24), nullptr);
}

TEST(BlitFamily, WorkedExamplesOfTheByteRules) {
    const BlitCase opacity{false, true, TransparencyMode::Opaque, 24};
    const BlitCase alpha{false, false, TransparencyMode::AlphaMask, 24};
    const BlitCase scaledAlpha{true, false, TransparencyMode::AlphaMask, 24};
    const BlitCase alphaOpacity{false, true, TransparencyMode::AlphaMask, 24};
    const struct {
        BlitCase c;
        int s, d, a, opacity, expected;
    } cases[] = {
        {opacity, 200, 100, 255, 128, 150},
        {opacity, 100, 200, 255, 128, 150},
        {opacity, 101, 200, 255, 128, 150},  // floor(-49.5) is -50
        {opacity, 255, 0, 255, 255, 254},    // full opacity falls one short
        {opacity, 255, 0, 255, 0, 0},
        {opacity, 255, 0, 255, 999, 254},    // clamped to 255
        {opacity, 255, 0, 255, -5, 0},       // clamped to 0
        {alpha, 101, 200, 128, 255, 151},    // trunc(-49.5) is -49
        {scaledAlpha, 101, 200, 128, 255, 150},
        {alpha, 255, 0, 0, 255, 0},
        {alphaOpacity, 255, 0, 200, 100, 44},  // e = 45: floor(255 * 45 / 256)
        {alphaOpacity, 255, 0, 200, 50, 0},    // e below 0: unchanged
        {alphaOpacity, 255, 0, 127, 128, 0},   // opacity 128 hides masks up to 127
    };
    for (const auto& k : cases) {
        EXPECT_EQ(OnePixel(k.c, static_cast<std::uint8_t>(k.s), static_cast<std::uint8_t>(k.d),
                           static_cast<std::uint8_t>(k.a), k.opacity),
                  k.expected)
            << "s=" << k.s << " d=" << k.d << " a=" << k.a << " op=" << k.opacity;
    }
}

TEST(BlitFamily, ScaledMembersSampleNearestWithTheFloatRatio) {
    EXPECT_EQ(SampledColumns(4, 7), (std::vector<int>{0, 0, 1, 1, 2, 2, 3}));
    EXPECT_EQ(SampledColumns(4, 2), (std::vector<int>{0, 3}));
    EXPECT_EQ(SampledColumns(7, 4), (std::vector<int>{0, 2, 4, 6}));
    // 7 / 10 as a float is 0.699999988: column 7 is never reached.
    EXPECT_EQ(SampledColumns(8, 11), (std::vector<int>{0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6}));
    EXPECT_EQ(SampledColumns(5, 1), (std::vector<int>{0}));
    EXPECT_EQ(SampledColumns(1, 5), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST(BlitFamily, OnePixelHighDestinationSamplesTheTopRow) {
    MemorySurface src, dest;
    src.width = 2, src.height = 5, src.stride = 8;
    src.pixels.assign(40, 0);
    for (int y = 0; y < 5; ++y) src.pixels[y * 8] = static_cast<std::uint8_t>(10 + y);
    dest.width = 3, dest.height = 1, dest.stride = 12;
    dest.pixels.assign(12, 0);
    FindBlitMember(true, false, TransparencyMode::Opaque, 24)(
        MemoryBlitParams(dest, src, {0, 0, 1, 1}, {0, 1, 2, 4}, 0, 255));
    EXPECT_EQ(dest.pixels[0], 11);
}

TEST(BlitFamily, KeyedCopyKeepsOnlyPixelsMatchingAllThreeBytes) {
    MemorySurface src, dest;
    src.width = dest.width = 2;
    src.height = dest.height = 1;
    src.stride = dest.stride = 8;
    // Key 0x00BBGGRR = 0x112233 is blue 0x11, green 0x22, red 0x33 in memory.
    src.pixels = {0x11, 0x22, 0x33, 0x11, 0x22, 0x34, 0, 0};
    dest.pixels.assign(8, 0x99);
    for (bool scaled : {false, true}) {
        dest.pixels.assign(8, 0x99);
        FindBlitMember(scaled, false, TransparencyMode::ColourKey, 24)(
            MemoryBlitParams(dest, src, {0, 0, 2, 1}, {0, 0, 2, 1}, 0x112233, 255));
        EXPECT_EQ(dest.pixels, (std::vector<std::uint8_t>{0x99, 0x99, 0x99, 0x11, 0x22, 0x34, 0x99, 0x99}))
            << "scaled=" << scaled;
    }
}

TEST(BlitFamily, EveryKeyedMemberReadsTheKeyAsBlueGreenRed) {
    // Key 0x0000FF is pure red: blue 0, green 0, red 0xFF in memory. A red
    // pixel is left alone (also with another fourth byte), a blue one drawn.
    const std::uint8_t red[4] = {0x00, 0x00, 0xFF, 0x00}, blue[4] = {0xFF, 0x00, 0x00, 0x00},
                       redWithFourth[4] = {0x00, 0x00, 0xFF, 0x7F}, nearRed[4] = {0x00, 0x00, 0xFE, 0x00};
    for (int depth : {24, 32})
        for (bool scaled : {false, true})
            for (bool withOpacity : {false, true}) {
                const BlitMember member = FindBlitMember(scaled, withOpacity, TransparencyMode::ColourKey, depth);
                if (!member) continue;
                const int bpp = depth / 8;
                const std::uint8_t* pixels[3] = {red, blue, depth == 32 ? redWithFourth : nearRed};
                const bool keyed[3] = {true, false, depth == 32};
                MemorySurface src, dest;
                src.width = dest.width = 3;
                src.height = dest.height = 1;
                src.stride = dest.stride = 12;
                src.pixels.assign(12, 0);
                for (int x = 0; x < 3; ++x) std::memcpy(&src.pixels[x * bpp], pixels[x], bpp);
                dest.pixels.assign(12, 0x99);
                member(MemoryBlitParams(dest, src, {0, 0, 3, 1}, {0, 0, 3, 1}, 0x0000FF, 255));
                for (int x = 0; x < 3; ++x) {
                    const bool untouched = dest.pixels[x * bpp] == 0x99 && dest.pixels[x * bpp + 2] == 0x99;
                    EXPECT_EQ(untouched, keyed[x]) << "depth=" << depth << " scaled=" << scaled
                                                   << " opacity=" << withOpacity << " pixel " << x;
                }
            }
}

TEST(BlitFamily, EightByteStepsFloorWhereTheByteTailTruncates) {
    if (!CpuFeatures().mmx) GTEST_SKIP() << "no MMX: every byte takes the per-byte rule";
    // Three pixels: 9 bytes, one 8-byte step and one tail byte.
    MemorySurface src, dest;
    src.width = dest.width = 3;
    src.height = dest.height = 1;
    src.stride = dest.stride = 12;
    src.pixels.assign(12, 101);
    src.mask.assign(9, 128);
    for (bool simd : {false, true}) {
        dest.pixels.assign(12, 200);
        const bool previous = SetBlitSimdEnabled(simd);
        FindBlitMember(false, false, TransparencyMode::AlphaMask, 24)(
            MemoryBlitParams(dest, src, {0, 0, 3, 1}, {0, 0, 3, 1}, 0, 255));
        SetBlitSimdEnabled(previous);
        EXPECT_EQ(dest.pixels, (std::vector<std::uint8_t>{150, 150, 150, 150, 150, 150, 150, 150, 151, 200, 200, 200}))
            << "simd=" << simd;
    }
}

TEST(BlitFamily, SimdStepsEqualScalarStepsOnLongRows) {
    if (!BlitSimdAvailable()) GTEST_SKIP() << "no SSE2 path on this processor";
    std::mt19937 rng(77);
    for (int mode : {1, 3})
        for (int depth : {24, 32})
            for (int width : {3, 5, 6, 11, 64, 203}) {
                const BlitCase c{false, true, static_cast<TransparencyMode>(mode), depth};
                const MemorySurface src = RandomSurface(rng, width, 4, depth, 0);
                const MemorySurface dest = RandomSurface(rng, width, 4, depth, 0);
                MemorySurface scalar = dest, simd = dest;
                const int opacity = static_cast<int>(rng() % 256);
                BlitMember member = FindBlitMember(false, true, c.mode, depth);
                SetBlitSimdEnabled(false);
                member(MemoryBlitParams(scalar, src, {0, 0, width, 4}, {0, 0, width, 4}, 0, opacity));
                SetBlitSimdEnabled(true);
                member(MemoryBlitParams(simd, src, {0, 0, width, 4}, {0, 0, width, 4}, 0, opacity));
                ASSERT_EQ(scalar.pixels, simd.pixels) << "mode=" << mode << " depth=" << depth << " width=" << width;
            }
}

TEST(BlitFamily, AlphaMembersWithoutMaskDrawNothing) {
    std::mt19937 rng(5);
    for (bool scaled : {false, true})
        for (int depth : {16, 24}) {
            const MemorySurface src = RandomSurface(rng, 4, 4, depth, 0);
            MemorySurface dest = RandomSurface(rng, 4, 4, depth, 0);
            const auto before = dest.pixels;
            BlitParams p = MemoryBlitParams(dest, src, {0, 0, 4, 4}, {0, 0, 4, 4}, 0, 200);
            p.mask = nullptr;
            FindBlitMember(scaled, false, TransparencyMode::AlphaMask, depth)(p);
            FindBlitMember(scaled, true, TransparencyMode::AlphaMask, depth)(p);
            EXPECT_EQ(dest.pixels, before);
        }
}
