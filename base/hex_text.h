// Numbers written in hexadecimal, as the program's messages and files show
// them: upper-case digits, zeros in front up to a width, and "0x" before a
// number that stands in a sentence. Hex_Digit alone suits the port library
// (no allocation); the others make a std::string.
#ifndef QEV_BASE_HEX_TEXT_H
#define QEV_BASE_HEX_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace qev {

// The upper-case digit of the low four bits of `value`.
constexpr char Hex_Digit(uint64_t value) { return "0123456789ABCDEF"[value & 0xF]; }

// The digits of `value`, at least `width` of them: what printf's "%0*X"
// writes ("%04X" is Hex_Digits(value, 4)).
inline std::string Hex_Digits(uint64_t value, std::size_t width = 1) {
    std::size_t count = 1;
    while (count < 16 && (value >> (4 * count)) != 0) ++count;
    std::string text(width > count ? width - count : 0, '0');
    for (std::size_t i = count; i > 0; --i) text += Hex_Digit(value >> (4 * (i - 1)));
    return text;
}

// "0x" and the digits: printf's "0x%0*X" ("0x%X" is Hex_Number(value)).
inline std::string Hex_Number(uint64_t value, std::size_t width = 1) { return "0x" + Hex_Digits(value, width); }

}  // namespace qev

#endif
