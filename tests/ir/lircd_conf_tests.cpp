// Reading LIRC's remote definitions into durations, and writing raw codes.
#include "ir/lircd_conf.h"

#include "ir/decoder.h"
#include "ir/protocols.h"
#include "ir/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qev {
namespace {

using TDurations = std::vector<int32_t>;

std::vector<std::string> Names_Of(const TIR_File& file) {
    std::vector<std::string> names;
    for (const TIR_Record& record : file.Records) names.push_back(record.Name);
    return names;
}

std::string Errors_Of(const TIR_File& file) {
    std::string text;
    for (const TFormat_Error& error : file.Errors) text += std::to_string(error.Line) + ": " + error.Message + "\n";
    return text;
}

// An NEC frame of the 32 bits written as '0' and '1': leader, bits, stop mark.
TDurations Nec_Frame(std::string_view bits, int32_t trailing_space) {
    TDurations d = {9000, 4500};
    for (char bit : bits) d.insert(d.end(), {560, bit == '1' ? 1690 : 560});
    d.insert(d.end(), {560, trailing_space});
    return d;
}

std::string Nec_Remote(std::string_view flags) {
    std::string text = "# NEC remote\nbegin remote\n  name  TV\n  bits           16\n  flags ";
    text += flags;
    return text +
           "\n"
           "  eps            30\n"
           "  aeps          100\n"
           "  header       9000  4500\n"
           "  one           560  1690\n"
           "  zero          560   560\n"
           "  ptrail        560\n"
           "  repeat       9000  2250\n"
           "  pre_data_bits   16\n"
           "  pre_data       0x20DF\n"
           "  gap          108000\n"
           "  toggle_bit_mask 0x0\n"
           "      begin codes\n"
           "          KEY_POWER                0x10EF\n"
           "          KEY_VOLUMEUP             0x40BF\n"
           "          KEY_MUTE                 0x906F 0x807F  # a second frame, not sent\n"
           "      end codes\n"
           "end remote\n";
}

TEST(Lircd_Space_Enc, Nec_Remote_Gives_Its_Frames) {
    struct Row {
        const char* name;
        const char* flags;
        int32_t trailing_space;
    };
    // Every NEC frame has 16 ones and 16 zeros: 67980 us up to the end of
    // the stop mark, so a constant 108 ms frame leaves 40020 us.
    for (const Row& row : std::vector<Row>{{"constant length", "SPACE_ENC|CONST_LENGTH", 40020},
                                           {"gap after the frame", "SPACE_ENC", 108000},
                                           {"flags in any case", "space_enc | const_length", 40020}}) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Lircd_Conf(Nec_Remote(row.flags));
        EXPECT_EQ(Errors_Of(file), "");
        ASSERT_EQ(Names_Of(file), (std::vector<std::string>{"KEY_POWER", "KEY_VOLUMEUP", "KEY_MUTE"}));
        EXPECT_EQ(file.Records[0].Timing.Durations_us, Nec_Frame("0010000011011111"
                                                                 "0001000011101111",
                                                                 row.trailing_space));
        EXPECT_EQ(file.Records[1].Timing.Durations_us, Nec_Frame("0010000011011111"
                                                                 "0100000010111111",
                                                                 row.trailing_space));
        EXPECT_EQ(file.Records[2].Timing.Durations_us, Nec_Frame("0010000011011111"
                                                                 "1001000001101111",
                                                                 row.trailing_space));
        for (const TIR_Record& record : file.Records) {
            EXPECT_FALSE(record.Code.has_value());
            EXPECT_EQ(record.Timing.Carrier_Hz, 38000);
        }
    }
}

TEST(Lircd_Space_Enc, Frame_Parts_Merge_Vanish_And_End_With_The_Gap) {
    struct Row {
        const char* name;
        const char* flags;
        const char* parameters;
        const char* code;
        TDurations durations;
    };
    // A 1 is 100 us of mark and 300 of space, a 0 is 100 and 100.
    const std::vector<Row> rows = {
        {"bits alone end with a mark", "SPACE_ENC", "", "2", {100, 300, 100}},
        {"header and trailing mark",
         "SPACE_ENC",
         "header 1000 500\nptrail 50",
         "2",
         {1000, 500, 100, 300, 100, 100, 50}},
        {"a header without its space is not sent", "SPACE_ENC", "header 1000 0", "2", {100, 300, 100}},
        {"plead joins the first mark", "SPACE_ENC", "plead 200", "0x2", {300, 300, 100}},
        {"pre_data and pre before the code",
         "SPACE_ENC",
         "pre_data_bits 1\npre_data 1\npre 400 600",
         "2",
         {100, 300, 400, 600, 100, 300, 100}},
        {"pre without pre_data is not sent", "SPACE_ENC", "pre 400 600", "2", {100, 300, 100}},
        {"post and post_data after the code",
         "SPACE_ENC",
         "post_data_bits 2\npost_data 1\npost 700 800",
         "2",
         {100, 300, 100, 100, 700, 800, 100, 100, 100}},
        {"post without post_data is not sent", "SPACE_ENC", "post 700 800", "2", {100, 300, 100}},
        {"an empty mark joins the spaces", "SPACE_ENC", "zero 0 100\nptrail 50", "2", {100, 400, 50}},
        {"a space before the first mark is idle", "SPACE_ENC", "zero 0 100\nptrail 50", "1", {100, 300, 50}},
        {"the gap replaces the last space", "SPACE_ENC", "gap 5000", "3", {100, 300, 100, 5000}},
        {"constant length leaves the gap's rest", "SPACE_ENC|CONST_LENGTH", "gap 8000", "2", {100, 300, 100, 7500}},
        {"of two gaps the smaller follows the frame", "SPACE_ENC", "gap 5000 9000", "2", {100, 300, 100, 5000}},
        {"foot, a space then a mark, after the trailing mark",
         "SPACE_ENC",
         "ptrail 50\nfoot 600 700\ngap 5000",
         "2",
         {100, 300, 100, 100, 50, 700, 600, 5000}},
        {"repeat-only flags change nothing",
         "SPACE_ENC|NO_HEAD_REP|NO_FOOT_REP|REPEAT_HEADER",
         "",
         "2",
         {100, 300, 100}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = std::string("begin remote\nname R\nflags ") + row.flags +
                                 "\nbits 2\none 100 300\nzero 100 100\n" + row.parameters + "\nbegin codes\nKEY " +
                                 row.code + "\nend codes\nend remote\n";
        const TIR_File file = Read_Lircd_Conf(text);
        EXPECT_EQ(Errors_Of(file), "");
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Timing.Durations_us, row.durations);
    }
}

