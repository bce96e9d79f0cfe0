// The timing of each protocol, written once: the encoders build frames from
// these records and the decoder measures against them. Times are the
// protocols' nominal ones in microseconds, derived from each protocol's unit
// where the protocol is built on one.
//
// A frame is a header (a mark and a space, when the protocol has one), the
// bits in the order of Msb_First, and a stop mark (when it has one); the
// last space lasts until Frame_Period_us from the frame's first mark. What
// a protocol adds to this is its bit order: which field goes to which bits
// (Frame_Bits in protocols.cpp, the fields in decoder.cpp).
#ifndef QEV_IR_PROTOCOL_TIMING_H
#define QEV_IR_PROTOCOL_TIMING_H

#include "ir/ir_signal.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace qev {

enum class TBit_Coding {
    // Each bit a mark and a space of the lengths given for a 0 or a 1:
    // pulse distance (NEC: the space tells) and pulse width (Sony: the mark
    // tells) alike.
    Pulse,
    // Each bit two halves of one unit, one marked: a 1 is mark then space
    // when One_Mark_First, space then mark otherwise (Manchester).
    Biphase,
};

struct TBit_Timing {
    double Mark_us = 0;
    double Space_us = 0;
};

struct TProtocol_Timing {
    TBit_Coding Coding = TBit_Coding::Pulse;
    double Unit_us = 0;          // the protocol's unit; a bi-phase bit's half
    double Header_Mark_us = 0;   // 0: no header
    double Header_Space_us = 0;  // after the header mark
    TBit_Timing Zero{};          // Pulse: a 0 bit
    TBit_Timing One{};           // Pulse: a 1 bit
    bool One_Mark_First = true;  // Biphase: the order of a 1's halves
    double Stop_Mark_us = 0;     // after the last bit; 0: none
    int Bits = 0;                // in one frame
    bool Msb_First = false;
    int Long_Bit = -1;  // Biphase: the bit (counting from the first sent) whose halves last two units; -1: none
    // The repeat form: 0 when a held key sends the whole frame again; else
    // the space of a short repeat frame (header mark, this space, stop mark).
    double Repeat_Space_us = 0;
    int32_t Frame_Period_us = 0;  // from the start of one frame to the start of the next
    int32_t Carrier_Hz = 0;       // the usual carrier of its remotes
};

