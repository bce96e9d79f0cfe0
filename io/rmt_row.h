// Reading one row of a command file (.rmt) for the simulated remote.
//
// The file is text; each line ends in LF or CR LF. Text from the first ';' on
// is a comment. Lines containing "@REPEAT" (the repetition line) are skipped,
// as are lines with no field. Any other line is a record: comma-separated
// fields (runs of commas count as one), the name first, then one byte per
// field: optional blanks, then up to two hex digits (no digit reads as 0).
// Bit 0 of the first byte is the first 125 us cell; a set bit is infrared.
#ifndef QEV_IO_RMT_ROW_H
#define QEV_IO_RMT_ROW_H

#include <string>
#include <vector>

namespace qev::io {

enum class RmtRowResult { Found, CannotOpen, NoSuchRow };

// The bytes of the row called `name`, or of the first row when name is empty.
// Names compare exactly; when no name matches exactly, a name that matches
// once blanks around it are ignored is taken ("POWER ; learned" -> "POWER ").
RmtRowResult read_rmt_row(const char* path, const std::string& name, std::vector<unsigned char>* bytes);

}  // namespace qev::io

#endif
