// The number readers every layer shares.
#include "base/text_scan.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace qev {
namespace {

TEST(Leading_Integer, Takes_Blanks_A_Sign_And_Digits_And_Saturates) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<int32_t> value;
        std::size_t end;  // where the scan stopped
    };
    const std::vector<Row> rows = {
        {"plain", "42", 42, 2},
        {"blanks and a sign", " \t-17xyz", -17, 5},
        {"plus", "+8", 8, 2},
        {"no digits", "abc", std::nullopt, 0},
        {"a sign alone", "-", std::nullopt, 0},
        {"a blank after the sign", "- 5", std::nullopt, 0},
        {"largest", "2147483647", INT32_MAX, 10},
        {"one beyond saturates", "2147483648", INT32_MAX, 10},
        {"smallest", "-2147483648", INT32_MIN, 11},
        {"far below saturates", "-99999999999999999999999", INT32_MIN, 24},
        {"empty", "", std::nullopt, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::size_t pos = 0;
        EXPECT_EQ(Scan_Leading_Integer(row.text, pos), row.value);
        EXPECT_EQ(pos, row.end);
    }
}

TEST(Hex_Byte, Reads_At_Most_Two_Digits_After_Blanks) {
    struct Row {
        const char* text;
        uint8_t value;
    };
    for (const Row& row : std::vector<Row>{{"FF", 0xFF},
                                           {"ff", 0xFF},
                                           {"1ff", 0x1F},
                                           {" 7", 0x07},
                                           {"\t0a junk", 0x0A},
                                           {"g1", 0x00},
                                           {"", 0x00},
                                           {"   ", 0x00}}) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Scan_Hex_Byte(row.text), row.value);
    }
}

TEST(Digits, Count_Stop_And_Report_Overflow) {
    std::size_t pos = 0;
    TDigits d = Take_Digits("12345", pos, 10, UINT64_MAX, 3);
    EXPECT_EQ(d.Value, 123u);
    EXPECT_EQ(pos, 3u);
    pos = 0;
    d = Take_Digits("1FFFFFFFF", pos, 16, 0xFFFFFFFF);
    EXPECT_TRUE(d.Overflow);
    EXPECT_EQ(d.Value, 0xFFFFFFFFu);
    EXPECT_EQ(d.Count, 9u);
    pos = 0;
    d = Take_Digits("FFFFFFFF", pos, 16, 0xFFFFFFFF);
    EXPECT_FALSE(d.Overflow);
    EXPECT_EQ(Digit_Value('9', 10), 9);
    EXPECT_EQ(Digit_Value('a', 10), -1);
    EXPECT_EQ(Digit_Value('F', 16), 15);
}

}  // namespace
}  // namespace qev