namespace protocol_timing {

// The nearest whole microsecond of a (non-negative) duration, a half rounded
// up; exact where adding 0.5 before truncating would not be (0.49999999999999994).
constexpr int32_t Whole_us(double us) {
    const auto whole = static_cast<int32_t>(us);
    return us - whole >= 0.5 ? whole + 1 : whole;
}

// NEC: 562.5 us units, a 16-unit mark and an 8-unit space as header, bits
// least significant first of a unit's mark and a 1-unit (0) or 3-unit (1)
// space, a stop mark, a frame every 108 ms. A held key sends repeat frames:
// header mark, 4-unit space, stop mark. A frame of 42 bits without
// inverses (NEC42ext) may last 193 units; it comes every 227 (127.7 ms),
// which fits a command row of 1024 samples and leaves it a 34-unit gap.
constexpr double Nec_Unit = 562.5;
constexpr TProtocol_Timing Nec(int bits, int period_units = 192) {
    return {.Unit_us = Nec_Unit,
            .Header_Mark_us = 16 * Nec_Unit,
            .Header_Space_us = 8 * Nec_Unit,
            .Zero = {Nec_Unit, Nec_Unit},
            .One = {Nec_Unit, 3 * Nec_Unit},
            .Stop_Mark_us = Nec_Unit,
            .Bits = bits,
            .Repeat_Space_us = 4 * Nec_Unit,
            .Frame_Period_us = Whole_us(period_units * Nec_Unit),
            .Carrier_Hz = 38000};
}

// Samsung32: a 4.5 ms mark and space as header, bits least significant
// first of a 560 us mark and a 560 us (0) or 1690 us (1) space, a stop
// mark, a frame every 108 ms, the whole frame again for a held key. Its
// times are not whole units: they are written as they are published.
constexpr double Samsung_Unit = 560;
constexpr TProtocol_Timing Samsung{.Unit_us = Samsung_Unit,
                                   .Header_Mark_us = 4500,
                                   .Header_Space_us = 4500,
                                   .Zero = {Samsung_Unit, Samsung_Unit},
                                   .One = {Samsung_Unit, 1690},
                                   .Stop_Mark_us = Samsung_Unit,
                                   .Bits = 32,
                                   .Frame_Period_us = 108000,
                                   .Carrier_Hz = 38000};

// RC5: Manchester halves of 32 periods of 36 kHz (888.9 us), a 1 space
// then mark, 14 bits most significant first (two start bits, the toggle,
// 5 address and 6 command bits), no header; the first start bit's first
// half is idle time. A frame every 64 bit times (113.778 ms).
constexpr int32_t Rc5_Carrier_Hz = 36000;
constexpr double Rc5_Unit = 32e6 / Rc5_Carrier_Hz;
constexpr TProtocol_Timing Rc5{.Coding = TBit_Coding::Biphase,
                               .Unit_us = Rc5_Unit,
                               .One_Mark_First = false,
                               .Bits = 14,
                               .Msb_First = true,
                               .Frame_Period_us = Whole_us(128 * Rc5_Unit),
                               .Carrier_Hz = Rc5_Carrier_Hz};

// RC6 mode 0: units of 16 periods of 36 kHz (444.4 us), a 6-unit mark and
// a 2-unit space as leader, then Manchester bits with a 1 mark then space,
// most significant first: the start bit, 3 mode bits, the toggle (bit 4,
// its halves two units long), 8 address and 8 command bits. A frame every
// 240 units (106.667 ms).
constexpr int32_t Rc6_Carrier_Hz = 36000;
constexpr double Rc6_Unit = 16e6 / Rc6_Carrier_Hz;
constexpr TProtocol_Timing Rc6{.Coding = TBit_Coding::Biphase,
                               .Unit_us = Rc6_Unit,
                               .Header_Mark_us = 6 * Rc6_Unit,
                               .Header_Space_us = 2 * Rc6_Unit,
                               .One_Mark_First = true,
                               .Bits = 21,
                               .Msb_First = true,
                               .Long_Bit = 4,
                               .Frame_Period_us = Whole_us(240 * Rc6_Unit),
                               .Carrier_Hz = Rc6_Carrier_Hz};

// Sony SIRC: 600 us units, a 4-unit header mark, then bits least
// significant first, each a unit's space and a mark of 1 unit (0) or 2
// units (1), here written as the mark and the space after it. 7 command
// bits, then 5, 8 or 13 address bits; a frame every 45 ms.
constexpr double Sirc_Unit = 600;
constexpr TProtocol_Timing Sirc(int bits) {
    return {.Unit_us = Sirc_Unit,
            .Header_Mark_us = 4 * Sirc_Unit,
            .Header_Space_us = Sirc_Unit,
            .Zero = {Sirc_Unit, Sirc_Unit},
            .One = {2 * Sirc_Unit, Sirc_Unit},
            .Bits = bits,
            .Frame_Period_us = Whole_us(75 * Sirc_Unit),
            .Carrier_Hz = 40000};
}

// Kaseikyo (Panasonic and the other makers of the Japanese association's
// format): 432 us units, an 8-unit mark and a 4-unit space as header, 48
// bits least significant first of a unit's mark and a 1-unit (0) or 3-unit
// (1) space, a stop mark, at 37 kHz. A held key sends the whole frame
// again, about every 130 ms; here every 296 units (127.9 ms), so that a
// frame and its gap fit a command row of 1024 samples (128 ms), and the
// longest frame (205 units) keeps a gap of 91 units (39 ms).
constexpr double Kaseikyo_Unit = 432;
constexpr TProtocol_Timing Kaseikyo{.Unit_us = Kaseikyo_Unit,
                                    .Header_Mark_us = 8 * Kaseikyo_Unit,
                                    .Header_Space_us = 4 * Kaseikyo_Unit,
                                    .Zero = {Kaseikyo_Unit, Kaseikyo_Unit},
                                    .One = {Kaseikyo_Unit, 3 * Kaseikyo_Unit},
                                    .Stop_Mark_us = Kaseikyo_Unit,
                                    .Bits = 48,
                                    .Frame_Period_us = Whole_us(296 * Kaseikyo_Unit),
                                    .Carrier_Hz = 37000};

// RCA: 500 us units, an 8-unit mark and an 8-unit space as header (4 ms
// each), 24 bits of a unit's mark and a 2-unit (0) or 4-unit (1) space, a
// stop mark, at 56 kHz. Every bit is sent again inverted, so each frame
// lasts 113 units; a held key sends the whole frame every 128 units (64 ms).
// The bits go least significant first as the Flipper numbers them: its
// address and command are the published most-significant-first fields
// read backwards, and the frame on the air is the same.
constexpr double Rca_Unit = 500;
constexpr TProtocol_Timing Rca{.Unit_us = Rca_Unit,
                               .Header_Mark_us = 8 * Rca_Unit,
                               .Header_Space_us = 8 * Rca_Unit,
                               .Zero = {Rca_Unit, 2 * Rca_Unit},
                               .One = {Rca_Unit, 4 * Rca_Unit},
                               .Stop_Mark_us = Rca_Unit,
                               .Bits = 24,
                               .Frame_Period_us = Whole_us(128 * Rca_Unit),
                               .Carrier_Hz = 56000};

// Pioneer: NEC's frame counted in periods of a 40 kHz carrier instead of
// 38 kHz, so a unit of 21.375 periods is 534.375 us (NEC's times 0.95): a
// 16-unit mark and an 8-unit space as header, 32 bits least significant
// first (address, ~address, command, ~command), a stop mark. A held key
// sends the whole frame again (no short repeat frames), one every 168 units
// (89.775 ms): the frame's 121 units and a 47-unit (25 ms) gap. That gap,
// shorter than NEC's 71 units, is what tells the two apart when sampled.
constexpr int32_t Pioneer_Carrier_Hz = 40000;
constexpr double Pioneer_Unit = Nec_Unit * 38000 / Pioneer_Carrier_Hz;
constexpr TProtocol_Timing Pioneer{.Unit_us = Pioneer_Unit,
                                   .Header_Mark_us = 16 * Pioneer_Unit,
                                   .Header_Space_us = 8 * Pioneer_Unit,
                                   .Zero = {Pioneer_Unit, Pioneer_Unit},
                                   .One = {Pioneer_Unit, 3 * Pioneer_Unit},
                                   .Stop_Mark_us = Pioneer_Unit,
                                   .Bits = 32,
                                   .Frame_Period_us = Whole_us(168 * Pioneer_Unit),
                                   .Carrier_Hz = Pioneer_Carrier_Hz};

// In the order of TProtocol.
constexpr std::array<TProtocol_Timing, 14> All{{
    Nec(32),       // NEC
    Nec(32),       // NECext
    Nec(42),       // NEC42
    Samsung,       // Samsung32
    Rc5,           // RC5
    Rc5,           // RC5X: RC5 with the second start bit as command bit 6, inverted
    Rc6,           // RC6
    Sirc(12),      // SIRC
    Sirc(15),      // SIRC15
    Sirc(20),      // SIRC20
    Nec(42, 227),  // NEC42ext: 26-bit address and 16-bit command, no inverses
    Kaseikyo,      // Kaseikyo
    Rca,           // RCA
    Pioneer,       // Pioneer
}};

}  // namespace protocol_timing

constexpr const TProtocol_Timing& Protocol_Timing(TProtocol protocol) {
    return protocol_timing::All[static_cast<std::size_t>(protocol)];
}

}  // namespace qev

#endif
