// Encoding protocol codes, sampling them at 8 kHz and decoding them again.
#include "base/sample_grid.h"
#include "ir/decoder.h"
#include "ir/protocols.h"
#include "ir/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace qev {
namespace {

constexpr int32_t Plenty = 1 << 20;

TLevels Sampled(const TIR_Code& code) { return Sample_Timing(Encode(code), Plenty); }

// Levels of several copies of one sampled frame, one after another.
TLevels Repeated(const TLevels& frame, int copies) {
    TLevels levels;
    for (int i = 0; i < copies; ++i) levels.insert(levels.end(), frame.begin(), frame.end());
    return levels;
}

struct TRound_Trip {
    const char* Name;
    TIR_Code Code;
};

class Round_Trip_Test : public ::testing::TestWithParam<TRound_Trip> {};

TEST_P(Round_Trip_Test, Decodes_To_The_Encoded_Code) {
    const TIR_Code code = GetParam().Code;
    const TLevels levels = Sampled(code);
    ASSERT_FALSE(levels.empty());
    const auto decoded = Decode_Levels(levels);
    ASSERT_TRUE(decoded.has_value()) << Describe_Code(code);
    EXPECT_EQ(decoded->Code, code) << Describe_Decoded(decoded);
    EXPECT_EQ(decoded->Repeats, 0);
    // The frame lasts exactly the protocol's period, so copies come at its spacing.
    EXPECT_EQ(static_cast<int64_t>(levels.size()), Sample_Of_us(Protocol_Info(code.Protocol).Frame_Period_us));

    const auto thrice = Decode_Levels(Repeated(levels, 3));
    ASSERT_TRUE(thrice.has_value());
    EXPECT_EQ(thrice->Code, code);
    EXPECT_EQ(thrice->Repeats, 2);
    EXPECT_EQ(thrice->Last_Frame_Start, 2 * static_cast<int32_t>(levels.size()));
}

// A receiver module stretches or shortens its marks; a capture on a busy
// host may take a sample late. Every mark a sample longer, then a sample
// shorter, must still decode.
TEST_P(Round_Trip_Test, Decodes_With_Marks_A_Sample_Longer_Or_Shorter) {
    const TIR_Code code = GetParam().Code;
    for (const int change : {+1, -1}) {
        TLevels levels = Sampled(code);
        for (std::size_t i = 1; i < levels.size(); ++i) {
            if (levels[i] != 0 || levels[i - 1] == 0) continue;  // i: the first idle sample after a mark
            if (change > 0) {
                levels[i] = 1;
                ++i;
            } else {
                levels[i - 1] = 0;
            }
        }
        const auto decoded = Decode_Levels(levels);
        ASSERT_TRUE(decoded.has_value()) << Describe_Code(code) << " marks changed by " << change;
        EXPECT_EQ(decoded->Code, code);
    }
}

// A sample taken late reads the level after an edge that came between its
// due time and the read, so a capture's edges come on time or a sample
// early. Every edge either way at random (a fixed seed per run):
TEST_P(Round_Trip_Test, Decodes_With_Every_Edge_Jittered_By_A_Sample) {
    const TIR_Code code = GetParam().Code;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        const TLevels clean = Sampled(code);
        TLevels levels = clean;
        for (std::size_t i = 1; i + 1 < clean.size(); ++i) {
            if (clean[i] == clean[i - 1]) continue;
            if (random() % 2 != 0) levels[i - 1] = clean[i];
        }
        const auto decoded = Decode_Levels(levels);
        ASSERT_TRUE(decoded.has_value()) << Describe_Code(code) << " seed " << seed;
        EXPECT_EQ(decoded->Code, code) << "seed " << seed;
    }
}

