// Listening: the receiver of a port that takes whole signals (a kernel IR
// device) kept open while the program is idle; the signals it hears are
// named as keys on the window's thread (TKey_Listening,
// app/core/key_recognition.h), where the Command table lives.
//
// A thread of its own waits for signals; the device wakes it when a signal
// arrives, so waiting costs next to nothing. A signal ends after End_Gap_Us
// of silence. A send, a capture or the Debug Tool takes the receiver with a
// TListener::TPause for as long as it runs: the pause ends the thread's wait
// at once where the port library can (IoSignalCancel) and otherwise waits
// for it to end, and after the last pause ends the thread lets Resume_Delay
// pass before it listens again, so that the port reads away what came in
// meanwhile (the program's own sends, which a device hearing its own
// transmitter picks up) instead of handing it on.
#ifndef QEV_APP_CORE_LISTENER_H
#define QEV_APP_CORE_LISTENER_H

#include "ir/sampling.h"
#include "irport/port_library.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace qev {

// A signal the receiver took in, its levels ending with Idle_After_Us of
// idle time, and when its receive ended (the signal's end and the end gap
// after it).
struct THeard_Signal {
    TLevels Levels;
    std::chrono::steady_clock::time_point End;
};

class TListener {
public:
    // The thread waits in slices, each ending with a wake-up (about 0.3 ms
    // of CPU on a slow machine). A port library that can end a wait early
    // is given long ones; with one that cannot, a pause waits for the slice
    // under way to end, and 100 ms keeps idle listening well under 1 % of a
    // core and a click's send within a tenth of a second.
    static constexpr int Slice_Ms = 100;
    static constexpr int Cancellable_Slice_Ms = 10'000;
    // A cancel that came before the wait began is asked again this soon.
    static constexpr std::chrono::milliseconds Cancel_Retry{2};
    static constexpr unsigned End_Gap_Us = 20'000;
    static constexpr unsigned Max_Signal_Us = 2'000'000;
    static constexpr std::chrono::milliseconds Resume_Delay{60};
    // The idle time a heard signal's levels end with.
    static constexpr unsigned Idle_After_Us = 150'000;

    // Called on the listener's thread.
    using TOn_Heard = std::function<void(THeard_Signal)>;
    using TOn_Failure = std::function<void(const std::string& why)>;

    explicit TListener(const TPort_Library& port) : port_(port) {}
    ~TListener() { Stop(); }
    TListener(const TListener&) = delete;
    TListener& operator=(const TListener&) = delete;

    // Whether the port can listen: it takes whole signals and receives.
    bool Can_Listen() const;
    // Starts listening: each signal heard goes to `on_heard`. A port that
    // fails while listening ends the listening and says why once. false
    // when the port cannot listen; true when already listening.
    bool Start(TOn_Heard on_heard, TOn_Failure on_failure);
    void Stop();
    bool Listening() const;

    // Takes the receiver from the listener while it lives (nothing when it
    // is not listening); pauses nest.
    class TPause {
    public:
        explicit TPause(TListener& listener);
        ~TPause();
        TPause(const TPause&) = delete;
        TPause& operator=(const TPause&) = delete;

    private:
        TListener& listener_;
    };

private:
    void Run();
    void Begin_Pause();
    void End_Pause();
    // Waits, the mutex held in `lock`, until the thread is not receiving,
    // ending its receive early where the port library can.
    void End_Receive(std::unique_lock<std::mutex>& lock);

    const TPort_Library& port_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    bool running_ = false;
    bool stop_ = false;
    bool in_receive_ = false;
    bool cancellable_ = false;  // IoSignalCancel works
    int pauses_ = 0;
    std::chrono::steady_clock::time_point resume_at_{};
    TOn_Heard on_heard_;
    TOn_Failure on_failure_;
};

}  // namespace qev

#endif
