// Lines of decimal words read a stretch at a time.
#include "base/decimal_words.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace qev {
namespace {

// The same reading one word at a time: nothing when a word is not one to
// seven digits or its number is outside low..high.
std::optional<std::vector<int32_t>> Words_One_By_One(const std::string& line, uint32_t low, uint32_t high) {
    std::vector<int32_t> numbers;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] == ' ') {
            ++pos;
            continue;
        }
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        const std::string word = line.substr(pos, end - pos);
        if (word.size() > 7 || word.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
        const auto value = static_cast<uint32_t>(std::stoul(word));
        if (value < low || value > high) return std::nullopt;
        numbers.push_back(static_cast<int32_t>(value));
        pos = end;
    }
    return numbers;
}

TEST(Decimal_Words, Read_Sound_Lines_And_Refuse_The_Rest) {
    const std::string sixty_three(63, ' ');
    struct Row {
        const char* name;
        std::string line;
        std::optional<std::vector<int32_t>> numbers;
    };
    const std::vector<Row> rows = {
        {"words", "9024 4512 564 1690", std::vector<int32_t>{9024, 4512, 564, 1690}},
        {"spaces around and between", "  7   8 ", std::vector<int32_t>{7, 8}},
        {"empty", "", std::vector<int32_t>{}},
        {"spaces only", "     ", std::vector<int32_t>{}},
        {"seven digits", "8999999 1", std::vector<int32_t>{8999999, 1}},
        {"leading zeros", "0007", std::vector<int32_t>{7}},
        {"a word across the first stretch's end", sixty_three + "12345", std::vector<int32_t>{12345}},
        {"a word ending the first stretch", sixty_three + "9 5", std::vector<int32_t>{9, 5}},
        {"the last word within eight bytes of the end", std::string(70, ' ') + "1234567",
         std::vector<int32_t>{1234567}},
        {"eight digits", "10000000", std::nullopt},
        {"many digits late in a long line", sixty_three + "1 2 123456789012", std::nullopt},
        {"below the lowest", "5 0 5", std::nullopt},
        {"above the highest", "5 9000001 5", std::nullopt},
        {"a tab", "5\t5", std::nullopt},
        {"a sign", "5 -5", std::nullopt},
        {"a letter far in", sixty_three + "5 5x", std::nullopt},
        {"a decimal point", "5.5", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // What was there before stays, whether or not the line is taken.
        std::vector<int32_t> out{-1};
        const bool taken = TDecimal_Words().Append(row.line, 1, 9000000, out);
        EXPECT_EQ(taken, row.numbers.has_value());
        std::vector<int32_t> expected{-1};
        if (row.numbers) expected.insert(expected.end(), row.numbers->begin(), row.numbers->end());
        EXPECT_EQ(out, expected);
    }
}

// Random lines of digits, spaces and now and then another byte, of every
// length around the 64-byte stretches, read as word-by-word reading does.
TEST(Decimal_Words, Random_Lines_Read_As_Word_By_Word) {
    std::mt19937 random(20261210);
    const std::string bytes = "0123456789          ";
    TDecimal_Words reader;  // its room kept from line to line
    for (int trial = 0; trial < 20000; ++trial) {
        std::string line(random() % 200, ' ');
        for (char& c : line) c = bytes[random() % bytes.size()];
        if (trial % 10 == 0 && !line.empty()) line[random() % line.size()] = "\t-x+"[random() % 4];
        SCOPED_TRACE(line);
        std::vector<int32_t> out;
        const std::optional<std::vector<int32_t>> expected = Words_One_By_One(line, 1, 5000000);
        ASSERT_EQ(reader.Append(line, 1, 5000000, out), expected.has_value());
        ASSERT_EQ(out, expected.value_or(std::vector<int32_t>{}));
    }
}

}  // namespace
}  // namespace qev
