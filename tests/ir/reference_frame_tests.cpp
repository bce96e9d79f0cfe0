// One frame of each protocol, worked out by hand from the protocol's
// published timing, against the encoder and the decoder. A round trip
// through our own encoder and decoder cannot catch a mistake the two share;
// these frames can.
//
// Edges lie on the protocol's exact grid from the first mark and are
// rounded to the microsecond (half a microsecond up), so that units of
// 562.5 us give 563 and 562 in turn and RC5's 888.9 us halves give 889 and
// 888. The last space lasts to the protocol's frame period.
#include "ir/decoder.h"
#include "ir/protocols.h"
#include "ir/sampling.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace qev {
namespace {

struct TReference_Frame {
    const char* Name;
    TIR_Code Code;
    int32_t Carrier_Hz;
    std::vector<int32_t> Durations_us;  // mark, space, mark, ...
};

void PrintTo(const TReference_Frame& frame, std::ostream* out) { *out << frame.Name; }

class Reference_Frame_Test : public ::testing::TestWithParam<TReference_Frame> {};

TEST_P(Reference_Frame_Test, Is_What_The_Encoder_Sends) {
    const TReference_Frame& frame = GetParam();
    const TIR_Timing timing = Encode(frame.Code);
    EXPECT_EQ(timing.Durations_us, frame.Durations_us);
    EXPECT_EQ(timing.Carrier_Hz, frame.Carrier_Hz);
}

TEST_P(Reference_Frame_Test, Decodes_To_Its_Code_When_Sampled) {
    const TReference_Frame& frame = GetParam();
    const TLevels levels = Sample_Timing(TIR_Timing{frame.Durations_us, frame.Carrier_Hz}, 1 << 20);
    const auto decoded = Decode_Levels(levels);
    ASSERT_TRUE(decoded.has_value()) << Describe_Code(frame.Code);
    EXPECT_EQ(decoded->Code, frame.Code) << Describe_Decoded(decoded);
    EXPECT_EQ(decoded->Repeats, 0);
}

// The frames are laid out by field.
// clang-format off
// NEC: 9000 us mark and 4500 us space, 32 bits least significant first, each
// a 562.5 us mark and a 562.5 us (0) or 1687.5 us (1) space, a 562.5 us stop
// mark; 108 ms a frame, 38 kHz.
const TReference_Frame Nec{"NEC", {TProtocol::NEC, 0x04, 0x08}, 38000, {
    9000, 4500,  // header
    563, 562, 563, 562, 563, 1687, 563, 562, 563, 562, 563, 562, 563, 562, 563, 562,  // 0x04: 00100000
    563, 1687, 563, 1687, 563, 562, 563, 1687, 563, 1687, 563, 1687, 563, 1687, 563, 1687,  // ~0x04: 11011111
    563, 562, 563, 562, 563, 562, 563, 1687, 563, 562, 563, 562, 563, 562, 563, 562,  // 0x08: 00010000
    563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 1687, 563, 1687, 563, 1687, 563, 1687,  // ~0x08: 11101111
    563, 39937,  // stop mark, then idle to 108000
}};

// NECext: NEC's timing, a 16-bit address and a 16-bit command as they are.
const TReference_Frame Nec_Ext{"NECext", {TProtocol::NECext, 0x87EE, 0xA05D}, 38000, {
    9000, 4500,  // header
    563, 562, 563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 1687, 563, 1687, 563, 1687,  // 0xEE: 01110111
    563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 562, 563, 562, 563, 562, 563, 1687,  // 0x87: 11100001
    563, 1687, 563, 562, 563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 1687, 563, 562,  // 0x5D: 10111010
    563, 562, 563, 562, 563, 562, 563, 562, 563, 562, 563, 1687, 563, 562, 563, 1687,  // 0xA0: 00000101
    563, 38812,  // stop mark, then idle to 108000
}};

// NEC42: NEC's timing, a 13-bit address and its inverse, an 8-bit command
// and its inverse, least significant first.
const TReference_Frame Nec42{"NEC42", {TProtocol::NEC42, 0x0ABC, 0x3C}, 38000, {
    9000, 4500,  // header
    563, 562, 563, 562, 563, 1687, 563, 1687, 563, 1687, 563, 1687, 563, 562,  // 0x0ABC: 0011110
    563, 1687, 563, 562, 563, 1687, 563, 562, 563, 1687, 563, 562,  // 101010
    563, 1687, 563, 1687, 563, 562, 563, 562, 563, 562, 563, 562, 563, 1687,  // ~0x0ABC = 0x1543: 1100001
    563, 562, 563, 1687, 563, 562, 563, 1687, 563, 562, 563, 1687,  // 010101
    563, 562, 563, 562, 563, 1687, 563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 562,  // 0x3C: 00111100
    563, 1687, 563, 1687, 563, 562, 563, 562, 563, 562, 563, 562, 563, 1687, 563, 1687,  // 0xC3: 11000011
    563, 23062,  // stop mark, then idle to 108000
}};

// Samsung32: 4500 us mark and space, 32 bits least significant first, each
// a 560 us mark and a 560 us (0) or 1690 us (1) space: the address twice,
// the command and its inverse; a 560 us stop mark; 108 ms a frame, 38 kHz.
const TReference_Frame Samsung32{"Samsung32", {TProtocol::Samsung32, 0x07, 0x02}, 38000, {
    4500, 4500,  // header
    560, 1690, 560, 1690, 560, 1690, 560, 560, 560, 560, 560, 560, 560, 560, 560, 560,  // 0x07: 11100000
    560, 1690, 560, 1690, 560, 1690, 560, 560, 560, 560, 560, 560, 560, 560, 560, 560,  // 0x07 again
    560, 560, 560, 1690, 560, 560, 560, 560, 560, 560, 560, 560, 560, 560, 560, 560,  // 0x02: 01000000
    560, 1690, 560, 560, 560, 1690, 560, 1690, 560, 1690, 560, 1690, 560, 1690, 560, 1690,  // 0xFD: 10111111
    560, 46780,  // stop mark, then idle to 108000
}};

// RC5: Manchester halves of 32 periods of 36 kHz (888.9 us), a 1 as space
// then mark, 14 bits most significant first: start bits 1 1, toggle 0,
// 5 address bits, 6 command bits; 64 bit times (113778 us) a frame. The
// first half is idle, so the frame starts on the first start bit's mark.
// Halves of 0x05 / 0x35 (- idle, M mark, S space), and the runs they make:
//   start 1 -M, start 1 SM, toggle 0 MS, address 00101 MS MS SM MS SM,
//   command 110101 SM SM MS SM MS SM
//   M S MM S M S M SS MM SS M S M S MM SS MM SS M
const TReference_Frame Rc5{"RC5", {TProtocol::RC5, 0x05, 0x35}, 36000, {
    889, 889, 1778, 888, 889, 889, 889, 1778, 1778, 1777, 889, 889, 889, 889, 1778, 1778, 1777, 1778, 889,
    89778,  // idle to 113778
}};

// RC5X: RC5 with the second start bit carrying command bit 6 inverted:
// command 0x75 sends start bits 1 0, then the same as RC5's 0x05 / 0x35.
//   start 1 -M, start 0 MS, toggle 0 MS, ...
//   MM S M S M S M SS MM SS M S M S MM SS MM SS M
const TReference_Frame Rc5x{"RC5X", {TProtocol::RC5X, 0x05, 0x75}, 36000, {
    1778, 889, 889, 888, 889, 889, 889, 1778, 1778, 1777, 889, 889, 889, 889, 1778, 1778, 1777, 1778, 889,
    89778,  // idle to 113778
}};

// RC6 mode 0: units of 16 periods of 36 kHz (444.4 us); a 6-unit mark and a
// 2-unit space as leader, then Manchester bits with a 1 as mark then space,
// most significant first: start bit 1, mode 000, the toggle 0 with halves
// two units long, 8 address bits, 8 command bits; 240 units (106667 us) a
// frame. Halves of 0x00 / 0x0C:
//   start MS, mode SM SM SM, toggle SSMM, address 8 x SM,
//   command 00001100 SM SM SM SM MS MS SM SM
const TReference_Frame Rc6{"RC6", {TProtocol::RC6, 0x00, 0x0C}, 36000, {
    2667, 889,  // leader
    444, 889, 444, 445, 444, 445, 444,  // M SS M S M S M: start bit, mode
    889, 889,  // SS MM: the toggle
    444, 445, 444, 445, 444, 445, 444, 444,  // S M ...: address 0x00
    445, 444, 445, 444, 445, 444, 445, 444,  // ... S M
    444, 445, 444, 445, 444, 445, 444, 889,  // S M S M S M S MM: command 0000 1
    444, 445, 889, 444, 445, 444,  // S M SS M S M: command 100
    83556,  // idle to 106667
}};

// SIRC: 600 us units, a 2400 us header mark, then per bit a 600 us space and
// a 600 us (0) or 1200 us (1) mark, least significant first: 7 command bits,
// then the address; 45 ms a frame, 40 kHz.
const TReference_Frame Sirc{"SIRC", {TProtocol::SIRC, 0x01, 0x15}, 40000, {
    2400,  // header
    600, 1200, 600, 600, 600, 1200, 600, 600, 600, 1200, 600, 600, 600, 600,  // command 0x15: 1010100
    600, 1200, 600, 600, 600, 600, 600, 600, 600, 600,  // address 0x01: 10000
    25800,  // idle to 45000
}};

const TReference_Frame Sirc15{"SIRC15", {TProtocol::SIRC15, 0xA4, 0x33}, 40000, {
    2400,  // header
    600, 1200, 600, 1200, 600, 600, 600, 600, 600, 1200, 600, 1200, 600, 600,  // command 0x33: 1100110
    600, 600, 600, 600, 600, 1200, 600, 600, 600, 600, 600, 1200, 600, 600, 600, 1200,  // address 0xA4: 00100101
    20400,  // idle to 45000
}};

const TReference_Frame Sirc20{"SIRC20", {TProtocol::SIRC20, 0x1A5A, 0x4C}, 40000, {
    2400,  // header
    600, 600, 600, 600, 600, 1200, 600, 1200, 600, 600, 600, 600, 600, 1200,  // command 0x4C: 0011001
    600, 600, 600, 1200, 600, 600, 600, 1200, 600, 1200, 600, 600, 600, 1200,  // address 0x1A5A: 0101101
    600, 600, 600, 600, 600, 1200, 600, 600, 600, 1200, 600, 1200,  // 001011
    12600,  // idle to 45000
}};

// NEC42ext: NEC's timing, a 26-bit address and a 16-bit command as they
// are, least significant first; 227 units (127688 us) a frame.
const TReference_Frame Nec42_Ext{"NEC42ext", {TProtocol::NEC42ext, 0x1234567, 0xBEEF}, 38000, {
    9000, 4500,  // header
    563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 562, 563, 1687, 563, 1687, 563, 562,  // 0x67: 11100110
    563, 1687, 563, 562, 563, 1687, 563, 562, 563, 562, 563, 562, 563, 1687, 563, 562,  // 0x45: 10100010
    563, 1687, 563, 1687, 563, 562, 563, 562, 563, 562, 563, 1687, 563, 562, 563, 562,  // 0x23: 11000100
    563, 1687, 563, 562,  // 0x1 (bits 24-25): 10
    563, 1687, 563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 1687, 563, 1687, 563, 1687,  // 0xEF: 11110111
    563, 562, 563, 1687, 563, 1687, 563, 1687, 563, 1687, 563, 1687, 563, 562, 563, 1687,  // 0xBE: 01111101
    563, 38250,  // stop mark, then idle to 127688
}};

// Kaseikyo: 432 us units, a 3456 us mark and a 1728 us space, 48 bits least
// significant first, each a 432 us mark and a 432 us (0) or 1296 us (1)
// space, a stop mark; 296 units (127872 us) a frame, 37 kHz. Panasonic's
// TV power: the bytes 02 20 (vendor 0x2002), 80 (its parity 0, genre 1 8),
// 00 (genre 2 0, command bits 0-3 0), 3D (command bits 4-9 0x3D, ID 0) and
// BD (80 ^ 00 ^ 3D): address 0x200280, command 0x3D0.
const TReference_Frame Kaseikyo{"Kaseikyo", {TProtocol::Kaseikyo, 0x200280, 0x3D0}, 37000, {
    3456, 1728,  // header
    432, 432, 432, 1296, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432,  // 0x02: 01000000
    432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 1296, 432, 432, 432, 432,  // 0x20: 00000100
    432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 1296,  // 0x80: 00000001
    432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432, 432,  // 0x00: 00000000
    432, 1296, 432, 432, 432, 1296, 432, 1296, 432, 1296, 432, 1296, 432, 432, 432, 432,  // 0x3D: 10111100
    432, 1296, 432, 432, 432, 1296, 432, 1296, 432, 1296, 432, 1296, 432, 432, 432, 1296,  // 0xBD: 10111101
    432, 68688,  // stop mark, then idle to 127872
}};

// RCA: 500 us units, a 4000 us mark and space, 24 bits, each a 500 us mark
// and a 1000 us (0) or 2000 us (1) space, a stop mark; 64 ms a frame,
// 56 kHz. The published example, address $A and command $68 sent most
// significant first (1010 01101000, then both inverted), is in the
// Flipper's least-significant-first numbering address 0x5, command 0x16.
const TReference_Frame Rca{"RCA", {TProtocol::RCA, 0x5, 0x16}, 56000, {
    4000, 4000,  // header
    500, 2000, 500, 1000, 500, 2000, 500, 1000,  // address 0x5: 1010
    500, 1000, 500, 2000, 500, 2000, 500, 1000, 500, 2000, 500, 1000, 500, 1000, 500, 1000,  // 0x16: 01101000
    500, 1000, 500, 2000, 500, 1000, 500, 2000,  // ~address 0xA: 0101
    500, 2000, 500, 1000, 500, 1000, 500, 2000, 500, 1000, 500, 2000, 500, 2000, 500, 2000,  // 0xE9: 10010111
    500, 7500,  // stop mark, then idle to 64000
}};

// Pioneer: NEC's frame at 40 kHz, its unit 21.375 periods (534.375 us): an
// 8550 us mark and a 4275 us space, 32 bits least significant first, each
// a unit's mark and a 1-unit (0) or 3-unit (1) space, a stop mark; 168
// units (89775 us) a frame. The receiver's device 0xA5 (165), command 0x44.
const TReference_Frame Pioneer{"Pioneer", {TProtocol::Pioneer, 0xA5, 0x44}, 40000, {
    8550, 4275,  // header
    534, 1604, 534, 534, 535, 1603, 534, 535, 534, 534, 535, 1603, 534, 535, 534, 1603,  // 0xA5: 10100101
    534, 535, 534, 1603, 535, 534, 534, 1604, 534, 1603, 534, 535, 534, 1603, 535, 534,  // 0x5A: 01011010
    534, 535, 534, 535, 534, 1603, 534, 535, 534, 535, 534, 534, 535, 1603, 534, 535,  // 0x44: 00100010
    534, 1603, 534, 1604, 534, 534, 535, 1603, 534, 1603, 535, 1603, 534, 535, 534, 1603,  // 0xBB: 11011101
    534, 25116,  // stop mark, then idle to 89775
}};
// clang-format on

const TReference_Frame Frames[] = {Nec,  Nec_Ext, Nec42,  Samsung32, Rc5,      Rc5x, Rc6,
                                   Sirc, Sirc15,  Sirc20, Nec42_Ext, Kaseikyo, Rca,  Pioneer};

INSTANTIATE_TEST_SUITE_P(Every_Protocol, Reference_Frame_Test, ::testing::ValuesIn(Frames),
                         [](const auto& info) { return std::string(info.param.Name); });

// A protocol added without its frame above fails here.
TEST(Reference_Frame_Coverage, Every_Protocol_Has_One_Reference_Frame) {
    for (const TProtocol_Info& info : All_Protocols()) {
        int found = 0;
        for (const TReference_Frame& frame : Frames) found += frame.Code.Protocol == info.Protocol ? 1 : 0;
        EXPECT_EQ(found, 1) << info.Name;
    }
}

}  // namespace
}  // namespace qev
