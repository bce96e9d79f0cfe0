// The transmitter against a fake port and a scripted counter.
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "irport/transmitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TFake_Port;
using test::TPriority_Recorder;

class Transmitter_Test : public ::testing::Test {
protected:
    TFake_Counter counter{8'000'000, 10'000, 1};  // 1000 units per tick
    TPriority_Recorder priority;
    TSample_Clock clock{counter, priority};
    TFake_Port fake{counter};
    TPort_Library port;

    void SetUp() override {
        clock.Calc_Tick_Period();
        port.Set_Function_Table(TFake_Port::Table());
    }
    std::vector<uint8_t> Values() const {
        std::vector<uint8_t> out;
        for (const auto& w : fake.Writes) out.push_back(w.Value);
        return out;
    }
    void Send(std::vector<int32_t> samples) {
        Transmit_Samples(clock, port, 0x378, samples.data(), static_cast<int32_t>(samples.size()));
    }
};

TEST_F(Transmitter_Test, Each_Sample_Goes_Out_Once_Per_Tick_From_Half_A_Tick) {
    Send({255, 255, 0});
    EXPECT_EQ(Values(), (std::vector<uint8_t>{0xFF, 0xFF, 0xFE}));
    const int64_t t0 = 10'000;
    for (std::size_t i = 0; i < fake.Writes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fake.Writes[i].Port, 0x378u);
        const int64_t ideal = t0 + 500 + static_cast<int64_t>(i) * 1000;
        EXPECT_GE(fake.Writes[i].Time, ideal);
        EXPECT_LE(fake.Writes[i].Time, ideal + 2);
    }
    EXPECT_EQ(fake.Registers[0x378], 0xFE);
    EXPECT_GE(counter.Now, t0 + 500 + 3 * 1000) << "the last sample lasts a whole tick";
}

TEST_F(Transmitter_Test, Any_Non_Zero_Sample_Is_Active_And_The_Last_Level_Stays) {
    Send({16, 1, 0, -1});
    EXPECT_EQ(Values(), (std::vector<uint8_t>{0xFF, 0xFF, 0xFE, 0xFF}));
    EXPECT_EQ(fake.Registers[0x378], 0xFF);
}

TEST_F(Transmitter_Test, Nothing_To_Send_Still_Runs_The_Priority_Steps_And_Half_Tick) {
    Send({});
    EXPECT_TRUE(fake.Writes.empty());
    EXPECT_EQ(priority.Calls.size(), 5u);
    EXPECT_GE(counter.Now, 10'000 + 500);
}

TEST_F(Transmitter_Test, Inside_A_Raised_Section_Sends_Follow_Each_Other_After_One_And_A_Half_Ticks) {
    struct Row {
        const char* name;
        int sends;
    };
    const std::vector<Row> rows = {
        {"one_send", 1},
        {"two_sends", 2},
        {"four_sends", 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        priority.Calls.clear();
        fake.Writes.clear();
        {
            TRaised_Priority held(clock);
            for (int i = 0; i < row.sends; ++i) Send({255, 0, 255});
            EXPECT_EQ(priority.Calls.size(), 3u) << "raised once, by the section";
        }
        EXPECT_EQ(priority.Calls, (std::vector<std::string>{"save", "process high", "thread critical", "restore thread",
                                                            "restore process"}));
        ASSERT_EQ(fake.Writes.size(), 3u * static_cast<std::size_t>(row.sends));
        for (std::size_t i = 3; i < fake.Writes.size(); i += 3) {
            // The last sample's tick, the next send's half tick and its
            // Start_Tick's one read of the counter: nothing else.
            EXPECT_EQ(fake.Writes[i].Time - fake.Writes[i - 1].Time, 1000 + 500 + 1) << "send " << i / 3;
        }
    }
}

TEST_F(Transmitter_Test, Without_PortOut_Nothing_Happens) {
    port.Set_Function_Table(TFake_Port::Table(false, true));
    Send({255, 0});
    EXPECT_TRUE(fake.Writes.empty());
    EXPECT_TRUE(priority.Calls.empty());
}

}  // namespace
}  // namespace qev
