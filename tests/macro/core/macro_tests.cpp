// The macro language and its executor on a fake port: what each line
// sends, how loops run, what fails and with which line number.
#include "base/stop_request.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "macro/core/macro_run.h"
#include "tests/support/state_fixture.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace qev::test {
namespace {

// The macro text as lines separated by '\n', as the dialog's text widget holds it.
class TFake_Display : public TMacro_Display {
public:
    std::vector<std::string> Lines;
    std::vector<std::pair<int32_t, int32_t>> Selections;  // every selection shown
    int Begins = 0, Ends = 0;
    std::function<void()> On_Select;  // e.g. press Abort while a line is shown

    int32_t Line_Count() const override { return static_cast<int32_t>(Lines.size()); }
    std::string Line(int32_t index) const override { return Lines[static_cast<std::size_t>(index)]; }
    int32_t Line_Start(int32_t index) const override {
        int32_t start = 0;
        for (int32_t i = 0; i < index && i < Line_Count(); ++i)
            start += static_cast<int32_t>(Lines[static_cast<std::size_t>(i)].size()) + (i + 1 < Line_Count());
        return start;
    }
    void Show_Selection(int32_t start, int32_t length) override {
        Selections.emplace_back(start, length);
        if (On_Select) On_Select();
    }
    void Begin_Run() override { ++Begins; }
    void End_Run() override { ++Ends; }
};

class Macro_Test : public State_Fixture {
protected:
    TFake_Display display;
    TMacro_Executor executor{state, display};

    void SetUp() override {
        State_Fixture::SetUp();
        ASSERT_TRUE(state.Start_Up());
        // One byte per command, each its own pattern: 8 writes per transmission.
        Load("POWER,01\nPLAY,03\npower,07\nSTOP,0F\n");
        fake.Writes.clear();
        feedback.Messages.clear();
    }
    void Load(const std::string& text, const std::string& name = "c.rmt") {
        Write_File(profile.File(name), text);
        ASSERT_GE(state.Load_Command_File(profile.File(name), 0), 0);
    }
    // The commands transmitted, one name per transmission, from the port's writes.
    std::vector<std::string> Sent() const {
        std::vector<std::string> names;
        for (std::size_t i = 0; i + 8 <= fake.Writes.size(); i += 8) {
            unsigned byte = 0;
            for (int k = 0; k < 8; ++k) byte |= (fake.Writes[i + k].Value == 0xFF ? 1u : 0u) << k;
            names.push_back(byte == 0x01 ? "POWER" : byte == 0x03 ? "PLAY" : byte == 0x07 ? "power" : "STOP");
        }
        return names;
    }
    std::vector<std::string> Run(std::vector<std::string> lines) {
        display.Lines = std::move(lines);
        executor.Run();
        return Sent();
    }
    int Line(const std::string& line, int interactive = 0) {
        int32_t index = 5;
        TMacro_Context context{state};
        const int result = Execute_Macro_Line(context, line, index, interactive);
        EXPECT_EQ(index, 5) << "the server's line index is never touched";
        return result;
    }
};

TEST(Macro_Words, Trimming_Comments_And_Blanks) {
    struct Row {
        const char* name;
        const char* line;
        const char* keyword;
        const char* argument;
    };
    const std::vector<Row> rows = {
        {"plain", "POWER", "POWER", ""},
        {"blanks around and a comment", "   POWER    ; the TV", "POWER", ""},
        {"further words ignored", "POWER now please", "POWER", "now"},
        {"runs of blanks are one separator", "@WAIT     500", "@WAIT", "500"},
        {"tabs and controls at the ends are trimmed", "\t\x01@WAIT 5\r\t", "@WAIT", "5"},
        {"a tab inside is part of a word", "@WAIT\t5", "@WAIT\t5", ""},
        {"comment only", "; nothing", "", ""},
        {"blanks only", "     ", "", ""},
        {"empty", "", "", ""},
        {"comment right after the keyword", "@LOOP;again", "@LOOP", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TMacro_Words words = Split_Macro_Line(row.line);
        EXPECT_EQ(words.Keyword, row.keyword);
        EXPECT_EQ(words.Argument, row.argument);
    }
}

TEST_F(Macro_Test, Each_Line_Sends_Or_Fails_As_The_Table_Says) {
    struct Row {
        const char* name;
        const char* line;
        int result;
        std::vector<std::string> sent;
    };
    const std::vector<Row> rows = {
        {"a command", "POWER", 0, {"POWER"}},
        {"with blanks and a comment", "   POWER   ; tv", 0, {"POWER"}},
        {"with further words", "PLAY fast now", 0, {"PLAY"}},
        {"case counts", "power", 0, {"power"}},
        {"an unknown name", "Power", -1, {}},
        {"a lower-case keyword is a name", "@wait 5", -1, {}},
        {"a line that does nothing", "  ; just a note", 0, {}},
        {"@COUNT from the server", "@COUNT 3", -1, {}},
        {"@LOOP from the server", "@LOOP", -1, {}},
        {"@WAIT from the server", "@WAIT 20", 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake.Writes.clear();
        EXPECT_EQ(Line(row.line), row.result);
        EXPECT_EQ(Sent(), row.sent);
    }
    EXPECT_TRUE(feedback.Messages.empty()) << "the server's lines show nothing";
}

TEST_F(Macro_Test, A_Command_Is_Sent_Repeat_Times) {
    state.Settings.REPEAT = 3;
    EXPECT_EQ(Line("STOP"), 0);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"STOP", "STOP", "STOP"}));
}

