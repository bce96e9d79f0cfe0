// The lircd protocol without sockets: every reply form and every error to the
// byte, the repetition of SEND_START against a scripted clock, the cutting of
// input into lines, the remote's name, and the program's state behind it.
#include "net/lirc_program.h"
#include "net/lirc_protocol.h"
#include "tests/net/fake_lirc_program.h"
#include "tests/support/lirc_replies.h"
#include "tests/support/state_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qev {
namespace {

using namespace std::chrono_literals;

using TFake_Program = test::TFake_Lirc_Program;

const TLirc_Clock::time_point T0{};

using test::lirc::Err;
using test::lirc::Ok;

// One request on a fresh protocol (nothing repeating): its exact reply and
// what it sent.
TEST(Lirc_Protocol, Every_Request_Gets_Its_Exact_Reply) {
    struct Row {
        const char* name;
        std::string request;
        std::string reply;
        std::vector<std::pair<std::string, int32_t>> sent;
        int32_t repeat = 1;
    };
    const std::string Too_Many = "too many repeats: \"21\" > \"20\"";
    const std::vector<Row> rows = {
        // LIST in its three forms.
        {"list_remotes", "LIST", Ok("LIST", {"tv"}), {}},
        {"list_keys",
         "LIST tv",
         Ok("LIST tv", {"0000000000000000 POWER", "0000000000000000 power", "0000000000000000 VOL-UP"}),
         {}},
        {"list_keys_with_a_trailing_blank",
         "LIST tv ",
         Ok("LIST tv ", {"0000000000000000 POWER", "0000000000000000 power", "0000000000000000 VOL-UP"}),
         {}},
        {"list_one_key", "LIST tv VOL-UP", Ok("LIST tv VOL-UP", {"0000000000000000 VOL-UP"}), {}},
        {"list_remote_in_other_case", "LIST TV power", Ok("LIST TV power", {"0000000000000000 power"}), {}},
        {"list_unknown_remote", "LIST xx", Err("LIST xx", "unknown remote: \"xx\""), {}},
        {"list_unknown_key", "LIST tv MUTE", Err("LIST tv MUTE", "unknown command: \"MUTE\""), {}},
        {"list_too_many_words", "LIST tv POWER x", Err("LIST tv POWER x", "too many arguments: \"x\""), {}},
        // VERSION.
        {"version", "VERSION", Ok("VERSION", {"1.2.3"}), {}},
        {"version_in_lower_case", "version", Ok("version", {"1.2.3"}), {}},
        {"version_with_a_word", "VERSION now", Err("VERSION now", "too many arguments: \"now\""), {}},
        // SEND_ONCE and its count.
        {"send_once", "SEND_ONCE tv POWER", Ok("SEND_ONCE tv POWER"), {{"POWER", 1}}},
        {"send_once_exact_case_first", "SEND_ONCE tv power", Ok("SEND_ONCE tv power"), {{"power", 1}}},
        {"send_once_key_in_other_case", "SEND_ONCE tv vol-up", Ok("SEND_ONCE tv vol-up"), {{"VOL-UP", 1}}},
        {"send_once_directive_in_mixed_case", "Send_Once tv POWER", Ok("Send_Once tv POWER"), {{"POWER", 1}}},
        {"send_once_tabs_and_blanks", "\tSEND_ONCE  tv\tPOWER ", Ok("\tSEND_ONCE  tv\tPOWER "), {{"POWER", 1}}},
        {"send_once_repeat_setting", "SEND_ONCE tv POWER", Ok("SEND_ONCE tv POWER"), {{"POWER", 3}}, 3},
        {"send_once_repeat_zero_still_sends", "SEND_ONCE tv POWER", Ok("SEND_ONCE tv POWER"), {{"POWER", 1}}, 0},
        {"count_zero", "SEND_ONCE tv POWER 0", Ok("SEND_ONCE tv POWER 0"), {{"POWER", 1}}},
        {"count_adds_repetitions", "SEND_ONCE tv POWER 4", Ok("SEND_ONCE tv POWER 4"), {{"POWER", 5}}},
        {"count_with_plus", "SEND_ONCE tv POWER +2", Ok("SEND_ONCE tv POWER +2"), {{"POWER", 3}}},
        {"count_below_repeat", "SEND_ONCE tv POWER 1", Ok("SEND_ONCE tv POWER 1"), {{"POWER", 3}}, 3},
        {"count_above_repeat", "SEND_ONCE tv POWER 5", Ok("SEND_ONCE tv POWER 5"), {{"POWER", 6}}, 3},
        {"count_largest", "SEND_ONCE tv POWER 20", Ok("SEND_ONCE tv POWER 20"), {{"POWER", 21}}},
        {"count_too_large", "SEND_ONCE tv POWER 21", Err("SEND_ONCE tv POWER 21", Too_Many), {}},
        {"count_huge",
         "SEND_ONCE tv POWER 99999999999",
         Err("SEND_ONCE tv POWER 99999999999", "too many repeats: \"99999999999\" > \"20\""),
         {}},
        {"count_negative", "SEND_ONCE tv POWER -1", Err("SEND_ONCE tv POWER -1", "bad repeat count: \"-1\""), {}},
        {"count_not_a_number", "SEND_ONCE tv POWER 3x", Err("SEND_ONCE tv POWER 3x", "bad repeat count: \"3x\""), {}},
        {"count_sign_alone", "SEND_ONCE tv POWER +", Err("SEND_ONCE tv POWER +", "bad repeat count: \"+\""), {}},
        {"send_once_too_many_words",
         "SEND_ONCE tv POWER 1 2",
         Err("SEND_ONCE tv POWER 1 2", "too many arguments: \"2\""),
         {}},
        {"send_once_unknown_remote", "SEND_ONCE xx POWER", Err("SEND_ONCE xx POWER", "unknown remote: \"xx\""), {}},
        {"send_once_unknown_key", "SEND_ONCE tv MUTE", Err("SEND_ONCE tv MUTE", "unknown command: \"MUTE\""), {}},
        {"send_once_no_remote", "SEND_ONCE", Err("SEND_ONCE", "remote missing"), {}},
        {"send_once_no_key", "SEND_ONCE tv", Err("SEND_ONCE tv", "code missing"), {}},
        // SEND_START and SEND_STOP with nothing repeating.
        {"send_start", "SEND_START tv VOL-UP", Ok("SEND_START tv VOL-UP"), {{"VOL-UP", 1}}},
        {"send_start_first_send_as_a_click", "SEND_START tv VOL-UP", Ok("SEND_START tv VOL-UP"), {{"VOL-UP", 2}}, 2},
        {"send_start_no_remote", "SEND_START", Err("SEND_START", "remote missing"), {}},
        {"send_start_no_key", "SEND_START tv", Err("SEND_START tv", "code missing"), {}},
        {"send_start_with_a_count",
         "SEND_START tv POWER 3",
         Err("SEND_START tv POWER 3", "too many arguments: \"3\""),
         {}},
        {"send_start_unknown_key", "SEND_START tv MUTE", Err("SEND_START tv MUTE", "unknown command: \"MUTE\""), {}},
        {"send_stop_not_repeating", "SEND_STOP tv POWER", Err("SEND_STOP tv POWER", "not repeating"), {}},
        {"send_stop_bare_not_repeating", "SEND_STOP", Err("SEND_STOP", "not repeating"), {}},
        {"send_stop_unknown_remote", "SEND_STOP xx POWER", Err("SEND_STOP xx POWER", "unknown remote: \"xx\""), {}},
        {"send_stop_unknown_key", "SEND_STOP tv MUTE", Err("SEND_STOP tv MUTE", "unknown command: \"MUTE\""), {}},
        // Lines that are no request.
        {"empty_line", "", Err("", "bad send packet"), {}},
        {"blank_line", " \t ", Err(" \t ", "bad send packet"), {}},
        {"unknown_directive",
         "SET_TRANSMITTERS 1",
         Err("SET_TRANSMITTERS 1", "unknown directive: \"SET_TRANSMITTERS\""),
         {}},
        {"directive_with_a_suffix", "LISTX", Err("LISTX", "unknown directive: \"LISTX\""), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFake_Program program;
        program.Repeat_Setting = row.repeat;
        TLirc_Protocol protocol(program);
        EXPECT_EQ(protocol.Handle(row.request, T0), row.reply);
        EXPECT_EQ(program.Sent, row.sent);
    }
}

TEST(Lirc_Protocol, Sends_The_Program_Cannot_Make_Fail_And_Start_No_Repetition) {
    TFake_Program program;
    program.Can_Send = false;
    TLirc_Protocol protocol(program);
    EXPECT_EQ(protocol.Handle("SEND_ONCE tv POWER", T0), Err("SEND_ONCE tv POWER", "transmission failed"));
    EXPECT_EQ(protocol.Handle("SEND_START tv POWER", T0), Err("SEND_START tv POWER", "transmission failed"));
    EXPECT_FALSE(protocol.Repeating());
}

TEST(Lirc_Protocol, An_Empty_Table_Lists_No_Keys_And_Knows_None) {
    TFake_Program program;
    program.Names.clear();
    TLirc_Protocol protocol(program);
    EXPECT_EQ(protocol.Handle("LIST tv", T0), "BEGIN\nLIST tv\nSUCCESS\nEND\n") << "no DATA, as lircd";
    EXPECT_EQ(protocol.Handle("SEND_ONCE tv POWER", T0), Err("SEND_ONCE tv POWER", "unknown command: \"POWER\""));
}

TEST(Lirc_Protocol, A_Line_Too_Long_Is_Refused_With_Its_Start) {
    const std::string start(Lirc_Line_Limit, 'A');
    EXPECT_EQ(TLirc_Protocol::Too_Long_Reply(start), Err(start, "line too long: more than 1024 bytes"));
}

// ---- Repetition ----------------------------------------------------------------

class Lirc_Repeat_Test : public ::testing::Test {
protected:
    TFake_Program program;
    TLirc_Protocol protocol{program};

    void Start(const std::string& key = "VOL-UP") {
        ASSERT_EQ(protocol.Handle("SEND_START tv " + key, T0), Ok("SEND_START tv " + key));
        ASSERT_TRUE(protocol.Repeating());
        program.Sent.clear();
    }
};

TEST_F(Lirc_Repeat_Test, Each_Step_Sends_The_Key_Once_Until_Send_Stop) {
    Start();
    EXPECT_EQ(protocol.Repeating_Key(), "VOL-UP");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(protocol.Repeat_Step(T0 + 100ms * i));
    EXPECT_EQ(program.Sent, (std::vector<std::pair<std::string, int32_t>>(3, {"VOL-UP", 1})));
    EXPECT_EQ(protocol.Repetitions(), 3);
    EXPECT_EQ(protocol.Handle("SEND_STOP tv VOL-UP", T0 + 1s), Ok("SEND_STOP tv VOL-UP"));
    EXPECT_FALSE(protocol.Repeating());
    EXPECT_FALSE(protocol.Repeat_Step(T0 + 1s));
    EXPECT_EQ(program.Sent.size(), 3u) << "nothing after SEND_STOP";
    EXPECT_EQ(protocol.Handle("SEND_STOP tv VOL-UP", T0 + 1s), Err("SEND_STOP tv VOL-UP", "not repeating"));
}

TEST_F(Lirc_Repeat_Test, Requests_While_A_Key_Repeats) {
    struct Row {
        const char* name;
        std::string request;
        std::string reply;
        bool still_repeating;
    };
    const std::vector<Row> rows = {
        {"send_once_is_busy", "SEND_ONCE tv POWER", Err("SEND_ONCE tv POWER", "busy: repeating"), true},
        {"send_once_bad_count_first", "SEND_ONCE tv POWER x", Err("SEND_ONCE tv POWER x", "bad repeat count: \"x\""),
         true},
        {"second_send_start", "SEND_START tv POWER", Err("SEND_START tv POWER", "already repeating"), true},
        {"same_send_start", "SEND_START tv VOL-UP", Err("SEND_START tv VOL-UP", "already repeating"), true},
        {"stop_of_another_key", "SEND_STOP tv POWER", Err("SEND_STOP tv POWER", "specified code does not match"), true},
        {"list_still_answers", "LIST", Ok("LIST", {"tv"}), true},
        {"stop_key_in_other_case", "SEND_STOP TV vol-up", Ok("SEND_STOP TV vol-up"), false},
        {"stop_of_the_remote", "SEND_STOP tv", Ok("SEND_STOP tv"), false},
        {"bare_stop", "SEND_STOP", Ok("SEND_STOP"), false},
        {"stop_too_many_words", "SEND_STOP tv VOL-UP x", Err("SEND_STOP tv VOL-UP x", "too many arguments: \"x\""),
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        protocol.Stop_Repeating();
        Start();
        EXPECT_EQ(protocol.Handle(row.request, T0 + 1s), row.reply);
        EXPECT_TRUE(program.Sent.empty());
        EXPECT_EQ(protocol.Repeating(), row.still_repeating);
    }
}

TEST_F(Lirc_Repeat_Test, A_Remote_Renamed_Meanwhile_Does_Not_Stop_The_Old_One) {
    Start();
    program.Remote = "dvd";  // another Command file was loaded
    EXPECT_EQ(protocol.Handle("SEND_STOP dvd VOL-UP", T0),
              Err("SEND_STOP dvd VOL-UP", "specified remote does not match"));
    EXPECT_TRUE(protocol.Repeating());
    EXPECT_EQ(protocol.Handle("SEND_STOP", T0), Ok("SEND_STOP"));
}

TEST_F(Lirc_Repeat_Test, Repetition_Ends_At_Its_Bounds) {
    struct Row {
        const char* name;
        std::chrono::milliseconds step;  // between two steps
        bool fail_at_second = false;
        int32_t sent;  // repetitions made before it ended
    };
    const std::vector<Row> rows = {
        {"hundred_repetitions", 1ms, false, Lirc_Max_Repetitions},
        {"ten_seconds", 1000ms, false, 10},  // steps at 0 .. 9 s; the one at 10 s is too late
        {"a_failed_send", 1ms, true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        protocol.Stop_Repeating();
        program.Can_Send = true;
        Start();
        int32_t steps = 0;
        for (auto now = T0; protocol.Repeating() && steps < 1000; now += row.step, ++steps) {
            if (row.fail_at_second && steps == 1) program.Can_Send = false;
            protocol.Repeat_Step(now);
        }
        EXPECT_FALSE(protocol.Repeating());
        EXPECT_EQ(static_cast<int32_t>(program.Sent.size()), row.sent);
        EXPECT_FALSE(protocol.Repeat_Step(T0)) << "ended for good";
        program.Can_Send = true;
        EXPECT_EQ(protocol.Handle("SEND_ONCE tv POWER", T0), Ok("SEND_ONCE tv POWER")) << "no longer busy";
        program.Sent.clear();
    }
}

TEST_F(Lirc_Repeat_Test, The_Hundredth_Repetition_Is_The_Last) {
    Start();
    for (int32_t i = 1; i < Lirc_Max_Repetitions; ++i) ASSERT_TRUE(protocol.Repeat_Step(T0));
    EXPECT_FALSE(protocol.Repeat_Step(T0)) << "the 100th is sent and ends it";
    EXPECT_EQ(static_cast<int32_t>(program.Sent.size()), Lirc_Max_Repetitions);
    EXPECT_EQ(protocol.Handle("SEND_STOP tv VOL-UP", T0), Err("SEND_STOP tv VOL-UP", "not repeating"));
}

// ---- Lines -----------------------------------------------------------------------

// A line as the reader hands it on.
struct TLine {
    std::string text;
    bool too_long;
    friend bool operator==(const TLine&, const TLine&) = default;
};

TEST(Lirc_Line_Reader, Cuts_Input_Into_Lines_However_It_Arrives) {
    const std::string limit(Lirc_Line_Limit, 'x');
    struct Row {
        const char* name;
        std::vector<std::string> pieces;
        std::vector<TLine> lines;
        std::size_t buffered;
    };
    const std::vector<Row> rows = {
        {"one_line", {"LIST\n"}, {{"LIST", false}}, 0},
        {"cr_lf", {"LIST\r\n"}, {{"LIST", false}}, 0},
        {"cr_lf_split", {"LIST\r", "\n"}, {{"LIST", false}}, 0},
        {"inner_cr_stays", {"A\rB\n"}, {{"A\rB", false}}, 0},
        {"two_crs_lose_one", {"A\r\r\n"}, {{"A\r", false}}, 0},
        {"several_in_one_piece", {"A\nB\r\nC\n"}, {{"A", false}, {"B", false}, {"C", false}}, 0},
        {"byte_by_byte", {"V", "E", "R", "\n"}, {{"VER", false}}, 0},
        {"empty_lines", {"\n\r\n"}, {{"", false}, {"", false}}, 0},
        {"unfinished_waits", {"LIST"}, {}, 4},
        {"zero_byte_is_a_byte", {std::string("A\0B\n", 4)}, {{std::string("A\0B", 3), false}}, 0},
        {"exactly_the_limit", {limit + "\n"}, {{limit, false}}, 0},
        {"the_limit_with_cr", {limit + "\r\n"}, {{limit, false}}, 0},
        {"one_byte_over", {limit + "y\n"}, {{limit, true}}, 0},
        {"far_over_in_pieces", {limit, limit, limit, "\n", "LIST\n"}, {{limit, true}, {"LIST", false}}, 0},
        {"over_then_cr", {limit + "yy\r\n"}, {{limit, true}}, 0},
        {"over_and_unfinished", {limit + limit}, {}, Lirc_Line_Limit + 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TLirc_Line_Reader reader;
        std::vector<TLine> lines;
        for (const std::string& piece : row.pieces)
            reader.Feed(piece, [&](std::string_view line, bool too_long) {
                lines.push_back({std::string(line), too_long});
            });
        EXPECT_EQ(lines, row.lines);
        EXPECT_EQ(reader.Buffered(), row.buffered);
    }
}

// ---- The remote's name ------------------------------------------------------------

TEST(Lirc_Remote_Name, Is_The_Stem_Of_The_Command_File_As_One_Word) {
    struct Row {
        const char* name;
        const char* path;
        const char* remote;
    };
    const std::vector<Row> rows = {
        {"plain", "/x/tv.rmt", "tv"},
        {"no_folder", "tv.rmt", "tv"},
        {"last_extension_only", "/x/tv.old.rmt", "tv.old"},
        {"no_extension", "/x/tv", "tv"},
        {"dot_file", "/x/.rmt", ".rmt"},
        {"blanks_and_hash", "/x/living room #2.rmt", "living_room__2"},
        {"tab", "/x/a\tb.rmt", "a_b"},
        {"dots_in_folders", "/x.y/tv", "tv"},
        {"none_loaded", "", "QEV_LPT"},
        {"folder_only", "/x/", "QEV_LPT"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Lirc_Remote_Name(row.path), row.remote);
    }
}

// ---- The program's state ----------------------------------------------------------

class Lirc_State_Program_Test : public test::State_Fixture {
protected:
    TLirc_State_Program program{state, "9.8.7"};

    void SetUp() override {
        State_Fixture::SetUp();
        ASSERT_TRUE(state.Start_Up());
        fake.Writes.clear();
    }
    // A Command file of POWER (8 samples on) and PLAY (4 on, 4 off).
    std::string Load() {
        const std::string path = profile.File("living room.rmt");
        test::Write_File(path, "@REPEAT = 2\r\nPOWER,FF\r\nPLAY,0F\r\n");
        EXPECT_EQ(state.Load_Command_File(path, 1), 0);
        fake.Writes.clear();
        return path;
    }
};

TEST_F(Lirc_State_Program_Test, Names_The_Remote_After_The_Last_Command_File) {
    EXPECT_EQ(program.Remote_Name(), "QEV_LPT");
    EXPECT_TRUE(program.Command_Names().empty());
    EXPECT_EQ(program.Version(), "9.8.7");
    const std::string path = Load();
    EXPECT_EQ(state.Command_File_Path, path);
    EXPECT_EQ(program.Remote_Name(), "living_room");
    EXPECT_EQ(program.Command_Names(), (std::vector<std::string>{"POWER", "PLAY"}));
    EXPECT_EQ(program.Repeat(), 2) << "the file's @REPEAT";
}

TEST_F(Lirc_State_Program_Test, Sends_Through_The_Port_As_Many_Times_As_Asked) {
    Load();
    ASSERT_TRUE(program.Send("PLAY", 3));
    ASSERT_EQ(fake.Writes.size(), 3u * 8u);
    for (std::size_t i = 0; i < fake.Writes.size(); ++i)
        EXPECT_EQ(fake.Writes[i].Value, (i % 8) < 4 ? 0xFF : 0xFE) << i;
    EXPECT_EQ(state.Settings.REPEAT, 2) << "REPEAT is left as it was";
    fake.Writes.clear();
    EXPECT_FALSE(program.Send("MUTE", 1));
    EXPECT_FALSE(program.Send("PLAY", 0));
    EXPECT_TRUE(fake.Writes.empty());
    state.Port.Set_Function_Table(test::TFake_Port::Table(false, true));
    EXPECT_FALSE(program.Send("PLAY", 1)) << "no PortOut: nothing can go out";
}

TEST_F(Lirc_State_Program_Test, The_Protocol_Over_The_State_Sends_A_Click_And_Its_Count) {
    Load();
    TLirc_Protocol protocol(program);
    EXPECT_EQ(protocol.Handle("SEND_ONCE living_room POWER", T0), Ok("SEND_ONCE living_room POWER"));
    EXPECT_EQ(fake.Writes.size(), 2u * 8u) << "REPEAT = 2, as a click";
    fake.Writes.clear();
    EXPECT_EQ(protocol.Handle("SEND_ONCE LIVING_ROOM POWER 4", T0), Ok("SEND_ONCE LIVING_ROOM POWER 4"));
    EXPECT_EQ(fake.Writes.size(), 5u * 8u);
}

}  // namespace
}  // namespace qev
