// The arithmetic of the progress display, without Win32: the overall
// percent of the installation, the stage picture that belongs to it, and
// what the bar and the two-digit number show.
#pragma once

#include <cstdint>

// Bytes of the whole installation: the divisor of the overall percent.
constexpr std::uint64_t kInstallTotalBytes = 3979031201ull;

// Overall percent while file `index` of `count` is at `filePercent`:
// (sum of the sizes before it + filePercent x its size / 100) x 100 / total,
// unsigned 64-bit with truncating division. The result can pass 100 when the
// files are larger in all than the total.
std::uint32_t OverallPercent(const std::uint64_t* sizes, int count, int index,
                             std::uint32_t filePercent);

// Stage picture (0 to 6) for an overall percent: up to 10 is stage 0, then
// 11-25, 26-40, 41-60, 61-80, 81-98, and 99 or more is stage 6.
int StageForPercent(std::int32_t percent);

struct ProgressBarLayout {
    int fullWidth;   // columns of the full-bar picture drawn from the left
    int emptyStart;  // first column of the empty-bar picture drawn (its width: none)
    int tensDigit;   // digit picture of the tens place, -1 for none
    int unitsDigit;  // digit picture of the units place
};

inline bool operator==(const ProgressBarLayout& a, const ProgressBarLayout& b) {
    return a.fullWidth == b.fullWidth && a.emptyStart == b.emptyStart &&
           a.tensDigit == b.tensDigit && a.unitsDigit == b.unitsDigit;
}

// What the display shows for number percent `number` and bar percent `bar`
// (both clamped to 0..100) with bar pictures of the given widths. The bar
// moves in steps of ten percent; 100 is shown as "99".
ProgressBarLayout LayoutProgressBar(std::int32_t number, std::int32_t bar, int fullBarWidth,
                                    int emptyBarWidth);
