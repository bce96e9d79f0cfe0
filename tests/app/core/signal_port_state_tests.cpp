// Sending and learning when the port takes whole signals (a kernel IR
// device): the carrier a signal goes out with, the keys' sends become
// durations with the protocol's carrier, a port that cannot send says so
// once, and a capture learns through the port's receiver.
#include "app/core/table_codes.h"
#include "ir/protocols.h"
#include "ir/sampling.h"
#include "irport/signal_port.h"
#include "tests/support/state_fixture.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace qev::test {
namespace {

struct TDevice {
    int Features = Signal_Send | Signal_Receive | Signal_Carrier;
    std::vector<std::vector<uint32_t>> Sent;
    std::vector<unsigned> Carriers;
    std::deque<std::vector<unsigned>> Arriving;
};
TDevice device;

int Features() { return device.Features; }
int Send(const unsigned* durations, int count, unsigned carrier_hz) {
    if (!(device.Features & Signal_Send)) return -1;
    device.Sent.emplace_back(durations, durations + count);
    device.Carriers.push_back(carrier_hz);
    return 0;
}
int Receive(unsigned* durations, int capacity, int, unsigned, unsigned) {
    if (device.Arriving.empty()) return 0;
    const std::vector<unsigned> next = device.Arriving.front();
    device.Arriving.pop_front();
    const int count = std::min(capacity, static_cast<int>(next.size()));
    std::copy(next.begin(), next.begin() + count, durations);
    return count;
}
const char* Error() { return "/dev/lirc0: the device has no transmitter"; }

class Signal_Port_State_Test : public State_Fixture {
protected:
    void SetUp() override {
        State_Fixture::SetUp();
        device = TDevice{};
        ASSERT_TRUE(state.Start_Up());
        state.Port.Set_Signal_Table({Features, Send, Receive, Error});
        fake.Writes.clear();  // start-up prepared the port
    }
    // Row `row` holds `code` sampled, under `name`.
    void Put(int32_t row, const std::string& name, const TIR_Code& code) {
        Store_Levels(state.Table, row, Sample_Timing(Encode(code), state.Samples.Capacity()));
        state.Table.Set_Name(row, name);
        state.Table.Command_Count = std::max(state.Table.Command_Count, row + 1);
    }
};

TEST(Signal_Carrier, Is_The_Setting_Else_The_Protocol_s_Usual_One_Else_38_kHz) {
    struct Row {
        const char* name;
        std::optional<TIR_Code> code;  // nothing: a burst that is no protocol's
        int32_t setting;
        int32_t expected;
    };
    const std::vector<Row> rows = {
        {"NEC", TIR_Code{TProtocol::NEC, 0x04, 0x08}, 0, 38000},
        {"RC5", TIR_Code{TProtocol::RC5, 0x05, 0x21}, 0, 36000},
        {"RC6", TIR_Code{TProtocol::RC6, 0x00, 0x0C}, 0, 36000},
        {"SIRC", TIR_Code{TProtocol::SIRC, 0x01, 0x15}, 0, 40000},
        {"no protocol", std::nullopt, 0, 38000},
        {"the setting rules", TIR_Code{TProtocol::RC5, 0x05, 0x21}, 56000, 56000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSample_Buffer samples;
        samples.Allocate(8000, 0);
        TLevels levels(40, 1);
        levels.resize(80, 0);
        if (row.code) levels = Sample_Timing(Encode(*row.code), samples.Capacity());
        for (std::size_t i = 0; i < levels.size(); ++i) samples[static_cast<int32_t>(i)] = levels[i] ? 255 : 0;
        samples.Sample_Count = static_cast<int32_t>(levels.size());
        TSettings settings;
        settings.CARRIER = row.setting;
        EXPECT_EQ(Signal_Carrier_Hz(settings, samples), row.expected);
    }
}

TEST_F(Signal_Port_State_Test, A_Send_Goes_Out_As_Durations_With_Its_Protocol_s_Carrier) {
    Put(0, "NEC", {TProtocol::NEC, 0x04, 0x08});
    Put(1, "RC5", {TProtocol::RC5, 0x05, 0x21});
    Put(2, "SIRC", {TProtocol::SIRC, 0x01, 0x15});
    state.Settings.REPEAT = 2;
    for (int32_t row = 0; row < 3; ++row) state.Send_Command(row);
    EXPECT_TRUE(fake.Writes.empty()) << "no register is written";
    EXPECT_EQ(device.Carriers, (std::vector<unsigned>{38000, 36000, 40000}));
    state.Unpack_Command(0);
    ASSERT_EQ(device.Sent.size(), 3u);
    EXPECT_EQ(device.Sent[0], Signal_Of_Samples(state.Samples.Data(), state.Samples.Sample_Count, 2));

    state.Settings.CARRIER = 56000;  // the setting rules
    state.Send_Command(1);
    EXPECT_EQ(device.Carriers.back(), 56000u);
    EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(Signal_Port_State_Test, A_Port_That_Cannot_Send_Says_So_Once) {
    Put(0, "NEC", {TProtocol::NEC, 0x04, 0x08});
    device.Features = Signal_Receive;
    state.Send_Command(0);
    state.Send_Command(0);
    state.Transmit_Command();
    EXPECT_TRUE(device.Sent.empty());
    EXPECT_TRUE(fake.Writes.empty()) << "not through the registers either";
    ASSERT_EQ(feedback.Messages.size(), 1u);
    EXPECT_EQ(feedback.Messages[0].Caption, "Send Error");
    EXPECT_EQ(feedback.Messages[0].Text.rfind("/dev/lirc0: the device has no transmitter\n", 0), 0u);
}

TEST_F(Signal_Port_State_Test, A_Capture_Learns_Through_The_Port_s_Receiver) {
    state.Settings.MAX_RMTCMD_BIT_LENGTH = 16;
    device.Arriving = {{1250, 250, 125}};  // 10 samples on, 2 off, 1 on
    const TReceive_Report report = state.Receive_Command();
    ASSERT_EQ(report.Result, TReceive_Result::Received);
    const std::vector<int32_t> expected{255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0};
    EXPECT_EQ(std::vector<int32_t>(state.Samples.Data(), state.Samples.Data() + 16), expected);
    EXPECT_TRUE(fake.Writes.empty());
}

}  // namespace
}  // namespace qev::test
