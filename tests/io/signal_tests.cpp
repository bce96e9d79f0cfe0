// Whole signals through the library's exported functions on the simulated IR
// device (IO_BACKEND=simlirc): what a send records and loops back into a
// waiting receive, what the remote plays when nothing was sent, and what the
// device offers.
#include "tests/io/sim_test_support.h"

#include <future>
#include <numeric>
#include <thread>

namespace iotest {
namespace {

constexpr int kAll = IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER;

class SimLircPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_STREQ(IoBackendName(), "simlirc");
        ClearIoEnvironment();
        IoSimReset();
        IoSimRemoteOff();
    }
    void TearDown() override {
        ClearIoEnvironment();
        IoSimReset();
    }
};

struct Received {
    int count = -1;
    std::vector<unsigned> durations;
    std::string error;
};

// IoSignalReceive in a thread of its own; ready once the receive waits.
std::future<Received> ReceiveInThread(int wait_ms, unsigned end_gap_us, unsigned max_total_us) {
    auto future = std::async(std::launch::async, [=] {
        Received r;
        r.durations.resize(1024);
        r.count = IoSignalReceive(r.durations.data(), 1024, wait_ms, end_gap_us, max_total_us);
        r.durations.resize(static_cast<std::size_t>(std::max(r.count, 0)));
        if (r.count < 0) r.error = IoSignalError();
        return r;
    });
    EXPECT_TRUE(Wait_Until([] { return IoSimSignalWaiting() == 1; }, std::chrono::seconds(10)));
    return future;
}

std::vector<unsigned> Entry(long long index, long long* t_ns = nullptr, unsigned* carrier_hz = nullptr) {
    std::vector<unsigned> durations(IO_SIGNAL_MAX);
    const int count = IoSimSignalEntry(index, t_ns, carrier_hz, durations.data(), IO_SIGNAL_MAX);
    durations.resize(static_cast<std::size_t>(count));
    return durations;
}

using SimLirc_Port = SimLircPortTest;

TEST_F(SimLirc_Port, Offers_Every_Signal_Feature_And_Idle_Registers) {
    EXPECT_STREQ(IoPortDescription(), "simulated IR device");
    EXPECT_STREQ(IoFallbackReason(), "");
    EXPECT_EQ(IsDriverInstalled(), 1);
    EXPECT_EQ(IoSignalFeatures(), kAll);
    for (unsigned short port = kBase; port < kBase + 4; ++port) {
        PortOut(port, 0xFF);
        EXPECT_EQ(PortIn(port), 0) << "port 0x" << std::hex << port << ": writes change nothing";
    }
    EXPECT_EQ(GetPortBit(kStatus, 4), 0) << "an idle receiver line";
    EXPECT_EQ(IoSimTxCount(), 0) << "register writes are no signals";
}

// ---- send, record, loop back -----------------------------------------------------

struct LoopRow {
    const char* name;
    std::vector<unsigned> sent;
    unsigned carrier_hz;
    unsigned end_gap_us;
    std::vector<unsigned> received;
    unsigned recorded_carrier_hz;
};

void PrintTo(const LoopRow& row, std::ostream* out) { *out << row.name; }

class SimLirc_Send : public SimLircPortTest, public ::testing::WithParamInterface<LoopRow> {};

