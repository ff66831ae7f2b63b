#include "framework/graphics/blit_steps.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline int StepWeightOf(StepWeight weight, int opacity, std::uint8_t m) {
    switch (weight) {
    case StepWeight::Opacity: return opacity;
    case StepWeight::Mask: return m;
    case StepWeight::MaskLowered: {
        const int e = m - (255 - opacity);
        return e < 0 ? 0 : e;
    }
    }
    return 0;
}

}  // namespace

void BlendStepsScalar(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* mask,
                      std::size_t bytes, StepWeight weight, int opacity) {
    for (std::size_t i = 0; i < bytes; ++i) {
        const int w = StepWeightOf(weight, opacity, mask ? mask[i] : 0);
        // Widened to 16 bits, the product keeps its low 16 bits and is shifted
        // logically; adding it to d as a byte gives floor((s - d) * w / 256).
        const unsigned product = static_cast<unsigned>((s[i] - d[i]) * w) & 0xFFFFu;
        d[i] = static_cast<std::uint8_t>(d[i] + (product >> 8));
    }
}

#if defined(__SSE2__)

namespace {

inline __m128i BlendHalf(__m128i s8, __m128i d8, __m128i w16, __m128i zero, bool high) {
    const __m128i s16 = high ? _mm_unpackhi_epi8(s8, zero) : _mm_unpacklo_epi8(s8, zero);
    const __m128i d16 = high ? _mm_unpackhi_epi8(d8, zero) : _mm_unpacklo_epi8(d8, zero);
    const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(s16, d16), w16);
    return _mm_srli_epi16(product, 8);
}

}  // namespace

namespace {

template <StepWeight Weight>
std::size_t Sse2Steps(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* mask, std::size_t bytes,
                      int opacity) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i opacity16 = _mm_set1_epi16(static_cast<short>(opacity));
    const __m128i lower = _mm_set1_epi8(static_cast<char>(255 - opacity));
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i s8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i d8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i wlo = opacity16, whi = opacity16;
        if (Weight != StepWeight::Opacity) {
            __m128i m8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
            if (Weight == StepWeight::MaskLowered) m8 = _mm_subs_epu8(m8, lower);
            wlo = _mm_unpacklo_epi8(m8, zero);
            whi = _mm_unpackhi_epi8(m8, zero);
        }
        const __m128i lo = BlendHalf(s8, d8, wlo, zero, false);
        const __m128i hi = BlendHalf(s8, d8, whi, zero, true);
        // Every lane holds 0..255 after the shift, so the pack does not
        // saturate; the byte add wraps exactly like the 8-bit result.
        const __m128i sum = _mm_add_epi8(_mm_packus_epi16(lo, hi), d8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), sum);
    }
    return i;
}

}  // namespace

void BlendStepsSse2(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* mask,
                    std::size_t bytes, StepWeight weight, int opacity) {
    std::size_t i = 0;
    switch (weight) {
    case StepWeight::Opacity: i = Sse2Steps<StepWeight::Opacity>(d, s, mask, bytes, opacity); break;
    case StepWeight::Mask: i = Sse2Steps<StepWeight::Mask>(d, s, mask, bytes, opacity); break;
    case StepWeight::MaskLowered: i = Sse2Steps<StepWeight::MaskLowered>(d, s, mask, bytes, opacity); break;
    }
    if (i < bytes) BlendStepsScalar(d + i, s + i, mask ? mask + i : nullptr, bytes - i, weight, opacity);
}

#else

void BlendStepsSse2(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* mask,
                    std::size_t bytes, StepWeight weight, int opacity) {
    BlendStepsScalar(d, s, mask, bytes, weight, opacity);
}

#endif
