// Naming heard signals as the table's keys, and telling presses from a held
// key's repeats.
#include "app/core/key_recognition.h"

#include "app/core/table_codes.h"
#include "ir/protocols.h"
#include "ir/sampling.h"
#include "ir/toggle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace qev {
namespace {

using namespace std::chrono_literals;

constexpr int32_t Capacity = 1024;
constexpr int32_t End_Gap = 160;  // 20 ms

TLevels Frame(const TIR_Code& code, double scale = 1.0) {
    TIR_Timing timing = Encode(code);
    for (int32_t& us : timing.Durations_us) us = static_cast<int32_t>(std::lround(us * scale));
    return Sample_Timing(timing, 1 << 20);
}

const std::vector<int32_t> Raw_us = {3000, 1000, 500, 1500, 500, 500, 1000, 2000, 500, 700, 1500, 40000};
TLevels Raw(double scale = 1.0) {
    std::vector<int32_t> d;
    for (const int32_t us : Raw_us) d.push_back(static_cast<int32_t>(std::lround(us * scale)));
    return Sample_Timing({d, 38000}, 1 << 20);
}

// NEC's repeat frame alone: 9 ms mark, 2.25 ms space, stop mark.
TLevels Nec_Repeat_Frame() { return Sample_Timing({{9000, 2250, 563, 96000}, 38000}, 1 << 20); }

class Key_Recognition_Test : public ::testing::Test {
protected:
    void SetUp() override {
        table.Allocate(8, Capacity / 8);
        Put(0, "POWER", Frame({TProtocol::NEC, 0x04, 0x08}));
        Put(1, "VOL+", Frame({TProtocol::RC5, 0x05, 0x10}));
        Put(2, "FAN", Raw());
        Put(3, "AMP", Frame({TProtocol::Pioneer, 0xA5, 0x44}));
    }
    void Put(int32_t row, const std::string& name, const TLevels& levels) {
        Store_Levels(table, row, levels);
        table.Set_Name(row, name);
        table.Command_Count = std::max(table.Command_Count, row + 1);
    }
    TCommand_Table table;
};

TEST_F(Key_Recognition_Test, Names_The_Learned_Row_Or_The_Code) {
    TKey_Recognizer keys;
    keys.Learn(table);
    TLevels toggled = Frame({TProtocol::RC5, 0x05, 0x10});
    ASSERT_TRUE(Set_Press_Toggle(toggled, 1));
    TLevels two_frames = Frame({TProtocol::NEC, 0x04, 0x08});
    const TLevels again = two_frames;
    two_frames.insert(two_frames.end(), again.begin(), again.end());
    struct TCase {
        const char* Name;
        TLevels Heard;
        std::optional<std::string> Key;
        int32_t Row;
    };
    const TCase cases[] = {
        {"the learned NEC code", Frame({TProtocol::NEC, 0x04, 0x08}), "POWER", 0},
        {"the NEC code from a remote 5 % slow", Frame({TProtocol::NEC, 0x04, 0x08}, 1.05), "POWER", 0},
        {"the NEC code twice", two_frames, "POWER", 0},
        {"the RC5 code with the other toggle", toggled, "VOL+", 1},
        {"the RC5 code from a remote 5 % fast", Frame({TProtocol::RC5, 0x05, 0x10}, 0.95), "VOL+", 1},
        {"the raw signal", Raw(), "FAN", 2},
        {"the raw signal 5 % slow", Raw(1.05), "FAN", 2},
        {"the raw signal 5 % fast", Raw(0.95), "FAN", 2},
        {"a lone frame of the Pioneer row, named NEC by itself", Frame({TProtocol::NEC, 0xA5, 0x44}), "AMP", 3},
        {"a code no row holds", Frame({TProtocol::NEC, 0x04, 0x09}), "NEC_0x04_0x09", -1},
        {"a code of wide fields", Frame({TProtocol::NECext, 0x1234, 0x5678}), "NECext_0x1234_0x5678", -1},
        {"noise", Sample_Timing({{700, 300, 200, 9000}, 38000}, 1 << 20), std::nullopt, -1},
    };
    for (const TCase& c : cases) {
        const auto heard = keys.Recognize(c.Heard, End_Gap);
        ASSERT_EQ(heard.has_value(), c.Key.has_value()) << c.Name;
        if (!heard) continue;
        EXPECT_EQ(heard->Name, *c.Key) << c.Name;
        EXPECT_EQ(heard->Row, c.Row) << c.Name;
    }
}

TEST_F(Key_Recognition_Test, A_Held_Key_Repeats_One_Press) {
    TKey_Listening listening;
    const auto t0 = std::chrono::steady_clock::time_point{} + 1h;
    const TLevels power = Frame({TProtocol::NEC, 0x04, 0x08});
    const TLevels vol = Frame({TProtocol::RC5, 0x05, 0x10});
    struct TStep {
        const char* Name;
        TLevels Heard;
        std::chrono::milliseconds At;  // when its receive ended
        std::optional<std::string> Key;
        int32_t Repeat;
    };
    const TStep steps[] = {
        {"a repeat frame with no press before", Nec_Repeat_Frame(), 0ms, std::nullopt, 0},
        {"a press", power, 1000ms, "POWER", 0},
        {"its repeat frame", Nec_Repeat_Frame(), 1108ms, "POWER", 1},
        {"the next repeat frame", Nec_Repeat_Frame(), 1216ms, "POWER", 2},
        {"the whole frame again while held", power, 1324ms, "POWER", 3},
        {"another key at once", vol, 1440ms, "VOL+", 0},
        {"its frame again", vol, 1554ms, "VOL+", 1},
        {"a repeat frame after a pause", Nec_Repeat_Frame(), 3000ms, std::nullopt, 0},
        {"the key pressed again after a pause", vol, 4000ms, "VOL+", 0},
    };
    for (const TStep& step : steps) {
        const auto heard = listening.Heard(table, step.Heard, End_Gap, t0 + step.At);
        ASSERT_EQ(heard.has_value(), step.Key.has_value()) << step.Name;
        if (!heard) continue;
        EXPECT_EQ(heard->Key.Name, *step.Key) << step.Name;
        EXPECT_EQ(heard->Repeat, step.Repeat) << step.Name;
    }
}

TEST_F(Key_Recognition_Test, Listening_Follows_The_Table) {
    TKey_Listening listening;
    const auto t0 = std::chrono::steady_clock::time_point{} + 1h;
    const TLevels power = Frame({TProtocol::NEC, 0x04, 0x08});
    EXPECT_EQ(listening.Heard(table, power, End_Gap, t0)->Key.Name, "POWER");
    table.Set_Name(0, "TV_ON");
    EXPECT_EQ(listening.Heard(table, power, End_Gap, t0 + 5s)->Key.Name, "TV_ON");
    Put(0, "TV_ON", Frame({TProtocol::NEC, 0x04, 0x0A}));
    EXPECT_EQ(listening.Heard(table, power, End_Gap, t0 + 10s)->Key.Name, "NEC_0x04_0x08");
}

}  // namespace
}  // namespace qev
