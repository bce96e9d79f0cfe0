// The sample clock against a scripted counter, and the priority steps.
#include "harness/fake_counter.h"
#include "harness/priority_recorder.h"
#include "irport/sample_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TPriority_Recorder;

TEST(Tick_Period, Is_The_Frequency_Divided_By_8000_With_A_Half_Tick_Start) {
    struct Row {
        const char* name;
        int64_t frequency;
        int64_t period;
        int64_t half;
    };
    const std::vector<Row> rows = {
        {"ACPI PM timer", 3'579'545, 447, 223},
        {"10 MHz", 10'000'000, 1250, 625},
        {"8254 PIT", 1'193'182, 149, 74},
        {"nanoseconds", 1'000'000'000, 125'000, 62'500},
        {"below 8000", 7'999, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFake_Counter counter(row.frequency, 5'000, 1);
        TPriority_Recorder priority;
        TSample_Clock clock(counter, priority);
        EXPECT_EQ(clock.Calc_Tick_Period(), row.period);
        EXPECT_EQ(clock.Tick_Period, row.period);
        clock.Start_Tick();
        EXPECT_EQ(clock.Last_Start, 5'000);
        EXPECT_EQ(clock.Tick_Deadline, 5'000 + row.half);
        EXPECT_GE(counter.Now - 1, clock.Tick_Deadline) << "returned before the deadline";
        EXPECT_LE(counter.Now - 1, clock.Tick_Deadline + 1) << "waited past the deadline";
    }
}

TEST(Tick_Wait, A_Zero_Period_Never_Waits) {
    TFake_Counter counter(4'000, 100, 1);
    TPriority_Recorder priority;
    TSample_Clock clock(counter, priority);
    clock.Calc_Tick_Period();
    clock.Start_Tick();
    EXPECT_EQ(counter.Reads, 2);  // "now", then one read that is already at the deadline
    clock.Wait_Tick();
    EXPECT_EQ(counter.Reads, 3);
}

TEST(Tick_Wait, A_Past_Deadline_Returns_After_One_Read) {
    TFake_Counter counter(8'000'000, 1'000'000, 1);
    TPriority_Recorder priority;
    TSample_Clock clock(counter, priority);
    clock.Calc_Tick_Period();
    clock.Tick_Deadline = 10;
    clock.Wait_Tick();
    EXPECT_EQ(counter.Reads, 1);
}

TEST(Tick_Wait, Deadlines_Advance_From_The_Schedule_Not_From_Lateness) {
    TFake_Counter counter(8'000'000, 0, 1);  // 1000 units per tick
    TPriority_Recorder priority;
    TSample_Clock clock(counter, priority);
    clock.Calc_Tick_Period();
    clock.Start_Tick();
    const int64_t first = clock.Tick_Deadline;
    counter.Now += 3'500;  // the thread was held up for three and a half ticks
    std::vector<int64_t> reads_per_wait;
    for (int i = 1; i <= 5; ++i) {
        const int64_t before = counter.Reads;
        clock.Wait_Tick();
        EXPECT_EQ(clock.Tick_Deadline, first + i * 1000);
        reads_per_wait.push_back(counter.Reads - before);
    }
    // Three waits catch up at once; then the schedule is kept again.
    EXPECT_EQ(reads_per_wait[0], 1);
    EXPECT_EQ(reads_per_wait[1], 1);
    EXPECT_EQ(reads_per_wait[2], 1);
    EXPECT_GT(reads_per_wait[3], 1);
    // The three catching-up waits began 2501, 1502 and 503 units (more than
    // half a tick) after their deadlines; the waits that spun were on time.
    EXPECT_EQ(clock.Late_Ticks, 3);
    EXPECT_EQ(clock.Max_Lateness, 2501);
}

TEST(Tick_Wait, Compares_Across_A_Wrap_Of_The_Low_32_Bits) {
    TFake_Counter counter(8'000'000, 0x1'FFFF'FE00, 7);
    TPriority_Recorder priority;
    TSample_Clock clock(counter, priority);
    clock.Calc_Tick_Period();
    clock.Tick_Deadline = 0x1'FFFF'FE00;
    clock.Wait_Tick();  // deadline 0x2'0000'01E8: its low half is smaller than the start's
    EXPECT_EQ(clock.Tick_Deadline, 0x2'0000'01E8);
    EXPECT_GE(counter.Now - 7, clock.Tick_Deadline);
    EXPECT_LT(counter.Now - 7, clock.Tick_Deadline + 7);
}

TEST(Priority, Is_Raised_Process_First_And_Restored_Thread_First) {
    TFake_Counter counter;
    TPriority_Recorder priority;
    TSample_Clock clock(counter, priority);
    priority.Saved_Nice = 5;
    TSaved_Priority saved = clock.Raise_Priority();
    clock.Restore_Priority(saved);
    EXPECT_EQ(priority.Calls, (std::vector<std::string>{"save", "process high", "thread critical", "restore thread",
                                                        "restore process"}));
    EXPECT_EQ(priority.Restored_Nice, 5);
}

TEST(Priority, Nested_Sections_Raise_And_Restore_Only_At_The_Outermost_Level) {
    struct Row {
        const char* name;
        int levels;
    };
    const std::vector<Row> rows = {
        {"one_level", 1},
        {"two_levels", 2},
        {"five_levels", 5},
    };
    const std::vector<std::string> raised = {"save", "process high", "thread critical"};
    const std::vector<std::string> raised_and_restored = {"save", "process high", "thread critical", "restore thread",
                                                          "restore process"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFake_Counter counter;
        TPriority_Recorder priority;
        TSample_Clock clock(counter, priority);
        priority.Saved_Nice = 5;
        std::vector<TSaved_Priority> saved;
        for (int i = 0; i < row.levels; ++i) saved.push_back(clock.Raise_Priority());
        EXPECT_EQ(priority.Calls, raised) << "only the outermost level raises";
        EXPECT_EQ(clock.Raised_Depth(), row.levels);
        for (; saved.size() > 1; saved.pop_back()) clock.Restore_Priority(saved.back());
        EXPECT_EQ(priority.Calls, raised) << "the inner levels restore nothing";
        clock.Restore_Priority(saved.back());
        EXPECT_EQ(priority.Calls, raised_and_restored);
        EXPECT_EQ(priority.Restored_Nice, 5) << "restored to what the outermost level found";
        EXPECT_EQ(clock.Raised_Depth(), 0);
        clock.Restore_Priority(saved.back());
        EXPECT_EQ(priority.Calls.size(), 5u) << "a restore without a raise does nothing";
        clock.Restore_Priority(clock.Raise_Priority());
        EXPECT_EQ(priority.Calls.size(), 10u) << "the next section raises again";
    }
}

class Pacing_Test : public ::testing::Test {
protected:
    TFake_Counter counter{1'000'000'000, 1'000'000'000, 2'000};  // a read costs 2 us
    TPriority_Recorder priority;
    TSample_Clock clock{counter, priority};

    // One run of `ticks` ticks; returns how many of its waits slept.
    std::size_t Run(int ticks) {
        counter.Sleeps.clear();
        TRaised_Priority raised(clock);
        clock.Start_Tick();
        for (int i = 0; i < ticks; ++i) clock.Wait_Tick();
        return counter.Sleeps.size();
    }
    void SetUp() override { clock.Calc_Tick_Period(); }
};

TEST_F(Pacing_Test, Short_Runs_Only_Spin) { EXPECT_EQ(Run(3'000), 0u); }  // 0.375 s

TEST_F(Pacing_Test, Long_Runs_Sleep_Until_Just_Before_Each_Deadline) {
    const std::size_t slept = Run(8'000);  // 1 s: the second half sleeps
    EXPECT_GT(slept, 3'900u);
    EXPECT_LT(slept, 4'100u);
    // The sleep ends Sleep_Guard_Seconds before a deadline; the spin does the rest.
    EXPECT_EQ((clock.Tick_Deadline - counter.Sleeps.back()), 80'000);
}

TEST_F(Pacing_Test, Back_To_Back_Runs_Count_As_One_Long_Run) {
    EXPECT_EQ(Run(2'400), 0u);   // 0.3 s
    EXPECT_GT(Run(2'400), 0u);   // straight after: 0.6 s of timed work in a row
    counter.Now += 200'000'000;  // a 0.2 s break resets the count
    EXPECT_EQ(Run(2'400), 0u);
}

TEST_F(Pacing_Test, Runs_Inside_One_Raised_Section_Count_As_One_Long_Run) {
    TRaised_Priority held(clock);
    EXPECT_EQ(Run(2'400), 0u);  // 0.3 s
    EXPECT_GT(Run(2'400), 0u);  // 0.6 s into the section
    EXPECT_EQ(priority.Calls.size(), 3u) << "raised once, by the section";
}

TEST_F(Pacing_Test, Long_Open_Waits_Pause_Briefly_Every_Slice) {
    TRaised_Priority raised(clock);
    const int64_t start = counter.Now;
    std::vector<int64_t> pauses;
    for (int64_t t = start; t < start + 700'000'000; t += 1'000'000) {
        const std::size_t before = counter.Sleeps.size();
        clock.Pace_Open_Wait(t);
        if (counter.Sleeps.size() > before) {
            pauses.push_back(t);
            EXPECT_EQ(counter.Sleeps.back(), t + 1'000'000);
        }
    }
    ASSERT_FALSE(pauses.empty());
    EXPECT_GE(pauses.front() - start, 499'000'000) << "no pause in the first half second";
    for (std::size_t i = 1; i < pauses.size(); ++i) EXPECT_GE(pauses[i] - pauses[i - 1], 10'000'000);
}

}  // namespace
}  // namespace qev
