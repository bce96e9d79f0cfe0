// Hexadecimal as messages and files write it: upper case, at least a width.
#include "base/hex_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qev {
namespace {

TEST(Hex_Text, Digits_Are_Upper_Case_And_At_Least_The_Width) {
    struct Row {
        const char* name;
        uint64_t value;
        std::size_t width;
        std::string digits;  // Hex_Digits; Hex_Number is "0x" and these
    };
    const std::vector<Row> rows = {
        {"zero", 0, 1, "0"},
        {"zero, width 0 still one digit", 0, 0, "0"},
        {"zero, width 4", 0, 4, "0000"},
        {"one digit", 0x7, 1, "7"},
        {"upper case", 0xABCDEF, 1, "ABCDEF"},
        {"padded", 0x5, 3, "005"},
        {"width reached exactly", 0x378, 3, "378"},
        {"the width is a minimum", 0x12345, 2, "12345"},
        {"a byte, width 2", 0x0F, 2, "0F"},
        {"32 bits", 0xFFFFFFFF, 3, "FFFFFFFF"},
        {"top digit only", uint64_t{1} << 60, 1, "1000000000000000"},
        {"64 bits", UINT64_MAX, 1, "FFFFFFFFFFFFFFFF"},
        {"wider than 16", 0x1, 18, "000000000000000001"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Hex_Digits(row.value, row.width), row.digits);
        EXPECT_EQ(Hex_Number(row.value, row.width), "0x" + row.digits);
    }
}

TEST(Hex_Text, Hex_Digit_Takes_The_Low_Four_Bits) {
    struct Row {
        uint64_t value;
        char digit;
    };
    for (const Row& row : std::vector<Row>{{0, '0'}, {9, '9'}, {10, 'A'}, {15, 'F'}, {0x1F, 'F'}, {0xF0, '0'}}) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(Hex_Digit(row.value), row.digit);
    }
}

}  // namespace
}  // namespace qev
