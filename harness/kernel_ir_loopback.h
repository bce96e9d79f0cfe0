// Sending and learning through a kernel IR device whose transmitter loops
// back into its receiver (Linux's rc-loopback, or the port library's
// simulated IR device), with the program's own send path
// (TQEV_State::Send_Command) and capture path (TQEV_State::Receive_Command).
// The kernel IR tests check what comes back; the benchmark reports by how
// much it differs from what was sent.
//
// A receive reads away what the device took in before it began, so a
// signal comes back only when the receive already waits as it is sent. The
// sender therefore watches the receiving thread in /proc until it sleeps in
// its wait (ppoll on a kernel device, a futex on the simulated one), and a
// capture, which waits in slices of 100 ms and starts each with that
// reading away, until a new slice has begun. A send the capture still
// misses is sent again.
#ifndef QEV_HARNESS_KERNEL_IR_LOOPBACK_H
#define QEV_HARNESS_KERNEL_IR_LOOPBACK_H

#include "app/core/qev_state.h"
#include "harness/recording_feedback.h"
#include "ir/ir_signal.h"
#include "irport/counter.h"
#include "irport/priority.h"
#include "irport/receiver.h"

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace qev::bench {

struct TLoopback_Code {
    const char* Name;  // "NEC"
    TIR_Code Code;
    // The capture's MIN_LEADER_LENGTH for it: RC5's first mark is half a bit,
    // 889 us (7 samples), shorter than the default leader of 8 samples
    // needs; the others keep the default.
    int32_t Min_Leader;
};

// An NEC, an RC5, an RC6 and a SIRC code, in that order: the four protocols
// with the three carriers.
std::span<const TLoopback_Code> Loopback_Codes();

// The program on the port library: a state as start-up leaves it (Settings
// at their defaults, buffers allocated, no Settings file), with row i
// holding Loopback_Codes()[i] as an import samples it.
struct TLoopback_Program {
    TMonotonic_Counter Counter;
    TLinux_Priority Priority;
    test::TRecording_Feedback Feedback;
    TQEV_State State{Counter, Priority, Feedback, Feedback};
    // Why the program cannot send and learn here; empty when it can.
    std::string Problem;

    TLoopback_Program();
    // The port library's backend: "lirc", "simlirc", ...
    std::string Backend() const;
    // Row `row` as its samples (255 or 0).
    std::vector<int32_t> Row_Samples(int32_t row) const;
};

// Waits until thread `tid` of process `pid` sleeps in a receive's wait; with
// `fresh`, until it has gone to sleep again after that (a new wait slice).
// false when that did not happen within `limit`.
bool Wait_Until_Receiving(pid_t pid, pid_t tid, bool fresh, std::chrono::milliseconds limit);

// How long a signal may take to come back: under emulation the kernel's
// receive thread can lag far behind the write.
constexpr std::chrono::milliseconds Loopback_Limit{20'000};

struct TLooped_Send {
    std::vector<uint32_t> Sent;      // Signal_Of_Samples of the row: what the program sends
    std::vector<uint32_t> Received;  // the durations the receiver took in
    std::string Error;               // why nothing (or not all) came back; empty when it did
};

// Receives one signal through `program`'s port library on another thread
// while `send` puts it out, once that thread waits; `send` returns why it
// failed, or "". Fills Received and Error.
TLooped_Send Receive_While(TLoopback_Program& program, const std::function<std::string()>& send);

// Sends row `row` with REPEAT `repeat` through Send_Command while another
// thread receives through the port library.
TLooped_Send Send_Looped_Back(TLoopback_Program& program, int32_t row, int32_t repeat);

struct TLooped_Learn {
    TReceive_Report Report;
    std::vector<int32_t> Sent;     // the row's samples, idle to the capture's length
    std::vector<int32_t> Learned;  // the capture's samples
    int Sends = 0;                 // sends it took
    std::string Error;             // why nothing was learned; empty when something was
};

// Learns row `row` of `sender` through `learner`'s Receive_Command while
// `sender` sends it once through Send_Command (again, up to 5 times, while
// the capture has not taken it).
TLooped_Learn Learn_Looped_Back(TLoopback_Program& learner, TLoopback_Program& sender, int32_t row);

// The positions where the level changes (the first sample of every run but
// the first), levels compared as zero and non-zero.
std::vector<int32_t> Edges_Of(std::span<const int32_t> samples);

// The largest difference between the i-th values of two lists of the same
// length (0 for two empty ones); -1 when their lengths differ.
template <typename T>
int64_t Largest_Difference(const std::vector<T>& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return -1;
    int64_t largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int64_t difference = static_cast<int64_t>(a[i]) - static_cast<int64_t>(b[i]);
        largest = std::max(largest, difference < 0 ? -difference : difference);
    }
    return largest;
}

}  // namespace qev::bench

#endif
