// Command files: text files (default extension rmt) holding the repetition
// count and one line per learned command.
//
//   @REPEAT = 3
//   POWER,FF,01,00
//   VOL-UP,1F,E0
//
// The writer produces CR LF line ends; the reader also takes LF alone. On
// reading, ';' starts a comment; a line containing "@REPEAT" sets REPEAT from
// the decimal number after the first '=' that follows it; any other line is a
// record: comma-separated fields (runs of commas are one separator), the first
// being the name and each further one a byte written as up to two hexadecimal
// digits.
#ifndef QEV_COMMAND_FILE_H
#define QEV_COMMAND_FILE_H

#include "command_table.h"
#include "settings.h"
#include "user_feedback.h"

#include <string>
#include <string_view>

namespace qev {

// Finds `keyword` in `line` and reads the decimal integer after the first '='
// behind it. -1: no keyword; 0: value stored; 1: no '='; 2: no number.
int Parse_Keyword_Value(std::string_view line, std::string_view keyword, int32_t& value);

// Folder part of a path: the text before the last '/', without that '/'
// unless it is the first character ("/x.rmt" gives "/"); "" for a bare name.
std::string Folder_Of(std::string_view path);
// File name part of a path: the text after the last '/'.
std::string File_Name_Of(std::string_view path);

// Reads a Command file into the table, replacing it from row 0.
// Returns 0 when read without complaint, 1 when read with errors (too many
// records, a record longer than a row, a name longer than 79 characters),
// -1 when the file cannot be opened or holds a bad repetition line; the
// table is then unchanged. report_errors = 1 shows each error in a message
// box. Sets RMT_DIR and the status bar as soon as the file is open, and
// refreshes the command view after a read.
int Load_Command_File(const std::string& path, int report_errors, TSettings& settings, TCommand_Table& table,
                      TUser_Feedback& feedback);

// Writes REPEAT and every row in use. The previous file survives any failure,
// which is reported as "Can't Create File". true when the file was written.
bool Save_Command_File(const std::string& path, const TSettings& settings, const TCommand_Table& table,
                       TUser_Feedback& feedback);

}  // namespace qev

#endif