TEST_F(Macro_Test, Waits_Sleep_By_Their_Leading_Digits) {
    struct Row {
        const char* line;
        std::vector<int> sleeps;
    };
    for (const Row& row : std::vector<Row>{{"@WAIT 500", {500}},
                                           {"@WAIT 12ms", {12}},
                                           {"@WAIT", {}},
                                           {"@WAIT soon", {}},
                                           {"@WAIT -40", {}},
                                           {"@WAIT 0", {}}}) {
        SCOPED_TRACE(row.line);
        feedback.Sleeps.clear();
        EXPECT_EQ(Line(row.line), 0);
        EXPECT_EQ(feedback.Sleeps, row.sleeps);
    }
}

TEST_F(Macro_Test, Loops_Run_Their_Body_Count_Times) {
    struct Row {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::string> sent;
    };
    const std::vector<Row> rows = {
        {"three passes", {"@COUNT 3", "POWER", "@LOOP"}, {"POWER", "POWER", "POWER"}},
        {"zero runs once", {"@COUNT 0", "POWER", "@LOOP"}, {"POWER"}},
        {"not a number runs once", {"@COUNT x", "POWER", "@LOOP"}, {"POWER"}},
        {"no count runs once", {"@COUNT", "POWER", "@LOOP"}, {"POWER"}},
        {"lines before and after run once",
         {"PLAY", "@COUNT 2", "POWER", "@LOOP", "STOP"},
         {"PLAY", "POWER", "POWER", "STOP"}},
        {"two loops one after the other",
         {"@COUNT 2", "POWER", "@LOOP", "@COUNT 3", "PLAY", "@LOOP"},
         {"POWER", "POWER", "PLAY", "PLAY", "PLAY"}},
        {"a count inside a loop replaces it",
         {"@COUNT 5", "POWER", "@COUNT 2", "PLAY", "@LOOP"},
         {"POWER", "PLAY", "PLAY"}},
        {"a body of several lines", {"@COUNT 2", "POWER", "PLAY", "@LOOP"}, {"POWER", "PLAY", "POWER", "PLAY"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake.Writes.clear();
        feedback.Messages.clear();
        EXPECT_EQ(Run(row.lines), row.sent);
        EXPECT_TRUE(feedback.Messages.empty()) << feedback.Texts().front();
    }
}

TEST_F(Macro_Test, A_Failing_Line_Is_Reported_With_Its_Number_And_The_Run_Goes_On) {
    EXPECT_EQ(Run({"POWER", "; fine", "Power", "@LOOP", "PLAY"}), (std::vector<std::string>{"POWER", "PLAY"}));
    EXPECT_EQ(feedback.Texts(), (std::vector<std::string>{"Line 002: Unrecognized Command / Command Error",
                                                          "Line 003: Unrecognized Command / Command Error"}));
}

TEST_F(Macro_Test, The_Current_Line_Is_Shown_Selected_And_A_Loop_Returns_The_Caret) {
    Run({"@COUNT 2", "POWER", "@LOOP", "STOP"});
    // Lines start at 0, 9, 15 and 21: each selection is a line and its break.
    const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 0}, {0, 9}, {9, 6},  {15, 6},
                                                               {9, 0}, {9, 6}, {15, 6}, {21, 4}};
    EXPECT_EQ(display.Selections, expected);
    EXPECT_EQ(display.Begins, 1);
    EXPECT_EQ(display.Ends, 1);
    EXPECT_EQ(executor.Loop().Loop_Line, 0);
    EXPECT_EQ(executor.Loop().Loop_Position, 9);
    EXPECT_EQ(executor.Loop().Loop_Counter, 0);
}

