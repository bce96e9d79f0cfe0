#include "ir/protocols.h"

#include <array>
#include <cstdio>

namespace qev {
namespace {

// RC5's frame period is 64 bit times of 1.778 ms (113.778 ms); RC6's is
// 240 units of 444.4 us (106.667 ms); Sony repeats every 45 ms.
constexpr std::array<TProtocol_Info, 10> Protocols{{
    {TProtocol::NEC, "NEC", 0xFF, 0xFF, 108000, 38000},
    {TProtocol::NECext, "NECext", 0xFFFF, 0xFFFF, 108000, 38000},
    {TProtocol::NEC42, "NEC42", 0x1FFF, 0xFF, 108000, 38000},
    {TProtocol::Samsung32, "Samsung32", 0xFF, 0xFF, 108000, 38000},
    {TProtocol::RC5, "RC5", 0x1F, 0x3F, 113778, 36000},
    {TProtocol::RC5X, "RC5X", 0x1F, 0x7F, 113778, 36000},
    {TProtocol::RC6, "RC6", 0xFF, 0xFF, 106667, 36000},
    {TProtocol::SIRC, "SIRC", 0x1F, 0x7F, 45000, 40000},
    {TProtocol::SIRC15, "SIRC15", 0xFF, 0x7F, 45000, 40000},
    {TProtocol::SIRC20, "SIRC20", 0x1FFF, 0x7F, 45000, 40000},
}};

bool Same_Name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

}  // namespace

std::span<const TProtocol_Info> All_Protocols() { return Protocols; }

const TProtocol_Info& Protocol_Info(TProtocol protocol) { return Protocols[static_cast<std::size_t>(protocol)]; }

std::optional<TProtocol> Find_Protocol(std::string_view name) {
    for (const TProtocol_Info& info : Protocols) {
        if (Same_Name(name, info.Name)) return info.Protocol;
    }
    return std::nullopt;
}

std::optional<std::string> Code_Problem(const TIR_Code& code) {
    const TProtocol_Info& info = Protocol_Info(code.Protocol);
    if (code.Address > info.Address_Max) {
        return "address " + Hex(code.Address) + " is beyond " + info.Name + "'s " + Hex(info.Address_Max);
    }
    if (code.Command > info.Command_Max) {
        return "command " + Hex(code.Command) + " is beyond " + info.Name + "'s " + Hex(info.Command_Max);
    }
    return std::nullopt;
}

}  // namespace qev
