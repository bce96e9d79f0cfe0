// Between durations and the program's waveform, the infrared envelope
// sampled 8000 times a second (one level per 125 us sample).
#ifndef QEV_IR_SAMPLING_H
#define QEV_IR_SAMPLING_H

#include "ir/ir_signal.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qev {

// One byte per sample: 1 infrared on, 0 off.
using TLevels = std::vector<uint8_t>;

// The sample an absolute time falls on: the nearest one, half a sample
// rounding up.
constexpr int64_t Sample_Of_us(int64_t us) { return (2 * us + Sample_Period_us) / (2 * Sample_Period_us); }

// Samples the durations. Every edge lands on the sample nearest its absolute
// time from the first mark (so no error builds up along a long signal, and
// each edge is within half a sample of where it belongs); the levels last
// to the end of the last duration, at least `min_samples` in all, and are
// cut at `max_samples`. A mark shorter than half a sample may vanish.
TLevels Sample_Timing(const TIR_Timing& timing, int32_t max_samples, int32_t min_samples = 0);

// The durations of sampled levels: from the first active sample on, each
// run of equal levels lasts 125 us per sample; idle samples at the end give
// the final space. No durations when no sample is active.
TIR_Timing Timing_Of_Levels(std::span<const uint8_t> levels, int32_t carrier_hz = Default_Carrier_Hz);

}  // namespace qev

#endif