// Values chosen so that no code reads as another protocol's: an NECext
// address is not a byte and its inverse, an RC5X command has bit 6 set.
const TRound_Trip Round_Trips[] = {
    {"NEC_low", {TProtocol::NEC, 0x04, 0x08}},
    {"NEC_zero", {TProtocol::NEC, 0x00, 0x00}},
    {"NEC_high", {TProtocol::NEC, 0xFF, 0xFF}},
    {"NEC_mixed", {TProtocol::NEC, 0xA5, 0x5A}},
    {"NECext_example", {TProtocol::NECext, 0x87EE, 0xA05D}},
    {"NECext_all_ones", {TProtocol::NECext, 0xFFFF, 0xFFFF}},
    {"NECext_command_not_inverted", {TProtocol::NECext, 0x1234, 0x0042}},
    {"NEC42_top", {TProtocol::NEC42, 0x1FFF, 0xFF}},
    {"NEC42_mixed", {TProtocol::NEC42, 0x0ABC, 0x3C}},
    {"Samsung32_tv", {TProtocol::Samsung32, 0x07, 0x02}},
    {"Samsung32_high", {TProtocol::Samsung32, 0xFF, 0xE6}},
    {"RC5_zero", {TProtocol::RC5, 0x00, 0x00}},
    {"RC5_tv_power", {TProtocol::RC5, 0x00, 0x0C}},
    {"RC5_top", {TProtocol::RC5, 0x1F, 0x3F}},
    {"RC5_mixed", {TProtocol::RC5, 0x15, 0x2A}},
    {"RC5X_low", {TProtocol::RC5X, 0x03, 0x40}},
    {"RC5X_top", {TProtocol::RC5X, 0x1F, 0x7F}},
    {"RC6_zero", {TProtocol::RC6, 0x00, 0x00}},
    {"RC6_tv_power", {TProtocol::RC6, 0x00, 0x0C}},
    {"RC6_top", {TProtocol::RC6, 0xFF, 0xFF}},
    {"RC6_mixed", {TProtocol::RC6, 0x5A, 0xA5}},
    {"SIRC_power", {TProtocol::SIRC, 0x01, 0x15}},
    {"SIRC_top", {TProtocol::SIRC, 0x1F, 0x7F}},
    {"SIRC_zero", {TProtocol::SIRC, 0x00, 0x00}},
    {"SIRC15_mixed", {TProtocol::SIRC15, 0xA4, 0x33}},
    {"SIRC15_top", {TProtocol::SIRC15, 0xFF, 0x7F}},
    {"SIRC20_mixed", {TProtocol::SIRC20, 0x1A5A, 0x4C}},
    {"SIRC20_top", {TProtocol::SIRC20, 0x1FFF, 0x7F}},
    {"NEC42ext_mixed", {TProtocol::NEC42ext, 0x1234567, 0xBEEF}},
    {"NEC42ext_top", {TProtocol::NEC42ext, 0x3FFFFFF, 0xFFFF}},
    {"NEC42ext_zero", {TProtocol::NEC42ext, 0x0, 0x0}},
    {"Kaseikyo_panasonic_power", {TProtocol::Kaseikyo, 0x200280, 0x3D0}},
    {"Kaseikyo_top", {TProtocol::Kaseikyo, 0x3FFFFFF, 0x3FF}},
    {"Kaseikyo_zero", {TProtocol::Kaseikyo, 0x0, 0x0}},
    {"Kaseikyo_id_2", {TProtocol::Kaseikyo, 0x2A5A5A5, 0x155}},
    {"RCA_example", {TProtocol::RCA, 0x5, 0x16}},
    {"RCA_top", {TProtocol::RCA, 0xF, 0xFF}},
    {"RCA_zero", {TProtocol::RCA, 0x0, 0x0}},
    {"Pioneer_receiver", {TProtocol::Pioneer, 0xA5, 0x44}},
    {"Pioneer_zero", {TProtocol::Pioneer, 0x00, 0x00}},
    {"Pioneer_top", {TProtocol::Pioneer, 0xFF, 0xFF}},
};

INSTANTIATE_TEST_SUITE_P(Every_Protocol, Round_Trip_Test, ::testing::ValuesIn(Round_Trips),
                         [](const auto& info) { return std::string(info.param.Name); });

// Every address and command of the protocols whose fields are small enough
// to try them all (NEC, RC5, RC5X, RC6, SIRC, SIRC15, RCA, Pioneer): each
// decodes to itself, except the RC5X commands below 64, which are RC5's.
TEST(Exhaustive_Round_Trip_Test, Every_Code_Of_The_Smaller_Protocols_Decodes_To_Itself) {
    for (const TProtocol protocol : {TProtocol::NEC, TProtocol::RC5, TProtocol::RC5X, TProtocol::RC6, TProtocol::SIRC,
                                     TProtocol::SIRC15, TProtocol::RCA, TProtocol::Pioneer}) {
        const TProtocol_Info& info = Protocol_Info(protocol);
        int failures = 0;
        for (uint32_t address = 0; address <= info.Address_Max; ++address) {
            for (uint32_t command = 0; command <= info.Command_Max; ++command) {
                const TIR_Code code{protocol, address, command};
                TIR_Code expected = code;
                if (protocol == TProtocol::RC5X && command < 0x40) expected.Protocol = TProtocol::RC5;
                const auto decoded = Decode_Levels(Sampled(code));
                if ((!decoded || decoded->Code != expected) && failures++ < 5) {
                    ADD_FAILURE() << Describe_Code(code) << " decodes to " << Describe_Decoded(decoded);
                }
            }
        }
        EXPECT_EQ(failures, 0) << info.Name;
    }
}

