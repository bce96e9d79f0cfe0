// Reading and writing learned Pronto codes.
#include "ir/pronto.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace qev {
namespace {

// NEC, address 0x04 and command 0x08 (bytes 04 FB 08 F7, least significant bit
// first), learned at 006D: leader, 32 bits, stop mark, then the repeat frame.
constexpr const char* Nec_Power =
    "0000 006D 0022 0002 0156 00AB 0015 0015 0015 0015 0015 0040 0015 0015 0015 0015 0015 0015 0015 0015 0015 0015 "
    "0015 0040 0015 0040 0015 0015 0015 0040 0015 0040 0015 0040 0015 0040 0015 0040 0015 0015 0015 0015 0015 0015 "
    "0015 0040 0015 0015 0015 0015 0015 0015 0015 0015 0015 0040 0015 0040 0015 0040 0015 0015 0015 0040 0015 0040 "
    "0015 0040 0015 0040 0015 05ED 0156 0055 0015 0E47";

std::vector<std::string> Names(const TIR_File& file) {
    std::vector<std::string> names;
    for (const TIR_Record& record : file.Records) names.push_back(record.Name);
    return names;
}

TEST(Pronto_Read, Learned_Nec_Code_Gives_Its_Leader_Bits_And_Carrier) {
    const TIR_File file = Read_Pronto_File(std::string("Power: ") + Nec_Power + "\n");
    ASSERT_TRUE(file.Errors.empty()) << file.Errors[0].Message;
    ASSERT_EQ(file.Records.size(), 1u);
    const TIR_Record& record = file.Records[0];
    EXPECT_EQ(record.Name, "Power");
    EXPECT_FALSE(record.Code.has_value());
    EXPECT_NEAR(record.Timing.Carrier_Hz, 38000, 100);
    const std::vector<int32_t>& d = record.Timing.Durations_us;
    ASSERT_EQ(d.size(), 68u);  // the once sequence only: 34 pairs
    EXPECT_NEAR(d[0], 9000, 20);
    EXPECT_NEAR(d[1], 4500, 20);
    // Each bit is a 560 us mark and a short (0) or long (1) space.
    uint32_t bits = 0;
    for (int bit = 0; bit < 32; ++bit) {
        EXPECT_NEAR(d[2 + 2 * bit], 560, 15) << "bit " << bit;
        if (d[3 + 2 * bit] > 1100) bits |= uint32_t{1} << bit;
    }
    EXPECT_EQ(bits, 0xF708FB04u);
    EXPECT_NEAR(d[66], 560, 15);
    EXPECT_NEAR(d[67], 39890, 5);
}

TEST(Pronto_Read, Carrier_Is_A_Million_Over_Divisor_Times_0_241246) {
    struct Row {
        const char* name;
        const char* code;
        int32_t carrier_hz;
        int32_t mark_us;  // one pair of a mark of 3 periods and a space of 1
    };
    const std::vector<Row> rows = {
        {"38 kHz", "0000 006D 0001 0000 0003 0001", 38029, 79},
        {"36 kHz", "0000 0073 0001 0000 0003 0001", 36045, 83},
        {"40 kHz", "0000 0068 0001 0000 0003 0001", 39857, 75},
        {"lower-case hex", "0000 006d 0001 0000 0003 0001", 38029, 79},
        {"fastest", "0000 0001 0001 0000 0003 0001", 4145146, 1},
        {"slowest", "0000 FFFF 0001 0000 0003 0001", 63, 47430},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Pronto_File(row.code);
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Timing.Carrier_Hz, row.carrier_hz);
        ASSERT_EQ(file.Records[0].Timing.Durations_us.size(), 2u);
        EXPECT_EQ(file.Records[0].Timing.Durations_us[0], row.mark_us);
        // A single period that rounds to 0 us still lasts 1 us.
        EXPECT_GE(file.Records[0].Timing.Durations_us[1], 1);
    }
}

TEST(Pronto_Read, Takes_The_Once_Sequence_Or_Else_The_Repeat_One) {
    struct Row {
        const char* name;
        const char* code;
        std::vector<int32_t> durations_us;  // at 0068: 25.0896 us a period
    };
    const std::vector<Row> rows = {
        {"once only", "0000 0068 0001 0000 0028 0050", {1004, 2007}},
        {"repeat only", "0000 0068 0000 0002 0028 0050 0014 0064", {1004, 2007, 502, 2509}},
        {"both: the once one", "0000 0068 0001 0001 0028 0050 0014 0064", {1004, 2007}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Pronto_File(row.code);
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Timing.Durations_us, row.durations_us);
    }
}