TEST(Lircd_Bi_Phase, Rc5_Gives_The_Standard_Frame) {
    // Start bits 1 1, toggle 1, address 0, command 0x0C, in 889 us halves: irsimsend's output (LIRC 0.10), whose
    // first press sets the toggle bit of toggle_bit_mask.
    const TDurations frame = {889, 889, 889, 889, 1778, 889,  889, 889, 889,  889, 889, 889,
                              889, 889, 889, 889, 889,  1778, 889, 889, 1778, 889, 889, 90664};
    struct Row {
        const char* name;
        const char* parameters;
        const char* code;
    };
    for (const Row& row :
         std::vector<Row>{{"first start bit as plead", "bits 13\nplead 889", "0x100C"},
                          {"first start bit in the code", "bits 14", "0x300C"},
                          {"the older flag name", "bits 13\nplead 889\nflags SHIFT_ENC|CONST_LENGTH", "0x100C"}}) {
        SCOPED_TRACE(row.name);
        const std::string text = std::string("begin remote\nname RC5_TV\nflags RC5|CONST_LENGTH\n") + row.parameters +
                                 "\none 889 889\nzero 889 889\ngap 113778\ntoggle_bit_mask 0x800\n"
                                 "begin codes\nKEY_POWER " +
                                 row.code + "\nend codes\nend remote\n";
        const TIR_File file = Read_Lircd_Conf(text);
        EXPECT_EQ(Errors_Of(file), "");
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Timing.Durations_us, frame);
    }
}

TEST(Lircd_Bi_Phase, Rc6_Doubles_The_Masked_Bit) {
    const TIR_File file = Read_Lircd_Conf(
        "begin remote\n  name  RC6_TV\n  bits 21\n  flags RC6|CONST_LENGTH\n  header 2666 889\n"
        "  one 444 444\n  zero 444 444\n  rc6_mask 0x10000\n  gap 106667\n"
        "  begin codes\n    KEY_TOGGLE_CLEAR 0x0FFFF3\n    KEY_TOGGLE_SET 0x0EFFF3\n  end codes\nend remote\n");
    EXPECT_EQ(Errors_Of(file), "");
    ASSERT_EQ(file.Records.size(), 2u);
    // Leader, start bit 1, mode 000, the toggle bit in 888 us halves, address 0, command 0x0C; the codes are
    // written inverted, as LIRC writes RC6.
    EXPECT_EQ(file.Records[0].Timing.Durations_us,
              (TDurations{2666, 889, 444, 888, 444, 444, 444, 444, 444, 888, 888, 444, 444, 444,
                          444,  444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444,
                          444,  444, 444, 444, 444, 444, 888, 444, 444, 888, 444, 444, 444, 83576}));
    EXPECT_EQ(file.Records[1].Timing.Durations_us,
              (TDurations{2666, 889, 444, 888, 444, 444, 444, 444, 1332, 1332, 444, 444,  444, 444,
                          444,  444, 444, 444, 444, 444, 444, 444, 444,  444,  444, 444,  444, 444,
                          444,  444, 444, 444, 888, 444, 444, 888, 444,  444,  444, 83576}));
}

