#include "io/lirc_backend.h"

#include "io/io_api.h"

#include <linux/lirc.h>
#include <poll.h>
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qev::io {
namespace {

static_assert(sizeof(unsigned) == sizeof(std::uint32_t), "durations are the kernel's 32-bit values");

constexpr std::int64_t kNsPerUs = 1'000;
constexpr std::int64_t kNsPerMs = 1'000'000;

// Values taken by one read, and how many reads emptying the device may take
// (its queue holds 512 values; a device that never runs dry is left alone
// after that many).
constexpr std::size_t kReadValues = 512;
constexpr int kDrainReads = 64;

// A receive called this soon after the last one returned continues it: what
// arrived in between is kept (see LircBackend::receive).
constexpr std::int64_t kContinueNs = 50 * 1'000'000;

// How late a device may deliver a value, beyond the edge that ends it.
constexpr std::uint64_t kDeliveryAllowanceUs = 20'000;

constexpr const char* kNoGroupAdvice =
    "no group you could join may read and write it; the udev rule 60-qev-lpt-lirc.rules opens it to group video";

thread_local char t_error[512] = "";

void set_error_args(const char* format, va_list args) { std::vsnprintf(t_error, sizeof t_error, format, args); }

void set_error(const char* format, ...) __attribute__((format(printf, 1, 2)));
void set_error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    set_error_args(format, args);
    va_end(args);
}

// set_error, answering -1 for the caller to return.
int fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
int fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    set_error_args(format, args);
    va_end(args);
    return -1;
}

std::string open_advice(const char* path, int err) {
    switch (err) {
        case EACCES:
            return access_advice(path, kNoGroupAdvice);
        case ENXIO:
        case ENODEV:
            // A character device without a driver behind its number.
            return "no driver behind it: is the IR device plugged in and its driver loaded?";
        case EBUSY:
            return "another program or driver holds it";
        default:
            return {};
    }
}

int signal_features(std::uint32_t lirc) {
    int features = 0;
    if ((lirc & LIRC_CAN_SEND_PULSE) != 0) {
        features |= IO_SIGNAL_SEND;
        if ((lirc & LIRC_CAN_SET_SEND_CARRIER) != 0) features |= IO_SIGNAL_CARRIER;
    }
    if ((lirc & LIRC_CAN_REC_MODE2) != 0) features |= IO_SIGNAL_RECEIVE;
    return features;
}

// The line's off time since the last mark, from the values that report it.
// rc-core reports it in one of these ways:
//   SPACE(s)                         a space between two marks
//   TIMEOUT(t) SPACE(g)              the line went idle (t: the space so far),
//                                    then the gap from that report to the
//                                    next pulse (g): off t + g
//   TIMEOUT(t) SPACE(g) SPACE(s)     a driver that times each edge itself
//                                    adds its own space s after the gap: off
//                                    s, timed at the edges, where t + g is
//                                    timed when the kernel got round to it
// so spaces before a timeout add up, and after one the driver's own space,
// when one comes, is the off time.
class OffTime {
public:
    void space(std::uint64_t us) {
        switch (phase_) {
            case Phase::BeforeTimeout:
                before_ += us;
                return;
            case Phase::GapExpected:
                gap_ += us;
                phase_ = Phase::AfterGap;
                return;
            case Phase::AfterGap:
                driver_space_ += us;
                driver_reported_ = true;
                return;
        }
    }
    void timeout(std::uint64_t us) {
        timeouts_ += us;
        phase_ = Phase::GapExpected;
    }
    std::uint64_t total() const { return before_ + (driver_reported_ ? driver_space_ : timeouts_ + gap_); }
    // Whether the last value said the line is idle now (a space says a mark
    // has begun: rc-core reports a space when the next pulse starts).
    bool idle_reported() const { return phase_ == Phase::GapExpected; }

private:
    enum class Phase { BeforeTimeout, GapExpected, AfterGap };
    Phase phase_ = Phase::BeforeTimeout;
    std::uint64_t before_ = 0;
    std::uint64_t timeouts_ = 0;
    std::uint64_t gap_ = 0;
    std::uint64_t driver_space_ = 0;
    bool driver_reported_ = false;
};

