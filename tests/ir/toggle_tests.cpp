// Flipping the toggle bit of learned RC5, RC5X and RC6 frames per press.
#include "ir/toggle.h"

#include "base/sample_grid.h"
#include "ir/decoder.h"
#include "ir/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace qev {
namespace {

// Bi-phase halves written out by hand: each character of `halves` is one
// half bit, '1' infrared on, `unit_us * scale` long; `frames` frames 114 ms
// (times `scale`) apart. Sampled at 8 kHz, each sample the level at its
// middle, so every edge lands on the sample nearest it.
TLevels Biphase(const std::string& halves, double unit_us, int frames = 1, double scale = 1.0) {
    const double unit = unit_us * scale;
    const double period = 114000 * scale;
    TLevels levels;
    for (double t = Sample_Period_us / 2.0; t < frames * period; t += Sample_Period_us) {
        const double offset = std::fmod(t, period) - 1000;  // 1 ms idle before each frame
        const auto half = static_cast<std::size_t>(std::max(0.0, std::floor(offset / unit)));
        levels.push_back(offset >= 0 && half < halves.size() && halves[half] == '1' ? 1 : 0);
    }
    return levels;
}

// RC5 address 0x05, command 0x35: start bits 1 1, toggle T, 00101, 110101;
// a 1 is an idle half then a marked one.
std::string Rc5_Halves(char toggle) {
    const std::string bits = std::string("11") + toggle + "00101" + "110101";
    std::string halves;
    for (const char bit : bits) halves += bit == '1' ? "01" : "10";
    return halves;
}

// RC6 mode 0, address 0x05, command 0x35: a 6-unit mark and 2-unit space,
// start bit 1, mode 000, toggle T with two-unit halves, then 16 bits; a 1
// is a marked half then an idle one.
std::string Rc6_Halves(char toggle) {
    std::string halves = "11111100";
    for (const char bit : std::string("1000")) halves += bit == '1' ? "10" : "01";
    halves += toggle == '1' ? "1100" : "0011";
    for (const char bit : std::string("0000010100110101")) halves += bit == '1' ? "10" : "01";
    return halves;
}

constexpr double Rc5_Unit_us = 32e6 / 36000;
constexpr double Rc6_Unit_us = 16e6 / 36000;

// The levels' edges, as sample indexes.
std::vector<std::size_t> Edges(const TLevels& levels) {
    std::vector<std::size_t> edges;
    for (std::size_t i = 1; i < levels.size(); ++i) {
        if (levels[i] != levels[i - 1]) edges.push_back(i);
    }
    return edges;
}

// Every edge within one sample of the other's.
::testing::AssertionResult Same_Within_A_Sample(const TLevels& got, const TLevels& want) {
    const auto a = Edges(got);
    const auto b = Edges(want);
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << a.size() << " edges where " << b.size() << " were wanted";
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] + 1 < b[i] || b[i] + 1 < a[i])
            return ::testing::AssertionFailure() << "edge " << i << " at sample " << a[i] << ", wanted " << b[i];
    }
    return ::testing::AssertionSuccess();
}

TEST(Toggle, Press_Values_Are_Lircs) {
    // LIRC's first press: RC5 toggle 1, RC6 toggle 0 (its inverted bit 1).
    EXPECT_TRUE(Rc5_Toggle_Of_Press(1));
    EXPECT_FALSE(Rc5_Toggle_Of_Press(2));
    EXPECT_TRUE(Rc5_Toggle_Of_Press(3));
    EXPECT_FALSE(Rc6_Toggle_Of_Press(1));
    EXPECT_TRUE(Rc6_Toggle_Of_Press(2));
}

TEST(Toggle, Each_Press_Gets_Its_Toggle_In_Every_Frame) {
    struct TCase {
        const char* Name;
        std::string (*Halves)(char);
        double Unit_us;
        int Frames;
        double Scale;
        char Learned;
        int64_t Press;
        char Sent;
    };
    const TCase cases[] = {
        {"RC5 learned 0, first press sends 1", Rc5_Halves, Rc5_Unit_us, 1, 1.0, '0', 1, '1'},
        {"RC5 learned 0, second press keeps 0", Rc5_Halves, Rc5_Unit_us, 1, 1.0, '0', 2, '0'},
        {"RC5 learned 1, second press sends 0", Rc5_Halves, Rc5_Unit_us, 1, 1.0, '1', 2, '0'},
        {"RC5, three frames of one press all flip", Rc5_Halves, Rc5_Unit_us, 3, 1.0, '0', 1, '1'},
        {"RC5 from a remote 5 % fast", Rc5_Halves, Rc5_Unit_us, 2, 0.95, '0', 1, '1'},
        {"RC5 from a remote 5 % slow", Rc5_Halves, Rc5_Unit_us, 2, 1.05, '0', 1, '1'},
        {"RC6 learned 1, first press sends 0", Rc6_Halves, Rc6_Unit_us, 1, 1.0, '1', 1, '0'},
        {"RC6 learned 0, second press sends 1", Rc6_Halves, Rc6_Unit_us, 2, 1.0, '0', 2, '1'},
        {"RC6 from a remote 5 % fast", Rc6_Halves, Rc6_Unit_us, 2, 0.95, '1', 3, '0'},
        {"RC6 from a remote 5 % slow", Rc6_Halves, Rc6_Unit_us, 2, 1.05, '0', 2, '1'},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TLevels levels = Biphase(c.Halves(c.Learned), c.Unit_us, c.Frames, c.Scale);
        const TLevels want = Biphase(c.Halves(c.Sent), c.Unit_us, c.Frames, c.Scale);
        ASSERT_TRUE(Decode_Levels(levels).has_value());
        EXPECT_TRUE(Set_Press_Toggle(levels, c.Press));
        EXPECT_TRUE(Same_Within_A_Sample(levels, want));
        const auto decoded = Decode_Levels(levels);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->Repeats, c.Frames - 1);
    }
}

TEST(Toggle, Leaves_Other_Signals_Alone) {
    const TLevels nec = Sample_Timing({{9000, 4500, 563, 563, 563, 1688, 563, 40000}, 38000}, 1 << 20);
    struct TCase {
        const char* Name;
        TLevels Levels;
    };
    const TCase cases[] = {
        {"no signal", TLevels(100, 0)},
        {"an unknown signal", nec},
        {"an NEC frame", Sample_Timing({{9000, 4500, 563, 563,  563, 563,  563, 563,  563, 563,  563, 563,  563, 563,
                                         563,  563,  563, 563,  563, 1688, 563, 1688, 563, 1688, 563, 1688, 563, 1688,
                                         563,  1688, 563, 1688, 563, 1688, 563, 563,  563, 563,  563, 563,  563, 563,
                                         563,  563,  563, 563,  563, 563,  563, 563,  563, 1688, 563, 1688, 563, 1688,
                                         563,  1688, 563, 1688, 563, 1688, 563, 1688, 563, 1688, 563, 40000},
                                        38000},
                                       1 << 20)},
    };
    for (const TCase& c : cases) {
        TLevels levels = c.Levels;
        EXPECT_FALSE(Set_Press_Toggle(levels, 1)) << c.Name;
        EXPECT_EQ(levels, c.Levels) << c.Name;
    }
}

}  // namespace
}  // namespace qev
