// The kernel IR device as a port for whole signals: IoSignalFeatures,
// IoSignalSend, IoSignalReceive and IoSignalError on a LIRC device
// (/dev/lircN through rc-core, or the simulated IR device).
//
// Opening: LIRC_GET_FEATURES; LIRC_SET_SEND_MODE LIRC_MODE_PULSE when the
// device can send pulses, LIRC_SET_REC_MODE LIRC_MODE_MODE2 when it receives
// them; the receive timeout range (LIRC_GET_MIN/MAX_TIMEOUT) and the timeout
// in force (LIRC_GET_REC_TIMEOUT), which stop() puts back.
//
// Sending: LIRC_SET_SEND_CARRIER when a carrier is asked for and the device
// can set one (every time: another program may have changed it), then
// write() of the durations, which returns once the device has put them out.
// A signal longer than one write may be (1024 values, 500 ms on the kernel)
// goes out in pieces, each ending with a mark; the space between two pieces
// is the longest space the piece could end at, and the library times it
// itself, from the moment the piece's write began.
//
// Receiving: see receive() below.
//
// Send and receive may run in two threads at once; sends wait for each
// other, a second receive while one is under way fails at once.
#ifndef QEV_IO_LIRC_BACKEND_H
#define QEV_IO_LIRC_BACKEND_H

#include "io/device_access.h"
#include "io/lirc_device.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace qev::io {

class LircBackend {
public:
    LircBackend() = default;
    LircBackend(const LircBackend&) = delete;
    LircBackend& operator=(const LircBackend&) = delete;
    ~LircBackend() { stop(); }

    // Opens `path` on `device`. `name` is how texts name it ("/dev/lirc0",
    // "simulated IR device"). False, with *failure filled in, when the device
    // cannot be used: it does not open, is no LIRC device, or takes and gives
    // no pulse signals.
    bool start(LircDevice* device, const char* path, const std::string& name, DeviceFailure* failure);

    // Puts back the receive timeout found at start and closes the device.
    void stop() noexcept;

    bool started() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }

    // The IO_SIGNAL_* the device offers, and its LIRC_CAN_* features.
    int features() const { return features_; }
    std::uint32_t lirc_features() const { return lirc_features_; }

    // IoSignalSend: 0 when sent, -1 (error() says why).
    int send(const unsigned* durations_us, int count, unsigned carrier_hz);

    // IoSignalReceive. What the device delivered while nobody was receiving
    // is stale and is read away first, unless the last receive returned
    // within 50 ms (a caller waiting in slices), whose remainder is kept.
    // A signal begins with the first pulse that arrives
    // within wait_ms; spaces and timeouts before it (rc-core's gap space
    // before a pulse that follows a timeout) are skipped. It ends
    //  - when the line has been off for end_gap_us: a space, or a timeout
    //    report with the spaces around it, of that length; a timeout report
    //    shorter than that counts as off so far, and when a pulse follows
    //    the gap space the kernel puts before it, the signal goes on with
    //    one space of their sum;
    //  - when nothing arrives for as long as the rest of end_gap_us and the
    //    longest mark so far plus 20 ms: a value reaches us only once the
    //    edge after it has passed, and a device may deliver late;
    //  - when its durations add up to max_total_us (a mark running past it
    //    is cut there), when `capacity` durations are held (an even capacity
    //    holds one fewer), or max_total_us + end_gap_us after its first
    //    pulse arrived;
    //  - with -1 when the device reports an overflow (part of the signal was
    //    lost), fails, or is gone.
    // Consecutive pulses (or spaces) count as one. Before waiting, the
    // device's receive timeout is set to end_gap_us where the device allows
    // (within its range), so a timeout report ends the signal on time. Never
    // blocks longer than wait_ms + max_total_us + end_gap_us.
    int receive(unsigned* durations_us, int capacity, int wait_ms, unsigned end_gap_us, unsigned max_total_us);

    // IoSignalCancel: makes a receive under way in another thread return 0
    // at once, what it took in dropped. 1 when one was under way, 0 when
    // none was (nothing changes then), -1 when the device cannot wake a
    // receive (it then ends at its own time).
    int cancel_receive();

    // Why the last send or receive of this thread failed.
    static const char* error();

private:
    bool drain();
    void set_receive_timeout(unsigned end_gap_us);
    int send_locked(const unsigned* durations_us, std::size_t count);

    LircDevice* device_ = nullptr;
    int fd_ = -1;
    std::string name_;
    std::uint32_t lirc_features_ = 0;
    int features_ = 0;

    // The receive timeout: what the device allows, what is set, and what was
    // set before we came (0: unknown).
    bool timeout_settable_ = false;
    std::uint32_t min_timeout_us_ = 0;
    std::uint32_t max_timeout_us_ = 0;
    std::uint32_t timeout_us_ = 0;
    std::uint32_t original_timeout_us_ = 0;

    std::mutex send_mutex_;
    std::mutex receive_mutex_;
    // A receive is under way, and cancel_receive asked it to end.
    std::mutex cancel_mutex_;
    bool receiving_ = false;
    std::atomic<bool> cancel_{false};
    // When the last receive returned (0: none yet); see receive().
    std::int64_t last_return_ns_ = 0;
};

}  // namespace qev::io

#endif
