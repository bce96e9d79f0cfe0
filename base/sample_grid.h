// The program's time grid: the infrared envelope sampled 8000 times a
// second, one level per 125 us sample, and the durations of marks and spaces
// that other tools and devices speak in. Used by the code formats, which
// read and write durations, and by the signal ports (kernel IR devices),
// which take and give them.
#ifndef QEV_BASE_SAMPLE_GRID_H
#define QEV_BASE_SAMPLE_GRID_H

#include <cstdint>
#include <span>
#include <vector>

namespace qev {

constexpr int32_t Samples_Per_Second = 8000;
constexpr int32_t Sample_Period_us = 125;

// The sample an absolute time falls on: the nearest one, half a sample
// rounding up.
constexpr int64_t Sample_Of_us(int64_t us) { return (2 * us + Sample_Period_us) / (2 * Sample_Period_us); }

// The levels (1 infrared on, 0 off) of durations in microseconds, marks at
// even indexes. Every edge lands on the sample nearest its absolute time
// from the first mark (so no error builds up along a long signal, and each
// edge is within half a sample of where it belongs); the levels last to the
// end of the last duration, at least `min_samples` in all, and are cut at
// `max_samples`. A mark shorter than half a sample may vanish; a longer one
// whose edges round to the same sample keeps the sample that holds its
// middle (its edges then within one sample). Negative durations count as 0.
std::vector<uint8_t> Levels_Of_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                         int32_t min_samples = 0);

// The same levels packed eight to a byte, the earliest sample in bit 0, as
// the Command table holds them; the last byte's bits past the end are 0.
// A reader of many signals spares a byte per sample and the packing.
std::vector<uint8_t> Packed_Levels_Of_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                                int32_t min_samples = 0);

// How many levels Levels_Of_Durations makes: to the end of the last
// duration, at least `min_samples`, at most `max_samples`.
int64_t Sampled_Length(std::span<const int32_t> durations_us, int32_t max_samples, int32_t min_samples = 0);

// The durations of levels: from the first active sample on, each run of
// equal levels lasts 125 us per sample; idle samples at the end give the
// final space. Empty when no sample is active.
std::vector<int32_t> Durations_Of_Levels(std::span<const uint8_t> levels);

// What sampling durations and reading them back gives, without the levels
// in between: Durations_Of_Levels(Levels_Of_Durations(durations_us,
// max_samples, min_samples)), and the sample its first run starts at (the
// first active sample; the levels' length when none is active). A reader
// of many signals spares a byte per sample this way.
struct TSampled_Durations {
    std::vector<int32_t> Durations_us;
    int64_t First_Sample = 0;
};
TSampled_Durations Sampled_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                     int32_t min_samples = 0);

}  // namespace qev

#endif
