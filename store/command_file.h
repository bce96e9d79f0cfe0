// Command files: text files (default extension rmt) holding the repetition
// count and one line per learned command.
//
//   @REPEAT = 3
//   POWER,FF,01,00
//   VOL-UP,1F,E0
//
// The writer produces CR LF line ends; the reader also takes LF alone and CR
// alone (files from older Macintosh editors). On reading, ';' starts a
// comment; a line containing "@REPEAT" sets the repetition count from the
// decimal number after the first '=' that follows it; any other line is a
// record: comma-separated fields (runs of commas are one separator), the
// first being the name and each further one a byte written as up to two
// hexadecimal digits.
//
// The store knows nothing of the Settings or the window: the reader is given
// the limits of the table and a sink for its messages, and reports what the
// file said (the repetition count); the caller applies it.
#ifndef QEV_STORE_COMMAND_FILE_H
#define QEV_STORE_COMMAND_FILE_H

#include "store/command_table.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qev {

// Where the reader's and the writer's messages go: text and caption of an
// error box. An empty sink keeps the reader silent.
using TError_Sink = std::function<void(const std::string& text, const std::string& caption)>;

// What a read may fill now.
struct TCommand_File_Limits {
    int32_t Rows = 0;       // records: MAX_RMTCMD_NUM, never more rows than the table has
    int32_t Row_Bytes = 0;  // bytes per record: the Row capacity, never more than a row holds
};

struct TCommand_File_Result {
    // 0: read without complaint; 1: read, but records were cut or left out;
    // -1: a bad repetition line stopped the read and the table is unchanged.
    int Result = 0;
    // The value of the last good repetition line, also when a later line
    // stopped the read.
    std::optional<int32_t> Repeat;
};

// Finds `keyword` in `line` and reads the decimal integer after the first '='
// behind it. -1: no keyword; 0: value stored; 1: no '='; 2: no number.
int Parse_Keyword_Value(std::string_view line, std::string_view keyword, int32_t& value);

// Why `name` cannot stand in a Command file line, or nothing: the reader
// splits fields at commas, starts a comment at ';', takes any line holding
// "@REPEAT" for the repetition count and ends lines at CR and LF.
std::optional<std::string> Command_File_Name_Problem(std::string_view name);

// Folder part of a path: the text before the last '/', without that '/'
// unless it is the first character ("/x.rmt" gives "/"); "" for a bare name.
std::string Folder_Of(std::string_view path);
// File name part of a path: the text after the last '/'.
std::string File_Name_Of(std::string_view path);

// The Command file grammar, fed in pieces of any size: memory stays bounded
// by the table's limits however long a line is. Faults that can hit many
// records are reported once per read, with how many records they hit and
// the first line, after the whole file has been seen.
class TCommand_File_Parser {
public:
    explicit TCommand_File_Parser(const TCommand_File_Limits& limits);
    // Takes the next bytes of the file.
    void Feed(std::string_view bytes);
    // True once the rest of the file no longer matters (the table is full or
    // a repetition line was bad).
    bool Stopped() const { return stop_ != TStop::None; }
    // Ends the last line, reports the faults through `sink` and, unless the
    // read failed, replaces the table from row 0 with the records read.
    TCommand_File_Result Finish(TCommand_Table& table, const TError_Sink& sink);

private:
    enum class TStop { None, Table_Full, Bad_Repeat };
    enum class TRepeat_State { Keyword, Seek_Equals, Blanks, After_Sign, Digits, Done, Failed };
    struct TRecord {
        std::string Name;
        std::vector<uint8_t> Bytes;
    };
    struct TFault {
        int32_t Records = 0;
        int64_t First_Line = 0;
    };

    void Take(char c);
    void Take_Keyword(char c);
    void Take_Field(char c);
    void End_Field();
    void End_Line();
    void Report(const TError_Sink& sink, const TFault& fault, const char* text, int32_t kept, const char* unit) const;

    TCommand_File_Limits limits_;
    std::vector<TRecord> records_;
    std::optional<int32_t> repeat_;
    TStop stop_ = TStop::None;
    int64_t line_ = 1;
    TFault long_names_, overflows_;

    // The line being read.
    bool line_started_ = false;
    bool after_cr_ = false;  // the last byte was a CR: a LF now belongs to it
    bool cut_ = false;       // after ';' (or a NUL byte) the line is a comment
    std::size_t keyword_matched_ = 0;
    TRepeat_State repeat_state_ = TRepeat_State::Keyword;
    bool repeat_negative_ = false;
    uint64_t repeat_magnitude_ = 0;
    int32_t fields_ = 0;           // fields ended so far; the first is the name
    bool in_field_ = false;        // a field has at least one character
    std::string name_;             // the name's first Command_Name_Limit + 1 bytes
    std::size_t name_length_ = 0;  // the whole name's length
    std::vector<uint8_t> bytes_;   // up to limits_.Row_Bytes
    bool overflow_ = false;
    int field_digits_ = 0;  // hexadecimal digits of the current byte field, up to 2
    bool field_blanks_ = true;
    unsigned field_value_ = 0;
};

// Reads Command file text from memory into the table, as a file would be.
TCommand_File_Result Read_Command_Text(std::string_view text, const TCommand_File_Limits& limits, TCommand_Table& table,
                                       const TError_Sink& sink);

// The largest Command file read for a table of `limits`: the longest file
// such a table can give (every record with the longest name, a comma and two
// digits per byte, CR LF) twice over, for the spacing and comments of a file
// written by hand, plus 16 MB for notes of any length: 16.2 MB for the
// default table of 256 rows of 128 bytes.
uint64_t Command_File_Size_Limit(const TCommand_File_Limits& limits);

// A Command file opened for reading a table of `limits`. Anything that is
// not a readable regular file (missing, a folder, a device) is refused with
// "Can't Open File", and so is a file larger than Command_File_Size_Limit,
// with a second line that says so; nothing is read then.
class TCommand_File_Reader {
public:
    TCommand_File_Reader(const std::string& path, const TCommand_File_Limits& limits, const TError_Sink& sink);
    ~TCommand_File_Reader();
    TCommand_File_Reader(const TCommand_File_Reader&) = delete;
    TCommand_File_Reader& operator=(const TCommand_File_Reader&) = delete;

    bool Is_Open() const { return fd_ >= 0; }
    // Reads the whole file into the table (see TCommand_File_Parser).
    TCommand_File_Result Read(TCommand_Table& table);

private:
    int fd_ = -1;
    TCommand_File_Limits limits_;
    TError_Sink sink_;
};

// The text of a Command file: the repetition line and one line per row in
// use, each ending in CR LF.
std::string Command_File_Text(int32_t repeat, const TCommand_Table& table);

// Writes the repetition count and every row in use, CR LF after each line.
// The previous file survives any failure, which is reported (always) as
// "Can't Create File". true when the file was written.
bool Save_Command_File(const std::string& path, int32_t repeat, const TCommand_Table& table, const TError_Sink& sink);

}  // namespace qev

#endif
