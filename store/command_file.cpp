#include "store/command_file.h"

#include "base/atomic_file.h"
#include "base/hex_text.h"
#include "base/regular_file.h"
#include "base/text_scan.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>

namespace qev {

std::optional<std::string> Command_File_Name_Problem(std::string_view name) {
    for (const char c : name) {
        if (c == ',') return std::string("a command name cannot hold ',' (it separates the fields of a Command file)");
        if (c == ';') return std::string("a command name cannot hold ';' (it starts a comment in a Command file)");
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return std::string("a command name cannot hold control characters");
        }
    }
    if (name.find("@REPEAT") != std::string_view::npos) {
        return std::string("a command name cannot hold '@REPEAT' (it marks the repetition line of a Command file)");
    }
    return std::nullopt;
}

namespace {

constexpr std::string_view Repeat_Keyword = "@REPEAT";
constexpr const char* Read_Error_Caption = "File Read Error";

void Send(const TError_Sink& sink, const std::string& text, const char* caption) {
    if (sink) sink(text, caption);
}

}  // namespace

int Parse_Keyword_Value(std::string_view line, std::string_view keyword, int32_t& value) {
    const std::size_t at = line.find(keyword);
    if (at == std::string_view::npos) return -1;
    const std::size_t eq = line.find('=', at + keyword.size());
    if (eq == std::string_view::npos) return 1;
    std::size_t pos = eq + 1;
    const std::optional<int32_t> number = Scan_Leading_Integer(line, pos);
    if (!number) return 2;
    value = *number;
    return 0;
}

std::string Folder_Of(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    std::size_t keep = slash + 1;                           // up to and including the '/'
    if (slash > 0 && path[slash - 1] != '/') keep = slash;  // drop it, unless it is the root
    return std::string(path.substr(0, keep));
}

std::string File_Name_Of(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// ---- The grammar, one byte at a time -------------------------------------------

TCommand_File_Parser::TCommand_File_Parser(const TCommand_File_Limits& limits) : limits_(limits) {
    limits_.Rows = std::max(limits_.Rows, 0);
    limits_.Row_Bytes = std::max(limits_.Row_Bytes, 0);
}

void TCommand_File_Parser::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (Stopped()) return;
        const bool lf_of_cr_lf = c == '\n' && after_cr_;
        after_cr_ = c == '\r';
        if (lf_of_cr_lf) continue;
        if (c == '\r' || c == '\n') {  // CR LF, LF alone or CR alone ends a line
            End_Line();
            continue;
        }
        line_started_ = true;
        Take(c);
    }
}

void TCommand_File_Parser::Take(char c) {
    if (cut_) return;
    if (c == ';' || c == '\0') {  // a comment; a NUL byte ends the text as well
        cut_ = true;
        return;
    }
    Take_Keyword(c);
    Take_Field(c);
}

// "@REPEAT", then the first '=' after it, then blanks, a sign and decimal
// digits: the rule of Parse_Keyword_Value, kept as a small state machine.
void TCommand_File_Parser::Take_Keyword(char c) {
    const bool digit = c >= '0' && c <= '9';
    switch (repeat_state_) {
        case TRepeat_State::Keyword:
            // '@' occurs only at the start of the keyword, so a mismatch
            // restarts the match at this character or before it.
            if (c == Repeat_Keyword[keyword_matched_]) {
                if (++keyword_matched_ == Repeat_Keyword.size()) repeat_state_ = TRepeat_State::Seek_Equals;
            } else {
                keyword_matched_ = c == Repeat_Keyword[0] ? 1 : 0;
            }
            break;
        case TRepeat_State::Seek_Equals:
            if (c == '=') repeat_state_ = TRepeat_State::Blanks;
            break;
        case TRepeat_State::Blanks:
            if (Is_Blank(c)) break;
            if (c == '+' || c == '-') {
                repeat_negative_ = c == '-';
                repeat_state_ = TRepeat_State::After_Sign;
                break;
            }
            [[fallthrough]];
        case TRepeat_State::After_Sign:
        case TRepeat_State::Digits:
            if (digit) {
                repeat_magnitude_ =
                    std::min<uint64_t>(repeat_magnitude_ * 10 + static_cast<uint64_t>(c - '0'), uint64_t{1} << 31);
                repeat_state_ = TRepeat_State::Digits;
            } else {
                repeat_state_ = repeat_state_ == TRepeat_State::Digits ? TRepeat_State::Done : TRepeat_State::Failed;
            }
            break;
        case TRepeat_State::Done:
        case TRepeat_State::Failed:
            break;
    }
}