TEST(Lircd_Bi_Phase, Rc6_Sends_A_One_As_Space_Then_Mark_As_Lirc_Does) {
    // The expected durations are irsimsend's output (LIRC 0.10, `irsimsend -k KEY FILE`) for this remote,
    // tests/ir/lircd_files/rc6_mode0.conf: RC6 mode 0, address 0x04, each code the inverted command.
    struct Row {
        const char* name;
        const char* code;
        TDurations durations;  // after the leader, start bit, mode, toggle bit and address
        const char* decoded;
    };
    const TDurations leader = {2667, 889, 444, 888, 444, 444, 444, 444, 1332, 1332, 444, 444, 444,
                               444,  444, 444, 444, 444, 888, 888, 444, 444,  444,  444, 444, 444};
    const std::vector<Row> rows = {
        {"command 0x0C",
         "0xF3",
         {444, 444, 444, 444, 888, 444, 444, 888, 444, 444, 444, 84908},
         "RC6  address 0x04  command 0x0C"},
        {"command 0x00",
         "0xFF",
         {444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 84908},
         "RC6  address 0x04  command 0x00"},
        {"command 0x10",
         "0xEF",
         {444, 444, 888, 888, 444, 444, 444, 444, 444, 444, 444, 84908},
         "RC6  address 0x04  command 0x10"},
        {"command 0x20",
         "0xDF",
         {888, 888, 444, 444, 444, 444, 444, 444, 444, 444, 444, 84908},
         "RC6  address 0x04  command 0x20"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Lircd_Conf(
            "begin remote\n  name  RC6_MODE0\n  bits 8\n  flags RC6|CONST_LENGTH\n  header 2667 889\n"
            "  one 444 444\n  zero 444 444\n  pre_data_bits 13\n  pre_data 0xEFB\n  rc6_mask 0x10000\n"
            "  gap 108000\n  begin codes\n    KEY " +
            std::string(row.code) + "\n  end codes\nend remote\n");
        EXPECT_EQ(Errors_Of(file), "");
        ASSERT_EQ(file.Records.size(), 1u);
        TDurations expected = leader;
        expected.insert(expected.end(), row.durations.begin(), row.durations.end());
        EXPECT_EQ(file.Records[0].Timing.Durations_us, expected);
        // Sent as LIRC sends it, the frame is the RC6 code the remote means.
        EXPECT_EQ(Describe_Decoded(Decode_Levels(Sample_Timing(file.Records[0].Timing, 100'000))), row.decoded);
    }
}

TEST(Lircd_Bi_Phase, Rc6_Without_A_Mask_Doubles_Its_Toggle_Bit) {
    const auto frames = [](std::string_view parameters) {
        const TIR_File file = Read_Lircd_Conf(
            "begin remote\n  name  RC6_TV\n  bits 21\n  flags RC6|CONST_LENGTH\n  header 2666 889\n"
            "  one 444 444\n  zero 444 444\n  gap 106667\n" +
            std::string(parameters) +
            "\n  begin codes\n    KEY_A 0x10000C\n    KEY_B 0x11000C\n  end codes\nend remote\n");
        EXPECT_EQ(Errors_Of(file), "");
        std::vector<TDurations> out;
        for (const TIR_Record& record : file.Records) out.push_back(record.Timing.Durations_us);
        return out;
    };
    struct Row {
        const char* name;
        const char* parameters;
        std::vector<TDurations> frames;  // of KEY_A and KEY_B
    };
    // The expected durations are irsimsend's output (LIRC 0.10, `irsimsend -k KEY FILE`). Bit 5 of the 21, counted
    // from the first, lasts twice as long and, as the toggle bit, is set on the first press: both keys send one code.
    const TDurations toggled = {2666, 1333, 888, 444, 444, 444, 444, 1332, 1332, 444, 444, 444,  444,
                                444,  444,  444, 444, 444, 444, 444, 444,  444,  444, 444, 444,  444,
                                444,  444,  444, 444, 444, 888, 444, 444,  888,  444, 444, 84020};
    const std::vector<Row> rows = {
        {"toggle_bit", "toggle_bit 5", {toggled, toggled}},
        {"repeat_bit, its older name", "repeat_bit 5", {toggled, toggled}},
        {"rc6_mask wins over the toggle bit",
         "rc6_mask 0x10000\ntoggle_bit 3",
         {{2666, 1333, 888, 888, 888, 444, 888, 888, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444,
           444,  444,  444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 888, 444, 444, 888, 444, 444, 84020},
          {2666, 1333, 888, 888, 888, 1332, 1332, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444, 444,
           444,  444,  444, 444, 444, 444,  444,  444, 444, 444, 444, 888, 444, 444, 888, 444, 444, 84020}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(frames(row.parameters), row.frames);
    }
    // A toggle bit beyond the word marks nothing.
    EXPECT_EQ(frames("toggle_bit 22"), frames(""));
}

TEST(Lircd_Read, Reads_What_Lirc_Reads) {
    struct Row {
        const char* name;
        const char* before;  // the file's text before `begin remote`
        const char* parameters;
        const char* after;  // after `end remote`
        TDurations durations;
    };
    // The expected durations are irsimsend's output (LIRC 0.10, `irsimsend
    // -k KEY_A FILE`) for each row's file. Code 0x05 is 00000101.
    const TDurations frame = {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100,
                              100,  100, 100, 300, 100, 100, 100, 300, 50,  20000};
    TDurations const_length = frame;
    const_length.back() = 20000 - 3550;
    TDurations no_head_rep = frame;
    no_head_rep.back() = 20000 - (3550 - 1500);
    const std::vector<Row> rows = {
        {"repeat_bit, the older name of toggle_bit", "", "flags SPACE_ENC\nrepeat_bit 0", "", frame},
        {"toggle_bit", "", "flags SPACE_ENC\ntoggle_bit 0", "", frame},
        {"no flags line is SPACE_ENC", "", "", "", frame},
        {"CONST_LENGTH alone is SPACE_ENC", "", "flags CONST_LENGTH", "", const_length},
        {"CONST_LENGTH with NO_HEAD_REP leaves the header out of the frame period", "",
         "flags SPACE_ENC|CONST_LENGTH|NO_HEAD_REP", "", no_head_rep},
        {"NO_HEAD_REP alone leaves the gap as it is", "", "flags SPACE_ENC|NO_HEAD_REP", "", frame},
        {"words before and after the remote", "Remote of the living room TV\n", "flags SPACE_ENC",
         "thanks for the file\n", frame},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = std::string(row.before) + "begin remote\nname R\n" + row.parameters +
                                 "\nbits 8\none 100 300\nzero 100 100\nheader 1000 500\nptrail 50\ngap 20000\n"
                                 "begin codes\nKEY_A 0x5\nend codes\nend remote\n" +
                                 row.after;
        const TIR_File file = Read_Lircd_Conf(text);
        EXPECT_EQ(Errors_Of(file), "");
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Timing.Durations_us, row.durations);
    }
}

TEST(Lircd_Read, One_Press_As_Lirc_Sends_It) {
    struct Row {
        const char* name;
        const char* flags;
        const char* parameters;
        const char* codes;
        const char* key;
        TDurations durations;
    };
    // The expected durations are irsimsend's output (LIRC 0.10, `irsimsend
    // -k KEY FILE`, one press) for each row's file. A 1 is 100 us of mark
    // and 300 of space, a 0 is 100 and 100.
    const std::vector<Row> rows = {
        {"SPACE_FIRST sends each bit space first",
         "SPACE_FIRST",
         "gap 20000",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 600, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 150, 20000}},
        {"REVERSE sends the least significant bit first",
         "SPACE_ENC|REVERSE",
         "gap 20000\npre_data_bits 4\npre_data 0x1",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 300, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100,
          100,  300, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 50,  20000}},
        {"RCMM sends two bits a symbol",
         "RCMM",
         "gap 20000\ntwo 100 500\nthree 100 700",
         "KEY_A 0x1B",
         "KEY_A",
         {1000, 500, 100, 100, 100, 300, 100, 500, 100, 700, 50, 20000}},
        {"XMP sends four bits a symbol",
         "XMP",
         "gap 20000",
         "KEY_A 0x1B",
         "KEY_A",
         {1000, 500, 100, 400, 100, 3400, 50, 20000}},
        {"rc6_mask makes SPACE_ENC bi-phase and doubles its bits",
         "SPACE_ENC",
         "gap 20000\nrc6_mask 0x14",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 200, 200, 100, 700, 300, 400, 150, 20000}},
        {"the foot is a space then a mark",
         "SPACE_ENC",
         "gap 20000\nfoot 600 700",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100,
          100,  100, 300, 100, 100, 100, 300, 50,  700, 600, 20000}},
        {"of two gaps the smaller follows the frame",
         "SPACE_ENC",
         "gap 30000 20000",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 20000}},
        {"of two gaps the smaller sets the constant length",
         "SPACE_ENC|CONST_LENGTH",
         "gap 30000 20000",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 16450}},
        {"a one-bit toggle mask sets its bit on the first press",
         "SPACE_ENC",
         "gap 20000\ntoggle_bit_mask 0x02",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 300, 50, 20000}},
        {"a toggle bit set in the code stays set",
         "SPACE_ENC",
         "gap 20000\ntoggle_bit_mask 0x01",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 20000}},
        {"toggle_bit counts from the first bit",
         "SPACE_ENC",
         "gap 20000\ntoggle_bit 7",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 300, 50, 20000}},
        {"repeat_bit is toggle_bit",
         "SPACE_ENC",
         "gap 20000\nrepeat_bit 7",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 300, 50, 20000}},
        {"a wider mask flips what the first key sets",
         "SPACE_ENC",
         "gap 20000\ntoggle_bit_mask 0x03",
         "KEY_A 0x06\nKEY_B 0x05",
         "KEY_B",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 300, 50, 20000}},
        {"a wider mask leaves the first key as written when it sets them",
         "SPACE_ENC",
         "gap 20000\ntoggle_bit_mask 0x03",
         "KEY_A 0x03\nKEY_B 0x05",
         "KEY_B",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 100, 50, 20000}},
        {"a wider mask flips all when the first key sets none",
         "SPACE_ENC",
         "gap 20000\ntoggle_bit_mask 0x03",
         "KEY_A 0x04\nKEY_B 0x05",
         "KEY_B",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 100, 50, 20000}},
        {"toggle_mask leaves the first frame alone",
         "SPACE_ENC",
         "gap 20000\ntoggle_mask 0x03",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 20000}},
        {"min_repeat adds no frame",
         "SPACE_ENC",
         "gap 8000\nmin_repeat 2",
         "KEY_A 0x05",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 8000}},
        {"further codes after a long gap are not in the press",
         "SPACE_ENC",
         "gap 20000",
         "KEY_A 0x05 0x06",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 20000}},
        {"further codes after a short gap are frames of the press",
         "SPACE_ENC",
         "gap 8000",
         "KEY_A 0x05 0x06",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 8000,
          1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 100, 50, 8000}},
        {"a frame's last space comes before the gap",
         "SPACE_ENC",
         "gap 8000\nptrail 0",
         "KEY_A 0x04 0x02",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 8100,
          1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 8000}},
        {"the repeat frame stands for further codes",
         "SPACE_ENC",
         "gap 8000\nrepeat 200 400\nplead 77",
         "KEY_A 0x05 0x06 0x07",
         "KEY_A",
         {1000, 500, 177, 100, 100, 100,  100, 100, 100, 100,  100, 100, 100, 300,
          100,  100, 100, 300, 50,  8000, 277, 400, 50,  8000, 277, 400, 50,  8000}},
        {"REPEAT_HEADER puts the header before the repeat frame",
         "SPACE_ENC|REPEAT_HEADER",
         "gap 8000\nrepeat 200 400",
         "KEY_A 0x05 0x06",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100,  100,  100, 100, 100, 100, 100,
          300,  100, 100, 100, 300, 50,  8000, 1000, 500, 200, 400, 50,  8000}},
        {"repeat_gap follows a repeat frame",
         "SPACE_ENC|CONST_LENGTH",
         "gap 9000\nrepeat 200 400\nrepeat_gap 3000",
         "KEY_A 0x05 0x06",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100,  100, 100, 100, 100,
          100,  300, 100, 100, 100, 300, 50,  5450, 200, 400, 50,  3000}},
        {"NO_HEAD_REP and repeat_mask in further frames",
         "SPACE_ENC|NO_HEAD_REP",
         "gap 8000\nrepeat_mask 0x80",
         "KEY_A 0x05 0x06",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50,
          8000, 100, 300, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 100, 50,  8000}},
        {"CONST_LENGTH and NO_HEAD_REP in further frames",
         "SPACE_ENC|CONST_LENGTH|NO_HEAD_REP",
         "gap 9000",
         "KEY_A 0x05 0x06",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50,
          6950, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 100, 50,  6950}},
        {"NO_FOOT_REP in further frames",
         "SPACE_ENC|NO_FOOT_REP",
         "gap 9000\nfoot 300 400",
         "KEY_A 0x05 0x06",
         "KEY_A",
         {1000, 500,  100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50,  400, 300,
          9000, 1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 100, 50,  9000}},
        {"toggle_mask flips every other further frame",
         "SPACE_ENC",
         "gap 8000\ntoggle_mask 0x80",
         "KEY_A 0x05 0x06 0x07 0x01",
         "KEY_A",
         {1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 300, 50, 8000,
          1000, 500, 100, 300, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 100, 50, 8000,
          1000, 500, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 300, 100, 300, 50, 8000,
          1000, 500, 100, 300, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 50, 8000}},

    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = std::string("begin remote\nname T\nbits 8\nflags ") + row.flags +
                                 "\nheader 1000 500\none 100 300\nzero 100 100\nptrail 50\n" + row.parameters +
                                 "\nbegin codes\n" + row.codes + "\nend codes\nend remote\n";
        const TIR_File file = Read_Lircd_Conf(text);
        EXPECT_EQ(Errors_Of(file), "");
        const auto key = std::find_if(file.Records.begin(), file.Records.end(),
                                      [&](const TIR_Record& record) { return record.Name == row.key; });
        ASSERT_NE(key, file.Records.end());
        EXPECT_EQ(key->Timing.Durations_us, row.durations);
    }
}

