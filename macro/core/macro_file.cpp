#include "macro/core/macro_file.h"

#include "base/atomic_file.h"
#include "base/regular_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qev {

namespace {

constexpr const char* Macro_Filter = "Macro Files(*.mcr)|*.mcr|All Files(*.*)|*.*";

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// A name without an extension gets ".mcr", unless a file to import has
// exactly that name (one chosen under "All Files" opens as it is).
std::optional<std::string> Ask_Macro_File(TQEV_State& state, bool save, std::string& last_name) {
    TFile_Request request{save, state.Settings.RMT_DIR, last_name, Macro_Filter, "mcr"};
    request.Must_Exist = false;  // the handlers check for themselves
    auto file = state.Feedback.Choose_File(request);
    if (file) {
        if (save || !Exists(*file)) *file = With_Macro_Extension(*file);
        last_name = File_Name_Of(*file);
    }
    return file;
}

}  // namespace

std::string Macro_Text_From_File(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r') {
            text.push_back(bytes[i]);
            continue;
        }
        text.push_back('\n');  // CR alone, or the CR of CR LF
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    return text;
}

std::string Macro_File_From_Text(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            bytes.append("\r\n");
        else
            bytes.push_back(c);
    }
    return bytes;
}

bool Take_Byte_Order_Mark(std::string& text) {
    if (!text.starts_with(Byte_Order_Mark)) return false;
    text.erase(0, Byte_Order_Mark.size());
    return true;
}

std::string With_Macro_Extension(const std::string& path) {
    return File_Name_Of(path).find('.') == std::string::npos ? path + ".mcr" : path;
}

std::optional<std::string> Import_Macro_File(TQEV_State& state, std::string& last_name) {
    const auto file = Ask_Macro_File(state, false, last_name);
    if (!file) return std::nullopt;
    if (!Exists(*file)) {
        state.Feedback.Show_Error("File doesn't Exists.", "File Read Error");
        return std::nullopt;
    }
    state.Settings.RMT_DIR = Folder_Of(*file);
    std::string bytes;
    int error = 0;
    if (!Read_Regular_File(*file, bytes, &error)) {
        state.Feedback.Show_Error("Can't Open File\n" + *file + ": " + std::strerror(error), "File Read Error");
        return std::nullopt;
    }
    return Macro_Text_From_File(bytes);
}

bool Export_Macro_File(TQEV_State& state, const std::string& text, std::string& last_name) {
    const auto file = Ask_Macro_File(state, true, last_name);
    if (!file) return false;
    if (Exists(*file) && !state.Feedback.Ask_OK("Specified File Already Exists. Overwrite OK?", "File Exists"))
        return false;
    state.Settings.RMT_DIR = Folder_Of(*file);
    int error = 0;
    if (Replace_File_Contents(*file, Macro_File_From_Text(text), &error)) return true;
    state.Feedback.Show_Error("Can't Create File\n" + *file + ": " + std::strerror(error), "File Open Error");
    return false;
}

}  // namespace qev
