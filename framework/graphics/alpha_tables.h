// Products used by the 32-bit alpha blend: for a and c in 0..255,
// AlphaProductTables.first[a * 256 + c] = c * a / 255 and
// AlphaProductTables.second[a * 256 + c] = c * (255 - a) / 255, truncated.
#pragma once

#include <cstdint>

struct AlphaProductTablesData {
    std::uint8_t first[256 * 256];
    std::uint8_t second[256 * 256];
};

extern AlphaProductTablesData AlphaProductTables;

// Builds the tables the first time it is called in the process.
void BuildAlphaProductTables();
