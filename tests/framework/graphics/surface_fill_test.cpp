#include "framework/graphics/surface_fill.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SurfaceFill, WritesBlueGreenRedAndStaysInsideTheStore) {
    // A 3 x 2 store, 24 bits: stride 12, bottom row first in memory.
    const struct {
        const char* what;
        int bpp;
        BlitRect rect;
        std::vector<std::uint8_t> expected;
    } cases[] = {
        {"top-left pixel is in the second memory row", 3, {0, 0, 1, 1},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"rectangle beyond every edge fills the whole store, not the padding", 3, {-5, -5, 50, 50},
         {1, 2, 3, 1, 2, 3, 1, 2, 3, 0, 0, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 0, 0, 0}},
        {"bottom-right pixel", 3, {2, 1, 3, 2},
         {0, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"empty and inverted rectangles write nothing", 3, {2, 1, 1, 0}, std::vector<std::uint8_t>(24, 0)},
        {"entirely outside", 3, {3, 0, 9, 2}, std::vector<std::uint8_t>(24, 0)},
        {"32-bit pixels take a zero fourth byte", 4, {1, 1, 2, 2},
         {9, 9, 9, 9, 1, 2, 3, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> store(24, c.bpp == 4 ? 9 : 0);
        // The 32-bit store is 3 x 2 with stride 12 as well: 3 pixels of 4 bytes.
        FillPixels(store.data(), 12, 3, 2, c.bpp, 0x010203, c.rect);
        EXPECT_EQ(store, c.expected) << c.what;
    }
}
