// The real program's Command server, as a person at a terminal and another
// program use it: the worked exchange, byte for byte, and a command that
// really goes out through the simulated port.
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev::test {
namespace {

const std::string Greeting = "Welcome to QEV_LPT\r\n# ";
const std::string OK = "Command OK\r\n# ";
const std::string Error = "Command Error\a\r\n# ";

TEST(Command_Server, The_Worked_Exchange_Byte_For_Byte) {
    TTemp_Dir profile;
    const uint16_t port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    // POWER is one byte (8 samples, all on), PLAY two (4 on, 12 off).
    Write_File(profile.File("tv.rmt"), "@REPEAT = 1\r\nPOWER,FF\r\nPLAY,0F,00\r\n");
    Write_File(profile.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + profile.File("tv.rmt") +
                                                "\n[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(port) + "\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    program.Environment["IO_SIM_TXLOG"] = profile.File("tx.log");
    ASSERT_TRUE(program.Start());

    harness::TLoopback_Client a;
    ASSERT_TRUE(a.Connect(port));
    EXPECT_EQ(a.Receive(Greeting.size()), Greeting);
    // P, O, W, E, R one at a time, each echoed; Enter sends CR LF.
    for (const char c : std::string("POWER")) {
        ASSERT_TRUE(a.Send(std::string(1, c)));
        EXPECT_EQ(a.Receive(1), std::string(1, c));
    }
    ASSERT_TRUE(a.Send("\r\n"));
    EXPECT_EQ(a.Receive(2 + OK.size()), "\r\n" + OK);
    // power: case counts.
    ASSERT_TRUE(a.Send("power\r\n"));
    EXPECT_EQ(a.Receive(5 + 2 + Error.size()), "power\r\n" + Error);
    // Two backspaces on the empty line: two bells.
    ASSERT_TRUE(a.Send("\b\x7f"));
    EXPECT_EQ(a.Receive(2), "\a\a");
    // PLAX, a backspace, Y: the line PLAY runs.
    ASSERT_TRUE(a.Send("PLAX\b"));
    EXPECT_EQ(a.Receive(4 + 3), "PLAX\b \b");
    ASSERT_TRUE(a.Send("Y\r\n"));
    EXPECT_EQ(a.Receive(1 + 2 + OK.size()), "Y\r\n" + OK);

    // A second program writes a whole line at once.
    harness::TLoopback_Client b;
    ASSERT_TRUE(b.Connect(port));
    EXPECT_EQ(b.Receive(Greeting.size()), Greeting);
    ASSERT_TRUE(b.Send("POWER\r\n"));
    EXPECT_EQ(b.Receive(5 + 2 + OK.size()), "POWER\r\n" + OK);

    // Both type into one line: the reply goes to the one whose CR ended it.
    ASSERT_TRUE(a.Send("PO"));
    EXPECT_EQ(a.Receive(2), "PO");
    ASSERT_TRUE(b.Send("WER\r"));
    EXPECT_EQ(b.Receive(3 + 2 + OK.size()), "WER\r\n" + OK);
    EXPECT_EQ(a.Receive_For(0.2), "") << "the other client hears nothing of it";

    EXPECT_EQ(program.Terminate(), 0);
    // The port was prepared (FE), then POWER, PLAY, POWER and POWER went out.
    std::vector<std::string> expected{"FE"};
    const auto append = [&](int count, const char* value) { expected.insert(expected.end(), count, value); };
    append(8, "FF");                    // POWER
    append(4, "FF"), append(12, "FE");  // PLAY
    append(8, "FF"), append(8, "FF");   // POWER twice more
    EXPECT_EQ(Logged_Port_Values(profile.File("tx.log")), expected);
}

TEST(Command_Server, A_Port_In_Use_At_Start_Up_Ends_The_Program_Without_A_Window) {
    TTemp_Dir profile;
    const uint16_t port = Free_Loopback_Port();
    TProgram_Runner holder(Binary_Folder() + "/QEV_LPT", profile.Path());
    const std::string settings = "[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(port) + "\n";
    Write_File(profile.File("QEV_LPT.INI"), settings);
    ASSERT_TRUE(holder.Start());
    harness::TLoopback_Client client;
    ASSERT_TRUE(client.Connect(port));  // the first one listens
    TTemp_Dir second_profile;
    Write_File(second_profile.File("QEV_LPT.INI"), settings);
    TProgram_Runner second(Binary_Folder() + "/QEV_LPT", second_profile.Path());
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Wait_Until_Ready());
    // Its error box waits for a person; SIGTERM answers it, and start-up ends.
    EXPECT_EQ(second.Terminate(), 1);
    EXPECT_EQ(Read_File(second_profile.File("QEV_LPT.INI")), settings) << "the Settings file is untouched";
    EXPECT_EQ(holder.Terminate(), 0);
}

}  // namespace
}  // namespace qev::test
