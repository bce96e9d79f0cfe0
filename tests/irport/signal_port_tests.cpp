// Sending and learning through a port that takes whole signals, against a
// scripted stand-in for the port library's IoSignal* functions.
#include "irport/signal_port.h"

#include "base/stop_request.h"
#include "harness/fake_counter.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;

// The stand-in: what was sent, what arrives, and the clock it moves.
struct TSignal_Stand_In {
    int Features = Signal_Send | Signal_Receive | Signal_Carrier;
    std::vector<std::vector<uint32_t>> Sent;
    std::vector<unsigned> Carriers;
    bool Refuse = false;
    // Each receive takes the next entry: durations to deliver, {} for nothing
    // within the wait, {0} for an error.
    std::deque<std::vector<unsigned>> Arriving;
    std::vector<int> Waits_ms;
    std::vector<unsigned> End_Gaps, Max_Totals;
    TFake_Counter* Counter = nullptr;
};
TSignal_Stand_In stand_in;

int Features() { return stand_in.Features; }
int Send(const unsigned* durations, int count, unsigned carrier_hz) {
    if (stand_in.Refuse || !(stand_in.Features & Signal_Send)) return -1;
    stand_in.Sent.emplace_back(durations, durations + count);
    stand_in.Carriers.push_back(carrier_hz);
    return 0;
}
int Receive(unsigned* durations, int capacity, int wait_ms, unsigned end_gap_us, unsigned max_total_us) {
    stand_in.Waits_ms.push_back(wait_ms);
    stand_in.End_Gaps.push_back(end_gap_us);
    stand_in.Max_Totals.push_back(max_total_us);
    if (stand_in.Arriving.empty()) {
        stand_in.Counter->Now += int64_t{wait_ms} * stand_in.Counter->Frequency / 1000;
        return 0;
    }
    std::vector<unsigned> next = stand_in.Arriving.front();
    stand_in.Arriving.pop_front();
    if (next == std::vector<unsigned>{0}) return -1;
    if (next.empty()) {
        stand_in.Counter->Now += int64_t{wait_ms} * stand_in.Counter->Frequency / 1000;
        return 0;
    }
    const int count = std::min(capacity, static_cast<int>(next.size()));
    std::copy(next.begin(), next.begin() + count, durations);
    return count;
}
const char* Error() { return "/dev/lirc0: the device has no transmitter"; }

class Signal_Port_Test : public ::testing::Test {
protected:
    TFake_Counter counter{1'000'000, 0, 1};
    TPort_Library port;
    void SetUp() override {
        stand_in = TSignal_Stand_In{};
        stand_in.Counter = &counter;
        port.Set_Signal_Table({Features, Send, Receive, Error});
    }
    void TearDown() override { Clear_Program_Stop(); }
};

struct TSignal_Row {
    const char* name;
    std::vector<int32_t> samples;
    int32_t times;
    std::vector<uint32_t> durations;
};

void PrintTo(const TSignal_Row& row, std::ostream* out) { *out << row.name; }

class Signal_Of_Samples_Test : public ::testing::TestWithParam<TSignal_Row> {};

TEST_P(Signal_Of_Samples_Test, Times_Each_Sample_As_The_Register_Transmitter_Does) {
    const TSignal_Row& row = GetParam();
    EXPECT_EQ(Signal_Of_Samples(row.samples.data(), static_cast<int32_t>(row.samples.size()), row.times),
              row.durations);
}