TEST(Lircd_Read, Keys_Lirc_Does_Not_Send_Are_Left_Out) {
    struct Row {
        const char* name;
        const char* remote;  // the lines after `name`
        const char* message;
    };
    // irsimsend writes no pulse for any of these keys.
    const std::vector<Row> rows = {
        {"a constant length frame longer than the gap",
         "flags SPACE_ENC|CONST_LENGTH\nbits 8\none 100 300\nzero 100 100\nheader 1000 500\ngap 2000\n"
         "begin codes\nKEY_A 0x5\nend codes",
         "key 'KEY_A' lasts 3200 us, not shorter than the CONST_LENGTH gap of 2000 us, so LIRC does not send it "
         "either"},
        {"a constant length without a gap",
         "flags SPACE_ENC|CONST_LENGTH\nbits 8\none 100 300\nzero 100 100\nbegin codes\nKEY_A 0x5\nend codes",
         "key 'KEY_A' lasts 1700 us, not shorter than the CONST_LENGTH gap of 0 us"},
        {"a raw frame longer than the constant length",
         "flags RAW_CODES|CONST_LENGTH\ngap 1000\nbegin raw_codes\nname KEY_A\n500 200 400\nend raw_codes",
         "key 'KEY_A' lasts 1100 us, not shorter than the CONST_LENGTH gap of 1000 us, so LIRC does not send it "
         "either"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Lircd_Conf(std::string("begin remote\nname R\n") + row.remote + "\nend remote\n");
        EXPECT_TRUE(file.Records.empty());
        ASSERT_EQ(file.Errors.size(), 1u) << Errors_Of(file);
        EXPECT_NE(file.Errors[0].Message.find(row.message), std::string::npos) << file.Errors[0].Message;
    }
}

TEST(Lircd_Raw_Codes, Without_Flags_A_Raw_Remote_Is_Read) {
    const TIR_File file = Read_Lircd_Conf(
        "begin remote\nname R\ngap 5000\nbegin raw_codes\nname K\n100 200 300\nend raw_codes\nend remote\n");
    EXPECT_EQ(Errors_Of(file), "");
    ASSERT_EQ(file.Records.size(), 1u);
    EXPECT_EQ(file.Records[0].Timing.Durations_us, (TDurations{100, 200, 300, 5000}));
}

TEST(Lircd_Raw_Codes, Durations_Over_Lines_With_The_Gap_For_An_Odd_Count) {
    struct Row {
        const char* name;
        const char* flags;
        int32_t odd_key_space;
    };
    for (const Row& row : std::vector<Row>{{"gap after the frame", "RAW_CODES", 20000},
                                           {"constant length", "RAW_CODES|CONST_LENGTH", 20000 - 2100}}) {
        SCOPED_TRACE(row.name);
        const std::string text = std::string("# comment\r\nBEGIN REMOTE\r\n  NAME  SAT\r\n  FLAGS ") + row.flags +
                                 "\r\n  Frequency 36000\r\n  GAP 20000\r\n  Begin Raw_Codes\r\n"
                                 "    name KEY_1  # three marks\r\n     300  200  400\r\n     500 700\r\n"
                                 "    NAME KEY_2\r\n     100  0x64  100  150\r\n"
                                 "  end raw_codes\r\nend remote\r\n";
        const TIR_File file = Read_Lircd_Conf(text);
        EXPECT_EQ(Errors_Of(file), "");
        ASSERT_EQ(Names_Of(file), (std::vector<std::string>{"KEY_1", "KEY_2"}));
        EXPECT_EQ(file.Records[0].Timing.Durations_us, (TDurations{300, 200, 400, 500, 700, row.odd_key_space}));
        EXPECT_EQ(file.Records[1].Timing.Durations_us, (TDurations{100, 100, 100, 150}));  // its own last space
        EXPECT_EQ(file.Records[0].Timing.Carrier_Hz, 36000);
    }
}

TEST(Lircd_Read, Several_Remotes_Follow_One_Another) {
    const TIR_File file = Read_Lircd_Conf(
        "begin remote\nname A\nflags RAW_CODES\nfrequency 0\nbegin raw_codes\nname A1\n100\nname A2\n200\n"
        "end raw_codes\nend remote\n\n"
        "begin remote\nname B\nflags SPACE_ENC\nbits 1\none 10 30\nzero 10 10\nfrequency 40000\n"
        "begin codes\nB1 1\nend codes\nend remote\n"
        "begin remote\nname C\nflags RAW_CODES\nbegin raw_codes\nname C1\n300\nend raw_codes\nend remote");
    EXPECT_EQ(Errors_Of(file), "");
    ASSERT_EQ(Names_Of(file), (std::vector<std::string>{"A1", "A2", "B1", "C1"}));
    EXPECT_EQ(file.Records[0].Timing.Carrier_Hz, 38000);  // frequency 0 means the default
    EXPECT_EQ(file.Records[2].Timing.Carrier_Hz, 40000);
    EXPECT_EQ(file.Records[2].Timing.Durations_us, (TDurations{10}));
    EXPECT_EQ(file.Records[3].Timing.Durations_us, (TDurations{300}));
}

// A good remote of nine lines on either side of each faulty one.
std::string Good_Remote(std::string_view key) {
    return "begin remote\n  name  OTHER\n  flags RAW_CODES\n  gap 10000\n  begin raw_codes\n    name " +
           std::string(key) + "\n    500 500 500\n  end raw_codes\nend remote\n";
}

TEST(Lircd_Read, A_Remote_It_Cannot_Reproduce_Is_Left_Out_With_One_Error) {
    struct Row {
        const char* name;
        std::string text;
        int64_t line;  // within the text
        std::string message;
    };
    const std::string nec = "begin remote\nname TV\nbits 16\none 560 1690\nzero 560 560\n";
    const std::string codes = "begin codes\nKEY 0x1\nend codes\nend remote\n";
    std::vector<Row> rows;
    // Encodings LIRC reads but refuses to send: irsimsend writes no pulse for them.
    for (const char* flag : {"GRUNDIG", "BO", "SERIAL", "GOLDSTAR"}) {
        rows.push_back({flag, nec + "flags " + flag + "|CONST_LENGTH\n" + codes, 1,
                        "remote 'TV': flag '" + std::string(flag) + "': LIRC cannot send this encoding either"});
    }
    const std::vector<Row> more = {
        {"an unknown flag", nec + "flags SPACE_ENC|FAST\n" + codes, 6, "flag 'FAST' is not supported"},
        {"RCMM bits in halves of a symbol", nec + "flags RCMM\npre_data_bits 3\n" + codes, 1,
         "RCMM sends 2 bits a symbol"},
        {"XMP bits in parts of a symbol", nec + "flags XMP\npost_data_bits 2\n" + codes, 1,
         "XMP sends 4 bits a symbol"},
        {"two encodings", nec + "flags SPACE_ENC|RC5\n" + codes, 1, "more than one encoding"},
        {"no bits", "begin remote\nname TV\nflags SPACE_ENC\none 1 1\nzero 1 1\n" + codes, 1, "no 'bits'"},
        // Codes of receivers that hand over numbers: LIRC reads such a file
        // but sends nothing.
        {"driver codes", "begin remote\nname TV\nflags RC5\nbits 13\none 0 0\nzero 0 0\n" + codes, 1,
         "no timings ('one' and 'zero' are 0 or missing): its codes are a receiver driver's, which LIRC cannot send "
         "either"},
        {"driver codes without one and zero", "begin remote\nname TV\nflags RC6\nbits 21\n" + codes, 1, "no timings"},
        {"65 bits in all", nec + "flags SPACE_ENC\npre_data_bits 40\npost_data_bits 9\n" + codes, 1,
         "65 bits with pre_data and post_data"},
        {"pre_data wider than its bits", nec + "flags SPACE_ENC\npre_data_bits 8\npre_data 0x1FF\n" + codes, 1,
         "pre_data 0x1FF is wider"},
        {"a bad number", nec + "flags SPACE_ENC\nheader 9000 45x0\n" + codes, 7, "bad number '45x0' for 'header'"},
        {"a negative number", nec + "flags SPACE_ENC\nptrail -5\n" + codes, 7, "bad number '-5' for 'ptrail'"},
        {"a number beyond its range", nec + "flags SPACE_ENC\ngap 20000000\n" + codes, 7,
         "'gap' 20000000 is beyond 10000000"},
        {"bits beyond 64", nec + "flags SPACE_ENC\nbits 65\n" + codes, 7, "'bits' 65 is beyond 64"},
        {"one number for a pair", nec + "flags SPACE_ENC\nheader 9000\n" + codes, 7, "'header' takes 2 numbers"},
        {"three numbers for gap", nec + "flags SPACE_ENC\ngap 1 2 3\n" + codes, 7, "'gap' takes 1 or 2 numbers"},
        {"an unknown parameter", nec + "flags SPACE_ENC\ncolour blue\n" + codes, 7, "unknown parameter 'colour'"},
        {"codes without their end", nec + "flags SPACE_ENC\nbegin codes\nKEY 0x1\nend remote\n", 7,
         "'begin codes' without 'end codes'"},
        {"raw codes without their end", "begin remote\nflags RAW_CODES\nbegin raw_codes\nname K\n1\nend remote\n", 3,
         "'begin raw_codes' without 'end raw_codes'"},
        {"a remote without its end", nec + "flags SPACE_ENC\nbegin codes\nKEY 0x1\nend codes\n", 1,
         "'begin remote' without 'end remote'"},
        {"codes in a raw remote", "begin remote\nflags RAW_CODES\n" + codes, 3,
         "'begin codes' in a remote without an encoding"},
        {"durations before a name",
         "begin remote\nflags RAW_CODES\nbegin raw_codes\n100 200\nend raw_codes\nend remote\n", 4,
         "durations before the first 'name'"},
        {"end codes among the parameters", nec + "flags SPACE_ENC\nend codes\n" + codes, 7, "unexpected 'end codes'"},
    };
    rows.insert(rows.end(), more.begin(), more.end());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Lircd_Conf(Good_Remote("FIRST") + row.text + Good_Remote("LAST"));
        EXPECT_EQ(Names_Of(file), (std::vector<std::string>{"FIRST", "LAST"}));
        ASSERT_EQ(file.Errors.size(), 1u) << Errors_Of(file);
        EXPECT_EQ(file.Errors[0].Line, 9 + row.line);
        EXPECT_NE(file.Errors[0].Message.find(row.message), std::string::npos) << file.Errors[0].Message;
    }
}

