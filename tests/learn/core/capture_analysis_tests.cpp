// The capture dialog's computations, without a window.
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "learn/core/capture_analysis.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TPriority_Recorder;
using test::TRecording_Feedback;

// Builds a waveform from runs of (count, level).
std::vector<int32_t> Wave(std::initializer_list<std::pair<int, int>> runs, int total = 1024) {
    std::vector<int32_t> wave;
    for (auto [count, level] : runs) wave.insert(wave.end(), static_cast<std::size_t>(count), level ? 255 : 0);
    wave.resize(static_cast<std::size_t>(total), 0);
    return wave;
}

std::optional<int32_t> Propose(const std::vector<int32_t>& wave, int tolerance) {
    return Propose_Data_Length(wave.data(), static_cast<int32_t>(wave.size()), tolerance);
}

TEST(Length_Proposal, Ends_Just_Before_The_Next_Leader) {
    struct Row {
        const char* name;
        std::vector<int32_t> wave;
        int tolerance;
        std::optional<int32_t> expected;
    };
    const std::vector<Row> rows = {
        {"run of 71 at 900 after a 72 leader", Wave({{72, 1}, {828, 0}, {71, 1}}), 2, 900},
        {"run of 70 is not longer than 72 - 2", Wave({{72, 1}, {828, 0}, {70, 1}}), 2, std::nullopt},
        {"bursts in between are too short", Wave({{72, 1}, {36, 0}, {5, 1}, {5, 0}, {60, 1}, {100, 0}, {72, 1}}), 2,
         278},
        {"every sample active", Wave({{1024, 1}}), 2, std::nullopt},
        {"leader not longer than the tolerance", Wave({{2, 1}, {10, 0}, {500, 1}}), 2, std::nullopt},
        {"zero tolerance needs a longer run", Wave({{10, 1}, {5, 0}, {10, 1}, {5, 0}, {11, 1}}), 0, 30},
        {"run reaching the end counts", Wave({{8, 1}, {1009, 0}, {7, 1}}), 2, 1017},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Propose(row.wave, row.tolerance), row.expected);
    }
}

TEST(Length_Field, Reads_Its_Leading_Digits) {
    struct Row {
        const char* text;
        int32_t value;
    };
    for (const Row& row : {Row{"1024", 1024}, Row{"  900abc", 900}, Row{"+13", 13}, Row{"-5", -5}, Row{"abc", 0},
                           Row{"", 0}, Row{"1,024", 1}, Row{"99999999999", INT32_MAX}}) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Leading_Digits_Value(row.text), row.value);
    }
}

TEST(Listing, Has_A_Line_Per_Sample_Between_Its_Markers) {
    std::vector<int32_t> wave = Wave({{3, 1}}, 1001);
    const std::string text = Sample_Listing(wave.data(), 1001);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n') + 1, 1001 + 2);
    EXPECT_EQ(text.substr(0, 57), "===== IR Receive Start Here =====\n000: FF\n001: FF\n002: FF");
    EXPECT_NE(text.find("\n003: 00\n"), std::string::npos);
    EXPECT_NE(text.find("\n999: 00\n1000: 00\n******** IR Receive End *********"), std::string::npos);
}

class Registration_Test : public ::testing::Test {
protected:
    TFake_Counter counter;
    TPriority_Recorder priority;
    TRecording_Feedback feedback;
    TQEV_State state{counter, priority, feedback, feedback};

    void SetUp() override {
        state.Table.Allocate(4, 128);
        state.Samples.Allocate(1024, 128);
        std::vector<int32_t> wave = Wave({{9, 1}, {2, 0}, {2, 1}});
        std::copy(wave.begin(), wave.end(), state.Samples.Data());
    }
    std::vector<std::string> Texts() const { return feedback.Texts(); }
};

TEST_F(Registration_Test, Thirteen_Samples_Store_Two_Bytes) {
    const TRegistration r = Register_Command(state, "POWER", 13);
    ASSERT_EQ(r.Result, TRegistration_Result::Registered);
    EXPECT_EQ(r.Row, 0);
    EXPECT_EQ(state.Table.Command_Count, 1);
    EXPECT_EQ(state.Table.Row(0).Name, "POWER");
    EXPECT_EQ(state.Table.Row(0).Byte_Count, 2);
    EXPECT_EQ(state.Table.Row(0).Bytes[0], 0xFF);
    EXPECT_EQ(state.Table.Row(0).Bytes[1], 0x19);  // samples 8..12: 1, 0, 0, 1, 1
    EXPECT_EQ(Byte_Dump(state.Table.Row(0)),
              ">>>>>>> File Data Start <<<<<<<\n000: FF\n001: 19\n>>>>>>> File Data END <<<<<<<");
    EXPECT_EQ(feedback.Refreshes, 1);
    EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(Registration_Test, Names_Are_Checked_Exactly) {
    ASSERT_EQ(Register_Command(state, "POWER", 16).Result, TRegistration_Result::Registered);
    EXPECT_EQ(Register_Command(state, "Power", 16).Result, TRegistration_Result::Registered) << "case differs";
    EXPECT_EQ(Register_Command(state, "POWER", 24).Result, TRegistration_Result::Duplicate_Name);
    EXPECT_EQ(state.Samples.Sample_Count, 24) << "the length is taken before the checks";
    EXPECT_EQ(Register_Command(state, "", 16).Result, TRegistration_Result::Empty_Name);
    EXPECT_EQ(Register_Command(state, " POWER", 16).Result, TRegistration_Result::Registered) << "not trimmed";
    EXPECT_EQ(state.Table.Command_Count, 3);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Duplicated Command Name is detected !!: POWER / Command Name Error",
                                                 "Command Name is not presented !! / Duplicated Error"}));
}

TEST_F(Registration_Test, Limits_Are_Refused_With_A_Message) {
    struct Row {
        const char* name;
        std::string command;
        int32_t length;
        TRegistration_Result result;
    };
    const std::vector<Row> rows = {
        {"name of 80 bytes", std::string(80, 'N'), 16, TRegistration_Result::Name_Too_Long},
        {"length 0", "A", 0, TRegistration_Result::Bad_Length},
        {"negative length", "A", -8, TRegistration_Result::Bad_Length},
        {"beyond the buffer", "A", 1025, TRegistration_Result::Bad_Length},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        feedback.Messages.clear();
        EXPECT_EQ(Register_Command(state, row.command, row.length).Result, row.result);
        EXPECT_EQ(feedback.Messages.size(), 1u);
        EXPECT_EQ(state.Table.Command_Count, 0);
    }
    EXPECT_EQ(Register_Command(state, std::string(79, 'N'), 1024).Result, TRegistration_Result::Registered);
}

TEST_F(Registration_Test, A_Full_Table_Takes_No_More) {
    for (const char* name : {"A", "B", "C", "D"})
        ASSERT_EQ(Register_Command(state, name, 8).Result, TRegistration_Result::Registered);
    EXPECT_EQ(Register_Command(state, "E", 8).Result, TRegistration_Result::Table_Full);
    EXPECT_EQ(state.Table.Command_Count, 4);
    state.Table.Command_Count = 2;
    state.Settings.MAX_RMTCMD_NUM = 2;  // lowered while running: the live value limits too
    EXPECT_EQ(Register_Command(state, "E", 8).Result, TRegistration_Result::Table_Full);
}

}  // namespace
}  // namespace qev
