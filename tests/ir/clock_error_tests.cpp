// Decoding remotes whose clock is off: a ceramic resonator a few per cent
// fast or slow scales every time of a frame alike. Each protocol's codes,
// scaled, sampled as the program samples and decoded, must name the same
// protocol, address and command, also with each edge a sample early at
// random (a late sample reads the level after the edge).
#include "ir/decoder.h"
#include "ir/protocols.h"
#include "ir/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace qev {
namespace {

constexpr int32_t Plenty = 1 << 20;

// The clock errors tried: within 5 % as real remotes are, and 10 %.
constexpr double Scales[] = {0.90, 0.95, 0.97, 1.03, 1.05, 1.10};

// Every edge at its time multiplied by `scale`, rounded to the microsecond
// on its absolute time so that rounding does not add up along the frame.
TIR_Timing Scaled(const TIR_Timing& timing, double scale) {
    TIR_Timing scaled{{}, timing.Carrier_Hz};
    int64_t at = 0;
    int64_t previous = 0;
    for (const int32_t us : timing.Durations_us) {
        at += us;
        const auto edge = static_cast<int64_t>(std::llround(static_cast<double>(at) * scale));
        scaled.Durations_us.push_back(static_cast<int32_t>(edge - previous));
        previous = edge;
    }
    return scaled;
}

TLevels Sampled_At(const TIR_Code& code, double scale) { return Sample_Timing(Scaled(Encode(code), scale), Plenty); }

// Each edge on time or a sample early, at random.
TLevels Jittered(const TLevels& clean, std::mt19937& random) {
    TLevels levels = clean;
    for (std::size_t i = 1; i + 1 < clean.size(); ++i) {
        if (clean[i] != clean[i - 1] && random() % 2 != 0) levels[i - 1] = clean[i];
    }
    return levels;
}

struct TClock_Case {
    const char* Name;
    TIR_Code Code;
};

class Clock_Error_Test : public ::testing::TestWithParam<TClock_Case> {};

TEST_P(Clock_Error_Test, Decodes_At_Every_Clock_Error) {
    const TIR_Code code = GetParam().Code;
    for (const double scale : Scales) {
        const auto decoded = Decode_Levels(Sampled_At(code, scale));
        ASSERT_TRUE(decoded.has_value()) << Describe_Code(code) << " at " << scale;
        EXPECT_EQ(decoded->Code, code) << "at " << scale << ": " << Describe_Decoded(decoded);
    }
}

TEST_P(Clock_Error_Test, Decodes_At_Every_Clock_Error_With_Jitter) {
    const TIR_Code code = GetParam().Code;
    for (const double scale : Scales) {
        const TLevels clean = Sampled_At(code, scale);
        for (unsigned seed = 1; seed <= 20; ++seed) {
            std::mt19937 random(seed);
            const auto decoded = Decode_Levels(Jittered(clean, random));
            ASSERT_TRUE(decoded.has_value()) << Describe_Code(code) << " at " << scale << " seed " << seed;
            EXPECT_EQ(decoded->Code, code) << "at " << scale << " seed " << seed << ": " << Describe_Decoded(decoded);
        }
    }
}

const TClock_Case Clock_Cases[] = {
    {"RC5_zero", {TProtocol::RC5, 0x00, 0x00}},
    {"RC5_tv_power", {TProtocol::RC5, 0x00, 0x0C}},
    {"RC5_top", {TProtocol::RC5, 0x1F, 0x3F}},
    {"RC5_mixed", {TProtocol::RC5, 0x15, 0x2A}},
    {"RC5_alternating", {TProtocol::RC5, 0x0A, 0x15}},
    {"RC5X_low", {TProtocol::RC5X, 0x03, 0x40}},
    {"RC5X_top", {TProtocol::RC5X, 0x1F, 0x7F}},
    {"RC5X_mixed", {TProtocol::RC5X, 0x0A, 0x55}},
    {"RC6_zero", {TProtocol::RC6, 0x00, 0x00}},
    {"RC6_tv_power", {TProtocol::RC6, 0x00, 0x0C}},
    {"RC6_top", {TProtocol::RC6, 0xFF, 0xFF}},
    {"RC6_mixed", {TProtocol::RC6, 0x5A, 0xA5}},
    {"RC6_alternating", {TProtocol::RC6, 0xAA, 0x55}},
    {"NEC_tv", {TProtocol::NEC, 0x04, 0x08}},
    {"NEC_mixed", {TProtocol::NEC, 0xA5, 0x5A}},
    {"Samsung32_tv", {TProtocol::Samsung32, 0x07, 0x02}},
    {"SIRC_power", {TProtocol::SIRC, 0x01, 0x15}},
    {"SIRC_top", {TProtocol::SIRC, 0x1F, 0x7F}},
    {"SIRC15_mixed", {TProtocol::SIRC15, 0xA4, 0x33}},
    {"SIRC20_mixed", {TProtocol::SIRC20, 0x1A5A, 0x4C}},
    {"NEC42ext_mixed", {TProtocol::NEC42ext, 0x1234567, 0xBEEF}},
    {"Kaseikyo_panasonic_power", {TProtocol::Kaseikyo, 0x200280, 0x3D0}},
    {"Kaseikyo_top", {TProtocol::Kaseikyo, 0x3FFFFFF, 0x3FF}},
    {"Kaseikyo_zero", {TProtocol::Kaseikyo, 0x0, 0x0}},
    {"RCA_example", {TProtocol::RCA, 0x5, 0x16}},
    {"RCA_top", {TProtocol::RCA, 0xF, 0xFF}},
    {"Pioneer_receiver", {TProtocol::Pioneer, 0xA5, 0x44}},
    {"Pioneer_top", {TProtocol::Pioneer, 0xFF, 0xFF}},
};

INSTANTIATE_TEST_SUITE_P(Protocols, Clock_Error_Test, ::testing::ValuesIn(Clock_Cases),
                         [](const auto& info) { return std::string(info.param.Name); });

// An RC5 frame whose clock is off must not fall through to SIRC, whose
// 2.4 ms leader a slow RC5 frame's two-half mark comes near: every RC5 and
// RC5X code at every clock error decodes to itself.
TEST(Clock_Error_Exhaustive, Every_Rc5_Code_Decodes_To_Itself_At_Every_Clock_Error) {
    for (const TProtocol protocol : {TProtocol::RC5, TProtocol::RC5X}) {
        const TProtocol_Info& info = Protocol_Info(protocol);
        const uint32_t first_command = protocol == TProtocol::RC5X ? 0x40 : 0;  // below it is RC5
        for (const double scale : Scales) {
            int failures = 0;
            for (uint32_t address = 0; address <= info.Address_Max; ++address) {
                for (uint32_t command = first_command; command <= info.Command_Max; ++command) {
                    const TIR_Code code{protocol, address, command};
                    const auto decoded = Decode_Levels(Sampled_At(code, scale));
                    if ((!decoded || decoded->Code != code) && failures++ < 5) {
                        ADD_FAILURE() << Describe_Code(code) << " at " << scale << " decodes to "
                                      << Describe_Decoded(decoded);
                    }
                }
            }
            EXPECT_EQ(failures, 0) << info.Name << " at " << scale;
        }
    }
}

}  // namespace
}  // namespace qev
