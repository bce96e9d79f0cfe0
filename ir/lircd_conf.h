// LIRC's remote definitions (lircd.conf): read into durations, written as raw
// codes.
//
// A lircd.conf file holds `begin remote` ... `end remote` blocks. A block
// either lists raw durations per key (`begin raw_codes`) or describes how the
// remote encodes a number (header, bit timings, pre_data ...) and gives each
// key's number (`begin codes`). The reader turns both into one frame of
// durations per key, so the rest of the program never sees the encodings.
#ifndef QEV_IR_LIRCD_CONF_H
#define QEV_IR_LIRCD_CONF_H

#include "ir/ir_signal.h"

#include <string>
#include <string_view>
#include <vector>

namespace qev {

// Every remote of the file, key after key in file order, each record holding
// the durations of one press (Code empty). A remote this program cannot
// reproduce (an unsupported encoding, missing timings, a malformed block) is
// left out whole with one error; a bad key line leaves out that key only.
TIR_File Read_Lircd_Conf(std::string_view text);

// One RAW_CODES remote holding the records' durations, LF line ends. The
// largest trailing space among the records becomes the remote's gap and is
// not written per key; without one the gap line is left out. Records without
// durations (a protocol code the caller has not encoded) are skipped. Blanks
// and '#' in names become '_'; an empty remote name becomes "QEV_LPT".
std::string Write_Lircd_Conf(const std::vector<TIR_Record>& records, std::string_view remote_name);

}  // namespace qev

#endif
