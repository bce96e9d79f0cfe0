// The simulated IR device (IO_BACKEND=simlirc): a kernel IR device inside the
// process, behind the same LircDevice interface as /dev/lircN, so the kernel
// IR backend drives it exactly as it drives the real one.
//
// It sends at once (no waiting for the signal's length), records each signal
// with its carrier and time, and loops it back into its receiver as the
// kernel's rc-loopback does: every value at the moment of the write, spaces
// as sent (one as long as the receive timeout or longer reported as a
// TIMEOUT of its length followed by a gap SPACE of 0), and a TIMEOUT of the
// receive timeout after the last pulse. Like rc-core, it puts a gap SPACE
// before the first pulse that follows a timeout, as long as the time since
// that timeout (since the device was set up, for its first signal).
//
// When a receive begins to wait and the remote is silent, the simulated
// remote (the sim port's: IO_SIM_REMOTE and the IoSimRemote* controls)
// plays its waveform into the receiver the remote's delay later, in real
// time, as a receiver that reports each edge does: a pulse when it ends, a
// space when the next pulse begins, a TIMEOUT of the receive timeout once the
// line has been off that long (a longer space then arrives as the gap SPACE
// of the rest with the pulse after it). Edge times are the waveform's, in
// whole microseconds. A send while the remote's signal is still pending
// cancels it; IoSimRemoteTrigger starts one at any time.
//
// Settings (read at load time and by IoSimReset):
//   IO_SIM_REMOTE, IO_SIM_REMOTE_REPEATS, IO_SIM_REMOTE_DELAY_MS  the remote
//   IO_SIM_LOOPBACK        0: sends do not reach the receiver (default 1)
//   IO_SIM_TXLOG           file that gets one line per signal sent:
//                          "<CLOCK_MONOTONIC ns> <carrier Hz> <µs> <µs> ..."
//   IO_SIM_TXLOG_CAPACITY  signals kept in memory (default 262144)
//   IO_SIMLIRC_FEATURES    what the device offers: send, receive, carrier,
//                          comma-separated (default all three)
// The carrier starts at 38000 Hz, the receive timeout at 125 ms (1 µs to
// 16.7 s may be set). Every call may come from any thread.
#ifndef QEV_IO_SIMLIRC_H
#define QEV_IO_SIMLIRC_H

#include "io/lirc_device.h"
#include "io/sim_remote.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qev::io {

class SimLircDevice final : public LircDevice {
public:
    static constexpr unsigned kDefaultCarrierHz = 38'000;
    static constexpr std::uint32_t kDefaultTimeoutUs = 125'000;
    static constexpr std::uint32_t kMinTimeoutUs = 1;
    static constexpr std::uint32_t kMaxTimeoutUs = 0xFFFFFF;  // the largest mode2 value
    static constexpr std::uint64_t kDefaultLogCapacity = 262'144;
    static constexpr std::uint64_t kMaxLogCapacity = std::uint64_t{1} << 26;

    SimLircDevice() = default;
    SimLircDevice(const SimLircDevice&) = delete;
    SimLircDevice& operator=(const SimLircDevice&) = delete;
    ~SimLircDevice() override;

    // The state at power-on with the settings of the environment: nothing
    // queued, the log emptied (its file reopened and truncated), carrier and
    // timeout at their defaults, the remote re-armed.
    void configure_from_env();

    // Which of IO_SIGNAL_SEND, _RECEIVE, _CARRIER it offers; false (nothing
    // changed) for a carrier without sending, or neither send nor receive.
    bool set_features(int io_signal_features);
    void set_loopback(bool on);

    // The remote, as on the simulated port: a new waveform drops any pending
    // or playing signal; a trigger starts one the delay later (moving a
    // pending one).
    void set_waveform(Waveform waveform);
    void set_delay_ns(std::int64_t delay_ns);
    void set_auto(bool on);
    void trigger();
    std::int64_t last_start_ns() const;
    std::int64_t duration_ns() const;

    // The signals sent, numbered from the last clear; the newest
    // IO_SIM_TXLOG_CAPACITY are kept.
    long long signal_count() const;
    // The count of durations of signal `index` (0 when not kept), copying at
    // most `capacity` of them; null pointers are skipped.
    int signal(long long index, long long* t_ns, unsigned* carrier_hz, unsigned* durations_us, int capacity) const;
    void clear_signals();

    // Receives waiting for their signal.
    int waiting() const;

    // LircDevice
    int open(const char* path) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, std::uint32_t* value) override;
    long read(int fd, std::uint32_t* values, std::size_t count) override;
    long write(int fd, const std::uint32_t* values, std::size_t count) override;
    int poll(int fd, std::int64_t timeout_ns) override;
    bool wake_poll() override;
    std::int64_t now_ns() override;
    void sleep_until(std::int64_t t_ns) override;
    std::size_t max_write_values() const override;
    std::uint64_t max_write_us() const override;
    void receive_begins() override;
    void receive_ends() override;

private:
    struct Event {
        std::uint32_t value;
        std::uint64_t play;  // 0: looped back from a send; n: the remote's n-th play
    };
    struct Sent {
        std::int64_t t_ns;
        unsigned carrier_hz;
        std::vector<unsigned> durations_us;
    };

    void queue(std::int64_t at, std::uint32_t value, std::uint64_t play);
    std::uint32_t gap_space(std::int64_t at) const;
    void loop_back(std::int64_t now, const std::uint32_t* values, std::size_t count);
    void schedule_remote(std::int64_t start);
    void drop_remote(bool only_pending, std::int64_t now);
    void log_signal(const Sent& sent);
    void open_log_file(const char* path);

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    bool woken_ = false;  // wake_poll was called; the next poll returns

    std::uint32_t lirc_features_ = 0;
    bool loopback_ = true;
    unsigned carrier_hz_ = kDefaultCarrierHz;
    std::uint32_t timeout_us_ = kDefaultTimeoutUs;

    // The receiver: values and when they arrive, in order of arrival.
    std::multimap<std::int64_t, Event> queue_;
    std::int64_t gap_start_ns_ = 0;           // the last timeout report
    std::int64_t gap_start_before_play_ = 0;  // ... before the latest play of the remote
    int waiting_ = 0;

    // The remote.
    Waveform waveform_;
    std::int64_t delay_ns_ = 0;
    bool auto_ = true;
    std::uint64_t play_ = 0;        // plays scheduled so far
    std::int64_t play_start_ = -1;  // start of the latest play
    std::int64_t play_end_ = -1;    // when its last value arrives
    std::int64_t last_start_ = -1;

    // The signals sent.
    std::deque<Sent> log_;
    long long log_first_ = 0;  // number of log_.front()
    std::uint64_t log_capacity_ = kDefaultLogCapacity;
    int log_fd_ = -1;
    std::string log_path_;
    bool log_write_failed_ = false;
};

}  // namespace qev::io

#endif