// One signal taken from mode2 values (see LircBackend::receive).
class Reception {
public:
    enum class Step { More, Done, Overflow };

    Reception(unsigned* out, int capacity, unsigned end_gap_us, unsigned max_total_us)
        : out_(out),
          limit_(capacity % 2 == 1 ? capacity : capacity - 1),
          end_gap_us_(end_gap_us),
          max_total_us_(max_total_us) {}

    bool started() const { return count_ > 0; }
    int count() const { return count_; }

    Step take(std::uint32_t value) {
        const std::uint64_t us = LIRC_VALUE(value);
        switch (LIRC_MODE2(value)) {
            case LIRC_MODE2_PULSE:
                return pulse(us);
            case LIRC_MODE2_SPACE:
                if (!started()) return Step::More;  // before the signal: the gap space, or stale
                off_.space(us);
                return after_off();
            case LIRC_MODE2_TIMEOUT:
                if (!started()) return Step::More;
                off_.timeout(us);
                return after_off();
            case LIRC_MODE2_OVERFLOW:
                return Step::Overflow;
            default:
                return Step::More;  // carrier reports
        }
    }

    // How long after the last value arrived the line may stay quiet before
    // the signal counts as over.
    std::int64_t quiet_ns() const {
        const std::uint64_t idle = off_.idle_reported() ? std::min<std::uint64_t>(off_.total(), end_gap_us_) : 0;
        const std::uint64_t us = end_gap_us_ - idle + longest_mark_us_ + kDeliveryAllowanceUs;
        return static_cast<std::int64_t>(us) * kNsPerUs;
    }

private:
    Step after_off() const {
        const std::uint64_t off = off_.total();
        if (off >= end_gap_us_ || total_us_ + off >= max_total_us_) return Step::Done;
        return Step::More;
    }

    Step pulse(std::uint64_t us) {
        if (us == 0) return Step::More;
        if (!started()) {
            out_[count_++] = static_cast<unsigned>(std::min<std::uint64_t>(us, max_total_us_));
            total_us_ = out_[0];
        } else if (off_.total() == 0) {
            // No space since the last mark: it goes on.
            const std::uint64_t more = std::min<std::uint64_t>(us, max_total_us_ - total_us_);
            out_[count_ - 1] += static_cast<unsigned>(more);
            total_us_ += more;
        } else {
            // Shorter than the end gap and within max_total_us, or the signal
            // would have ended on it; and count_ < limit_, both odd, so the
            // space and the mark fit.
            const std::uint64_t off = off_.total();
            out_[count_++] = static_cast<unsigned>(off);
            total_us_ += off;
            const std::uint64_t mark = std::min<std::uint64_t>(us, max_total_us_ - total_us_);
            out_[count_++] = static_cast<unsigned>(mark);
            total_us_ += mark;
        }
        off_ = OffTime();
        longest_mark_us_ = std::max<std::uint64_t>(longest_mark_us_, out_[count_ - 1]);
        if (total_us_ >= max_total_us_ || count_ >= limit_) return Step::Done;
        return Step::More;
    }

    unsigned* out_;
    int limit_;
    unsigned end_gap_us_;
    unsigned max_total_us_;
    int count_ = 0;
    std::uint64_t total_us_ = 0;
    std::uint64_t longest_mark_us_ = 0;
    OffTime off_;
};

class ReceiveScope {
public:
    explicit ReceiveScope(LircDevice* device) : device_(device) { device_->receive_begins(); }
    ~ReceiveScope() { device_->receive_ends(); }
    ReceiveScope(const ReceiveScope&) = delete;
    ReceiveScope& operator=(const ReceiveScope&) = delete;

private:
    LircDevice* device_;
};

}  // namespace

const char* LircBackend::error() { return t_error; }

