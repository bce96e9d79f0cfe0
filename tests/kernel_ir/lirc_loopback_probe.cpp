// lirc_loopback_probe [--brief] [DEVICE]: sends an NEC frame through a kernel LIRC
// device whose transmitter loops back into its receiver (rc-loopback,
// /dev/lirc0 by default), checks that the same durations come back, and
// checks the device behaviour a sending and learning backend relies on.
// scripts/test-kernel-ir runs it on Debian's kernel under QEMU. Prints a line
// per check and the durations sent and received (--brief: only the failed
// checks), then "lirc_loopback: N passed, M failed"; exits 0 when none failed.
//
// What rc-loopback does on Debian 12's kernel (6.1), as these checks and a
// few one-off trials show:
// - Features 0xb7040702: SEND_PULSE, SET_SEND_CARRIER, SET_SEND_DUTY_CYCLE,
//   SET_TRANSMITTER_MASK, REC_MODE2, SET_REC_CARRIER, SET_REC_CARRIER_RANGE,
//   GET_REC_RESOLUTION, SET_REC_TIMEOUT, MEASURE_CARRIER,
//   USE_WIDEBAND_RECEIVER. Send modes PULSE (the default) and SCANCODE,
//   receive modes MODE2 (the default) and SCANCODE; duty cycles 1 to 99.
// - Durations come back exactly: the receiver's resolution is 1 us and
//   nothing is rounded. Every pulse and space written is read back as one
//   mode2 value.
// - write() takes an odd number of values (pulse first, ending on a pulse),
//   at most 1023 of them and at most 500 ms in all, none zero; anything else
//   is EINVAL. It returns about when the signal's time has passed (the kernel
//   sleeps out the rest: 67 to 76 ms for a 68 ms frame under emulation), so
//   a sender needs no sleep of its own but cannot time a gap by it exactly.
//   A pulse over 50 ms comes back as LIRC_MODE2_OVERFLOW (rc-loopback's
//   simulated receiver overrun).
// - read() takes whole values (else EINVAL); with O_NONBLOCK and nothing
//   there, EAGAIN. Each descriptor queues at most 512 values, and
//   rc-loopback delivers a whole write at once: of a write of more than about
//   510 values only the first 512 values arrive, without the end.
// - The end of a signal is a LIRC_MODE2_TIMEOUT value: after the last pulse,
//   its value the receive timeout. A space at least as long as the timeout
//   inside a signal also ends it there, as a timeout holding that space's
//   length (rc-loopback hands over the whole write at once). The next signal
//   starts with a space: the time since that timeout (the first one after
//   loading starts with its pulse). So a learner sets the timeout above the
//   longest space it wants inside one signal.
//   LIRC_SET_REC_TIMEOUT_REPORTS is accepted and changes nothing.
// - LIRC_SET_REC_TIMEOUT takes LIRC_GET_MIN_TIMEOUT (1) to
//   LIRC_GET_MAX_TIMEOUT (16777215) us; the default is 125000. It belongs to
//   the device: every descriptor reads back the last value set on any.
// - LIRC_SET_SEND_CARRIER takes any value (0 too) and cannot be read back: no
//   ioctl returns it. With LIRC_SET_MEASURE_CARRIER_MODE on, the receiver
//   reports it as a LIRC_MODE2_FREQUENCY value before the signal's last
//   pulse; in that mode rc-loopback ends the signal with a second frequency
//   value holding the timeout, and no timeout value. With a receive carrier
//   range set (LIRC_SET_REC_CARRIER_RANGE, then LIRC_SET_REC_CARRIER: the
//   other way round is EINVAL), a signal whose carrier lies outside is
//   dropped silently; a send carrier of 0 is outside the default range 1 to
//   2^32-1, so nothing arrives.
// - LIRC_SET_TRANSMITTER_MASK: two transmitters, bit 1 reaching the normal
//   receiver and bit 2 the wideband one (LIRC_SET_WIDEBAND_RECEIVER). A mask
//   with other bits returns 2, the number of transmitters, and changes
//   nothing; mask 0 is accepted and silences the device. A sender that never
//   sets the mask is received.
// - The device opens any number of times. Every open descriptor receives its
//   own copy of every received value (a sending descriptor too, until its
//   queue is full), so one descriptor can send while another receives.
#include <fcntl.h>
#include <linux/lirc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Values = std::vector<std::uint32_t>;

