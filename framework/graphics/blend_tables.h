// Two-table blending of 16-bit pixels. Table[k][c] holds every colour field
// of pixel c multiplied by k (0..15) and divided by 15, truncated, in its own
// place, so table[k][s] + table[15 - k][d] blends s over d at level k without
// a carry from one field into the next. The top bit of a 5-5-5 pixel is
// ignored (entries c and c | 0x8000 are equal).
#pragma once

#include <cstdint>

constexpr int kBlendLevels = 16;
constexpr int kBlendEntries = 65536;

// Each returns the table as kBlendLevels rows of kBlendEntries entries,
// built the first time it is asked for.
const std::uint16_t* BlendTable555();
const std::uint16_t* BlendTable565();