TEST(Lircd_Read, Blocks_Left_Open_At_The_End_Of_The_File) {
    struct Row {
        const char* name;
        const char* text;
        int64_t line;
        const char* message;
    };
    for (const Row& row :
         std::vector<Row>{{"remote", "begin remote\nflags RAW_CODES\n", 1, "'begin remote' without 'end remote'"},
                          {"codes", "begin remote\nflags RC5\nbits 1\none 1 1\nzero 1 1\nbegin codes\nK 1\n", 6,
                           "'begin codes' without 'end codes'"},
                          {"raw codes", "begin remote\nflags RAW_CODES\nbegin raw_codes\nname K\n100", 3,
                           "'begin raw_codes' without 'end raw_codes'"}}) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Lircd_Conf(Good_Remote("FIRST") + row.text);
        EXPECT_EQ(Names_Of(file), (std::vector<std::string>{"FIRST"}));
        ASSERT_EQ(file.Errors.size(), 1u) << Errors_Of(file);
        EXPECT_EQ(file.Errors[0].Line, 9 + row.line);
        EXPECT_NE(file.Errors[0].Message.find(row.message), std::string::npos) << file.Errors[0].Message;
    }
}

TEST(Lircd_Read, A_Bad_Key_Is_Left_Out_Alone) {
    struct Row {
        const char* name;
        bool raw;
        std::string key_lines;  // on line 10 of the file onwards
        int64_t line;
        const char* message;
    };
    std::string many = "name KEY_BAD\n";
    for (int i = 0; i < 65537; ++i) many += "100\n";
    const std::vector<Row> rows = {
        // LIRC refuses the whole file for it; only the key is left out here.
        {"no code", false, "KEY_BAD\n", 10, "key 'KEY_BAD' has no code"},
        {"a bad code", false, "KEY_BAD 0xZZ\n", 10, "bad code '0xZZ' for key 'KEY_BAD'"},
        {"a code beyond 64 bits", false, "KEY_BAD 0x10000000000000000\n", 10, "bad code"},
        {"a code wider than bits", false, "KEY_BAD 0x100\n", 10, "code 0x100 of key 'KEY_BAD' is wider than 8 bits"},
        {"a code without a mark", false, "KEY_BAD 0x0\n", 10, "key 'KEY_BAD' has no mark"},
        {"a bad duration", true, "name KEY_BAD\n100 1o0\n", 11, "bad duration '1o0' for key 'KEY_BAD'"},
        {"a zero duration", true, "name KEY_BAD\n100 0\n", 11, "duration 0 for key 'KEY_BAD' is outside 1..10000000"},
        {"a duration too long", true, "name KEY_BAD\n10000001\n", 11, "duration 10000001 for key 'KEY_BAD' is outside"},
        {"no durations", true, "name KEY_BAD\n", 10, "key 'KEY_BAD' has no durations"},
        {"a name without a key", true, "name\n100 200\n", 10, "'name' takes one key name"},
        {"too many durations", true, many, 10, "more than 65536 durations for key 'KEY_BAD'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Keys of a remote whose 0 bit sends nothing but a space.
        const std::string text =
            row.raw ? "begin remote\nname R\nflags RAW_CODES\n\n\nbegin raw_codes\nname KEY_A\n100\n\n" +
                          row.key_lines + "name KEY_B\n300\nend raw_codes\nend remote\n"
                    : "begin remote\nname R\nflags SPACE_ENC\nbits 8\none 100 300\nzero 0 100\nbegin codes\n"
                      "KEY_A 0x1\nEND 0x2\n" +
                          row.key_lines + "KEY_B 0x3\nend codes\nend remote\n";
        const TIR_File file = Read_Lircd_Conf(text);
        EXPECT_EQ(Names_Of(file), row.raw ? (std::vector<std::string>{"KEY_A", "KEY_B"})
                                          : (std::vector<std::string>{"KEY_A", "END", "KEY_B"}));
        ASSERT_EQ(file.Errors.size(), 1u) << Errors_Of(file);
        EXPECT_EQ(file.Errors[0].Line, row.line);
        EXPECT_NE(file.Errors[0].Message.find(row.message), std::string::npos) << file.Errors[0].Message;
    }
}

TEST(Lircd_Read, Key_Errors_Come_In_Line_Order) {
    // The width of a code is checked once the whole remote is read, after
    // the bad number on a later line was found.
    const TIR_File file = Read_Lircd_Conf(
        "begin remote\nflags SPACE_ENC\nbits 4\none 1 3\nzero 1 1\nbegin codes\n"
        "WIDE 0x10\nGOOD 0x1\nBAD 0xG\nend codes\nend remote\n");
    EXPECT_EQ(Names_Of(file), (std::vector<std::string>{"GOOD"}));
    EXPECT_EQ(Errors_Of(file),
              "7: code 0x10 of key 'WIDE' is wider than 4 bits\n"
              "9: bad code '0xG' for key 'BAD'\n");
}

TEST(Lircd_Read, Text_That_Is_Not_A_Remote_File) {
    struct Row {
        const char* name;
        const char* text;
        int64_t line;
    };
    for (const Row& row : std::vector<Row>{{"empty", "", 1},
                                           {"comments only", "# nothing\n#\n", 1},
                                           {"another format", "\n\nFiletype: IR signals file\nVersion: 1\n", 3}}) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Lircd_Conf(row.text);
        EXPECT_TRUE(file.Records.empty());
        ASSERT_EQ(file.Errors.size(), 1u) << Errors_Of(file);
        EXPECT_EQ(file.Errors[0].Line, row.line);
        EXPECT_NE(file.Errors[0].Message.find("not a lircd.conf file"), std::string::npos);
    }
    // Between remotes, a lone word, a block or an include is a fault of its
    // own line only; text of several words is skipped, as LIRC does.
    const TIR_File file = Read_Lircd_Conf(Good_Remote("FIRST") + "stray\nstray words\nend codes\n" +
                                          "include \"other.conf\"\n" + Good_Remote("LAST"));
    EXPECT_EQ(Names_Of(file), (std::vector<std::string>{"FIRST", "LAST"}));
    EXPECT_EQ(Errors_Of(file),
              "10: 'stray' outside a remote\n12: 'end' outside a remote\n13: 'include' outside a remote\n");
}

