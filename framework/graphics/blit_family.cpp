#include "framework/graphics/blit.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "framework/graphics/alpha_tables.h"
#include "framework/graphics/blend_tables.h"
#include "framework/graphics/blit_pixel_ops.h"
#include "framework/graphics/blit_steps.h"
#include "framework/graphics/cpu_features.h"

using namespace blit_detail;

namespace {

// The 8-byte steps, chosen once at start as SDL chooses its blitters:
// whether rows take them at all (the processor has MMX) and which routine
// does them. Until the choice is made (a blit from a static initialiser of
// another file) the scalar reference stands.
struct StepChoice {
    bool wide = false;
    BlendStepsFn steps = &BlendStepsScalar;
};

StepChoice ChooseSteps() {
    const CpuFeaturesData& cpu = CpuFeatures();
    StepChoice choice;
    choice.wide = cpu.mmx;
#if defined(__SSE2__)
    if (cpu.sse2) choice.steps = &BlendStepsSse2;
#endif
    return choice;
}

StepChoice g_steps;
struct ChooseStepsAtStart {
    ChooseStepsAtStart() { g_steps = ChooseSteps(); }
} g_chooseStepsAtStart;

// Tests turn the SIMD steps off to compare them with the scalar ones.
bool g_simdEnabled = true;

int ClampOpacity(std::int32_t opacity) { return opacity < 0 ? 0 : (opacity > 255 ? 255 : opacity); }

BlitContext MakeContext(const BlitParams& p, int depth) {
    BlitContext c;
    const std::uint32_t k = p.colourKey;
    c.keyRed = static_cast<std::uint8_t>(k);
    c.keyGreen = static_cast<std::uint8_t>(k >> 8);
    c.keyBlue = static_cast<std::uint8_t>(k >> 16);
    if (depth == 16) {
        c.key16 = static_cast<std::uint16_t>(((k >> 19) & 0x1F) << 11 | ((k >> 10) & 0x3F) << 5 | ((k >> 3) & 0x1F));
        c.table = BlendTable565();
    } else if (depth == 15) {
        c.key16 = static_cast<std::uint16_t>(((k >> 19) & 0x1F) << 10 | ((k >> 11) & 0x1F) << 5 | ((k >> 3) & 0x1F));
        c.table = BlendTable555();
    }
    c.opacity = ClampOpacity(p.opacity);
    return c;
}

// Unscaled: destination row dt + i takes source row st + i, column dl + j
// column sl + j, over the source rectangle's extent.
template <class Op, int Bpp, int MaskStep>
void UnscaledLoop(const BlitParams& p, const BlitContext& c) {
    const std::int32_t w = p.sr - p.sl, h = p.sb - p.st;
    for (std::int32_t i = 0; i < h; ++i) {
        std::uint8_t* d = p.dst + static_cast<std::ptrdiff_t>(p.dt + i) * p.dstStride + p.dl * Bpp;
        const std::uint8_t* s = p.src + static_cast<std::ptrdiff_t>(p.st + i) * p.srcStride + p.sl * Bpp;
        const std::uint8_t* m =
            MaskStep ? p.mask + static_cast<std::ptrdiff_t>(p.st + i) * p.maskStride + p.sl * MaskStep : nullptr;
        for (std::int32_t j = 0; j < w; ++j) Op::Pixel(d + j * Bpp, s + j * Bpp, MaskStep ? m + j * MaskStep : nullptr, c);
    }
}

// Source index for each destination index: first + trunc(k * ratio), the
// ratio a 32-bit float of (sourceCount - 1) / (destCount - 1) and the product
// taken in double precision, kept inside first..first + sourceCount - 1. A
// destination of one pixel samples the first source pixel.
void SampleIndices(std::vector<std::int32_t>& out, std::int32_t first, std::int32_t sourceCount,
                   std::int32_t destCount) {
    out.assign(static_cast<std::size_t>(destCount), first);
    if (destCount < 2) return;
    const float ratio = static_cast<float>(static_cast<double>(sourceCount - 1) / (destCount - 1));
    const std::int32_t last = first + sourceCount - 1;
    for (std::int32_t k = 0; k < destCount; ++k) {
        const double product = static_cast<double>(k) * static_cast<double>(ratio);
        // ratio <= sourceCount - 1, so the product stays far inside int range.
        std::int32_t index = first + static_cast<std::int32_t>(std::trunc(product));
        if (index < first) index = first;
        if (index > last) index = last;
        out[static_cast<std::size_t>(k)] = index;
    }
}

template <class Op, int Bpp, int MaskStep>
void ScaledLoop(const BlitParams& p, const BlitContext& c) {
    const std::int32_t dw = p.dr - p.dl, dh = p.db - p.dt;
    std::vector<std::int32_t> columns, rows;
    SampleIndices(columns, p.sl, p.sr - p.sl, dw);
    SampleIndices(rows, p.st, p.sb - p.st, dh);
    for (std::int32_t j = 0; j < dh; ++j) {
        const std::int32_t sy = rows[static_cast<std::size_t>(j)];
        std::uint8_t* d = p.dst + static_cast<std::ptrdiff_t>(p.dt + j) * p.dstStride + p.dl * Bpp;
        const std::uint8_t* s = p.src + static_cast<std::ptrdiff_t>(sy) * p.srcStride;
        const std::uint8_t* m = MaskStep ? p.mask + static_cast<std::ptrdiff_t>(sy) * p.maskStride : nullptr;
        for (std::int32_t i = 0; i < dw; ++i) {
            const std::int32_t sx = columns[static_cast<std::size_t>(i)];
            Op::Pixel(d + i * Bpp, s + sx * Bpp, MaskStep ? m + sx * MaskStep : nullptr, c);
        }
    }
}

// Per-byte rule of the bytes after a row's last 8-byte step.
enum class TailRule { Floor, Trunc, Product };

template <TailRule Rule>
std::uint8_t TailByte(int s, int d, int w) {
    if (Rule == TailRule::Trunc) return TruncBlend(s, d, w);
    if (Rule == TailRule::Product)
        return Saturate(AlphaProductTables.first[w * 256 + s] + AlphaProductTables.second[w * 256 + d]);
    return FloorBlend(s, d, w);
}

// Unscaled opacity, alpha and alpha-opacity members of 24 and 32 bits: whole
// rows in 8-byte steps where possible, else pixel by pixel with Op.
template <class Op, int Bpp, StepWeight Weight, TailRule Rule>
void StepMember(const BlitParams& p) {
    const BlitContext c = MakeContext(p, Bpp * 8);
    constexpr bool kMasked = Weight != StepWeight::Opacity;
    if (kMasked && !p.mask) return;
    if (Rule == TailRule::Product) BuildAlphaProductTables();
    const std::int32_t w = p.sr - p.sl;
    if (!g_steps.wide || w < 3 || p.dr - p.dl < 3) {
        UnscaledLoop<Op, Bpp, kMasked ? Bpp : 0>(p, c);
        return;
    }
    const BlendStepsFn steps = g_simdEnabled ? g_steps.steps : &BlendStepsScalar;
    const std::size_t rowBytes = static_cast<std::size_t>(w) * Bpp;
    const std::size_t stepBytes = rowBytes & ~static_cast<std::size_t>(7);
    for (std::int32_t i = 0; i < p.sb - p.st; ++i) {
        std::uint8_t* d = p.dst + static_cast<std::ptrdiff_t>(p.dt + i) * p.dstStride + p.dl * Bpp;
        const std::uint8_t* s = p.src + static_cast<std::ptrdiff_t>(p.st + i) * p.srcStride + p.sl * Bpp;
        const std::uint8_t* m =
            kMasked ? p.mask + static_cast<std::ptrdiff_t>(p.st + i) * p.maskStride + p.sl * Bpp : nullptr;
        steps(d, s, m, stepBytes, Weight, c.opacity);
        for (std::size_t k = stepBytes; k < rowBytes; ++k) {
            if (Bpp == 4 && k % 4 == 3) continue;  // the fourth byte is kept
            int weight = c.opacity;
            if (Weight == StepWeight::Mask) weight = m[k];
            if (Weight == StepWeight::MaskLowered) weight = LoweredMask(m[k], c.opacity);
            d[k] = TailByte<Rule>(s[k], d[k], weight);
        }
    }
}

template <class Op, int Bpp, int MaskStep>
void Unscaled(const BlitParams& p) {
    if (MaskStep && !p.mask) return;
    UnscaledLoop<Op, Bpp, MaskStep>(p, MakeContext(p, Bpp == 2 ? 0 : Bpp * 8));
}

template <class Op, int Bpp, int MaskStep>
void Scaled(const BlitParams& p) {
    if (MaskStep && !p.mask) return;
    ScaledLoop<Op, Bpp, MaskStep>(p, MakeContext(p, Bpp == 2 ? 0 : Bpp * 8));
}

// 15 and 16-bit members need the depth for the key and the table.
template <class Op, int Depth, int MaskStep, bool IsScaled>
void Member16(const BlitParams& p) {
    if (MaskStep && !p.mask) return;
    const BlitContext c = MakeContext(p, Depth);
    if (IsScaled)
        ScaledLoop<Op, 2, MaskStep>(p, c);
    else
        UnscaledLoop<Op, 2, MaskStep>(p, c);
}

// The opaque unscaled copies move each row as one block.
template <int Bpp>
void RowCopy(const BlitParams& p) {
    const std::size_t rowBytes = static_cast<std::size_t>(p.sr - p.sl) * Bpp;
    for (std::int32_t i = 0; i < p.sb - p.st; ++i) {
        std::uint8_t* d = p.dst + static_cast<std::ptrdiff_t>(p.dt + i) * p.dstStride + p.dl * Bpp;
        const std::uint8_t* s = p.src + static_cast<std::ptrdiff_t>(p.st + i) * p.srcStride + p.sl * Bpp;
        std::memmove(d, s, rowBytes);
    }
}

// Columns: 15, 16, 24, 32 bits.
struct MemberRow {
    BlitMember byDepth[4];
};

// [scaled][opacity][mode - 1]
const MemberRow kMembers[2][2][3] = {
    {   // unscaled
        {   // without opacity
            {{RowCopy<2>, RowCopy<2>, RowCopy<3>, RowCopy<4>}},
            {{Member16<Key16CopyOp<true>, 15, 0, false>, Member16<Key16CopyOp<false>, 16, 0, false>,
              Unscaled<KeyBytesCopyOp<3>, 3, 0>, Unscaled<KeyBytesCopyOp<4>, 4, 0>}},
            {{Member16<Alpha16Op, 15, 1, false>, Member16<Alpha16Op, 16, 1, false>,
              StepMember<AlphaTruncOp, 3, StepWeight::Mask, TailRule::Trunc>,
              StepMember<AlphaProductOp, 4, StepWeight::Mask, TailRule::Product>}},
        },
        {   // with opacity
            {{Member16<Opacity16Op<false>, 15, 0, false>, Member16<Opacity16Op<false>, 16, 0, false>,
              StepMember<OpacityOp, 3, StepWeight::Opacity, TailRule::Floor>,
              StepMember<OpacityOp, 4, StepWeight::Opacity, TailRule::Floor>}},
            {{Member16<KeyOpacity16Op<true, false>, 15, 0, false>,
              Member16<KeyOpacity16Op<false, false>, 16, 0, false>,
              Unscaled<KeyOpacityOp, 3, 0>, Unscaled<KeyOpacityOp, 4, 0>}},
            {{Member16<AlphaOpacity16Op, 15, 1, false>, Member16<AlphaOpacity16Op, 16, 1, false>,
              StepMember<AlphaOpacityOp, 3, StepWeight::MaskLowered, TailRule::Floor>,
              StepMember<AlphaOpacityOp, 4, StepWeight::MaskLowered, TailRule::Floor>}},
        },
    },
    {   // scaled
        {   // without opacity
            {{Scaled<Copy16Op, 2, 0>, Scaled<Copy16Op, 2, 0>, Scaled<CopyOp<3>, 3, 0>, Scaled<CopyOp<4>, 4, 0>}},
            {{Member16<Key16CopyOp<true>, 15, 0, true>, Member16<Key16CopyOp<false>, 16, 0, true>,
              Scaled<KeyBytesCopyOp<3>, 3, 0>, Scaled<KeyBytesCopyOp<4>, 4, 0>}},
            {{Member16<Alpha16Op, 15, 1, true>, Member16<Alpha16Op, 16, 1, true>,
              Scaled<AlphaFloorOp, 3, 3>, Scaled<AlphaFloorOp, 4, 4>}},
        },
        {   // with opacity
            {{Member16<Opacity16Op<true>, 15, 0, true>, Member16<Opacity16Op<true>, 16, 0, true>,
              Scaled<OpacityOp, 3, 0>, nullptr}},
            {{Member16<KeyOpacity16Op<true, true>, 15, 0, true>, Member16<KeyOpacity16Op<false, true>, 16, 0, true>,
              Scaled<KeyOpacityOp, 3, 0>, nullptr}},
            {{Member16<AlphaOpacity16Op, 15, 1, true>, Member16<AlphaOpacity16Op, 16, 1, true>,
              Scaled<AlphaOpacityOp, 3, 3>, Scaled<AlphaOpacityOp, 4, 4>}},
        },
    },
};

int DepthColumn(int depth) {
    switch (depth) {
    case 15: return 0;
    case 16: return 1;
    case 24: return 2;
    case 32: return 3;
    default: return -1;
    }
}

}  // namespace

BlitMember FindBlitMember(bool scaled, bool withOpacity, TransparencyMode mode, int depth) {
    const int column = DepthColumn(depth);
    const int m = static_cast<int>(mode);
    if (column < 0 || m < 1 || m > 3) return nullptr;
    return kMembers[scaled ? 1 : 0][withOpacity ? 1 : 0][m - 1].byDepth[column];
}

int BlitBytesPerPixel(int depth) {
    switch (depth) {
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

std::int32_t BlitStride(std::int32_t stride, int depth) {
    if (depth == 32) return stride & ~3;
    if (depth == 15 || depth == 16) return stride & ~1;
    return stride;
}

std::int32_t BlitMaskStride(std::int32_t width, int depth) {
    return width * (depth == 15 || depth == 16 ? 1 : BlitBytesPerPixel(depth));
}

bool SetBlitSimdEnabled(bool enabled) {
    const bool previous = g_simdEnabled;
    g_simdEnabled = enabled;
    return previous;
}

bool BlitSimdAvailable() { return g_steps.steps != &BlendStepsScalar; }
