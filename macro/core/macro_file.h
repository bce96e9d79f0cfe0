// Macro files: plain text, one macro line per line (default extension mcr).
//
// Import takes lines ended by CR LF, by a lone CR or by a lone LF; export
// writes the text's bytes unchanged with CR LF between its lines, and after
// the last only when the text ends with a line break. Both start in RMT_DIR
// and move it to the folder of the file chosen, as the Command files do.
#ifndef QEV_MACRO_CORE_MACRO_FILE_H
#define QEV_MACRO_CORE_MACRO_FILE_H

#include "app/core/qev_state.h"

#include <optional>
#include <string>
#include <string_view>

namespace qev {

// The file's text with every line end (CR LF, CR or LF) made '\n'.
std::string Macro_Text_From_File(std::string_view bytes);
// The file's bytes for a text whose lines are separated by '\n'.
std::string Macro_File_From_Text(std::string_view text);
// A UTF-8 byte-order mark at the start of a file.
inline constexpr std::string_view Byte_Order_Mark = "\xEF\xBB\xBF";
// Removes a leading byte-order mark from `text`; true when there was one.
// The text widget cannot hold one at its start, so the dialog keeps it
// aside and puts it back on export.
bool Take_Byte_Order_Mark(std::string& text);

// A file name without an extension gets ".mcr".
std::string With_Macro_Extension(const std::string& path);

// Macro_ImportClick without the dialog: asks for a file (offering
// `last_name`, which becomes the name chosen; a name without an extension
// gets ".mcr" unless a file of exactly that name exists), refuses a missing one with
// "File doesn't Exists." / "File Read Error", moves RMT_DIR to its folder
// and returns its text ('\n' between lines). Nothing when cancelled or refused.
std::optional<std::string> Import_Macro_File(TQEV_State& state, std::string& last_name);

// Macro_ExportClick without the dialog: asks for a file, asks before
// replacing one ("Specified File Already Exists. Overwrite OK?" /
// "File Exists"), moves RMT_DIR to its folder and writes `text`. A failed
// write keeps the old file and says "Can't Create File". true when written.
bool Export_Macro_File(TQEV_State& state, const std::string& text, std::string& last_name);

}  // namespace qev

#endif