// The NEC frame as the protocol describes it, unit by unit.
TEST(Encode_Test, Nec_Frame_Is_The_Standard_One) {
    const TIR_Timing timing = Encode({TProtocol::NEC, 0x04, 0x08});
    ASSERT_EQ(timing.Durations_us.size(), 2u + 64u + 2u);
    EXPECT_EQ(timing.Durations_us[0], 9000);
    EXPECT_EQ(timing.Durations_us[1], 4500);
    EXPECT_EQ(timing.Carrier_Hz, 38000);
    // Address 0x04 least significant bit first: 0 0 1 0 0 0 0 0.
    std::vector<int32_t> first_spaces;
    for (int i = 0; i < 8; ++i) first_spaces.push_back(timing.Durations_us[3 + 2 * i]);
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(first_spaces[i], i == 2 ? 1687.5 : 562.5, 1) << "bit " << i;
    }
    const int64_t total = std::accumulate(timing.Durations_us.begin(), timing.Durations_us.end(), int64_t{0});
    EXPECT_EQ(total, 108000);
}

// Edges are rounded on their absolute time, so none drifts along the frame.
TEST(Encode_Test, Edge_Times_Stay_On_The_Half_Microsecond_Grid) {
    const TIR_Timing timing = Encode({TProtocol::NEC, 0x00, 0x00});  // all units odd and even in turn
    int64_t t = 0;
    for (const int32_t d : timing.Durations_us) {
        t += d;
        const double units = t / 562.5;
        EXPECT_LE(std::abs(units - std::round(units)) * 562.5, 0.5 + 1e-9) << "edge at " << t;
    }
}

TEST(Encode_Test, Codes_Beyond_A_Protocols_Fields_Are_Refused) {
    struct TCase {
        TIR_Code Code;
        const char* Problem;
    };
    const TCase cases[] = {
        {{TProtocol::NEC, 0x100, 0}, "address 0x100 is beyond NEC's 0xFF"},
        {{TProtocol::RC5, 0, 0x40}, "command 0x40 is beyond RC5's 0x3F"},
        {{TProtocol::SIRC, 0x20, 0}, "address 0x20 is beyond SIRC's 0x1F"},
        {{TProtocol::Kaseikyo, 0x4000000, 0}, "address 0x4000000 is beyond Kaseikyo's 0x3FFFFFF"},
        {{TProtocol::Kaseikyo, 0, 0x400}, "command 0x400 is beyond Kaseikyo's 0x3FF"},
        {{TProtocol::RCA, 0x10, 0}, "address 0x10 is beyond RCA's 0xF"},
        {{TProtocol::NEC42ext, 0, 0x10000}, "command 0x10000 is beyond NEC42ext's 0xFFFF"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Code_Problem(c.Code).value_or(""), c.Problem);
        EXPECT_TRUE(Encode(c.Code).Durations_us.empty());
    }
}

// No code of a protocol encodes longer than its longest encoding, and the
// bound is not far off: some code comes within a fifth of it (inverses
// keep half the bits of some protocols short).
TEST(Encode_Test, No_Code_Encodes_Longer_Than_Its_Protocols_Longest_Encoding) {
    std::mt19937 random(1210);
    for (const TProtocol_Info& info : All_Protocols()) {
        SCOPED_TRACE(info.Name);
        const int32_t bound = Longest_Encoding_us(info.Protocol);
        int64_t longest = 0;
        std::vector<TIR_Code> codes{{info.Protocol, 0, 0}, {info.Protocol, info.Address_Max, info.Command_Max}};
        for (int i = 0; i < 2000; ++i) {
            codes.push_back({info.Protocol, static_cast<uint32_t>(random() % (uint64_t{info.Address_Max} + 1)),
                             static_cast<uint32_t>(random() % (uint64_t{info.Command_Max} + 1))});
        }
        for (const TIR_Code& code : codes) {
            int64_t total = 0;
            for (const int32_t d : Encode(code).Durations_us) total += d;
            ASSERT_LE(total, bound) << code.Address << " " << code.Command;
            longest = std::max(longest, total);
        }
        EXPECT_GE(longest * 5, bound * 4);
    }
}

