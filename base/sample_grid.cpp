#include "base/sample_grid.h"

#include <algorithm>

namespace qev {
namespace {

struct TSample_Span {
    int64_t Start, Stop;  // samples [Start, Stop)
};

// The samples a mark from begin_us to end_us covers: from the sample nearest
// its start to the one nearest its end. A mark of half a sample or more
// whose edges round to one instant keeps the sample that holds its middle.
// The times are never negative (the durations before them count as 0 at
// least), so the samples are taken in unsigned arithmetic, which divides by
// a constant more cheaply than signed.
TSample_Span Mark_Samples(int64_t begin_us, int64_t end_us) {
    const auto sample_of = [](int64_t us) {
        return static_cast<int64_t>((2 * static_cast<uint64_t>(us) + Sample_Period_us) / (2 * Sample_Period_us));
    };
    TSample_Span span{sample_of(begin_us), sample_of(end_us)};
    if (span.Stop == span.Start && 2 * (end_us - begin_us) >= Sample_Period_us) {
        span.Start = static_cast<int64_t>(static_cast<uint64_t>(begin_us + end_us) / (2 * Sample_Period_us));
        span.Stop = span.Start + 1;
    }
    return span;
}

// Calls on_mark(start, stop) with each mark's samples [start, stop) in
// order, cut at `length`, until a mark begins at or after it.
template <typename F>
void For_Each_Mark(std::span<const int32_t> durations_us, int64_t length, F&& on_mark) {
    int64_t t = 0;
    for (std::size_t i = 0; i < durations_us.size(); ++i) {
        const int64_t begin_us = t;
        t += std::max(durations_us[i], 0);
        if (i % 2 != 0) continue;
        const TSample_Span mark = Mark_Samples(begin_us, t);
        if (mark.Start >= length) break;
        on_mark(mark.Start, std::max(mark.Start, std::min(mark.Stop, length)));
    }
}

}  // namespace

int64_t Sampled_Length(std::span<const int32_t> durations_us, int32_t max_samples, int32_t min_samples) {
    int64_t end_us = 0;
    for (const int32_t d : durations_us) end_us += std::max(d, 0);
    const int64_t limit = std::max<int64_t>(max_samples, 0);
    return std::min(std::max(Sample_Of_us(end_us), int64_t{min_samples}), limit);
}

std::vector<uint8_t> Levels_Of_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                         int32_t min_samples) {
    const int64_t length = Sampled_Length(durations_us, max_samples, min_samples);
    std::vector<uint8_t> levels(static_cast<std::size_t>(length), 0);
    For_Each_Mark(durations_us, length, [&](int64_t start, int64_t stop) {
        std::fill(levels.begin() + start, levels.begin() + stop, uint8_t{1});
    });
    return levels;
}

std::vector<uint8_t> Packed_Levels_Of_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                                int32_t min_samples) {
    const int64_t length = Sampled_Length(durations_us, max_samples, min_samples);
    std::vector<uint8_t> bytes(static_cast<std::size_t>((length + 7) / 8), 0);
    For_Each_Mark(durations_us, length, [&](int64_t start, int64_t stop) {
        if (stop <= start) return;
        // Whole bytes at once; the partial ones at either end by mask.
        const auto first = static_cast<std::size_t>(start / 8), last = static_cast<std::size_t>((stop - 1) / 8);
        const auto head = static_cast<uint8_t>(0xFFu << (start % 8));
        const auto tail = static_cast<uint8_t>(0xFFu >> (7 - (stop - 1) % 8));
        if (first == last) {
            bytes[first] |= head & tail;
            return;
        }
        bytes[first] |= head;
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                  bytes.begin() + static_cast<std::ptrdiff_t>(last), uint8_t{0xFF});
        bytes[last] |= tail;
    });
    return bytes;
}

std::vector<int32_t> Durations_Of_Levels(std::span<const uint8_t> levels) {
    std::vector<int32_t> durations;
    std::size_t i = 0;
    while (i < levels.size() && levels[i] == 0) ++i;
    while (i < levels.size()) {
        const bool on = levels[i] != 0;
        const std::size_t start = i;
        while (i < levels.size() && (levels[i] != 0) == on) ++i;
        durations.push_back(static_cast<int32_t>((i - start) * Sample_Period_us));
    }
    return durations;
}

TSampled_Durations Sampled_Durations(std::span<const int32_t> durations_us, int32_t max_samples, int32_t min_samples) {
    const int64_t length = Sampled_Length(durations_us, max_samples, min_samples);

    // The marks' samples as Levels_Of_Durations fills them: [start, stop),
    // cut at the length; empty ones leave no trace, and one that begins
    // where the one before ended lengthens it.
    TSampled_Durations sampled;
    std::vector<int32_t>& out = sampled.Durations_us;
    // A run for each duration at most, and a final space.
    out.reserve(durations_us.size() + 1);
    int64_t mark_start = -1, mark_stop = -1;  // the mark being gathered
    const auto close_mark = [&] {
        if (mark_start < 0) return;
        if (out.empty()) sampled.First_Sample = mark_start;
        out.push_back(static_cast<int32_t>((mark_stop - mark_start) * Sample_Period_us));
    };
    For_Each_Mark(durations_us, length, [&](int64_t start, int64_t stop) {
        if (stop <= start) return;
        if (start <= mark_stop) {
            mark_stop = std::max(mark_stop, stop);
            return;
        }
        close_mark();
        if (mark_stop >= 0) out.push_back(static_cast<int32_t>((start - mark_stop) * Sample_Period_us));
        mark_start = start;
        mark_stop = stop;
    });
    close_mark();
    if (mark_start < 0) {
        sampled.First_Sample = length;
    } else if (length > mark_stop) {
        out.push_back(static_cast<int32_t>((length - mark_stop) * Sample_Period_us));
    }
    return sampled;
}

}  // namespace qev
