#include "io/simlirc.h"

#include "base/text_case.h"
#include "io/env_util.h"
#include "io/io_api.h"
#include "io/sim_env.h"

#include <fcntl.h>
#include <linux/lirc.h>
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <utility>

namespace qev::io {
namespace {

constexpr std::int64_t kNsPerUs = 1'000;
constexpr int kFd = 3;  // any descriptor will do: there is one device

std::uint32_t lirc_features_for(int features) {
    std::uint32_t lirc = 0;
    if ((features & IO_SIGNAL_SEND) != 0) lirc |= LIRC_CAN_SEND_PULSE;
    if ((features & IO_SIGNAL_CARRIER) != 0) lirc |= LIRC_CAN_SET_SEND_CARRIER;
    if ((features & IO_SIGNAL_RECEIVE) != 0) lirc |= LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT;
    return lirc;
}

bool valid_features(int features) {
    if ((features & ~(IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER)) != 0) return false;
    if ((features & (IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE)) == 0) return false;
    return (features & IO_SIGNAL_CARRIER) == 0 || (features & IO_SIGNAL_SEND) != 0;
}

constexpr int kAllFeatures = IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER;

// IO_SIMLIRC_FEATURES: send, receive, carrier, comma-separated in any case.
int features_from_env() {
    const char* text = env_value("IO_SIMLIRC_FEATURES");
    if (text == nullptr) return kAllFeatures;
    int features = 0;
    const std::string_view value(text);
    std::size_t at = 0;
    bool ok = true;
    while (ok && at <= value.size()) {
        const std::size_t comma = std::min(value.find(',', at), value.size());
        const std::string_view word = value.substr(at, comma - at);
        if (Same_Ignoring_Case(word, "send")) {
            features |= IO_SIGNAL_SEND;
        } else if (Same_Ignoring_Case(word, "receive")) {
            features |= IO_SIGNAL_RECEIVE;
        } else if (Same_Ignoring_Case(word, "carrier")) {
            features |= IO_SIGNAL_CARRIER;
        } else {
            ok = false;
        }
        at = comma + 1;
    }
    if (!ok || !valid_features(features)) {
        warn(
            "IO_SIMLIRC_FEATURES=%s: expected send, receive and carrier, comma-separated (carrier only with send); "
            "using send,receive,carrier",
            text);
        return kAllFeatures;
    }
    return features;
}

std::int64_t round_to_us(std::int64_t ns) { return (ns + kNsPerUs / 2) / kNsPerUs; }

std::uint32_t clamp_value(std::uint64_t us) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(us, 0xFFFFFF));
}

}  // namespace

SimLircDevice::~SimLircDevice() {
    if (log_fd_ >= 0) ::close(log_fd_);
}

void SimLircDevice::configure_from_env() {
    RemoteSettings remote = remote_settings_from_env();
    const bool loopback = flag_from_env("IO_SIM_LOOPBACK", true);
    const std::uint64_t capacity = log_capacity_from_env(kDefaultLogCapacity, kMaxLogCapacity);
    const int features = features_from_env();
    const char* path = env_value("IO_SIM_TXLOG");

    std::lock_guard<std::mutex> lock(mutex_);
    lirc_features_ = lirc_features_for(features);
    loopback_ = loopback;
    carrier_hz_ = kDefaultCarrierHz;
    timeout_us_ = kDefaultTimeoutUs;
    queue_.clear();
    gap_start_ns_ = monotonic_ns();
    waveform_ = std::move(remote.waveform);
    delay_ns_ = remote.delay_ns;
    auto_ = true;
    play_start_ = play_end_ = last_start_ = -1;
    log_.clear();
    log_first_ = 0;
    log_capacity_ = capacity;
    open_log_file(path);
    arrived_.notify_all();
}

