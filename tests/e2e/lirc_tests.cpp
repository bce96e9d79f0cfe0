// The real program's LIRC listener, as LIRC's own clients use it: a raw
// socket client for every reply form, and Debian's irsend sending and
// listing through it; what was sent is read back from the simulated port's
// log.
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/lirc_replies.h"
#include "tests/support/temp_env.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qev::test {
namespace {

using namespace std::chrono_literals;

// POWER is one byte (8 samples on), PLAY two (4 on, 12 off), HOLD 128 bytes
// (1,024 samples, 128 ms: long enough to be repeating when SEND_STOP comes),
// "VOL UP" one byte (4 on, 4 off), listed as VOL_UP.
std::string Command_File_Text() {
    std::string text = "@REPEAT = 1\r\nPOWER,FF\r\nPLAY,0F,00\r\nHOLD";
    for (int i = 0; i < 128; ++i) text += ",0F";
    return text + "\r\nVOL UP,0F\r\n";
}

void Append(std::vector<std::string>& values, int count, const char* value) {
    values.insert(values.end(), count, value);
}
void Append_Power(std::vector<std::string>& values) { Append(values, 8, "FF"); }
void Append_Play(std::vector<std::string>& values) {
    Append(values, 4, "FF");
    Append(values, 12, "FE");
}
void Append_Hold(std::vector<std::string>& values) {
    for (int i = 0; i < 128; ++i) {
        Append(values, 4, "FF");
        Append(values, 4, "FE");
    }
}

using lirc::Err;
using lirc::Ok;

// A scratch profile whose Settings load tv.rmt at start-up and enable the
// LIRC listener on a free loopback port; the program logs its port writes.
class Lirc_End_To_End : public ::testing::Test {
protected:
    TTemp_Dir profile;
    uint16_t port = Free_Loopback_Port();
    TProgram_Runner program{Binary_Folder() + "/QEV_LPT", profile.Path()};

    void SetUp() override {
        ASSERT_NE(port, 0);
        Write_File(profile.File("tv.rmt"), Command_File_Text());
        Write_File(profile.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + profile.File("tv.rmt") +
                                                    "\n[LIRC]\nENABLE=1\nPORT=" + std::to_string(port) + "\n");
        program.Environment["IO_SIM_TXLOG"] = profile.File("tx.log");
        ASSERT_TRUE(program.Start());
        harness::TLoopback_Client probe;
        ASSERT_TRUE(probe.Connect(port)) << "the listener opens during start-up";
    }
    std::vector<std::string> Log() const { return Logged_Port_Values(profile.File("tx.log")); }
    // Nothing more goes out: once the transmission under way has ended (the
    // log, written every ~10 ms while the port is busy, has not grown for
    // 50 ms), it does not grow for half a second, four HOLD transmissions' time.
    void Expect_Quiet() const {
        std::size_t before = Log().size();
        auto unchanged_since = std::chrono::steady_clock::now();
        ASSERT_TRUE(Wait_Until(
            [&] {
                const std::size_t now = Log().size();
                if (now != before) {
                    before = now;
                    unchanged_since = std::chrono::steady_clock::now();
                }
                return std::chrono::steady_clock::now() - unchanged_since >= 50ms;
            },
            10s))
            << "the port went on after SEND_STOP";
        EXPECT_FALSE(Wait_Until([&] { return Log().size() != before; }, 500ms, 20ms))
            << "the port went on after SEND_STOP";
    }
};

TEST_F(Lirc_End_To_End, A_Raw_Client_Gets_Every_Reply_Form_Byte_For_Byte) {
    const std::string keys_line = "0000000000000000 ";
    struct Row {
        const char* name;
        std::string sent;  // with its line end
        std::string reply;
    };
    const std::string too_long(1500, 'L');
    const std::vector<Row> rows = {
        {"list_remotes", "LIST\n", Ok("LIST", {"tv"})},
        {"list_keys", "LIST tv\n",
         Ok("LIST tv", {keys_line + "POWER", keys_line + "PLAY", keys_line + "HOLD", keys_line + "VOL_UP"})},
        {"list_one_key_cr_lf", "list TV play\r\n", Ok("list TV play\r", {keys_line + "PLAY"})},
        {"version", "VERSION\n", Ok("VERSION", {QEV_PROGRAM_VERSION})},
        {"send_once", "SEND_ONCE tv POWER\n", Ok("SEND_ONCE tv POWER")},
        {"send_once_count", "SEND_ONCE tv PLAY 2\n", Ok("SEND_ONCE tv PLAY 2")},
        {"unknown_remote", "SEND_ONCE xx POWER\n", Err("SEND_ONCE xx POWER", "unknown remote: \"xx\"")},
        {"unknown_key", "SEND_ONCE tv MUTE\n", Err("SEND_ONCE tv MUTE", "unknown command: \"MUTE\"")},
        {"unknown_directive", "SEND 1\n", Err("SEND 1", "unknown directive: \"SEND\"")},
        {"simulate", "SIMULATE 1\n", Err("SIMULATE 1", "SIMULATE command is disabled")},
        {"bad_count", "SEND_ONCE tv POWER two\n", Err("SEND_ONCE tv POWER two", "bad send packet (reps/eol)")},
        {"count_too_large", "SEND_ONCE tv POWER 601\n",
         Err("SEND_ONCE tv POWER 601", "too many repeats: \"601\" > \"600\"")},
        {"no_key", "SEND_START tv\n", Err("SEND_START tv", "code missing")},
        {"stop_not_repeating", "SEND_STOP tv HOLD\n", Err("SEND_STOP tv HOLD", "not repeating")},
        {"empty_line", "\n", Err("", "bad send packet")},
        {"too_long", too_long + "\n", Err(too_long.substr(0, 1024), "line too long: more than 1024 bytes")},
    };
    harness::TLoopback_Client client;
    ASSERT_TRUE(client.Connect(port));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(client.Send(row.sent));
        EXPECT_EQ(client.Receive(row.reply.size()), row.reply);
    }
    EXPECT_EQ(program.Terminate(), 0);

