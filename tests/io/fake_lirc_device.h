// A scripted LIRC device with its own clock, for the kernel IR backend's
// tests: it answers the ioctls as rc-core does for the features it is given,
// delivers mode2 values at scripted times, and records every ioctl, write and
// sleep. Time passes only when the backend waits: poll() moves the clock to
// the next value's arrival or to the end of its timeout, sleep_until() to its
// target, and a write takes as long as its durations, as the kernel's does.
#ifndef QEV_TESTS_IO_FAKE_LIRC_DEVICE_H
#define QEV_TESTS_IO_FAKE_LIRC_DEVICE_H

#include "io/lirc_device.h"

#include <linux/lirc.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace iotest {

// The clock starts here, so "before the call" has room.
constexpr std::int64_t kFakeStartNs = 1'000'000'000;
constexpr std::int64_t Us(std::int64_t us) { return us * 1'000; }
constexpr std::int64_t Ms(std::int64_t ms) { return ms * 1'000'000; }

// A mode2 value, written out.
constexpr std::uint32_t Pulse(std::uint32_t us) { return LIRC_PULSE(us); }
constexpr std::uint32_t Space(std::uint32_t us) { return LIRC_SPACE(us); }
constexpr std::uint32_t Timeout(std::uint32_t us) { return LIRC_TIMEOUT(us); }
constexpr std::uint32_t Overflow() { return LIRC_OVERFLOW(LIRC_VALUE_MASK); }
constexpr std::uint32_t Frequency(std::uint32_t hz) { return LIRC_FREQUENCY(hz); }

// Values that arrive together, `at` nanoseconds after the clock's start.
struct Arrival {
    std::int64_t at;
    std::vector<std::uint32_t> values;
};

class FakeLircDevice final : public qev::io::LircDevice {
public:
    // ---- the script ----
    std::uint32_t features =
        LIRC_CAN_SEND_PULSE | LIRC_CAN_SET_SEND_CARRIER | LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT;
    std::uint32_t min_timeout_us = 50;
    std::uint32_t max_timeout_us = 1'000'000;
    std::uint32_t rec_timeout_us = 125'000;
    int open_errno = 0;                   // open fails with it
    std::map<unsigned long, int> refuse;  // ioctl request -> errno it fails with
    int read_errno = 0;                   // reads fail with it once something has arrived
    std::int64_t hangup_at_ns = -1;       // poll reports POLLHUP from then on (relative)
    int write_errno = 0;                  // writes fail with it
    long write_limit = -1;                // a write takes at most this many values
    std::size_t max_values = 1024;
    std::uint64_t max_us = 500'000;

    void Arrive(std::int64_t at, const std::vector<std::uint32_t>& values);

    // ---- what happened ----
    struct Ioctl {
        unsigned long request;
        std::uint32_t value;  // what was passed in (set) or given back (get)
    };
    struct Write {
        std::int64_t at;  // relative to the clock's start
        std::vector<std::uint32_t> values;
    };
    std::vector<Ioctl> ioctls;
    std::vector<Write> writes;
    std::vector<std::int64_t> sleeps;  // targets, relative
    int opens = 0;
    int closes = 0;
    int receives_begun = 0;
    int receives_ended = 0;

    std::int64_t now = kFakeStartNs;
    std::int64_t Elapsed() const { return now - kFakeStartNs; }
    // The values of the ioctls made with `request`.
    std::vector<std::uint32_t> IoctlValues(unsigned long request) const;

    // ---- LircDevice ----
    int open(const char* path) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, std::uint32_t* value) override;
    long read(int fd, std::uint32_t* values, std::size_t count) override;
    long write(int fd, const std::uint32_t* values, std::size_t count) override;
    int poll(int fd, std::int64_t timeout_ns) override;
    std::int64_t now_ns() override { return now; }
    void sleep_until(std::int64_t t_ns) override;
    std::size_t max_write_values() const override { return max_values; }
    std::uint64_t max_write_us() const override { return max_us; }
    void receive_begins() override { ++receives_begun; }
    void receive_ends() override { ++receives_ended; }

private:
    // Values not yet read, by absolute arrival time.
    std::multimap<std::int64_t, std::uint32_t> pending_;
};

// A name for ioctl requests in messages.
std::string IoctlName(unsigned long request);

}  // namespace iotest

#endif