void SimLircDevice::open_log_file(const char* path) {
    if (log_fd_ >= 0) ::close(log_fd_);
    log_fd_ = -1;
    log_path_ = path != nullptr ? path : "";
    log_write_failed_ = false;
    if (log_path_.empty()) return;
    log_fd_ = ::open(log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (log_fd_ < 0) {
        warn("IO_SIM_TXLOG=%s: %s; the signals sent are kept in memory only", log_path_.c_str(), std::strerror(errno));
    }
}

bool SimLircDevice::set_features(int io_signal_features) {
    if (!valid_features(io_signal_features)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    lirc_features_ = lirc_features_for(io_signal_features);
    if ((io_signal_features & IO_SIGNAL_CARRIER) == 0) carrier_hz_ = kDefaultCarrierHz;
    return true;
}

void SimLircDevice::set_loopback(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    loopback_ = on;
}

// ---- the remote ----------------------------------------------------------------

void SimLircDevice::set_waveform(Waveform waveform) {
    std::lock_guard<std::mutex> lock(mutex_);
    drop_remote(false, monotonic_ns());
    waveform_ = std::move(waveform);
    play_start_ = play_end_ = last_start_ = -1;
}

void SimLircDevice::set_delay_ns(std::int64_t delay_ns) {
    std::lock_guard<std::mutex> lock(mutex_);
    delay_ns_ = delay_ns < 0 ? 0 : delay_ns;
}

void SimLircDevice::set_auto(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto_ = on;
}

void SimLircDevice::trigger() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t now = monotonic_ns();
    drop_remote(true, now);
    schedule_remote(now + delay_ns_);
}

std::int64_t SimLircDevice::last_start_ns() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_start_;
}

std::int64_t SimLircDevice::duration_ns() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waveform_.duration_ns();
}

// Drops the remote's values still to arrive: of every play, or only of the
// latest when it has not started yet.
void SimLircDevice::drop_remote(bool only_pending, std::int64_t now) {
    const bool pending = play_start_ > now;
    if (only_pending && !pending) return;
    for (auto it = queue_.begin(); it != queue_.end();) {
        const bool drop = it->second.play != 0 && it->first > now && (!only_pending || it->second.play == play_);
        it = drop ? queue_.erase(it) : std::next(it);
    }
    if (pending) {
        // It never started: it is not the last signal, and no timeout follows it.
        last_start_ = play_start_ = play_end_ = -1;
        gap_start_ns_ = gap_start_before_play_;
    } else if (play_end_ > now) {
        play_end_ = now;
        gap_start_ns_ = now;
    }
}

void SimLircDevice::queue(std::int64_t at, std::uint32_t value, std::uint64_t play) {
    queue_.emplace_hint(queue_.upper_bound(at), at, Event{value, play});
}

// rc-core's gap SPACE before a pulse processed at `at`: the time since the
// last timeout report.
std::uint32_t SimLircDevice::gap_space(std::int64_t at) const {
    const std::int64_t gap_ns = at - gap_start_ns_;
    return LIRC_SPACE(clamp_value(static_cast<std::uint64_t>(std::max<std::int64_t>(gap_ns, 0) / kNsPerUs)));
}

void SimLircDevice::schedule_remote(std::int64_t start) {
    const std::vector<std::int64_t>& edges = waveform_.edges();
    if (edges.empty() || (lirc_features_ & LIRC_CAN_REC_MODE2) == 0) return;  // silent, or no receiver
    // A play that starts while another plays cuts it short.
    for (auto it = queue_.lower_bound(start); it != queue_.end();) {
        it = it->second.play != 0 ? queue_.erase(it) : std::next(it);
    }
    const std::uint64_t play = ++play_;
    gap_start_before_play_ = gap_start_ns_;
    gap_start_ns_ = std::min(gap_start_ns_, start);
    play_start_ = start;
    last_start_ = start;
    const std::int64_t timeout_ns = static_cast<std::int64_t>(timeout_us_) * kNsPerUs;
    std::int64_t previous_fall = -1;
    for (std::size_t k = 0; k < edges.size(); k += 2) {
        const std::int64_t rise = edges[k];
        const std::int64_t fall = k + 1 < edges.size() ? edges[k + 1] : waveform_.duration_ns();
        const std::uint32_t pulse = LIRC_PULSE(
            clamp_value(static_cast<std::uint64_t>(std::max<std::int64_t>(round_to_us(fall) - round_to_us(rise), 0))));
        if (previous_fall < 0) {
            if (gap_start_ns_ < start + rise) queue(start + fall, gap_space(start + rise), play);
        } else {
            const std::int64_t space_us = round_to_us(rise) - round_to_us(previous_fall);
            if (space_us >= timeout_us_) {
                queue(start + previous_fall + timeout_ns, LIRC_TIMEOUT(timeout_us_), play);
                queue(start + fall, LIRC_SPACE(clamp_value(static_cast<std::uint64_t>(space_us - timeout_us_))), play);
            } else {
                queue(start + rise, LIRC_SPACE(clamp_value(static_cast<std::uint64_t>(space_us))), play);
            }
        }
        queue(start + fall, pulse, play);
        previous_fall = fall;
    }
    play_end_ = start + previous_fall + timeout_ns;
    queue(play_end_, LIRC_TIMEOUT(timeout_us_), play);
    gap_start_ns_ = play_end_;
    arrived_.notify_all();
}

