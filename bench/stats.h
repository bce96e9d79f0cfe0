// Order statistics of timing samples, in nanoseconds.
#ifndef QEV_BENCH_STATS_H
#define QEV_BENCH_STATS_H

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qev::bench {

struct TSummary {
    int64_t Median = 0;
    int64_t P99 = 0;
    int64_t Max = 0;
    std::size_t Count = 0;
};

inline TSummary Summarize(std::vector<int64_t> values) {
    TSummary s;
    s.Count = values.size();
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[std::min(values.size() - 1, static_cast<std::size_t>(q * static_cast<double>(values.size())))];
    };
    s.Median = at(0.5);
    s.P99 = at(0.99);
    s.Max = values.back();
    return s;
}

// Average rate error of a schedule in parts per million: the drift between
// the first and the last tenth of the samples, each taken as a median so a
// single late sample does not count as drift.
inline double Rate_Error_Ppm(const std::vector<int64_t>& lateness, int64_t tick_ns) {
    const std::size_t n = lateness.size();
    if (n < 20) return 0.0;
    const std::size_t tenth = n / 10;
    std::vector<int64_t> head(lateness.begin(), lateness.begin() + static_cast<std::ptrdiff_t>(tenth));
    std::vector<int64_t> tail(lateness.end() - static_cast<std::ptrdiff_t>(tenth), lateness.end());
    const double drift = static_cast<double>(Summarize(tail).Median - Summarize(head).Median);
    const double span = static_cast<double>(n - tenth) * static_cast<double>(tick_ns);
    return drift / span * 1e6;
}

}  // namespace qev::bench

#endif
