// The Command server's byte handling, without sockets: what each byte does
// to the shared line and what each connection is sent, write by write.
#include "net/server_input_line.h"

#include "base/stop_request.h"
#include "tests/net/fake_macro_line.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace qev {
namespace {

using namespace std::string_literals;

using test::Fake_Run;

class Server_Input_Line_Test : public ::testing::Test {
protected:
    bool echo = true;
    std::set<std::string> known = {"POWER"};
    std::vector<std::string> runs;
    std::map<int, std::vector<std::string>> writes;  // per connection, one entry per write
    std::function<void(const std::string&)> during_run;
    TServer_Input_Line line{[this](const std::string& text) {
                                runs.push_back(text);
                                if (during_run) during_run(text);
                                return Fake_Run(text, known);
                            },
                            [this] { return echo; }};

    TServer_Input_Line::TSend Send_To(int connection) {
        return [this, connection](std::string_view bytes) { writes[connection].emplace_back(bytes); };
    }
    void Feed(int connection, const std::string& bytes) { line.Feed(bytes, Send_To(connection)); }
    void Greet(int connection) { TServer_Input_Line::Greet(Send_To(connection)); }
    std::string Received(int connection) {
        std::string all;
        for (const std::string& w : writes[connection]) all += w;
        return all;
    }
};

TEST_F(Server_Input_Line_Test, The_Greeting_Is_Two_Writes) {
    Greet(1);
    EXPECT_EQ(writes[1], (std::vector<std::string>{"Welcome to QEV_LPT", "\r\n# "}));
    EXPECT_TRUE(runs.empty());
}

TEST_F(Server_Input_Line_Test, Each_Byte_Edits_The_Line_And_Echoes) {
    struct Row {
        const char* name;
        bool echo;
        std::string input;  // one chunk
        std::string sent;
        std::vector<std::string> runs;
        std::string line_after;
    };
    const std::string ok = "Command OK\r\n# ";
    const std::string error = "Command Error\a\r\n# ";
    const std::vector<Row> rows = {
        {"cr alone ends a line", true, "POWER\r", "POWER\r\n" + ok, {"POWER"}, ""},
        {"lf alone does not", true, "POWER\n", "POWER", {}, "POWER"},
        {"cr lf runs one line", true, "POWER\r\n", "POWER\r\n" + ok, {"POWER"}, ""},
        {"lf inside a line is dropped", true, "PO\nWER\r", "POWER\r\n" + ok, {"POWER"}, ""},
        {"empty line is run and answered", true, "\r", "\r\n" + ok, {""}, ""},
        {"blank line is run and answered", true, "   \r", "   \r\n" + ok, {"   "}, ""},
        {"case counts", true, "power\r\n", "power\r\n" + error, {"power"}, ""},
        {"two lines in one chunk, in order",
         true,
         "power\rPOWER\r",
         "power\r\n" + error + "POWER\r\n" + ok,
         {"power", "POWER"},
         ""},
        {"a zero byte ends the chunk", true, "PO\0WER\r"s, "PO", {}, "PO"},
        {"a zero byte first drops it all", true, "\0POWER\r"s, "", {}, ""},
        {"bs on an empty line rings", true, "\b", "\a", {}, ""},
        {"del on an empty line rings", true, "\x7f", "\a", {}, ""},
        {"bs takes back the last character", true, "PLAX\bY\r", "PLAX\b \bY\r\n" + error, {"PLAY"}, ""},
        {"del takes back the last character", true, "AB\x7f\x7f\x7f", "AB\b \b\b \b\a", {}, ""},
        {"bytes from 0x80 up are characters", true, "\x80\xff\r", "\x80\xff\r\n" + error, {"\x80\xff"}, ""},
        {"other control bytes are characters", true, "\t\x1b[A\r", "\t\x1b[A\r\n" + error, {"\t\x1b[A"}, ""},
        {"echo off sends only the reply", false, "POWER\r\n", ok, {"POWER"}, ""},
        {"echo off failure", false, "power\r", error, {"power"}, ""},
        {"echo off bs on an empty line sends nothing", false, "\b\x7f", "", {}, ""},
        {"echo off bs edits silently", false, "POWERR\b\r", ok, {"POWER"}, ""},
        {"echo off lf sends nothing", false, "\n\n", "", {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> seen;
        TServer_Input_Line probe(
            [&](const std::string& text) {
                seen.push_back(text);
                return Fake_Run(text, known);
            },
            [&] { return row.echo; });
        std::string sent;
        probe.Feed(row.input, [&](std::string_view bytes) { sent += bytes; });
        EXPECT_EQ(sent, row.sent);
        EXPECT_EQ(seen, row.runs);
        EXPECT_EQ(probe.Line(), row.line_after);
    }
}

TEST_F(Server_Input_Line_Test, The_Replies_Are_Exactly_These_Bytes) {
    Feed(1, "\r");
    Feed(1, "x\r");
    ASSERT_EQ(writes[1].size(), 4u);
    EXPECT_EQ(writes[1][1], "Command OK\r\n# ");
    EXPECT_EQ(writes[1][1].size(), 14u);
    EXPECT_EQ(writes[1][3], "Command Error\a\r\n# ");
    EXPECT_EQ(writes[1][3].size(), 18u);
}

TEST_F(Server_Input_Line_Test, The_Echo_Goes_Out_Before_The_Line_Runs_And_The_Reply_After) {
    std::vector<std::string> sent_when_running;
    during_run = [&](const std::string&) { sent_when_running.push_back(Received(1)); };
    Feed(1, "POWER\r\nx\r");
    EXPECT_EQ(sent_when_running, (std::vector<std::string>{"POWER\r\n", "POWER\r\nCommand OK\r\n# x\r\n"}));
    EXPECT_EQ(writes[1], (std::vector<std::string>{"POWER\r\n", "Command OK\r\n# ", "x\r\n", "Command Error\a\r\n# "}));
}

TEST_F(Server_Input_Line_Test, Echo_Is_Asked_For_Each_Byte) {
    int asked = 0;
    TServer_Input_Line probe([this](const std::string& text) { return Fake_Run(text, known); },
                             [&] { return ++asked <= 2; });  // echo goes off after two bytes
    std::string sent;
    probe.Feed("ABC\r", [&](std::string_view bytes) { sent += bytes; });
    EXPECT_EQ(sent,
              "AB"
              "Command Error\a\r\n# ");
    EXPECT_EQ(asked, 4);
}

TEST_F(Server_Input_Line_Test, Connections_Share_One_Line_And_The_Reply_Goes_To_The_Last) {
    Greet(1);
    Greet(2);
    Feed(1, "PO");
    Feed(2, "WER\r");
    EXPECT_EQ(runs, std::vector<std::string>{"POWER"});
    EXPECT_EQ(Received(1), "Welcome to QEV_LPT\r\n# PO");
    EXPECT_EQ(Received(2), "Welcome to QEV_LPT\r\n# WER\r\nCommand OK\r\n# ");
}

TEST_F(Server_Input_Line_Test, A_Chunk_Is_Handled_In_Reads_Of_127_Bytes_Each_Cut_At_Its_Zero_Byte) {
    struct Row {
        const char* name;
        std::string chunk;
        std::vector<std::string> runs;
    };
    const std::string filler(124, 'x'), y125(125, 'y');
    const std::vector<Row> rows = {
        // Bytes 0-126 are the first read: its zero byte drops the rest of it.
        {"zero in the first read, the second read counts", "AB\0"s + filler + "POWER\r", {"ABPOWER"}},
        {"zero in the second read cuts only that read", "AB\r"s + filler + "PO\0WER\r"s, {"AB"}},
        {"a zero at the last byte of a read", "A"s + y125 + "\0B\r"s, {"A"s + y125 + "B"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> seen;
        TServer_Input_Line probe(
            [&](const std::string& text) {
                seen.push_back(text);
                return true;
            },
            [] { return false; });
        probe.Feed(row.chunk, [](std::string_view) {});
        EXPECT_EQ(seen, row.runs);
    }
}

TEST_F(Server_Input_Line_Test, Input_Beyond_127_Characters_Is_Refused_Whole) {
    struct Row {
        const char* name;
        bool echo;
        std::string input;
        std::string sent;
        std::vector<std::string> runs;
    };
    const std::string a127(127, 'a'), a126(126, 'a');
    known.insert(a127);  // the lines that get through are known commands
    known.insert(a126 + "z");
    const std::string ok = "\r\nCommand OK\r\n# ";
    const std::string error = "\r\nCommand Error\a\r\n# ";
    const std::vector<Row> rows = {
        {"127 characters run", true, a127 + "\r", a127 + ok, {a127}},
        {"the 128th rings instead of echoing and the line is refused", true, a127 + "b\r", a127 + "\a" + error, {}},
        {"erasing the lost character makes the line good again", true, a127 + "b\b\r", a127 + "\a" + ok, {a127}},
        {"lost characters go first, then shown ones",
         true,
         a127 + "bcd\b\b\b\bz\r",
         a127 + "\a\a\a" + "\b \b" + "z" + ok,
         {a126 + "z"}},
        {"erasing fewer than were lost still refuses", true, a127 + "bcd\b\b\r", a127 + "\a\a\a" + error, {}},
        {"echo off: no bells, only the refusal", false, a127 + "bbbb\r", "Command Error\a\r\n# ", {}},
        {"a line of 100000 characters", false, std::string(100000, 'q') + "\r", "Command Error\a\r\n# ", {}},
        {"the next line is fine", true, a127 + "bb\rPOWER\r", a127 + "\a\a" + error + "POWER" + ok, {"POWER"}},
        {"an lf is not a character", true, a127 + "\n\r", a127 + ok, {a127}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> seen;
        std::size_t longest = 0;
        TServer_Input_Line probe(
            [&](const std::string& text) {
                seen.push_back(text);
                return Fake_Run(text, known);
            },
            [&] { return row.echo; });
        std::string sent;
        // Bytes one at a time, so the line is looked at after each of them.
        for (const char b : row.input) {
            probe.Feed(std::string_view(&b, 1), [&](std::string_view bytes) { sent += bytes; });
            longest = std::max(longest, probe.Line().size());
        }
        EXPECT_EQ(sent, row.sent);
        EXPECT_EQ(seen, row.runs);
        EXPECT_LE(longest, 127u);
        EXPECT_EQ(probe.Line(), "");
        EXPECT_EQ(probe.Lost(), 0u);
    }
}

TEST_F(Server_Input_Line_Test, A_Full_Line_Keeps_Its_First_127_And_Counts_The_Rest) {
    echo = false;
    Feed(1, std::string(300, 'k'));
    EXPECT_EQ(line.Line(), std::string(127, 'k'));
    EXPECT_EQ(line.Lost(), 173u);
    Feed(1, std::string(173, '\b'));
    EXPECT_EQ(line.Line(), std::string(127, 'k'));
    EXPECT_EQ(line.Lost(), 0u);
    Feed(1, "\b");
    EXPECT_EQ(line.Line(), std::string(126, 'k'));
    EXPECT_TRUE(writes[1].empty());
}

// A line that runs for a while may let events through: bytes of other
// connections handled meanwhile start the next line, and every reply goes to
// the connection whose carriage return ended its line.
TEST_F(Server_Input_Line_Test, Bytes_Handled_While_A_Line_Runs_Start_The_Next_Line) {
    during_run = [&](const std::string& text) {
        if (text != "POWER") return;
        Feed(2, "QQ");
        Feed(2, "X\r");  // runs inside the run of POWER
        Feed(2, "Z");    // stays for the next line
    };
    Feed(1, "POWER\rY\r");
    EXPECT_EQ(runs, (std::vector<std::string>{"POWER", "QQX", "ZY"}));
    EXPECT_EQ(Received(1), "POWER\r\nCommand OK\r\n# Y\r\nCommand Error\a\r\n# ");
    EXPECT_EQ(Received(2), "QQX\r\nCommand Error\a\r\n# Z");
    EXPECT_EQ(line.Line(), "");
}

// A request to end the program arriving during a line: that line is
// answered, the lines queued behind it in the same chunk never run.
TEST_F(Server_Input_Line_Test, A_Request_To_End_Drops_The_Queued_Lines) {
    during_run = [&](const std::string& text) {
        if (text == "POWER") Request_Program_Stop();
    };
    std::string chunk;
    for (int i = 0; i < 100; ++i) chunk += "POWER\r";  // 600 bytes, as one write
    Feed(1, chunk);
    Feed(2, "POWER\r");  // a later read, too
    Clear_Program_Stop();
    EXPECT_EQ(runs, (std::vector<std::string>{"POWER"}));
    EXPECT_EQ(Received(1), "POWER\r\nCommand OK\r\n# POWER");
    EXPECT_EQ(Received(2), "");
}

// The exchange a terminal user and a second program have with the server,
// the Command table holding POWER and not power: every write, in order.
TEST_F(Server_Input_Line_Test, The_Terminal_Session_Byte_For_Byte) {
    Greet(1);
    for (const char c : "POWER"s) Feed(1, std::string(1, c));
    Feed(1, "\r\n");  // Enter
    for (const char c : "power"s) Feed(1, std::string(1, c));
    Feed(1, "\r\n");
    Feed(1, "\b");
    Feed(1, "\b");
    for (const char c : "PLAX"s) Feed(1, std::string(1, c));
    Feed(1, "\b");
    Feed(1, "Y");
    Feed(1, "\r\n");
    Greet(2);
    Feed(2, "POWER\r\n");

    std::vector<std::string> first = {"Welcome to QEV_LPT", "\r\n# "};
    const auto then = [&](std::initializer_list<const char*> more) {
        first.insert(first.end(), more.begin(), more.end());
    };
    then({"P", "O", "W", "E", "R", "\r\n", "Command OK\r\n# "});                // POWER, Enter
    then({"p", "o", "w", "e", "r", "\r\n", "Command Error\a\r\n# "});           // power, Enter: no such row
    then({"\a", "\a"});                                                         // Backspace twice, empty line
    then({"P", "L", "A", "X", "\b \b", "Y", "\r\n", "Command Error\a\r\n# "});  // PLAX, Backspace, Y, Enter
    EXPECT_EQ(writes[1], first);
    EXPECT_EQ(writes[2], (std::vector<std::string>{"Welcome to QEV_LPT", "\r\n# ", "POWER\r\n", "Command OK\r\n# "}));
    EXPECT_EQ(runs, (std::vector<std::string>{"POWER", "power", "PLAY", "POWER"}));
}

}  // namespace
}  // namespace qev