// ---- the signals sent ----------------------------------------------------------

void SimLircDevice::loop_back(std::int64_t now, const std::uint32_t* values, std::size_t count) {
    if (gap_start_ns_ <= now) queue(now, gap_space(now), 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t us = clamp_value(values[i]);
        if (i % 2 == 0) {
            queue(now, LIRC_PULSE(us), 0);
        } else if (us >= timeout_us_) {
            // rc-core goes idle on a space this long, and the next pulse
            // follows the timeout report at once.
            queue(now, LIRC_TIMEOUT(us), 0);
            queue(now, LIRC_SPACE(0), 0);
        } else {
            queue(now, LIRC_SPACE(us), 0);
        }
    }
    queue(now, LIRC_TIMEOUT(timeout_us_), 0);
    gap_start_ns_ = now;
}

void SimLircDevice::log_signal(const Sent& sent) {
    if (log_fd_ < 0) return;
    std::string line = std::to_string(sent.t_ns) + ' ' + std::to_string(sent.carrier_hz);
    for (const unsigned us : sent.durations_us) {
        line += ' ';
        line += std::to_string(us);
    }
    line += '\n';
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(log_fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (!log_write_failed_) {
                log_write_failed_ = true;
                warn("IO_SIM_TXLOG=%s: write failed: %s", log_path_.c_str(), std::strerror(errno));
            }
            return;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

long long SimLircDevice::signal_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_first_ + static_cast<long long>(log_.size());
}

int SimLircDevice::signal(long long index, long long* t_ns, unsigned* carrier_hz, unsigned* durations_us,
                          int capacity) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < log_first_ || index - log_first_ >= static_cast<long long>(log_.size())) return 0;
    const Sent& sent = log_[static_cast<std::size_t>(index - log_first_)];
    if (t_ns != nullptr) *t_ns = sent.t_ns;
    if (carrier_hz != nullptr) *carrier_hz = sent.carrier_hz;
    if (durations_us != nullptr && capacity > 0) {
        const std::size_t n = std::min(sent.durations_us.size(), static_cast<std::size_t>(capacity));
        std::copy_n(sent.durations_us.begin(), n, durations_us);
    }
    return static_cast<int>(sent.durations_us.size());
}

void SimLircDevice::clear_signals() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
    log_first_ = 0;
}

int SimLircDevice::waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
}

// ---- the device ------------------------------------------------------------------

int SimLircDevice::open(const char*) { return kFd; }

void SimLircDevice::close(int) {}

