// Telling a heard signal from a learned one when no protocol names them.
#include "ir/signal_match.h"

#include "ir/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qev {
namespace {

// A raw signal of no known protocol: uneven marks and spaces.
const std::vector<int32_t> Learned_us = {3000, 1000, 500, 1500, 500, 500, 1000, 2000, 500, 700, 1500};

TLevels Levels(const std::vector<int32_t>& durations, double scale = 1.0, int32_t idle_us = 40000) {
    std::vector<int32_t> scaled;
    for (const int32_t us : durations) scaled.push_back(static_cast<int32_t>(std::lround(us * scale)));
    scaled.push_back(idle_us);
    return Sample_Timing({scaled, 38000}, 1 << 20);
}

TEST(Signal_Match, Allows_A_Remote_s_Clock_And_A_Receiver_s_Edges) {
    struct TCase {
        const char* Name;
        TLevels Heard;
        TLevels Learned;
        bool Same;
    };
    std::vector<int32_t> nudged = Learned_us;
    nudged[0] += 250;  // two samples longer leader mark
    nudged[1] -= 250;
    std::vector<int32_t> other = Learned_us;
    other[4] = 1500;  // a short mark became a long one
    std::vector<int32_t> longer = Learned_us;
    longer.insert(longer.end(), {1000, 500});  // one more space and mark
    std::vector<int32_t> two_frames = Learned_us;
    two_frames.push_back(30000);
    two_frames.insert(two_frames.end(), Learned_us.begin(), Learned_us.end());
    const TCase cases[] = {
        {"the same samples", Levels(Learned_us), Levels(Learned_us), true},
        {"a remote 5 % slow", Levels(Learned_us, 1.05), Levels(Learned_us), true},
        {"a remote 5 % fast", Levels(Learned_us, 0.95), Levels(Learned_us), true},
        {"a remote 9 % fast", Levels(Learned_us, 0.91), Levels(Learned_us), true},
        {"a remote 15 % slow is another signal", Levels(Learned_us, 1.15), Levels(Learned_us), false},
        {"edges moved by two samples", Levels(nudged), Levels(Learned_us), true},
        {"a mark three times as long", Levels(other), Levels(Learned_us), false},
        {"the first part of a longer signal", Levels(Learned_us), Levels(longer), false},
        {"a longer signal than learned", Levels(longer), Levels(Learned_us), false},
        {"the first frame of a learned repetition", Levels(Learned_us), Levels(two_frames), true},
        {"nothing heard", TLevels(200, 0), Levels(Learned_us), false},
        {"nothing learned", Levels(Learned_us), TLevels(200, 0), false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Same_Signal(c.Heard, c.Learned, 160), c.Same) << c.Name;
    }
}

}  // namespace
}  // namespace qev