    // The port's preparation, POWER, then PLAY three times.
    std::vector<std::string> expected{"FE"};
    Append_Power(expected);
    for (int i = 0; i < 3; ++i) Append_Play(expected);
    EXPECT_EQ(Log(), expected);
}

// irsend from Debian's lirc package, found along PATH or in /usr/bin.
std::string Irsend() {
    const char* path = std::getenv("PATH");
    std::string folders = std::string(path ? path : "") + ":/usr/bin";
    for (std::size_t at = 0; at <= folders.size();) {
        const std::size_t colon = std::min(folders.find(':', at), folders.size());
        const std::string file = folders.substr(at, colon - at) + "/irsend";
        if (colon > at && ::access(file.c_str(), X_OK) == 0) return file;
        at = colon + 1;
    }
    return "";
}

TEST_F(Lirc_End_To_End, Irsend_Sends_Lists_And_Hears_The_Errors) {
    const std::string irsend = Irsend();
    if (irsend.empty()) GTEST_SKIP() << "irsend is not installed (Debian's lirc package; scripts/install-deps adds it)";
    const std::string at = irsend + " -a 127.0.0.1:" + std::to_string(port) + " ";

    const auto [list, list_status] = Run_Shell(at + "LIST tv ''", true);
    EXPECT_EQ(list_status, 0) << list;
    for (const char* name : {"POWER", "PLAY", "HOLD"})
        EXPECT_NE(list.find(std::string("0000000000000000 ") + name + "\n"), std::string::npos) << list;
    const auto [remotes, remotes_status] = Run_Shell(at + "LIST '' ''", true);
    EXPECT_EQ(remotes_status, 0) << remotes;
    EXPECT_NE(remotes.find("tv\n"), std::string::npos) << remotes;

    const auto [sent, sent_status] = Run_Shell(at + "SEND_ONCE tv POWER", true);
    EXPECT_EQ(sent_status, 0) << sent;
    const auto [counted, counted_status] = Run_Shell(at + "--count=2 SEND_ONCE tv PLAY", true);
    EXPECT_EQ(counted_status, 0) << counted;
    const auto [unknown, unknown_status] = Run_Shell(at + "SEND_ONCE tv MUTE", true);
    EXPECT_NE(unknown_status, 0);
    EXPECT_NE(unknown.find("unknown command: \"MUTE\""), std::string::npos) << unknown;

    // The port's preparation, POWER, PLAY three times (--count=2: two more).
    std::vector<std::string> expected{"FE"};
    Append_Power(expected);
    for (int i = 0; i < 3; ++i) Append_Play(expected);

    // Held down: irsend leaves after SEND_START, and a second one stops it
    // once HOLD has gone out twice.
    const auto [started, started_status] = Run_Shell(at + "SEND_START tv HOLD", true);
    EXPECT_EQ(started_status, 0) << started;
    EXPECT_TRUE(Wait_Until([&] { return Log().size() >= expected.size() + 2 * 1024; }, 10s))
        << "HOLD did not go out twice";
    const auto [stopped, stopped_status] = Run_Shell(at + "SEND_STOP tv HOLD", true);
    EXPECT_EQ(stopped_status, 0) << stopped;
    Expect_Quiet();
    const auto [again, again_status] = Run_Shell(at + "SEND_STOP tv HOLD", true);
    EXPECT_NE(again_status, 0);
    EXPECT_NE(again.find("not repeating"), std::string::npos) << again;
    EXPECT_EQ(program.Terminate(), 0);

    // Then HOLD a few times.
    const std::vector<std::string> log = Log();
    ASSERT_GT(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + static_cast<long>(expected.size())), expected)
        << "POWER's samples, then PLAY's";
    const std::size_t holds = (log.size() - expected.size()) / 1024;
    EXPECT_EQ(log.size() - expected.size(), holds * 1024) << "whole transmissions of HOLD";
    EXPECT_GE(holds, 2u);
    EXPECT_LE(holds, 20u);
    for (std::size_t i = 0; i < holds; ++i) Append_Hold(expected);
    EXPECT_EQ(log, expected);
}

