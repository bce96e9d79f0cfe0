// Order statistics of timing samples, in nanoseconds.
#ifndef QEV_HARNESS_STATS_H
#define QEV_HARNESS_STATS_H

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qev::bench {

// The element at quantile q (0 .. 1) of values sorted ascending: index
// floor(q * n), capped at the last. So the median of an even count is the
// upper of the two middle values, and a p99 of fewer than 101 values is the
// maximum. A default value when empty.
template <typename T>
T Quantile_Of_Sorted(const std::vector<T>& sorted, double q) {
    if (sorted.empty()) return T{};
    const auto index = static_cast<std::size_t>(q * static_cast<double>(sorted.size()));
    return sorted[std::min(sorted.size() - 1, index)];
}

template <typename T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return Quantile_Of_Sorted(values, 0.5);
}

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
    s.Median = Quantile_Of_Sorted(values, 0.5);
    s.P99 = Quantile_Of_Sorted(values, 0.99);
    s.Max = values.back();
    return s;
}

// How many of the values exceed `limit`, per million values; 0 when empty.
inline double Per_Million_Above(const std::vector<int64_t>& values, int64_t limit) {
    if (values.empty()) return 0.0;
    const auto above = std::count_if(values.begin(), values.end(), [limit](int64_t v) { return v > limit; });
    return static_cast<double>(above) * 1e6 / static_cast<double>(values.size());
}

// a / b, or 0 when b is not positive (a ratio to nothing says nothing).
inline double Ratio(int64_t a, int64_t b) { return b > 0 ? static_cast<double>(a) / static_cast<double>(b) : 0.0; }

// Ratio(a[i], b[i]) for each pair whose b is positive.
inline std::vector<double> Pairwise_Ratios(const std::vector<int64_t>& a, const std::vector<int64_t>& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (b[i] > 0) ratios.push_back(Ratio(a[i], b[i]));
    return ratios;
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
