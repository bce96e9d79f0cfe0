// How exactly the transmitter puts samples on the port: lateness of every
// data-register write against its ideal instant t0 + T/2 + i*T, measured by
// the simulated port's own clock (CLOCK_MONOTONIC), and the same for a bare
// busy-wait loop at the same priority in the same run, as the machine's limit.
//
// Most late samples come from periodic interrupts (the kernel's tick, other
// programs' timers) whose period is a whole number of ticks: where such an
// interrupt falls against the 125 us grid is fixed for a whole run by the
// run's start, so a run either meets it before many of its deadlines or
// before none. Left to chance, the two loops draw different starts and their
// tails differ by luck. So each round, one transmission and one bare run,
// starts both at the same instant of the 125 us grid, and the rounds walk
// through that grid evenly: the two loops meet the same interrupts, and the
// p99s of all their samples, pooled over the rounds, compare like with like.
// That is what the bar judges. Each round's own p99 is shown as well, with
// its median over the rounds: it tells the rounds that met an interrupt (a
// p99 of 10 us and more) from those that met none (well under 1 us), and the
// median lands among the one or the other depending on how many of each the
// machine gives.
#include "bench/tick_accuracy.h"

#include "harness/sim_port_controls.h"
#include "harness/stats.h"
#include "irport/transmitter.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace qev::bench {

