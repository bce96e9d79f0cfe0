#include "dialogs/core/performance.h"

namespace qev {

int64_t Timer_Load_Value(int64_t frequency) { return frequency / Performance_Ticks_Per_Second; }

std::optional<int64_t> Elapsed_Ticks(int64_t c1, int64_t c2, int64_t frequency) {
    if (frequency <= 0) return std::nullopt;
    // Unsigned arithmetic wraps where the signed one would overflow; the
    // conversion back is two's complement.
    const auto units = static_cast<int64_t>(static_cast<uint64_t>(c2) - static_cast<uint64_t>(c1));
    const auto scaled =
        static_cast<int64_t>(static_cast<uint64_t>(units) * static_cast<uint64_t>(Performance_Ticks_Per_Second));
    return scaled / frequency;  // frequency > 0: no INT64_MIN / -1
}

std::optional<int32_t> Soft_Loop_Count(int64_t elapsed_ticks) {
    const auto divisor = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(elapsed_ticks)));
    if (divisor == 0) return std::nullopt;
    return Soft_Loop_Turns / divisor;  // N is not INT32_MIN: no overflow
}

std::string Frequency_Text(int64_t frequency) { return std::to_string(frequency) + " Hz"; }

std::string Load_Value_Text(int64_t frequency) { return std::to_string(Timer_Load_Value(frequency)) + " Count"; }

std::string Soft_Loop_Text(int64_t c1, int64_t c2, int64_t frequency) {
    const std::optional<int64_t> ticks = Elapsed_Ticks(c1, c2, frequency);
    if (!ticks) return "-";
    if (const std::optional<int32_t> count = Soft_Loop_Count(*ticks)) return std::to_string(*count) + " Count";
    // Less than one tick forwards: more than N turns fit into one.
    if (*ticks == 0 && c2 >= c1) return "> " + std::to_string(Soft_Loop_Turns) + " Count";
    return "-";
}

// Not inlined, so the loop can be found and read in the object code. The empty
// asm statement claims to read and change the count in its register: the
// compiler must keep every turn and its comparison, and can neither compute
// the end value in advance nor drop the loop.
[[gnu::noinline]] void Run_Soft_Loop(int32_t turns) {
    for (int32_t count = 0; count < turns; ++count) __asm__ __volatile__("" : "+r"(count));
}

TPerformance_Result TPerformance_Info::Measure_ButtonClick() {
    TCounter& counter = state_.Clock.Counter();
    TPerformance_Result result;
    result.Frequency = counter.Query_Frequency();
    result.Frequency_Value = Frequency_Text(result.Frequency);
    result.Load_Value = Load_Value_Text(result.Frequency);
    {
        const TRaised_Priority raised(state_.Clock);
        result.C1 = counter.Read();
        Run_Soft_Loop(Soft_Loop_Turns);
        result.C2 = counter.Read();
    }
    result.Timer_Value_Var = Soft_Loop_Text(result.C1, result.C2, result.Frequency);
    return result;
}

}  // namespace qev