TIR_Record Raw_Record(std::string name, TDurations durations, int32_t carrier = 38000) {
    return {std::move(name), std::nullopt, {std::move(durations), carrier}};
}

TEST(Lircd_Write, Lays_Out_One_Raw_Remote) {
    const std::vector<TIR_Record> records = {
        Raw_Record("Power on", {9000, 4500, 560, 1690, 560, 560, 560, 40000}, 36000),
        Raw_Record("KEY#2", {100, 200, 10000001}, 40000),
        {"Encoded", TIR_Code{TProtocol::NEC, 1, 2}, {}},
        Raw_Record("KEY_3", {300, 50000}),
    };
    EXPECT_EQ(Write_Lircd_Conf(records, "Living room"),
              "# Raw codes written by QEV_LPT: durations in microseconds, mark first\n"
              "begin remote\n\n"
              "  name  Living_room\n"
              "  flags RAW_CODES\n"
              "  eps            30\n"
              "  aeps          200\n\n"
              "  frequency    36000\n"
              "  gap          40000\n\n"
              "      begin raw_codes\n\n"
              "          name Power_on\n"
              "             9000     4500      560     1690      560      560\n"
              "              560\n\n"
              "          name KEY_2\n"
              "              100      200 10000000\n\n"
              "          name KEY_3\n"
              "              300\n\n"
              "      end raw_codes\n\n"
              "end remote\n");
}