bool LircBackend::start(LircDevice* device, const char* path, const std::string& name, DeviceFailure* failure) {
    stop();
    *failure = DeviceFailure{};
    const int fd = device->open(path);
    if (fd < 0) {
        const int err = errno;
        failure->device_missing = (err == ENOENT || err == ENOTDIR);
        failure->reason = name + ": " + std::strerror(err);
        failure->detail = open_advice(path, err);
        return false;
    }
    const auto refuse = [&](const std::string& reason, const char* request, int err) {
        failure->reason = name + ": " + reason;
        failure->detail = std::string(request) + ": " + std::strerror(err);
        device->close(fd);
        return false;
    };

    std::uint32_t lirc = 0;
    if (device->ioctl(fd, LIRC_GET_FEATURES, &lirc) != 0) {
        const int err = errno;
        return refuse(err == ENOTTY || err == EINVAL ? "not a LIRC device" : "cannot read its features",
                      "LIRC_GET_FEATURES", err);
    }
    const int features = signal_features(lirc);
    if ((features & (IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE)) == 0) {
        char detail[128];
        std::snprintf(detail, sizeof detail, "features 0x%08X: neither LIRC_CAN_SEND_PULSE nor LIRC_CAN_REC_MODE2",
                      lirc);
        failure->reason = name + ": neither sends nor receives pulses and spaces";
        failure->detail = detail;
        device->close(fd);
        return false;
    }
    if ((features & IO_SIGNAL_SEND) != 0) {
        std::uint32_t mode = LIRC_MODE_PULSE;
        if (device->ioctl(fd, LIRC_SET_SEND_MODE, &mode) != 0) {
            return refuse("cannot send pulses and spaces", "LIRC_SET_SEND_MODE", errno);
        }
    }
    if ((features & IO_SIGNAL_RECEIVE) != 0) {
        std::uint32_t mode = LIRC_MODE_MODE2;
        if (device->ioctl(fd, LIRC_SET_REC_MODE, &mode) != 0) {
            return refuse("cannot receive pulses and spaces", "LIRC_SET_REC_MODE", errno);
        }
    }

    device_ = device;
    fd_ = fd;
    name_ = name;
    lirc_features_ = lirc;
    features_ = features;
    timeout_settable_ = false;
    min_timeout_us_ = max_timeout_us_ = timeout_us_ = original_timeout_us_ = 0;
    if ((features & IO_SIGNAL_RECEIVE) != 0 && (lirc & LIRC_CAN_SET_REC_TIMEOUT) != 0) {
        timeout_settable_ = device->ioctl(fd, LIRC_GET_MIN_TIMEOUT, &min_timeout_us_) == 0 &&
                            device->ioctl(fd, LIRC_GET_MAX_TIMEOUT, &max_timeout_us_) == 0 &&
                            min_timeout_us_ <= max_timeout_us_;
        std::uint32_t now = 0;
        if (timeout_settable_ && device->ioctl(fd, LIRC_GET_REC_TIMEOUT, &now) == 0) {
            original_timeout_us_ = timeout_us_ = now;
        }
    }
    return true;
}

void LircBackend::stop() noexcept {
    if (fd_ < 0) return;
    if (original_timeout_us_ != 0 && timeout_us_ != original_timeout_us_) {
        std::uint32_t original = original_timeout_us_;
        device_->ioctl(fd_, LIRC_SET_REC_TIMEOUT, &original);
    }
    device_->close(fd_);
    fd_ = -1;
    features_ = 0;
    lirc_features_ = 0;
}

// ---- sending -----------------------------------------------------------------

