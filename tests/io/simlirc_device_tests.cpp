// The simulated IR device as a LIRC device: the mode2 values its receiver
// delivers for what was sent and for its remote, what its ioctls answer, and
// the log of the signals sent.
#include "io/env_util.h"
#include "io/io_api.h"
#include "io/simlirc.h"
#include "tests/io/fake_lirc_device.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace iotest {
namespace {

using qev::io::SimLircDevice;
using qev::io::Waveform;

constexpr int kFd = 3;
constexpr std::int64_t kMs = 1'000'000;

// Unsets every variable the simulated IR device reads.
void ClearIoEnvironment() {
    for (const char* name : {"IO_SIM_REMOTE", "IO_SIM_REMOTE_REPEATS", "IO_SIM_REMOTE_DELAY_MS", "IO_SIM_LOOPBACK",
                             "IO_SIM_TXLOG", "IO_SIM_TXLOG_CAPACITY", "IO_SIMLIRC_FEATURES"}) {
        unsetenv(name);
    }
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Everything the receiver holds now.
std::vector<std::uint32_t> ReadAllNow(SimLircDevice& device) {
    std::vector<std::uint32_t> values;
    std::uint32_t buffer[64];
    for (long got; (got = device.read(kFd, buffer, 64)) > 0;) values.insert(values.end(), buffer, buffer + got);
    return values;
}

std::string Describe(const std::vector<std::uint32_t>& values) {
    std::string text;
    for (const std::uint32_t v : values) {
        const std::uint32_t us = LIRC_VALUE(v);
        switch (LIRC_MODE2(v)) {
            case LIRC_MODE2_PULSE:
                text += " P" + std::to_string(us);
                break;
            case LIRC_MODE2_SPACE:
                text += " S" + std::to_string(us);
                break;
            case LIRC_MODE2_TIMEOUT:
                text += " T" + std::to_string(us);
                break;
            default:
                text += " ?" + std::to_string(v);
        }
    }
    return text;
}

class SimLircTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearIoEnvironment();
        configured_ns = qev::io::monotonic_ns();
        device.configure_from_env();
        device.set_auto(false);
    }
    void TearDown() override { ClearIoEnvironment(); }

    void SetTimeout(std::uint32_t us) {
        std::uint32_t value = us;
        ASSERT_EQ(device.ioctl(kFd, LIRC_SET_REC_TIMEOUT, &value), 0);
    }

    SimLircDevice device;
    std::int64_t configured_ns = 0;  // just before the device was set up
};

// ---- what a send loops back --------------------------------------------------------

struct LoopRow {
    const char* name;
    std::vector<std::uint32_t> sent;
    std::uint32_t timeout_us;
    std::string received;  // after the gap space
};

void PrintTo(const LoopRow& row, std::ostream* out) { *out << row.name; }

class SimLirc_Loopback : public SimLircTest, public ::testing::WithParamInterface<LoopRow> {};