// A signal that has not started arriving within this long did not come:
// under emulation the kernel's receive thread can lag far behind the write.
constexpr int kWaitMs = 10000;
constexpr std::uint32_t kTimeoutUs = 20000;

int g_passed = 0;
int g_failed = 0;
bool g_brief = false;

void check(bool ok, const char* name, const std::string& detail) {
    (ok ? g_passed : g_failed) += 1;
    if (!ok || !g_brief) std::printf("%s %s: %s\n", ok ? "ok  " : "FAIL", name, detail.c_str());
}

void info(const char* name, const std::string& detail) {
    if (!g_brief) std::printf("     %s: %s\n", name, detail.c_str());
}

int get_u32(int fd, unsigned long request, std::uint32_t& value) { return ::ioctl(fd, request, &value); }

int set_u32(int fd, unsigned long request, std::uint32_t value) { return ::ioctl(fd, request, &value); }

std::string error_text(int result) {
    return result >= 0 ? "accepted" : std::string("refused: ") + std::strerror(errno);
}

std::string join(const Values& values) {
    std::string text;
    for (std::uint32_t value : values) text += (text.empty() ? "" : " ") + std::to_string(value);
    return text;
}

// Mode2 values as text: "p" pulse, "s" space, "t" timeout, "f" frequency,
// "o" overflow, then the value.
std::string describe(const Values& samples) {
    std::string text;
    for (std::uint32_t sample : samples) {
        const char* kind = LIRC_IS_PULSE(sample)       ? "p"
                           : LIRC_IS_SPACE(sample)     ? "s"
                           : LIRC_IS_TIMEOUT(sample)   ? "t"
                           : LIRC_IS_FREQUENCY(sample) ? "f"
                           : LIRC_IS_OVERFLOW(sample)  ? "o"
                                                       : "?";
        text += (text.empty() ? "" : " ") + std::string(kind) + std::to_string(LIRC_VALUE(sample));
    }
    return text;
}

// Reads mode2 values until `done` holds for what arrived, or until nothing
// arrives for kWaitMs.
Values read_until(int fd, const std::function<bool(const Values&)>& done) {
    Values samples;
    while (!done(samples)) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, kWaitMs) <= 0) break;
        std::uint32_t buffer[512];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        samples.insert(samples.end(), buffer, buffer + got / sizeof buffer[0]);
    }
    return samples;
}

bool ends_with_timeout(const Values& samples) { return !samples.empty() && LIRC_IS_TIMEOUT(samples.back()); }

// One signal: everything up to and including its timeout value.
Values read_signal(int fd) { return read_until(fd, ends_with_timeout); }

// Whatever is queued on fd now.
Values drain(int fd) {
    Values samples;
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        std::uint32_t buffer[512];
        if (::poll(&pfd, 1, 0) <= 0) break;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        samples.insert(samples.end(), buffer, buffer + got / sizeof buffer[0]);
    }
    return samples;
}

// The pulses and spaces of a received signal, from its first pulse to its
// last: the leading space (the gap since the previous signal) and the values
// that end it left out.
Values durations_of(const Values& samples) {
    Values durations;
    for (std::uint32_t sample : samples) {
        if (LIRC_IS_PULSE(sample) || (LIRC_IS_SPACE(sample) && !durations.empty())) {
            durations.push_back(LIRC_VALUE(sample));
        }
    }
    if (!durations.empty() && durations.size() % 2 == 0) durations.pop_back();
    return durations;
}

ssize_t send(int fd, const Values& durations) {
    return ::write(fd, durations.data(), durations.size() * sizeof durations[0]);
}

