#include "command_file.h"

#include "atomic_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace qev {

namespace {

constexpr std::string_view Repeat_Keyword = "@REPEAT";

bool Is_Space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int Hex_Value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Next comma-separated field starting at `pos`; runs of commas are skipped.
bool Next_Field(std::string_view line, std::size_t& pos, std::string_view& field) {
    while (pos < line.size() && line[pos] == ',') ++pos;
    if (pos >= line.size()) return false;
    std::size_t end = line.find(',', pos);
    if (end == std::string_view::npos) end = line.size();
    field = line.substr(pos, end - pos);
    pos = end;
    return true;
}

// One byte field: leading white space, then up to two hexadecimal digits;
// the rest is ignored. A field without a digit reads as 0.
uint8_t Parse_Byte_Field(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && Is_Space(field[i])) ++i;
    unsigned value = 0;
    for (int digits = 0; digits < 2 && i < field.size() && Hex_Value(field[i]) >= 0; ++digits, ++i)
        value = value * 16 + static_cast<unsigned>(Hex_Value(field[i]));
    return static_cast<uint8_t>(value);
}

struct TFile_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads lines of any length; the line end (LF or CR LF) is removed.
class TLine_Reader {
public:
    explicit TLine_Reader(std::FILE* f) : file_(f) {}
    ~TLine_Reader() { std::free(buffer_); }
    TLine_Reader(const TLine_Reader&) = delete;
    TLine_Reader& operator=(const TLine_Reader&) = delete;

    bool Next(std::string_view& line) {
        ssize_t n = getline(&buffer_, &size_, file_);
        if (n < 0) return false;
        std::size_t len = static_cast<std::size_t>(n);
        if (len > 0 && buffer_[len - 1] == '\n') {
            --len;
            if (len > 0 && buffer_[len - 1] == '\r') --len;
        }
        line = std::string_view(buffer_, len);
        return true;
    }

private:
    std::FILE* file_;
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
};

struct TStaged_Record {
    std::string name;
    std::vector<uint8_t> bytes;
};

}  // namespace

int Parse_Keyword_Value(std::string_view line, std::string_view keyword, int32_t& value) {
    std::size_t at = line.find(keyword);
    if (at == std::string_view::npos) return -1;
    std::size_t eq = line.find('=', at + keyword.size());
    if (eq == std::string_view::npos) return 1;
    std::size_t i = eq + 1;
    while (i < line.size() && Is_Space(line[i])) ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
    if (i >= line.size() || line[i] < '0' || line[i] > '9') return 2;
    // Saturates at the 32-bit limits instead of wrapping.
    int64_t magnitude = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        magnitude = std::min<int64_t>(magnitude * 10 + (line[i] - '0'), int64_t{1} << 31);
    int64_t signed_value = negative ? -magnitude : std::min<int64_t>(magnitude, INT32_MAX);
    value = static_cast<int32_t>(signed_value);
    return 0;
}

std::string Folder_Of(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    std::size_t keep = slash + 1;                           // up to and including the '/'
    if (slash > 0 && path[slash - 1] != '/') keep = slash;  // drop it, unless it is the root
    return std::string(path.substr(0, keep));
}

std::string File_Name_Of(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

int Load_Command_File(const std::string& path, int report_errors, TSettings& settings, TCommand_Table& table,
                      TUser_Feedback& feedback) {
    auto report = [&](const char* text, const char* caption) {
        if (report_errors == 1) feedback.Show_Error(text, caption);
    };
    std::unique_ptr<std::FILE, TFile_Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        report("Can't Open File", "File Open Error");
        return -1;
    }
    settings.RMT_DIR = Folder_Of(path);
    feedback.Set_Status_Text(File_Name_Of(path));

    // Records are collected first and replace the table only when the whole
    // file has been read, so a bad repetition line leaves the table as it was.
    const int32_t row_limit = std::min(settings.MAX_RMTCMD_NUM, table.Rows());
    const int32_t byte_limit = std::min(Row_Capacity_For(settings.MAX_RMTCMD_BIT_LENGTH), table.Row_Capacity());
    std::vector<TStaged_Record> staged;
    int error = 0;

    TLine_Reader reader(file.get());
    std::string_view line;
    while (reader.Next(line)) {
        line = line.substr(0, std::min({line.find('\0'), line.find(';'), line.size()}));
        if (line.find(Repeat_Keyword) != std::string_view::npos) {
            int32_t repeat = 0;
            if (Parse_Keyword_Value(line, Repeat_Keyword, repeat) != 0) {
                report("Can't Read REPEAT Value", "File Syntax Error");
                return -1;
            }
            settings.REPEAT = repeat;
            continue;
        }
        std::size_t pos = 0;
        std::string_view name;
        if (!Next_Field(line, pos, name)) continue;
        if (static_cast<int32_t>(staged.size()) >= row_limit) {
            report("Unexpected Data Size", "File Read Error");
            error = 1;
            break;
        }
        TStaged_Record& record = staged.emplace_back();
        record.name.assign(name);
        if (name.size() > static_cast<std::size_t>(Command_Name_Limit)) {
            report("Command Name is too long (79 characters at most)", "File Read Error");
            error = 1;
        }
        std::string_view field;
        while (Next_Field(line, pos, field)) {
            if (static_cast<int32_t>(record.bytes.size()) >= byte_limit) {
                report("Command Buffer Overflow", "File Read Error");
                error = 1;
                break;
            }
            record.bytes.push_back(Parse_Byte_Field(field));
        }
    }

    const int32_t count = static_cast<int32_t>(staged.size());
    for (int32_t i = 0; i < count; ++i) {
        table.Set_Name(i, staged[static_cast<std::size_t>(i)].name);
        const auto& bytes = staged[static_cast<std::size_t>(i)].bytes;
        if (!bytes.empty()) std::copy(bytes.begin(), bytes.end(), table.Row_Bytes(i));
        table.Row(i).Byte_Count = static_cast<int32_t>(bytes.size());
    }
    table.Command_Count = count;
    file.reset();
    feedback.Refresh_Command_View();
    return error;
}

bool Save_Command_File(const std::string& path, const TSettings& settings, const TCommand_Table& table,
                       TUser_Feedback& feedback) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    TAtomic_File_Writer writer(path);
    bool ok = writer.Is_Open();
    if (ok) {
        std::string text = "@REPEAT = " + std::to_string(settings.REPEAT) + "\r\n";
        ok = writer.Write(text);
        const int32_t used = std::min(table.Command_Count, table.Rows());
        for (int32_t i = 0; ok && i < used; ++i) {
            const TCommand_Record& row = table.Row(i);
            const int32_t bytes = std::clamp<int32_t>(row.Byte_Count, 0, static_cast<int32_t>(row.Bytes.size()));
            text.assign(row.Name);
            text.reserve(row.Name.size() + 3 * static_cast<std::size_t>(bytes) + 2);
            for (int32_t j = 0; j < bytes; ++j) {
                const unsigned b = row.Bytes[static_cast<std::size_t>(j)];
                const char cell[3] = {',', Hex[b >> 4], Hex[b & 15]};
                text.append(cell, 3);
            }
            text.append("\r\n");
            ok = writer.Write(text);
        }
        ok = ok && writer.Commit();
    }
    if (!ok) {
        feedback.Show_Error("Can't Create File", "File Open Error");
        return false;
    }
    feedback.Set_Status_Text(File_Name_Of(path));
    return true;
}

}  // namespace qev
