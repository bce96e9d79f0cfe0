// Binding the port library: loading, empty slots, release, port preparation.
#include "irport/port_library.h"
#include "tests/support/fake_port.h"

#include <gtest/gtest.h>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TFake_Port;

TEST(Port_Library, A_Missing_Library_Leaves_Every_Slot_Empty) {
    TPort_Library port;
    EXPECT_EQ(port.Load_Port_Library("libqev-no-such-port-library.so"), 1);
    EXPECT_FALSE(port.Loaded());
    EXPECT_EQ(port.Functions().PortOut, nullptr);
    EXPECT_EQ(port.Functions().PortIn, nullptr);
    // Calls through empty slots are harmless: writes vanish, reads are idle.
    port.Port_Out(0x378, 0xFF);
    EXPECT_EQ(port.Port_In(0x379), 0);
    port.Prepare_Port(0x378);
    EXPECT_EQ(port.Unload_Port_Library(), 0);
}

TEST(Port_Library, Preparing_Clears_Only_The_Direction_Bit_And_Turns_The_LED_Off) {
    struct Row {
        const char* name;
        uint8_t control_before;
        uint8_t control_after;
    };
    for (const Row& row : {Row{"bidirectional input", 0x2C, 0x0C}, Row{"already output", 0x0C, 0x0C},
                           Row{"all bits set", 0xFF, 0xDF}, Row{"no bits", 0x00, 0x00}}) {
        SCOPED_TRACE(row.name);
        TFake_Counter counter;
        TFake_Port fake(counter);
        TPort_Library port;
        port.Set_Function_Table(TFake_Port::Table());
        fake.Registers[0x3BE] = row.control_before;
        fake.Registers[0x3BC] = 0x00;
        port.Prepare_Port(0x3BC);
        EXPECT_EQ(fake.Registers[0x3BE], row.control_after);
        EXPECT_EQ(fake.Registers[0x3BC], 0xFE);
    }
}

TEST(Port_Library, Without_PortIn_The_Control_Register_Is_Left_Alone) {
    TFake_Counter counter;
    TFake_Port fake(counter);
    TPort_Library port;
    port.Set_Function_Table(TFake_Port::Table(true, false));
    fake.Registers[0x37A] = 0x2C;
    port.Prepare_Port(0x378);
    EXPECT_EQ(fake.Registers[0x37A], 0x2C);
    EXPECT_EQ(fake.Registers[0x378], 0xFE);
}

}  // namespace
}  // namespace qev
