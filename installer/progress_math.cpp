#include "installer/progress_math.h"

#include <algorithm>

std::uint32_t OverallPercent(const std::uint64_t* sizes, int count, int index,
                             std::uint32_t filePercent) {
    if (index < 0 || index >= count) return 0;
    std::uint64_t done = 0;
    for (int i = 0; i < index; ++i) done += sizes[i];
    done += static_cast<std::uint64_t>(filePercent) * sizes[index] / 100;
    return static_cast<std::uint32_t>(done * 100 / kInstallTotalBytes);
}

int StageForPercent(std::int32_t percent) {
    if (percent <= 10) return 0;
    if (percent <= 25) return 1;
    if (percent <= 40) return 2;
    if (percent <= 60) return 3;
    if (percent <= 80) return 4;
    if (percent <= 98) return 5;
    return 6;
}

ProgressBarLayout LayoutProgressBar(std::int32_t number, std::int32_t bar, int fullBarWidth,
                                    int emptyBarWidth) {
    number = std::clamp(number, 0, 100);
    bar = std::clamp(bar, 0, 100);
    const int tenths = bar / 10;

    ProgressBarLayout layout;
    layout.fullWidth = bar > 0 ? tenths * fullBarWidth / 10 : 0;
    layout.emptyStart = bar < 100 ? tenths * emptyBarWidth / 10 : emptyBarWidth;
    if (number == 100) number = 99;
    layout.tensDigit = number >= 10 ? (number / 10) % 10 : -1;
    layout.unitsDigit = number % 10;
    return layout;
}
