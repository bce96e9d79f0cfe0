// Pronto hex codes: the learned form, one code a line.
//
// A learned Pronto code is four-digit hex words: 0000, the carrier divisor
// N (the carrier is 1,000,000 / (N x 0.241246) Hz, so 006D is about
// 38 kHz), the number of mark/space pairs sent once, the number sent while
// the key is held, then the pairs themselves in carrier periods. A file
// holds one code a line, optionally named:
//
//   # the living room television
//   Power: 0000 006D 0001 0000 0156 00AB
//   0000 006D 0000 0001 0015 0E47        (named Code_002)
#ifndef QEV_IR_PRONTO_H
#define QEV_IR_PRONTO_H

#include "ir/ir_signal.h"

#include <string>
#include <string_view>
#include <vector>

namespace qev {

// Reads every code of a Pronto file. "NAME: code" names a code, the name
// being everything before the line's last ':'; a code without a name is
// called Code_001, Code_002, ... by its place among the file's codes. A
// record's Timing is the once sequence, or the repeat sequence when there
// is no once sequence (a command is one press).
TIR_File Read_Pronto_File(std::string_view text);

// One "NAME: 0000 NNNN PPPP 0000 ..." line a record, every pair in the once
// sequence. Carrier_Hz 0 is written as 38 kHz. Records with no durations
// (parsed codes the caller has not encoded yet) are left out.
std::string Write_Pronto_File(const std::vector<TIR_Record>& records);

}  // namespace qev

#endif
