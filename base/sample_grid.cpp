#include "base/sample_grid.h"

#include <algorithm>

namespace qev {

std::vector<uint8_t> Levels_Of_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                         int32_t min_samples) {
    int64_t end_us = 0;
    for (const int32_t d : durations_us) end_us += std::max(d, 0);
    const int64_t limit = std::max<int64_t>(max_samples, 0);
    const int64_t length = std::min(std::max(Sample_Of_us(end_us), int64_t{min_samples}), limit);
    std::vector<uint8_t> levels(static_cast<std::size_t>(length), 0);

    int64_t t = 0;
    for (std::size_t i = 0; i < durations_us.size(); ++i) {
        const int64_t begin_us = t;
        int64_t start = Sample_Of_us(t);
        t += std::max(durations_us[i], 0);
        if (i % 2 != 0) continue;
        int64_t stop = Sample_Of_us(t);
        // A mark of half a sample or more whose edges round to one instant
        // keeps the sample that holds its middle.
        if (stop == start && 2 * (t - begin_us) >= Sample_Period_us) {
            start = (begin_us + t) / (2 * Sample_Period_us);
            stop = start + 1;
        }
        if (start >= length) break;
        stop = std::min(stop, length);
        std::fill(levels.begin() + start, levels.begin() + stop, uint8_t{1});
    }
    return levels;
}

std::vector<int32_t> Durations_Of_Levels(std::span<const uint8_t> levels) {
    std::vector<int32_t> durations;
    std::size_t i = 0;
    while (i < levels.size() && levels[i] == 0) ++i;
    while (i < levels.size()) {
        const bool on = levels[i] != 0;
        const std::size_t start = i;
        while (i < levels.size() && (levels[i] != 0) == on) ++i;
        durations.push_back(static_cast<int32_t>((i - start) * Sample_Period_us));
    }
    return durations;
}

}  // namespace qev
