// The real program when things go wrong around it: a port library that is
// missing, broken or incomplete, and a close signal that arrives in the
// middle of a long transmission or while a message box waits for an answer.
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_env.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace qev::test {
namespace {

namespace fs = std::filesystem;

// Lines of `text` that start with `prefix`.
std::vector<std::string> Lines_Starting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

std::size_t Line_Count(const std::string& path, const std::string& ending = "") {
    std::ifstream in(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) lines += line.ends_with(ending);
    return lines;
}

// The Settings file is written at shutdown with every key, ECHO among them.
bool Written_At_Shutdown(const std::string& ini) { return Read_File(ini).find("ECHO=1\n") != std::string::npos; }

TEST(Program, A_Port_Library_That_Cannot_Send_Or_Learn_Is_Named_On_Standard_Error) {
    struct Row {
        const char* name;
        std::string library;  // copied beside the program as libio.so; "" for none, "text" for a text file
        const char* line;     // the one line expected on standard error, up to the loader's words
        const char* tail;
    };
    const std::string bin = Binary_Folder();
    const std::vector<Row> rows = {
        {"missing", "", "QEV_LPT: the port library libio.so could not be loaded (", "): sending and learning are off"},
        {"not_a_shared_library", "text", "QEV_LPT: the port library libio.so could not be loaded (",
         "): sending and learning are off"},
        {"without_port_in", bin + "/only_port_out/libio.so",
         "QEV_LPT: the port library libio.so has no PortIn: learning is off, sending works", ""},
        {"without_port_out", bin + "/only_port_in/libio.so",
         "QEV_LPT: the port library libio.so has no PortOut: sending is off, learning works", ""},
        {"the_real_one", bin + "/libio.so", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TTemp_Dir profile, programs;
        fs::copy_file(bin + "/QEV_LPT", programs.File("QEV_LPT"));
        if (row.library == "text")
            Write_File(programs.File("libio.so"), "this is not a shared library\n");
        else if (!row.library.empty())
            fs::copy_file(row.library, programs.File("libio.so"));
        TProgram_Runner program(programs.File("QEV_LPT"), profile.Path());
        program.Stderr_Path = profile.File("stderr.txt");
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(program.Wait_Until_Ready());
        ASSERT_TRUE(program.Wait_Until_Idle()) << "past start-up, window shown";
        EXPECT_EQ(program.Terminate(), 0) << "the program runs and ends normally without a whole port library";
        EXPECT_TRUE(Written_At_Shutdown(profile.File("QEV_LPT.INI")));
        const auto lines = Lines_Starting(Read_File(profile.File("stderr.txt")), "QEV_LPT:");
        if (!row.line) {
            EXPECT_TRUE(lines.empty()) << lines.front();
            continue;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind(row.line, 0), 0u) << lines[0];
        EXPECT_TRUE(lines[0].ends_with(row.tail)) << lines[0];
    }
}

class Close_Signal_Test : public ::testing::TestWithParam<int> {};

// A close signal during a send of twelve transmissions: the transmission
// under way finishes (the LED is never cut off in the middle of a frame),
// the rest are dropped, and the program ends at once.
TEST_P(Close_Signal_Test, During_A_Long_Send_Finishes_The_Transmission_Under_Way_And_Writes_The_Settings) {
    TTemp_Dir profile;
    const uint16_t port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    // LONG is 128 bytes, 1,024 samples (128 ms); sent 12 times, about 1.5 s.
    // Each byte 0F lights the LED for four samples: 512 writes of FF each.
    constexpr std::size_t Lit_Per_Transmission = 512;
    std::string row = "@REPEAT = 12\r\nLONG";
    for (int i = 0; i < 128; ++i) row += ",0F";
    Write_File(profile.File("long.rmt"), row + "\r\n");
    const std::string ini = profile.File("QEV_LPT.INI");
    Write_File(ini, "[DIR]\nRMT_FILE=" + profile.File("long.rmt") +
                        "\n[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(port) + "\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    const std::string log = profile.File("tx.log");
    program.Environment["IO_SIM_TXLOG"] = log;
    ASSERT_TRUE(program.Start());
    harness::TLoopback_Client client;
    ASSERT_TRUE(client.Connect(port));
    ASSERT_FALSE(client.Receive(22).empty());  // the greeting
    ASSERT_TRUE(client.Send("LONG\r"));
    // Once the transmission is well under way, the signal arrives.
    ASSERT_TRUE(Wait_Until([&] { return Line_Count(log) >= 2000; }, std::chrono::seconds(10)))
        << "the transmission did not start";
    const auto signalled = std::chrono::steady_clock::now();
    ::kill(program.Pid(), GetParam());
    EXPECT_EQ(program.Wait_For_Exit(20), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    std::fprintf(stderr, "ended %.3f s after the signal\n", seconds);
    EXPECT_LT(seconds, 1.0);
    const std::size_t lit = Line_Count(log, " FF");
    EXPECT_EQ(lit % Lit_Per_Transmission, 0u) << "a transmission was cut short: " << lit << " lit samples";
    EXPECT_LT(lit, 12 * Lit_Per_Transmission) << "the transmissions after the one under way were dropped";
    EXPECT_TRUE(Written_At_Shutdown(ini)) << Read_File(ini);
}

TEST_P(Close_Signal_Test, While_A_Message_Box_Waits_Dismisses_It_And_Writes_The_Settings) {
    TTemp_Dir profile;
    // Two commands for a table of one: loading at start-up stops at a message box.
    Write_File(profile.File("two.rmt"), "@REPEAT = 1\r\nA,01\r\nB,02\r\n");
    const std::string ini = profile.File("QEV_LPT.INI");
    Write_File(ini, "[DIR]\nRMT_FILE=" + profile.File("two.rmt") + "\n[COMMAND]\nMAX_RMTCMD_NUM=1\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    ASSERT_TRUE(program.Wait_Until_Idle()) << "the box waits for its user";
    EXPECT_EQ(program.Wait_For_Exit(0.1), -1) << "the box should hold the program";
    ::kill(program.Pid(), GetParam());
    EXPECT_EQ(program.Wait_For_Exit(20), 0);
    EXPECT_TRUE(Written_At_Shutdown(ini)) << Read_File(ini);
}

INSTANTIATE_TEST_SUITE_P(Signals, Close_Signal_Test, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

}  // namespace
}  // namespace qev::test
