// A remote brought in from another tool's code file, end to end: qev-ir
// turns a Flipper file into a Command file, the real program loads it and
// sends a key through its Command server, and the simulated port's log
// holds the simulated remote's own waveform of that code.
#include "harness/loopback_client.h"
#include "io/sim_remote.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev::test {
namespace {

TEST(Code_Files_End_To_End, A_Flipper_Nec_Code_Goes_Out_As_The_Simulated_Remotes_Own) {
    TTemp_Dir profile;
    Write_File(profile.File("tv.ir"),
               "Filetype: IR signals file\nVersion: 1\n#\nname: POWER\ntype: parsed\nprotocol: NEC\n"
               "address: 04 00 00 00\ncommand: 08 00 00 00\n");
    const std::string tool = Shell_Quoted(Binary_Folder() + "/qev-ir");
    ASSERT_EQ(
        Run_Shell(tool + " convert " + Shell_Quoted(profile.File("tv.ir")) + " " + Shell_Quoted(profile.File("tv.rmt")))
            .second,
        0);
    EXPECT_EQ(Run_Shell(tool + " decode " + Shell_Quoted(profile.File("tv.rmt"))),
              std::make_pair(std::string("POWER  NEC  address 0x04  command 0x08\n"), 0));

    const uint16_t port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    Write_File(profile.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + profile.File("tv.rmt") +
                                                "\n[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(port) + "\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    program.Environment["IO_SIM_TXLOG"] = profile.File("tx.log");
    ASSERT_TRUE(program.Start());
    harness::TLoopback_Client client;
    ASSERT_TRUE(client.Connect(port));
    ASSERT_TRUE(client.Send("POWER\r\n"));
    EXPECT_NE(client.Receive_Until("Command OK\r\n# ").find("POWER\r\nCommand OK"), std::string::npos);
    EXPECT_EQ(program.Terminate(), 0);

    // The port is prepared (FE), then one frame period of samples goes out.
    std::vector<std::string> expected{"FE"};
    const io::Waveform remote = io::Waveform::nec(0x04, 0x08, 0);
    io::WaveformCursor cursor;
    cursor.attach(&remote);
    for (int64_t i = 0; i < 864; ++i) expected.push_back(cursor.level(i * io::kCellNs) ? "FF" : "FE");
    EXPECT_EQ(Logged_Port_Values(profile.File("tx.log")), expected);
}

}  // namespace
}  // namespace qev::test
