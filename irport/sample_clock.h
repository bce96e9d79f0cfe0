// The sample clock: 8000 ticks per second, paced by busy-waiting on the
// performance counter against an absolute deadline.
//
// A timed run is Raise_Priority, Start_Tick (the first deadline half a tick
// after now), one port operation per tick each followed by Wait_Tick (the
// deadline advances by exactly one tick from the previous deadline, so
// lateness never accumulates), then Restore_Priority.
//
// Raised sections nest: only the outermost Raise_Priority saves and raises,
// and only the Restore_Priority that closes it restores. A send that repeats
// a command holds the priority around all its repetitions, so nothing but
// the next Start_Tick's half tick lies between the last sample of one
// repetition and the first of the next (no system calls), and its
// repetitions are one run for the throttling guard below.
//
// Linux throttles a SCHED_FIFO thread that spins for more than 0.95 s of
// every second, which would freeze a long run for about 50 ms. Once the thread
// has been running timed work for Long_Run_Seconds without a break of
// Streak_Break_Seconds (a long waveform, many repetitions back to back, a long
// wait for a remote), each wait first sleeps until Sleep_Guard_Seconds before
// its deadline and only spins the rest. That leaves the CPU idle about half of
// every tick, well below the throttling budget, while the spin still decides
// the instant of every sample.
#ifndef QEV_IRPORT_SAMPLE_CLOCK_H
#define QEV_IRPORT_SAMPLE_CLOCK_H

#include "irport/counter.h"
#include "irport/priority.h"

#include <cstdint>

namespace qev {

class TSample_Clock {
public:
    static constexpr int64_t Ticks_Per_Second = 8000;
    static constexpr double Long_Run_Seconds = 0.5;
    static constexpr double Streak_Break_Seconds = 0.1;
    static constexpr double Sleep_Guard_Seconds = 80e-6;
    static constexpr double Min_Sleep_Seconds = 20e-6;
    static constexpr double Wait_Slice_Seconds = 10e-3;  // spinning between pauses of a long wait
    static constexpr double Wait_Pause_Seconds = 1e-3;

    TSample_Clock(TCounter& counter, TPriority_Api& priority) : counter_(counter), priority_(priority) {}

    // Start-up check: false when the platform has no performance counter.
    bool Counter_Present();

    // Tick_Period = counter frequency / 8000, truncated. Also sets the pacing
    // thresholds, which are expressed in counter units.
    int64_t Calc_Tick_Period();

    // Tick_Deadline = now + Tick_Period / 2, then wait for it.
    void Start_Tick();
    // Tick_Deadline += Tick_Period, then wait for it.
    void Wait_Tick();

    // The outermost level saves the priority it finds, raises the process
    // and then the thread, and returns what it saved; an inner level does
    // nothing and returns an empty record.
    TSaved_Priority Raise_Priority();
    // Closes the innermost level; closing the outermost restores the thread
    // first and then the process from `saved` (what that level's Raise
    // returned). Without an open level it does nothing.
    void Restore_Priority(const TSaved_Priority& saved);
    // Raised sections now open (0: the priority is the thread's own).
    int Raised_Depth() const { return raised_depth_; }

    // For waits without a deadline (the receiver's wait for a start): once
    // the run is long, gives the CPU away briefly every Wait_Slice_Seconds.
    void Pace_Open_Wait(int64_t now);

    TCounter& Counter() { return counter_; }

    int64_t Tick_Period = 0;    // counter units per tick
    int64_t Tick_Deadline = 0;  // counter value of the next sample instant
    int64_t Last_Start = 0;     // counter value read by the last Start_Tick
    // Ticks whose wait began more than half a tick after their deadline: the
    // thread was held up (a host pause, a busy core without real-time
    // priority) and the sample was taken late. Only ever grows; a caller
    // compares it before and after a run.
    int64_t Late_Ticks = 0;
    // The largest lateness of a wait (counter value at its end minus its
    // deadline) since a caller last set it to 0.
    int64_t Max_Lateness = 0;

private:
    // Returns the counter value that ended the spin.
    int64_t Spin_Until_Deadline() {
        int64_t now;
        do now = counter_.Read();
        while (now < Tick_Deadline);
        return now;
    }
    bool Long_Run(int64_t now) const { return pacing_ && now - streak_start_ > long_run_; }

    TCounter& counter_;
    TPriority_Api& priority_;
    int raised_depth_ = 0;
    bool pacing_ = false;
    int64_t long_run_ = 0, streak_break_ = 0, guard_ = 0, min_sleep_ = 0, slice_ = 0, pause_ = 0;
    int64_t streak_start_ = 0;
    int64_t last_run_end_ = 0;
    bool ran_before_ = false;
    int64_t last_pause_ = 0;
};

// Raises priority for the lifetime of the guard and restores it afterwards
// (inside another guard: keeps the outer one's).
class TRaised_Priority {
public:
    explicit TRaised_Priority(TSample_Clock& clock) : clock_(clock), saved_(clock.Raise_Priority()) {}
    ~TRaised_Priority() { clock_.Restore_Priority(saved_); }
    TRaised_Priority(const TRaised_Priority&) = delete;
    TRaised_Priority& operator=(const TRaised_Priority&) = delete;

private:
    TSample_Clock& clock_;
    TSaved_Priority saved_;
};

}  // namespace qev

#endif
