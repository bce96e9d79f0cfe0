// What the performance information dialog measures, without a window: the
// counter's frequency, the counter units in one 125 us tick, and how many
// turns of an empty counting loop fit into one tick at the priority of the
// timed runs.
//
// The arithmetic is kept apart from the measurement as pure functions of the
// counter readings, so every case can be computed from given numbers:
//   load value  f / 8000                       (signed 64-bit, truncated)
//   ticks       e = (c2 - c1) * 8000 / f       (signed 64-bit, truncated)
//   loop count  r = N / e                      (signed 32-bit, by e's low 32 bits)
// with N = 16,777,215 turns of the loop between the readings c1 and c2.
//
// Two cases would divide by zero and show something else instead:
//   f = 0 (or below: no usable counter): there is no tick to measure in, so
//     the loop count shows "-", as before any measurement. The frequency and
//     load value still show what was read ("0 Hz", "0 Count").
//   e = 0 (the N turns took less than one tick): more than N turns fit into
//     a tick, and the loop count says so: "> 16777215 Count". A reading that
//     went backwards by less than a tick, or an e whose low 32 bits are zero,
//     says nothing true and shows "-".
#ifndef QEV_DIALOGS_CORE_PERFORMANCE_H
#define QEV_DIALOGS_CORE_PERFORMANCE_H

#include "app/core/qev_state.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qev {

constexpr int32_t Soft_Loop_Turns = 16'777'215;  // N, 0xFFFFFF
constexpr int64_t Performance_Ticks_Per_Second = 8000;

// f / 8000: counter units per tick, the quotient the sample clock uses.
int64_t Timer_Load_Value(int64_t frequency);

// e = (c2 - c1) * 8000 / f. The difference and the product are taken modulo
// 2^64 (two's complement) rather than overflowing. None when f <= 0.
std::optional<int64_t> Elapsed_Ticks(int64_t c1, int64_t c2, int64_t frequency);

// r = N / e, dividing by the low 32 bits of e taken as a signed 32-bit number.
// None when those bits are zero.
std::optional<int32_t> Soft_Loop_Count(int64_t elapsed_ticks);

// The three value labels' texts.
std::string Frequency_Text(int64_t frequency);                          // "3579545 Hz"
std::string Load_Value_Text(int64_t frequency);                         // "447 Count"
std::string Soft_Loop_Text(int64_t c1, int64_t c2, int64_t frequency);  // "104857 Count", "-", "> 16777215 Count"

// The empty counting loop: counts from 0 while the count is below `turns`.
// Every turn is executed; the compiler may neither drop nor shorten it.
void Run_Soft_Loop(int32_t turns);

struct TPerformance_Result {
    int64_t Frequency = 0;
    int64_t C1 = 0;  // the counter just before the loop
    int64_t C2 = 0;  // and just after it
    std::string Frequency_Value;
    std::string Load_Value;
    std::string Timer_Value_Var;
};

class TPerformance_Info {
public:
    explicit TPerformance_Info(TQEV_State& state) : state_(state) {}

    // One measurement: reads the frequency, raises the priority as a timed
    // run does, reads the counter, runs N turns of the loop, reads the
    // counter again, restores the priority (the thread first, then the
    // process) and computes the texts. The shared Tick_Period is neither read
    // nor changed.
    TPerformance_Result Measure_ButtonClick();

private:
    TQEV_State& state_;
};

}  // namespace qev

#endif
