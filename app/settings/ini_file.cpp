#include "app/settings/ini_file.h"

#include "app/settings/settings.h"
#include "base/atomic_file.h"
#include "base/regular_file.h"
#include "base/text_case.h"
#include "base/text_scan.h"

#include <cerrno>

namespace qev {

namespace {

constexpr std::string_view Byte_Order_Mark = "\xEF\xBB\xBF";

// [begin, end) without the blanks at either side (a line holds no LF).
void Trim(std::string_view text, std::size_t& begin, std::size_t& end) {
    while (begin < end && Is_Blank(text[begin])) ++begin;
    while (end > begin && Is_Blank(text[end - 1])) --end;
}

// One line of the text: [begin, end) its content, next the start of the
// line after its line end.
struct TLine {
    std::size_t Begin = 0, End = 0, Next = 0;
};

TLine Line_At(std::string_view text, std::size_t begin) {
    TLine line{begin, text.size(), text.size()};
    const std::size_t end = text.find_first_of("\r\n", begin);
    if (end != std::string_view::npos) {
        line.End = end;
        line.Next = end + 1;
        if (text[end] == '\r' && line.Next < text.size() && text[line.Next] == '\n') ++line.Next;  // CR LF
    }
    return line;
}

bool Ends_In_Line_End(std::string_view text) { return !text.empty() && (text.back() == '\n' || text.back() == '\r'); }

// The name of a "[name]" header line, or nothing for any other line.
std::optional<std::string_view> Section_Name(std::string_view content) {
    const std::string_view trimmed = Trim_Blanks(content);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim_Blanks(trimmed.substr(1, close - 1));
}

}  // namespace

// Where a key is, or where it would go.
struct TIni_Text::TFound {
    bool Section = false;       // the section exists
    std::size_t Insert_At = 0;  // after its header, or after its last key line
    bool Insert_Needs_Line_End = false;
    bool Key = false;  // the key exists
    std::size_t Value_Begin = 0, Value_End = 0;
};

TIni_Text::TFound TIni_Text::Find(std::string_view section, std::string_view key) const {
    const std::string_view text = text_;
    TFound found;
    const auto insert_after = [&](const TLine& line) {
        found.Insert_At = line.Next;
        found.Insert_Needs_Line_End = line.Next == text.size() && !Ends_In_Line_End(text);
    };
    bool inside = false;
    std::size_t pos = text.substr(0, Byte_Order_Mark.size()) == Byte_Order_Mark ? Byte_Order_Mark.size() : 0;
    while (pos < text.size()) {
        const TLine line = Line_At(text, pos);
        pos = line.Next;
        const std::string_view content = text.substr(line.Begin, line.End - line.Begin);
        if (const auto name = Section_Name(content)) {
            if (inside) break;  // only the first section of the name counts
            if (Same_Ignoring_Case(*name, section)) {
                inside = found.Section = true;
                insert_after(line);
            }
            continue;
        }
        const std::size_t eq = content.find('=');
        // Comments and blank lines: a new key does not go after them, they
        // usually lead to the next section.
        if (!inside || eq == std::string_view::npos) continue;
        std::size_t key_begin = 0, key_end = eq;
        Trim(content, key_begin, key_end);
        if (Same_Ignoring_Case(content.substr(key_begin, key_end - key_begin), key)) {
            found.Key = true;
            found.Value_Begin = line.Begin + eq + 1;
            found.Value_End = line.End;
            Trim(text, found.Value_Begin, found.Value_End);
            return found;
        }
        insert_after(line);
    }
    return found;
}

// The line end of the file's first line, so added lines match the file: a
// file written with CR alone stays so. LF for a file of one line.
std::string_view TIni_Text::Line_End() const {
    const std::size_t end = text_.find_first_of("\r\n");
    if (end == std::string::npos || text_[end] == '\n') return "\n";
    return end + 1 < text_.size() && text_[end + 1] == '\n' ? "\r\n" : "\r";
}

std::optional<std::string> TIni_Text::Value(std::string_view section, std::string_view key) const {
    const TFound found = Find(section, key);
    if (!found.Key) return std::nullopt;
    return text_.substr(found.Value_Begin, found.Value_End - found.Value_Begin);
}

void TIni_Text::Set_Value(std::string_view section, std::string_view key, std::string_view value) {
    // A line holds neither a CR nor a LF: the value ends at the first.
    value = value.substr(0, value.find_first_of("\r\n"));
    const TFound found = Find(section, key);
    const std::string_view eol = Line_End();
    if (found.Key) {
        // The value as it would read back, so an unchanged value keeps its bytes.
        if (Trim_Blanks(value) !=
            std::string_view(text_).substr(found.Value_Begin, found.Value_End - found.Value_Begin))
            text_.replace(found.Value_Begin, found.Value_End - found.Value_Begin, value);
        return;
    }
    std::string entry;
    if (!found.Section) {
        if (!text_.empty() && !Ends_In_Line_End(text_)) entry.append(eol);
        entry.append("[").append(section).append("]").append(eol);
    } else if (found.Insert_Needs_Line_End) {
        entry.append(eol);
    }
    entry.append(key).append("=").append(value).append(eol);
    const std::size_t at = found.Section ? found.Insert_At : text_.size();
    // A CR just before a LF would make one line end of the two, and the
    // empty line that LF ends would vanish.
    if (entry.back() == '\r' && at < text_.size() && text_[at] == '\n') entry.push_back('\n');
    text_.insert(at, entry);
}

// ---- The file ---------------------------------------------------------------------

std::string TIni_File::Read_String(const char* section, const char* key, const std::string& default_value) const {
    std::string text;
    if (!Read_Regular_File(path_, text)) return default_value;
    return TIni_Text(std::move(text)).Value(section, key).value_or(default_value);
}

int32_t TIni_File::Read_Integer(const char* section, const char* key, int32_t default_value) const {
    std::string text;
    if (!Read_Regular_File(path_, text)) return default_value;
    const auto value = TIni_Text(std::move(text)).Value(section, key);
    return value ? Parse_Ini_Integer(*value, default_value) : default_value;
}

bool TIni_File::Write_String(const char* section, const char* key, const std::string& value) {
    std::string text;
    int error = 0;
    const bool exists = Read_Regular_File(path_, text, &error);
    // A file that exists but cannot be read is not overwritten: its other
    // entries would be lost.
    if (!exists && error != ENOENT) {
        last_error_ = error;
        return false;
    }
    TIni_Text ini(text);
    ini.Set_Value(section, key, value);
    // Nothing to change: the file stays as it is, but a file that may not
    // be written still refuses the write, as it would otherwise.
    const bool ok =
        exists && ini.Text() == text ? Check_Writable(path_, &error) : Replace_File_Contents(path_, ini.Text(), &error);
    last_error_ = ok ? 0 : error;
    return ok;
}

bool TIni_File::Write_Integer(const char* section, const char* key, int32_t value) {
    return Write_String(section, key, std::to_string(value));
}

}  // namespace qev
