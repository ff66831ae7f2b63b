// The 8-byte blending steps shared by the unscaled opacity, alpha and
// alpha-opacity members of 24 and 32 bits. Each byte becomes
// d + floor((s - d) * w / 256), the weight w being the opacity, the mask
// byte, or the mask byte lowered by 255 - opacity (not below 0).
#pragma once

#include <cstddef>
#include <cstdint>

enum class StepWeight { Opacity, Mask, MaskLowered };

// Blends `bytes` bytes (a multiple of 8) of s over d. `mask` is read for the
// mask weights only.
void BlendStepsScalar(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* mask,
                      std::size_t bytes, StepWeight weight, int opacity);
// The same with SSE2, 16 bytes at a time, where the build targets SSE2 (the
// scalar steps otherwise).
void BlendStepsSse2(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* mask,
                    std::size_t bytes, StepWeight weight, int opacity);

using BlendStepsFn = void (*)(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t, StepWeight, int);
