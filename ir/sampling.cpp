#include "ir/sampling.h"

#include <algorithm>

namespace qev {

TLevels Sample_Timing(const TIR_Timing& timing, int32_t max_samples, int32_t min_samples) {
    int64_t end_us = 0;
    for (const int32_t d : timing.Durations_us) end_us += std::max(d, 0);
    const int64_t limit = std::max<int64_t>(max_samples, 0);
    const int64_t length = std::min(std::max(Sample_Of_us(end_us), int64_t{min_samples}), limit);
    TLevels levels(static_cast<std::size_t>(length), 0);

    int64_t t = 0;
    for (std::size_t i = 0; i < timing.Durations_us.size(); ++i) {
        const int64_t start = Sample_Of_us(t);
        t += std::max(timing.Durations_us[i], 0);
        if (i % 2 != 0) continue;
        if (start >= length) break;
        const int64_t stop = std::min(Sample_Of_us(t), length);
        std::fill(levels.begin() + start, levels.begin() + stop, uint8_t{1});
    }
    return levels;
}

TIR_Timing Timing_Of_Levels(std::span<const uint8_t> levels, int32_t carrier_hz) {
    TIR_Timing timing;
    timing.Carrier_Hz = carrier_hz;
    std::size_t i = 0;
    while (i < levels.size() && levels[i] == 0) ++i;
    while (i < levels.size()) {
        const bool on = levels[i] != 0;
        const std::size_t start = i;
        while (i < levels.size() && (levels[i] != 0) == on) ++i;
        timing.Durations_us.push_back(static_cast<int32_t>((i - start) * Sample_Period_us));
    }
    return timing;
}

}  // namespace qev
