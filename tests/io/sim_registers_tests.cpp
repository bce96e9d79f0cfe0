// Registers of the simulated port, the helpers built on byte access, loopback
// and IoSimReset.
#include "tests/io/sim_test_support.h"

#include <cstdlib>

namespace iotest {
namespace {

using Register_Test = SimPortTest;

struct BaseRow {
    const char* name;
    unsigned short base;
    unsigned short other;  // a base that must not be disturbed
};

class Register_Per_Base : public SimPortTest, public ::testing::WithParamInterface<BaseRow> {};

TEST_P(Register_Per_Base, Power_On_Values) {
    const unsigned short base = GetParam().base;
    IoSimRemoteOff();
    EXPECT_EQ(PortIn(base), 0x00) << "data";
    EXPECT_EQ(PortIn(base + 1), 0x00) << "status";
    EXPECT_EQ(PortIn(base + 2), 0x2C) << "control";
    EXPECT_EQ(PortIn(base + 3), 0xFF) << "offset 3";
}

TEST_P(Register_Per_Base, Writes_Read_Back_Where_The_Card_Has_A_Register) {
    const unsigned short base = GetParam().base;
    const unsigned short other = GetParam().other;
    IoSimRemoteOff();
    PortOut(base, 0xA5);
    PortOut(base + 1, 0xFF);  // status is read-only
    PortOut(base + 2, 0x0B);
    PortOut(base + 3, 0x00);  // nothing at offset 3
    EXPECT_EQ(PortIn(base), 0xA5);
    EXPECT_EQ(PortIn(base + 1), 0x00);
    EXPECT_EQ(PortIn(base + 2), 0x0B);
    EXPECT_EQ(PortIn(base + 3), 0xFF);
    EXPECT_EQ(IoSimPeek(base), 0xA5);
    EXPECT_EQ(IoSimPeek(base + 2), 0x0B);
    EXPECT_EQ(PortIn(other), 0x00) << "another base's data";
    EXPECT_EQ(PortIn(other + 2), 0x2C) << "another base's control";
}

// Set_LPT_Address clears the direction bit with a read-modify-write of the
// control register; every other bit must survive.
TEST_P(Register_Per_Base, Clearing_Direction_Bit_Keeps_Other_Control_Bits) {
    const unsigned short control = GetParam().base + 2;
    for (const unsigned before : {0x2Cu, 0xFFu, 0x20u, 0x00u, 0xDFu, 0x35u}) {
        PortOut(control, static_cast<unsigned char>(before));
        PortOut(control, static_cast<unsigned char>(PortIn(control) & 0xDF));
        EXPECT_EQ(PortIn(control), before & 0xDF) << "control was 0x" << std::hex << before;

        PortOut(control, static_cast<unsigned char>(before));
        ClrPortBit(control, 5);
        EXPECT_EQ(PortIn(control), before & 0xDF) << "ClrPortBit, control was 0x" << std::hex << before;
    }
}

INSTANTIATE_TEST_SUITE_P(Bases, Register_Per_Base,
                         ::testing::Values(BaseRow{"lpt1_0x378", 0x378, 0x278}, BaseRow{"lpt2_0x278", 0x278, 0x378},
                                           BaseRow{"mono_card_0x3BC", 0x3BC, 0x378},
                                           BaseRow{"pci_card_0xE800", 0xE800, 0xE804},
                                           BaseRow{"port_zero", 0x0000, 0xFFFC},
                                           BaseRow{"top_block_0xFFFC", 0xFFFC, 0x0000}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- helpers built on byte access ------------------------------------------

struct HelperRow {
    const char* name;
    unsigned char before;
    void (*action)();
    unsigned char after;
};

class Bit_Helpers : public SimPortTest, public ::testing::WithParamInterface<HelperRow> {};

TEST_P(Bit_Helpers, Change_The_Data_Register_As_Described) {
    PortOut(kBase, GetParam().before);
    GetParam().action();
    EXPECT_EQ(PortIn(kBase), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, Bit_Helpers,
    ::testing::Values(HelperRow{"set_bit3", 0x00, [] { SetPortBit(kBase, 3); }, 0x08},
                      HelperRow{"set_bit_already_set", 0x08, [] { SetPortBit(kBase, 3); }, 0x08},
                      HelperRow{"clear_bit0", 0xFF, [] { ClrPortBit(kBase, 0); }, 0xFE},
                      HelperRow{"toggle_bit7_on", 0x0F, [] { NotPortBit(kBase, 7); }, 0x8F},
                      HelperRow{"toggle_bit7_off", 0x8F, [] { NotPortBit(kBase, 7); }, 0x0F},
                      HelperRow{"right_shift_in_1", 0x02, [] { RightPortShift(kBase, 1); }, 0x81},
                      HelperRow{"right_shift_in_0_drops_bit0", 0x03, [] { RightPortShift(kBase, 0); }, 0x01},
                      HelperRow{"right_shift_nonzero_counts_as_1", 0x00, [] { RightPortShift(kBase, 5); }, 0x80},
                      HelperRow{"left_shift_in_1", 0x80, [] { LeftPortShift(kBase, 1); }, 0x01},
                      HelperRow{"left_shift_in_0", 0x41, [] { LeftPortShift(kBase, 0); }, 0x82},
                      HelperRow{"bit8_set_ignored", 0x5A, [] { SetPortBit(kBase, 8); }, 0x5A},
                      HelperRow{"bit8_clear_ignored", 0x5A, [] { ClrPortBit(kBase, 8); }, 0x5A},
                      HelperRow{"bit200_toggle_ignored", 0x5A, [] { NotPortBit(kBase, 200); }, 0x5A}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Register_Test, Get_Port_Bit_Reads_Each_Bit) {
    PortOut(kBase, 0xA5);  // 1010 0101
    const int expected[8] = {1, 0, 1, 0, 0, 1, 0, 1};
    for (unsigned char bit = 0; bit < 8; ++bit) EXPECT_EQ(GetPortBit(kBase, bit), expected[bit]) << "bit " << int(bit);
    EXPECT_EQ(GetPortBit(kBase, 8), 0);
}

TEST_F(Register_Test, Wide_Access_Spans_Consecutive_Ports) {
    IoSimRemoteOff();
    PortOut(kBase, 0x5A);
    // data, status, control, offset 3
    EXPECT_EQ(PortWordIn(kBase), 0x005A);
    EXPECT_EQ(PortDWordIn(kBase), 0xFF2C005Au);

    PortWordOut(kControl, 0x1234);  // 0x34 to control, 0x12 to nothing
    EXPECT_EQ(PortIn(kControl), 0x34);
    EXPECT_EQ(PortWordIn(kControl), 0xFF34);

    PortDWordOut(0x376, 0x44332211);  // 0x376 control, 0x377 -, 0x378 data, 0x379 status
    EXPECT_EQ(PortIn(0x376), 0x11);
    EXPECT_EQ(PortIn(kBase), 0x33);
    EXPECT_EQ(PortDWordIn(0x376), 0x00 << 24 | 0x33 << 16 | 0xFF << 8 | 0x11u);
}

TEST_F(Register_Test, Wide_Access_Wraps_From_Port_0xFFFF_To_Port_0) {
    PortWordOut(0xFFFF, 0x5AA5);  // low byte to nothing at offset 3, high byte to port 0's data
    EXPECT_EQ(PortIn(0x0000), 0x5A);
    EXPECT_EQ(PortWordIn(0xFFFF), 0x5AFF);
}

// ---- loopback ---------------------------------------------------------------

struct LoopbackRow {
    const char* name;
    const char* env;       // IO_SIM_LOOPBACK, or nullptr
    int call;              // IoSimSetLoopback argument after the reset, or -1
    unsigned char data;    // written to 0x378
    unsigned char status;  // expected at 0x379
};

class Loopback : public SimPortTest, public ::testing::WithParamInterface<LoopbackRow> {};

TEST_P(Loopback, Status_Follows_The_LED_Line) {
    const LoopbackRow& row = GetParam();
    if (row.env != nullptr) setenv("IO_SIM_LOOPBACK", row.env, 1);
    IoSimReset();
    IoSimRemoteOff();
    if (row.call >= 0) IoSimSetLoopback(row.call);
    PortOut(kBase, row.data);
    EXPECT_EQ(PortIn(kStatus), row.status);
    EXPECT_EQ(IoSimPeek(kStatus), row.status);
    // The LED of one port does not shine into another port's receiver.
    EXPECT_EQ(PortIn(0x279), 0x00);
}

INSTANTIATE_TEST_SUITE_P(Settings, Loopback,
                         ::testing::Values(LoopbackRow{"off_by_default", nullptr, -1, 0xFF, 0x00},
                                           LoopbackRow{"on_led_on", nullptr, 1, 0xFF, 0x10},
                                           LoopbackRow{"on_led_off_idle_value", nullptr, 1, 0xFE, 0x00},
                                           LoopbackRow{"on_only_bit0_counts", nullptr, 1, 0x01, 0x10},
                                           LoopbackRow{"switched_off_again", "1", 0, 0xFF, 0x00},
                                           LoopbackRow{"from_environment", "1", -1, 0xFF, 0x10},
                                           LoopbackRow{"environment_zero", "0", -1, 0xFF, 0x00}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Register_Test, Loopback_Follows_Every_Write_At_Once) {
    IoSimRemoteOff();
    IoSimSetLoopback(1);
    for (int i = 0; i < 100; ++i) {
        const unsigned char value = (i % 3 == 0) ? 0xFF : 0xFE;
        PortOut(kBase, value);
        ASSERT_EQ(PortIn(kStatus), (value & 1) != 0 ? 0x10 : 0x00) << "write " << i;
    }
}

// ---- reset ----------------------------------------------------------------------

TEST_F(Register_Test, Reset_Restores_Power_On_State) {
    PortOut(kBase, 0x77);
    PortOut(kControl, 0x00);
    PortOut(0x3BC, 0x12);
    IoSimSetLoopback(1);
    IoSimRemoteSetAuto(0);
    IoSimRemoteSetDelayNs(1);
    IoSimRemoteTrigger();
    ASSERT_GT(IoSimTxCount(), 0);
    ASSERT_GE(IoSimRemoteStartNs(), 0);

    IoSimReset();
    EXPECT_EQ(IoSimPeek(kBase), 0x00);
    EXPECT_EQ(IoSimPeek(kControl), 0x2C);
    EXPECT_EQ(IoSimPeek(0x3BC), 0x00);
    EXPECT_EQ(IoSimTxCount(), 0);
    EXPECT_EQ(IoSimRemoteStartNs(), -1);
    EXPECT_EQ(IoSimPeek(kStatus), 0x00) << "loopback off, nothing playing";
    PortOut(kBase, 0xFF);
    EXPECT_EQ(IoSimPeek(kStatus), 0x00) << "loopback is off after a reset";
}

TEST_F(Register_Test, Peek_Has_No_Side_Effects) {
    IoSimRemoteSetDelayNs(0);
    for (int i = 0; i < 100; ++i) IoSimPeek(kStatus);  // would arm the remote as PortIn
    EXPECT_EQ(IoSimRemoteStartNs(), -1);
    IoSimPeek(kBase);
    EXPECT_EQ(IoSimTxCount(), 0);
}

}  // namespace
}  // namespace iotest
