// When the setup dialog's values take effect, and what a raised
// MAX_RMTCMD_NUM or MAX_RMTCMD_BIT_LENGTH means before the next start: the
// new values are stored, and every operation stays within what start-up
// allocated.
#include "dialogs/core/setup_effects.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "tests/support/state_fixture.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qev::test {
namespace {

class Setup_Effects_Test : public State_Fixture {
protected:
    // OK of a dialog opened on the current Settings with both sizes raised.
    void Raise_Sizes(int32_t rows, int32_t samples) {
        TSetup_Values values = Setup_Values(state.Settings);
        values.MAX_RMTCMD_NUM = rows;
        values.MAX_RMTCMD_BIT_LENGTH = samples;
        Setup_OK(values, state);
    }
};

TEST(Setup_Effects, Three_Settings_Take_Effect_At_The_Next_Start) {
    struct Row {
        const char* name;
        TSetup_Field field;
        bool next_start;
    };
    const std::vector<Row> rows = {
        {"back_image", TSetup_Field::BACK_IMAGE, false},
        {"button_transparency", TSetup_Field::BUTTON_TRANSPARENCY, false},
        {"transparency_mode", TSetup_Field::TRANSPARENCY_MODE, false},
        {"max_rmtcmd_num", TSetup_Field::MAX_RMTCMD_NUM, true},
        {"repeat", TSetup_Field::REPEAT, false},
        {"max_rmtcmd_bit_length", TSetup_Field::MAX_RMTCMD_BIT_LENGTH, true},
        {"min_leader_length", TSetup_Field::MIN_LEADER_LENGTH, false},
        {"dev_leader_length", TSetup_Field::DEV_LEADER_LENGTH, false},
        {"rmt_dir", TSetup_Field::RMT_DIR, false},
        {"rmt_file", TSetup_Field::RMT_FILE, true},
        {"port", TSetup_Field::PORT, false},
        {"echo", TSetup_Field::ECHO, false},
        {"lirc_enable", TSetup_Field::LIRC_ENABLE, false},
        {"lirc_port", TSetup_Field::LIRC_PORT, false},
        {"listen_enable", TSetup_Field::LISTEN_ENABLE, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Takes_Effect_At_Next_Start(row.field), row.next_start);
    }
}

TEST_F(Setup_Effects_Test, Each_Text_Says_When_Its_Value_Takes_Effect_And_What_Counts_Meanwhile) {
    ASSERT_TRUE(state.Start_Up());  // the defaults: 256 rows of 128 bytes, 1024 samples
    struct Row {
        const char* name;
        TSetup_Field field;
        std::vector<std::string> phrases;
    };
    const std::vector<Row> rows = {
        {"back_image", TSetup_Field::BACK_IMAGE, {"Takes effect at once", "background"}},
        {"button_transparency", TSetup_Field::BUTTON_TRANSPARENCY, {"Takes effect at once", "keys"}},
        {"transparency_mode", TSetup_Field::TRANSPARENCY_MODE, {"Takes effect at once", "keys"}},
        {"max_rmtcmd_num",
         TSetup_Field::MAX_RMTCMD_NUM,
         {"Takes effect at the next start", "Until then", "never more than the 256 rows"}},
        {"repeat", TSetup_Field::REPEAT, {"Takes effect at the next send."}},
        {"max_rmtcmd_bit_length",
         TSetup_Field::MAX_RMTCMD_BIT_LENGTH,
         {"Takes effect at the next start", "Until then", "at most the 1,024 the Sample buffer holds",
          "at most the 128 bytes a row holds", "at most 1,024 samples"}},
        {"min_leader_length", TSetup_Field::MIN_LEADER_LENGTH, {"Takes effect at the next capture."}},
        {"dev_leader_length", TSetup_Field::DEV_LEADER_LENGTH, {"Takes effect at the next capture."}},
        {"rmt_dir", TSetup_Field::RMT_DIR, {"Takes effect at once", "file dialogs", "@LOAD"}},
        {"rmt_file", TSetup_Field::RMT_FILE, {"Takes effect at the next start", "Until then it is not read"}},
        {"port", TSetup_Field::PORT, {"the next time the Command server is started"}},
        {"echo", TSetup_Field::ECHO, {"Takes effect at once", "Command server"}},
        {"lirc_enable", TSetup_Field::LIRC_ENABLE, {"Takes effect at once", "LIRC listener", "127.0.0.1", "closes"}},
        {"lirc_port", TSetup_Field::LIRC_PORT, {"Takes effect at once", "reopens", "disconnected"}},
        {"listen_enable", TSetup_Field::LISTEN_ENABLE, {"Takes effect at once", "kernel IR device", "Listen"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = Setup_Effect_Text(row.field, state);
        for (const std::string& phrase : row.phrases) EXPECT_NE(text.find(phrase), std::string::npos) << text;
        EXPECT_EQ(text.find("next start") != std::string::npos, Takes_Effect_At_Next_Start(row.field)) << text;
    }
}

TEST_F(Setup_Effects_Test, The_Texts_Name_The_Sizes_Of_This_Start) {
    Write_File(Settings_File(), "[COMMAND]\nMAX_RMTCMD_NUM=4096\n[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=20000\n");
    ASSERT_TRUE(state.Start_Up());
    Raise_Sizes(32767, 32767);
    const std::string rows = Setup_Effect_Text(TSetup_Field::MAX_RMTCMD_NUM, state);
    const std::string samples = Setup_Effect_Text(TSetup_Field::MAX_RMTCMD_BIT_LENGTH, state);
    EXPECT_NE(rows.find("never more than the 4,096 rows"), std::string::npos) << rows;
    EXPECT_NE(samples.find("at most the 20,000 the Sample buffer holds"), std::string::npos) << samples;
    EXPECT_NE(samples.find("at most the 2,500 bytes a row holds"), std::string::npos) << samples;
    EXPECT_NE(samples.find("at most 20,000 samples"), std::string::npos) << samples;
}

TEST_F(Setup_Effects_Test, Raised_Sizes_Are_Stored_But_Every_Operation_Stays_Within_The_Allocation) {
    // A small start: 4 rows of 8 bytes, 64 samples.
    Write_File(Settings_File(), "[COMMAND]\nMAX_RMTCMD_NUM=4\n[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=64\n");
    ASSERT_TRUE(state.Start_Up());
    const TSetup_Allocation allocation = Setup_Allocation(state);
    ASSERT_EQ(allocation.Rows, 4);
    ASSERT_EQ(allocation.Row_Bytes, 8);
    ASSERT_EQ(allocation.Samples, 64);
    ASSERT_EQ(allocation.Row_Samples, 64);

    Raise_Sizes(32767, 32767);
    EXPECT_EQ(state.Settings.MAX_RMTCMD_NUM, 32767) << "stored for the next start";
    EXPECT_EQ(state.Settings.MAX_RMTCMD_BIT_LENGTH, 32767);

    // A Command file load: six records of twelve bytes keep four of eight.
    std::string file = "@REPEAT = 1\r\n";
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        file += std::string(name) + ",01,02,03,04,05,06,07,08,09,0A,0B,0C\r\n";
    Write_File(profile.File("big.rmt"), file);
    EXPECT_EQ(state.Load_Command_File(profile.File("big.rmt"), 1), 1);
    EXPECT_EQ(
        feedback.Texts(),
        (std::vector<std::string>{
            "Command Buffer Overflow\n4 records, the first at line 2: each keeps its first 8 bytes. / File Read Error",
            "Unexpected Data Size / File Read Error"}));
    EXPECT_EQ(state.Table.Command_Count, allocation.Rows);
    EXPECT_EQ(state.Table.Rows(), allocation.Rows);
    for (int32_t row = 0; row < state.Table.Rows(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(state.Table.Row(row).Byte_Count, allocation.Row_Bytes);
        EXPECT_EQ(state.Table.Row(row).Bytes.size(), static_cast<std::size_t>(allocation.Row_Bytes));
    }
    const TCommand_File_Limits limits = state.Command_File_Limits();
    EXPECT_EQ(limits.Rows, allocation.Rows);
    EXPECT_EQ(limits.Row_Bytes, allocation.Row_Bytes);

    // Sending a loaded command: the samples of one row.
    fake.Writes.clear();
    state.Send_Command(0);
    EXPECT_EQ(fake.Writes.size(), static_cast<std::size_t>(allocation.Row_Samples));

    // A capture: the remote keeps sending far past the buffer; 64 samples are stored.
    fake.Script_Line(counter.Now + 50'000, 1'000, std::vector<uint8_t>(40'000, 1));
    const TReceive_Report report = state.Receive_Command();
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    EXPECT_EQ(report.Samples, allocation.Samples);
    EXPECT_EQ(state.Samples.Capacity(), allocation.Samples);
    EXPECT_TRUE(std::all_of(state.Samples.Data(), state.Samples.Data() + 64, [](int32_t v) { return v == 255; }));

    // What a registration of the raised length relies on: no row beyond the
    // table, no more bytes than a row holds.
    state.Table.Command_Count = 3;
    EXPECT_EQ(state.Row_Limit(), allocation.Rows);
    state.Samples.Sample_Count = 32767;
    state.Pack_Command(3);
    EXPECT_EQ(state.Table.Row(3).Byte_Count, allocation.Row_Bytes);
    EXPECT_EQ(state.Table.Row(3).Bytes.size(), static_cast<std::size_t>(allocation.Row_Bytes));

    // The next start sizes everything with the raised values.
    ASSERT_EQ(state.Write_Settings_File(), TShut_Down_Result::Written);
    TQEV_State next(counter, priority, feedback, feedback);
    Prepare(next);
    ASSERT_TRUE(next.Start_Up());
    const TSetup_Allocation raised = Setup_Allocation(next);
    EXPECT_EQ(raised.Rows, 32767);
    EXPECT_EQ(raised.Row_Bytes, 4096);
    EXPECT_EQ(raised.Samples, 32768) << "room up to the next multiple of 8";
    EXPECT_EQ(raised.Row_Samples, 32768);
}

TEST_F(Setup_Effects_Test, Lowered_Sizes_Count_At_Once) {
    ASSERT_TRUE(state.Start_Up());  // 256 rows of 128 bytes, 1024 samples
    Raise_Sizes(2, 16);
    Write_File(profile.File("c.rmt"), "@REPEAT = 1\nA,01,02,03\nB,04\nC,05\n");
    EXPECT_EQ(state.Load_Command_File(profile.File("c.rmt"), 1), 1);
    EXPECT_EQ(state.Table.Command_Count, 2);
    EXPECT_EQ(state.Table.Row(0).Byte_Count, 2);
    EXPECT_EQ(state.Row_Limit(), 2);
    fake.Script_Line(counter.Now + 50'000, 1'000, std::vector<uint8_t>(2'000, 1));
    EXPECT_EQ(state.Receive_Command().Samples, 16);
}

}  // namespace
}  // namespace qev::test