bool sent_whole(ssize_t written, const Values& durations) {
    return written == static_cast<ssize_t>(durations.size() * sizeof durations[0]);
}

// The NEC frame of address 0x04, command 0x08: leader 9000/4500, 32 bits
// (least significant first: address, inverted address, command, inverted
// command) of a 562 pulse and a 562 (0) or 1687 (1) space, a final pulse.
Values nec_frame() {
    const std::uint32_t code = 0x04u | (0xFBu << 8) | (0x08u << 16) | (0xF7u << 24);
    Values frame = {9000, 4500};
    for (int bit = 0; bit < 32; ++bit) {
        frame.push_back(562);
        frame.push_back((code >> bit) & 1u ? 1687 : 562);
    }
    frame.push_back(562);
    return frame;
}

struct Feature {
    std::uint32_t bit;
    const char* name;
};

const Feature kFeatures[] = {
    {LIRC_CAN_SEND_RAW, "SEND_RAW"},
    {LIRC_CAN_SEND_PULSE, "SEND_PULSE"},
    {LIRC_CAN_SEND_MODE2, "SEND_MODE2"},
    {LIRC_CAN_SEND_LIRCCODE, "SEND_LIRCCODE"},
    {LIRC_CAN_SET_SEND_CARRIER, "SET_SEND_CARRIER"},
    {LIRC_CAN_SET_SEND_DUTY_CYCLE, "SET_SEND_DUTY_CYCLE"},
    {LIRC_CAN_SET_TRANSMITTER_MASK, "SET_TRANSMITTER_MASK"},
    {LIRC_CAN_REC_RAW, "REC_RAW"},
    {LIRC_CAN_REC_PULSE, "REC_PULSE"},
    {LIRC_CAN_REC_MODE2, "REC_MODE2"},
    {LIRC_CAN_REC_SCANCODE, "REC_SCANCODE"},
    {LIRC_CAN_REC_LIRCCODE, "REC_LIRCCODE"},
    {LIRC_CAN_SET_REC_CARRIER, "SET_REC_CARRIER"},
    {LIRC_CAN_SET_REC_CARRIER_RANGE, "SET_REC_CARRIER_RANGE"},
    {LIRC_CAN_GET_REC_RESOLUTION, "GET_REC_RESOLUTION"},
    {LIRC_CAN_SET_REC_TIMEOUT, "SET_REC_TIMEOUT"},
    {LIRC_CAN_MEASURE_CARRIER, "MEASURE_CARRIER"},
    {LIRC_CAN_USE_WIDEBAND_RECEIVER, "USE_WIDEBAND_RECEIVER"},
};

struct Device {
    int tx;  // sends (and, being open, receives a copy of everything)
    int rx;  // receives
};

void check_features(const Device& device) {
    std::uint32_t features = 0;
    get_u32(device.tx, LIRC_GET_FEATURES, features);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", features);
    std::string names;
    for (const Feature& feature : kFeatures) {
        if ((features & feature.bit) == feature.bit) names += std::string(" ") + feature.name;
    }
    check((features & LIRC_CAN_SEND_PULSE) && (features & LIRC_CAN_REC_MODE2), "features", hex + names);

    std::uint32_t resolution = 0, timeout = 0;
    const bool got = get_u32(device.rx, LIRC_GET_REC_RESOLUTION, resolution) == 0 &&
                     get_u32(device.rx, LIRC_GET_REC_TIMEOUT, timeout) == 0;
    info("receiver", "resolution " + std::to_string(resolution) + " us, timeout " + std::to_string(timeout) + " us" +
                         (got ? "" : " (not all readable)"));

    const bool modes = set_u32(device.rx, LIRC_SET_REC_MODE, LIRC_MODE_MODE2) == 0 &&
                       set_u32(device.tx, LIRC_SET_SEND_MODE, LIRC_MODE_PULSE) == 0;
    check(modes, "modes", "receive mode2, send pulse");
}

