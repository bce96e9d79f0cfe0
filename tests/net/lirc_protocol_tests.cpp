// The lircd protocol without sockets: every reply form and every error to the
// byte, the repetition of SEND_START against a scripted clock, the cutting of
// input into lines, the remote's name, and the program's state behind it.
#include "net/lirc_program.h"
#include "net/lirc_protocol.h"
#include "tests/net/fake_lirc_program.h"
#include "tests/support/lirc_replies.h"
#include "tests/support/state_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
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

// One request on a fresh protocol (nothing repeating): its exact reply, as
// lircd 0.10.1 words it, and what it sent.
TEST(Lirc_Protocol, Every_Request_Gets_Its_Exact_Reply) {
    struct Row {
        const char* name;
        std::string request;
        std::string reply;
        std::vector<std::pair<std::string, int32_t>> sent;
        int32_t repeat = 1;
    };
    const std::string Keys_Line = "0000000000000000 ";
    const std::string Illegal = "Illegal argument (protocol error): ";
    const std::vector<Row> rows = {
        // LIST in its three forms.
        {"list_remotes", "LIST", Ok("LIST", {"tv"}), {}},
        {"list_keys", "LIST tv", Ok("LIST tv", {Keys_Line + "POWER", Keys_Line + "power", Keys_Line + "VOL-UP"}), {}},
        {"list_keys_with_a_trailing_blank",
         "LIST tv ",
         Ok("LIST tv ", {Keys_Line + "POWER", Keys_Line + "power", Keys_Line + "VOL-UP"}),
         {}},
        {"list_one_key", "LIST tv VOL-UP", Ok("LIST tv VOL-UP", {Keys_Line + "VOL-UP"}), {}},
        {"list_remote_in_other_case", "LIST TV power", Ok("LIST TV power", {Keys_Line + "power"}), {}},
        {"list_unknown_remote", "LIST xx", Err("LIST xx", "unknown remote: \"xx\""), {}},
        {"list_unknown_remote_first", "LIST xx MUTE 1 2", Err("LIST xx MUTE 1 2", "unknown remote: \"xx\""), {}},
        {"list_unknown_key", "LIST tv MUTE", Err("LIST tv MUTE", "unknown command: \"MUTE\""), {}},
        {"list_trailing_word", "LIST tv POWER x", Err("LIST tv POWER x", "bad send packet (trailing ws)"), {}},
        // The echo keeps a CR before the LF, as lircd's does; the words do not.
        {"list_cr", "LIST\r", Ok("LIST\r", {"tv"}), {}},
        {"list_keys_cr", "LIST tv VOL-UP\r", Ok("LIST tv VOL-UP\r", {Keys_Line + "VOL-UP"}), {}},
        {"only_the_last_cr_goes", "A\r\r", Err("A\r\r", "unknown directive: \"A\r\""), {}},
        // VERSION takes no arguments and, as lircd, looks at none.
        {"version", "VERSION", Ok("VERSION", {"1.2.3"}), {}},
        {"version_in_lower_case", "version", Ok("version", {"1.2.3"}), {}},
        {"version_with_a_word", "VERSION now", Ok("VERSION now", {"1.2.3"}), {}},
        {"version_cr", "VERSION\r", Ok("VERSION\r", {"1.2.3"}), {}},
        // SEND_ONCE and the counts it answers at once.
        {"send_once", "SEND_ONCE tv POWER", Ok("SEND_ONCE tv POWER"), {{"POWER", 1}}},
        {"send_once_cr", "SEND_ONCE tv POWER\r", Ok("SEND_ONCE tv POWER\r"), {{"POWER", 1}}},
        {"send_once_exact_case_first", "SEND_ONCE tv power", Ok("SEND_ONCE tv power"), {{"power", 1}}},
        {"send_once_key_in_other_case", "SEND_ONCE tv vol-up", Ok("SEND_ONCE tv vol-up"), {{"VOL-UP", 1}}},
        {"send_once_directive_in_mixed_case", "Send_Once tv POWER", Ok("Send_Once tv POWER"), {{"POWER", 1}}},
        {"send_once_tabs_and_blanks", "\tSEND_ONCE  tv\tPOWER ", Ok("\tSEND_ONCE  tv\tPOWER "), {{"POWER", 1}}},
        {"send_once_repeat_setting", "SEND_ONCE tv POWER", Ok("SEND_ONCE tv POWER"), {{"POWER", 3}}, 3},
        {"send_once_repeat_zero_still_sends", "SEND_ONCE tv POWER", Ok("SEND_ONCE tv POWER"), {{"POWER", 1}}, 0},
        {"count_zero", "SEND_ONCE tv POWER 0", Ok("SEND_ONCE tv POWER 0"), {{"POWER", 1}}},
        {"count_plus_zero", "SEND_ONCE tv POWER +0", Ok("SEND_ONCE tv POWER +0"), {{"POWER", 1}}},
        {"count_minus_zero", "SEND_ONCE tv POWER -0", Ok("SEND_ONCE tv POWER -0"), {{"POWER", 1}}},
        {"count_within_repeat", "SEND_ONCE tv POWER 2", Ok("SEND_ONCE tv POWER 2"), {{"POWER", 3}}, 3},
        // Counts refused, as lircd refuses them.
        {"count_too_large",
         "SEND_ONCE tv POWER 601",
         Err("SEND_ONCE tv POWER 601", "too many repeats: \"601\" > \"600\""),
         {}},
        {"count_printed_as_a_number",
         "SEND_ONCE tv POWER +000700",
         Err("SEND_ONCE tv POWER +000700", "too many repeats: \"700\" > \"600\""),
         {}},
        {"count_negative",
         "SEND_ONCE tv POWER -1",
         Err("SEND_ONCE tv POWER -1", "too many repeats: \"-1\" > \"600\""),
         {}},
        {"count_beyond_32_bits",
         "SEND_ONCE tv POWER 4294967296",
         Err("SEND_ONCE tv POWER 4294967296", "too many repeats: \"4294967296\" > \"600\""),
         {}},
        {"count_beyond_64_bits",
         "SEND_ONCE tv POWER 0099999999999999999999999",
         Err("SEND_ONCE tv POWER 0099999999999999999999999", "too many repeats: \"99999999999999999999999\" > \"600\""),
         {}},
        {"count_not_a_number", "SEND_ONCE tv POWER 3x", Err("SEND_ONCE tv POWER 3x", "bad send packet (reps/eol)"), {}},
        {"count_sign_alone", "SEND_ONCE tv POWER +", Err("SEND_ONCE tv POWER +", "bad send packet (reps/eol)"), {}},
        {"count_hexadecimal",
         "SEND_ONCE tv POWER 0x10",
         Err("SEND_ONCE tv POWER 0x10", "bad send packet (reps/eol)"),
         {}},
        {"count_checked_before_trailing_words",
         "SEND_ONCE tv POWER x y",
         Err("SEND_ONCE tv POWER x y", "bad send packet (reps/eol)"),
         {}},
        {"send_once_trailing_word",
         "SEND_ONCE tv POWER 1 2",
         Err("SEND_ONCE tv POWER 1 2", "bad send packet (trailing ws)"),
         {}},
        {"send_once_unknown_remote", "SEND_ONCE xx POWER", Err("SEND_ONCE xx POWER", "unknown remote: \"xx\""), {}},
        {"send_once_unknown_key",
         "SEND_ONCE tv MUTE 3 4",
         Err("SEND_ONCE tv MUTE 3 4", "unknown command: \"MUTE\""),
         {}},
        {"send_once_no_remote", "SEND_ONCE", Err("SEND_ONCE", "remote missing"), {}},
        {"send_once_no_key", "SEND_ONCE tv", Err("SEND_ONCE tv", "code missing"), {}},
        // SEND_START and SEND_STOP with nothing repeating.
        {"send_start", "SEND_START tv VOL-UP", Ok("SEND_START tv VOL-UP"), {{"VOL-UP", 1}}},
        {"send_start_first_send_as_a_click", "SEND_START tv VOL-UP", Ok("SEND_START tv VOL-UP"), {{"VOL-UP", 2}}, 2},
        {"send_start_no_remote", "SEND_START", Err("SEND_START", "remote missing"), {}},
        {"send_start_no_key", "SEND_START tv", Err("SEND_START tv", "code missing"), {}},
        {"send_start_with_a_count",
         "SEND_START tv POWER 3",
         Err("SEND_START tv POWER 3", "bad send packet (trailing ws)"),
         {}},
        {"send_start_unknown_key", "SEND_START tv MUTE", Err("SEND_START tv MUTE", "unknown command: \"MUTE\""), {}},
        {"send_stop_not_repeating", "SEND_STOP tv POWER", Err("SEND_STOP tv POWER", "not repeating"), {}},
        {"send_stop_bare_not_repeating", "SEND_STOP", Err("SEND_STOP", "not repeating"), {}},
        {"send_stop_trailing_word",
         "SEND_STOP tv POWER x",
         Err("SEND_STOP tv POWER x", "bad send packet (trailing ws)"),
         {}},
        {"send_stop_unknown_remote", "SEND_STOP xx POWER", Err("SEND_STOP xx POWER", "unknown remote: \"xx\""), {}},
        {"send_stop_unknown_key", "SEND_STOP tv MUTE", Err("SEND_STOP tv MUTE", "unknown command: \"MUTE\""), {}},
        // The directives of a receiving lircd, answered as lircd answers them
        // with a driver that sends and has neither transmitters to choose
        // nor options nor a receiver.
        {"set_transmitters",
         "SET_TRANSMITTERS 1 2",
         Err("SET_TRANSMITTERS 1 2", "hardware does not support multiple transmitters"),
         {}},
        {"set_transmitters_bad_number",
         "set_transmitters x",
         Err("set_transmitters x", "hardware does not support multiple transmitters"),
         {}},
        {"set_transmitters_none", "SET_TRANSMITTERS", Err("SET_TRANSMITTERS", "no arguments given"), {}},
        {"set_transmitters_one_blank", "SET_TRANSMITTERS ", Err("SET_TRANSMITTERS ", "no arguments given"), {}},
        {"set_transmitters_two_blanks",
         "SET_TRANSMITTERS  ",
         Err("SET_TRANSMITTERS  ", "hardware does not support multiple transmitters"),
         {}},
        {"simulate",
         "SIMULATE 0000000000000001 00 POWER tv",
         Err("SIMULATE 0000000000000001 00 POWER tv", "SIMULATE command is disabled"),
         {}},
        {"simulate_bare", "SIMULATE", Err("SIMULATE", "SIMULATE command is disabled"), {}},
        {"set_inputlog_null", "SET_INPUTLOG null", Ok("SET_INPUTLOG null"), {}},
        {"set_inputlog_bare", "SET_INPUTLOG", Ok("SET_INPUTLOG"), {}},
        {"set_inputlog_path_opens_nothing", "SET_INPUTLOG /nonexistent/x", Ok("SET_INPUTLOG /nonexistent/x"), {}},
        {"set_inputlog_blanks", "SET_INPUTLOG \t ", Err("SET_INPUTLOG \t ", Illegal + "\t "), {}},
        {"drv_option", "DRV_OPTION key value", Err("DRV_OPTION key value", "Cannot set driver option, code: 0"), {}},
        {"drv_option_three_words",
         "DRV_OPTION a b c",
         Err("DRV_OPTION a b c", "Cannot set driver option, code: 0"),
         {}},
        {"drv_option_one_word", "DRV_OPTION  key", Err("DRV_OPTION  key", Illegal + " key"), {}},
        {"drv_option_long_word_is_two",
         "DRV_OPTION " + std::string(33, 'k'),
         Err("DRV_OPTION " + std::string(33, 'k'), "Cannot set driver option, code: 0"),
         {}},
        {"drv_option_word_of_32",
         "DRV_OPTION " + std::string(32, 'k'),
         Err("DRV_OPTION " + std::string(32, 'k'), Illegal + std::string(32, 'k')),
         {}},
        {"drv_option_bare", "DRV_OPTION", Err("DRV_OPTION", Illegal), {}},
        {"drv_option_blanks", "DRV_OPTION  ", Err("DRV_OPTION  ", Illegal + " "), {}},
        // Lines that are no request.
        {"empty_line", "", Err("", "bad send packet"), {}},
        {"blank_line", " \t ", Err(" \t ", "bad send packet"), {}},
        {"cr_alone", "\r", Err("\r", "bad send packet"), {}},
        {"unknown_directive", "FOO 1", Err("FOO 1", "unknown directive: \"FOO\""), {}},
        {"directive_with_a_suffix", "LISTX", Err("LISTX", "unknown directive: \"LISTX\""), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFake_Program program;
        program.Repeat_Setting = row.repeat;
        TLirc_Protocol protocol(program);
        EXPECT_EQ(protocol.Handle(row.request, T0), row.reply);
        EXPECT_EQ(program.Sent, row.sent);
        const bool started =
            row.request.starts_with("SEND_START") && row.reply.find("\nSUCCESS\n") != std::string::npos;
        EXPECT_EQ(protocol.Repeating(), started);
        EXPECT_EQ(protocol.Take_Late_Reply(), std::nullopt);
    }
}

TEST(Lirc_Protocol, Sends_The_Program_Cannot_Make_Fail_And_Start_No_Repetition) {
    TFake_Program program;
    program.Can_Send = false;
    TLirc_Protocol protocol(program);
    EXPECT_EQ(protocol.Handle("SEND_ONCE tv POWER", T0), Err("SEND_ONCE tv POWER", "transmission failed"));
    EXPECT_EQ(protocol.Handle("SEND_ONCE tv POWER 5", T0), Err("SEND_ONCE tv POWER 5", "transmission failed"));
    EXPECT_EQ(protocol.Handle("SEND_START tv POWER", T0), Err("SEND_START tv POWER", "transmission failed"));
    EXPECT_FALSE(protocol.Repeating());
    EXPECT_EQ(protocol.Take_Late_Reply(), std::nullopt);
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

// ---- Key names -------------------------------------------------------------------

TEST(Lirc_Key_Word, Makes_Every_Name_One_Word) {
    struct Row {
        const char* name;
        std::string command;
        std::string word;
    };
    const std::vector<Row> rows = {
        {"plain", "POWER", "POWER"},
        {"blank", "VOL UP", "VOL_UP"},
        {"blanks_at_the_ends", " A  B ", "_A__B_"},
        {"tab_cr_lf", "a\tb\rc\nd", "a_b_c_d"},
        {"control_and_del", std::string("x\x01y\x7Fz", 5), "x_y_z"},
        {"zero_byte", std::string("a\0b", 3), "a_b"},
        {"punctuation_and_hash_stay", "#1 \"x\"", "#1_\"x\""},
        {"utf8_stays", "LAUT\xC3\x84R", "LAUT\xC3\x84R"},
        {"empty", "", "_"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Lirc_Key_Word(row.command), row.word);
    }
}

// lircd's "%016llx %02x %s %s\n", written out here, not formatted.
TEST(Lirc_Key_Line, Is_Lircds_Line_Of_A_Heard_Key_With_Names_As_Words) {
    struct Row {
        const char* name;
        uint64_t code;
        int repeat;
        std::string key;
        std::string remote;
        std::string line;
    };
    const std::vector<Row> rows = {
        {"press", 0x20DF10EF, 0, "POWER", "tv", "0000000020df10ef 00 POWER tv\n"},
        {"repeat_in_hex", 0x40, 26, "VOL-UP", "tv", "0000000000000040 1a VOL-UP tv\n"},
        {"repeat_past_two_digits", 0, 0x1A2, "A", "tv", "0000000000000000 1a2 A tv\n"},
        {"negative_repeat_is_zero", 1, -3, "A", "tv", "0000000000000001 00 A tv\n"},
        {"all_64_bits", UINT64_MAX, 1, "A", "tv", "ffffffffffffffff 01 A tv\n"},
        {"blank_in_the_key", 7, 0, "VOL UP", "tv", "0000000000000007 00 VOL_UP tv\n"},
        {"line_end_in_the_key", 7, 0, "A\nB", "tv", "0000000000000007 00 A_B tv\n"},
        {"empty_key", 7, 0, "", "tv", "0000000000000007 00 _ tv\n"},
        {"blank_in_the_remote", 7, 0, "A", "living room", "0000000000000007 00 A living_room\n"},
        {"empty_remote", 7, 0, "A", "", "0000000000000007 00 A _\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Lirc_Key_Line(row.code, row.repeat, row.key, row.remote), row.line);
    }
}

// A table whose names a request cannot carry as they are: each is listed as
// its word, and each listed word sends it, however the words collide.
TEST(Lirc_Protocol, Every_Listed_Key_Is_Sendable_By_Its_Word) {
    TFake_Program program;
    program.Names = {"VOL UP", "Tab\tKey", "", "A B", "A_B", "power", "POWER"};
    TLirc_Protocol protocol(program);
    const std::string Keys_Line = "0000000000000000 ";
    ASSERT_EQ(protocol.Handle("LIST tv", T0),
              Ok("LIST tv", {Keys_Line + "VOL_UP", Keys_Line + "Tab_Key", Keys_Line + "_", Keys_Line + "A_B",
                             Keys_Line + "A_B", Keys_Line + "power", Keys_Line + "POWER"}));
    struct Row {
        const char* name;
        std::string word;
        std::string sent;  // the command reached
    };
    const std::vector<Row> rows = {
        {"blank_as_underscore", "VOL_UP", "VOL UP"},
        {"in_other_case", "vol_up", "VOL UP"},
        {"tab_as_underscore", "Tab_Key", "Tab\tKey"},
        {"empty_name", "_", ""},
        {"exact_name_before_a_listed_word", "A_B", "A_B"},
        {"first_listed_word_in_other_case", "a_b", "A B"},
        {"exact_case_first", "POWER", "POWER"},
        {"first_in_other_case", "Power", "power"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        program.Sent.clear();
        EXPECT_EQ(protocol.Handle("SEND_ONCE tv " + row.word, T0), Ok("SEND_ONCE tv " + row.word));
        EXPECT_EQ(program.Sent, (std::vector<std::pair<std::string, int32_t>>{{row.sent, 1}}));
        EXPECT_EQ(protocol.Handle("LIST tv " + row.word, T0),
                  Ok("LIST tv " + row.word, {Keys_Line + Lirc_Key_Word(row.sent)}));
    }
    // Held down and let go by its word.
    program.Sent.clear();
    EXPECT_EQ(protocol.Handle("SEND_START tv VOL_UP", T0), Ok("SEND_START tv VOL_UP"));
    EXPECT_EQ(protocol.Repeating_Key(), "VOL UP");
    EXPECT_EQ(protocol.Handle("SEND_STOP tv vol_up", T0), Ok("SEND_STOP tv vol_up"));
    EXPECT_FALSE(protocol.Repeating());
    EXPECT_EQ(program.Sent, (std::vector<std::pair<std::string, int32_t>>{{"VOL UP", 1}}));
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
    EXPECT_EQ(protocol.Take_Late_Reply(), std::nullopt) << "SEND_START was answered at once";
}

// A key's toggle bit flips on a new press and stays while the key is held:
// the first send of SEND_START is a press, its repetitions hold it.
TEST_F(Lirc_Repeat_Test, Repetitions_Hold_The_Press_They_Repeat) {
    ASSERT_EQ(protocol.Handle("SEND_START tv VOL-UP", T0), Ok("SEND_START tv VOL-UP"));
    EXPECT_TRUE(protocol.Repeat_Step(T0 + 100ms));
    EXPECT_TRUE(protocol.Repeat_Step(T0 + 200ms));
    ASSERT_EQ(protocol.Handle("SEND_STOP tv VOL-UP", T0 + 1s), Ok("SEND_STOP tv VOL-UP"));
    ASSERT_EQ(protocol.Handle("SEND_ONCE tv POWER", T0 + 2s), Ok("SEND_ONCE tv POWER"));
    EXPECT_EQ(program.Held, (std::vector<bool>{false, true, true, false}));
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
        {"send_once_bad_count_first", "SEND_ONCE tv POWER x", Err("SEND_ONCE tv POWER x", "bad send packet (reps/eol)"),
         true},
        {"second_send_start", "SEND_START tv POWER", Err("SEND_START tv POWER", "already repeating"), true},
        {"same_send_start", "SEND_START tv VOL-UP", Err("SEND_START tv VOL-UP", "already repeating"), true},
        {"stop_of_another_key", "SEND_STOP tv POWER", Err("SEND_STOP tv POWER", "specified code does not match"), true},
        {"list_still_answers", "LIST", Ok("LIST", {"tv"}), true},
        {"stop_key_in_other_case", "SEND_STOP TV vol-up", Ok("SEND_STOP TV vol-up"), false},
        {"stop_of_the_remote", "SEND_STOP tv", Ok("SEND_STOP tv"), false},
        {"bare_stop", "SEND_STOP", Ok("SEND_STOP"), false},
        {"bare_stop_cr", "SEND_STOP\r", Ok("SEND_STOP\r"), false},
        {"stop_trailing_word", "SEND_STOP tv VOL-UP x", Err("SEND_STOP tv VOL-UP x", "bad send packet (trailing ws)"),
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

// SEND_START repeats until SEND_STOP, bounded by time only: no count of
// repetitions ends it.
TEST_F(Lirc_Repeat_Test, Send_Start_Ends_At_Its_Time_Limit_Or_A_Failed_Send) {
    struct Row {
        const char* name;
        std::chrono::milliseconds step;  // between two steps
        int32_t steps;                   // steps tried at most
        bool fail_at_second;
        bool still_repeating;
        int32_t sent;  // repetitions made
    };
    const std::vector<Row> rows = {
        {"thousands_of_repetitions_go_on", 1ms, 20'000, false, true, 20'000},
        {"the_time_limit", 1000ms, 1000, false, false, 60},  // steps at 0 .. 59 s; the one at 60 s is too late
        {"a_failed_send", 1ms, 1000, true, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        protocol.Stop_Repeating();
        program.Can_Send = true;
        Start();
        int32_t steps = 0;
        for (auto now = T0; protocol.Repeating() && steps < row.steps; now += row.step, ++steps) {
            if (row.fail_at_second && steps == 1) program.Can_Send = false;
            protocol.Repeat_Step(now);
        }
        EXPECT_EQ(protocol.Repeating(), row.still_repeating);
        EXPECT_EQ(static_cast<int32_t>(program.Sent.size()), row.sent);
        EXPECT_EQ(protocol.Take_Late_Reply(), std::nullopt);
        if (row.still_repeating) continue;
        EXPECT_FALSE(protocol.Repeat_Step(T0)) << "ended for good";
        program.Can_Send = true;
        EXPECT_EQ(protocol.Handle("SEND_ONCE tv POWER", T0), Ok("SEND_ONCE tv POWER")) << "no longer busy";
        program.Sent.clear();
    }
}

TEST(Lirc_Protocol, The_Owner_Sets_The_Time_Limit) {
    TFake_Program program;
    TLirc_Protocol protocol(program, 250ms);
    ASSERT_EQ(protocol.Handle("SEND_START tv POWER", T0), Ok("SEND_START tv POWER"));
    EXPECT_TRUE(protocol.Repeat_Step(T0 + 249ms));
    EXPECT_FALSE(protocol.Repeat_Step(T0 + 250ms));
    EXPECT_EQ(program.Sent.size(), 2u) << "the first send and one repetition";
}

// SEND_ONCE with a count: the click at once, every further transmission one
// step, and the reply when the last is out, or when something ends them.
TEST_F(Lirc_Repeat_Test, A_Send_Once_Count_Repeats_Step_By_Step_And_Answers_At_The_End) {
    struct Row {
        const char* name;
        std::string request;
        int32_t repeat;                                                            // the REPEAT setting
        int32_t click;                                                             // transmissions of the first send
        int32_t steps;                                                             // repetitions until the end
        std::string late;                                                          // the reply when they end
        std::function<void(TLirc_Protocol&, TFake_Program&)> meanwhile = nullptr;  // after the first step
        int32_t sent_steps = -1;  // repetitions that went out, when fewer than `steps`
    };
    const std::string Request = "SEND_ONCE tv VOL-UP";
    const std::vector<Row> rows = {
        {"count_one", Request + " 1", 1, 1, 1, Ok(Request + " 1")},
        {"count_beyond_repeat", Request + " 5", 3, 3, 3, Ok(Request + " 5")},
        {"count_with_cr", Request + " 2\r", 1, 1, 2, Ok(Request + " 2\r")},
        {"largest_count", Request + " 600", 1, 1, 600, Ok(Request + " 600")},
        {"send_stop_interrupts", Request + " 9", 1, 1, 1, Err(Request + " 9", "repeating interrupted"),
         [](TLirc_Protocol& p, TFake_Program&) { ASSERT_EQ(p.Handle("SEND_STOP", T0), Ok("SEND_STOP")); }},
        {"stop_repeating_interrupts", Request + " 9", 1, 1, 1, Err(Request + " 9", "repeating interrupted"),
         [](TLirc_Protocol& p, TFake_Program&) { p.Stop_Repeating(); }},
        {"a_failed_send", Request + " 9", 1, 1, 2, Err(Request + " 9", "transmission failed"),
         [](TLirc_Protocol&, TFake_Program& f) { f.Can_Send = false; }, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        program.Sent.clear();
        program.Can_Send = true;
        program.Repeat_Setting = row.repeat;
        EXPECT_EQ(protocol.Handle(row.request, T0), std::nullopt) << "answered later";
        EXPECT_TRUE(protocol.Repeating());
        EXPECT_EQ(protocol.Repeating_Key(), "VOL-UP");
        EXPECT_EQ(program.Sent, (std::vector<std::pair<std::string, int32_t>>{{"VOL-UP", row.click}}));
        program.Sent.clear();
        EXPECT_EQ(protocol.Handle("SEND_ONCE tv POWER", T0), Err("SEND_ONCE tv POWER", "busy: repeating"));
        EXPECT_EQ(protocol.Handle("SEND_START tv POWER", T0), Err("SEND_START tv POWER", "already repeating"));
        // Steps an hour apart: SEND_START's time limit is no part of a count.
        int32_t steps = 0;
        for (auto now = T0; protocol.Repeating() && steps < 1000; now += 1h) {
            ++steps;
            EXPECT_EQ(protocol.Take_Late_Reply(), std::nullopt) << "not before the end";
            protocol.Repeat_Step(now);
            if (steps == 1 && row.meanwhile) row.meanwhile(protocol, program);
        }
        EXPECT_FALSE(protocol.Repeating());
        EXPECT_EQ(steps, row.steps);
        const int32_t sent = row.sent_steps >= 0 ? row.sent_steps : row.steps;
        EXPECT_EQ(program.Sent, (std::vector<std::pair<std::string, int32_t>>(sent, {"VOL-UP", 1})));
        EXPECT_EQ(protocol.Take_Late_Reply(), row.late);
        EXPECT_EQ(protocol.Take_Late_Reply(), std::nullopt) << "once";
    }
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
        {"cr_lf_keeps_the_cr", {"LIST\r\n"}, {{"LIST\r", false}}, 0},
        {"cr_lf_split", {"LIST\r", "\n"}, {{"LIST\r", false}}, 0},
        {"inner_cr_stays", {"A\rB\n"}, {{"A\rB", false}}, 0},
        {"two_crs", {"A\r\r\n"}, {{"A\r\r", false}}, 0},
        {"several_in_one_piece", {"A\nB\r\nC\n"}, {{"A", false}, {"B\r", false}, {"C", false}}, 0},
        {"byte_by_byte", {"V", "E", "R", "\n"}, {{"VER", false}}, 0},
        {"empty_lines", {"\n\r\n"}, {{"", false}, {"\r", false}}, 0},
        {"unfinished_waits", {"LIST"}, {}, 4},
        {"zero_byte_is_a_byte", {std::string("A\0B\n", 4)}, {{std::string("A\0B", 3), false}}, 0},
        {"exactly_the_limit", {limit + "\n"}, {{limit, false}}, 0},
        {"the_limit_with_cr", {limit + "\r\n"}, {{limit + "\r", false}}, 0},
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
            EXPECT_EQ(reader.Feed(piece,
                                  [&](std::string_view line, bool too_long) {
                                      lines.push_back({std::string(line), too_long});
                                      return true;
                                  }),
                      piece.size());
        EXPECT_EQ(lines, row.lines);
        EXPECT_EQ(reader.Buffered(), row.buffered);
    }
}

// Stopping after a line leaves the rest of the bytes untaken; fed again
// later, they give the same lines as bytes taken at once.
TEST(Lirc_Line_Reader, Stops_After_The_Line_It_Is_Told_To_And_Takes_Up_To_Its_End) {
    struct Row {
        const char* name;
        std::string bytes;
        std::size_t lines_before_stop;
        std::size_t taken;
    };
    const std::vector<Row> rows = {
        {"after_the_first", "A\nB\nC\n", 1, 2},
        {"after_the_second_with_cr", "A\r\nB\r\nC", 2, 6},
        {"after_the_last", "A\nB\n", 2, 4},
        {"unfinished_line_after_the_stop", "A\nBC", 1, 2},
        {"too_long_line", std::string(2000, 'x') + "\nA\n", 1, 2001},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TLirc_Line_Reader reader, whole;
        std::vector<TLine> lines, expected;
        const auto record = [](std::vector<TLine>& into) {
            return [&into](std::string_view line, bool too_long) {
                into.push_back({std::string(line), too_long});
                return true;
            };
        };
        whole.Feed(row.bytes, record(expected));
        const std::size_t taken = reader.Feed(row.bytes, [&](std::string_view line, bool too_long) {
            lines.push_back({std::string(line), too_long});
            return lines.size() < row.lines_before_stop;
        });
        EXPECT_EQ(taken, row.taken);
        EXPECT_EQ(lines.size(), row.lines_before_stop);
        EXPECT_EQ(reader.Feed(std::string_view(row.bytes).substr(taken), record(lines)), row.bytes.size() - taken);
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(reader.Buffered(), whole.Buffered());
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
    EXPECT_EQ(state.Origin.Command_File_Path(), path);
    EXPECT_EQ(program.Remote_Name(), "living_room");
    EXPECT_EQ(program.Command_Names(), (std::vector<std::string>{"POWER", "PLAY"}));
    EXPECT_EQ(program.Repeat(), 2) << "the file's @REPEAT";
}

TEST_F(Lirc_State_Program_Test, Sends_Through_The_Port_As_Many_Times_As_Asked) {
    Load();
    ASSERT_TRUE(program.Send("PLAY", 3, false));
    ASSERT_EQ(fake.Writes.size(), 3u * 8u);
    for (std::size_t i = 0; i < fake.Writes.size(); ++i)
        EXPECT_EQ(fake.Writes[i].Value, (i % 8) < 4 ? 0xFF : 0xFE) << i;
    EXPECT_EQ(state.Settings.REPEAT, 2) << "REPEAT is left as it was";
    fake.Writes.clear();
    EXPECT_FALSE(program.Send("MUTE", 1, false));
    EXPECT_FALSE(program.Send("PLAY", 0, false));
    EXPECT_TRUE(fake.Writes.empty());
    state.Port.Set_Function_Table(test::TFake_Port::Table(false, true));
    EXPECT_FALSE(program.Send("PLAY", 1, false)) << "no PortOut: nothing can go out";
}

TEST_F(Lirc_State_Program_Test, The_Protocol_Over_The_State_Sends_A_Click_And_Its_Count) {
    Load();
    TLirc_Protocol protocol(program);
    EXPECT_EQ(protocol.Handle("SEND_ONCE living_room POWER", T0), Ok("SEND_ONCE living_room POWER"));
    EXPECT_EQ(fake.Writes.size(), 2u * 8u) << "REPEAT = 2, as a click";
    fake.Writes.clear();
    EXPECT_EQ(protocol.Handle("SEND_ONCE LIVING_ROOM POWER 4", T0), std::nullopt);
    EXPECT_EQ(fake.Writes.size(), 2u * 8u) << "the click first";
    while (protocol.Repeat_Step(T0)) {
    }
    EXPECT_EQ(protocol.Take_Late_Reply(), Ok("SEND_ONCE LIVING_ROOM POWER 4"));
    EXPECT_EQ(fake.Writes.size(), 5u * 8u) << "then one by one up to 1 + 4";
}

TEST_F(Lirc_State_Program_Test, A_Name_With_A_Blank_Is_Listed_And_Sent_By_Its_Word) {
    const std::string path = profile.File("tv.rmt");
    test::Write_File(path, "VOL UP,FF\r\nVOL_DOWN,0F\r\n");
    ASSERT_EQ(state.Load_Command_File(path, 1), 0);
    fake.Writes.clear();
    TLirc_Protocol protocol(program);
    EXPECT_EQ(protocol.Handle("LIST tv", T0), Ok("LIST tv", {"0000000000000000 VOL_UP", "0000000000000000 VOL_DOWN"}));
    EXPECT_EQ(protocol.Handle("SEND_ONCE tv VOL_UP", T0), Ok("SEND_ONCE tv VOL_UP"));
    ASSERT_EQ(fake.Writes.size(), 8u);
    EXPECT_EQ(fake.Writes.front().Value, 0xFF) << "VOL UP's samples, all on";
}

}  // namespace
}  // namespace qev
