// The debug tool's lamps and LED buttons, without a window, on an in-process
// fake port.
#include "dialogs/core/debug_tool.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TFake_Port;
using test::TPriority_Recorder;
using test::TRecording_Feedback;

class Debug_Tool_Test : public ::testing::Test {
protected:
    TFake_Counter counter;
    TPriority_Recorder priority;
    TRecording_Feedback feedback;
    TFake_Port fake{counter};
    TQEV_State state{counter, priority, feedback, feedback};

    void SetUp() override {
        state.Port.Set_Function_Table(TFake_Port::Table());
        state.Settings.Base_Address = 0x378;
    }
    // The receiver line from now on: active (infrared) or idle.
    void Receiver_Line(bool active) {
        fake.Script_Line(counter.Now, 1'000'000'000'000, {active ? uint8_t{1} : uint8_t{0}});
    }
};

TEST_F(Debug_Tool_Test, The_Colours_Are_Red_Yellow_And_White_With_Red_In_The_Lowest_Byte) {
    EXPECT_EQ(Lamp_Red, 0x0000FFu);
    EXPECT_EQ(Lamp_Yellow, 0x00FFFFu);
    EXPECT_EQ(Lamp_White, 0xFFFFFFu);
}

TEST_F(Debug_Tool_Test, The_TX_Lamp_Opens_With_Data_Line_0) {
    struct Row {
        const char* name;
        uint8_t data;
        uint32_t color;
    };
    const std::vector<Row> rows = {
        {"led_on", 0xFF, Lamp_Red},          {"idle", 0xFE, Lamp_White},        {"only_line_0", 0x01, Lamp_Red},
        {"all_lines_low", 0x00, Lamp_White}, {"only_line_7", 0x80, Lamp_White}, {"lines_0_and_1", 0x03, Lamp_Red},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake.Registers = {{0x378, row.data}};
        const TDebug_Tool tool(state);
        EXPECT_EQ(tool.TX_LED_Color(), row.color);
    }
}

TEST_F(Debug_Tool_Test, The_TX_Lamp_Reads_The_Data_Register_At_The_Base_In_Use) {
    struct Row {
        const char* name;
        int32_t base;
    };
    for (const Row& row : {Row{"pc_at", 0x378}, Row{"thinkpad", 0x3BC}, Row{"third_port", 0x278}}) {
        SCOPED_TRACE(row.name);
        state.Settings.Base_Address = row.base;
        // The LED is on at this base only; the other registers say otherwise.
        fake.Registers = {{0x378, 0xFE}, {0x3BC, 0xFE}, {0x278, 0xFE}};
        fake.Registers[static_cast<unsigned>(row.base)] = 0xFF;
        EXPECT_EQ(TDebug_Tool(state).TX_LED_Color(), Lamp_Red);
    }
}

TEST_F(Debug_Tool_Test, The_RX_Lamp_Opens_White_And_Follows_The_Receiver_Line_At_Each_Refresh) {
    fake.Registers = {{0x378, 0xFF}, {0x37A, 0x00}};
    Receiver_Line(true);
    TDebug_Tool tool(state);
    EXPECT_EQ(tool.RX_LED_Color(), Lamp_White) << "white until the first refresh, whatever the line does";
    EXPECT_EQ(fake.Status_Reads, 0) << "the opening reads the data register only";

    struct Row {
        const char* name;
        bool active;
        uint32_t color;
    };
    const std::vector<Row> rows = {
        {"infrared", true, Lamp_Yellow},       {"still_infrared", true, Lamp_Yellow}, {"idle", false, Lamp_White},
        {"infrared_again", true, Lamp_Yellow}, {"idle_again", false, Lamp_White},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Receiver_Line(row.active);
        const int64_t reads = fake.Status_Reads;
        tool.Debug_TimerTimer();
        EXPECT_EQ(fake.Status_Reads, reads + 1) << "one status read per refresh";
        EXPECT_EQ(tool.RX_LED_Color(), row.color);
        EXPECT_EQ(tool.TX_LED_Color(), Lamp_Red) << "the refresh leaves the TX lamp alone";
    }
    EXPECT_TRUE(fake.Writes.empty()) << "refreshing only reads";
}

TEST_F(Debug_Tool_Test, The_Buttons_Write_0xFF_And_0x00_At_The_Base_In_Use) {
    struct Row {
        const char* name;
        int32_t base;
    };
    for (const Row& row : {Row{"pc_at", 0x378}, Row{"thinkpad", 0x3BC}, Row{"third_port", 0x278}}) {
        SCOPED_TRACE(row.name);
        state.Settings.Base_Address = 0x378;
        fake.Registers = {{0x378, 0xFE}};
        TDebug_Tool tool(state);
        // The base may change while the dialog is open; the buttons use the current one.
        state.Settings.Base_Address = row.base;
        fake.Writes.clear();
        const auto base = static_cast<unsigned>(row.base);

        tool.IR_LED_ON_ButtonClick();
        EXPECT_EQ(tool.TX_LED_Color(), Lamp_Red);
        EXPECT_EQ(fake.Registers[base], 0xFF);
        tool.IR_LED_OFF_ButtonClick();
        EXPECT_EQ(tool.TX_LED_Color(), Lamp_White);
        EXPECT_EQ(fake.Registers[base], 0x00) << "every line low, not the idle 0xFE";

        ASSERT_EQ(fake.Writes.size(), 2u);
        EXPECT_EQ(fake.Writes[0].Port, base);
        EXPECT_EQ(fake.Writes[0].Value, 0xFF);
        EXPECT_EQ(fake.Writes[1].Port, base);
        EXPECT_EQ(fake.Writes[1].Value, 0x00);
        EXPECT_EQ(tool.RX_LED_Color(), Lamp_White) << "the buttons leave the RX lamp alone";
    }
}

TEST_F(Debug_Tool_Test, Names_The_Port_In_Use) {
    test::TEnv_Guard backend{"IO_BACKEND", std::nullopt};
    struct Row {
        const char* name;
        std::string library;  // "": the fake port set by hand, no library loaded
        const char* device;   // IO_DEVICE as the library loads
        const char* caption;
    };
    const std::string bin = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    const std::vector<Row> rows = {
        {"no_library", "", "/nonexistent/parport0", "Port: none (the port library is not loaded)"},
        {"no_parallel_port", bin + "/libio.so", "/nonexistent/parport0", "Port: simulated port"},
        {"a_device_that_is_no_port", bin + "/libio.so", "/dev/null",
         "Port: simulated port (/dev/null: not a ppdev device)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TEnv_Guard device{"IO_DEVICE", row.device};
        if (!row.library.empty()) {
            ASSERT_EQ(state.Port.Load_Port_Library(row.library.c_str()), 0) << state.Port.Load_Error();
        }
        EXPECT_EQ(TDebug_Tool(state).Port_Caption(), row.caption);
        state.Port.Unload_Port_Library();
    }
}

TEST_F(Debug_Tool_Test, Without_A_Port_Library_Both_Lamps_Stay_White) {
    state.Port.Set_Function_Table({});
    TDebug_Tool tool(state);
    EXPECT_EQ(tool.TX_LED_Color(), Lamp_White);
    tool.Debug_TimerTimer();
    EXPECT_EQ(tool.RX_LED_Color(), Lamp_White);
    tool.IR_LED_ON_ButtonClick();
    EXPECT_EQ(tool.TX_LED_Color(), Lamp_Red) << "the lamp shows what the button asked for";
}

}  // namespace
}  // namespace qev
