// Between durations and the program's waveform, the infrared envelope
// sampled 8000 times a second (one level per 125 us sample).
#ifndef QEV_IR_SAMPLING_H
#define QEV_IR_SAMPLING_H

#include "base/sample_grid.h"
#include "ir/ir_signal.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qev {

// One byte per sample: 1 infrared on, 0 off.
using TLevels = std::vector<uint8_t>;

// Samples the durations (Levels_Of_Durations, base/sample_grid.h): every
// edge on the sample nearest its absolute time from the first mark; the
// levels last to the end of the last duration, at least `min_samples` in
// all, and are cut at `max_samples`.
TLevels Sample_Timing(const TIR_Timing& timing, int32_t max_samples, int32_t min_samples = 0);

// The durations of sampled levels (Durations_Of_Levels, base/sample_grid.h).
TIR_Timing Timing_Of_Levels(std::span<const uint8_t> levels, int32_t carrier_hz = Default_Carrier_Hz);

}  // namespace qev

#endif