TEST(Protocol_Names_Test, Are_Found_In_Any_Case) {
    for (const TProtocol_Info& info : All_Protocols()) {
        std::string lower = info.Name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(Find_Protocol(lower), info.Protocol) << info.Name;
        EXPECT_EQ(Protocol_Info(info.Protocol).Name, info.Name);
    }
    EXPECT_FALSE(Find_Protocol("NEC1").has_value());
    EXPECT_FALSE(Find_Protocol("").has_value());
}

// The simulated remote's NEC frame with one repeat frame, sampled at the
// start of each sample period.
TEST(Decode_Test, Nec_With_A_Repeat_Frame) {
    TLevels levels = Sampled({TProtocol::NEC, 0x04, 0x08});
    TIR_Timing repeat;
    repeat.Durations_us = {9000, 2250, 563, 96187};
    const TLevels tail = Sample_Timing(repeat, Plenty);
    levels.insert(levels.end(), tail.begin(), tail.end());
    const auto decoded = Decode_Levels(levels);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(Describe_Decoded(decoded), "NEC  address 0x04  command 0x08  (+1 repeat)");
    EXPECT_EQ(decoded->Last_Frame_Start, 864);
}

// The times of an NEC-shaped frame, in us.
struct TNec_Shape {
    int32_t Header_Mark, Header_Space, Mark, Zero, One, Gap;
};

// `frames` copies of an NEC-shaped frame of 32 bits with inverted copies:
// each a header, the bits least significant first, a stop mark and the gap.
std::vector<int32_t> Nec_Shaped(uint32_t address, uint32_t command, const TNec_Shape& shape, int frames) {
    const uint32_t bits = address | (~address & 0xFFu) << 8 | command << 16 | (~command & 0xFFu) << 24;
    std::vector<int32_t> durations;
    const auto add = [&](int32_t mark, int32_t space) {
        durations.push_back(mark);
        durations.push_back(space);
    };
    for (int f = 0; f < frames; ++f) {
        add(shape.Header_Mark, shape.Header_Space);
        for (int i = 0; i < 32; ++i) add(shape.Mark, (bits >> i & 1u) != 0 ? shape.One : shape.Zero);
        add(shape.Mark, shape.Gap);
    }
    return durations;
}

