// Infrared signals as the code formats describe them.
//
// Outside this program a command is a list of durations: a mark (carrier on)
// for so many microseconds, then a space (carrier off), then a mark, and so
// on, with a carrier frequency the LED is modulated at. Protocols name a
// command by an address and a command number instead. The program's own
// waveform is the envelope sampled at 8000 samples per second (sampling.h
// turns one into the other).
#ifndef QEV_IR_IR_SIGNAL_H
#define QEV_IR_IR_SIGNAL_H

#include "base/sample_grid.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qev {

constexpr int32_t Default_Carrier_Hz = 38000;

// Durations in microseconds, mark first: marks at even indexes, spaces at odd
// ones. An even count ends with a space, the idle time before the signal may
// start again.
struct TIR_Timing {
    std::vector<int32_t> Durations_us;
    int32_t Carrier_Hz = Default_Carrier_Hz;  // 0 when the source does not say
};

// The protocols this program encodes and decodes, under the names the
// Flipper files use. New ones are added at the end.
enum class TProtocol {
    NEC,
    NECext,
    NEC42,
    Samsung32,
    RC5,
    RC5X,
    RC6,
    SIRC,
    SIRC15,
    SIRC20,
    NEC42ext,
    Kaseikyo,
    RCA,
    Pioneer,
};

struct TIR_Code {
    TProtocol Protocol = TProtocol::NEC;
    uint32_t Address = 0;
    uint32_t Command = 0;
    bool operator==(const TIR_Code&) const = default;
};

// One named command read from a code file: a protocol code or, when Code is
// empty, the durations themselves.
struct TIR_Record {
    std::string Name;
    std::optional<TIR_Code> Code;
    TIR_Timing Timing;  // the durations when Code is empty
};

// A fault in a code file: the line it was found on (counting from 1) and a
// sentence saying what is wrong, for example "bad duration 'x9'".
struct TFormat_Error {
    int64_t Line = 0;
    std::string Message;
};

// What a reader found. A bad record is left out whole and described in
// Errors; the records around it are still read. A file that is not of the
// format at all gives one error and no records.
struct TIR_File {
    std::vector<TIR_Record> Records;
    std::vector<TFormat_Error> Errors;
};

// Where a reader hands each record as soon as it is read, instead of keeping
// it in Records: a large file then costs the room of one record.
using TRecord_Sink = std::function<void(TIR_Record&&)>;

}  // namespace qev

#endif