void TCommand_File_Parser::Take_Field(char c) {
    if (c == ',') {
        End_Field();
        return;
    }
    if (!in_field_) {
        in_field_ = true;
        field_blanks_ = true;
        field_digits_ = 0;
        field_value_ = 0;
    }
    if (fields_ == 0) {  // the name: its first characters and its length
        ++name_length_;
        if (name_.size() <= static_cast<std::size_t>(Command_Name_Limit)) name_.push_back(c);
        return;
    }
    // A byte: leading blanks, then at most two hexadecimal digits; the rest
    // of the field is ignored.
    if (field_digits_ >= 2) return;
    if (field_blanks_ && Is_Blank(c)) return;
    field_blanks_ = false;
    const int d = Digit_Value(c, 16);
    if (d < 0) {
        field_digits_ = 2;
        return;
    }
    field_value_ = field_value_ * 16 + static_cast<unsigned>(d);
    ++field_digits_;
}

void TCommand_File_Parser::End_Field() {
    if (!in_field_) return;  // runs of commas, and commas at either end, make no field
    in_field_ = false;
    if (fields_++ == 0 || overflow_) return;
    if (bytes_.size() >= static_cast<std::size_t>(limits_.Row_Bytes)) {
        overflow_ = true;  // the rest of the line is ignored
        return;
    }
    bytes_.push_back(static_cast<uint8_t>(field_value_));
}

void TCommand_File_Parser::End_Line() {
    End_Field();
    if (keyword_matched_ == Repeat_Keyword.size()) {
        if (repeat_state_ == TRepeat_State::Digits || repeat_state_ == TRepeat_State::Done) {
            const auto magnitude = static_cast<int64_t>(repeat_magnitude_);
            repeat_ = static_cast<int32_t>(repeat_negative_ ? -magnitude : std::min<int64_t>(magnitude, INT32_MAX));
        } else {
            stop_ = TStop::Bad_Repeat;
        }
    } else if (fields_ > 0) {
        if (records_.size() >= static_cast<std::size_t>(limits_.Rows)) {
            stop_ = TStop::Table_Full;
        } else {
            const auto count = [this](TFault& fault) {
                if (fault.Records++ == 0) fault.First_Line = line_;
            };
            if (name_length_ > static_cast<std::size_t>(Command_Name_Limit)) {
                count(long_names_);
                name_.resize(Command_Name_Limit);
            }
            if (overflow_) count(overflows_);
            records_.push_back({std::move(name_), std::move(bytes_)});
        }
    }
    // A fresh line.
    ++line_;
    line_started_ = cut_ = in_field_ = overflow_ = repeat_negative_ = false;
    keyword_matched_ = 0;
    repeat_state_ = TRepeat_State::Keyword;
    repeat_magnitude_ = 0;
    fields_ = 0;
    name_.clear();
    name_length_ = 0;
    bytes_.clear();
}

// "<text>\nLine 12: its first 79 characters are kept." for one record,
// "<text>\n27 records, the first at line 3: each keeps its first 79 characters."
void TCommand_File_Parser::Report(const TError_Sink& sink, const TFault& fault, const char* text, int32_t kept,
                                  const char* unit) const {
    const std::string first = std::to_string(fault.First_Line), amount = std::to_string(kept) + " " + unit;
    Send(sink,
         std::string(text) + "\n" +
             (fault.Records == 1 ? "Line " + first + ": its first " + amount + " are kept."
                                 : std::to_string(fault.Records) + " records, the first at line " + first +
                                       ": each keeps its first " + amount + "."),
         Read_Error_Caption);
}

TCommand_File_Result TCommand_File_Parser::Finish(TCommand_Table& table, const TError_Sink& sink) {
    if (!Stopped() && line_started_) End_Line();  // a last line without a line end
    // Each kind of fault once, in the order the file first showed them.
    const auto report_names = [&] {
        Report(sink, long_names_, "Command Name is too long (79 characters at most)", Command_Name_Limit, "characters");
    };
    const auto report_overflows = [&] {
        Report(sink, overflows_, "Command Buffer Overflow", limits_.Row_Bytes, "bytes");
    };
    const bool names_first =
        long_names_.Records > 0 && (overflows_.Records == 0 || long_names_.First_Line <= overflows_.First_Line);
    if (names_first) report_names();
    if (overflows_.Records > 0) report_overflows();
    if (long_names_.Records > 0 && !names_first) report_names();
    TCommand_File_Result result;
    result.Repeat = repeat_;
    if (stop_ == TStop::Bad_Repeat) {
        Send(sink, "Can't Read REPEAT Value", "File Syntax Error");
        result.Result = -1;
        return result;
    }
    if (stop_ == TStop::Table_Full) Send(sink, "Unexpected Data Size", Read_Error_Caption);

    const auto count = static_cast<int32_t>(std::min<std::size_t>(records_.size(), std::max(table.Rows(), 0)));
    for (int32_t i = 0; i < count; ++i) {
        const TRecord& record = records_[static_cast<std::size_t>(i)];
        table.Set_Name(i, record.Name);
        const auto bytes =
            static_cast<int32_t>(std::min<std::size_t>(record.Bytes.size(), std::max(table.Row_Capacity(), 0)));
        if (bytes > 0) std::copy_n(record.Bytes.begin(), bytes, table.Row_Bytes(i));
        table.Row(i).Byte_Count = bytes;
    }
    table.Command_Count = count;
    result.Result = stop_ == TStop::Table_Full || long_names_.Records > 0 || overflows_.Records > 0 ? 1 : 0;
    return result;
}