TEST_P(SimLirc_Send, Is_Recorded_And_Reaches_A_Waiting_Receive) {
    const LoopRow& row = GetParam();
    auto receiving = ReceiveInThread(5'000, row.end_gap_us, 2'000'000);
    const long long before = NowNs();
    ASSERT_EQ(IoSignalSend(row.sent.data(), static_cast<int>(row.sent.size()), row.carrier_hz), 0) << IoSignalError();
    const long long after = NowNs();
    const Received got = receiving.get();

    ASSERT_EQ(got.count, static_cast<int>(row.received.size())) << got.error;
    EXPECT_EQ(got.durations, row.received);
    ASSERT_EQ(IoSimSignalCount(), 1);
    long long t_ns = 0;
    unsigned carrier_hz = 0;
    EXPECT_EQ(Entry(0, &t_ns, &carrier_hz), row.sent);
    EXPECT_EQ(carrier_hz, row.recorded_carrier_hz);
    EXPECT_GE(t_ns, before);
    EXPECT_LE(t_ns, after);
}

const std::vector<unsigned> kNecFrame = [] {
    std::vector<unsigned> d = {9000, 4500};
    for (int bit = 0; bit < 32; ++bit) {
        d.push_back(563);
        d.push_back(bit % 2 == 0 ? 1688u : 562u);
    }
    d.push_back(563);
    return d;
}();

INSTANTIATE_TEST_SUITE_P(
    Signals, SimLirc_Send,
    ::testing::Values(
        LoopRow{"nec_frame_with_its_carrier", kNecFrame, 38'000, 20'000, kNecFrame, 38'000},
        LoopRow{"rc5_carrier", {889, 889, 1778}, 36'000, 20'000, {889, 889, 1778}, 36'000},
        LoopRow{"carrier_0_is_the_device_s", {600}, 0, 20'000, {600}, 38'000},
        // The receive ends at a space as long as its end gap; the rest is not this signal.
        LoopRow{"a_space_past_the_end_gap_ends_the_received_signal",
                {600, 500, 600, 30'000, 600},
                38'000,
                20'000,
                {600, 500, 600},
                38'000},
        LoopRow{
            "a_long_space_within_a_longer_end_gap", {600, 30'000, 600}, 38'000, 50'000, {600, 30'000, 600}, 38'000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimLirc_Port, A_Send_Does_Not_Take_The_Signal_s_Length) {
    const unsigned ten_seconds[] = {500, 10'000'000, 500};
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(IoSignalSend(ten_seconds, 3, 38'000), 0) << IoSignalError();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(Entry(0), std::vector<unsigned>(std::begin(ten_seconds), std::end(ten_seconds)));
}

TEST_F(SimLirc_Port, What_Was_Sent_Before_A_Receive_Is_Not_Its_Signal) {
    const unsigned signal[] = {600, 500, 700};
    ASSERT_EQ(IoSignalSend(signal, 3, 0), 0);
    unsigned out[8];
    EXPECT_EQ(IoSignalReceive(out, 8, 50, 20'000, 1'000'000), 0);
}

TEST_F(SimLirc_Port, The_Log_Of_Signals_Clears) {
    const unsigned signal[] = {600};
    ASSERT_EQ(IoSignalSend(signal, 1, 0), 0);
    ASSERT_EQ(IoSignalSend(signal, 1, 0), 0);
    EXPECT_EQ(IoSimSignalCount(), 2);
    IoSimSignalClear();
    EXPECT_EQ(IoSimSignalCount(), 0);
    EXPECT_EQ(IoSimSignalEntry(0, nullptr, nullptr, nullptr, 0), 0);
}

// ---- the remote when nothing was sent --------------------------------------------------

// An NEC frame's durations: leader, 32 bits (least significant first:
// address, ~address, command, ~command), stop; its unit is 562.5 us.
std::string DecodeNec(const std::vector<unsigned>& d, unsigned* bits) {
    if (d.size() < 67) return "only " + std::to_string(d.size()) + " durations";
    const auto near = [](unsigned us, unsigned expected) { return us + 1 >= expected && us <= expected + 1; };
    if (!near(d[0], 9000) || !near(d[1], 4500)) return "leader " + std::to_string(d[0]) + "/" + std::to_string(d[1]);
    *bits = 0;
    for (int bit = 0; bit < 32; ++bit) {
        const unsigned mark = d[2 + 2 * bit];
        const unsigned space = d[3 + 2 * bit];
        if (!near(mark, 563)) return "bit " + std::to_string(bit) + " mark " + std::to_string(mark);
        if (near(space, 1688)) {
            *bits |= 1u << bit;
        } else if (!near(space, 563)) {
            return "bit " + std::to_string(bit) + " space " + std::to_string(space);
        }
    }
    if (!near(d[66], 563)) return "stop mark " + std::to_string(d[66]);
    return "";
}

struct RemoteRow {
    const char* name;
    int repeats;
    unsigned end_gap_us;
    std::size_t durations;  // 67 for a frame, 4 more with its repeat (gap, mark, space, mark)
};

void PrintTo(const RemoteRow& row, std::ostream* out) { *out << row.name; }

class SimLirc_Remote : public SimLircPortTest, public ::testing::WithParamInterface<RemoteRow> {};

TEST_P(SimLirc_Remote, Plays_Its_Waveform_Into_A_Receive_The_Delay_Later) {
    const RemoteRow& row = GetParam();
    ASSERT_EQ(IoSimRemoteSetNec(0x04, 0x08, row.repeats), 0);
    IoSimRemoteSetDelayNs(30 * kMs);
    std::vector<unsigned> out(1024);
    const long long called = NowNs();
    const int count = IoSignalReceive(out.data(), 1024, 3'000, row.end_gap_us, 1'000'000);
    const long long returned = NowNs();
    ASSERT_EQ(count, static_cast<int>(row.durations)) << IoSignalError();
    out.resize(static_cast<std::size_t>(count));

    unsigned bits = 0;
    EXPECT_EQ(DecodeNec(out, &bits), "");
    EXPECT_EQ(bits, 0x04u | (0xFBu << 8) | (0x08u << 16) | (0xF7u << 24));
    if (count > 67) {
        // The repeat frame starts 108 ms after the frame.
        EXPECT_EQ(std::accumulate(out.begin(), out.begin() + 68, 0u), 108'000u);
        EXPECT_EQ(std::vector<unsigned>(out.begin() + 68, out.end()), (std::vector<unsigned>{9000, 2250, 563}));
    }
    const long long start = IoSimRemoteStartNs();
    EXPECT_GE(start, called + 30 * kMs) << "the remote's delay";
    const long long last_edge = start + std::accumulate(out.begin(), out.end(), 0LL) * 1000;
    EXPECT_GE(returned, last_edge - 1000) << "not before the signal was over";
    EXPECT_EQ(IoSimSignalCount(), 0) << "the remote's signal is no send";
}

INSTANTIATE_TEST_SUITE_P(Gaps, SimLirc_Remote,
                         ::testing::Values(RemoteRow{"frame_alone", 0, 20'000, 67},
                                           RemoteRow{"the_gap_to_the_repeat_ends_a_short_end_gap", 1, 20'000, 67},
                                           RemoteRow{"frame_and_repeat_within_a_long_end_gap", 1, 100'000, 71}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimLirc_Port, A_Silent_Receive_Waits_Wait_Ms) {
    unsigned out[8];
    const long long called = NowNs();
    EXPECT_EQ(IoSignalReceive(out, 8, 150, 20'000, 1'000'000), 0) << IoSignalError();
    const long long waited = NowNs() - called;
    EXPECT_GE(waited, 150 * kMs);
    EXPECT_LT(waited, 3'150 * kMs) << "a loaded host may be late, not this late";
}

TEST_F(SimLirc_Port, A_Second_Receive_While_One_Waits_Fails_At_Once) {
    auto receiving = ReceiveInThread(5'000, 20'000, 1'000'000);
    unsigned out[8];
    EXPECT_EQ(IoSignalReceive(out, 8, 5'000, 20'000, 1'000'000), -1);
    EXPECT_STREQ(IoSignalError(), "simulated IR device: another receive is under way");
    const unsigned signal[] = {600};
    ASSERT_EQ(IoSignalSend(signal, 1, 0), 0);
    EXPECT_EQ(receiving.get().durations, std::vector<unsigned>{600});
}

TEST_F(SimLirc_Port, A_Cancel_Ends_A_Waiting_Receive_At_Once_And_Leaves_The_Next_Alone) {
    EXPECT_EQ(IoSignalCancel(), 0) << "no receive is under way";
    auto receiving = ReceiveInThread(10'000, 20'000, 1'000'000);
    const long long called = NowNs();
    EXPECT_EQ(IoSignalCancel(), 1);
    EXPECT_EQ(receiving.get().count, 0);
    EXPECT_LT(NowNs() - called, 3'000 * kMs) << "not the 10 s it would wait";
    // The earlier cancel neither ended this receive nor keeps its signal out.
    auto next = ReceiveInThread(5'000, 20'000, 1'000'000);
    const unsigned signal[] = {600, 400, 600};
    ASSERT_EQ(IoSignalSend(signal, 3, 0), 0);
    EXPECT_EQ(next.get().durations, (std::vector<unsigned>{600, 400, 600}));
}

// ---- what the device offers ---------------------------------------------------------------

struct FeaturesRow {
    const char* name;
    int features;
    int send;     // IoSignalSend's answer
    int receive;  // IoSignalReceive's answer (nothing arrives)
    std::string error;
    unsigned recorded_carrier_hz = 0;
};

void PrintTo(const FeaturesRow& row, std::ostream* out) { *out << row.name; }

class SimLirc_Features : public SimLircPortTest, public ::testing::WithParamInterface<FeaturesRow> {};

TEST_P(SimLirc_Features, Decide_What_Sends_And_Receives) {
    const FeaturesRow& row = GetParam();
    IoSimSetLoopback(0);  // what is sent here must not come back to the receive below
    ASSERT_EQ(IoSimSignalSetFeatures(row.features), 0);
    EXPECT_EQ(IoSignalFeatures(), row.features);
    const unsigned signal[] = {600};
    EXPECT_EQ(IoSignalSend(signal, 1, 36'000), row.send);
    if (row.send != 0) {
        EXPECT_EQ(IoSignalError(), row.error);
    }
    if (row.send == 0) {
        unsigned carrier_hz = 0;
        IoSimSignalEntry(0, nullptr, &carrier_hz, nullptr, 0);
        EXPECT_EQ(carrier_hz, row.recorded_carrier_hz);
    }
    unsigned out[8];
    EXPECT_EQ(IoSignalReceive(out, 8, 10, 20'000, 1'000'000), row.receive);
    if (row.receive != 0) {
        EXPECT_EQ(IoSignalError(), row.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, SimLirc_Features,
                         ::testing::Values(FeaturesRow{"everything", kAll, 0, 0, "", 36'000},
                                           FeaturesRow{"no_carrier_setting", IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE, 0, 0,
                                                       "", 38'000},
                                           FeaturesRow{"receiver_only", IO_SIGNAL_RECEIVE, -1, 0,
                                                       "simulated IR device: the device has no transmitter"},
                                           FeaturesRow{"transmitter_only", IO_SIGNAL_SEND, 0, -1,
                                                       "simulated IR device: the device has no receiver", 38'000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimLirc_Port, Refuses_Features_No_Device_Has) {
    EXPECT_EQ(IoSimSignalSetFeatures(0), -1);
    EXPECT_EQ(IoSimSignalSetFeatures(IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER), -1);
    EXPECT_EQ(IoSignalFeatures(), kAll);
}

TEST_F(SimLirc_Port, The_Environment_Sets_The_Features_At_Reset) {
    setenv("IO_SIMLIRC_FEATURES", "Receive", 1);
    IoSimReset();
    EXPECT_EQ(IoSignalFeatures(), IO_SIGNAL_RECEIVE);
    setenv("IO_SIMLIRC_FEATURES", "send,carrier", 1);
    IoSimReset();
    EXPECT_EQ(IoSignalFeatures(), IO_SIGNAL_SEND | IO_SIGNAL_CARRIER);
}

}  // namespace
}  // namespace iotest