namespace {

constexpr int64_t Late_Ns = 10'000;  // "late": past 10 us

// Before each long run: further apart than the clock's streak break, so the
// long run starts as a fresh run for the throttling guard.
void Pause_Before_Long_Run(TCounter& counter) { counter.Sleep_Until(counter.Read() + 200'000'000); }

// Between the short runs, at normal priority: keeps the busy-waiting below
// the real-time budget (0.95 s of every second; a run is 128 ms) and lets the
// machine's other work run.
void Rest_Between_Runs(TCounter& counter) { counter.Sleep_Until(counter.Read() + 15'000'000); }

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

// Start phase of round `round` within the grid of `period`: the fractional
// parts of round * golden ratio, which spread evenly over the grid for any
// number of rounds.
int64_t Round_Phase(int round, int64_t period) {
    const double step = 0.6180339887498949 * round;
    return static_cast<int64_t>((step - static_cast<int64_t>(step)) * static_cast<double>(period));
}

// Spins until the first instant at least `lead` from now that lies `phase`
// into the grid of `period`; returns that instant.
int64_t Spin_To_Phase(int64_t phase, int64_t period, int64_t lead) {
    const int64_t earliest = Now_Ns() + lead;
    int64_t at = earliest - earliest % period + phase;
    if (at < earliest) at += period;
    while (Now_Ns() < at) {
    }
    return at;
}

constexpr int64_t Phase_Lead_Ns = 20'000;

// Lateness of each write of the last transmission, from the clock's schedule.
// The priority is raised here, before the transmission (which then leaves it
// alone), so that with a phase the transmission starts at that phase of the
// tick grid, undisturbed by the time the system calls take.
std::vector<int64_t> Transmit_Lateness(TSample_Clock& clock, TPort_Library& port, const TSim_Port_Controls& sim,
                                       int32_t samples, int64_t phase = -1) {
    const std::vector<int32_t> wave = Waveform(samples);
    sim.Tx_Clear();
    {
        TRaised_Priority raised(clock);
        if (phase >= 0) Spin_To_Phase(phase, clock.Tick_Period, Phase_Lead_Ns);
        Transmit_Samples(clock, port, 0x378, wave.data(), samples);
    }
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
std::vector<int64_t> Bare_Loop_Lateness(TSample_Clock& clock, int32_t samples, int64_t phase = -1) {
    std::vector<int64_t> lateness(static_cast<std::size_t>(samples));
    const int64_t period = clock.Tick_Period;
    TRaised_Priority raised(clock);
    const int64_t start = phase >= 0 ? Spin_To_Phase(phase, period, Phase_Lead_Ns) : Now_Ns();
    int64_t deadline = start + period / 2;
    for (int32_t i = 0; i < samples; ++i) {
        while (Now_Ns() < deadline) {
        }
        lateness[static_cast<std::size_t>(i)] = Now_Ns() - deadline;
        deadline += period;
    }
    return lateness;
}

// Every lateness of every round, and each round's own p99.
struct TRounds {
    std::vector<int64_t> Pool;
    std::vector<int64_t> Round_P99;

    void Add(const std::vector<int64_t>& lateness) {
        Pool.insert(Pool.end(), lateness.begin(), lateness.end());
        Round_P99.push_back(Summarize(lateness).P99);
    }
};

void Print_Header() {
    std::printf("| %-34s | %9s | %8s | %9s | %9s | %9s | %9s | %8s |\n", "run", "samples", "median", "p99 round",
                "p99 pool", "max", ">10us/M", "rate ppm");
    std::printf(
        "|------------------------------------|-----------|----------|-----------|-----------|-----------|"
        "-----------|----------|\n");
}

void Print_Row(const char* what, const TRounds& rounds, int64_t tick) {
    const TSummary s = Summarize(rounds.Pool);
    std::printf("| %-34s | %9zu | %8.3f | %9.3f | %9.3f | %9.3f | %9.1f | %8.3f |\n", what, s.Count, s.Median / 1000.0,
                Median(rounds.Round_P99) / 1000.0, s.P99 / 1000.0, s.Max / 1000.0,
                Per_Million_Above(rounds.Pool, Late_Ns), Rate_Error_Ppm(rounds.Pool, tick));
}

}  // namespace

int Run_Tick_Accuracy(const TTick_Options& options) {
    TMonotonic_Counter counter;
    TLinux_Priority priority;
    TSample_Clock clock(counter, priority);
    // The bare loop raises priority through a clock of its own, so its runs
    // never count towards the transmitter's streak of timed work.
    TSample_Clock bare_clock(counter, priority);
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
    bare_clock.Calc_Tick_Period();
    const int64_t tick = clock.Tick_Period;

    // Short runs: in each round one transmission and one bare run, the order
    // alternating from round to round so neither always follows the other.
    // Two transmissions in a row are 0.27 s of timed work, short of the
    // clock's long-run mark, so every transmission spins all its waits.
    TRounds tx, bare;
    for (int round = 0; round < options.Rounds; ++round) {
        const int64_t phase = options.Common_Phase ? Round_Phase(round, tick) : -1;
        for (int turn = 0; turn < 2; ++turn) {
            Rest_Between_Runs(counter);
            if ((turn == 0) == (round % 2 == 0))
                tx.Add(Transmit_Lateness(clock, port, sim, options.Short_Samples, phase));
            else
                bare.Add(Bare_Loop_Lateness(bare_clock, options.Short_Samples, phase));
        }
    }

    Pause_Before_Long_Run(counter);
    TRounds tx_long, bare_long;
    tx_long.Add(Transmit_Lateness(clock, port, sim, options.Long_Samples));
    if (options.Long_Bare) {
        Pause_Before_Long_Run(counter);
        bare_long.Add(Bare_Loop_Lateness(bare_clock, options.Long_Samples));
    }

    std::printf("Sample clock, %d rounds of %d samples, then one run of %d samples (%.1f s); times in us\n\n",
                options.Rounds, options.Short_Samples, options.Long_Samples, options.Long_Samples / 8000.0);
    Print_Header();
    char what[64];
    std::snprintf(what, sizeof what, "transmitter, %d-sample runs", options.Short_Samples);
    Print_Row(what, tx, tick);
    std::snprintf(what, sizeof what, "bare busy-wait, %d-sample runs", options.Short_Samples);
    Print_Row(what, bare, tick);
    Print_Row("transmitter, long run", tx_long, tick);
    if (options.Long_Bare) Print_Row("bare busy-wait, long run", bare_long, tick);
    std::printf(
        "\np99 round: median over the rounds of each round's own p99 (a long run is one round); p99 pool: p99 of "
        "all samples; >10us/M: samples later than 10 us per million\n");

    // The comparison of the short runs, transmitter / bare loop.
    const int64_t tx_p99 = Median(tx.Round_P99), bare_p99 = Median(bare.Round_P99);
    const TSummary tx_all = Summarize(tx.Pool), bare_all = Summarize(bare.Pool), long_all = Summarize(tx_long.Pool);
    const int64_t tx_pooled = tx_all.P99, bare_pooled = bare_all.P99;
    const double tx_late = Per_Million_Above(tx.Pool, Late_Ns), bare_late = Per_Million_Above(bare.Pool, Late_Ns);
    std::printf("\ntransmitter / bare loop, %d-sample runs (%s start phases):\n", options.Short_Samples,
                options.Common_Phase ? "common" : "random");
    std::printf("  p99, medians of the round p99s:     %9.3f / %9.3f us = %.2f\n", tx_p99 / 1000.0, bare_p99 / 1000.0,
                Ratio(tx_p99, bare_p99));
    std::printf("  p99, median of the per-round ratios:                        %.2f\n",
                Median(Pairwise_Ratios(tx.Round_P99, bare.Round_P99)));
    std::printf("  p99, all samples pooled:            %9.3f / %9.3f us = %.2f\n", tx_pooled / 1000.0,
                bare_pooled / 1000.0, Ratio(tx_pooled, bare_pooled));
    std::printf("  samples later than 10 us:           %9.1f / %9.1f per million = %.2f\n", tx_late, bare_late,
                bare_late > 0 ? tx_late / bare_late : 0.0);
    std::printf("  rounds whose p99 is over 1 us:      %8.1f%% / %8.1f%%\n",
                Per_Million_Above(tx.Round_P99, 1000) / 1e4, Per_Million_Above(bare.Round_P99, 1000) / 1e4);

    const bool median_ok = tx_all.Median <= 1000;
    // Judged on the pooled p99 of rounds that met the same interrupts. The
    // medians of the round p99s land in the quiet rounds or in the rounds
    // hit by an interrupt depending on how many of each the machine gives,
    // so their ratio jumps between two different comparisons from run to run.
    const bool p99_ok = tx_pooled * 10 <= bare_pooled * 12;
    const bool rate_ok =
        std::abs(Rate_Error_Ppm(tx.Pool, tick)) < 1.0 && std::abs(Rate_Error_Ppm(tx_long.Pool, tick)) < 1.0;
    const bool stall_ok = long_all.Max < 10'000'000;  // throttling freezes a run for ~50 ms
    std::printf(
        "\nmedian <= 1 us: %s; p99 within 1.2x bare loop (pooled, %s start phases): %s; rate error < 1 ppm: %s; "
        "long run without a throttling stall (max < 10 ms): %s\n",
        median_ok ? "yes" : "NO", options.Common_Phase ? "common" : "random", p99_ok ? "yes" : "NO",
        rate_ok ? "yes" : "NO", stall_ok ? "yes" : "NO");
    return median_ok && p99_ok && rate_ok && stall_ok ? 0 : 1;
}

}  // namespace qev::bench
