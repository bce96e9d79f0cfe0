// The kernel IR backend against a scripted LIRC device with its own clock:
// what it makes of the device's features, what it writes when it sends, and
// what it takes from the mode2 values a receiver delivers.
#include "io/io_api.h"
#include "io/lirc_backend.h"
#include "tests/io/fake_lirc_device.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <numeric>

namespace iotest {
namespace {

using qev::io::DeviceFailure;
using qev::io::LircBackend;

constexpr const char* kDevice = "/dev/lirc9";
constexpr std::uint32_t kEverything =
    LIRC_CAN_SEND_PULSE | LIRC_CAN_SET_SEND_CARRIER | LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT;

std::string Errno(int err) { return std::strerror(err); }

// ---- opening: features, modes, refusals --------------------------------------

struct StartRow {
    const char* name;
    std::uint32_t features;
    int signal_features;                          // -1: the device is refused
    std::vector<unsigned long> modes_asked = {};  // LIRC_SET_SEND_MODE, LIRC_SET_REC_MODE
    std::string reason = "";                      // after "<device>: "
    std::string detail = "";
    std::map<unsigned long, int> refuse = {};
    int open_errno = 0;
};

void PrintTo(const StartRow& row, std::ostream* out) { *out << row.name; }

class Lirc_Start : public ::testing::TestWithParam<StartRow> {};

TEST_P(Lirc_Start, Maps_The_Features_Or_Says_Why_Not) {
    const StartRow& row = GetParam();
    FakeLircDevice device;
    device.features = row.features;
    device.refuse = row.refuse;
    device.open_errno = row.open_errno;
    LircBackend backend;
    DeviceFailure failure;
    const bool started = backend.start(&device, kDevice, kDevice, &failure);

    if (row.signal_features >= 0) {
        ASSERT_TRUE(started) << failure.reason << " (" << failure.detail << ")";
        EXPECT_EQ(backend.features(), row.signal_features);
        EXPECT_EQ(device.closes, 0);
    } else {
        ASSERT_FALSE(started);
        EXPECT_EQ(failure.reason, std::string(kDevice) + ": " + row.reason);
        EXPECT_EQ(failure.detail, row.detail);
        EXPECT_EQ(failure.device_missing, row.open_errno == ENOENT);
        EXPECT_EQ(backend.features(), 0);
        EXPECT_EQ(device.closes, row.open_errno == 0 ? 1 : 0) << "an opened device is closed again";
    }
    std::vector<unsigned long> modes;
    for (const auto& call : device.ioctls) {
        if (call.request == LIRC_SET_SEND_MODE) {
            EXPECT_EQ(call.value, static_cast<std::uint32_t>(LIRC_MODE_PULSE));
            modes.push_back(call.request);
        }
        if (call.request == LIRC_SET_REC_MODE) {
            EXPECT_EQ(call.value, static_cast<std::uint32_t>(LIRC_MODE_MODE2));
            modes.push_back(call.request);
        }
    }
    EXPECT_EQ(modes, row.modes_asked);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Lirc_Start,
    ::testing::Values(
        StartRow{"sends_receives_and_sets_the_carrier",
                 kEverything,
                 IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER,
                 {LIRC_SET_SEND_MODE, LIRC_SET_REC_MODE}},
        StartRow{
            "receiver_only", LIRC_CAN_REC_MODE2 | LIRC_CAN_SET_REC_TIMEOUT, IO_SIGNAL_RECEIVE, {LIRC_SET_REC_MODE}},
        StartRow{"transmitter_without_a_carrier_setting", LIRC_CAN_SEND_PULSE, IO_SIGNAL_SEND, {LIRC_SET_SEND_MODE}},
        StartRow{"transmitter_that_sets_its_carrier",
                 LIRC_CAN_SEND_PULSE | LIRC_CAN_SET_SEND_CARRIER,
                 IO_SIGNAL_SEND | IO_SIGNAL_CARRIER,
                 {LIRC_SET_SEND_MODE}},
        StartRow{"receiver_with_a_stray_carrier_flag",
                 LIRC_CAN_SET_SEND_CARRIER | LIRC_CAN_REC_MODE2,
                 IO_SIGNAL_RECEIVE,
                 {LIRC_SET_REC_MODE}},
        StartRow{"scancode_receiver",
                 LIRC_CAN_REC_SCANCODE,
                 -1,
                 {},
                 "neither sends nor receives pulses and spaces",
                 "features 0x00080000: neither LIRC_CAN_SEND_PULSE nor LIRC_CAN_REC_MODE2"},
        StartRow{"not_a_lirc_device",
                 kEverything,
                 -1,
                 {},
                 "not a LIRC device",
                 "LIRC_GET_FEATURES: " + Errno(ENOTTY),
                 {{LIRC_GET_FEATURES, ENOTTY}}},
        StartRow{"features_unreadable",
                 kEverything,
                 -1,
                 {},
                 "cannot read its features",
                 "LIRC_GET_FEATURES: " + Errno(EIO),
                 {{LIRC_GET_FEATURES, EIO}}},
        StartRow{"pulse_mode_refused",
                 kEverything,
                 -1,
                 {LIRC_SET_SEND_MODE},
                 "cannot send pulses and spaces",
                 "LIRC_SET_SEND_MODE: " + Errno(EINVAL),
                 {{LIRC_SET_SEND_MODE, EINVAL}}},
        StartRow{"mode2_refused",
                 kEverything,
                 -1,
                 {LIRC_SET_SEND_MODE, LIRC_SET_REC_MODE},
                 "cannot receive pulses and spaces",
                 "LIRC_SET_REC_MODE: " + Errno(EINVAL),
                 {{LIRC_SET_REC_MODE, EINVAL}}},
        StartRow{"missing", kEverything, -1, {}, Errno(ENOENT), "", {}, ENOENT},
        StartRow{"no_driver_behind_it",
                 kEverything,
                 -1,
                 {},
                 Errno(ENXIO),
                 "no driver behind it: is the IR device plugged in and its driver loaded?",
                 {},
                 ENXIO},
        StartRow{
            "held_by_another", kEverything, -1, {}, Errno(EBUSY), "another program or driver holds it", {}, EBUSY}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the receive timeout -------------------------------------------------------

struct TimeoutRow {
    const char* name;
    std::uint32_t features;
    std::uint32_t min_us;
    std::uint32_t max_us;
    std::vector<unsigned> end_gaps_us;  // one receive each
    std::vector<std::uint32_t> set;     // LIRC_SET_REC_TIMEOUT values while receiving
    std::vector<std::uint32_t> set_at_stop;
};

void PrintTo(const TimeoutRow& row, std::ostream* out) { *out << row.name; }

class Lirc_Receive_Timeout : public ::testing::TestWithParam<TimeoutRow> {};

TEST_P(Lirc_Receive_Timeout, Is_The_End_Gap_Within_The_Device_s_Range_And_Put_Back_At_Stop) {
    const TimeoutRow& row = GetParam();
    FakeLircDevice device;
    device.features = row.features;
    device.min_timeout_us = row.min_us;
    device.max_timeout_us = row.max_us;
    device.rec_timeout_us = 125'000;
    LircBackend backend;
    DeviceFailure failure;
    ASSERT_TRUE(backend.start(&device, kDevice, kDevice, &failure)) << failure.reason;
    unsigned out[8];
    for (const unsigned gap : row.end_gaps_us) ASSERT_EQ(backend.receive(out, 8, 0, gap, 1'000'000), 0);
    EXPECT_EQ(device.IoctlValues(LIRC_SET_REC_TIMEOUT), row.set);
    device.ioctls.clear();
    backend.stop();
    EXPECT_EQ(device.IoctlValues(LIRC_SET_REC_TIMEOUT), row.set_at_stop);
    EXPECT_EQ(device.closes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, Lirc_Receive_Timeout,
    ::testing::Values(
        TimeoutRow{"within_the_range", kEverything, 50, 1'000'000, {30'000}, {30'000}, {125'000}},
        TimeoutRow{"below_the_smallest", kEverything, 50'000, 1'000'000, {30'000}, {50'000}, {125'000}},
        TimeoutRow{"above_the_largest", kEverything, 50, 20'000, {30'000}, {20'000}, {125'000}},
        TimeoutRow{"set_once_for_the_same_gap", kEverything, 50, 1'000'000, {30'000, 30'000}, {30'000}, {125'000}},
        TimeoutRow{"already_in_force", kEverything, 50, 1'000'000, {125'000}, {}, {}},
        TimeoutRow{"device_that_cannot_set_it", LIRC_CAN_REC_MODE2, 50, 1'000'000, {30'000}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- sending ---------------------------------------------------------------------

struct SendRow {
    const char* name;
    std::vector<unsigned> durations;
    unsigned carrier_hz;
    int result;
    std::vector<std::vector<std::uint32_t>> writes;  // what reached the device
    std::vector<std::uint32_t> carriers = {};        // LIRC_SET_SEND_CARRIER values
    std::string error = "";
    std::function<void(FakeLircDevice&)> setup = nullptr;
    int count = -1;  // passed instead of durations.size() when >= 0
};

void PrintTo(const SendRow& row, std::ostream* out) { *out << row.name; }

class Lirc_Send : public ::testing::TestWithParam<SendRow> {};

TEST_P(Lirc_Send, Writes_The_Durations_With_The_Carrier_Asked_For) {
    const SendRow& row = GetParam();
    FakeLircDevice device;
    if (row.setup) row.setup(device);
    LircBackend backend;
    DeviceFailure failure;
    ASSERT_TRUE(backend.start(&device, kDevice, kDevice, &failure)) << failure.reason;
    device.ioctls.clear();

    const int count = row.count >= 0 ? row.count : static_cast<int>(row.durations.size());
    EXPECT_EQ(backend.send(row.durations.data(), count, row.carrier_hz), row.result);
    std::vector<std::vector<std::uint32_t>> writes;
    for (const auto& write : device.writes) writes.push_back(write.values);
    EXPECT_EQ(writes, row.writes);
    EXPECT_EQ(device.IoctlValues(LIRC_SET_SEND_CARRIER), row.carriers);
    if (row.result != 0) {
        EXPECT_EQ(std::string(LircBackend::error()), row.error);
    }
}

const std::vector<unsigned> kShort = {9000, 4500, 560, 1690, 560};

INSTANTIATE_TEST_SUITE_P(
    Signals, Lirc_Send,
    ::testing::Values(
        SendRow{"durations_go_out_as_they_are", kShort, 38'000, 0, {{9000, 4500, 560, 1690, 560}}, {38'000}},
        SendRow{"carrier_0_leaves_the_device_s", kShort, 0, 0, {{9000, 4500, 560, 1690, 560}}, {}},
        SendRow{"device_without_a_carrier_setting_sends_with_its_own",
                kShort,
                38'000,
                0,
                {{9000, 4500, 560, 1690, 560}},
                {},
                "",
                [](FakeLircDevice& d) { d.features = LIRC_CAN_SEND_PULSE | LIRC_CAN_REC_MODE2; }},
        SendRow{"one_mark", {560}, 38'000, 0, {{560}}, {38'000}},
        SendRow{"no_transmitter",
                kShort,
                38'000,
                -1,
                {},
                {},
                "/dev/lirc9: the device has no transmitter",
                [](FakeLircDevice& d) { d.features = LIRC_CAN_REC_MODE2; }},
        SendRow{"carrier_refused",
                kShort,
                455'000,
                -1,
                {},
                {455'000},
                "/dev/lirc9: the device refused a carrier of 455000 Hz (LIRC_SET_SEND_CARRIER: " + Errno(EINVAL) + ")",
                [](FakeLircDevice& d) { d.refuse[LIRC_SET_SEND_CARRIER] = EINVAL; }},
        SendRow{"even_count",
                {500, 500},
                38'000,
                -1,
                {},
                {},
                "IoSignalSend: a signal is an odd count of 1 to 65536 durations, not 2"},
        SendRow{"no_durations",
                {500},
                38'000,
                -1,
                {},
                {},
                "IoSignalSend: a signal is an odd count of 1 to 65536 durations, not 0",
                nullptr,
                0},
        SendRow{"more_than_the_most",
                {500},
                38'000,
                -1,
                {},
                {},
                "IoSignalSend: a signal is an odd count of 1 to 65536 durations, not 65537",
                nullptr,
                65537},
        SendRow{"a_duration_of_0", {500, 0, 500}, 38'000, -1, {}, {}, "IoSignalSend: duration 2 of 3 is 0 µs"},
        SendRow{"write_refused",
                kShort,
                0,
                -1,
                {},
                {},
                "/dev/lirc9: the device refused the signal (write: " + Errno(EINVAL) + ")",
                [](FakeLircDevice& d) { d.write_errno = EINVAL; }},
        SendRow{"device_gone",
                kShort,
                0,
                -1,
                {},
                {},
                "/dev/lirc9: write: " + Errno(ENODEV),
                [](FakeLircDevice& d) { d.write_errno = ENODEV; }},
        SendRow{"part_taken",
                kShort,
                0,
                -1,
                {{9000, 4500}},
                {},
                "/dev/lirc9: the device took only 2 of 5 durations",
                [](FakeLircDevice& d) { d.write_limit = 2; }},
        SendRow{"mark_longer_than_one_write",
                {600'000},
                0,
                -1,
                {},
                {},
                "/dev/lirc9: mark 1 of the signal lasts 600000 µs, longer than the device sends at once (500000 µs)"},
        SendRow{"later_mark_longer_than_one_write",
                {500, 500, 500, 900'000, 600'000},
                0,
                -1,
                {{500, 500, 500}},
                {},
                "/dev/lirc9: mark 5 of the signal lasts 600000 µs, longer than the device sends at once (500000 µs)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Another program may have changed the carrier since: it is set every time.
TEST(Lirc_Send_Carrier, Is_Set_For_Every_Send) {
    FakeLircDevice device;
    LircBackend backend;
    DeviceFailure failure;
    ASSERT_TRUE(backend.start(&device, kDevice, kDevice, &failure));
    ASSERT_EQ(backend.send(kShort.data(), 5, 36'000), 0);
    ASSERT_EQ(backend.send(kShort.data(), 5, 36'000), 0);
    EXPECT_EQ(device.IoctlValues(LIRC_SET_SEND_CARRIER), (std::vector<std::uint32_t>{36'000, 36'000}));
    EXPECT_EQ(device.writes.size(), 2u);
}

TEST(Lirc_Send_Argument, A_Null_Pointer_Is_Refused) {
    FakeLircDevice device;
    LircBackend backend;
    DeviceFailure failure;
    ASSERT_TRUE(backend.start(&device, kDevice, kDevice, &failure));
    EXPECT_EQ(backend.send(nullptr, 3, 0), -1);
    EXPECT_STREQ(LircBackend::error(), "IoSignalSend: no durations (a null pointer)");
    EXPECT_TRUE(device.writes.empty());
}

// ---- sending in pieces -------------------------------------------------------------

// Pieces as [first, last] indices of the signal.
struct PiecesRow {
    const char* name;
    std::vector<unsigned> durations;
    std::size_t max_values;
    std::uint64_t max_us;
    std::vector<std::pair<std::size_t, std::size_t>> pieces;
};

void PrintTo(const PiecesRow& row, std::ostream* out) { *out << row.name; }

class Lirc_Send_Pieces : public ::testing::TestWithParam<PiecesRow> {};

TEST_P(Lirc_Send_Pieces, End_At_The_Longest_Space_Within_Reach_And_Keep_The_Spaces_Between) {
    const PiecesRow& row = GetParam();
    FakeLircDevice device;
    device.max_values = row.max_values;
    device.max_us = row.max_us;
    LircBackend backend;
    DeviceFailure failure;
    ASSERT_TRUE(backend.start(&device, kDevice, kDevice, &failure));
    ASSERT_EQ(backend.send(row.durations.data(), static_cast<int>(row.durations.size()), 0), 0) << LircBackend::error();

    ASSERT_EQ(device.writes.size(), row.pieces.size());
    ASSERT_EQ(device.sleeps.size(), row.pieces.size() - 1);
    for (std::size_t p = 0; p < row.pieces.size(); ++p) {
        const auto [first, last] = row.pieces[p];
        const std::vector<std::uint32_t> expected(row.durations.begin() + static_cast<long>(first),
                                                  row.durations.begin() + static_cast<long>(last) + 1);
        EXPECT_EQ(device.writes[p].values, expected) << "piece " << p;
        if (p + 1 < row.pieces.size()) {
            // The next piece starts one space after this one ends, timed from this one's start.
            const std::int64_t piece_us = std::accumulate(expected.begin(), expected.end(), std::int64_t{0});
            const std::int64_t next_start = device.writes[p].at + Us(piece_us + row.durations[last + 1]);
            EXPECT_EQ(device.sleeps[p], next_start) << "piece " << p;
            EXPECT_EQ(device.writes[p + 1].at, next_start) << "piece " << p + 1;
        }
    }
}

// NEC: a frame (67 durations, 67.5 ms) and repeat frames 108 ms apart.
std::vector<unsigned> NecWithRepeats(int repeats) {
    std::vector<unsigned> d = {9000, 4500};
    for (int bit = 0; bit < 32; ++bit) {
        d.push_back(560);
        d.push_back(bit % 3 == 0 ? 1690u : 560u);
    }
    d.push_back(560);
    const unsigned frame_us = std::accumulate(d.begin(), d.end(), 0u);
    d.push_back(108'000 - frame_us);
    for (int r = 0; r < repeats; ++r) {
        d.insert(d.end(), {9000, 2250, 560});
        if (r + 1 < repeats) d.push_back(108'000 - 11'810);
    }
    return d;
}

std::vector<unsigned> Equal(std::size_t count, unsigned us) { return std::vector<unsigned>(count, us); }

INSTANTIATE_TEST_SUITE_P(
    Signals, Lirc_Send_Pieces,
    ::testing::Values(
        PiecesRow{"fits_one_write", {100, 100, 100}, 1024, 500'000, {{0, 2}}},
        PiecesRow{"equal_spaces_end_at_the_last_mark_that_fits", Equal(9, 100), 5, 500'000, {{0, 4}, {6, 8}}},
        PiecesRow{"the_longest_space_within_reach",
                  {100, 100, 100, 900, 100, 100, 100, 100, 100},
                  5,
                  500'000,
                  {{0, 2}, {4, 8}}},
        PiecesRow{"the_rest_fits_whole", {100, 900, 100, 100, 100}, 5, 500'000, {{0, 4}}},
        PiecesRow{"the_length_limits_a_piece", {300, 100, 300, 100, 300}, 1024, 800, {{0, 2}, {4, 4}}},
        PiecesRow{"kernel_limit_of_1024_values", Equal(2047, 100), 1024, 500'000, {{0, 1022}, {1024, 2046}}},
        // 5 repeats: 608 ms, split at a gap between frames.
        PiecesRow{"nec_with_five_repeats", NecWithRepeats(5), 1024, 500'000, {{0, 82}, {84, 86}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- receiving ---------------------------------------------------------------------

// Values as a receiver that reports each edge delivers them: a pulse when it
// ends, a space when the next pulse begins, from `at` on.
std::vector<Arrival> AsReceived(std::int64_t at, const std::vector<unsigned>& durations) {
    std::vector<Arrival> arrivals;
    std::int64_t t = at;
    for (std::size_t i = 0; i < durations.size(); ++i) {
        t += Us(durations[i]);
        arrivals.push_back({t, {i % 2 == 0 ? Pulse(durations[i]) : Space(durations[i])}});
    }
    return arrivals;
}

struct ReceiveRow {
    const char* name;
    std::vector<Arrival> arrivals;
    int result;                       // count, or -1
    std::vector<unsigned> durations;  // what was received
    std::int64_t elapsed = -1;        // on the device's clock; -1: not checked
    std::string error = "";
    unsigned end_gap_us = 20'000;
    unsigned max_total_us = 1'000'000;
    int capacity = 1024;
    int wait_ms = 1'000;
    std::function<void(FakeLircDevice&)> setup = nullptr;
};

void PrintTo(const ReceiveRow& row, std::ostream* out) { *out << row.name; }

class Lirc_Receive : public ::testing::TestWithParam<ReceiveRow> {};

TEST_P(Lirc_Receive, Takes_One_Signal_From_The_Mode2_Values) {
    const ReceiveRow& row = GetParam();
    FakeLircDevice device;
    if (row.setup) row.setup(device);
    for (const Arrival& arrival : row.arrivals) device.Arrive(arrival.at, arrival.values);
    LircBackend backend;
    DeviceFailure failure;
    ASSERT_TRUE(backend.start(&device, kDevice, kDevice, &failure)) << failure.reason;

    std::vector<unsigned> out(static_cast<std::size_t>(std::max(row.capacity, 1)), 0xDEADu);
    const int got = backend.receive(out.data(), row.capacity, row.wait_ms, row.end_gap_us, row.max_total_us);
    ASSERT_EQ(got, row.result) << LircBackend::error();
    if (got >= 0) {
        out.resize(static_cast<std::size_t>(got));
        EXPECT_EQ(out, row.durations);
    } else {
        EXPECT_EQ(std::string(LircBackend::error()), row.error);
    }
    if (row.elapsed >= 0) {
        EXPECT_EQ(device.Elapsed(), row.elapsed);
    }
    const std::int64_t bound = Ms(row.wait_ms) + Us(std::int64_t{row.max_total_us} + row.end_gap_us);
    EXPECT_LE(device.Elapsed(), bound) << "blocked longer than wait_ms + max_total_us + end_gap_us";
    EXPECT_EQ(device.receives_begun, device.receives_ended);
}

// A capture waits in short slices: a signal that begins between two of
// them keeps its start, while what came during a longer pause is stale.
TEST(Lirc_Receive_Slices, A_Receive_Right_After_The_Last_Keeps_What_Arrived_Between) {
    for (const bool soon : {true, false}) {
        SCOPED_TRACE(soon ? "the next slice at once" : "after a pause of 61 ms");
        FakeLircDevice device;
        device.Arrive(Ms(10) + (soon ? Us(500) : Ms(60)), {Pulse(9000), Space(4500), Pulse(560), Timeout(20'000)});
        LircBackend backend;
        DeviceFailure failure;
        ASSERT_TRUE(backend.start(&device, kDevice, kDevice, &failure)) << failure.reason;
        std::vector<unsigned> out(16, 0);
        EXPECT_EQ(backend.receive(out.data(), 16, 10, 20'000, 1'000'000), 0) << "nothing within the first slice";
        device.now += soon ? Us(1000) : Ms(61);  // the caller's own time between two calls
        const int got = backend.receive(out.data(), 16, 10, 20'000, 1'000'000);
        ASSERT_EQ(got, soon ? 3 : 0) << LircBackend::error();
        if (soon) {
            EXPECT_EQ(std::vector<unsigned>(out.begin(), out.begin() + 3), (std::vector<unsigned>{9000, 4500, 560}));
        }
    }
}

std::vector<Arrival> Join(std::vector<std::vector<Arrival>> parts) {
    std::vector<Arrival> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Values arriving one after another, `every` apart from `at` on.
std::vector<Arrival> Trickle(std::int64_t at, std::int64_t every, std::int64_t until,
                             const std::vector<std::uint32_t>& cycle) {
    std::vector<Arrival> arrivals;
    std::size_t i = 0;
    for (std::int64_t t = at; t <= until; t += every) arrivals.push_back({t, {cycle[i++ % cycle.size()]}});
    return arrivals;
}

const auto kNoTimeoutSetting = [](FakeLircDevice& d) {
    d.features = LIRC_CAN_SEND_PULSE | LIRC_CAN_REC_MODE2;  // never reports a timeout: its own is off
};
const auto kShortestTimeoutsOnly = [](FakeLircDevice& d) { d.max_timeout_us = 10'000; };

INSTANTIATE_TEST_SUITE_P(
    Streams, Lirc_Receive,
    ::testing::Values(
        ReceiveRow{"what_came_before_the_call_is_not_the_signal",
                   {{-Ms(5), {Pulse(500), Space(500), Pulse(500), Timeout(125'000)}},
                    {Ms(10), {Space(9999), Pulse(9000), Space(4500), Pulse(560), Timeout(20'000)}}},
                   3,
                   {9000, 4500, 560},
                   Ms(10)},
        ReceiveRow{"leading_gap_space_is_skipped",
                   Join({{{Ms(12), {Space(12'000)}}},
                         AsReceived(Ms(3), {9000, 4500, 560}),
                         {{Ms(3) + Us(14'060) + Us(20'000), {Timeout(20'000)}}}}),
                   3,
                   {9000, 4500, 560},
                   Ms(3) + Us(34'060)},
        ReceiveRow{"timeouts_and_spaces_before_the_first_pulse_are_skipped",
                   {{Ms(1), {Timeout(5000), Space(100)}}, {Ms(2), {Space(300), Pulse(500), Timeout(20'000)}}},
                   1,
                   {500},
                   Ms(2)},
        ReceiveRow{"a_space_as_long_as_the_end_gap_ends_it",
                   {{Ms(1), {Pulse(500), Space(20'000), Pulse(500)}}},
                   1,
                   {500},
                   Ms(1)},
        ReceiveRow{"a_space_just_short_of_the_end_gap_does_not",
                   {{Ms(1), {Pulse(500), Space(19'999), Pulse(500), Timeout(20'000)}}},
                   3,
                   {500, 19'999, 500},
                   Ms(1)},
        ReceiveRow{"a_short_timeout_is_idle_so_far_and_a_pulse_after_the_gap_goes_on",
                   {{Ms(1), {Pulse(500), Timeout(10'000)}}, {Ms(20), {Space(5000), Pulse(600)}}},
                   3,
                   {500, 15'000, 600},
                   Ms(20) + Us(30'000 + 600 + 20'000),  // then the line stays quiet
                   "",
                   30'000,
                   1'000'000,
                   1024,
                   1'000,
                   kShortestTimeoutsOnly},
        ReceiveRow{"a_timeout_and_a_gap_reaching_the_end_gap_end_it",
                   {{Ms(1), {Pulse(500), Timeout(10'000)}}, {Ms(40), {Space(25'000), Pulse(600)}}},
                   1,
                   {500},
                   Ms(40),
                   "",
                   30'000,
                   1'000'000,
                   1024,
                   1'000,
                   kShortestTimeoutsOnly},
        // The kernel's gap, timed late, would make it 10 + 9 ms.
        ReceiveRow{"a_driver_s_own_space_after_the_gap_is_the_off_time",
                   {{Ms(1), {Pulse(500), Timeout(10'000)}},
                    {Ms(16), {Space(9000), Space(14'500), Pulse(600), Timeout(10'000)}}},
                   3,
                   {500, 14'500, 600},
                   Ms(16) + Us(20'000 + 600 + 20'000),  // idle 10 ms of 30 reported: the rest, a mark, 20 ms
                   "",
                   30'000,
                   1'000'000,
                   1024,
                   1'000,
                   kShortestTimeoutsOnly},
        ReceiveRow{"a_quiet_line_ends_it_on_a_device_without_timeouts",
                   AsReceived(Ms(1), {500, 400, 600}),
                   3,
                   {500, 400, 600},
                   Ms(1) + Us(1500) + Us(20'000 + 600 + 20'000),
                   "",
                   20'000,
                   1'000'000,
                   1024,
                   1'000,
                   kNoTimeoutSetting},
        ReceiveRow{"a_mark_running_past_max_total_is_cut",
                   {{Ms(1), {Pulse(9000), Space(500), Pulse(2000), Timeout(20'000)}}},
                   3,
                   {9000, 500, 500},
                   Ms(1),
                   "",
                   20'000,
                   10'000},
        ReceiveRow{"max_total_reached_in_a_space",
                   {{Ms(1), {Pulse(9000), Space(1000), Pulse(2000)}}},
                   1,
                   {9000},
                   Ms(1),
                   "",
                   20'000,
                   10'000},
        ReceiveRow{"a_first_mark_past_max_total", {{Ms(1), {Pulse(15'000)}}}, 1, {10'000}, Ms(1), "", 20'000, 10'000},
        ReceiveRow{"capacity_reached",
                   {{Ms(1), {Pulse(100), Space(100), Pulse(100), Space(100), Pulse(100)}}},
                   3,
                   {100, 100, 100},
                   Ms(1),
                   "",
                   20'000,
                   1'000'000,
                   3},
        ReceiveRow{"an_even_capacity_holds_one_fewer",
                   {{Ms(1), {Pulse(100), Space(100), Pulse(100), Space(100), Pulse(100)}}},
                   3,
                   {100, 100, 100},
                   Ms(1),
                   "",
                   20'000,
                   1'000'000,
                   4},
        ReceiveRow{
            "room_for_one", {{Ms(1), {Pulse(100), Space(100), Pulse(100)}}}, 1, {100}, Ms(1), "", 20'000, 1'000'000, 1},
        ReceiveRow{"consecutive_pulses_are_one_mark",
                   {{Ms(1), {Pulse(300), Pulse(200), Space(400), Pulse(100), Timeout(20'000)}}},
                   3,
                   {500, 400, 100}},
        ReceiveRow{
            "carrier_reports_are_passed_over",
            {{Ms(1), {Frequency(38'000), Pulse(500), Frequency(38'000), Space(400), Pulse(100), Timeout(20'000)}}},
            3,
            {500, 400, 100}},
        ReceiveRow{"an_overflow_loses_the_signal",
                   {{Ms(1), {Pulse(500), Overflow()}}},
                   -1,
                   {},
                   Ms(1),
                   "/dev/lirc9: the receiver overflowed; part of the signal was lost"},
        ReceiveRow{"an_overflow_before_the_call_is_stale",
                   {{-Ms(1), {Pulse(500), Overflow()}}, {Ms(1), {Pulse(700), Timeout(20'000)}}},
                   1,
                   {700}},
        ReceiveRow{"silence_waits_wait_ms", {}, 0, {}, Ms(250), "", 20'000, 1'000'000, 1024, 250},
        ReceiveRow{"wait_ms_0_returns_at_once", {{Ms(1), {Pulse(500)}}}, 0, {}, 0, "", 20'000, 1'000'000, 1024, 0},
        ReceiveRow{"a_signal_after_wait_ms_is_not_taken",
                   {{Ms(251), {Pulse(500), Timeout(20'000)}}},
                   0,
                   {},
                   Ms(250),
                   "",
                   20'000,
                   1'000'000,
                   1024,
                   250},
        ReceiveRow{"spaces_alone_begin_no_signal",
                   Trickle(0, Ms(1), Ms(1000), {Space(1000)}),
                   0,
                   {},
                   Ms(100),
                   "",
                   20'000,
                   1'000'000,
                   1024,
                   100},
        // A receiver that never goes quiet: the durations add up to max_total_us.
        ReceiveRow{"a_receiver_that_never_stops_is_cut_at_max_total", AsReceived(Ms(1), Equal(2001, 100)), 499,
                   Equal(499, 100), Ms(1) + Us(50'000), "", 20'000, 50'000},
        // Values that add up slowly but keep coming: max_total_us + end_gap_us after the first pulse.
        ReceiveRow{"a_trickle_is_cut_by_the_clock", Trickle(Ms(1), Ms(6), Ms(1000), {Pulse(1), Space(1)}),
                   11,  // 6 marks by Ms(67), 5 spaces between them
                   Equal(11, 1), Ms(1) + Us(50'000 + 20'000), "", 20'000, 50'000},
        ReceiveRow{"the_device_is_gone",
                   {},
                   -1,
                   {},
                   Ms(5),
                   "/dev/lirc9: the device is gone",
                   20'000,
                   1'000'000,
                   1024,
                   1'000,
                   [](FakeLircDevice& d) { d.hangup_at_ns = Ms(5); }},
        ReceiveRow{"read_fails",
                   {{Ms(1), {Pulse(500)}}},
                   -1,
                   {},
                   Ms(1),
                   "/dev/lirc9: read: " + Errno(ENODEV),
                   20'000,
                   1'000'000,
                   1024,
                   1'000,
                   [](FakeLircDevice& d) { d.read_errno = ENODEV; }},
        ReceiveRow{"no_receiver",
                   {},
                   -1,
                   {},
                   0,
                   "/dev/lirc9: the device has no receiver",
                   20'000,
                   1'000'000,
                   1024,
                   1'000,
                   [](FakeLircDevice& d) { d.features = LIRC_CAN_SEND_PULSE; }},
        ReceiveRow{"no_room",
                   {},
                   -1,
                   {},
                   0,
                   "IoSignalReceive: room for at least one duration is needed, not 0",
                   20'000,
                   1'000'000,
                   0},
        ReceiveRow{"negative_wait",
                   {},
                   -1,
                   {},
                   0,
                   "IoSignalReceive: wait_ms is -1; 0 or more milliseconds",
                   20'000,
                   1'000'000,
                   1024,
                   -1},
        ReceiveRow{"no_end_gap",
                   {},
                   -1,
                   {},
                   0,
                   "IoSignalReceive: end_gap_us (0) and max_total_us (1000000) are 1 µs or more",
                   0},
        ReceiveRow{"no_max_total",
                   {},
                   -1,
                   {},
                   0,
                   "IoSignalReceive: end_gap_us (20000) and max_total_us (0) are 1 µs or more",
                   20'000,
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace iotest