TEST_F(Macro_Test, Abort_Stops_Before_The_Next_Line) {
    // Abort pressed while the wait of the first line runs: the wait ends, no
    // further line runs.
    display.On_Select = [this] {
        if (display.Selections.size() == 2) executor.Abort();
    };
    EXPECT_EQ(Run({"@WAIT 5000", "POWER", "PLAY"}), std::vector<std::string>{});
    EXPECT_EQ(feedback.Sleeps, std::vector<int>{5000});
    EXPECT_EQ(display.Ends, 1);
    display.On_Select = nullptr;
    EXPECT_EQ(Run({"POWER"}), std::vector<std::string>{"POWER"}) << "the next run starts afresh";
}

TEST_F(Macro_Test, Events_Pass_Once_Before_Each_Line_And_The_Run_Keeps_The_Program_Open) {
    int busy_during_run = 0;
    display.On_Select = [&] { busy_during_run += state.Busy(); };
    feedback.Event_Passes = 0;
    Run({"POWER", "", "PLAY"});
    EXPECT_EQ(feedback.Event_Passes, 3);
    EXPECT_EQ(busy_during_run, 4);
    EXPECT_FALSE(state.Busy());
    EXPECT_EQ(feedback.Busy_Ends, 1);
}

TEST_F(Macro_Test, A_Close_Request_Stops_The_Run_Before_The_Next_Line) {
    display.On_Select = [this] {
        if (display.Selections.size() == 2) state.Stop_Requested = true;
    };
    EXPECT_EQ(Run({"POWER", "PLAY", "STOP"}), std::vector<std::string>{"POWER"});
}

TEST_F(Macro_Test, Server_Lines_Leave_A_Run_s_Loop_Alone) {
    // A server line between two macro lines: the loop still runs its passes.
    display.On_Select = [this] {
        if (display.Selections.size() == 3) {
            EXPECT_EQ(Line("@COUNT 9"), -1);
            EXPECT_EQ(Line("@LOOP"), -1);
        }
    };
    EXPECT_EQ(Run({"@COUNT 2", "POWER", "@LOOP"}), (std::vector<std::string>{"POWER", "POWER"}));
}

TEST_F(Macro_Test, Load_Takes_A_Bare_Name_From_RMT_DIR) {
    std::filesystem::create_directory(profile.File("ir"));
    Write_File(profile.File("ir/tv.rmt"), "TV,01\n");
    Write_File(profile.File("ir/dvd.rmt"), "DVD,03\n");
    Write_File(profile.File("top.rmt"), "TOP,07\n");
    state.Settings.RMT_DIR = profile.Path();
    struct Row {
        const char* name;
        std::string line;
        int result;
        std::string found;
        std::string rmt_dir;
    };
    const std::vector<Row> rows = {
        {"a bare name from RMT_DIR", "@LOAD top.rmt", 0, "TOP", profile.Path()},
        {"a full path", "@LOAD " + profile.File("ir/tv.rmt"), 0, "TV", profile.File("ir")},
        {"a bare name from the moved RMT_DIR", "@LOAD dvd.rmt", 0, "DVD", profile.File("ir")},
        {"a missing file", "@LOAD none.rmt", -1, "DVD", profile.File("ir")},
        {"no argument", "@LOAD", -1, "DVD", profile.File("ir")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Line(row.line), row.result);
        EXPECT_EQ(state.Find_Command(row.found), 0);
        EXPECT_EQ(state.Settings.RMT_DIR, row.rmt_dir);
    }
    EXPECT_TRUE(feedback.Messages.empty()) << "silent from the server";
    EXPECT_EQ(Macro_Load_Path("/", "x.rmt"), "/x.rmt");
    EXPECT_EQ(Macro_Load_Path("", "x.rmt"), "/x.rmt");
    EXPECT_EQ(Macro_Load_Path("/a", "b/x.rmt"), "b/x.rmt");
}

