// The order statistics the benchmarks report.
#include "harness/stats.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev::bench {
namespace {

TEST(Bench_Stats, Quantile_Takes_The_Element_At_Floor_Of_Q_Times_N) {
    struct Row {
        const char* name;
        std::vector<int64_t> sorted;
        double q;
        int64_t expected;
    };
    std::vector<int64_t> hundred, two_hundred;
    for (int64_t i = 1; i <= 100; ++i) hundred.push_back(i);
    for (int64_t i = 1; i <= 200; ++i) two_hundred.push_back(i);
    const std::vector<Row> rows = {
        {"empty_gives_zero", {}, 0.5, 0},
        {"single_value", {7}, 0.99, 7},
        {"median_of_an_odd_count", {1, 2, 3}, 0.5, 2},
        {"median_of_an_even_count_is_the_upper_middle", {1, 2, 3, 4}, 0.5, 3},
        {"p99_of_100_values_is_the_maximum", hundred, 0.99, 100},
        {"p99_of_200_values_is_the_second_largest", two_hundred, 0.99, 199},
        {"q_of_one_is_capped_at_the_last", {1, 2, 3}, 1.0, 3},
        {"q_of_zero_is_the_first", {4, 5, 6}, 0.0, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Quantile_Of_Sorted(row.sorted, row.q), row.expected);
    }
}

TEST(Bench_Stats, Median_Sorts_A_Copy_Of_Its_Values) {
    const std::vector<double> ratios = {3.0, 0.5, 1.25, 9.0, 1.0};
    EXPECT_DOUBLE_EQ(Median(ratios), 1.25);
    EXPECT_EQ(ratios.front(), 3.0) << "the caller's values stay as they were";
    EXPECT_EQ(Median(std::vector<int64_t>{40, 10, 30, 20}), 30);
    EXPECT_EQ(Median(std::vector<int64_t>{}), 0);
}

TEST(Bench_Stats, Summarize_Gives_Median_P99_Max_And_Count) {
    std::vector<int64_t> values;
    for (int64_t i = 200; i >= 1; --i) values.push_back(i * 10);  // unsorted: 2000 down to 10
    const TSummary s = Summarize(values);
    EXPECT_EQ(s.Count, 200u);
    EXPECT_EQ(s.Median, 1010);
    EXPECT_EQ(s.P99, 1990);
    EXPECT_EQ(s.Max, 2000);
    const TSummary empty = Summarize({});
    EXPECT_EQ(empty.Count, 0u);
    EXPECT_EQ(empty.Max, 0);
}

TEST(Bench_Stats, Per_Million_Above_Counts_Only_Values_Past_The_Limit) {
    struct Row {
        const char* name;
        std::vector<int64_t> values;
        double expected;
    };
    const std::vector<Row> rows = {
        {"empty", {}, 0.0},
        {"none_above", {1, 2, 3}, 0.0},
        {"equal_to_the_limit_is_not_above", {10, 10}, 0.0},
        {"one_in_four", {5, 11, 9, 10}, 250'000.0},
        {"all_above", {11, 12}, 1'000'000.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_DOUBLE_EQ(Per_Million_Above(row.values, 10), row.expected);
    }
}

TEST(Bench_Stats, Pairwise_Ratios_Skip_Pairs_Without_A_Positive_Divisor) {
    struct Row {
        const char* name;
        std::vector<int64_t> a, b;
        std::vector<double> expected;
    };
    const std::vector<Row> rows = {
        {"equal_lengths", {10, 30}, {5, 20}, {2.0, 1.5}},
        {"zero_divisor_skipped", {10, 30, 8}, {0, 20, 4}, {1.5, 2.0}},
        {"negative_divisor_skipped", {10}, {-5}, {}},
        {"the_shorter_list_decides", {10, 20, 30}, {10}, {1.0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Pairwise_Ratios(row.a, row.b), row.expected);
    }
    EXPECT_DOUBLE_EQ(Ratio(3, 0), 0.0);
    EXPECT_DOUBLE_EQ(Ratio(3, 4), 0.75);
}

TEST(Bench_Stats, Rate_Error_Is_The_Drift_Between_First_And_Last_Tenth) {
    struct Row {
        const char* name;
        std::vector<int64_t> lateness;
        double expected_ppm;
    };
    std::vector<int64_t> flat(1000, 50), drifting(1000), flat_with_spikes(1000, 50);
    for (std::size_t i = 0; i < drifting.size(); ++i) drifting[i] = static_cast<int64_t>(i);  // 1 ns per tick
    for (std::size_t i = 0; i < flat_with_spikes.size(); i += 25) flat_with_spikes[i] = 2'000'000;
    const std::vector<Row> rows = {
        {"flat", flat, 0.0},
        // head median 50, tail median 950: 900 ns over 900 ticks of 125 us.
        {"one_ns_per_tick", drifting, 8.0},
        {"single_late_samples_are_not_drift", flat_with_spikes, 0.0},
        {"too_few_samples", {0, 1000, 2000}, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NEAR(Rate_Error_Ppm(row.lateness, 125'000), row.expected_ppm, 1e-9);
    }
}

}  // namespace
}  // namespace qev::bench