// Pioneer's frame is NEC's with every time 5 % shorter, which a remote's
// clock error covers: the spacing of its frames, counted in the frame's own
// unit, tells the two apart (168 units start to start against NEC's 192).
// A frame at the signal's end with more idle after it than that says NEC.
TEST(Decode_Test, Pioneer_And_Nec_Are_Told_By_Their_Spacing) {
    struct Row {
        const char* Name;
        std::vector<int32_t> Durations_us;
        const char* Decoded;
    };
    const std::vector<Row> rows = {
        // NEC's times 5 % short, at NEC's spacing: an NEC remote whose clock is fast.
        {"nec_5_percent_fast", Nec_Shaped(0xA5, 0x44, {8550, 4275, 534, 534, 1603, 37575}, 1),
         "NEC  address 0xA5  command 0x44"},
        // Pioneer's times 5 % long (NEC's), at Pioneer's spacing.
        {"pioneer_5_percent_slow", Nec_Shaped(0xA5, 0x44, {9000, 4500, 563, 563, 1688, 26438}, 1),
         "Pioneer  address 0xA5  command 0x44"},
        // The Flipper's own Pioneer frames: 8500 and 4225 us header, 500 us
        // marks, 500 and 1500 us spaces, then 500 and 26000 us of idle.
        {"flipper_pioneer_sent_twice", Nec_Shaped(0xA5, 0x44, {8500, 4225, 500, 500, 1500, 26500}, 2),
         "Pioneer  address 0xA5  command 0x44  (+1 repeat)"},
        {"pioneer_held_then_a_long_idle_end",
         [] {
             std::vector<int32_t> d = Nec_Shaped(0xA5, 0x44, {8550, 4275, 534, 534, 1603, 25116}, 3);
             d.back() = 500000;
             return d;
         }(),
         "Pioneer  address 0xA5  command 0x44  (+2 repeats)"},
        {"one_pioneer_frame_then_a_long_idle_end", Nec_Shaped(0xA5, 0x44, {8550, 4275, 534, 534, 1603, 500000}, 1),
         "NEC  address 0xA5  command 0x44"},
        {"nec_ending_on_its_stop_mark",
         [] {
             std::vector<int32_t> d = Nec_Shaped(0x04, 0x08, {9000, 4500, 563, 563, 1688, 0}, 1);
             d.pop_back();
             return d;
         }(),
         "NEC  address 0x04  command 0x08"},
        // Remotes that send the whole NEC frame again, every 108 ms.
        {"nec_whole_frames_again", Nec_Shaped(0x04, 0x08, {9000, 4500, 563, 563, 1688, 39938}, 3),
         "NEC  address 0x04  command 0x08  (+2 repeats)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const auto decoded = Decode_Levels(Sample_Timing({row.Durations_us, 38000}, Plenty));
        EXPECT_EQ(Describe_Decoded(decoded), row.Decoded);
    }
}

// Decoding durations again at a length chosen from the first decode gives
// what decoding them at that length gives, wherever the longer idle end
// changes the runs: in a frame's closing gap, after a final mark, or not
// at all.
TEST(Decode_Test, Decoding_Again_At_A_Longer_Length_Is_Decoding_At_It) {
    const auto without_last = [](std::vector<int32_t> d) {
        d.pop_back();
        return d;
    };
    const auto frames = [](const TIR_Code& code, int count) {
        std::vector<int32_t> d;
        for (int i = 0; i < count; ++i) {
            const std::vector<int32_t> frame = Encode(code).Durations_us;
            d.insert(d.end(), frame.begin(), frame.end());
        }
        return d;
    };
    struct Row {
        const char* Name;
        std::vector<int32_t> Durations_us;
        int32_t Max_Samples;
        int32_t Length;  // the length asked for after the first decode
        const char* First;
        const char* Again;
    };
    const std::vector<Row> rows = {
        // Cut short it is NEC's frame; with idle to Pioneer's spacing, Pioneer's.
        {"pioneer_frame_ending_on_its_stop_mark",
         without_last(Nec_Shaped(0xA5, 0x44, {8500, 4225, 500, 500, 1500, 0}, 1)), Plenty, 90000 / 125,
         "NEC  address 0xA5  command 0x44", "Pioneer  address 0xA5  command 0x44"},
        {"pioneer_frames_ending_on_a_stop_mark",
         without_last(Nec_Shaped(0xA5, 0x44, {8500, 4225, 500, 500, 1500, 26500}, 3)), Plenty, 3 * 96000 / 125,
         "Pioneer  address 0xA5  command 0x44  (+2 repeats)", "Pioneer  address 0xA5  command 0x44  (+2 repeats)"},
        {"pioneer_frames_then_a_long_idle_end",
         without_last(Nec_Shaped(0xA5, 0x44, {8500, 4225, 500, 500, 1500, 26500}, 2)), Plenty, 4000,
         "Pioneer  address 0xA5  command 0x44  (+1 repeat)", "Pioneer  address 0xA5  command 0x44  (+1 repeat)"},
        {"rc5_frames_ending_on_a_mark", without_last(frames({TProtocol::RC5, 0x05, 0x21}, 3)), Plenty, 3000,
         "RC5  address 0x05  command 0x21  (+2 repeats)", "RC5  address 0x05  command 0x21  (+2 repeats)"},
        {"rc6_frame_already_long_enough", frames({TProtocol::RC6, 0x80, 0x0C}, 1), Plenty, 0,
         "RC6  address 0x80  command 0x0C", "RC6  address 0x80  command 0x0C"},
        {"cut_at_the_most_samples", frames({TProtocol::NEC, 0x04, 0x08}, 2), 1000, 5000,
         "NEC  address 0x04  command 0x08", "NEC  address 0x04  command 0x08"},
        {"nothing", {}, Plenty, 100, "Unknown protocol", "Unknown protocol"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        std::optional<TDecoded> first;
        const auto again =
            Decode_Durations_Again(row.Durations_us, row.Max_Samples, [&](const std::optional<TDecoded>& decoded) {
                first = decoded;
                return row.Length;
            });
        EXPECT_EQ(Describe_Decoded(first), row.First);
        EXPECT_EQ(Describe_Decoded(first), Describe_Decoded(Decode_Durations(row.Durations_us, row.Max_Samples)));
        EXPECT_EQ(Describe_Decoded(again), row.Again);
        const auto direct = Decode_Durations(row.Durations_us, row.Max_Samples, row.Length);
        ASSERT_EQ(again.has_value(), direct.has_value());
        if (!again) continue;
        EXPECT_EQ(Describe_Decoded(again), Describe_Decoded(direct));
        EXPECT_EQ(again->First_Frame_Start, direct->First_Frame_Start);
        EXPECT_EQ(again->Last_Frame_Start, direct->Last_Frame_Start);
    }
}

// A long signal is first looked at in its opening alone; what it decodes
// to is still what its samples decode to, whatever follows the opening.
TEST(Decode_Test, Long_Signals_Decode_As_Their_Samples_Do) {
    const auto then = [](std::vector<int32_t> d, const std::vector<int32_t>& more) {
        d.insert(d.end(), more.begin(), more.end());
        return d;
    };
    std::mt19937 random(7);
    const auto noise = [&](int count, int32_t low, int32_t high) {
        std::vector<int32_t> d;
        for (int i = 0; i < count; ++i) d.push_back(std::uniform_int_distribution<int32_t>(low, high)(random));
        return d;
    };
    // An air conditioner's frame: leader, then a long pulse-distance word.
    std::vector<int32_t> air{3100, 1600};
    for (int i = 0; i < 200; ++i) air.insert(air.end(), {430, i % 3 == 0 ? 1290 : 430});
    air.push_back(430);
    std::vector<int32_t> nec_held = Encode({TProtocol::NEC, 0x04, 0x08}).Durations_us;
    for (int i = 0; i < 100; ++i) nec_held.insert(nec_held.end(), {9000, 2250, 563, 96000});
    struct Row {
        const char* Name;
        std::vector<int32_t> Durations_us;
        int32_t Max_Samples;
        std::string Decoded;  // empty: whatever the samples decode to
    };
    const TIR_Code kaseikyo{TProtocol::Kaseikyo, 0x200280, 0x3D0};
    std::vector<Row> rows = {
        {"air_conditioner_frame", air, Plenty, "Unknown protocol"},
        {"air_conditioner_frame_cut_short", air, 100, "Unknown protocol"},
        {"kaseikyo_frame_then_noise", then(Encode(kaseikyo).Durations_us, noise(400, 200, 3000)), Plenty,
         Describe_Code(kaseikyo)},
        {"nec_held_for_100_repeats", nec_held, Plenty, "NEC  address 0x04  command 0x08  (+100 repeats)"},
        {"rc6_frames_then_noise",
         then(
             then(Encode({TProtocol::RC6, 0x04, 0x0C}).Durations_us, Encode({TProtocol::RC6, 0x04, 0x0C}).Durations_us),
             noise(500, 300, 900)),
         Plenty, "RC6  address 0x04  command 0x0C  (+1 repeat)"},
    };
    for (int i = 0; i < 200; ++i) rows.push_back({"random", noise(330 + i, 100, 12000), Plenty, ""});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const auto durations = Decode_Durations(row.Durations_us, row.Max_Samples);
        const auto samples = Decode_Levels(Levels_Of_Durations(row.Durations_us, row.Max_Samples));
        if (!row.Decoded.empty()) {
            EXPECT_EQ(Describe_Decoded(durations), row.Decoded);
        }
        ASSERT_EQ(Describe_Decoded(durations), Describe_Decoded(samples));
        const auto again =
            Decode_Durations_Again(row.Durations_us, row.Max_Samples, [](const std::optional<TDecoded>&) { return 0; });
        EXPECT_EQ(Describe_Decoded(again), Describe_Decoded(samples));
        if (!durations) continue;
        EXPECT_EQ(durations->First_Frame_Start, samples->First_Frame_Start);
        EXPECT_EQ(durations->Last_Frame_Start, samples->Last_Frame_Start);
    }
}

TEST(Decode_Test, What_Is_Not_A_Known_Protocol_Is_Unknown) {
    struct TCase {
        const char* Name;
        std::vector<int32_t> Durations;
    };
    const TCase cases[] = {
        {"nothing", {}},
        {"one_long_mark", {20000, 10000}},
        {"nec_leader_alone", {9000, 4500, 563, 40000}},
        {"rc6_leader_alone", {3420, 503}},
        {"rc6_leader_and_a_mark", {2666, 889, 444}},
        {"nec_with_31_bits", {}},  // built below
        {"regular_pulses", {500, 500, 500, 500, 500, 500, 500, 500, 500, 50000}},
    };
    for (const TCase& c : cases) {
        TIR_Timing timing;
        timing.Durations_us = c.Durations;
        if (std::string(c.Name) == "nec_with_31_bits") {
            timing = Encode({TProtocol::NEC, 0x04, 0x08});
            timing.Durations_us.erase(timing.Durations_us.begin() + 2, timing.Durations_us.begin() + 4);
        }
        const auto decoded = Decode_Levels(Sample_Timing(timing, Plenty));
        EXPECT_FALSE(decoded.has_value()) << c.Name << ": " << Describe_Decoded(decoded);
    }
    EXPECT_EQ(Describe_Decoded(std::nullopt), "Unknown protocol");
}

TEST(Decode_Test, Describes_Wide_Fields_With_Four_Digits_And_Counts_Repeats) {
    TDecoded decoded{{TProtocol::NECext, 0x87EE, 0xA05D}, 2, 0, 0};
    EXPECT_EQ(Describe_Decoded(decoded), "NECext  address 0x87EE  command 0xA05D  (+2 repeats)");
    EXPECT_EQ(Describe_Code({TProtocol::RC5, 0x1, 0xC}), "RC5  address 0x01  command 0x0C");
}

// Sampling rounds each edge's absolute time, never a duration, so durations
// that are not multiples of a sample keep every edge within half a sample.
TEST(Sampling_Test, Edges_Stay_Within_Half_A_Sample_Of_Their_Time) {
    TIR_Timing timing;
    for (int i = 0; i < 400; ++i) timing.Durations_us.push_back(i % 2 == 0 ? 190 + i % 7 : 310 + i % 11);
    const TLevels levels = Sample_Timing(timing, Plenty);
    int64_t t = 0;
    std::vector<int64_t> edges;
    for (const int32_t d : timing.Durations_us) edges.push_back(t += d);
    std::size_t k = 0;
    for (std::size_t i = 1; i < levels.size() && k < edges.size(); ++i) {
        if (levels[i] == levels[i - 1]) continue;
        const double sample_time = static_cast<double>(i) * Sample_Period_us;
        EXPECT_LE(std::abs(sample_time - static_cast<double>(edges[k])), Sample_Period_us / 2.0) << "edge " << k;
        ++k;
    }
    EXPECT_EQ(k, edges.size() - 1);  // the last space ends with the levels
}

TEST(Sampling_Test, Length_Padding_And_Cut) {
    struct TCase {
        const char* Name;
        std::vector<int32_t> Durations;
        int32_t Max, Min;
        std::size_t Length;
        std::size_t Active;
    };
    const TCase cases[] = {
        {"whole_samples", {250, 375}, 100, 0, 5, 2},
        {"half_rounds_up", {62, 63}, 100, 0, 1, 0},
        {"padded_to_minimum", {1000}, 100, 20, 20, 8},
        {"cut_at_maximum", {1000, 1000}, 10, 0, 10, 8},
        {"cut_inside_a_mark", {250, 250, 2000}, 6, 0, 6, 4},
        {"negative_durations_count_as_zero", {-500, 250}, 100, 0, 2, 0},
    };
    for (const TCase& c : cases) {
        TIR_Timing timing;
        timing.Durations_us = c.Durations;
        const TLevels levels = Sample_Timing(timing, c.Max, c.Min);
        EXPECT_EQ(levels.size(), c.Length) << c.Name;
        EXPECT_EQ(static_cast<std::size_t>(std::count(levels.begin(), levels.end(), 1)), c.Active) << c.Name;
    }
}

TEST(Sampling_Test, Levels_Give_Back_Their_Durations) {
    const TLevels levels{0, 0, 1, 1, 1, 0, 1, 0, 0, 0};
    const TIR_Timing timing = Timing_Of_Levels(levels);
    EXPECT_EQ(timing.Durations_us, (std::vector<int32_t>{375, 125, 125, 375}));
    EXPECT_EQ(Sample_Timing(timing, Plenty), TLevels(levels.begin() + 2, levels.end()));
    EXPECT_TRUE(Timing_Of_Levels(TLevels(5, 0)).Durations_us.empty());
}

}  // namespace
}  // namespace qev