// The gap is the shortest idle end the records' remote leaves, so that LIRC
// takes every key as ended; the longest one (the old rule) made LIRC
// recognise none of a remote's own presses.
TEST(Lircd_Write, Gap_Is_The_Shortest_Idle_End) {
    TDurations nec_frame = Encode(TIR_Code{TProtocol::NEC, 0x04, 0x08}).Durations_us;
    TDurations nec_own_gap = nec_frame;
    nec_own_gap.back() = 25000;
    struct TCase {
        const char* Name;
        std::vector<TIR_Record> Records;
        const char* Gap_Line;
    };
    const TCase cases[] = {
        {"the shorter of two idle ends",
         {Raw_Record("A", {900, 450, 560, 50000}), Raw_Record("B", {900, 450, 560, 1690, 560, 40000})},
         "  gap          40000\n"},
        // 108 ms less the longest frame: 9 + 4.5 ms header, 32 bits of
        // 2.25 ms and a 562.5 us stop mark leave 21.9375 ms.
        {"NEC padded to its frame period counts as NEC's shortest idle end",
         {Raw_Record("NEC", nec_frame), Raw_Record("LONG", {900, 450, 560, 60000})},
         "  gap          21938\n"},
        {"NEC ending before its frame period keeps its own idle end",
         {Raw_Record("NEC", nec_own_gap), Raw_Record("LONG", {900, 450, 560, 60000})},
         "  gap          25000\n"},
        {"a short idle end is raised to a frame's end",
         {Raw_Record("ODD", {375, 250, 1250, 3000})},
         "  gap          5000\n"},
        {"records ending on a mark do not count",
         {Raw_Record("MARK", {900, 450, 560}), Raw_Record("SPACE", {900, 450, 560, 30000})},
         "  gap          30000\n"},
    };
    for (const TCase& c : cases) {
        const std::string text = Write_Lircd_Conf(c.Records, "r");
        EXPECT_NE(text.find(c.Gap_Line), std::string::npos) << c.Name << ":\n" << text;
    }
}

