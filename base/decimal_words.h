// Long lines of decimal numbers read at the speed of the bytes.
//
// A library of raw captures is mostly lines of durations, "9024 4512 564
// ...", each a few digits and a space. Read digit by digit, each number's
// end must be found before the next can begin; here the numbers' first
// digits are found for a whole stretch of the line at once, so that each
// number is then read on its own.
#ifndef QEV_BASE_DECIMAL_WORDS_H
#define QEV_BASE_DECIMAL_WORDS_H

#include <cstdint>
#include <string_view>
#include <vector>

namespace qev {

// Appends the numbers of a line to `out` when the line is words of one to
// seven decimal digits apart by spaces (leading and trailing spaces too),
// each number from `low` to `high`. Otherwise false and `out` as it was:
// anything else (another blank, a sign, a long word, a number out of range)
// is for a reader that says what is wrong with it. The reader keeps its
// working room from one line to the next.
class TDecimal_Words {
public:
    bool Append(std::string_view line, uint32_t low, uint32_t high, std::vector<int32_t>& out);

private:
    std::vector<uint64_t> digits_;  // a bit for each byte of the line, set on digits
    std::vector<uint32_t> words_;   // where each word begins and how many digits it has
};

}  // namespace qev

#endif
