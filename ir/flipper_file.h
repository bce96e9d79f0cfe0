// Flipper Zero infrared files (.ir): named commands, each a protocol code or
// raw durations.
//
//   Filetype: IR signals file
//   Version: 1
//   #
//   name: Power
//   type: parsed
//   protocol: NEC
//   address: 04 00 00 00
//   command: 08 00 00 00
//   #
//   name: Mute
//   type: raw
//   frequency: 38000
//   duty_cycle: 0.330000
//   data: 9000 4500 560 560 ...
//
// Addresses and commands are four bytes, least significant first; raw data
// is microseconds, mark first. An RC5X record's command is the low six bits,
// the extension (the second start bit 0) being implied by the protocol's
// name, as the Flipper sends it: it is read as command | 0x40 (RC5X
// "05 00 00 00" is RC5X 0x45), and written back as the low six bits. A
// field wider than its protocol's, an RC5 command from 0x40 among them, is
// refused, as the Flipper refuses it. Every protocol the Flipper names is
// read, its name in any case: NEC, NECext, NEC42, NEC42ext, Samsung32, RC5,
// RC5X, RC6, SIRC, SIRC15, SIRC20, Kaseikyo, RCA and Pioneer.
#ifndef QEV_IR_FLIPPER_FILE_H
#define QEV_IR_FLIPPER_FILE_H

#include "ir/ir_signal.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qev {

// Reads a signals file (a library file is read the same way). A parsed
// record fills Code and leaves Timing empty; a raw one fills Timing. A file
// without the two header lines gives one error and no records.
TIR_File Read_Flipper_File(std::string_view text);

// The same, a line at a time as a file is read (Read_Regular_File_Lines),
// each record handed to `take` when one is given: Finish's result then
// holds the errors only.
class TFlipper_Reader {
public:
    explicit TFlipper_Reader(TRecord_Sink take = {});
    ~TFlipper_Reader();
    TFlipper_Reader(const TFlipper_Reader&) = delete;
    TFlipper_Reader& operator=(const TFlipper_Reader&) = delete;

    // The file's next line, without its '\n'; false once the file has shown
    // it is not a Flipper file, when nothing after is read.
    bool Take_Line(std::string_view line);
    // What was read, once the lines are all taken.
    TIR_File Finish();

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

// Writes the records so that Read_Flipper_File gives them back: a record with
// a Code as parsed, any other as raw.
std::string Write_Flipper_File(const std::vector<TIR_Record>& records);

}  // namespace qev

#endif
