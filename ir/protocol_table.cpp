#include "ir/protocol_timing.h"
#include "ir/protocols.h"

#include "base/hex_text.h"
#include "base/text_case.h"

#include <array>

namespace qev {
namespace {

// The frame period and carrier come from the protocol's timing record.
constexpr TProtocol_Info Info(TProtocol protocol, const char* name, uint32_t address_max, uint32_t command_max) {
    const TProtocol_Timing& timing = Protocol_Timing(protocol);
    return {protocol, name, address_max, command_max, timing.Frame_Period_us, timing.Carrier_Hz};
}

constexpr std::array<TProtocol_Info, 14> Protocols{{
    Info(TProtocol::NEC, "NEC", 0xFF, 0xFF),
    Info(TProtocol::NECext, "NECext", 0xFFFF, 0xFFFF),
    Info(TProtocol::NEC42, "NEC42", 0x1FFF, 0xFF),
    Info(TProtocol::Samsung32, "Samsung32", 0xFF, 0xFF),
    Info(TProtocol::RC5, "RC5", 0x1F, 0x3F),
    Info(TProtocol::RC5X, "RC5X", 0x1F, 0x7F),
    Info(TProtocol::RC6, "RC6", 0xFF, 0xFF),
    Info(TProtocol::SIRC, "SIRC", 0x1F, 0x7F),
    Info(TProtocol::SIRC15, "SIRC15", 0xFF, 0x7F),
    Info(TProtocol::SIRC20, "SIRC20", 0x1FFF, 0x7F),
    Info(TProtocol::NEC42ext, "NEC42ext", 0x3FFFFFF, 0xFFFF),
    Info(TProtocol::Kaseikyo, "Kaseikyo", 0x3FFFFFF, 0x3FF),
    Info(TProtocol::RCA, "RCA", 0xF, 0xFF),
    Info(TProtocol::Pioneer, "Pioneer", 0xFF, 0xFF),
}};

}  // namespace

std::span<const TProtocol_Info> All_Protocols() { return Protocols; }

const TProtocol_Info& Protocol_Info(TProtocol protocol) { return Protocols[static_cast<std::size_t>(protocol)]; }

std::optional<TProtocol> Find_Protocol(std::string_view name) {
    for (const TProtocol_Info& info : Protocols) {
        if (Same_Ignoring_Case(name, info.Name)) return info.Protocol;
    }
    return std::nullopt;
}

std::optional<std::string> Code_Problem(const TIR_Code& code) {
    const TProtocol_Info& info = Protocol_Info(code.Protocol);
    if (code.Address > info.Address_Max) {
        return "address " + Hex_Number(code.Address) + " is beyond " + info.Name + "'s " + Hex_Number(info.Address_Max);
    }
    if (code.Command > info.Command_Max) {
        return "command " + Hex_Number(code.Command) + " is beyond " + info.Name + "'s " + Hex_Number(info.Command_Max);
    }
    return std::nullopt;
}

}  // namespace qev
