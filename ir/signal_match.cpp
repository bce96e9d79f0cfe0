#include "ir/signal_match.h"

#include "base/sample_grid.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qev {
namespace {

// The lengths of the runs, in samples, from the first mark to the end of the
// last one, marks at even indexes: the levels' durations without the idle
// end.
std::vector<int32_t> Runs_Of(std::span<const uint8_t> levels) {
    std::vector<int32_t> runs = Durations_Of_Levels(levels);
    if (runs.size() % 2 == 0 && !runs.empty()) runs.pop_back();
    for (int32_t& run : runs) run /= Sample_Period_us;
    return runs;
}

}  // namespace

bool Same_Signal(std::span<const uint8_t> heard, std::span<const uint8_t> learned, int32_t end_gap_samples) {
    const std::vector<int32_t> h = Runs_Of(heard);
    const std::vector<int32_t> l = Runs_Of(learned);
    if (h.empty() || h.size() > l.size()) return false;
    // Longer than the heard signal: it must pause where the heard one ended.
    if (h.size() < l.size() && l[h.size()] < end_gap_samples) return false;
    int64_t heard_total = 0;
    int64_t learned_total = 0;
    for (std::size_t i = 0; i < h.size(); ++i) {
        heard_total += h[i];
        learned_total += l[i];
    }
    const double clock = static_cast<double>(heard_total) / static_cast<double>(learned_total);
    if (std::abs(clock - 1) > Match_Clock_Tolerance) return false;
    for (std::size_t i = 0; i < h.size(); ++i) {
        const double expected = clock * l[i];
        const double allowed = std::max(Match_Run_Tolerance * expected, double{Match_Run_Slack_Samples});
        if (std::abs(h[i] - expected) > allowed) return false;
    }
    return true;
}

}  // namespace qev