// A short key held for a second goes on until SEND_STOP (no count of
// repetitions ends it), and a key whose name has a blank is sent by the word
// LIST shows for it.
TEST_F(Lirc_End_To_End, Irsend_Holds_A_Short_Key_Until_Send_Stop_And_Sends_A_Name_With_A_Blank) {
    const std::string irsend = Irsend();
    if (irsend.empty()) GTEST_SKIP() << "irsend is not installed (Debian's lirc package; scripts/install-deps adds it)";
    const std::string at = irsend + " -a 127.0.0.1:" + std::to_string(port) + " ";

    const auto [listed, listed_status] = Run_Shell(at + "LIST tv ''", true);
    EXPECT_EQ(listed_status, 0) << listed;
    EXPECT_NE(listed.find("0000000000000000 VOL_UP\n"), std::string::npos) << listed;
    const auto [sent, sent_status] = Run_Shell(at + "SEND_ONCE tv VOL_UP", true);
    EXPECT_EQ(sent_status, 0) << sent;

    const auto [started, started_status] = Run_Shell(at + "SEND_START tv POWER", true);
    EXPECT_EQ(started_status, 0) << started;
    // The key held down until it has gone out more than the 100 repetitions
    // that once ended it.
    EXPECT_TRUE(Wait_Until([&] { return Log().size() >= 9 + 102 * 8; }, 20s)) << "POWER stopped repeating";
    const auto [stopped, stopped_status] = Run_Shell(at + "SEND_STOP tv POWER", true);
    EXPECT_EQ(stopped_status, 0) << "still repeating: " << stopped;
    EXPECT_EQ(program.Terminate(), 0);

    // The port's preparation, VOL UP once, then POWER many times.
    const std::vector<std::string> log = Log();
    ASSERT_GT(log.size(), 1u + 8u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 9),
              (std::vector<std::string>{"FE", "FF", "FF", "FF", "FF", "FE", "FE", "FE", "FE"}));
    const std::size_t powers = (log.size() - 9) / 8;
    EXPECT_EQ(log.size() - 9, powers * 8) << "whole transmissions of POWER";
    EXPECT_GT(powers, 101u) << "more than the 100 repetitions that once ended it";
}

}  // namespace
}  // namespace qev::test
