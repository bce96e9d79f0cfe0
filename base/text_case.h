// Names compared in any case, the one way every layer does it: section and
// key names of the Settings file, protocol names, lircd.conf words, file
// extensions, the LIRC listener's directives and remote names, and the port
// library's environment values.
//
// Only the ASCII letters A-Z and a-z are folded. Every other byte, those of
// UTF-8 names (0x80 and above) included, is compared as it is, so a result
// never depends on the locale. Header only, allocation free, for the port
// library too.
#ifndef QEV_BASE_TEXT_CASE_H
#define QEV_BASE_TEXT_CASE_H

#include <cstddef>
#include <string_view>

namespace qev {

constexpr char Lower_Ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr char Upper_Ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool Same_Ignoring_Case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower_Ascii(a[i]) != Lower_Ascii(b[i])) return false;
    }
    return true;
}

constexpr bool Starts_With_Ignoring_Case(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && Same_Ignoring_Case(text.substr(0, start.size()), start);
}

constexpr bool Ends_With_Ignoring_Case(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && Same_Ignoring_Case(text.substr(text.size() - end.size()), end);
}

}  // namespace qev

#endif