void check_timeouts(const Device& device) {
    std::uint32_t low = 0, high = 0;
    const bool have_range =
        get_u32(device.rx, LIRC_GET_MIN_TIMEOUT, low) == 0 && get_u32(device.rx, LIRC_GET_MAX_TIMEOUT, high) == 0;
    struct Row {
        std::uint32_t value;
        bool taken;
    };
    const Row rows[] = {{low, true}, {high, true}, {low - 1, false}, {high + 1, false}};
    std::string taken;
    bool as_expected = have_range && low > 0 && high < UINT32_MAX;
    for (const Row& row : rows) {
        const bool ok = set_u32(device.rx, LIRC_SET_REC_TIMEOUT, row.value) == 0;
        as_expected = as_expected && ok == row.taken;
        taken += " " + std::to_string(row.value) + (ok ? " yes," : " no,");
    }
    check(as_expected, "receive timeout range",
          std::to_string(low) + " to " + std::to_string(high) + " us; taken:" + taken.substr(0, taken.size() - 1));

    std::uint32_t on_rx = 0, on_tx = 0;
    const bool set = set_u32(device.rx, LIRC_SET_REC_TIMEOUT, kTimeoutUs) == 0;
    get_u32(device.rx, LIRC_GET_REC_TIMEOUT, on_rx);
    get_u32(device.tx, LIRC_GET_REC_TIMEOUT, on_tx);
    check(set && on_rx == kTimeoutUs && on_tx == kTimeoutUs, "receive timeout",
          "set " + std::to_string(kTimeoutUs) + " us on one descriptor, reads back " + std::to_string(on_rx) +
              " there and " + std::to_string(on_tx) + " on the other");
}

void check_nec(const Device& device) {
    const int carrier = set_u32(device.tx, LIRC_SET_SEND_CARRIER, 38000);
    check(carrier == 0, "send carrier", "38000 Hz " + error_text(carrier));

    const Values frame = nec_frame();
    std::uint32_t frame_us = 0;
    for (std::uint32_t duration : frame) frame_us += duration;
    const auto start = std::chrono::steady_clock::now();
    const ssize_t written = send(device.tx, frame);
    const long write_us = static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
    // The kernel sleeps out the signal's time; its clock and ours may differ by
    // a little under emulation.
    check(sent_whole(written, frame) && write_us >= static_cast<long>(frame_us) * 9 / 10, "write",
          std::to_string(frame.size()) + " values, " + std::to_string(frame_us) + " us of signal; write() took " +
              std::to_string(write_us) + " us");

    const Values back = read_signal(device.rx);
    const Values durations = durations_of(back);
    info("sent", join(frame));
    info("received", describe(back));
    long largest = 0;
    for (std::size_t i = 0; i < std::min(durations.size(), frame.size()); ++i) {
        largest = std::max(largest, std::labs(static_cast<long>(durations[i]) - static_cast<long>(frame[i])));
    }
    check(durations.size() == frame.size() && largest == 0, "loopback",
          std::to_string(durations.size()) + " of " + std::to_string(frame.size()) +
              " durations back, largest difference " + std::to_string(largest) + " us");
    check(ends_with_timeout(back) && LIRC_VALUE(back.back()) == kTimeoutUs && back.size() >= 2 &&
              LIRC_IS_PULSE(back[back.size() - 2]),
          "end of signal", "the last pulse, then " + (back.empty() ? "nothing" : describe({back.back()})));

    const Values copy = drain(device.tx);
    check(copy == back, "every descriptor receives",
          "the sending descriptor holds the same " + std::to_string(copy.size()) + " values");

    // The next signal starts with the time since the previous one ended.
    const Values short_signal = {1000, 500, 1000};
    send(device.tx, short_signal);
    const Values next = read_signal(device.rx);
    drain(device.tx);
    check(!next.empty() && LIRC_IS_SPACE(next.front()) && durations_of(next) == short_signal, "gap before a signal",
          describe(next));
}

