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

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qev {

// The longest duration a lircd.conf holds (10 s); longer ones are refused
// when read and clamped when written.
constexpr int64_t Lircd_Max_Duration_us = 10'000'000;
// The shortest space that ends a frame: longer than any space inside a frame
// of the common protocols (NEC's 4.5 ms header space), so a receiver sees
// the frame end.
constexpr int64_t Min_Frame_End_us = 5000;

// Every remote of the file, key after key in file order, each record holding
// the durations of one press (Code empty). A remote this program cannot
// reproduce (an unsupported encoding, missing timings, a malformed block) is
// left out whole with one error; a bad key line leaves out that key only.
TIR_File Read_Lircd_Conf(std::string_view text);
// The same, each record handed to `take` as its remote ends rather than
// kept in Records.
TIR_File Read_Lircd_Conf(std::string_view text, const TRecord_Sink& take);

// One RAW_CODES remote holding the records' durations, LF line ends. The
// remote's gap is the shortest idle end among the records as their remote
// sends them (a command padded to its protocol's frame period counts as that
// protocol's shortest idle end), but at least Min_Frame_End_us, so that LIRC,
// which takes a code as ended by a space of at least the gap less its
// tolerance, recognises every key; the trailing spaces themselves are not
// written, so a file read back ends each key with the gap, as LIRC sends it.
// Without a trailing space in any record the gap line is left out. Records
// without durations (a protocol code the caller has not encoded) are
// skipped. Blanks and '#' in names become '_'; an empty remote name becomes
// "QEV_LPT".
std::string Write_Lircd_Conf(const std::vector<TIR_Record>& records, std::string_view remote_name);

}  // namespace qev

#endif