TEST_P(SimLirc_Loopback, Delivers_What_Was_Sent_As_Rc_Loopback_Does) {
    const LoopRow& row = GetParam();
    SetTimeout(row.timeout_us);
    ASSERT_EQ(device.write(kFd, row.sent.data(), row.sent.size()), static_cast<long>(row.sent.size()));
    const std::int64_t sent = qev::io::monotonic_ns();
    const std::vector<std::uint32_t> values = ReadAllNow(device);
    ASSERT_FALSE(values.empty());
    // First the gap since the device was set up, as rc-core puts before the
    // first pulse after a timeout.
    EXPECT_EQ(LIRC_MODE2(values[0]), static_cast<std::uint32_t>(LIRC_MODE2_SPACE)) << Describe(values);
    EXPECT_LE(LIRC_VALUE(values[0]), static_cast<std::uint32_t>((sent - configured_ns) / 1000));
    EXPECT_EQ(Describe({values.begin() + 1, values.end()}), row.received);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, SimLirc_Loopback,
    ::testing::Values(LoopRow{"marks_and_spaces", {9000, 4500, 560}, 20'000, " P9000 S4500 P560 T20000"},
                      LoopRow{"one_mark", {560}, 125'000, " P560 T125000"},
                      LoopRow{"a_space_as_long_as_the_timeout_is_a_timeout_report",
                              {500, 20'000, 600},
                              20'000,
                              " P500 T20000 S0 P600 T20000"},
                      LoopRow{
                          "a_space_longer_than_the_timeout", {500, 30'000, 600}, 20'000, " P500 T30000 S0 P600 T20000"},
                      LoopRow{"durations_past_24_bits_are_cut_to_the_largest_value",
                              {0x1000000, 500, 600},
                              20'000,
                              " P16777215 S500 P600 T20000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimLircTest, The_Gap_Before_A_Signal_Is_The_Time_Since_The_Last_Timeout) {
    const std::uint32_t first[] = {500};
    const std::int64_t before = qev::io::monotonic_ns();
    ASSERT_EQ(device.write(kFd, first, 1), 1);
    ReadAllNow(device);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));  // the gap to measure, not a wait for an event
    ASSERT_EQ(device.write(kFd, first, 1), 1);
    const std::int64_t after = qev::io::monotonic_ns();
    const std::vector<std::uint32_t> values = ReadAllNow(device);
    ASSERT_EQ(values.size(), 3u) << Describe(values);
    EXPECT_EQ(LIRC_MODE2(values[0]), static_cast<std::uint32_t>(LIRC_MODE2_SPACE));
    EXPECT_GE(LIRC_VALUE(values[0]), 3000u);
    EXPECT_LE(LIRC_VALUE(values[0]), static_cast<std::uint32_t>((after - before) / 1000));
}

TEST_F(SimLircTest, Nothing_Reaches_The_Receiver_With_Loopback_Off) {
    device.set_loopback(false);
    const std::uint32_t signal[] = {500, 500, 500};
    ASSERT_EQ(device.write(kFd, signal, 3), 3);
    std::uint32_t buffer[4];
    EXPECT_EQ(device.read(kFd, buffer, 4), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(device.signal_count(), 1) << "recorded all the same";
}

// ---- the device's answers ----------------------------------------------------------

struct IoctlRow {
    const char* name;
    int features;  // IO_SIGNAL_*
    unsigned long request;
    std::uint32_t value;
    int result;  // 0, or the errno of a refusal
    std::uint32_t answer = 0;
};

void PrintTo(const IoctlRow& row, std::ostream* out) { *out << row.name; }

class SimLirc_Ioctl : public SimLircTest, public ::testing::WithParamInterface<IoctlRow> {};

TEST_P(SimLirc_Ioctl, Answers_As_Rc_Core_Does) {
    const IoctlRow& row = GetParam();
    ASSERT_TRUE(device.set_features(row.features));
    std::uint32_t value = row.value;
    errno = 0;
    const int result = device.ioctl(kFd, row.request, &value);
    if (row.result == 0) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(value, row.answer);
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(errno, row.result);
    }
}

constexpr int kAll = IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER;

INSTANTIATE_TEST_SUITE_P(
    Requests, SimLirc_Ioctl,
    ::testing::Values(
        IoctlRow{"features_all", kAll, LIRC_GET_FEATURES, 0, 0,
                 LIRC_CAN_SEND_PULSE | LIRC_CAN_SET_SEND_CARRIER | LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT},
        IoctlRow{"features_receiver", IO_SIGNAL_RECEIVE, LIRC_GET_FEATURES, 0, 0,
                 LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT},
        IoctlRow{"features_transmitter", IO_SIGNAL_SEND, LIRC_GET_FEATURES, 0, 0, LIRC_CAN_SEND_PULSE},
        IoctlRow{"pulse_mode", kAll, LIRC_SET_SEND_MODE, LIRC_MODE_PULSE, 0, LIRC_MODE_PULSE},
        IoctlRow{"send_mode_other_than_pulse", kAll, LIRC_SET_SEND_MODE, LIRC_MODE_SCANCODE, EINVAL},
        IoctlRow{"send_mode_without_transmitter", IO_SIGNAL_RECEIVE, LIRC_SET_SEND_MODE, LIRC_MODE_PULSE, ENOTTY},
        IoctlRow{"mode2", kAll, LIRC_SET_REC_MODE, LIRC_MODE_MODE2, 0, LIRC_MODE_MODE2},
        IoctlRow{"receive_mode_without_receiver", IO_SIGNAL_SEND, LIRC_SET_REC_MODE, LIRC_MODE_MODE2, ENOTTY},
        IoctlRow{"carrier", kAll, LIRC_SET_SEND_CARRIER, 36'000, 0, 36'000},
        IoctlRow{"carrier_0", kAll, LIRC_SET_SEND_CARRIER, 0, EINVAL},
        IoctlRow{"carrier_it_cannot_set", IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE, LIRC_SET_SEND_CARRIER, 36'000, ENOTTY},
        IoctlRow{"smallest_timeout", kAll, LIRC_GET_MIN_TIMEOUT, 0, 0, 1},
        IoctlRow{"largest_timeout", kAll, LIRC_GET_MAX_TIMEOUT, 0, 0, 0xFFFFFF},
        IoctlRow{"timeout_at_first", kAll, LIRC_GET_REC_TIMEOUT, 0, 0, 125'000},
        IoctlRow{"timeout_set", kAll, LIRC_SET_REC_TIMEOUT, 20'000, 0, 20'000},
        IoctlRow{"timeout_0", kAll, LIRC_SET_REC_TIMEOUT, 0, EINVAL},
        IoctlRow{"timeout_past_24_bits", kAll, LIRC_SET_REC_TIMEOUT, 0x1000000, EINVAL},
        IoctlRow{"timeout_without_receiver", IO_SIGNAL_SEND, LIRC_SET_REC_TIMEOUT, 20'000, ENOTTY},
        IoctlRow{"unknown_request", kAll, LIRC_GET_REC_RESOLUTION, 0, ENOTTY}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteRefusalRow {
    const char* name;
    int features;
    std::vector<std::uint32_t> values;
};

void PrintTo(const WriteRefusalRow& row, std::ostream* out) { *out << row.name; }

class SimLirc_Write_Refusal : public SimLircTest, public ::testing::WithParamInterface<WriteRefusalRow> {};

TEST_P(SimLirc_Write_Refusal, Is_EINVAL_And_Records_Nothing) {
    const WriteRefusalRow& row = GetParam();
    ASSERT_TRUE(device.set_features(row.features));
    errno = 0;
    EXPECT_EQ(device.write(kFd, row.values.data(), row.values.size()), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(device.signal_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Writes, SimLirc_Write_Refusal,
                         ::testing::Values(WriteRefusalRow{"no_transmitter", IO_SIGNAL_RECEIVE, {500}},
                                           WriteRefusalRow{"even_count", kAll, {500, 500}},
                                           WriteRefusalRow{"a_duration_of_0", kAll, {500, 0, 500}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimLircTest, Refuses_Features_No_Device_Has) {
    EXPECT_FALSE(device.set_features(0));
    EXPECT_FALSE(device.set_features(IO_SIGNAL_CARRIER));
    EXPECT_FALSE(device.set_features(IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER));
    EXPECT_FALSE(device.set_features(8 | IO_SIGNAL_SEND));
    std::uint32_t features = 0;
    ASSERT_EQ(device.ioctl(kFd, LIRC_GET_FEATURES, &features), 0);
    EXPECT_EQ(features, LIRC_CAN_SEND_PULSE | LIRC_CAN_SET_SEND_CARRIER | LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT)
        << "unchanged";
}

// ---- the log of signals sent --------------------------------------------------------

TEST_F(SimLircTest, Records_Each_Signal_With_The_Carrier_In_Force_And_Its_Time) {
    const std::uint32_t first[] = {9000, 4500, 560};
    const std::uint32_t second[] = {560};
    const std::int64_t before = qev::io::monotonic_ns();
    ASSERT_EQ(device.write(kFd, first, 3), 3);
    std::uint32_t carrier = 36'000;
    ASSERT_EQ(device.ioctl(kFd, LIRC_SET_SEND_CARRIER, &carrier), 0);
    ASSERT_EQ(device.write(kFd, second, 1), 1);
    const std::int64_t after = qev::io::monotonic_ns();

    ASSERT_EQ(device.signal_count(), 2);
    struct Expected {
        unsigned carrier;
        std::vector<unsigned> durations;
    };
    const Expected expected[] = {{38'000, {9000, 4500, 560}}, {36'000, {560}}};
    long long previous = before;
    for (int i = 0; i < 2; ++i) {
        long long t = 0;
        unsigned hz = 0;
        unsigned durations[8] = {};
        const int count = device.signal(i, &t, &hz, durations, 8);
        ASSERT_EQ(count, static_cast<int>(expected[i].durations.size())) << "signal " << i;
        EXPECT_EQ(std::vector<unsigned>(durations, durations + count), expected[i].durations);
        EXPECT_EQ(hz, expected[i].carrier);
        EXPECT_GE(t, previous);
        EXPECT_LE(t, after);
        previous = t;
    }
    unsigned one = 0;
    EXPECT_EQ(device.signal(0, nullptr, nullptr, &one, 1), 3) << "the count, whatever the room";
    EXPECT_EQ(one, 9000u);
    EXPECT_EQ(device.signal(2, nullptr, nullptr, nullptr, 0), 0) << "not sent yet";
    device.clear_signals();
    EXPECT_EQ(device.signal_count(), 0);
    EXPECT_EQ(device.signal(0, nullptr, nullptr, nullptr, 0), 0);
}

TEST_F(SimLircTest, Keeps_The_Newest_Signals_And_Writes_Each_To_The_Log_File) {
    qev::test::TTemp_Dir dir;
    const std::string path = dir.File("signals.log");
    std::ofstream(path) << "stale\n";
    setenv("IO_SIM_TXLOG", path.c_str(), 1);
    setenv("IO_SIM_TXLOG_CAPACITY", "2", 1);
    device.configure_from_env();
    const std::uint32_t signals[3][3] = {{100, 200, 300}, {400, 500, 600}, {700, 800, 900}};
    for (const auto& signal : signals) ASSERT_EQ(device.write(kFd, signal, 3), 3);

    EXPECT_EQ(device.signal_count(), 3);
    EXPECT_EQ(device.signal(0, nullptr, nullptr, nullptr, 0), 0) << "overwritten";
    long long t1 = 0;
    long long t2 = 0;
    EXPECT_EQ(device.signal(1, &t1, nullptr, nullptr, 0), 3);
    EXPECT_EQ(device.signal(2, &t2, nullptr, nullptr, 0), 3);

    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 3u) << "every signal, the file truncated first";
    EXPECT_EQ(lines[0].substr(lines[0].find(' ')), " 38000 100 200 300");
    EXPECT_EQ(lines[1], std::to_string(t1) + " 38000 400 500 600");
    EXPECT_EQ(lines[2], std::to_string(t2) + " 38000 700 800 900");
}

// ---- the remote ---------------------------------------------------------------------

// Reads until `timeouts` timeout reports have arrived after a pulse (or 5 s
// pass), noting for each value when it was read.
struct Timed {
    std::uint32_t value;
    std::int64_t read_ns;
};
std::vector<Timed> ReadSignal(SimLircDevice& device, int timeouts) {
    std::vector<Timed> values;
    bool pulse_seen = false;
    const std::int64_t give_up = qev::io::monotonic_ns() + 5'000 * kMs;
    while (qev::io::monotonic_ns() < give_up) {
        if (device.poll(kFd, 100 * kMs) <= 0) continue;
        std::uint32_t buffer[64];
        const long got = device.read(kFd, buffer, 64);
        const std::int64_t now = qev::io::monotonic_ns();
        for (long i = 0; i < got; ++i) {
            values.push_back({buffer[i], now});
            pulse_seen = pulse_seen || LIRC_IS_PULSE(buffer[i]);
            if (pulse_seen && LIRC_IS_TIMEOUT(buffer[i]) && --timeouts == 0) return values;
        }
    }
    return values;
}

struct RemoteRow {
    const char* name;
    std::vector<unsigned char> cells;  // 125 us each
    std::uint32_t timeout_us;
    std::string received;                // after the gap space
    std::vector<std::int64_t> edges_us;  // when each value after the gap may arrive at the earliest
};

void PrintTo(const RemoteRow& row, std::ostream* out) { *out << row.name; }

class SimLirc_Remote : public SimLircTest, public ::testing::WithParamInterface<RemoteRow> {};

TEST_P(SimLirc_Remote, Plays_Into_The_Receiver_Edge_By_Edge) {
    const RemoteRow& row = GetParam();
    SetTimeout(row.timeout_us);
    device.set_waveform(Waveform::from_cells(row.cells.data(), row.cells.size()));
    device.set_delay_ns(2 * kMs);
    device.set_auto(true);
    device.receive_begins();
    const std::int64_t start = device.last_start_ns();
    ASSERT_GT(start, 0);
    int timeouts = 0;
    for (std::size_t at = 0; (at = row.received.find(" T", at)) != std::string::npos; ++at) ++timeouts;
    const std::vector<Timed> values = ReadSignal(device, timeouts);
    device.receive_ends();

    ASSERT_FALSE(values.empty());
    std::vector<std::uint32_t> plain;
    for (const Timed& v : values) plain.push_back(v.value);
    EXPECT_EQ(LIRC_MODE2(plain[0]), static_cast<std::uint32_t>(LIRC_MODE2_SPACE)) << Describe(plain);
    EXPECT_EQ(Describe({plain.begin() + 1, plain.end()}), row.received);
    ASSERT_EQ(values.size(), row.edges_us.size() + 1);
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_GE(values[i].read_ns, start + row.edges_us[i - 1] * 1000) << "value " << i << " came early";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Waveforms, SimLirc_Remote,
    ::testing::Values(
        // Mark 2 cells, space 3, mark 1: the pulse when it ends, the space when the next pulse begins.
        RemoteRow{"marks_and_spaces", {1, 1, 0, 0, 0, 1}, 10'000, " P250 S375 P125 T10000", {250, 625, 750, 10'750}},
        // A space longer than the timeout: the report once the timeout has passed, then the
        // rest of the space with the pulse after it.
        RemoteRow{"a_space_longer_than_the_timeout",
                  [] {
                      std::vector<unsigned char> cells(203, 0);
                      cells[0] = cells[1] = cells[202] = 1;
                      return cells;
                  }(),
                  10'000,
                  " P250 T10000 S15000 P125 T10000",
                  {250, 10'250, 25'375, 25'375, 35'375}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimLircTest, A_Send_Keeps_The_Pending_Remote_Silent) {
    const std::vector<unsigned char> cells = {1, 1, 0, 1};
    device.set_waveform(Waveform::from_cells(cells.data(), cells.size()));
    device.set_delay_ns(50 * kMs);
    device.set_auto(true);
    device.receive_begins();
    ASSERT_GT(device.last_start_ns(), 0);
    const std::uint32_t signal[] = {700};
    ASSERT_EQ(device.write(kFd, signal, 1), 1);
    EXPECT_EQ(device.last_start_ns(), -1) << "the remote's signal never started";
    const std::vector<Timed> values = ReadSignal(device, 1);
    std::vector<std::uint32_t> plain;
    for (const Timed& v : values) plain.push_back(v.value);
    EXPECT_EQ(Describe({plain.begin() + 1, plain.end()}), " P700 T125000");
    EXPECT_EQ(device.poll(kFd, 150 * kMs), 0) << "nothing more: the remote stays silent";
    device.receive_ends();
}

TEST_F(SimLircTest, Plays_Only_When_Silent_And_Only_For_A_Waiting_Receive) {
    const std::vector<unsigned char> cells = {1, 0, 1};
    device.set_waveform(Waveform::from_cells(cells.data(), cells.size()));
    device.set_delay_ns(1'000 * kMs);
    EXPECT_EQ(device.last_start_ns(), -1);
    device.receive_begins();
    EXPECT_EQ(device.last_start_ns(), -1) << "automatic playing is off";
    device.receive_ends();
    device.set_auto(true);
    device.receive_begins();
    const std::int64_t first = device.last_start_ns();
    EXPECT_GT(first, 0);
    EXPECT_EQ(device.waiting(), 1);
    device.receive_ends();
    device.receive_begins();
    EXPECT_EQ(device.last_start_ns(), first) << "one play at a time";
    device.receive_ends();
    EXPECT_EQ(device.waiting(), 0);
    device.set_waveform(Waveform());
    EXPECT_EQ(device.last_start_ns(), -1) << "a new waveform drops the pending play";
    EXPECT_EQ(device.duration_ns(), 0);
}

TEST_F(SimLircTest, A_Trigger_Moves_A_Pending_Play_And_Plays_Once) {
    const std::vector<unsigned char> cells = {1, 1, 0, 1};
    device.set_waveform(Waveform::from_cells(cells.data(), cells.size()));
    device.set_delay_ns(20 * kMs);
    const std::int64_t before = qev::io::monotonic_ns();
    device.trigger();
    const std::int64_t first = device.last_start_ns();
    EXPECT_GE(first, before + 20 * kMs);
    device.trigger();
    const std::int64_t second = device.last_start_ns();
    EXPECT_GE(second, first);
    const std::vector<Timed> values = ReadSignal(device, 1);
    std::vector<std::uint32_t> plain;
    for (const Timed& v : values) plain.push_back(v.value);
    EXPECT_EQ(Describe({plain.begin() + 1, plain.end()}), " P250 S125 P125 T125000");
    ASSERT_FALSE(values.empty());
    EXPECT_GE(values[1].read_ns, second + 250 * 1000) << "played from the moved start";
    EXPECT_EQ(device.poll(kFd, 50 * kMs), 0) << "played once";
}

}  // namespace
}  // namespace iotest
