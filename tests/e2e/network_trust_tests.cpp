// What a client of the Command server can and cannot make the real program
// do: it loads only Command files of RMT_DIR and learns nothing of other
// paths, it cannot hold the program for long, and a close signal ends the
// program within a second whatever the clients asked for.
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>

namespace qev::test {
namespace {

const std::string Greeting = "Welcome to QEV_LPT\r\n# ";
const std::string OK = "Command OK\r\n# ";
const std::string Error = "Command Error\a\r\n# ";

using Clock = std::chrono::steady_clock;

double Seconds_Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The real program with its server open and a Command file loaded from
// `folder` of the profile (its RMT_DIR).
class Network_Trust : public ::testing::Test {
protected:
    TTemp_Dir profile;
    uint16_t port = Free_Loopback_Port();
    std::unique_ptr<TProgram_Runner> program;
    harness::TLoopback_Client client;

    void Start(const std::string& command_file, int echo) {
        ASSERT_NE(port, 0);
        Write_File(profile.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + command_file + "\n[SERVER]\nSTARTUP=1\nPORT=" +
                                                    std::to_string(port) + "\nECHO=" + std::to_string(echo) + "\n");
        program = std::make_unique<TProgram_Runner>(Binary_Folder() + "/QEV_LPT", profile.Path());
        ASSERT_TRUE(program->Start());
        ASSERT_TRUE(client.Connect(port));
        ASSERT_EQ(client.Receive(Greeting.size()), Greeting);
    }
    std::string Ask(const std::string& line) {
        if (!client.Send(line + "\r")) return "(not sent)";
        return client.Receive_Until("# ");
    }
    bool Settings_Written() const { return Read_File(profile.File("QEV_LPT.INI")).find("ECHO=") != std::string::npos; }
};

TEST_F(Network_Trust, A_Client_Loads_Only_Command_Files_Of_The_Folder_And_Learns_Nothing_Of_Other_Paths) {
    std::filesystem::create_directory(profile.File("ir"));
    Write_File(profile.File("ir/tv.rmt"), "@REPEAT = 1\r\nPOWER,FF\r\n");
    Write_File(profile.File("ir/dvd.rmt"), "@REPEAT = 1\r\nDVD,FF\r\n");
    Write_File(profile.File("ir/notes.txt"), "SECRET,FF\r\n");
    Write_File(profile.File("secret.rmt"), "SECRET,FF\r\n");
    Start(profile.File("ir/tv.rmt"), 0);
    const char* refused[][2] = {
        {"absolute path of a file", "@LOAD {profile}/secret.rmt"},
        {"absolute path of nothing", "@LOAD {profile}/missing.rmt"},
        {"parent folder, a file", "@LOAD ../secret.rmt"},
        {"parent folder, nothing", "@LOAD ../missing.rmt"},
        {"another extension, a file", "@LOAD notes.txt"},
        {"another extension, nothing", "@LOAD none.txt"},
        {"a system file", "@LOAD /etc/passwd"},
        {"no file named", "@LOAD"},
    };
    for (const auto& [name, pattern] : refused) {
        SCOPED_TRACE(name);
        std::string line = pattern;
        if (const auto at = line.find("{profile}"); at != std::string::npos) line.replace(at, 9, profile.Path());
        EXPECT_EQ(Ask(line), Error);
        EXPECT_EQ(Ask("POWER"), OK) << "the table is unchanged";
        EXPECT_EQ(Ask("SECRET"), Error);
    }
    EXPECT_EQ(Ask("@LOAD missing.rmt"), Error);
    EXPECT_EQ(Ask("@LOAD dvd.rmt"), OK);
    EXPECT_EQ(Ask("DVD"), OK);
    EXPECT_EQ(program->Terminate(), 0);
}

TEST_F(Network_Trust, A_Wait_Beyond_The_Limit_Is_Refused_At_Once) {
    Write_File(profile.File("tv.rmt"), "POWER,FF\r\n");
    Start(profile.File("tv.rmt"), 0);
    for (const char* line : {"@WAIT 10001", "@WAIT 2147483647", "@WAIT 99999999999"}) {
        SCOPED_TRACE(line);
        const Clock::time_point asked = Clock::now();
        EXPECT_EQ(Ask(line), Error);
        EXPECT_LT(Seconds_Since(asked), 1.0);
    }
    EXPECT_EQ(Ask("@WAIT 20"), OK);
    EXPECT_EQ(program->Terminate(), 0);
}

// SIGTERM while a client's @WAIT holds the program, and while a client's
// hundred queued sends (one write of "LONG\r" x 100, 13 s of sending) wait:
// the program ends within a second, the Settings file written.
struct Client_Work {
    const char* name;
    std::string bytes;
    std::string started;  // what the client hears once the work is under way
};

void PrintTo(const Client_Work& work, std::ostream* out) { *out << work.name; }

class Close_During_Client_Work : public Network_Trust, public ::testing::WithParamInterface<Client_Work> {};

TEST_P(Close_During_Client_Work, Ends_The_Program_Within_A_Second) {
    std::string row = "@REPEAT = 1\r\nLONG";
    for (int i = 0; i < 128; ++i) row += ",0F";  // 1,024 samples: 128 ms
    Write_File(profile.File("long.rmt"), row + "\r\n");
    Start(profile.File("long.rmt"), 1);
    ASSERT_TRUE(client.Send(GetParam().bytes));
    ASSERT_EQ(client.Receive(GetParam().started.size()), GetParam().started);
    const Clock::time_point signalled = Clock::now();
    ::kill(program->Pid(), SIGTERM);
    EXPECT_EQ(program->Wait_For_Exit(20), 0);
    const double seconds = Seconds_Since(signalled);
    std::fprintf(stderr, "ended %.3f s after SIGTERM\n", seconds);
    EXPECT_LT(seconds, 1.0);
    EXPECT_TRUE(Settings_Written());
}

std::string Hundred_Sends() {
    std::string bytes;
    for (int i = 0; i < 100; ++i) bytes += "LONG\r";
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Work, Close_During_Client_Work,
                         ::testing::Values(Client_Work{"a_long_wait", "@WAIT 10000\r", "@WAIT 10000\r\n"},
                                           Client_Work{"a_hundred_queued_sends", Hundred_Sends(), "LONG\r\n" + OK}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qev::test
