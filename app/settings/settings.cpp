#include "app/settings/settings.h"

#include "base/hex_text.h"
#include "base/text_scan.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace qev {

int32_t Parse_Ini_Integer(std::string_view text, int32_t default_value) {
    text = Trim_Blanks(text);
    std::size_t pos = 0;
    const bool negative = Take_Sign(text, pos);
    unsigned base = 10;
    if (text.substr(pos, 2) == "0x" || text.substr(pos, 2) == "0X") {
        base = 16;
        pos += 2;
    } else if (text.substr(pos, 1) == "$") {
        base = 16;
        pos += 1;
    }
    // Decimal must fit a 32-bit signed integer; hexadecimal may use all 32
    // bits ($FFFFFFFF is -1), as the settings files have always allowed.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    const TDigits digits = Take_Digits(text, pos, base, limit);
    if (digits.Count == 0 || digits.Overflow || pos != text.size()) return default_value;
    uint32_t bits = static_cast<uint32_t>(digits.Value);
    if (negative) bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

int32_t Parse_Base_Address(std::string_view text) {
    constexpr int32_t Default_Base = 0x378;
    // Literal "0x", then what %X accepts: blanks, a sign, an optional second
    // "0x"/"0X" prefix and at least one hexadecimal digit. Trailing text is
    // ignored; too many digits saturate, as strtoul does.
    if (text.substr(0, 2) != "0x") return Default_Base;
    std::size_t pos = Skip_Blanks(text, 2);
    const bool negative = Take_Sign(text, pos);
    if ((text.substr(pos, 2) == "0x" || text.substr(pos, 2) == "0X") && pos + 2 < text.size() &&
        Digit_Value(text[pos + 2], 16) >= 0)
        pos += 2;
    const TDigits digits = Take_Digits(text, pos, 16);
    if (digits.Count == 0) return Default_Base;
    const uint64_t value = negative ? 0 - digits.Value : digits.Value;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string Format_Base_Address(int32_t base) { return Hex_Number(static_cast<uint32_t>(base), 3); }

std::optional<std::string> Profile_Folder() {
    for (const char* name : {"USERPROFILE", "HOME"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string(value);
    }
    return std::nullopt;
}

std::string Started_Executable_Path(const char* invoked_as) {
    std::error_code error;
    const std::string running = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error) return invoked_as && *invoked_as ? invoked_as : "QEV_LPT";
    if (!invoked_as || !*invoked_as) return running;
    // The name a shell ran: a path, or a bare name found along PATH.
    std::string candidate = invoked_as;
    if (!std::strchr(invoked_as, '/')) {
        candidate.clear();
        const char* path = std::getenv("PATH");
        for (std::string_view folders = path ? path : ""; !folders.empty();) {
            const std::size_t colon = std::min(folders.find(':'), folders.size());
            const std::string folder(folders.substr(0, colon));
            folders.remove_prefix(std::min(colon + 1, folders.size()));
            const std::string file = (folder.empty() ? "." : folder) + "/" + invoked_as;
            if (::access(file.c_str(), X_OK) == 0) {
                candidate = file;
                break;
            }
        }
    }
    struct stat named {
    }, self{};
    const bool same = !candidate.empty() && ::stat(candidate.c_str(), &named) == 0 &&
                      ::stat("/proc/self/exe", &self) == 0 && named.st_dev == self.st_dev &&
                      named.st_ino == self.st_ino;
    return same ? candidate : running;
}

std::string Settings_File_Path(const std::string& profile, const std::string& executable_path) {
    std::filesystem::path name = std::filesystem::path(executable_path).filename();
    name.replace_extension(".INI");
    std::string path = profile;
    if (path.empty() || path.back() != '/') path += '/';
    return path + name.string();
}

}  // namespace qev
