// The infrared protocols: their names, the ranges of their fields, and the
// encoder from an address and command to the durations of one frame.
//
//   NEC        8-bit address, 8-bit command: address, ~address, command, ~command
//   NECext     16-bit address, 16-bit command, sent as they are
//   NEC42      13-bit address, 8-bit command, each followed by its inverse
//   Samsung32  8-bit address sent twice, 8-bit command and its inverse
//   RC5        5-bit address, 6-bit command (bi-phase, 889 us half bits)
//   RC5X       5-bit address, 7-bit command (the second start bit carries ~bit 6)
//   RC6        mode 0: 8-bit address, 8-bit command (bi-phase, 444 us units)
//   SIRC       7-bit command, 5-bit address (600 us units)
//   SIRC15     7-bit command, 8-bit address
//   SIRC20     7-bit command, 13-bit address
//   NEC42ext   26-bit address, 16-bit command, sent as they are (NEC42's timing)
//   Kaseikyo   26-bit address: bits 24-25 the ID, 8-23 the vendor, 4-7 and
//              0-3 the two genre nibbles; 10-bit command (48 bits with parities)
//   RCA        4-bit address, 8-bit command, each followed by its inverse
//   Pioneer    8-bit address, 8-bit command as NEC's, at 40 kHz
//
// Their timings are in ir/protocol_timing.h.
#ifndef QEV_IR_PROTOCOLS_H
#define QEV_IR_PROTOCOLS_H

#include "ir/ir_signal.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qev {

struct TProtocol_Info {
    TProtocol Protocol;
    const char* Name;         // as in Flipper files: "NEC", "NECext", "RC5X", ...
    uint32_t Address_Max;     // largest address, e.g. 0xFF
    uint32_t Command_Max;     // largest command
    int32_t Frame_Period_us;  // from the start of one frame to the start of the next
    int32_t Carrier_Hz;       // the usual carrier of its remotes
    // (both from the protocol's timing record, ir/protocol_timing.h)
};

// Every protocol, in the order of TProtocol.
std::span<const TProtocol_Info> All_Protocols();
const TProtocol_Info& Protocol_Info(TProtocol protocol);
// A protocol by its name, in any case ("nec", "NECext"); nothing for others.
std::optional<TProtocol> Find_Protocol(std::string_view name);

// Why a code cannot be encoded ("address 0x120 is beyond NEC's 0xFF"), or
// nothing when it can.
std::optional<std::string> Code_Problem(const TIR_Code& code);

// The bits of one frame of the code (toggle clear), the first sent at bit 0
// when the protocol sends least significant first, at bit Bits-1 otherwise:
// with the inverses and parities the protocol adds to its fields.
uint64_t Frame_Bits(const TIR_Code& code);

// One frame of the code, with the toggle bit of RC5 and RC6 clear: marks
// and spaces, the last space lasting to the frame period, so that frames
// sent one after another come at the protocol's spacing. A code with a
// problem gives no durations.
TIR_Timing Encode(const TIR_Code& code);

// The most any code's Encode of the protocol lasts, in us: its frame with
// every bit in its longer form, or its frame period when that is longer.
int32_t Longest_Encoding_us(TProtocol protocol);

}  // namespace qev

#endif
