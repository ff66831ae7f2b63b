#include "installer/progress_math.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(OverallPercent, SumsEarlierFilesAndTheCurrentShareAgainstTheFixedTotal) {
    // Fifteen files that make up the real total exactly.
    std::uint64_t sizes[15] = {};
    for (int i = 0; i < 14; ++i) sizes[i] = 265000000;
    sizes[14] = kInstallTotalBytes - 14 * 265000000ull;

    EXPECT_EQ(OverallPercent(sizes, 15, 0, 0), 0u);
    // 265000000 x 50 / 100 = 132500000 -> 3.33 %
    EXPECT_EQ(OverallPercent(sizes, 15, 0, 50), 3u);
    EXPECT_EQ(OverallPercent(sizes, 15, 1, 0), 6u);
    // Just short of the end truncates to 99; the end is exactly 100.
    EXPECT_EQ(OverallPercent(sizes, 15, 14, 99), 99u);
    EXPECT_EQ(OverallPercent(sizes, 15, 14, 100), 100u);
}

TEST(OverallPercent, UsesSixtyFourBitsAndCanPassOneHundred) {
    // Two files of 3 GB: 32-bit arithmetic would wrap long before this.
    std::uint64_t sizes[2] = {3000000000ull, 3000000000ull};
    // (3e9 + 3e9 x 100 / 100) x 100 / 3979031201 = 150.79
    EXPECT_EQ(OverallPercent(sizes, 2, 1, 100), 150u);
    // A size of 0 (a file that could not be opened) adds nothing.
    std::uint64_t withEmpty[3] = {0, 39790312, 0};
    EXPECT_EQ(OverallPercent(withEmpty, 3, 2, 100), 0u);
    EXPECT_EQ(OverallPercent(withEmpty, 3, 5, 100), 0u);
}

TEST(StageForPercent, FollowsTheStageTableAtEveryBoundary) {
    struct Case { int percent; int stage; };
    const Case cases[] = {{-5, 0}, {0, 0},  {10, 0}, {11, 1}, {25, 1}, {26, 2}, {40, 2},
                          {41, 3}, {60, 3}, {61, 4}, {80, 4}, {81, 5}, {98, 5}, {99, 6},
                          {100, 6}, {150, 6}};
    for (const Case& c : cases) EXPECT_EQ(StageForPercent(c.percent), c.stage) << c.percent;
}

TEST(LayoutProgressBar, DigitsAndBarSteps) {
    struct Case {
        int number, bar;
        int tens, units, fullWidth, emptyStart;
    };
    // Bar pictures 136 pixels wide: every ten percent is 13 (136 x t / 10).
    const Case cases[] = {
        {0, 0, -1, 0, 0, 0},
        {5, 5, -1, 5, 0, 0},        // no tens digit below 10
        {10, 10, 1, 0, 13, 13},
        {19, 19, 1, 9, 13, 13},     // the bar at 19 equals the bar at 10
        {55, 55, 5, 5, 68, 68},
        {99, 99, 9, 9, 122, 122},   // full only at 100
        {100, 100, 9, 9, 136, 136}, // "99%"; no empty part drawn
        {150, -20, 9, 9, 0, 0},     // both values clamped first
    };
    for (const Case& c : cases) {
        ProgressBarLayout l = LayoutProgressBar(c.number, c.bar, 136, 136);
        EXPECT_EQ(l.tensDigit, c.tens) << c.number;
        EXPECT_EQ(l.unitsDigit, c.units) << c.number;
        EXPECT_EQ(l.fullWidth, c.fullWidth) << c.bar;
        EXPECT_EQ(l.emptyStart, c.emptyStart) << c.bar;
    }
}

}  // namespace
