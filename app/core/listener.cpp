#include "app/core/listener.h"

#include <utility>
#include <vector>

namespace qev {

bool TListener::Can_Listen() const {
    return (port_.Signal_Features() & Signal_Receive) != 0 && port_.Signal_Functions().IoSignalReceive != nullptr;
}

bool TListener::Start(TOn_Heard on_heard, TOn_Failure on_failure) {
    if (!Can_Listen()) return false;
    if (Listening()) return true;
    Stop();  // a thread a failure ended
    std::lock_guard lock(mutex_);
    on_heard_ = std::move(on_heard);
    on_failure_ = std::move(on_failure);
    stop_ = false;
    running_ = true;
    cancellable_ = port_.Signal_Functions().IoSignalCancel != nullptr;
    // Whatever the device took in before now is not heard.
    resume_at_ = std::chrono::steady_clock::now() + Resume_Delay;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TListener::Stop() {
    {
        std::unique_lock lock(mutex_);
        if (!thread_.joinable()) return;
        stop_ = true;
        changed_.notify_all();
        End_Receive(lock);
    }
    thread_.join();
    std::lock_guard lock(mutex_);
    running_ = false;
}

bool TListener::Listening() const {
    std::lock_guard lock(mutex_);
    return running_ && !stop_;
}

TListener::TPause::TPause(TListener& listener) : listener_(listener) { listener_.Begin_Pause(); }
TListener::TPause::~TPause() { listener_.End_Pause(); }

void TListener::Begin_Pause() {
    std::unique_lock lock(mutex_);
    ++pauses_;
    End_Receive(lock);
}

void TListener::End_Receive(std::unique_lock<std::mutex>& lock) {
    while (in_receive_) {
        // The thread marks its receive before the receive begins to wait,
        // and a cancel before then changes nothing: ask until it ends.
        if (cancellable_ && port_.Signal_Functions().IoSignalCancel() >= 0) {
            changed_.wait_for(lock, Cancel_Retry);
        } else {
            cancellable_ = false;
            changed_.wait(lock);
        }
    }
}

void TListener::End_Pause() {
    {
        std::lock_guard lock(mutex_);
        if (--pauses_ == 0) resume_at_ = std::chrono::steady_clock::now() + Resume_Delay;
    }
    changed_.notify_all();
}

void TListener::Run() {
    std::vector<unsigned> durations(IO_SIGNAL_MAX);
    int slice_ms = Slice_Ms;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            for (;;) {
                if (stop_) return;
                if (pauses_ > 0) {
                    changed_.wait(lock);
                } else if (std::chrono::steady_clock::now() < resume_at_) {
                    changed_.wait_until(lock, resume_at_);
                } else {
                    break;
                }
            }
            in_receive_ = true;
            slice_ms = cancellable_ ? Cancellable_Slice_Ms : Slice_Ms;
        }
        const int count = port_.Signal_Functions().IoSignalReceive(durations.data(), static_cast<int>(durations.size()),
                                                                   slice_ms, End_Gap_Us, Max_Signal_Us);
        const std::string error = count < 0 ? port_.Signal_Error() : std::string();
        const auto end = std::chrono::steady_clock::now();
        THeard_Signal heard{{}, end};
        TOn_Heard on_heard;
        {
            std::lock_guard lock(mutex_);
            in_receive_ = false;
            if (count > 0) on_heard = on_heard_;
            if (count < 0) stop_ = true;
        }
        changed_.notify_all();
        if (count < 0) {
            if (on_failure_) on_failure_(error);
            return;
        }
        if (!on_heard) continue;
        TIR_Timing timing;
        for (int i = 0; i < count; ++i) timing.Durations_us.push_back(static_cast<int32_t>(durations[i]));
        // Idle time after the signal, as a capture has it: a bi-phase frame
        // whose last half is a space ends in it, and the decoder tells NEC
        // from Pioneer (NEC's frame at a faster clock) by when the next frame
        // comes, which a lone frame's short end gap would mislead.
        timing.Durations_us.push_back(static_cast<int32_t>(Idle_After_Us));
        heard.Levels = Sample_Timing(timing, INT32_MAX);
        on_heard(std::move(heard));
    }
}

}  // namespace qev