void check_long_space(const Device& device) {
    // A frame, a 40 ms space, a repeat code: the space ends the signal unless
    // the timeout is longer.
    const Values frame_and_repeat = {9000, 4500, 562, 40000, 9000, 2250, 562};
    send(device.tx, frame_and_repeat);
    const Values split = read_until(device.rx, [](const Values& samples) {
        return std::count_if(samples.begin(), samples.end(), [](std::uint32_t v) { return LIRC_IS_TIMEOUT(v); }) == 2;
    });
    bool split_ok = false;
    for (std::size_t i = 0; i < split.size(); ++i) {
        if (LIRC_IS_TIMEOUT(split[i]) && LIRC_VALUE(split[i]) == 40000 && i > 0 && LIRC_IS_PULSE(split[i - 1])) {
            split_ok = durations_of(Values(split.begin(), split.begin() + i)) == Values{9000, 4500, 562} &&
                       durations_of(Values(split.begin() + i + 1, split.end())) == Values{9000, 2250, 562};
        }
    }
    check(split_ok, "space longer than the timeout", describe(split));

    set_u32(device.rx, LIRC_SET_REC_TIMEOUT, 125000);
    send(device.tx, frame_and_repeat);
    const Values whole = read_signal(device.rx);
    set_u32(device.rx, LIRC_SET_REC_TIMEOUT, kTimeoutUs);
    check(durations_of(whole) == frame_and_repeat, "space shorter than the timeout", describe(whole));
    drain(device.tx);
}

void check_carrier_report(const Device& device) {
    const int on = set_u32(device.rx, LIRC_SET_MEASURE_CARRIER_MODE, 1);
    const Values signal = {3000, 500, 1000};
    // In this mode the signal ends with a value after its second pulse.
    const auto two_pulses_and_one_more = [](const Values& samples) {
        int pulses = 0;
        for (std::uint32_t sample : samples) pulses += LIRC_IS_PULSE(sample) ? 1 : 0;
        return pulses == 2 && !LIRC_IS_PULSE(samples.back());
    };
    std::string seen;
    bool all = on == 0;
    for (std::uint32_t carrier : {38000u, 36000u}) {
        set_u32(device.tx, LIRC_SET_SEND_CARRIER, carrier);
        send(device.tx, signal);
        const Values back = read_until(device.rx, two_pulses_and_one_more);
        all = all && std::find(back.begin(), back.end(), LIRC_FREQUENCY(carrier)) != back.end();
        seen += (seen.empty() ? "" : "; ") + std::to_string(carrier) + " Hz: " + describe(back);
        drain(device.rx);
        drain(device.tx);
    }
    set_u32(device.rx, LIRC_SET_MEASURE_CARRIER_MODE, 0);
    set_u32(device.tx, LIRC_SET_SEND_CARRIER, 38000);
    send(device.tx, signal);
    const Values after = read_signal(device.rx);
    drain(device.tx);
    check(all && durations_of(after) == signal, "carrier report", seen);
}

// Sends `dropped` with the device set up to drop it, undoes that, sends
// `marker`: the first signal to arrive must be the marker.
bool dropped_then_marker(const Device& device, const std::function<void()>& drop, const std::function<void()>& undo,
                         std::string& seen) {
    const Values dropped = {3000, 500, 1000};
    const Values marker = {1500, 500, 1000};
    drop();
    send(device.tx, dropped);
    undo();
    send(device.tx, marker);
    const Values back = read_signal(device.rx);
    drain(device.tx);
    seen = describe(back);
    return durations_of(back) == marker;
}

void check_carrier_range(const Device& device) {
    std::string seen;
    const bool ok = dropped_then_marker(
        device,
        [&] {
            set_u32(device.rx, LIRC_SET_REC_CARRIER_RANGE, 36000);
            set_u32(device.rx, LIRC_SET_REC_CARRIER, 40000);
            set_u32(device.tx, LIRC_SET_SEND_CARRIER, 56000);
        },
        [&] { set_u32(device.tx, LIRC_SET_SEND_CARRIER, 38000); }, seen);
    set_u32(device.rx, LIRC_SET_REC_CARRIER_RANGE, 1);
    set_u32(device.rx, LIRC_SET_REC_CARRIER, UINT32_MAX);
    check(ok, "receive carrier range", "36-40 kHz: 56 kHz dropped, then 38 kHz: " + seen);
}

