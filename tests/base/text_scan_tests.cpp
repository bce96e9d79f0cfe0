// The word and number readers every layer shares.
#include "base/text_scan.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
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

TEST(Unsigned, Takes_A_Whole_Decimal_Or_0x_Word_Within_The_Limit) {
    struct Row {
        const char* name;
        std::string_view text;
        uint64_t limit;
        std::optional<uint64_t> value;
    };
    const std::vector<Row> rows = {
        {"decimal", "42", UINT64_MAX, 42},
        {"zero", "0", UINT64_MAX, 0},
        {"leading zeros stay decimal", "010", UINT64_MAX, 10},
        {"hexadecimal after 0x", "0x1f", UINT64_MAX, 0x1F},
        {"hexadecimal after 0X", "0X1F", UINT64_MAX, 0x1F},
        {"0x alone", "0x", UINT64_MAX, std::nullopt},
        {"0x then no hex digit", "0xg", UINT64_MAX, std::nullopt},
        {"a second 0x", "0x0x5", UINT64_MAX, std::nullopt},
        {"hex digits without 0x", "1f", UINT64_MAX, std::nullopt},
        {"empty", "", UINT64_MAX, std::nullopt},
        {"plus sign", "+5", UINT64_MAX, std::nullopt},
        {"minus sign", "-5", UINT64_MAX, std::nullopt},
        {"blank before", " 5", UINT64_MAX, std::nullopt},
        {"blank after", "5 ", UINT64_MAX, std::nullopt},
        {"letters after", "12ms", UINT64_MAX, std::nullopt},
        {"a byte above 0x7F after", "5\xB2", UINT64_MAX, std::nullopt},
        {"largest 64-bit", "18446744073709551615", UINT64_MAX, UINT64_MAX},
        {"one beyond 64 bits", "18446744073709551616", UINT64_MAX, std::nullopt},
        {"sixteen hex digits", "0xFFFFFFFFFFFFFFFF", UINT64_MAX, UINT64_MAX},
        {"seventeen hex digits", "0x10000000000000000", UINT64_MAX, std::nullopt},
        {"at the limit", "255", 255, 255},
        {"one beyond the limit", "256", 255, std::nullopt},
        {"hex at the limit", "0xFF", 255, 255},
        {"hex beyond the limit", "0x100", 255, std::nullopt},
        {"32-bit limit", "0xFFFFFFFF", UINT32_MAX, UINT32_MAX},
        {"beyond the 32-bit limit", "4294967296", UINT32_MAX, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Scan_Unsigned(row.text, row.limit), row.value);
    }
}

bool Is_Space(char c) { return c == ' '; }
bool Is_Comma(char c) { return c == ','; }

TEST(Words, Split_At_Runs_Of_Separators) {
    struct Row {
        const char* name;
        std::string_view text;
        bool (*separator)(char);
        std::vector<std::string> words;
    };
    const std::vector<Row> rows = {
        {"empty", "", Is_Blank, {}},
        {"blanks only", " \t\r\n", Is_Blank, {}},
        {"one word", "word", Is_Blank, {"word"}},
        {"every blank of isspace", "a\tb\nc\vd\fe\rf g", Is_Blank, {"a", "b", "c", "d", "e", "f", "g"}},
        {"runs at either end and between", "  a \t b  ", Is_Blank, {"a", "b"}},
        {"bytes above 0x7F are no blanks", "x\xA0y\x85z", Is_Blank, {"x\xA0y\x85z"}},
        {"a space alone: a tab is inside a word", " a\tb  c", Is_Space, {"a\tb", "c"}},
        {"commas: runs of them count as one", ",,name,,0A,", Is_Comma, {"name", "0A"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> words;
        for (const std::string_view word : Words_Of(row.text, row.separator)) words.emplace_back(word);
        EXPECT_EQ(words, row.words);
    }
}

TEST(Words, Next_Word_Leaves_Pos_After_The_Word_And_At_The_End_When_None_Is_Left) {
    constexpr std::string_view text = " ab  c ";
    std::size_t pos = 0;
    EXPECT_EQ(Next_Word(text, pos), "ab");
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(Next_Word(text, pos), "c");
    EXPECT_EQ(pos, 6u);
    EXPECT_EQ(Next_Word(text, pos), "");
    EXPECT_EQ(pos, text.size());
    EXPECT_EQ(Next_Word(text, pos), "");
    EXPECT_EQ(pos, text.size());
}

TEST(Trim, Takes_The_Blanks_Of_Isspace_From_Either_End_Only) {
    // Each row: its name, the text, the text trimmed.
    constexpr std::string_view rows[][3] = {
        {"empty", "", ""},
        {"blanks only", " \t\r\n\v\f", ""},
        {"either end", "\t a b \r\n", "a b"},
        {"bytes above 0x7F are kept", "\xA0z\x85", "\xA0z\x85"},
    };
    for (const auto& [name, text, trimmed] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Trim_Blanks(text), trimmed);
    }
}

// Eight bytes at a time: the digits leading them and their number, the
// same as taking them one by one.
TEST(Digit_Run, Counts_And_Reads_The_Leading_Digits_Of_Eight_Bytes) {
    struct Row {
        const char* name;
        std::string_view text;
        std::size_t pos;
        std::size_t count;
        uint32_t value;  // for 1 to 7 digits
    };
    const std::vector<Row> rows = {
        {"one digit", "7 500 1000", 0, 1, 7},
        {"a duration and a blank", "562 1687 562", 0, 3, 562},
        {"from a position", "562 1687 562", 4, 4, 1687},
        {"seven digits", "9999999 12", 0, 7, 9999999},
        {"leading zeros", "0000042 1", 0, 7, 42},
        {"zero", "0 1 2 3 4", 0, 1, 0},
        {"a letter after digits", "12x45678", 0, 2, 12},
        {"the byte after '9'", "123:5678", 0, 3, 123},
        {"the byte before '0'", "45/56789", 0, 2, 45},
        {"a high byte after digits",
         "31\xFA"
         "45678",
         0, 2, 31},
        {"no digit first", " 1234567", 0, 0, 0},
        {"eight digits", "12345678 ", 0, 8, 0},
        {"fewer than eight bytes left", "1234 56", 0, 0, 0},
        {"past the end", "12345678", 9, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TDigit_Run run = Digits_At(row.text, row.pos);
        EXPECT_EQ(run.Count, row.count);
        if (run.Count == 0 || run.Count == 8) continue;
        EXPECT_EQ(run.Value, row.value);
        // As the digit loop reads them.
        std::size_t pos = row.pos;
        EXPECT_EQ(Take_Digits(row.text, pos, 10).Value, run.Value);
        EXPECT_EQ(pos, row.pos + run.Count);
    }
    // Any bytes: digits mostly, blanks, the bytes around the digits and
    // high ones.
    uint64_t state = 99;
    const auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    };
    constexpr char Others[] = {' ', '\t', '/', ':', 'x', '\0', '\x7F', '\x80', '\xFA', '\xFF'};
    for (int i = 0; i < 20000; ++i) {
        std::string text(8 + next() % 3, '0');
        for (char& c : text) c = next() % 4 != 0 ? static_cast<char>('0' + next() % 10) : Others[next() % 10];
        SCOPED_TRACE(text);
        const TDigit_Run run = Digits_At(text, 0);
        std::size_t pos = 0;
        const TDigits digits = Take_Digits(text, pos, 10, UINT64_MAX, 8);
        ASSERT_EQ(run.Count, digits.Count);
        if (run.Count < 8) {
            ASSERT_EQ(run.Value, digits.Value);
        }
    }
}

}  // namespace
}  // namespace qev