TEST(Lircd_Write, Defaults_For_A_Missing_Name_Carrier_And_Gap) {
    const std::string text = Write_Lircd_Conf({Raw_Record("K", {100, 200, 300}, 0)}, "");
    EXPECT_NE(text.find("\n  name  QEV_LPT\n"), std::string::npos);
    EXPECT_NE(text.find("\n  frequency    38000\n"), std::string::npos);
    EXPECT_EQ(text.find("gap"), std::string::npos);  // no record ends with a space
}

TEST(Lircd_Write, Reads_Back_As_Written) {
    TDurations long_one;
    for (int32_t i = 1; i <= 15; ++i) long_one.push_back(100 * i);
    long_one.push_back(45000);
    const std::vector<TIR_Record> records = {
        Raw_Record("KEY_LONG", long_one, 36000),
        Raw_Record("KEY SHORT", {900, 450, 560, 45000}, 36000),
        Raw_Record("KEY_NO_GAP", {900, 450, 560}, 36000),
    };
    const TIR_File file = Read_Lircd_Conf(Write_Lircd_Conf(records, "Round trip"));
    EXPECT_EQ(Errors_Of(file), "");
    ASSERT_EQ(Names_Of(file), (std::vector<std::string>{"KEY_LONG", "KEY_SHORT", "KEY_NO_GAP"}));
    EXPECT_EQ(file.Records[0].Timing.Durations_us, long_one);
    EXPECT_EQ(file.Records[1].Timing.Durations_us, (TDurations{900, 450, 560, 45000}));
    // A record without a trailing space gets the remote's gap.
    EXPECT_EQ(file.Records[2].Timing.Durations_us, (TDurations{900, 450, 560, 45000}));
    for (const TIR_Record& record : file.Records) EXPECT_EQ(record.Timing.Carrier_Hz, 36000);
}

}  // namespace
}  // namespace qev