void check_transmitter_mask(const Device& device) {
    const int too_wide = set_u32(device.tx, LIRC_SET_TRANSMITTER_MASK, 4);
    std::string seen;
    const bool wideband_only = dropped_then_marker(
        device, [&] { set_u32(device.tx, LIRC_SET_TRANSMITTER_MASK, 2); },
        [&] { set_u32(device.rx, LIRC_SET_WIDEBAND_RECEIVER, 1); }, seen);
    set_u32(device.rx, LIRC_SET_WIDEBAND_RECEIVER, 0);
    set_u32(device.tx, LIRC_SET_TRANSMITTER_MASK, 1);
    check(too_wide == 2 && wideband_only, "transmitter mask",
          "mask 4 returns " + std::to_string(too_wide) +
              " (transmitters); mask 2 reaches only the wideband receiver: " + seen);
}

void check_write_limits(const Device& device) {
    Values half_second;  // 19 values, 500 ms in all
    for (int i = 0; i < 9; ++i) half_second.insert(half_second.end(), {31000, 19000});
    half_second.push_back(50000);
    Values too_long = half_second;
    too_long.back() += 1;
    struct Row {
        const char* name;
        Values durations;
        bool taken;
    };
    const Row rows[] = {
        {"an even count", {1000, 500}, false},
        {"a zero duration", {1000, 0, 1000}, false},
        {"no values", {}, false},
        {"1023 values", Values(1023, 100), true},
        {"1025 values", Values(1025, 100), false},
        {"500 ms", half_second, true},
        {"500 ms and 1 us", too_long, false},
    };
    // Mask 0 silences the device: write() still checks and takes the time of
    // the signal, and the receive queues stay clear (a write of more than 512
    // values would overrun them).
    set_u32(device.tx, LIRC_SET_TRANSMITTER_MASK, 0);
    std::string seen;
    bool all = true;
    for (const Row& row : rows) {
        const ssize_t written = send(device.tx, row.durations);
        const bool taken = sent_whole(written, row.durations);
        const bool ok = row.taken ? taken : written < 0 && errno == EINVAL;
        all = all && ok;
        seen += std::string(seen.empty() ? "" : ", ") + row.name + (taken ? " taken" : " refused") + (ok ? "" : " (!)");
    }
    set_u32(device.tx, LIRC_SET_TRANSMITTER_MASK, 1);
    const Values marker = {1500, 500, 1000};
    send(device.tx, marker);
    const Values back = read_signal(device.rx);
    drain(device.tx);
    check(all && durations_of(back) == marker, "write limits", seen + "; then " + describe(back));
}

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--brief") == 0) {
        g_brief = true;
        ++arg;
    }
    const char* path = arg < argc ? argv[arg] : "/dev/lirc0";
    const int tx = ::open(path, O_RDWR | O_CLOEXEC);
    if (tx < 0) {
        std::printf("FAIL open: %s: %s\nlirc_loopback: 0 passed, 1 failed\n", path, std::strerror(errno));
        return 1;
    }
    const int rx = ::open(path, O_RDONLY | O_CLOEXEC);
    check(rx >= 0, "two opens", rx >= 0 ? "one descriptor sends, another receives" : std::strerror(errno));
    if (rx < 0) {
        std::printf("lirc_loopback: %d passed, %d failed\n", g_passed, g_failed);
        return 1;
    }
    const Device device{tx, rx};
    check_features(device);
    check_timeouts(device);
    check_nec(device);
    check_long_space(device);
    check_carrier_report(device);
    check_carrier_range(device);
    check_transmitter_mask(device);
    check_write_limits(device);
    std::printf("lirc_loopback: %d passed, %d failed\n", g_passed, g_failed);
    ::close(rx);
    ::close(tx);
    return g_failed == 0 ? 0 : 1;
}