TCommand_File_Result Read_Command_Text(std::string_view text, const TCommand_File_Limits& limits, TCommand_Table& table,
                                       const TError_Sink& sink) {
    TCommand_File_Parser parser(limits);
    parser.Feed(text);
    return parser.Finish(table, sink);
}

// ---- Files ------------------------------------------------------------------------

uint64_t Command_File_Size_Limit(const TCommand_File_Limits& limits) {
    constexpr uint64_t Notes = uint64_t{16} << 20;
    const auto rows = static_cast<uint64_t>(std::max(limits.Rows, 0));
    const auto row_bytes = static_cast<uint64_t>(std::max(limits.Row_Bytes, 0));
    const uint64_t longest_line = Command_Name_Limit + 3 * row_bytes + 2;
    return Notes + 2 * rows * longest_line;
}

TCommand_File_Reader::TCommand_File_Reader(const std::string& path, const TCommand_File_Limits& limits,
                                           const TError_Sink& sink)
    : fd_(Open_Regular_File(path)), limits_(limits), sink_(sink) {
    if (fd_ < 0) {
        Send(sink_, "Can't Open File", "File Open Error");
        return;
    }
    // Far more than the table can hold: refused before anything is read,
    // rather than read for minutes to end in an empty table.
    struct stat st {};
    const uint64_t limit = Command_File_Size_Limit(limits_);
    if (::fstat(fd_, &st) == 0 && static_cast<uint64_t>(st.st_size) > limit) {
        ::close(fd_);
        fd_ = -1;
        Send(sink_,
             "Can't Open File\nThe file is " + Size_Text(static_cast<uint64_t>(st.st_size)) + ", more than " +
                 std::to_string(std::max(limits_.Rows, 0)) + " commands of " +
                 std::to_string(std::max(limits_.Row_Bytes, 0)) + " bytes can take (" + Size_Text(limit) + " at most).",
             "File Open Error");
    }
}

TCommand_File_Reader::~TCommand_File_Reader() {
    if (fd_ >= 0) ::close(fd_);
}

TCommand_File_Result TCommand_File_Reader::Read(TCommand_Table& table) {
    TCommand_File_Parser parser(limits_);
    bool read_failed = false;
    if (fd_ >= 0) {
        // A file that grows while it is read stops at the limit.
        uint64_t left = Command_File_Size_Limit(limits_);
        char chunk[65536];
        long n;
        while (!parser.Stopped() && (n = Read_Some(fd_, chunk, sizeof chunk)) != 0) {
            if (n < 0 || static_cast<uint64_t>(n) > left) {
                read_failed = true;
                break;
            }
            left -= static_cast<uint64_t>(n);
            parser.Feed(std::string_view(chunk, static_cast<std::size_t>(n)));
        }
        ::close(fd_);
        fd_ = -1;
    }
    TCommand_File_Result result = parser.Finish(table, sink_);
    if (read_failed && result.Result >= 0) {
        // What was read before the failure is kept; the user must know the rest is missing.
        Send(sink_, "Can't Read File\nThe file could be read only in part.", Read_Error_Caption);
        result.Result = 1;
    }
    return result;
}

std::string Command_File_Text(int32_t repeat, const TCommand_Table& table) {
    std::string text = "@REPEAT = " + std::to_string(repeat) + "\r\n";
    const int32_t used = table.Rows_In_Use();
    for (int32_t i = 0; i < used; ++i) {
        const TCommand_Record& row = table.Row(i);
        const int32_t bytes = std::clamp<int32_t>(row.Byte_Count, 0, static_cast<int32_t>(row.Bytes.size()));
        text.append(row.Name);
        for (int32_t j = 0; j < bytes; ++j) {
            const unsigned b = row.Bytes[static_cast<std::size_t>(j)];
            const char cell[3] = {',', Hex_Digit(b >> 4), Hex_Digit(b)};
            text.append(cell, 3);
        }
        text.append("\r\n");
    }
    return text;
}

bool Save_Command_File(const std::string& path, int32_t repeat, const TCommand_Table& table, const TError_Sink& sink) {
    TAtomic_File_Writer writer(path);
    if (writer.Write(Command_File_Text(repeat, table)) && writer.Commit()) return true;
    Send(sink, "Can't Create File", "File Open Error");
    return false;
}

}  // namespace qev