int LircBackend::send(const unsigned* durations_us, int count, unsigned carrier_hz) {
    if (durations_us == nullptr) return fail("IoSignalSend: no durations (a null pointer)");
    if (count < 1 || count > IO_SIGNAL_MAX || count % 2 == 0) {
        return fail("IoSignalSend: a signal is an odd count of 1 to %d durations, not %d", IO_SIGNAL_MAX, count);
    }
    for (int i = 0; i < count; ++i) {
        if (durations_us[i] == 0) return fail("IoSignalSend: duration %d of %d is 0 µs", i + 1, count);
    }
    if (fd_ < 0) return fail("no device");
    if ((features_ & IO_SIGNAL_SEND) == 0) return fail("%s: the device has no transmitter", name_.c_str());

    std::lock_guard<std::mutex> lock(send_mutex_);
    if (carrier_hz != 0 && (features_ & IO_SIGNAL_CARRIER) != 0) {
        std::uint32_t carrier = carrier_hz;
        if (device_->ioctl(fd_, LIRC_SET_SEND_CARRIER, &carrier) != 0) {
            return fail("%s: the device refused a carrier of %u Hz (LIRC_SET_SEND_CARRIER: %s)", name_.c_str(),
                        carrier_hz, std::strerror(errno));
        }
    }
    return send_locked(durations_us, static_cast<std::size_t>(count));
}

int LircBackend::send_locked(const unsigned* d, std::size_t count) {
    const std::size_t max_values = std::max<std::size_t>(device_->max_write_values(), 1);
    const std::uint64_t max_us = device_->max_write_us();
    std::size_t first = 0;
    while (first < count) {
        // The piece reaches as far as one write takes; it ends at the mark
        // followed by the longest space (the later of equals), or at the
        // signal's last mark when the rest fits.
        std::size_t end = count;  // none yet
        std::uint64_t reach_us = 0;
        for (std::size_t k = first; k < count && k - first + 1 <= max_values; k += 2) {
            reach_us += d[k];
            if (reach_us > max_us) break;
            if (k + 1 == count || end == count || d[k + 1] >= d[end + 1]) end = k;
            if (k + 1 == count) break;
            reach_us += d[k + 1];
        }
        if (end == count) {
            return fail("%s: mark %zu of the signal lasts %u µs, longer than the device sends at once (%llu µs)",
                        name_.c_str(), first + 1, d[first], static_cast<unsigned long long>(max_us));
        }
        std::uint64_t piece_us = 0;
        for (std::size_t k = first; k <= end; ++k) piece_us += d[k];

        const std::size_t n = end - first + 1;
        const std::int64_t began = device_->now_ns();
        long put;
        do {
            put = device_->write(fd_, d + first, n);
        } while (put < 0 && errno == EINTR);
        if (put < 0) {
            const int err = errno;
            if (err == EINVAL) {
                return fail("%s: the device refused the signal (write: %s)", name_.c_str(), std::strerror(err));
            }
            return fail("%s: write: %s", name_.c_str(), std::strerror(err));
        }
        if (static_cast<std::size_t>(put) != n) {
            return fail("%s: the device took only %ld of %zu durations", name_.c_str(), put, n);
        }
        first = end + 2;
        if (first < count) {
            // The space before the next piece, timed from this piece's start.
            device_->sleep_until(began + static_cast<std::int64_t>(piece_us + d[end + 1]) * kNsPerUs);
        }
    }
    return 0;
}

// ---- receiving ---------------------------------------------------------------

int LircBackend::cancel_receive() {
    std::lock_guard<std::mutex> guard(cancel_mutex_);
    if (!receiving_) return 0;
    cancel_ = true;
    return device_->wake_poll() ? 1 : -1;
}

void LircBackend::set_receive_timeout(unsigned end_gap_us) {
    if (!timeout_settable_) return;
    const std::uint32_t wanted = std::clamp<std::uint32_t>(end_gap_us, min_timeout_us_, max_timeout_us_);
    if (wanted == timeout_us_) return;
    std::uint32_t value = wanted;
    // A device that refuses still ends signals: by the quiet line.
    timeout_us_ = device_->ioctl(fd_, LIRC_SET_REC_TIMEOUT, &value) == 0 ? wanted : 0;
}

