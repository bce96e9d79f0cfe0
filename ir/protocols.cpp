// The encoders: from a protocol, address and command to one frame's
// durations. Times are the protocols' nominal ones.
#include "ir/protocols.h"
#include "ir/timing_builder.h"

#include <cstdint>

namespace qev {
namespace {

// NEC and its relatives: a leader, then pulse-distance bits least
// significant first (a short mark, then a short space for 0 or a long one
// for 1), then a stop mark.
constexpr double Nec_Unit = 562.5;
constexpr double Samsung_Unit = 560;
constexpr double Samsung_One_Space = 1690;
// Bi-phase units: RC5 half bits of 32 carrier periods at 36 kHz, RC6 units
// of 16.
constexpr double Rc5_Half = 32e6 / 36000;
constexpr double Rc6_Unit = 16e6 / 36000;
// Sony: 600 us units, pulse-width bits least significant first.
constexpr double Sirc_Unit = 600;

void Pulse_Distance_Bits(TTiming_Builder& out, uint64_t bits, int count, double mark, double zero_space,
                         double one_space) {
    for (int i = 0; i < count; ++i) {
        out.Mark(mark);
        out.Space(((bits >> i) & 1u) != 0 ? one_space : zero_space);
    }
}

uint64_t Inverse(uint32_t value, int bits) { return ~static_cast<uint64_t>(value) & ((uint64_t{1} << bits) - 1); }

void Nec_Frame(TTiming_Builder& out, uint64_t bits, int count) {
    out.Mark(16 * Nec_Unit);
    out.Space(8 * Nec_Unit);
    Pulse_Distance_Bits(out, bits, count, Nec_Unit, Nec_Unit, 3 * Nec_Unit);
    out.Mark(Nec_Unit);
}

// RC5 sends a 1 as space then mark, RC6 as mark then space; `halves` is
// the length of each half.
void Biphase_Bit(TTiming_Builder& out, bool one, bool mark_first_for_one, double halves) {
    const bool mark_first = one == mark_first_for_one;
    if (mark_first) {
        out.Mark(halves);
        out.Space(halves);
    } else {
        out.Space(halves);
        out.Mark(halves);
    }
}

void Biphase_Bits_Msb_First(TTiming_Builder& out, uint32_t value, int count, bool mark_first_for_one, double half) {
    for (int i = count - 1; i >= 0; --i) Biphase_Bit(out, ((value >> i) & 1u) != 0, mark_first_for_one, half);
}

void Rc5_Frame(TTiming_Builder& out, const TIR_Code& code) {
    const bool second_start = code.Protocol == TProtocol::RC5X ? (code.Command & 0x40u) == 0 : true;
    Biphase_Bit(out, true, false, Rc5_Half);  // its first half is idle time
    Biphase_Bit(out, second_start, false, Rc5_Half);
    Biphase_Bit(out, false, false, Rc5_Half);  // toggle
    Biphase_Bits_Msb_First(out, code.Address, 5, false, Rc5_Half);
    Biphase_Bits_Msb_First(out, code.Command & 0x3Fu, 6, false, Rc5_Half);
}

void Rc6_Frame(TTiming_Builder& out, const TIR_Code& code) {
    out.Mark(6 * Rc6_Unit);
    out.Space(2 * Rc6_Unit);
    Biphase_Bit(out, true, true, Rc6_Unit);             // start bit
    Biphase_Bits_Msb_First(out, 0, 3, true, Rc6_Unit);  // mode 0
    Biphase_Bit(out, false, true, 2 * Rc6_Unit);        // toggle, twice as long
    Biphase_Bits_Msb_First(out, code.Address, 8, true, Rc6_Unit);
    Biphase_Bits_Msb_First(out, code.Command, 8, true, Rc6_Unit);
}

void Sirc_Frame(TTiming_Builder& out, const TIR_Code& code, int address_bits) {
    out.Mark(4 * Sirc_Unit);
    const uint64_t bits = code.Command | (static_cast<uint64_t>(code.Address) << 7);
    const int count = 7 + address_bits;
    for (int i = 0; i < count; ++i) {
        out.Space(Sirc_Unit);
        out.Mark(((bits >> i) & 1u) != 0 ? 2 * Sirc_Unit : Sirc_Unit);
    }
}

}  // namespace

TIR_Timing Encode(const TIR_Code& code) {
    if (Code_Problem(code)) return {};
    TTiming_Builder out;
    const uint32_t a = code.Address;
    const uint32_t c = code.Command;
    switch (code.Protocol) {
        case TProtocol::NEC:
            Nec_Frame(out, a | Inverse(a, 8) << 8 | uint64_t{c} << 16 | Inverse(c, 8) << 24, 32);
            break;
        case TProtocol::NECext:
            Nec_Frame(out, a | uint64_t{c} << 16, 32);
            break;
        case TProtocol::NEC42:
            Nec_Frame(out, a | Inverse(a, 13) << 13 | uint64_t{c} << 26 | Inverse(c, 8) << 34, 42);
            break;
        case TProtocol::Samsung32:
            out.Mark(4500);
            out.Space(4500);
            Pulse_Distance_Bits(out, a | uint64_t{a} << 8 | uint64_t{c} << 16 | Inverse(c, 8) << 24, 32, Samsung_Unit,
                                Samsung_Unit, Samsung_One_Space);
            out.Mark(Samsung_Unit);
            break;
        case TProtocol::RC5:
        case TProtocol::RC5X:
            Rc5_Frame(out, code);
            break;
        case TProtocol::RC6:
            Rc6_Frame(out, code);
            break;
        case TProtocol::SIRC:
            Sirc_Frame(out, code, 5);
            break;
        case TProtocol::SIRC15:
            Sirc_Frame(out, code, 8);
            break;
        case TProtocol::SIRC20:
            Sirc_Frame(out, code, 13);
            break;
    }
    out.Space_Until(Protocol_Info(code.Protocol).Frame_Period_us);
    return out.Timing(Protocol_Info(code.Protocol).Carrier_Hz);
}

}  // namespace qev