int SimLircDevice::ioctl(int, unsigned long request, std::uint32_t* value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool sends = (lirc_features_ & LIRC_CAN_SEND_PULSE) != 0;
    const bool carrier = (lirc_features_ & LIRC_CAN_SET_SEND_CARRIER) != 0;
    const bool receives = (lirc_features_ & LIRC_CAN_REC_MODE2) != 0;
    // As rc-core: ENOTTY for what the device cannot do, EINVAL for a value
    // it does not take.
    const auto refuse = [](int err) {
        errno = err;
        return -1;
    };
    switch (request) {
        case LIRC_GET_FEATURES:
            *value = lirc_features_;
            return 0;
        case LIRC_SET_SEND_MODE:
            if (!sends) return refuse(ENOTTY);
            return *value == LIRC_MODE_PULSE ? 0 : refuse(EINVAL);
        case LIRC_SET_REC_MODE:
            if (!receives) return refuse(ENOTTY);
            return *value == LIRC_MODE_MODE2 ? 0 : refuse(EINVAL);
        case LIRC_SET_SEND_CARRIER:
            if (!carrier) return refuse(ENOTTY);
            if (*value == 0) return refuse(EINVAL);
            carrier_hz_ = *value;
            return 0;
        case LIRC_GET_MIN_TIMEOUT:
        case LIRC_GET_MAX_TIMEOUT:
        case LIRC_GET_REC_TIMEOUT:
            if (!receives) return refuse(ENOTTY);
            *value = request == LIRC_GET_MIN_TIMEOUT   ? kMinTimeoutUs
                     : request == LIRC_GET_MAX_TIMEOUT ? kMaxTimeoutUs
                                                       : timeout_us_;
            return 0;
        case LIRC_SET_REC_TIMEOUT:
            if (!receives) return refuse(ENOTTY);
            if (*value < kMinTimeoutUs || *value > kMaxTimeoutUs) return refuse(EINVAL);
            timeout_us_ = *value;
            return 0;
        default:
            return refuse(ENOTTY);
    }
}

long SimLircDevice::read(int, std::uint32_t* values, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t now = monotonic_ns();
    std::size_t got = 0;
    while (got < count && !queue_.empty() && queue_.begin()->first <= now) {
        values[got++] = queue_.begin()->second.value;
        queue_.erase(queue_.begin());
    }
    if (got == 0) {
        errno = EAGAIN;
        return -1;
    }
    return static_cast<long>(got);
}

long SimLircDevice::write(int, const std::uint32_t* values, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    // As rc-core: a device without a transmitter, an even count or a
    // duration of 0 is refused.
    if ((lirc_features_ & LIRC_CAN_SEND_PULSE) == 0 || count % 2 == 0 ||
        std::find(values, values + count, 0u) != values + count) {
        errno = EINVAL;
        return -1;
    }
    const std::int64_t now = monotonic_ns();
    Sent sent{now, carrier_hz_, std::vector<unsigned>(values, values + count)};
    log_signal(sent);
    log_.push_back(std::move(sent));
    while (log_.size() > log_capacity_) {
        log_.pop_front();
        ++log_first_;
    }
    if (loopback_ && (lirc_features_ & LIRC_CAN_REC_MODE2) != 0) {
        drop_remote(true, now);  // the remote stays silent when something was sent
        loop_back(now, values, count);
    }
    arrived_.notify_all();
    return static_cast<long>(count);
}

int SimLircDevice::poll(int, std::int64_t timeout_ns) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::int64_t deadline = monotonic_ns() + std::max<std::int64_t>(timeout_ns, 0);
    for (;;) {
        if (woken_) {
            woken_ = false;
            return 0;
        }
        const std::int64_t now = monotonic_ns();
        if (!queue_.empty() && queue_.begin()->first <= now) return POLLIN;
        if (now >= deadline) return 0;
        const std::int64_t wake = queue_.empty() ? deadline : std::min(deadline, queue_.begin()->first);
        // steady_clock is CLOCK_MONOTONIC.
        arrived_.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(wake)));
    }
}

bool SimLircDevice::wake_poll() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    arrived_.notify_all();
    return true;
}

std::int64_t SimLircDevice::now_ns() { return monotonic_ns(); }

// Never called: one write takes any signal (see max_write_us).
void SimLircDevice::sleep_until(std::int64_t) {}

std::size_t SimLircDevice::max_write_values() const { return IO_SIGNAL_MAX; }

std::uint64_t SimLircDevice::max_write_us() const { return std::numeric_limits<std::uint64_t>::max(); }

void SimLircDevice::receive_begins() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++waiting_;
    const std::int64_t now = monotonic_ns();
    const bool remote_busy = play_start_ >= 0 && play_end_ > now;
    if (auto_ && !remote_busy) schedule_remote(now + delay_ns_);
    arrived_.notify_all();
}

void SimLircDevice::receive_ends() {
    std::lock_guard<std::mutex> lock(mutex_);
    --waiting_;
}

}  // namespace qev::io
