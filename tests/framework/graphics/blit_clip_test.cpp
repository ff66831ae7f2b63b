#include "framework/graphics/blit_clip.h"

#include <gtest/gtest.h>

#include <climits>

TEST(BlitClip, FlipRectRowsCountsRowsFromTheBottom) {
    EXPECT_EQ(FlipRectRows({0, 0, 800, 100}, 600), (BlitRect{0, 500, 800, 600}));
    EXPECT_EQ(FlipRectRows({3, 10, 7, 12}, 12), (BlitRect{3, 0, 7, 2}));
}

TEST(BlitClip, ClipsBothRectanglesOneForOne) {
    const BlitRect screen{0, 0, 800, 600};
    const struct {
        const char* what;
        BlitRect dest, source, clip;
        int sourceW, sourceH;
        bool scaled;
        bool draws;
        BlitRect destOut, sourceOut;
    } cases[] = {
        {"left of the screen: 90 columns from source column 10", {-10, 20, 90, 70}, {0, 0, 100, 50}, screen, 100, 50,
         false, true, {0, 20, 90, 70}, {10, 0, 100, 50}},
        {"bottom right corner: a 50 x 20 piece", {750, 580, 850, 630}, {0, 0, 100, 50}, screen, 100, 50, false, true,
         {750, 580, 800, 600}, {0, 0, 50, 20}},
        {"scaled and clipped on the left", {0, 0, 200, 100}, {0, 0, 100, 50}, {50, 0, 800, 600}, 100, 50, true, true,
         {50, 0, 200, 100}, {50, 0, 100, 50}},
        {"source partly left of its surface", {100, 100, 125, 110}, {-5, 0, 20, 10}, screen, 20, 10, false, true,
         {100, 100, 120, 110}, {0, 0, 20, 10}},
        // Unscaled, the rows left after cutting the source start at the
        // destination's first row in memory, its bottom row on the screen.
        {"source partly below its surface lands at the bottom", {10, 10, 30, 30}, {0, 5, 20, 25}, screen, 20, 10,
         false, true, {10, 25, 30, 30}, {0, 5, 20, 10}},
        {"source partly above its surface lands at the bottom", {10, 10, 30, 30}, {0, -5, 20, 15}, screen, 20, 10,
         false, true, {10, 20, 30, 30}, {0, 0, 20, 10}},
        {"source over both ends of its surface", {10, 10, 30, 30}, {0, -5, 20, 15}, screen, 20, 6, false, true,
         {10, 24, 30, 30}, {0, 0, 20, 6}},
        {"cut by the clip at the bottom and by the source at the top", {10, 590, 30, 610}, {0, -5, 20, 15}, screen,
         20, 10, false, true, {10, 595, 30, 600}, {0, 0, 20, 5}},
        {"unscaled with a larger source: its bottom-left part", {0, 0, 10, 10}, {0, 0, 20, 20}, screen, 20, 20,
         false, true, {0, 0, 10, 10}, {0, 10, 10, 20}},
        {"clip not overlapping", {0, 0, 10, 10}, {0, 0, 10, 10}, {20, 20, 30, 30}, 10, 10, false, false, {}, {}},
        {"clip larger than the destination is cut to it", {790, 590, 830, 630}, {0, 0, 40, 40},
         {-100, -100, 5000, 5000}, 40, 40, false, true, {790, 590, 800, 600}, {0, 0, 10, 10}},
        {"clip partly above the destination", {5, -30, 15, 10}, {0, 0, 10, 40}, {0, -50, 800, 600}, 10, 40, false,
         true, {5, 0, 15, 10}, {0, 30, 10, 40}},
        {"empty source", {0, 0, 10, 10}, {5, 5, 5, 10}, screen, 10, 10, false, false, {}, {}},
        {"source entirely outside its surface", {0, 0, 10, 10}, {20, 0, 30, 10}, screen, 10, 10, false, false, {}, {}},
        {"destination entirely right of the screen", {900, 0, 910, 10}, {0, 0, 10, 10}, screen, 10, 10, false, false,
         {}, {}},
        {"extreme coordinates do not overflow", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MIN, 0, INT_MAX, 10},
         screen, 10, 10, true, false, {}, {}},
    };
    for (const auto& c : cases) {
        BlitRect dest = c.dest, source = c.source;
        const bool draws = ClipBlitRects(dest, source, c.clip, 800, 600, c.sourceW, c.sourceH, c.scaled);
        EXPECT_EQ(draws, c.draws) << c.what;
        if (!draws || !c.draws) continue;
        EXPECT_EQ(dest, c.destOut) << c.what;
        EXPECT_EQ(source, c.sourceOut) << c.what;
    }
}

::testing::AssertionResult InsideAndNotEmpty(const BlitRect& r, int width, int height) {
    if (r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.left < r.right && r.top < r.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << r.left << "," << r.top << "," << r.right << "," << r.bottom
                                         << " is empty or outside " << width << " x " << height;
}

TEST(BlitClip, ClippedRectanglesStayInsideBothSurfaces) {
    // Every outcome that draws lies inside the destination and the source,
    // and an unscaled blit never has a destination larger than its source.
    const int values[] = {-700, -3, 0, 2, 9, 30, 799, 801, 2000};
    for (int a : values)
        for (int b : values)
            for (int c : values)
                for (bool scaled : {false, true}) {
                    BlitRect dest{a, b, a + 40, b + 30};
                    BlitRect source{c, c / 2, c + (scaled ? 13 : 40), c / 2 + (scaled ? 7 : 30)};
                    if (!ClipBlitRects(dest, source, {c, a, b, 600}, 800, 600, 64, 48, scaled)) continue;
                    ASSERT_TRUE(InsideAndNotEmpty(dest, 800, 600));
                    ASSERT_TRUE(InsideAndNotEmpty(source, 64, 48));
                    if (!scaled) {
                        ASSERT_EQ(dest.right - dest.left, source.right - source.left);
                        ASSERT_EQ(dest.bottom - dest.top, source.bottom - source.top);
                    }
                }
}
