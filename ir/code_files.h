// The code file formats by name and extension, and reading and writing
// their files.
//
//   .rmt     the program's own Command files
//   .ir      Flipper infrared files
//   .conf    LIRC remote definitions (lircd.conf)
//   .pronto  Pronto hex, one code per line, optionally "NAME: code"
#ifndef QEV_IR_CODE_FILES_H
#define QEV_IR_CODE_FILES_H

#include "ir/ir_signal.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qev {

enum class TCode_Format { Command_File, Flipper, Lircd, Pronto };

// The format an extension names, in any case; nothing for others.
std::optional<TCode_Format> Format_Of_Path(std::string_view path);
// "Command file", "Flipper .ir", "lircd.conf", "Pronto hex".
const char* Format_Name(TCode_Format format);

// The file dialog filters of importing and exporting, '|'-separated pairs
// of description and patterns.
extern const char* const Import_Filter;
extern const char* const Export_Filter;

// Where an export goes and in which format: the format of the filter chosen
// (its index in Export_Filter), the path given that format's extension when
// it does not already end with it ("tv" or "tv.txt" with the Flipper filter
// become "tv.ir", "tv.txt.ir").
struct TExport_Target {
    std::string Path;
    TCode_Format Format;
};
TExport_Target Export_Target(const std::string& path, int filter);

// Largest code file read; anything bigger is refused rather than read into
// memory.
constexpr std::size_t Code_File_Limit = 64u << 20;

// Reads a Flipper, lircd.conf or Pronto file. A file that cannot be read
// gives one error on line 0 saying why ("No such file or directory").
TIR_File Read_Code_File(const std::string& path, TCode_Format format);
// The same, each record handed to `take` as it is read rather than kept (a
// Flipper file is read a line at a time, never held whole). When the file
// cannot be read, the records handed over are to be dropped: the result
// is then that one error.
TIR_File Read_Code_File(const std::string& path, TCode_Format format, const TRecord_Sink& take);
// Whether the file could not be read at all (its one error on line 0).
bool Unreadable(const TIR_File& file);

// The text of a Flipper, lircd.conf or Pronto file holding the records;
// `remote_name` names the remote of a lircd.conf file.
std::string Code_File_Text(const std::vector<TIR_Record>& records, TCode_Format format, std::string_view remote_name);

// Saves text so that a failed save keeps the old file; errno, or 0 when the
// file was written.
int Save_Text_File(const std::string& path, std::string_view text);

// "file.ir, line 12: bad duration 'x9'" (no line for line 0).
std::string Describe_Error(const std::string& path, const TFormat_Error& error);

}  // namespace qev

#endif
