// The line's idle time between back-to-back repetitions of one send: the last
// sample of a repetition lasts one tick and the next repetition starts half a
// tick later, so nominally 1.5 ticks (187.5 us) pass from the last
// data-register write of one repetition to the first of the next. Measured
// through the program's own send path (TQEV_State::Send_Command) on the
// simulated port, whose log times every write with CLOCK_MONOTONIC.
#include "bench/repeat_gap.h"

#include "app/core/qev_state.h"
#include "harness/recording_feedback.h"
#include "harness/sim_port_controls.h"
#include "harness/stats.h"

#include <cstdio>

namespace qev::bench {

namespace {

// Sends further apart than the clock's streak break (0.1 s) are separate runs
// for its throttling guard, as two clicks of a key are.
constexpr int64_t Pause_Between_Sends_Ns = 120'000'000;
constexpr int64_t Stall_Limit_Ns = 10'000'000;  // throttling freezes a run for ~50 ms

struct TSend_Result {
    bool Complete = false;
    std::vector<int64_t> Gaps;     // one per pair of neighbouring repetitions
    int64_t Longest_Interval = 0;  // between any two neighbouring writes
};

TSend_Result Send_And_Measure(TQEV_State& state, const TSim_Port_Controls& sim, int repeat, int32_t samples) {
    TSend_Result result;
    sim.Tx_Clear();
    state.Settings.REPEAT = repeat;
    state.Send_Command(0);
    const std::vector<TSim_Tx_Write> writes = sim.Writes();
    const auto n = static_cast<std::size_t>(samples);
    result.Complete = writes.size() == n * static_cast<std::size_t>(repeat);
    if (!result.Complete) return result;
    for (std::size_t i = 1; i < writes.size(); ++i) {
        const int64_t interval = writes[i].Time_Ns - writes[i - 1].Time_Ns;
        if (interval > result.Longest_Interval) result.Longest_Interval = interval;
        if (i % n == 0) result.Gaps.push_back(interval);
    }
    return result;
}

void Print_Row(const char* what, const std::vector<int64_t>& gaps) {
    const TSummary s = Summarize(gaps);
    std::printf("| %-38s | %5zu | %8.3f | %8.3f | %8.3f | %9.3f |\n", what, s.Count, s.Median / 1000.0, s.P99 / 1000.0,
                s.Max / 1000.0, (s.Median - 187'500) / 1000.0);
}

}  // namespace

int Run_Repeat_Gap(const TGap_Options& options) {
    TMonotonic_Counter counter;
    TLinux_Priority priority;
    test::TRecording_Feedback feedback;
    TQEV_State state(counter, priority, feedback, feedback);
    if (state.Port.Load_Port_Library(state.Port_Library_Name.c_str()) != 0) {
        std::fprintf(stderr, "libio.so not found beside the benchmark\n");
        return 2;
    }
    const TSim_Port_Controls sim(state.Port);
    if (!sim.Available()) {
        std::fprintf(stderr, "libio.so is not on its simulated port (IO_BACKEND=sim)\n");
        return 2;
    }
    state.Calc_Tick_Period();
    state.Set_LPT_Address(0x378);

    // One command in row 0: the same NEC-like pattern as the tick benchmark.
    const int32_t samples = options.Samples;
    const int32_t row_capacity = Row_Capacity_For(samples);
    state.Samples.Allocate(samples, row_capacity);
    state.Table.Allocate(1, row_capacity);
    for (int32_t i = 0; i < samples; ++i) state.Samples[i] = (i % 13) < 5 ? 255 : 0;
    state.Samples.Sample_Count = samples;
    state.Pack_Command(0);
    state.Table.Set_Name(0, "GAP");
    state.Table.Command_Count = 1;

    bool complete = true;
    std::vector<int64_t> short_gaps;
    for (int send = 0; send < options.Sends; ++send) {
        counter.Sleep_Until(counter.Read() + Pause_Between_Sends_Ns);
        const TSend_Result r = Send_And_Measure(state, sim, options.Repeat, samples);
        complete = complete && r.Complete;
        short_gaps.insert(short_gaps.end(), r.Gaps.begin(), r.Gaps.end());
    }
    // A send longer than the throttling budget (0.95 s of every second): its
    // later repetitions run with the clock's sleep-before-deadline pacing.
    counter.Sleep_Until(counter.Read() + Pause_Between_Sends_Ns);
    const TSend_Result long_send = Send_And_Measure(state, sim, options.Long_Repeat, samples);
    complete = complete && long_send.Complete;

    std::printf("\nGap between repetitions of one send, %d-sample command through Send_Command; times in us\n\n",
                samples);
    std::printf("| %-38s | %5s | %8s | %8s | %8s | %9s |\n", "run", "gaps", "median", "p99", "max", "- 187.5");
    std::printf("|----------------------------------------|-------|----------|----------|----------|-----------|\n");
    char what[64];
    std::snprintf(what, sizeof what, "%d sends, REPEAT=%d", options.Sends, options.Repeat);
    Print_Row(what, short_gaps);
    std::snprintf(what, sizeof what, "1 send, REPEAT=%d (%.2f s)", options.Long_Repeat,
                  options.Long_Repeat * samples / 8000.0);
    Print_Row(what, long_send.Gaps);

    std::printf(
        "\n- 187.5: median minus the nominal gap (one tick and half a tick); the p99 of fewer than 101 gaps "
        "is their maximum\n");
    const bool stall_ok = long_send.Longest_Interval < Stall_Limit_Ns;
    std::printf("longest interval between two writes of the REPEAT=%d send: %.3f us\n", options.Long_Repeat,
                long_send.Longest_Interval / 1000.0);
    std::printf("every send complete: %s; long send without a throttling stall (< 10 ms): %s\n",
                complete ? "yes" : "NO", stall_ok ? "yes" : "NO");
    return complete && stall_ok ? 0 : 1;
}

}  // namespace qev::bench
