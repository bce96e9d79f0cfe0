// Sampling durations on the 8 kHz grid: short marks survive, and the runs
// and packed bytes made straight from the durations are those of the
// sampled levels.
#include "base/sample_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace qev {
namespace {

// The runs the long way: the levels, then their runs and first active sample.
TSampled_Durations Through_Levels(const std::vector<int32_t>& durations, int32_t max_samples, int32_t min_samples) {
    const std::vector<uint8_t> levels = Levels_Of_Durations(durations, max_samples, min_samples);
    const auto first = std::find(levels.begin(), levels.end(), uint8_t{1});
    return {Durations_Of_Levels(levels), first - levels.begin()};
}

// The levels packed the long way: eight to a byte, the earliest in bit 0.
std::vector<uint8_t> Packed(const std::vector<uint8_t>& levels) {
    std::vector<uint8_t> bytes((levels.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < levels.size(); ++i) bytes[i / 8] |= static_cast<uint8_t>((levels[i] & 1u) << (i % 8));
    return bytes;
}

TEST(Sample_Grid, Sampled_Durations_Are_The_Runs_Of_The_Levels) {
    struct Row {
        const char* name;
        std::vector<int32_t> durations;
        int32_t max_samples;
        int32_t min_samples;
        std::vector<int32_t> runs_us;
        int64_t first_sample;
    };
    const std::vector<Row> rows = {
        {"nothing", {}, 100, 0, {}, 0},
        {"nothing, padded", {}, 100, 4, {}, 4},
        {"one mark", {500}, 100, 0, {500}, 0},
        {"mark and space", {500, 250}, 100, 0, {500, 250}, 0},
        {"edges on the nearest sample", {560, 1690, 560}, 100, 0, {500, 1750, 500}, 0},
        {"padding lengthens the final space", {500, 250}, 100, 10, {500, 750}, 0},
        {"padding adds a final space", {500}, 100, 10, {500, 750}, 0},
        {"cut in a mark", {500, 250, 500}, 5, 0, {500, 125}, 0},
        {"cut in a space", {500, 1000, 500}, 8, 0, {500, 500}, 0},
        {"cut before a mark", {500, 500, 500}, 8, 0, {500, 500}, 0},
        {"no samples allowed", {500, 500}, 0, 0, {}, 0},
        {"a mark under half a sample vanishes", {50, 500, 500}, 100, 0, {500}, 4},
        {"a vanished mark joins the spaces around it", {500, 500, 60, 500, 500}, 100, 0, {500, 1000, 500}, 0},
        {"a vanished space joins the marks around it", {500, 60, 500}, 100, 0, {1000}, 0},
        {"an empty space joins the marks around it", {500, 0, 500, 250}, 100, 0, {1000, 250}, 0},
        {"negative durations count as nothing", {500, -300, 500, 250}, 100, 0, {1000, 250}, 0},
        {"a leading empty mark", {0, 1000, 500}, 100, 0, {500}, 8},
        {"only spaces", {0, 1000}, 100, 0, {}, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TSampled_Durations sampled = Sampled_Durations(row.durations, row.max_samples, row.min_samples);
        EXPECT_EQ(sampled.Durations_us, row.runs_us);
        EXPECT_EQ(sampled.First_Sample, row.first_sample);
        const TSampled_Durations reference = Through_Levels(row.durations, row.max_samples, row.min_samples);
        EXPECT_EQ(reference.Durations_us, row.runs_us);
        EXPECT_EQ(reference.First_Sample, row.first_sample);
        EXPECT_EQ(Packed_Levels_Of_Durations(row.durations, row.max_samples, row.min_samples),
                  Packed(Levels_Of_Durations(row.durations, row.max_samples, row.min_samples)));
    }
}

// Marks that start and end at each bit of a byte, fill whole bytes between,
// or are cut by the limit inside a byte: the packed bytes are the levels'.
TEST(Sample_Grid, Packed_Levels_Are_The_Levels_Packed) {
    struct Row {
        const char* name;
        std::vector<int32_t> durations;
        int32_t max_samples;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Row> rows = {
        {"nothing", {}, 100, {}},
        {"one sample", {125}, 100, {0x01}},
        {"eight samples: one whole byte", {1000}, 100, {0xFF}},
        {"inside one byte", {250, 250, 500}, 100, {0xF3}},
        {"across a byte's end", {500, 500, 1250}, 100, {0x0F, 0xFF, 0x03}},
        {"whole bytes between partial ones", {375, 125, 2625}, 100, {0xF7, 0xFF, 0xFF, 0x01}},
        {"ends exactly at a byte's end", {250, 750, 1000}, 100, {0x03, 0xFF}},
        {"cut in a mark inside a byte", {250, 250, 2000}, 7, {0x73}},
        {"a limit beyond the signal changes nothing", {125}, 17, {0x01}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<uint8_t> reference = Packed(Levels_Of_Durations(row.durations, row.max_samples));
        EXPECT_EQ(Packed_Levels_Of_Durations(row.durations, row.max_samples), row.bytes);
        EXPECT_EQ(reference, row.bytes);
    }
    // Padded: idle bytes after the signal.
    EXPECT_EQ(Packed_Levels_Of_Durations(std::vector<int32_t>{125}, 100, 17), (std::vector<uint8_t>{0x01, 0x00, 0x00}));
}

// Signals of every kind of duration, from nothing to many samples, a limit
// and a padding anywhere: the two ways agree on each, and on the length.
TEST(Sample_Grid, Sampled_Durations_Agree_With_The_Levels_On_Any_Signal) {
    uint64_t state = 12345;
    const auto next = [&](uint32_t below) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int32_t>((state >> 33) % below);
    };
    for (int signal = 0; signal < 3000; ++signal) {
        std::vector<int32_t> durations(static_cast<std::size_t>(next(12)));
        for (int32_t& d : durations) {
            // Mostly around a sample, sometimes long, empty or negative.
            const int32_t kind = next(10);
            d = kind == 0 ? 0 : kind == 1 ? -next(200) : kind == 2 ? next(5000) : next(300);
        }
        const int32_t max_samples = next(4) == 0 ? next(40) : 1000;
        const int32_t min_samples = next(3) == 0 ? next(60) : 0;
        SCOPED_TRACE(signal);
        const TSampled_Durations sampled = Sampled_Durations(durations, max_samples, min_samples);
        const TSampled_Durations reference = Through_Levels(durations, max_samples, min_samples);
        ASSERT_EQ(sampled.Durations_us, reference.Durations_us);
        ASSERT_EQ(sampled.First_Sample, reference.First_Sample);
        const std::vector<uint8_t> levels = Levels_Of_Durations(durations, max_samples, min_samples);
        ASSERT_EQ(Sampled_Length(durations, max_samples, min_samples), static_cast<int64_t>(levels.size()));
        ASSERT_EQ(Packed_Levels_Of_Durations(durations, max_samples, min_samples), Packed(levels));
    }
}

struct TRun {
    int64_t Start, Stop;  // samples
};

std::vector<TRun> Marks_Of(const std::vector<uint8_t>& levels) {
    std::vector<TRun> runs;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] == 0) continue;
        if (i > 0 && levels[i - 1] != 0) {
            runs.back().Stop = static_cast<int64_t>(i) + 1;
        } else {
            runs.push_back({static_cast<int64_t>(i), static_cast<int64_t>(i) + 1});
        }
    }
    return runs;
}

// A mark of half a sample or more survives wherever it falls between two
// sample instants, its edges within one sample of their times.
TEST(Sample_Grid, A_Mark_Of_Half_A_Sample_Or_More_Survives_At_Any_Phase) {
    struct Row {
        const char* name;
        int32_t mark_us;
    };
    for (const Row& row : std::vector<Row>{{"half a sample", 63}, {"118 us", 118}, {"just under a sample", 124}}) {
        SCOPED_TRACE(row.name);
        for (int32_t phase = 0; phase < Sample_Period_us; ++phase) {
            SCOPED_TRACE(phase);
            const std::vector<int32_t> durations = {250, 250 + phase, row.mark_us, 500};
            const std::vector<TRun> marks = Marks_Of(Levels_Of_Durations(durations, 100));
            ASSERT_EQ(marks.size(), 2u);
            const int64_t begin_us = 500 + phase;
            EXPECT_LE(std::abs(marks[1].Start * Sample_Period_us - begin_us), Sample_Period_us);
            EXPECT_LE(std::abs(marks[1].Stop * Sample_Period_us - (begin_us + row.mark_us)), Sample_Period_us);
        }
    }
}

}  // namespace
}  // namespace qev
