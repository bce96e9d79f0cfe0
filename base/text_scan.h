// Reading words and numbers out of text, the one way every layer does it.
//
// Command files, the Settings file, the code files, the capture dialog's
// length field, the LIRC listener and the simulated port's remote all read
// words and numbers written by people: decimal with an optional sign, or
// hexadecimal digits. These helpers walk a string_view from a position and
// never read past its end; nothing here throws, and only Words_Of allocates,
// so the port library can use the rest too (header only).
#ifndef QEV_BASE_TEXT_SCAN_H
#define QEV_BASE_TEXT_SCAN_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qev {

// The blanks of the C library's isspace in the "C" locale.
constexpr bool Is_Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The value of a digit in `base` (10 or 16, either case), or -1.
constexpr int Digit_Value(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

constexpr std::size_t Skip_Blanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && Is_Blank(text[pos])) ++pos;
    return pos;
}

// The text without the blanks at either end.
constexpr std::string_view Trim_Blanks(std::string_view text) {
    const std::size_t begin = Skip_Blanks(text, 0);
    std::size_t end = text.size();
    while (end > begin && Is_Blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// A '+' or '-' at `pos` is taken; true when it was '-'.
constexpr bool Take_Sign(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || (text[pos] != '+' && text[pos] != '-')) return false;
    return text[pos++] == '-';
}

struct TDigits {
    uint64_t Value = 0;     // saturates at Limit
    std::size_t Count = 0;  // digits taken
    bool Overflow = false;  // the digits' value went beyond Limit
};

// Takes up to `max_digits` digits of `base` from `pos`.
constexpr TDigits Take_Digits(std::string_view text, std::size_t& pos, unsigned base, uint64_t limit = UINT64_MAX,
                              std::size_t max_digits = SIZE_MAX) {
    TDigits digits;
    while (pos < text.size() && digits.Count < max_digits) {
        const int d = Digit_Value(text[pos], base);
        if (d < 0) break;
        if (digits.Value > (limit - static_cast<uint64_t>(d)) / base) {
            digits.Value = limit;
            digits.Overflow = true;
        } else if (!digits.Overflow) {
            digits.Value = digits.Value * base + static_cast<uint64_t>(d);
        }
        ++digits.Count;
        ++pos;
    }
    return digits;
}

// What C's atoi-style readers take from `pos`: leading blanks, an optional
// sign and the decimal digits after it; the rest is left. The value
// saturates at the 32-bit limits instead of wrapping. Nothing when no digit
// follows (pos is then unchanged).
constexpr std::optional<int32_t> Scan_Leading_Integer(std::string_view text, std::size_t& pos) {
    std::size_t at = Skip_Blanks(text, pos);
    const bool negative = Take_Sign(text, at);
    const TDigits digits = Take_Digits(text, at, 10, uint64_t{1} << 31);
    if (digits.Count == 0) return std::nullopt;
    pos = at;
    if (negative) return static_cast<int32_t>(-static_cast<int64_t>(digits.Value));
    return static_cast<int32_t>(digits.Value > INT32_MAX ? INT32_MAX : digits.Value);
}

// One byte written in hexadecimal, as a Command file's fields hold them:
// leading blanks, then at most two hexadecimal digits; anything after them
// is ignored, and a field without a digit reads as 0.
constexpr uint8_t Scan_Hex_Byte(std::string_view field) {
    std::size_t pos = Skip_Blanks(field, 0);
    return static_cast<uint8_t>(Take_Digits(field, pos, 16, 0xFF, 2).Value);
}

// A whole word holding an unsigned number as people write one: decimal, or
// hexadecimal after "0x" or "0X". Nothing for an empty word, a sign, a
// blank, "0x" without digits, any other character, or a value beyond
// `limit`.
constexpr std::optional<uint64_t> Scan_Unsigned(std::string_view word, uint64_t limit = UINT64_MAX) {
    std::size_t pos = 0;
    unsigned base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        pos = 2;
    }
    const TDigits digits = Take_Digits(word, pos, base, limit);
    if (digits.Count == 0 || digits.Overflow || pos != word.size()) return std::nullopt;
    return digits.Value;
}

// The next word from `pos`: the separators before it are skipped, and it
// runs up to the next separator or the end; `pos` is left just after it.
// Empty (with `pos` at the end) when only separators are left. Readers
// differ in what separates words: the blanks of isspace by default, a
// space alone, blanks and tabs, or a comma.
constexpr std::string_view Next_Word(std::string_view text, std::size_t& pos, bool (*is_separator)(char) = Is_Blank) {
    while (pos < text.size() && is_separator(text[pos])) ++pos;
    const std::size_t begin = pos;
    while (pos < text.size() && !is_separator(text[pos])) ++pos;
    return text.substr(begin, pos - begin);
}

// Every word of the text, in order; runs of separators make no empty word.
inline std::vector<std::string_view> Words_Of(std::string_view text, bool (*is_separator)(char) = Is_Blank) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    for (std::string_view word = Next_Word(text, pos, is_separator); !word.empty();
         word = Next_Word(text, pos, is_separator))
        words.push_back(word);
    return words;
}

}  // namespace qev

#endif
