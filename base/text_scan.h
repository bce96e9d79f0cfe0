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

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Decimal digits at `pos` read eight bytes at a time, for readers of long
// lists of numbers: how many digits lead the eight bytes from `pos` (8 when
// all of them are digits, 0 when fewer than eight bytes are left) and, for
// 1 to 7 of them, the number they spell. One step for a whole number, where
// a loop over its digits would guess wrong at its end.
struct TDigit_Run {
    std::size_t Count = 0;
    uint32_t Value = 0;
};

inline TDigit_Run Digits_At(std::string_view text, std::size_t pos) {
    TDigit_Run run;
    if constexpr (std::endian::native != std::endian::little) return run;
    if (pos > text.size() || text.size() - pos < 8) return run;
    uint64_t bytes = 0;
    std::memcpy(&bytes, text.data() + pos, sizeof bytes);
    // A digit is a byte 0x30..0x39: its high nibble is 3, before and after
    // adding 6. (A carry out of a byte past the digits only changes bytes
    // further on.)
    constexpr uint64_t High = 0xF0F0F0F0F0F0F0F0u, Threes = 0x3030303030303030u;
    const uint64_t not_digit = ((bytes & High) ^ Threes) | (((bytes + 0x0606060606060606u) & High) ^ Threes);
    run.Count = not_digit == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(not_digit)) / 8;
    if (run.Count == 0 || run.Count == 8) return run;
    // The digits' values, the first in the lowest byte (a borrow out of the
    // bytes after them goes further up), moved to the top bytes: the bytes
    // below become leading zeros of an eight-digit number.
    uint64_t digits = (bytes - Threes) << (8 * (8 - run.Count));
    // Pairs of digits, then fours, then all eight.
    digits = digits * 10 + (digits >> 8);
    digits = ((digits & 0x000000FF000000FFu) * (100 + (uint64_t{1000000} << 32)) +
              ((digits >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t{10000} << 32))) >>
             32;
    run.Value = static_cast<uint32_t>(digits);
    return run;
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
