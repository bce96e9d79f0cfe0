// The performance measurement's arithmetic from given counter readings, and
// the measurement itself on a scripted counter and a priority recorder.
#include "dialogs/core/performance.h"
#include "harness/fake_counter.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "tests/support/raised_step_counter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TPriority_Recorder;
using test::TRaised_Step_Counter;
using test::TRecording_Feedback;

constexpr int64_t Max64 = std::numeric_limits<int64_t>::max();
constexpr int64_t Min64 = std::numeric_limits<int64_t>::min();

TEST(Performance_Arithmetic, The_Load_Value_Is_The_Frequency_Over_8000_Truncated) {
    struct Row {
        const char* name;
        int64_t frequency;
        int64_t load;
        const char* text;
    };
    const std::vector<Row> rows = {
        {"acpi_pm_timer", 3'579'545, 447, "447 Count"},
        {"ten_megahertz", 10'000'000, 1250, "1250 Count"},
        {"pit", 1'193'182, 149, "149 Count"},
        {"nanoseconds", 1'000'000'000, 125'000, "125000 Count"},
        {"just_below_8000", 7999, 0, "0 Count"},
        {"no_counter", 0, 0, "0 Count"},
        {"negative_truncates_toward_zero", -8001, -1, "-1 Count"},
        {"largest", Max64, 1'152'921'504'606'846, "1152921504606846 Count"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Timer_Load_Value(row.frequency), row.load);
        EXPECT_EQ(Load_Value_Text(row.frequency), row.text);
    }
}

TEST(Performance_Arithmetic, The_Frequency_Shows_In_Plain_Digits_And_Hz) {
    struct Row {
        const char* name;
        int64_t frequency;
        const char* text;
    };
    const std::vector<Row> rows = {
        {"acpi_pm_timer", 3'579'545, "3579545 Hz"},
        {"nanoseconds", 1'000'000'000, "1000000000 Hz"},
        {"no_counter", 0, "0 Hz"},
        {"negative", -1, "-1 Hz"},
        {"beyond_32_bits", 10'000'000'000, "10000000000 Hz"},
        {"largest", Max64, "9223372036854775807 Hz"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Frequency_Text(row.frequency), row.text);
    }
}

TEST(Performance_Arithmetic, Elapsed_Ticks_Scale_The_Counter_Units_By_8000_Over_The_Frequency) {
    struct Row {
        const char* name;
        int64_t c1;
        int64_t c2;
        int64_t frequency;
        std::optional<int64_t> ticks;
    };
    const std::vector<Row> rows = {
        {"twenty_ms_of_the_acpi_timer", 1000, 1000 + 71'591, 3'579'545, 160},
        {"one_unit_short_of_a_tick", 5, 5 + 446, 3'579'545, 0},
        {"just_one_tick", 5, 5 + 448, 3'579'545, 1},
        {"no_time", 42, 42, 3'579'545, 0},
        {"twenty_ms_in_nanoseconds", 7, 7 + 20'000'000, 1'000'000'000, 160},
        {"across_the_64_bit_wrap", Max64 - 10, Min64 + 71'580, 3'579'545, 160},
        {"backwards", 71'591, 0, 3'579'545, -160},
        {"no_counter", 0, 71'591, 0, std::nullopt},
        {"negative_frequency", 0, 71'591, -3'579'545, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Elapsed_Ticks(row.c1, row.c2, row.frequency), row.ticks);
    }
}

TEST(Performance_Arithmetic, The_Loop_Count_Divides_By_The_Low_32_Bits_Of_The_Ticks) {
    struct Row {
        const char* name;
        int64_t ticks;
        std::optional<int32_t> count;
    };
    const std::vector<Row> rows = {
        {"twenty_ms", 160, 104'857},
        {"one_tick", 1, 16'777'215},
        {"more_ticks_than_turns", 16'777'216, 0},
        {"shorter_than_a_tick", 0, std::nullopt},
        {"exactly_2_to_the_32", int64_t{1} << 32, std::nullopt},
        {"above_32_bits", (int64_t{1} << 32) + 160, 104'857},
        {"low_bits_negative", 0xFFFF'FFFF, -16'777'215},
        {"low_bits_the_smallest_int", int64_t{1} << 31, 0},
        {"backwards", -160, -104'857},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Soft_Loop_Count(row.ticks), row.count);
    }
}

TEST(Performance_Arithmetic, The_Loop_Count_Text_Never_Divides_By_Zero) {
    struct Row {
        const char* name;
        int64_t c1;
        int64_t c2;
        int64_t frequency;
        const char* text;
    };
    const std::vector<Row> rows = {
        {"twenty_ms_of_the_acpi_timer", 1000, 1000 + 71'591, 3'579'545, "104857 Count"},
        {"one_tick", 0, 448, 3'579'545, "16777215 Count"},
        {"no_counter", 1000, 1000 + 71'591, 0, "-"},
        {"no_counter_no_time", 1000, 1000, 0, "-"},
        {"shorter_than_a_tick", 1000, 1000 + 446, 3'579'545, "> 16777215 Count"},
        {"no_time", 1000, 1000, 3'579'545, "> 16777215 Count"},
        {"backwards_less_than_a_tick", 1000, 1000 - 446, 3'579'545, "-"},
        {"backwards_twenty_ms", 1000 + 71'591, 1000, 3'579'545, "-104857 Count"},
        {"exactly_2_to_the_32_ticks", 0, (int64_t{1} << 32) * 125'000, 1'000'000'000, "-"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Soft_Loop_Text(row.c1, row.c2, row.frequency), row.text);
    }
}

class Performance_Test : public ::testing::Test {
protected:
    TPriority_Recorder priority;
    TRecording_Feedback feedback;
};

TEST_F(Performance_Test, A_Measurement_Reads_The_Loop_At_Raised_Priority) {
    struct Row {
        const char* name;
        int64_t frequency;
        int64_t raised_step;  // counter units from one read to the next while raised
        const char* frequency_text;
        const char* load_text;
        const char* loop_text;
    };
    const std::vector<Row> rows = {
        {"acpi_timer_twenty_ms", 3'579'545, 71'591, "3579545 Hz", "447 Count", "104857 Count"},
        {"nanoseconds_twenty_ms", 1'000'000'000, 20'000'000, "1000000000 Hz", "125000 Count", "104857 Count"},
        {"no_counter", 0, 71'591, "0 Hz", "0 Count", "-"},
        {"shorter_than_a_tick", 3'579'545, 446, "3579545 Hz", "447 Count", "> 16777215 Count"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        priority.Calls.clear();
        TRaised_Step_Counter counter(priority, row.frequency, row.raised_step);
        TQEV_State state(counter, priority, feedback, feedback);
        state.Clock.Tick_Period = 999;  // not the measurement's business

        const TPerformance_Result result = TPerformance_Info(state).Measure_ButtonClick();

        EXPECT_EQ(result.Frequency, row.frequency);
        EXPECT_EQ(result.C2 - result.C1, row.raised_step) << "both readings inside the raised section";
        EXPECT_EQ(result.Frequency_Value, row.frequency_text);
        EXPECT_EQ(result.Load_Value, row.load_text);
        EXPECT_EQ(result.Timer_Value_Var, row.loop_text);
        EXPECT_EQ(priority.Calls, (std::vector<std::string>{"save", "process high", "thread critical", "restore thread",
                                                            "restore process"}));
        EXPECT_EQ(priority.Restored_Nice, priority.Saved_Nice) << "the process gets back what was saved";
        EXPECT_EQ(state.Clock.Raised_Depth(), 0);
        EXPECT_EQ(state.Clock.Tick_Period, 999);
        EXPECT_EQ(std::count(counter.Calls.begin(), counter.Calls.end(), "read"), 1)
            << "only the clock's own read after the restore happens at the thread's own priority";
        EXPECT_EQ(counter.Calls.front(), "frequency");
    }
}

TEST_F(Performance_Test, Every_Press_Measures_Again) {
    TRaised_Step_Counter counter(priority, 3'579'545, 71'591);
    TQEV_State state(counter, priority, feedback, feedback);
    TPerformance_Info info(state);
    const TPerformance_Result first = info.Measure_ButtonClick();
    const TPerformance_Result second = info.Measure_ButtonClick();
    EXPECT_GT(second.C1, first.C2) << "new readings";
    EXPECT_EQ(second.Timer_Value_Var, "104857 Count");
    EXPECT_EQ(priority.Calls.size(), 10u) << "raised and restored once per press";
    EXPECT_EQ(std::count(counter.Calls.begin(), counter.Calls.end(), "frequency"), 2);
}

TEST_F(Performance_Test, A_Measurement_Inside_A_Raised_Section_Keeps_The_Outer_Priority) {
    TRaised_Step_Counter counter(priority, 3'579'545, 71'591);
    TQEV_State state(counter, priority, feedback, feedback);
    {
        const TRaised_Priority outer(state.Clock);
        TPerformance_Info(state).Measure_ButtonClick();
        EXPECT_EQ(priority.Calls, (std::vector<std::string>{"save", "process high", "thread critical"}))
            << "the measurement neither raised again nor restored";
        EXPECT_EQ(state.Clock.Raised_Depth(), 1);
    }
    EXPECT_EQ(priority.Calls.back(), "restore process");
}

// 16,777,215 turns of a loop that runs one turn per clock cycle at most (each
// turn depends on the one before) cannot finish within a millisecond below
// 16 GHz; a loop the compiler had dropped or shortened would.
TEST(Soft_Loop, Every_Turn_Is_Executed) {
    TMonotonic_Counter counter;
    int64_t fastest = Max64;
    for (int run = 0; run < 3; ++run) {
        const int64_t start = counter.Read();
        Run_Soft_Loop(Soft_Loop_Turns);
        fastest = std::min(fastest, counter.Read() - start);
    }
    EXPECT_GT(fastest, 1'000'000) << "nanoseconds for " << Soft_Loop_Turns << " turns";
    EXPECT_EQ(Soft_Loop_Turns, 0xFFFFFF);
}

}  // namespace
}  // namespace qev
