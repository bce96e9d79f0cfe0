// The program's 8 kHz time grid: durations into levels.
#include "base/sample_grid.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace qev {
namespace {

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
