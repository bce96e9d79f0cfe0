// How exactly the transmitter puts samples on the port: lateness of every
// data-register write against its ideal instant t0 + T/2 + i*T, measured by
// the simulated port's own clock (CLOCK_MONOTONIC), and the same for a bare
// busy-wait loop at the same priority in the same run, as the machine's limit.
#include "bench/tick_accuracy.h"

#include "bench/stats.h"
#include "irport/transmitter.h"
#include "tests/support/sim_port_controls.h"

#include <cstdio>
#include <ctime>

namespace qev::bench {

namespace {

// Runs closer together than this count as one long run for the clock's
// throttling guard; the short runs are measured as separate sends.
void Pause_Between_Runs(TSample_Clock& clock) { clock.Counter().Sleep_Until(clock.Counter().Read() + 200'000'000); }

int64_t Now_Ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1'000'000'000 + t.tv_nsec;
}

// A waveform with plenty of edges: a repeating NEC-like mark/space pattern.
std::vector<int32_t> Waveform(int32_t samples) {
    std::vector<int32_t> wave(static_cast<std::size_t>(samples));
    for (int32_t i = 0; i < samples; ++i) wave[static_cast<std::size_t>(i)] = (i % 13) < 5 ? 255 : 0;
    return wave;
}

// Lateness of each write of the last transmission, from the clock's schedule.
std::vector<int64_t> Transmit_Lateness(TSample_Clock& clock, TPort_Library& port, const TSim_Port_Controls& sim,
                                       int32_t samples) {
    const std::vector<int32_t> wave = Waveform(samples);
    sim.Tx_Clear();
    Transmit_Samples(clock, port, 0x378, wave.data(), samples);
    const std::vector<TSim_Tx_Write> writes = sim.Writes();
    // After n waits the deadline is t0 + T/2 + n*T; write i was due at t0 + T/2 + i*T.
    const int64_t first_due = clock.Tick_Deadline - static_cast<int64_t>(samples) * clock.Tick_Period;
    std::vector<int64_t> lateness;
    for (std::size_t i = 0; i < writes.size(); ++i)
        lateness.push_back(writes[i].Time_Ns - (first_due + static_cast<int64_t>(i) * clock.Tick_Period));
    return lateness;
}

// The same schedule with nothing but the spin: raise, half a tick, then per
// tick advance the deadline, spin, read the time.
std::vector<int64_t> Bare_Loop_Lateness(TSample_Clock& clock, int32_t samples) {
    std::vector<int64_t> lateness(static_cast<std::size_t>(samples));
    const int64_t period = clock.Tick_Period;
    TRaised_Priority raised(clock);
    int64_t deadline = Now_Ns() + period / 2;
    for (int32_t i = 0; i < samples; ++i) {
        while (Now_Ns() < deadline) {
        }
        lateness[static_cast<std::size_t>(i)] = Now_Ns() - deadline;
        deadline += period;
    }
    return lateness;
}

void Print_Row(const char* what, const std::vector<int64_t>& lateness, int64_t tick) {
    const TSummary s = Summarize(lateness);
    std::printf("| %-34s | %9zu | %8.3f | %9.3f | %9.3f | %8.3f |\n", what, s.Count, s.Median / 1000.0, s.P99 / 1000.0,
                s.Max / 1000.0, Rate_Error_Ppm(lateness, tick));
}

}  // namespace

int Run_Tick_Accuracy(const TTick_Options& options) {
    TMonotonic_Counter counter;
    TLinux_Priority priority;
    TSample_Clock clock(counter, priority);
    TPort_Library port;
    if (port.Load_Port_Library() != 0) {
        std::fprintf(stderr, "libio.so not found beside the benchmark\n");
        return 2;
    }
    const TSim_Port_Controls sim(port);
    if (!sim.Available()) {
        std::fprintf(stderr, "libio.so is not on its simulated port (IO_BACKEND=sim)\n");
        return 2;
    }
    clock.Calc_Tick_Period();

    // Short runs, transmitter and bare loop taking turns so both meet the
    // same machine; the rounds are pooled.
    std::vector<int64_t> tx, bare;
    for (int round = 0; round < 2 * options.Rounds; ++round) {
        Pause_Between_Runs(clock);
        // Alternate which goes first, so neither always follows the other.
        const bool transmit = (round % 4 == 0 || round % 4 == 3);
        auto lateness = transmit ? Transmit_Lateness(clock, port, sim, options.Short_Samples)
                                 : Bare_Loop_Lateness(clock, options.Short_Samples);
        auto& pool = transmit ? tx : bare;
        pool.insert(pool.end(), lateness.begin(), lateness.end());
    }
    const TSummary tx_short = Summarize(tx), bare_short = Summarize(bare);

    std::printf("Sample clock, %d rounds of %d samples, then one run of %d samples (%.1f s); times in us\n\n",
                options.Rounds, options.Short_Samples, options.Long_Samples, options.Long_Samples / 8000.0);
    std::printf("| %-34s | %9s | %8s | %9s | %9s | %8s |\n", "run", "samples", "median", "p99", "max", "rate ppm");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", "------------------------------------", "-----------", "----------",
                "-----------", "-----------", "----------");
    Print_Row("transmitter, 1024-sample runs", tx, clock.Tick_Period);
    Print_Row("bare busy-wait, 1024-sample runs", bare, clock.Tick_Period);

    Pause_Between_Runs(clock);
    const auto tx_long = Transmit_Lateness(clock, port, sim, options.Long_Samples);
    Print_Row("transmitter, long run", tx_long, clock.Tick_Period);
    std::vector<int64_t> bare_long;
    if (options.Long_Bare) {
        Pause_Between_Runs(clock);
        bare_long = Bare_Loop_Lateness(clock, options.Long_Samples);
        Print_Row("bare busy-wait, long run", bare_long, clock.Tick_Period);
    }

    const double p99_ratio =
        bare_short.P99 > 0 ? static_cast<double>(tx_short.P99) / static_cast<double>(bare_short.P99) : 0.0;
    const TSummary long_summary = Summarize(tx_long);
    std::printf("\np99 ratio transmitter / bare loop (1024-sample runs): %.2f\n", p99_ratio);
    const bool median_ok = tx_short.Median <= 1000;
    const bool p99_ok = tx_short.P99 * 10 <= bare_short.P99 * 12;
    const bool rate_ok = std::abs(Rate_Error_Ppm(tx, clock.Tick_Period)) < 1.0 &&
                         std::abs(Rate_Error_Ppm(tx_long, clock.Tick_Period)) < 1.0;
    const bool stall_ok = long_summary.Max < 10'000'000;  // throttling freezes a run for ~50 ms
    std::printf(
        "median <= 1 us: %s; p99 within 1.2x bare loop: %s; rate error < 1 ppm: %s; "
        "long run without a throttling stall (max < 10 ms): %s\n",
        median_ok ? "yes" : "NO", p99_ok ? "yes" : "NO", rate_ok ? "yes" : "NO", stall_ok ? "yes" : "NO");
    return median_ok && p99_ok && rate_ok && stall_ok ? 0 : 1;
}

}  // namespace qev::bench
