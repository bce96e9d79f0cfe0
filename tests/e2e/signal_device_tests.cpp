// The real program on a kernel IR device (the port library's stand-in,
// IO_BACKEND=simlirc): a key sent through the Command server goes out as
// the durations of its samples, REPEAT transmissions in one signal, with
// the carrier of the protocol it decodes to.
#include "harness/loopback_client.h"
#include "irport/signal_port.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/signal_log.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace qev::test {
namespace {

// The samples of a Command file line "NAME,XX,XX,...": bit 0 of each byte first.
std::vector<int32_t> Samples_Of_Row(const std::string& line) {
    std::vector<int32_t> samples;
    std::istringstream fields(line.substr(line.find(',') + 1));
    for (std::string field; std::getline(fields, field, ',');) {
        const unsigned byte = std::stoul(field, nullptr, 16);
        for (int bit = 0; bit < 8; ++bit) samples.push_back((byte >> bit) & 1u ? 255 : 0);
    }
    return samples;
}

TEST(Signal_Device, A_Key_Goes_Out_As_Its_Durations_With_Its_Protocol_s_Carrier) {
    TTemp_Dir profile;
    const uint16_t port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    const std::string tool = Shell_Quoted(Binary_Folder() + "/qev-ir");
    const std::string file = profile.File("tv.rmt");
    ASSERT_EQ(Run_Shell(tool + " encode " + Shell_Quoted(file) + " POWER NEC 0x04 0x08").second, 0);
    ASSERT_EQ(Run_Shell(tool + " encode " + Shell_Quoted(file) + " VOL RC5 0x05 0x10").second, 0);
    ASSERT_EQ(Run_Shell(tool + " encode " + Shell_Quoted(file) + " MUTE SIRC 0x01 0x14").second, 0);
    const std::string text = Read_File(file);
    ASSERT_EQ(text.rfind("@REPEAT = 1\r\n", 0), 0u);
    Write_File(file, "@REPEAT = 2\r\n" + text.substr(13));  // each key: two transmissions
    Write_File(profile.File("QEV_LPT.INI"),
               "[DIR]\nRMT_FILE=" + file + "\n[SERVER]\nSTARTUP=1\nECHO=0\nPORT=" + std::to_string(port) + "\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    const std::string log = profile.File("signals.log");
    program.Environment["IO_BACKEND"] = "simlirc";
    program.Environment["IO_SIM_TXLOG"] = log;
    ASSERT_TRUE(program.Start());
    harness::TLoopback_Client client;
    ASSERT_TRUE(client.Connect(port));
    ASSERT_TRUE(client.Send("POWER\rVOL\rMUTE\r"));
    const std::string replies = "Welcome to QEV_LPT\r\n# Command OK\r\n# Command OK\r\n# Command OK\r\n# ";
    EXPECT_EQ(client.Receive(replies.size()), replies);
    EXPECT_EQ(program.Terminate(), 0);

    std::istringstream rows(Read_File(file));
    std::string line;
    std::getline(rows, line);  // @REPEAT
    const std::vector<TLogged_Signal> signals = Read_Signal_Log(log);
    ASSERT_EQ(signals.size(), 3u) << Read_File(log);
    const unsigned carriers[] = {38000, 36000, 40000};
    for (std::size_t i = 0; i < 3 && std::getline(rows, line); ++i) {
        SCOPED_TRACE(line.substr(0, line.find(',')));
        const std::vector<int32_t> samples = Samples_Of_Row(line);
        EXPECT_EQ(signals[i].Carrier_Hz, carriers[i]);
        EXPECT_EQ(signals[i].Durations, Signal_Of_Samples(samples.data(), static_cast<int32_t>(samples.size()), 2))
            << "two transmissions in one signal";
    }
}

}  // namespace
}  // namespace qev::test