INSTANTIATE_TEST_SUITE_P(
    Waveforms, Signal_Of_Samples_Test,
    ::testing::Values(
        TSignal_Row{"one_mark", {255, 255, 0, 0}, 1, {250}},
        TSignal_Row{"the_idle_before_the_first_mark_is_left_out", {0, 0, 255, 0, 255}, 1, {125, 125, 125}},
        TSignal_Row{"a_mark_at_the_end_lasts_one_tick", {255, 0, 255}, 1, {125, 125, 125}},
        // The last sample of the first transmission lasts 1.5 ticks and runs
        // into the next transmission's first mark: 375 .. 687.5 us.
        TSignal_Row{"two_transmissions_with_the_register_path_s_gap", {255, 0, 0, 255}, 2, {125, 250, 313, 250, 125}},
        TSignal_Row{"the_gap_after_an_idle_end_is_a_space", {255, 0}, 3, {125, 188, 125, 187, 125}},
        // 1,000 transmissions of one lit sample: one mark, 999 x 187.5 + 125 us,
        // the half microseconds adding up instead of rounding each time.
        TSignal_Row{"edges_on_absolute_time", {255}, 1000, {187438}}, TSignal_Row{"nothing_lit", {0, 0, 0}, 2, {}},
        TSignal_Row{"no_transmission", {255}, 0, {}}, TSignal_Row{"no_samples", {}, 1, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Signal_Port_Test, A_Send_Goes_Out_In_Writes_Of_Under_Half_A_Second_With_Its_Carrier) {
    std::vector<int32_t> samples(1024, 0);  // 128 ms, with its gap 128.0625 ms: 3 to a write
    samples[0] = samples[10] = 255;
    std::string error;
    ASSERT_TRUE(Send_Signal_Samples(port, samples.data(), 1024, 20, 36000, &error)) << error;
    ASSERT_EQ(stand_in.Sent.size(), 7u);
    const std::vector<uint32_t> three = Signal_Of_Samples(samples.data(), 1024, 3);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(stand_in.Sent[i], three) << i;
    EXPECT_EQ(stand_in.Sent[6], Signal_Of_Samples(samples.data(), 1024, 2));
    EXPECT_EQ(stand_in.Carriers, std::vector<unsigned>(7, 36000));
}

TEST_F(Signal_Port_Test, A_Request_To_End_Drops_The_Writes_After_The_One_Under_Way) {
    std::vector<int32_t> samples(1024, 255);
    Request_Program_Stop();
    std::string error;
    EXPECT_TRUE(Send_Signal_Samples(port, samples.data(), 1024, 20, 38000, &error));
    EXPECT_EQ(stand_in.Sent.size(), 1u);
}

TEST_F(Signal_Port_Test, A_Port_That_Cannot_Send_Says_Why) {
    const std::vector<int32_t> samples{255};
    std::string error;
    stand_in.Features = Signal_Receive;
    EXPECT_FALSE(Send_Signal_Samples(port, samples.data(), 1, 1, 0, &error));
    EXPECT_EQ(error, "/dev/lirc0: the device has no transmitter");
    stand_in.Features = Signal_Send;
    stand_in.Refuse = true;
    error.clear();
    EXPECT_FALSE(Send_Signal_Samples(port, samples.data(), 1, 1, 0, &error));
    EXPECT_EQ(error, "/dev/lirc0: the device has no transmitter");
    EXPECT_TRUE(stand_in.Sent.empty());
}

// Learning: the leader is confirmed on the sampled signal, a short first
// mark is a false start, and the buffer holds the samples from the mark on.
TEST_F(Signal_Port_Test, A_Capture_Takes_The_First_Signal_Whose_Mark_Covers_The_Leader) {
    TReceive_Request request;
    request.Samples = 40;
    request.Min_Leader = 8;
    request.Time_Limit_Seconds = 10;
    stand_in.Arriving = {{}, {1000}, {}, {1125, 500, 250}};  // 8 samples: too short; then 9
    std::vector<int32_t> buffer(48, -7);
    const TReceive_Report report = Receive_Signal_Samples(counter, port, request, buffer.data(), 40);
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    EXPECT_EQ(report.False_Starts, 1);
    EXPECT_EQ(report.Samples, 40);
    std::vector<int32_t> expected(40, 0);
    std::fill(expected.begin(), expected.begin() + 9, 255);
    std::fill(expected.begin() + 13, expected.begin() + 15, 255);
    EXPECT_EQ(std::vector<int32_t>(buffer.begin(), buffer.begin() + 40), expected);
    EXPECT_EQ(buffer[40], -7) << "nothing beyond the capacity";
    EXPECT_EQ(stand_in.End_Gaps.back(), 40u * 125u) << "the whole length is taken, pauses and all";
    EXPECT_EQ(stand_in.Max_Totals.back(), 40u * 125u);
}

TEST_F(Signal_Port_Test, A_Capture_Ends_At_Its_Limit_A_Request_To_End_Or_A_Failing_Port) {
    TReceive_Request request;
    request.Samples = 40;
    request.Time_Limit_Seconds = 1.5;
    std::vector<int32_t> buffer(40, -7);

    TReceive_Report report = Receive_Signal_Samples(counter, port, request, buffer.data(), 40);
    EXPECT_EQ(report.Result, TReceive_Result::No_Signal);
    EXPECT_EQ(stand_in.Waits_ms.size(), 15u) << "in waits of at most 100 ms";
    EXPECT_LE(stand_in.Waits_ms.front(), 100);

    Request_Program_Stop();
    report = Receive_Signal_Samples(counter, port, request, buffer.data(), 40);
    EXPECT_EQ(report.Result, TReceive_Result::Stopped);
    Clear_Program_Stop();

    stand_in.Arriving = {{0}};
    report = Receive_Signal_Samples(counter, port, request, buffer.data(), 40);
    EXPECT_EQ(report.Result, TReceive_Result::Port_Failed);
    EXPECT_EQ(report.Error, "/dev/lirc0: the device has no transmitter");

    stand_in.Features = Signal_Send;
    report = Receive_Signal_Samples(counter, port, request, buffer.data(), 40);
    EXPECT_EQ(report.Result, TReceive_Result::No_Port) << "a port without a receiver";
    for (const int32_t value : buffer) ASSERT_EQ(value, -7) << "the buffer is unchanged";
}

}  // namespace
}  // namespace qev
