#include "irport/sample_clock.h"

namespace qev {

namespace {

int64_t Units(double seconds, int64_t frequency) {
    return static_cast<int64_t>(seconds * static_cast<double>(frequency));
}

}  // namespace

bool TSample_Clock::Counter_Present() {
    int64_t value = 0;
    return counter_.Query_Counter(value);
}

int64_t TSample_Clock::Calc_Tick_Period() {
    const int64_t frequency = counter_.Query_Frequency();
    Tick_Period = frequency / Ticks_Per_Second;
    // Pacing by sleep only makes sense with a fine counter and a real tick.
    pacing_ = Tick_Period > 0 && frequency >= 1'000'000;
    long_run_ = Units(Long_Run_Seconds, frequency);
    streak_break_ = Units(Streak_Break_Seconds, frequency);
    guard_ = Units(Sleep_Guard_Seconds, frequency);
    min_sleep_ = Units(Min_Sleep_Seconds, frequency);
    slice_ = Units(Wait_Slice_Seconds, frequency);
    pause_ = Units(Wait_Pause_Seconds, frequency);
    return Tick_Period;
}

void TSample_Clock::Start_Tick() {
    Last_Start = counter_.Read();
    Tick_Deadline = Last_Start + (Tick_Period >> 1);
    Spin_Until_Deadline();
}

void TSample_Clock::Wait_Tick() {
    Tick_Deadline += Tick_Period;
    if (Long_Run(Tick_Deadline)) {
        const int64_t wake = Tick_Deadline - guard_;
        if (wake - counter_.Read() > min_sleep_) counter_.Sleep_Until(wake);
    }
    const int64_t lateness = Spin_Until_Deadline() - Tick_Deadline;
    if (lateness > (Tick_Period >> 1)) ++Late_Ticks;
    if (lateness > Max_Lateness) Max_Lateness = lateness;
}

TSaved_Priority TSample_Clock::Raise_Priority() {
    if (raised_depth_++ > 0) return {};
    TSaved_Priority saved = priority_.Save();
    priority_.Set_Process_High();
    priority_.Set_Thread_Time_Critical();
    const int64_t now = counter_.Read();
    if (!ran_before_ || now - last_run_end_ >= streak_break_) streak_start_ = now;
    last_pause_ = now;
    return saved;
}

void TSample_Clock::Restore_Priority(const TSaved_Priority& saved) {
    if (raised_depth_ == 0 || --raised_depth_ > 0) return;
    priority_.Restore_Thread(saved);
    priority_.Restore_Process(saved);
    last_run_end_ = counter_.Read();
    ran_before_ = true;
}

void TSample_Clock::Pace_Open_Wait(int64_t now) {
    if (!Long_Run(now) || now - last_pause_ < slice_) return;
    counter_.Sleep_Until(now + pause_);
    last_pause_ = counter_.Read();
}

}  // namespace qev
