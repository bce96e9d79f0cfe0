// The receiver against a scripted receiver line.
#include "irport/receiver.h"

#include "base/stop_request.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TFake_Port;
using test::TPriority_Recorder;

constexpr int64_t Tick = 1000;      // counter units per tick (8 MHz counter)
constexpr int64_t Origin = 50'000;  // where the scripted signal begins
constexpr int32_t Sentinel = -7;

class Receiver_Test : public ::testing::Test {
protected:
    TFake_Counter counter{8'000'000, 10'000, 1};
    TPriority_Recorder priority;
    TSample_Clock clock{counter, priority};
    TFake_Port fake{counter};
    TPort_Library port;
    std::vector<int32_t> buffer = std::vector<int32_t>(1024 + 16, Sentinel);  // 16 guard entries

    void SetUp() override {
        clock.Calc_Tick_Period();
        port.Set_Function_Table(TFake_Port::Table());
    }
    TReceive_Report Receive(int32_t samples = 1024, int32_t min_leader = 8, int32_t capacity = 1024,
                            double limit_seconds = 1.0) {
        TReceive_Request request;
        request.Samples = samples;
        request.Min_Leader = min_leader;
        request.Time_Limit_Seconds = limit_seconds;
        return Receive_Samples(clock, port, request, buffer.data(), capacity);
    }
    static std::vector<uint8_t> Pattern(std::initializer_list<std::pair<int, uint8_t>> runs) {
        std::vector<uint8_t> levels;
        for (auto [count, level] : runs) levels.insert(levels.end(), static_cast<std::size_t>(count), level);
        return levels;
    }
    void Expect_Guard_Intact(int32_t capacity) {
        for (std::size_t i = static_cast<std::size_t>(capacity); i < buffer.size(); ++i) ASSERT_EQ(buffer[i], Sentinel);
    }
};

TEST_F(Receiver_Test, Leader_Is_Marked_And_The_Rest_Follows_The_Line_At_Mid_Tick) {
    fake.Script_Line(Origin, Tick, Pattern({{72, 1}, {36, 0}, {5, 1}, {3, 0}, {2000, 1}}));
    const TReceive_Report report = Receive();
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    EXPECT_EQ(report.False_Starts, 0);
    EXPECT_LE(report.Start_Counter - Origin, 64) << "start seen late";
    for (int i = 0; i < 72; ++i) ASSERT_EQ(buffer[i], 255) << i;
    for (int i = 72; i < 108; ++i) ASSERT_EQ(buffer[i], 0) << i;
    for (int i = 108; i < 113; ++i) ASSERT_EQ(buffer[i], 255) << i;
    for (int i = 113; i < 116; ++i) ASSERT_EQ(buffer[i], 0) << i;
    for (int i = 116; i < 1024; ++i) ASSERT_EQ(buffer[i], 255) << i;
    Expect_Guard_Intact(1024);
    EXPECT_EQ(priority.Calls.size(), 5u);
    EXPECT_EQ(report.Late_Samples, 0);
}

TEST_F(Receiver_Test, Samples_Taken_After_A_Hold_Up_Are_Counted_Late) {
    fake.Script_Line(Origin, Tick, Pattern({{72, 1}, {2000, 0}}));
    fake.Hold_Up_At(Origin + 200 * Tick, 10 * Tick);  // the thread loses ten ticks once
    const TReceive_Report report = Receive();
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    // The next waits find their deadlines passed until the clock has caught
    // up: 9.5 .. 1.5 ticks behind is late, the last half tick is not.
    EXPECT_EQ(report.Late_Samples, 9);
    EXPECT_GT(report.Max_Lateness, 9 * Tick) << "the first wait after the hold-up";
    EXPECT_LT(report.Max_Lateness, 10 * Tick);
}

TEST_F(Receiver_Test, A_Hold_Up_During_The_Leader_Is_Counted_Late_Too) {
    fake.Script_Line(Origin, Tick, Pattern({{72, 1}, {2000, 0}}));
    fake.Hold_Up_At(Origin + 3 * Tick, 10 * Tick);  // while the leader is being confirmed
    const TReceive_Report report = Receive();
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    EXPECT_EQ(report.Late_Samples, 9);
}

TEST_F(Receiver_Test, A_Request_To_End_The_Program_Ends_The_Wait) {
    fake.Script_Line(Origin + 100'000 * Tick, Tick, Pattern({{72, 1}}));  // far beyond the wait
    Request_Program_Stop();
    const TReceive_Report report = Receive(1024, 8, 1024, 10.0);
    Clear_Program_Stop();
    EXPECT_EQ(report.Result, TReceive_Result::Stopped);
    EXPECT_LT(counter.Now, Origin + 100 * Tick) << "gave up at the first look at the clock";
    for (int32_t v : buffer) ASSERT_EQ(v, Sentinel) << "buffer changed";
    EXPECT_EQ(priority.Calls.back(), "restore process");
}

TEST_F(Receiver_Test, A_Leader_That_Drops_Early_Is_A_False_Start) {
    // Confirming readings fall in cells 1, 2, 3...: the fifth one (cell 5) is idle.
    fake.Script_Line(Origin, Tick, Pattern({{5, 1}, {19, 0}, {72, 1}, {1100, 0}}));
    const TReceive_Report report = Receive();
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    EXPECT_EQ(report.False_Starts, 1);
    EXPECT_GE(report.Start_Counter, Origin + 24 * Tick);
    for (int i = 0; i < 72; ++i) ASSERT_EQ(buffer[i], 255) << i;
    EXPECT_EQ(buffer[72], 0);
}

TEST_F(Receiver_Test, Exactly_Min_Leader_Confirming_Readings_Are_Enough) {
    // The start, then readings at 1.5T .. 8.5T are active; the line drops at 9T.
    fake.Script_Line(Origin, Tick, Pattern({{9, 1}, {2000, 0}}));
    const TReceive_Report report = Receive();
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    EXPECT_EQ(report.False_Starts, 0);
    for (int i = 0; i <= 8; ++i) ASSERT_EQ(buffer[i], 255) << i;
    EXPECT_EQ(buffer[9], 0);
}

TEST_F(Receiver_Test, Without_A_Signal_The_Wait_Ends_At_The_Time_Limit) {
    fake.Script_Line(Origin, Tick, Pattern({{4, 1}}));  // only a false start
    const TReceive_Report report = Receive(1024, 8, 1024, 0.01);
    EXPECT_EQ(report.Result, TReceive_Result::No_Signal);
    EXPECT_EQ(report.False_Starts, 1);
    for (int32_t v : buffer) ASSERT_EQ(v, Sentinel) << "buffer changed";
    EXPECT_EQ(priority.Calls.back(), "restore process");
    EXPECT_GE(counter.Now, 10'000 + 80'000);
}

TEST_F(Receiver_Test, Leader_Length_Edge_Cases) {
    struct Row {
        const char* name;
        int32_t samples;
        int32_t min_leader;
        int32_t capacity;
        int32_t marked;  // leading entries that must be 255
    };
    const std::vector<Row> rows = {
        {"no confirmation", 1024, 0, 1024, 1},
        {"one confirmation", 1024, 1, 1024, 2},
        {"leader fills the buffer", 20, 19, 1024, 20},
        {"leader longer than the buffer", 1024, 5000, 16, 16},
        {"more samples than the buffer", 5000, 8, 1000, 9},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::fill(buffer.begin(), buffer.end(), Sentinel);
        // Active exactly as long as the leader needs, idle afterwards.
        fake.Script_Line(counter.Now + 5'000, Tick, Pattern({{row.min_leader + 1, 1}, {6000, 0}}));
        const TReceive_Report report = Receive(row.samples, row.min_leader, row.capacity, 10.0);
        ASSERT_EQ(report.Result, TReceive_Result::Received);
        const int32_t stored = std::min(row.samples, row.capacity);
        EXPECT_EQ(report.Samples, stored);
        for (int32_t i = 0; i < row.marked; ++i) ASSERT_EQ(buffer[static_cast<std::size_t>(i)], 255) << i;
        for (int32_t i = 0; i < stored; ++i) {
            const int32_t v = buffer[static_cast<std::size_t>(i)];
            ASSERT_TRUE(v == 0 || v == 255) << i;
        }
        Expect_Guard_Intact(stored);
        if (row.min_leader + 1 >= stored) {
            // The leader fills every stored position: no tick is waited after the confirmations.
            EXPECT_LE(counter.Now - report.Start_Counter, row.min_leader * Tick + Tick / 2 + 4);
        }
    }
}

TEST_F(Receiver_Test, Without_PortIn_Nothing_Is_Read) {
    port.Set_Function_Table(TFake_Port::Table(true, false));
    EXPECT_EQ(Receive().Result, TReceive_Result::No_Port);
    EXPECT_TRUE(priority.Calls.empty());
    EXPECT_EQ(buffer[0], Sentinel);
}

}  // namespace
}  // namespace qev
