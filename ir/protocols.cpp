// The encoders: from a protocol, address and command to one frame's
// durations, built from the protocol's timing record (protocol_timing.h)
// and its bit order (Frame_Bits).
#include "ir/protocols.h"
#include "ir/protocol_timing.h"
#include "ir/timing_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qev {
namespace {

uint64_t Inverse(uint32_t value, int bits) { return ~static_cast<uint64_t>(value) & ((uint64_t{1} << bits) - 1); }

// Kaseikyo's six bytes, the first sent lowest: the vendor (two bytes), its
// parity (the xor of its four nibbles) with genre 1 above it, genre 2 with
// the command's low nibble above it, the command's high six bits with the
// 2-bit ID above them, and the xor of the three bytes before.
uint64_t Kaseikyo_Bytes(uint32_t address, uint32_t command) {
    const uint32_t vendor = address >> 8 & 0xFFFFu;
    const uint32_t genre1 = address >> 4 & 0xFu;
    const uint32_t genre2 = address & 0xFu;
    const uint32_t id = address >> 24 & 0x3u;
    const uint32_t vendor_xor = (vendor ^ vendor >> 8) & 0xFFu;
    const uint32_t parity = (vendor_xor ^ vendor_xor >> 4) & 0xFu;
    const uint32_t byte2 = parity | genre1 << 4;
    const uint32_t byte3 = genre2 | (command & 0xFu) << 4;
    const uint32_t byte4 = (command >> 4 & 0x3Fu) | id << 6;
    const uint32_t byte5 = byte2 ^ byte3 ^ byte4;
    return uint64_t{vendor} | uint64_t{byte2} << 16 | uint64_t{byte3} << 24 | uint64_t{byte4} << 32 |
           uint64_t{byte5} << 40;
}

}  // namespace

uint64_t Frame_Bits(const TIR_Code& code) {
    const uint64_t a = code.Address;
    const uint64_t c = code.Command;
    switch (code.Protocol) {
        case TProtocol::NEC:  // address, ~address, command, ~command
            return a | Inverse(code.Address, 8) << 8 | c << 16 | Inverse(code.Command, 8) << 24;
        case TProtocol::NECext:  // 16-bit address, 16-bit command
            return a | c << 16;
        case TProtocol::NEC42:  // 13-bit address and its inverse, command and its inverse
            return a | Inverse(code.Address, 13) << 13 | c << 26 | Inverse(code.Command, 8) << 34;
        case TProtocol::Samsung32:  // address twice, command, ~command
            return a | a << 8 | c << 16 | Inverse(code.Command, 8) << 24;
        case TProtocol::RC5:
        case TProtocol::RC5X: {
            // Start bits 1 and 1 (RC5X: the second is ~command bit 6), the
            // toggle clear, 5 address bits, 6 command bits.
            const uint64_t second_start = code.Protocol == TProtocol::RC5X ? (c >> 6 & 1u) ^ 1u : 1u;
            return uint64_t{1} << 13 | second_start << 12 | a << 6 | (c & 0x3Fu);
        }
        case TProtocol::RC6:  // start bit 1, mode 000, the toggle clear, address, command
            return uint64_t{1} << 20 | a << 8 | c;
        case TProtocol::SIRC:
        case TProtocol::SIRC15:
        case TProtocol::SIRC20:  // 7 command bits, then the address
            return c | a << 7;
        case TProtocol::NEC42ext:  // 26-bit address, 16-bit command
            return a | c << 26;
        case TProtocol::Kaseikyo:
            return Kaseikyo_Bytes(code.Address, code.Command);
        case TProtocol::RCA:  // address, command, ~address, ~command
            return a | c << 4 | Inverse(code.Address, 4) << 12 | Inverse(code.Command, 8) << 16;
        case TProtocol::Pioneer:  // as NEC
            return a | Inverse(code.Address, 8) << 8 | c << 16 | Inverse(code.Command, 8) << 24;
    }
    return 0;
}

namespace {

void Pulse_Bit(TTiming_Builder& out, bool one, const TProtocol_Timing& timing) {
    const TBit_Timing& bit = one ? timing.One : timing.Zero;
    out.Mark(bit.Mark_us);
    out.Space(bit.Space_us);
}

// A leading space (RC5's first half) is idle time, which the builder drops.
void Biphase_Bit(TTiming_Builder& out, bool one, const TProtocol_Timing& timing, double half) {
    if (one == timing.One_Mark_First) {
        out.Mark(half);
        out.Space(half);
    } else {
        out.Space(half);
        out.Mark(half);
    }
}

}  // namespace

TIR_Timing Encode(const TIR_Code& code) {
    if (Code_Problem(code)) return {};
    const TProtocol_Timing& timing = Protocol_Timing(code.Protocol);
    const uint64_t bits = Frame_Bits(code);
    // A header, two runs a bit and a stop mark and its space at most.
    TTiming_Builder out(2 * static_cast<std::size_t>(timing.Bits) + 4);
    out.Mark(timing.Header_Mark_us);
    out.Space(timing.Header_Space_us);
    for (int i = 0; i < timing.Bits; ++i) {
        const bool one = (bits >> (timing.Msb_First ? timing.Bits - 1 - i : i) & 1u) != 0;
        if (timing.Coding == TBit_Coding::Pulse) {
            Pulse_Bit(out, one, timing);
        } else {
            Biphase_Bit(out, one, timing, i == timing.Long_Bit ? 2 * timing.Unit_us : timing.Unit_us);
        }
    }
    out.Mark(timing.Stop_Mark_us);
    out.Space_Until(timing.Frame_Period_us);
    return out.Timing(timing.Carrier_Hz);
}

int32_t Longest_Encoding_us(TProtocol protocol) {
    const TProtocol_Timing& timing = Protocol_Timing(protocol);
    const bool pulse = timing.Coding == TBit_Coding::Pulse;
    const double longest_bit =
        pulse ? std::max(timing.One.Mark_us + timing.One.Space_us, timing.Zero.Mark_us + timing.Zero.Space_us)
              : 2 * timing.Unit_us;
    const double long_bit_extra = !pulse && timing.Long_Bit >= 0 ? 2 * timing.Unit_us : 0;
    const double frame = timing.Header_Mark_us + timing.Header_Space_us + timing.Bits * longest_bit + long_bit_extra +
                         timing.Stop_Mark_us;
    // The builder rounds the last edge to a whole microsecond.
    return static_cast<int32_t>(std::ceil(std::max(frame, static_cast<double>(timing.Frame_Period_us)))) + 1;
}

}  // namespace qev