// From the network a line may wait only so long and load only the Command
// files of RMT_DIR; everything else fails before the file system is asked,
// so an existing and a missing path answer alike.
TEST_F(Macro_Test, Network_Lines_Wait_And_Load_Within_Their_Bounds) {
    std::filesystem::create_directory(profile.File("ir"));
    Write_File(profile.File("ir/tv.rmt"), "TV,01\n");
    Write_File(profile.File("ir/secret"), "SECRET,01\n");
    Write_File(profile.File("ir/secret.txt"), "SECRET,01\n");
    Write_File(profile.File("top.rmt"), "TOP,07\n");
    state.Settings.RMT_DIR = profile.File("ir");
    struct Row {
        const char* name;
        std::string line;
        int result;
        std::vector<int> sleeps;
        const char* table_has;  // the command the table holds afterwards
    };
    const std::vector<Row> rows = {
        {"longest_wait", "@WAIT " + std::to_string(Network_Max_Wait_Ms), 0, {Network_Max_Wait_Ms}, "POWER"},
        {"wait_beyond_the_limit", "@WAIT " + std::to_string(Network_Max_Wait_Ms + 1), -1, {}, "POWER"},
        {"wait_of_24_days", "@WAIT 2147483647", -1, {}, "POWER"},
        {"negative_wait", "@WAIT -5", 0, {}, "POWER"},
        {"absolute_path", "@LOAD " + profile.File("top.rmt"), -1, {}, "POWER"},
        {"absolute_missing_path", "@LOAD " + profile.File("none.rmt"), -1, {}, "POWER"},
        {"parent_folder", "@LOAD ../top.rmt", -1, {}, "POWER"},
        {"sub_folder_of_a_missing_path", "@LOAD nothing/../tv.rmt", -1, {}, "POWER"},
        {"no_extension", "@LOAD secret", -1, {}, "POWER"},
        {"another_extension", "@LOAD secret.txt", -1, {}, "POWER"},
        {"only_the_extension", "@LOAD .rmt", -1, {}, "POWER"},
        {"no_argument", "@LOAD", -1, {}, "POWER"},
        {"missing_command_file", "@LOAD none.rmt", -1, {}, "POWER"},
        {"command_file_of_the_folder", "@LOAD tv.rmt", 0, {}, "TV"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        feedback.Sleeps.clear();
        EXPECT_EQ(Execute_Network_Line(state, row.line), row.result);
        EXPECT_EQ(feedback.Sleeps, row.sleeps);
        EXPECT_EQ(state.Find_Command(row.table_has), 0);
        EXPECT_EQ(state.Settings.RMT_DIR, profile.File("ir"));
    }
    EXPECT_TRUE(feedback.Messages.empty()) << "silent from the server";
    // The dialog keeps the whole language.
    EXPECT_EQ(Line("@LOAD " + profile.File("top.rmt"), 1), 0);
    EXPECT_EQ(Line("@WAIT 2147483647", 1), 0);
    EXPECT_EQ(feedback.Sleeps.back(), 2147483647);
}

TEST_F(Macro_Test, A_Network_Load_Keeps_Rows_Not_Saved_Since_They_Were_Added) {
    Write_File(profile.File("tv.rmt"), "TV,01\n");
    state.Settings.RMT_DIR = profile.Path();
    state.Origin.Rows_Added();  // a command was learned or imported
    EXPECT_EQ(Execute_Network_Line(state, "@LOAD tv.rmt"), -1);
    EXPECT_EQ(state.Find_Command("POWER"), 0) << "the table is unchanged";
    ASSERT_TRUE(state.Save_Command_File(profile.File("kept.rmt")));
    EXPECT_FALSE(state.Origin.Unsaved_Rows());
    EXPECT_EQ(Execute_Network_Line(state, "@LOAD tv.rmt"), 0);
    EXPECT_EQ(state.Find_Command("TV"), 0);
}

TEST_F(Macro_Test, A_Request_To_End_The_Program_Stops_The_Run_After_The_Current_Line) {
    display.On_Select = [this] {
        if (display.Selections.size() == 2) Request_Program_Stop();
    };
    EXPECT_EQ(Run({"POWER", "PLAY", "STOP"}), std::vector<std::string>{"POWER"});
    Clear_Program_Stop();
}

TEST_F(Macro_Test, A_Failing_Load_In_The_Dialog_Shows_Its_Own_Box_First) {
    Write_File(profile.File("full.rmt"), "A\nB\n");
    state.Settings.MAX_RMTCMD_NUM = 1;
    state.Settings.RMT_DIR = profile.Path();
    Run({"@LOAD full.rmt"});
    EXPECT_EQ(feedback.Texts(), (std::vector<std::string>{"Unexpected Data Size / File Read Error",
                                                          "Line 000: Unrecognized Command / Command Error"}));
}

}  // namespace
}  // namespace qev::test
