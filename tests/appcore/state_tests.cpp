// Start-up, shutdown and sending through the shared state, with a scripted
// counter and a fake port instead of the hardware.
#include "fake_port.h"
#include "priority_recorder.h"
#include "qev_state.h"
#include "recording_feedback.h"
#include "temp_env.h"

#include <gtest/gtest.h>

namespace qev::test {
namespace {

class State_Test : public ::testing::Test {
protected:
    TTemp_Dir profile;
    TEnv_Guard user{"USERPROFILE", profile.Path()};
    TFake_Counter counter{8'000'000, 1'000, 1};
    TPriority_Recorder priority;
    TRecording_Feedback feedback;
    TFake_Port fake{counter};
    TQEV_State state{counter, priority, feedback};

    void SetUp() override {
        state.Executable_Path = "/usr/bin/QEV_LPT";
        state.Port_Library_Name = "libqev-no-such-port-library.so";  // keep the fake table
        state.Port.Set_Function_Table(TFake_Port::Table());
    }
    std::string Settings_File() const { return profile.File("QEV_LPT.INI"); }
    std::vector<std::string> Texts() const { return feedback.Texts(); }
    void Load(const std::string& text) {
        Write_File(profile.File("c.rmt"), text);
        state.Load_Command_File(profile.File("c.rmt"), 1);
    }
};

TEST_F(State_Test, Without_A_Counter_Start_Up_Stops_First) {
    counter.Present = false;
    EXPECT_FALSE(state.Start_Up());
    EXPECT_EQ(Texts(),
              std::vector<std::string>{"This Hardware dosen't support QueryPerformanceCounter. / Function Error"});
    EXPECT_TRUE(fake.Writes.empty()) << "the port was not prepared";
    EXPECT_EQ(state.Clock.Tick_Period, 0);
    EXPECT_FALSE(File_Exists(Settings_File()));
}

TEST_F(State_Test, Start_Up_Prepares_The_Configured_Port_And_Sizes_The_Buffers) {
    Write_File(Settings_File(),
               "[LPT]\nBase_Address=0x3BC\n[COMMAND]\nMAX_RMTCMD_NUM=$20\n[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=1017\n");
    fake.Registers[0x3BE] = 0x2C;
    ASSERT_TRUE(state.Start_Up());
    EXPECT_EQ(state.Clock.Tick_Period, 1000);
    EXPECT_EQ(fake.Registers[0x3BE], 0x0C);
    EXPECT_EQ(fake.Registers[0x3BC], 0xFE);
    EXPECT_EQ(state.Port_Base(), 0x3BCu);
    EXPECT_EQ(state.Table.Rows(), 32);
    EXPECT_EQ(state.Table.Row_Capacity(), 128);
    EXPECT_EQ(state.Samples.Capacity(), 1024);
    EXPECT_EQ(state.Table.Command_Count, 0);
    EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(State_Test, Zero_And_Negative_Sizes_Give_Empty_Storage_That_Refuses_Safely) {
    Write_File(Settings_File(), "[COMMAND]\nMAX_RMTCMD_NUM=0\n[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=-64\n");
    ASSERT_TRUE(state.Start_Up());
    EXPECT_EQ(state.Table.Rows(), 0);
    EXPECT_EQ(state.Samples.Capacity(), 0);
    Load("POWER,FF\n");
    EXPECT_EQ(Texts(), std::vector<std::string>{"Unexpected Data Size / File Read Error"});
    EXPECT_EQ(state.Table.Command_Count, 0);
    state.Samples.Sample_Count = 500;
    state.Transmit_Command();
    EXPECT_TRUE(fake.Writes.size() == 1u) << "only the port preparation wrote";
    EXPECT_EQ(state.Write_Settings_File(), TShut_Down_Result::Written);
    const std::string ini = Read_File(Settings_File());
    EXPECT_NE(ini.find("MAX_RMTCMD_NUM=0\n"), std::string::npos) << "the value itself is kept";
    EXPECT_NE(ini.find("MAX_RMTCMD_BIT_LENGTH=-64\n"), std::string::npos);
}

TEST_F(State_Test, Send_Command_Transmits_Repeat_Times) {
    ASSERT_TRUE(state.Start_Up());
    Load("@REPEAT = 3\nA,05\n");
    fake.Writes.clear();
    state.Send_Command(0);
    ASSERT_EQ(fake.Writes.size(), 24u);
    EXPECT_EQ(priority.Calls.size(), 3u * 5u) << "each repetition raises and restores";
    // Each repetition starts with its own half tick after the last one's final tick.
    const int64_t gap = fake.Writes[8].Time - fake.Writes[7].Time;
    EXPECT_GE(gap, 1000 + 500);
    EXPECT_LE(gap, 1000 + 500 + 20);
    for (const int32_t repeat : {0, -2}) {
        state.Settings.REPEAT = repeat;
        fake.Writes.clear();
        state.Send_Command(0);
        EXPECT_TRUE(fake.Writes.empty()) << repeat;
    }
    state.Settings.REPEAT = 1;
    for (const int32_t row : {-1, 1, 255}) {
        state.Send_Command(row);
        EXPECT_TRUE(fake.Writes.empty()) << "row " << row << " is not in use";
    }
}

TEST_F(State_Test, Transmit_Never_Reads_Past_The_Buffer) {
    ASSERT_TRUE(state.Start_Up());
    fake.Writes.clear();
    state.Samples.Sample_Count = 5000;  // typed into a length field
    state.Transmit_Command();
    EXPECT_EQ(fake.Writes.size(), 1024u);
}

TEST_F(State_Test, Shutdown_Writes_The_Values_In_Memory) {
    ASSERT_TRUE(state.Start_Up());
    Load("@REPEAT = 3\n");
    state.Set_LPT_Address(0x3bc);
    ASSERT_EQ(state.Write_Settings_File(), TShut_Down_Result::Written);
    const std::string ini = Read_File(Settings_File());
    EXPECT_NE(ini.find("REPEAT=3\n"), std::string::npos);
    EXPECT_NE(ini.find("Base_Address=0x3BC\n"), std::string::npos);
    EXPECT_NE(ini.find("RMT_DIR=" + profile.Path() + "\n"), std::string::npos) << "the folder of the file read";
}

TEST_F(State_Test, Shutdown_Without_A_Profile_Says_So_And_Writes_Nothing) {
    ASSERT_TRUE(state.Start_Up());
    TEnv_Guard no_user("USERPROFILE", std::nullopt);
    TEnv_Guard no_home("HOME", std::nullopt);
    EXPECT_EQ(state.Write_Settings_File(), TShut_Down_Result::No_Profile);
    EXPECT_EQ(Texts(), std::vector<std::string>{"USERPROFILE is not founded / INI File Load Error"});
    EXPECT_FALSE(File_Exists(Settings_File()));
}

}  // namespace
}  // namespace qev::test