bool LircBackend::drain() {
    std::uint32_t buffer[kReadValues];
    for (int round = 0; round < kDrainReads; ++round) {
        const long got = device_->read(fd_, buffer, kReadValues);
        if (got > 0) continue;
        if (got < 0 && errno == EINTR) continue;
        if (got == 0 || errno == EAGAIN) return true;
        set_error("%s: read: %s", name_.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

int LircBackend::receive(unsigned* durations_us, int capacity, int wait_ms, unsigned end_gap_us,
                         unsigned max_total_us) {
    if (durations_us == nullptr) return fail("IoSignalReceive: nowhere to put the durations (a null pointer)");
    if (capacity < 1) return fail("IoSignalReceive: room for at least one duration is needed, not %d", capacity);
    if (wait_ms < 0) return fail("IoSignalReceive: wait_ms is %d; 0 or more milliseconds", wait_ms);
    if (end_gap_us == 0 || max_total_us == 0) {
        return fail("IoSignalReceive: end_gap_us (%u) and max_total_us (%u) are 1 µs or more", end_gap_us,
                    max_total_us);
    }
    if (fd_ < 0) return fail("no device");
    if ((features_ & IO_SIGNAL_RECEIVE) == 0) return fail("%s: the device has no receiver", name_.c_str());
    std::unique_lock<std::mutex> lock(receive_mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return fail("%s: another receive is under way", name_.c_str());

    struct Cancel_Scope {
        LircBackend& backend;
        explicit Cancel_Scope(LircBackend& b) : backend(b) { Set(true); }
        ~Cancel_Scope() { Set(false); }
        void Set(bool receiving) {
            std::lock_guard<std::mutex> guard(backend.cancel_mutex_);
            backend.receiving_ = receiving;
            backend.cancel_ = false;
        }
    } cancel_scope{*this};

    const std::int64_t called = device_->now_ns();
    const std::int64_t wait_end = called + static_cast<std::int64_t>(wait_ms) * kNsPerMs;
    const std::int64_t signal_ns = (static_cast<std::int64_t>(max_total_us) + end_gap_us) * kNsPerUs;
    std::int64_t hard_end = wait_end + signal_ns;

    // What arrived while nobody was receiving is no part of this signal and
    // is read away; but a caller that receives again at once (a capture
    // waiting in slices) keeps what came in between its two calls, or a
    // signal beginning then would lose its start.
    struct Note_Return {
        LircBackend& backend;
        ~Note_Return() { backend.last_return_ns_ = backend.device_->now_ns(); }
    } note_return{*this};
    set_receive_timeout(end_gap_us);
    const bool continuing = last_return_ns_ != 0 && called - last_return_ns_ <= kContinueNs;
    if (!continuing && !drain()) return -1;
    ReceiveScope waiting(device_);

    Reception signal(durations_us, capacity, end_gap_us, max_total_us);
    std::int64_t deadline = wait_end;
    std::uint32_t buffer[kReadValues];
    for (;;) {
        const std::int64_t now = device_->now_ns();
        if (cancel_) return 0;
        if (now >= deadline) return signal.count();
        const int events = device_->poll(fd_, deadline - now);
        if (cancel_) return 0;
        if (events < 0) {
            if (errno == EINTR) continue;
            return fail("%s: poll: %s", name_.c_str(), std::strerror(errno));
        }
        if (events == 0) continue;
        if ((events & POLLIN) == 0) {
            if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return fail("%s: the device is gone", name_.c_str());
            }
            continue;
        }
        const long got = device_->read(fd_, buffer, kReadValues);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            return fail("%s: read: %s", name_.c_str(), std::strerror(errno));
        }
        if (got == 0) return fail("%s: the device is gone", name_.c_str());

        const std::int64_t arrived = device_->now_ns();
        const bool was_started = signal.started();
        for (long i = 0; i < got; ++i) {
            switch (signal.take(buffer[i])) {
                case Reception::Step::More:
                    break;
                case Reception::Step::Done:
                    return signal.count();
                case Reception::Step::Overflow:
                    return fail("%s: the receiver overflowed; part of the signal was lost", name_.c_str());
            }
        }
        if (!signal.started()) continue;
        if (!was_started) hard_end = std::min(hard_end, arrived + signal_ns);
        deadline = std::min(hard_end, arrived + signal.quiet_ns());
    }
}

}  // namespace qev::io