TEST(Pronto_Read, Names_Come_Before_The_Last_Colon_Or_Follow_The_Code_Count) {
    const std::string code = "0000 006D 0001 0000 0010 0020";
    const std::string text =
        "# remote of the hall\r\n"
        "\r\n" +
        code + "\r\n" +                     // Code_001
        "  Volume: up :" + code + "\r\n" +  // "Volume: up"
        "   \t\r\n" +                       //
        "0000 006D 0001\r\n" +              // bad, still counted
        code + "\r\n" +                     // Code_004
        "  # " + code + "\r\n" +            // a comment
        "\t Mute\t:  " + code + "  \r\n" +  // "Mute"
        "  : " + code;                      // Code_006, no final line end
    const TIR_File file = Read_Pronto_File(text);
    EXPECT_EQ(Names(file), (std::vector<std::string>{"Code_001", "Volume: up", "Code_004", "Mute", "Code_006"}));
    ASSERT_EQ(file.Errors.size(), 1u);
    EXPECT_EQ(file.Errors[0].Line, 6);
    for (const TIR_Record& record : file.Records) EXPECT_EQ(record.Timing.Durations_us.size(), 2u) << record.Name;
}

TEST(Pronto_Read, A_Bad_Line_Is_Reported_And_Left_Out_Alone) {
    struct Row {
        const char* name;
        const char* line;
        const char* message_part;
    };
    const std::vector<Row> rows = {
        {"not learned", "0100 006D 0001 0000 0010 0020", "only learned Pronto codes (0000) are supported, not 0100"},
        {"not learned, upper-case", "5000 006D 0001 0000 0010 0020", "not 5000"},
        {"non-hex word", "0000 006D 0001 0000 00G1 0020", "'00G1'"},
        {"short word", "0000 06D 0001 0000 0010 0020", "'06D'"},
        {"long word", "0000 006D 0001 0000 00010 0020", "'00010'"},
        {"signed word", "0000 006D 0001 0000 -010 0020", "'-010'"},
        {"too few words", "0000 006D 0001", "found 3"},
        {"zero carrier", "0000 0000 0001 0000 0010 0020", "carrier"},
        {"no pairs", "0000 006D 0000 0000", "no pairs"},
        {"a word missing", "0000 006D 0001 0001 0010 0020 0030",
         "expected 8 words for 1 once and 1 repeat pairs, found 7"},
        {"a word too many", "0000 006D 0001 0000 0010 0020 0030", "expected 6 words"},
        {"zero mark", "0000 006D 0001 0000 0000 0020", "word 5"},
        {"zero repeat space", "0000 006D 0001 0001 0010 0020 0010 0000", "word 8"},
        {"name without a code", "Power:", "no code"},
        {"name with blanks only after it", "Power:  \t", "no code"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = std::string("Before: 0000 006D 0001 0000 0010 0020\n") + row.line +
                                 "\nAfter: 0000 006D 0001 0000 0010 0020\n";
        const TIR_File file = Read_Pronto_File(text);
        EXPECT_EQ(Names(file), (std::vector<std::string>{"Before", "After"}));
        ASSERT_EQ(file.Errors.size(), 1u);
        EXPECT_EQ(file.Errors[0].Line, 2);
        EXPECT_NE(file.Errors[0].Message.find(row.message_part), std::string::npos) << file.Errors[0].Message;
    }
}

TEST(Pronto_Write, Writes_Upper_Case_Words_With_Every_Pair_Sent_Once) {
    struct Row {
        const char* name;
        TIR_Record record;
        const char* text;
    };
    const std::vector<Row> rows = {
        {"NEC leader",
         {"Power", {}, {{9000, 4500, 560, 560}, 38000}},
         "Power: 0000 006D 0002 0000 0156 00AB 0016 0015\n"},
        {"no carrier means 38 kHz", {"A", {}, {{560, 560}, 0}}, "A: 0000 006D 0001 0000 0015 0016\n"},
        {"odd count gets a 40 ms space", {"B", {}, {{560}, 38000}}, "B: 0000 006D 0001 0000 0015 05F1\n"},
        {"56 kHz", {"C", {}, {{600, 600}, 56000}}, "C: 0000 004A 0001 0000 0022 0021\n"},
        {"too long and too short are clamped", {"D", {}, {{10000000, 0}, 38000}}, "D: 0000 006D 0001 0000 FFFF 0001\n"},
        {"fastest carrier", {"E", {}, {{1, 1}, 10000000}}, "E: 0000 0001 0001 0000 0004 0004\n"},
        {"slowest carrier", {"F", {}, {{100000, 100000}, 1}}, "F: 0000 FFFF 0001 0000 0006 0007\n"},
        {"colons kept", {"Vol: up", {}, {{560, 560}, 38000}}, "Vol: up: 0000 006D 0001 0000 0015 0016\n"},
        {"line ends in a name become blanks",
         {"a\nb", {}, {{560, 560}, 38000}},
         "a b: 0000 006D 0001 0000 0015 0016\n"},
        {"no name, no prefix", {"", {}, {{560, 560}, 38000}}, "0000 006D 0001 0000 0015 0016\n"},
        {"parsed code not yet encoded", {"G", TIR_Code{TProtocol::NEC, 4, 8}, {{}, 38000}}, ""},
        {"no durations", {"H", {}, {{}, 38000}}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Write_Pronto_File({row.record}), row.text);
    }
}

TEST(Pronto_Write, Reading_Back_Gives_Each_Duration_Within_One_Carrier_Period) {
    struct Row {
        const char* name;
        TIR_Timing timing;
    };
    const std::vector<Row> rows = {
        {"NEC at 38 kHz", {{9000, 4500, 560, 1690, 560, 560, 560, 40000}, 38000}},
        {"RC5 at 36 kHz", {{889, 889, 1778, 889, 889, 1778, 889, 90000}, 36000}},
        {"Sony at 40 kHz", {{2400, 600, 1200, 600, 600, 600, 600, 25000}, 40000}},
        {"fast carrier", {{300, 300, 12, 900}, 455000}},
        {"odd count", {{9000, 4500, 560}, 38000}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Pronto_File(Write_Pronto_File({{"X", {}, row.timing}}));
        ASSERT_TRUE(file.Errors.empty()) << file.Errors[0].Message;
        ASSERT_EQ(file.Records.size(), 1u);
        const TIR_Timing& back = file.Records[0].Timing;
        EXPECT_EQ(file.Records[0].Name, "X");
        // The divisor is a whole number of 0.241246 us units: the period is off by half a unit at most.
        EXPECT_NEAR(1e6 / back.Carrier_Hz, 1e6 / row.timing.Carrier_Hz, 0.5 * 0.241246 + 1e-3);
        const std::size_t count = row.timing.Durations_us.size() + row.timing.Durations_us.size() % 2;
        ASSERT_EQ(back.Durations_us.size(), count);
        const double period_us = 1e6 / row.timing.Carrier_Hz;
        for (std::size_t i = 0; i < row.timing.Durations_us.size(); ++i) {
            EXPECT_LE(std::abs(back.Durations_us[i] - row.timing.Durations_us[i]), period_us) << "duration " << i;
        }
        if (count != row.timing.Durations_us.size()) {
            EXPECT_NEAR(back.Durations_us.back(), 40000, period_us);
        }
    }
}

TEST(Pronto_Write, Names_And_Order_Survive_Reading_Back) {
    const std::vector<TIR_Record> records = {
        {"Power", {}, {{9000, 4500}, 38000}},
        {"Input: HDMI 1", {}, {{560, 560}, 36000}},
        {"Encoded later", TIR_Code{TProtocol::RC5, 1, 2}, {{}, 36000}},
        {"", {}, {{560, 560}, 40000}},
    };
    const TIR_File file = Read_Pronto_File(Write_Pronto_File(records));
    EXPECT_TRUE(file.Errors.empty());
    // The unnamed record is the file's third code.
    EXPECT_EQ(Names(file), (std::vector<std::string>{"Power", "Input: HDMI 1", "Code_003"}));
}

}  // namespace
}  // namespace qev
