#include "settings.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace qev {

namespace {

int Hex_Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Is_Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

int32_t Parse_Ini_Integer(std::string_view text, int32_t default_value) {
    while (!text.empty() && Is_Blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && Is_Blank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (!text.empty() && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return default_value;
    // Decimal must fit a 32-bit signed integer; hexadecimal may use all 32
    // bits ($FFFFFFFF is -1), as the settings files have always allowed.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t value = 0;
    for (char c : text) {
        int d = Hex_Digit(c);
        if (d < 0 || d >= base) return default_value;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (value > limit) return default_value;
    }
    uint32_t bits = static_cast<uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

int32_t Parse_Base_Address(std::string_view text) {
    constexpr int32_t Default_Base = 0x378;
    // Literal "0x", then what %X accepts: blanks, a sign, an optional second
    // "0x"/"0X" prefix and at least one hexadecimal digit. Trailing text is ignored.
    if (text.size() < 2 || text[0] != '0' || text[1] != 'x') return Default_Base;
    std::size_t i = 2;
    while (i < text.size() && Is_Blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        Hex_Digit(text[i + 2]) >= 0)
        i += 2;
    if (i >= text.size() || Hex_Digit(text[i]) < 0) return Default_Base;
    uint64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && Hex_Digit(text[i]) >= 0; ++i) {
        if (value > (std::numeric_limits<uint64_t>::max() >> 4)) saturated = true;
        value = (value << 4) | static_cast<uint64_t>(Hex_Digit(text[i]));
    }
    if (saturated) value = std::numeric_limits<uint64_t>::max();
    if (negative) value = 0 - value;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string Format_Base_Address(int32_t base) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", static_cast<unsigned>(base));
    return text;
}

std::optional<std::string> Profile_Folder() {
    for (const char* name : {"USERPROFILE", "HOME"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string(value);
    }
    return std::nullopt;
}

std::string Settings_File_Path(const std::string& profile, const std::string& executable_path) {
    std::filesystem::path name = std::filesystem::path(executable_path).filename();
    name.replace_extension(".INI");
    std::string path = profile;
    if (path.empty() || path.back() != '/') path += '/';
    return path + name.string();
}

}  // namespace qev
