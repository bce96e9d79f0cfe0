// Builds durations from marks and spaces given in exact (fractional)
// microseconds. The absolute time of every edge is rounded to a whole
// microsecond, not each duration, so rounding never adds up along a frame:
// NEC's 562.5 us units stay on their grid however many of them pass.
#ifndef QEV_IR_TIMING_BUILDER_H
#define QEV_IR_TIMING_BUILDER_H

#include "ir/ir_signal.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qev {

class TTiming_Builder {
public:
    TTiming_Builder() = default;
    // Room for `edges` marks and spaces, so that a frame is built without
    // growing its storage step by step.
    explicit TTiming_Builder(std::size_t edges) { edges_.reserve(edges); }
    // Adds carrier-on time; a mark right after a mark lengthens it.
    void Mark(double us) { Add(true, us); }
    // Adds carrier-off time; a leading space is idle time and is dropped.
    void Space(double us) {
        if (edges_.empty()) return;
        Add(false, us);
    }
    double Now() const { return now_; }
    // Ends with a space lasting until `period` us after the first mark, when
    // that is later than now.
    void Space_Until(double period) {
        if (!edges_.empty() && period > now_) Space(period - now_);
    }
    TIR_Timing Timing(int32_t carrier_hz) const {
        TIR_Timing timing;
        timing.Carrier_Hz = carrier_hz;
        timing.Durations_us.reserve(edges_.size());
        int64_t previous = 0;  // the first mark starts at 0
        for (std::size_t i = 1; i <= edges_.size(); ++i) {
            const int64_t edge = Round(i < edges_.size() ? edges_[i] : now_);
            timing.Durations_us.push_back(static_cast<int32_t>(edge - previous));
            previous = edge;
        }
        return timing;
    }

private:
    // Half a microsecond rounds up, as a sampler that reads after the edge.
    static int64_t Round(double us) { return static_cast<int64_t>(std::floor(us + 0.5)); }
    void Add(bool mark, double us) {
        if (us <= 0) return;
        const bool in_mark = edges_.size() % 2 == 1;
        if (edges_.empty() || in_mark != mark) edges_.push_back(now_);
        now_ += us;
    }

    std::vector<double> edges_;  // absolute start of each mark and space; the first mark starts at 0
    double now_ = 0;
};

}  // namespace qev

#endif
