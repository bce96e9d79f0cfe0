#include "macro/core/key_macros.h"

#include "base/regular_file.h"
#include "base/text_scan.h"
#include "macro/core/macro_file.h"
#include "macro/core/macro_line.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace qev {

std::string Key_Macros_Path(const std::string& settings_path) {
    const std::size_t slash = settings_path.rfind('/');
    const std::size_t dot = settings_path.rfind('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (has_extension ? settings_path.substr(0, dot) : settings_path) + ".KEYS";
}

TKey_Macro_Map Parse_Key_Macros(std::string_view text, const std::string& folder) {
    TKey_Macro_Map map;
    int32_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim_Blanks(text.substr(start, end - start));
        start = end + 1;
        ++number;
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            map.Faults.push_back({number, "no '=' between a key and its macro"});
            continue;
        }
        const std::string key(Trim_Blanks(line.substr(0, equals)));
        const std::string_view what = Trim_Blanks(line.substr(equals + 1));
        if (key.empty() || what.empty()) {
            map.Faults.push_back({number, key.empty() ? "no key before '='" : "no macro after '='"});
            continue;
        }
        TKey_Macro macro;
        if (what.front() == '<') {
            const std::string file(Trim_Blanks(what.substr(1)));
            if (file.empty()) {
                map.Faults.push_back({number, "no Macro file after '<'"});
                continue;
            }
            macro.File = file.find('/') != std::string::npos || folder.empty() ? file : folder + "/" + file;
        } else {
            macro.Line = what;
        }
        map.Keys.emplace(key, std::move(macro));  // the first line for a key counts
    }
    return map;
}

void TKey_Macros::Refresh() {
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    const int64_t size = exists ? static_cast<int64_t>(st.st_size) : -1;
    const int64_t changed = exists ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec : -1;
    if (read_ && size == size_ && changed == changed_ns_) return;
    read_ = true;
    size_ = size;
    changed_ns_ = changed;
    map_ = TKey_Macro_Map{};
    std::string text;
    int error = 0;
    if (!exists) return;
    if (!Read_Regular_File(path_, text, &error)) {
        map_.Faults.push_back({0, std::strerror(error)});
        return;
    }
    const std::size_t slash = path_.rfind('/');
    map_ = Parse_Key_Macros(Macro_Text_From_File(text), slash == std::string::npos ? "" : path_.substr(0, slash));
}

std::optional<TKey_Macro> TKey_Macros::Macro_For(std::string_view key) {
    Refresh();
    const auto found = map_.Keys.find(key);
    if (found == map_.Keys.end()) return std::nullopt;
    return found->second;
}

TKey_Macro_Run Run_Key_Macro(TQEV_State& state, std::string_view key, const TKey_Macro& macro) {
    const std::string name(key);
    std::string text = macro.Line;
    std::string what = macro.Line;
    if (!macro.File.empty()) {
        what = macro.File.substr(macro.File.rfind('/') + 1);
        std::string bytes;
        int error = 0;
        if (!Read_Regular_File(macro.File, bytes, &error)) {
            return {false, name + ": " + what + ": " + std::strerror(error)};
        }
        Take_Byte_Order_Mark(bytes);
        text = Macro_Text_From_File(bytes);
    }
    int32_t number = 0;
    int32_t first_failed = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = std::string_view(text).substr(start, end - start);
        start = end + 1;
        ++number;
        if (Split_Macro_Line(line).Keyword.empty()) continue;
        if (Execute_Network_Line(state, line) != 0 && first_failed == 0) first_failed = number;
    }
    std::string summary = name + " ran " + what;
    if (first_failed > 0) {
        summary += macro.File.empty() ? " (failed)" : " (line " + std::to_string(first_failed) + " failed)";
    }
    return {true, summary};
}

}  // namespace qev
