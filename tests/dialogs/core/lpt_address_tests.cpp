// The port address dialog's choice and its effect on the port, without a
// window, on an in-process fake port.
#include "dialogs/core/lpt_address.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TFake_Port;
using test::TPriority_Recorder;
using test::TRecording_Feedback;

class LPT_Address_Test : public ::testing::Test {
protected:
    TFake_Counter counter;
    TPriority_Recorder priority;
    TRecording_Feedback feedback;
    TFake_Port fake{counter};
    TQEV_State state{counter, priority, feedback, feedback};
    TLPT_Address address{state};

    void SetUp() override { state.Port.Set_Function_Table(TFake_Port::Table()); }
};

TEST_F(LPT_Address_Test, Only_0x378_Shows_The_PCAT_Button_Checked) {
    struct Row {
        const char* name;
        int32_t base;
        TLPT_Port_Kind checked;
    };
    const std::vector<Row> rows = {
        {"pc_at_base", 0x378, TLPT_Port_Kind::PCAT},
        {"thinkpad_base", 0x3BC, TLPT_Port_Kind::ThinkPad},
        {"third_port_from_the_settings_file", 0x278, TLPT_Port_Kind::ThinkPad},
        {"next_to_pc_at", 0x379, TLPT_Port_Kind::ThinkPad},
        {"zero", 0, TLPT_Port_Kind::ThinkPad},
        // The stored value decides, not the 16 bits the port is driven with.
        {"pc_at_above_16_bits", 0x10378, TLPT_Port_Kind::ThinkPad},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state.Settings.Base_Address = row.base;
        EXPECT_EQ(address.FormShow(), row.checked);
    }
}

TEST_F(LPT_Address_Test, OK_Sets_The_Checked_Base_And_Prepares_Its_Port) {
    struct Row {
        const char* name;
        int32_t base;
        TLPT_Port_Kind checked;
        int32_t expected;
    };
    const std::vector<Row> rows = {
        {"pc_at_kept", 0x378, TLPT_Port_Kind::PCAT, 0x378},
        {"thinkpad_kept", 0x3BC, TLPT_Port_Kind::ThinkPad, 0x3BC},
        {"third_port_becomes_thinkpad", 0x278, TLPT_Port_Kind::ThinkPad, 0x3BC},
        {"thinkpad_to_pc_at", 0x3BC, TLPT_Port_Kind::PCAT, 0x378},
        {"pc_at_to_thinkpad", 0x378, TLPT_Port_Kind::ThinkPad, 0x3BC},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state.Settings.Base_Address = row.base;
        const auto base = static_cast<unsigned>(row.expected);
        // Every control bit set and the LED on: OK must clear only the
        // direction bit and turn the LED off, also when the base stays.
        fake.Registers = {{base + Control_Register, 0xFF}, {base + Data_Register, 0xFF}};
        fake.Writes.clear();

        address.OK_ButtonClick(row.checked);

        EXPECT_EQ(state.Settings.Base_Address, row.expected);
        EXPECT_EQ(fake.Registers[base + Control_Register], 0xDF);
        EXPECT_EQ(fake.Registers[base + Data_Register], Data_LED_Off);
        ASSERT_EQ(fake.Writes.size(), 1u);
        EXPECT_EQ(fake.Writes[0].Port, base);
        EXPECT_EQ(fake.Writes[0].Value, 0xFE);
    }
}

TEST_F(LPT_Address_Test, Each_Kind_Has_Its_Base) {
    EXPECT_EQ(LPT_Base_Address(TLPT_Port_Kind::PCAT), 0x378);
    EXPECT_EQ(LPT_Base_Address(TLPT_Port_Kind::ThinkPad), 0x3BC);
}

}  // namespace
}  // namespace qev
