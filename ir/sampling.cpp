#include "ir/sampling.h"

namespace qev {

TLevels Sample_Timing(const TIR_Timing& timing, int32_t max_samples, int32_t min_samples) {
    return Levels_Of_Durations(timing.Durations_us, max_samples, min_samples);
}

TIR_Timing Timing_Of_Levels(std::span<const uint8_t> levels, int32_t carrier_hz) {
    return TIR_Timing{Durations_Of_Levels(levels), carrier_hz};
}

}  // namespace qev
