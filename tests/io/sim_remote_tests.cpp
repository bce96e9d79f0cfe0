// The simulated remote control: NEC and command-file waveforms on status bit
// 0x10, sampled the way the receiver samples them (8 kHz), and the rule that
// arms it once per polling burst.
#include "tests/io/sim_test_support.h"

#include <cstdlib>
#include <thread>

namespace iotest {
namespace {

using Remote_Test = SimPortTest;

constexpr std::int64_t kNecUnitNs = 562'500;
constexpr std::int64_t kNecFrameNs = 121 * kNecUnitNs;  // leader, 32 bits, stop
constexpr std::int64_t kNecRepeatNs = 21 * kNecUnitNs;  // 9 ms mark, 2.25 ms space, stop
constexpr std::int64_t kNecPeriodNs = 108 * kMs;
constexpr int kRepeatCell = 864;  // 108 ms / 125 us

std::int64_t NecDuration(int repeats) { return repeats == 0 ? kNecFrameNs : repeats * kNecPeriodNs + kNecRepeatNs; }

bool Near(int cells, int expected) { return cells >= expected - 1 && cells <= expected + 1; }

// Decodes one NEC frame from 8 kHz cells: leader, 32 bits, stop, then the
// repeat frame 108 ms after the start.
struct NecDecode {
    std::string error;
    std::uint32_t bits = 0;
};

NecDecode DecodeNec(const std::vector<int>& levels) {
    NecDecode d;
    const auto runs = Runs(levels);
    // runs: mark leader, space leader, (mark, space) x 32, stop mark, gap, repeat mark, space, mark, idle
    if (runs.size() < 2 + 64 + 1) {
        d.error = "only " + std::to_string(runs.size()) + " runs";
        return d;
    }
    if (runs[0].first != 1 || !Near(runs[0].second, 72)) {
        d.error = "leader mark of " + std::to_string(runs[0].second) + " cells";
        return d;
    }
    if (runs[1].first != 0 || !Near(runs[1].second, 36)) {
        d.error = "leader space of " + std::to_string(runs[1].second) + " cells";
        return d;
    }
    for (int bit = 0; bit < 32; ++bit) {
        const auto& mark = runs[2 + 2 * bit];
        const auto& space = runs[3 + 2 * bit];
        // One unit is 4.5 cells: a mark reads as 4 or 5 cells, a space as 4-5 (0) or 13-14 (1).
        if (mark.second < 4 || mark.second > 5) {
            d.error = "bit " + std::to_string(bit) + " mark of " + std::to_string(mark.second) + " cells";
            return d;
        }
        if (space.second >= 4 && space.second <= 5) continue;
        if (space.second >= 13 && space.second <= 14) {
            d.bits |= 1u << bit;
            continue;
        }
        d.error = "bit " + std::to_string(bit) + " space of " + std::to_string(space.second) + " cells";
        return d;
    }
    const auto& stop = runs[66];
    if (stop.first != 1 || stop.second < 4 || stop.second > 5) d.error = "stop mark";
    return d;
}

struct NecRow {
    const char* name;
    int address;  // -1: the default remote from the environment
    int command;
};

class NEC_Waveform : public SimPortTest, public ::testing::WithParamInterface<NecRow> {};

TEST_P(NEC_Waveform, Sampled_At_8_kHz_Decodes_To_Address_And_Command) {
    const NecRow& row = GetParam();
    unsigned address = 0x04;
    unsigned command = 0x08;
    if (row.address >= 0) {
        address = static_cast<unsigned>(row.address);
        command = static_cast<unsigned>(row.command);
        ASSERT_EQ(IoSimRemoteSetNec(address, command, 1), 0);
    }
    ASSERT_EQ(IoSimRemoteDurationNs(), NecDuration(1));

    const int cells = 1000;  // 125 ms: frame, repeat frame, idle line
    // Two plays at least: every trigger plays the waveform from its beginning.
    const CellCapture capture = TriggerAndSample(cells, 2);
    ASSERT_TRUE(capture.complete()) << capture.Describe();
    ASSERT_EQ(capture.conflicts, 0) << "the same waveform read differently on two plays";

    const NecDecode d = DecodeNec(capture.levels);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.bits & 0xFF, address);
    EXPECT_EQ((d.bits >> 8) & 0xFF, ~address & 0xFF);
    EXPECT_EQ((d.bits >> 16) & 0xFF, command);
    EXPECT_EQ((d.bits >> 24) & 0xFF, ~command & 0xFF);

    // Silence from the stop mark to the repeat frame at 108 ms.
    const auto& levels = capture.levels;
    EXPECT_EQ(levels[kRepeatCell - 1], 0);
    for (int k = 560; k < kRepeatCell; ++k) ASSERT_EQ(levels[k], 0) << "cell " << k;
    const std::vector<int> repeat_tail(levels.begin() + kRepeatCell, levels.end());
    const auto runs = Runs(repeat_tail);
    ASSERT_EQ(runs.size(), 4u) << "repeat frame: mark, space, mark, idle";
    EXPECT_EQ(runs[0].first, 1);
    EXPECT_TRUE(Near(runs[0].second, 72)) << runs[0].second;
    EXPECT_EQ(runs[1].first, 0);
    EXPECT_TRUE(Near(runs[1].second, 18)) << runs[1].second;
    EXPECT_EQ(runs[2].first, 1);
    EXPECT_TRUE(runs[2].second >= 4 && runs[2].second <= 5) << runs[2].second;
    EXPECT_EQ(runs[3].first, 0) << "the line is idle after the repeat frame";
}

INSTANTIATE_TEST_SUITE_P(Commands, NEC_Waveform,
                         ::testing::Values(NecRow{"default_0x04_0x08", -1, -1}, NecRow{"tv_0x20_0xDF", 0x20, 0xDF},
                                           NecRow{"all_zero_0x00_0x00", 0x00, 0x00}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Remote_Test, Line_Is_Idle_Before_The_Signal_Starts) {
    IoSimRemoteSetAuto(0);  // the polling below would arm it again
    IoSimRemoteSetDelayNs(30 * kMs);
    IoSimRemoteTrigger();
    const std::int64_t start = IoSimRemoteStartNs();
    int marks = 0;
    int reads = 0;
    for (;;) {
        const unsigned char status = PortIn(kStatus);
        // A read that may have been held up past the start proves nothing.
        if (NowNs() >= start) break;
        ++reads;
        marks += (status & 0x10) != 0;
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(marks, 0);
    EXPECT_TRUE(Wait_Until([] { return (PortIn(kStatus) & 0x10) != 0; }, std::chrono::seconds(2)));
    EXPECT_GE(NowNs(), start);
}

// ---- environment and sources --------------------------------------------------

const char* const kCommandFile =
    "@REPEAT = 2\r\n"
    "; learned with the capture dialog\r\n"
    "POWER,FF,01,00\r\n"
    "\r\n"
    "VOL_UP,03,C1 ; two bytes\r\n"
    "MUTE ; no bytes\n"
    "VOL_DOWN,,f0,,1ff,\n";

struct SourceRow {
    const char* name;
    const char* remote;   // IO_SIM_REMOTE; "@" stands for the command file's path
    const char* repeats;  // IO_SIM_REMOTE_REPEATS
    std::int64_t duration_ns;
    int warnings;  // lines on stderr
};

class Remote_Source : public SimPortTest, public ::testing::WithParamInterface<SourceRow> {};

TEST_P(Remote_Source, Environment_Chooses_The_Waveform) {
    const SourceRow& row = GetParam();
    TempDir dir;
    const std::string path = dir.File("remote.rmt");
    WriteFile(path, kCommandFile);
    if (row.remote != nullptr) {
        std::string value = row.remote;
        if (const std::size_t at = value.find('@'); at != std::string::npos) value.replace(at, 1, path);
        setenv("IO_SIM_REMOTE", value.c_str(), 1);
    }
    if (row.repeats != nullptr) setenv("IO_SIM_REMOTE_REPEATS", row.repeats, 1);

    ::testing::internal::CaptureStderr();
    IoSimReset();
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(IoSimRemoteDurationNs(), row.duration_ns);
    int lines = 0;
    for (const char c : err) lines += (c == '\n');
    EXPECT_EQ(lines, row.warnings) << err;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Remote_Source,
    ::testing::Values(SourceRow{"default_nec_with_one_repeat", nullptr, nullptr, NecDuration(1), 0},
                      SourceRow{"nec_decimal", "nec:4:8", nullptr, NecDuration(1), 0},
                      SourceRow{"nec_no_repeat", "nec:0x10:0x20", "0", NecDuration(0), 0},
                      SourceRow{"nec_three_repeats", "NEC:0x10:0x20", "3", NecDuration(3), 0},
                      SourceRow{"nec_bad_repeats_uses_one", "nec:1:2", "many", NecDuration(1), 1},
                      SourceRow{"nec_address_too_big", "nec:0x100:1", nullptr, NecDuration(1), 1},
                      SourceRow{"nec_missing_command", "nec:5", nullptr, NecDuration(1), 1},
                      SourceRow{"rmt_first_row", "@", nullptr, 3 * 8 * kCellNs, 0},
                      SourceRow{"rmt_named_row", "@:VOL_UP", nullptr, 2 * 8 * kCellNs, 0},
                      SourceRow{"rmt_row_with_empty_fields", "@:VOL_DOWN", nullptr, 2 * 8 * kCellNs, 0},
                      SourceRow{"rmt_row_without_bytes_is_silent", "@:MUTE", nullptr, 0, 0},
                      SourceRow{"rmt_missing_row_falls_back", "@:CHANNEL_9", nullptr, NecDuration(1), 1},
                      SourceRow{"rmt_missing_file_falls_back", "/nonexistent/remote.rmt", nullptr, NecDuration(1), 1},
                      SourceRow{"off", "off", nullptr, 0, 0},
                      SourceRow{"unknown_source_falls_back", "sony:1:2", nullptr, NecDuration(1), 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Remote_Test, Named_Row_Plays_Its_Cells_In_Order) {
    TempDir dir;
    const std::string path = dir.File("remote.rmt");
    WriteFile(path, kCommandFile);
    ASSERT_EQ(IoSimRemoteSetFile(path.c_str(), "VOL_UP"), 0);
    ASSERT_EQ(IoSimRemoteDurationNs(), 16 * kCellNs);

    // 0x03, 0xC1: bit 0 of the first byte is the first cell.
    const std::vector<int> expected = {1, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0};
    const CellCapture capture = TriggerAndSample(static_cast<int>(expected.size()));
    ASSERT_TRUE(capture.complete()) << capture.Describe();
    ASSERT_EQ(capture.conflicts, 0) << "the same waveform read differently on two plays";
    EXPECT_EQ(capture.levels, expected);
}

TEST_F(Remote_Test, Samples_Play_Cell_By_Cell) {
    const unsigned char cells[] = {0, 1, 1, 0, 255, 0, 0, 7, 7, 7};
    ASSERT_EQ(IoSimRemoteSetSamples(cells, 10), 0);
    EXPECT_EQ(IoSimRemoteDurationNs(), 10 * kCellNs);
    const CellCapture capture = TriggerAndSample(12);
    ASSERT_TRUE(capture.complete()) << capture.Describe();
    ASSERT_EQ(capture.conflicts, 0) << "the same waveform read differently on two plays";
    EXPECT_EQ(capture.levels, (std::vector<int>{0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0}));
}

struct FileRow {
    const char* name;
    const char* row;  // nullptr: no name
    bool file_exists;
    int result;
    std::int64_t duration_ns;  // after the call; a failure keeps the previous waveform
};

class Remote_File : public SimPortTest, public ::testing::WithParamInterface<FileRow> {};

TEST_P(Remote_File, Set_File_Picks_A_Row) {
    const FileRow& row = GetParam();
    TempDir dir;
    const std::string path = dir.File("remote.rmt");
    if (row.file_exists) WriteFile(path, kCommandFile);
    ASSERT_EQ(IoSimRemoteSetNec(1, 2, 0), 0);
    EXPECT_EQ(IoSimRemoteSetFile(path.c_str(), row.row), row.result);
    EXPECT_EQ(IoSimRemoteDurationNs(), row.duration_ns);
}

INSTANTIATE_TEST_SUITE_P(Rows, Remote_File,
                         ::testing::Values(FileRow{"null_name_first_row", nullptr, true, 0, 24 * kCellNs},
                                           FileRow{"empty_name_first_row", "", true, 0, 24 * kCellNs},
                                           FileRow{"named_row", "VOL_UP", true, 0, 16 * kCellNs},
                                           FileRow{"name_with_blank_before_comment", "MUTE", true, 0, 0},
                                           FileRow{"names_are_case_sensitive", "vol_up", true, -1, NecDuration(0)},
                                           FileRow{"missing_row_keeps_waveform", "CHANNEL_9", true, -1, NecDuration(0)},
                                           FileRow{"missing_file_keeps_waveform", "POWER", false, -1, NecDuration(0)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Remote_Test, Controls_Reject_Bad_Arguments) {
    ASSERT_EQ(IoSimRemoteSetNec(1, 2, 0), 0);
    EXPECT_EQ(IoSimRemoteSetNec(0x100, 1, 1), -1);
    EXPECT_EQ(IoSimRemoteSetNec(1, 0x100, 1), -1);
    EXPECT_EQ(IoSimRemoteSetNec(1, 2, -1), -1);
    EXPECT_EQ(IoSimRemoteSetSamples(nullptr, 5), -1);
    EXPECT_EQ(IoSimRemoteSetSamples(nullptr, -1), -1);
    EXPECT_EQ(IoSimRemoteSetFile(nullptr, "POWER"), -1);
    EXPECT_EQ(IoSimRemoteDurationNs(), NecDuration(0)) << "rejected calls keep the waveform";
    EXPECT_EQ(IoSimRemoteSetSamples(nullptr, 0), 0);
    EXPECT_EQ(IoSimRemoteDurationNs(), 0);
}

TEST_F(Remote_Test, Off_Remote_Never_Starts) {
    IoSimRemoteOff();
    EXPECT_EQ(IoSimRemoteDurationNs(), 0);
    IoSimRemoteTrigger();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(PortIn(kStatus), 0x00);
    EXPECT_EQ(IoSimRemoteStartNs(), -1);
}

// ---- when the remote plays ------------------------------------------------------

struct DelayRow {
    const char* name;
    const char* env;  // IO_SIM_REMOTE_DELAY_MS
    std::int64_t delay_ns;
    int warnings;
};

class Remote_Delay : public SimPortTest, public ::testing::WithParamInterface<DelayRow> {};

TEST_P(Remote_Delay, Trigger_Starts_The_Signal_After_The_Delay) {
    const DelayRow& row = GetParam();
    if (row.env != nullptr) setenv("IO_SIM_REMOTE_DELAY_MS", row.env, 1);
    ::testing::internal::CaptureStderr();
    IoSimReset();
    const std::string err = ::testing::internal::GetCapturedStderr();
    int lines = 0;
    for (const char c : err) lines += (c == '\n');
    EXPECT_EQ(lines, row.warnings) << err;

    const std::int64_t before = NowNs();
    IoSimRemoteTrigger();
    const std::int64_t after = NowNs();
    const std::int64_t start = IoSimRemoteStartNs();
    EXPECT_GE(start, before + row.delay_ns);
    EXPECT_LE(start, after + row.delay_ns);
}

INSTANTIATE_TEST_SUITE_P(Delays, Remote_Delay,
                         ::testing::Values(DelayRow{"default_50ms", nullptr, 50 * kMs, 0},
                                           DelayRow{"seven_ms", "7", 7 * kMs, 0},
                                           DelayRow{"half_ms", "0.5", kMs / 2, 0}, DelayRow{"zero", "0", 0, 0},
                                           DelayRow{"not_a_number_uses_default", "soon", 50 * kMs, 1},
                                           DelayRow{"negative_uses_default", "-3", 50 * kMs, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Remote_Test, Set_Delay_Overrides_The_Environment) {
    IoSimRemoteSetDelayNs(3 * kMs);
    const std::int64_t before = NowNs();
    IoSimRemoteTrigger();
    const std::int64_t after = NowNs();
    EXPECT_GE(IoSimRemoteStartNs(), before + 3 * kMs);
    EXPECT_LE(IoSimRemoteStartNs(), after + 3 * kMs);
}

// Reads the status register `reads` times, `interval` apart (0: back to back).
// False when back-to-back reads were held up too long to count as a burst.
bool ReadStatus(int reads, std::chrono::milliseconds interval) {
    if (interval.count() == 0) return ReadStatusBackToBack(reads);
    for (int i = 0; i < reads; ++i) {
        if (i > 0) std::this_thread::sleep_for(interval);
        PortIn(kStatus);
    }
    return true;
}

constexpr int kAttempts = 10;  // for steps a busy machine can hold up

struct BurstRow {
    const char* name;
    int interval_ms;
    int reads;
    bool arms;
};

class Burst_Arming : public SimPortTest, public ::testing::WithParamInterface<BurstRow> {};

TEST_P(Burst_Arming, Only_Quick_Reads_Arm_The_Remote) {
    const BurstRow& row = GetParam();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        IoSimReset();
        IoSimRemoteSetDelayNs(3 * kMs);
        // Being held up only makes reads slower, which never arms: only a row
        // that expects arming needs reads that provably were quick.
        if (!ReadStatus(row.reads, std::chrono::milliseconds(row.interval_ms)) && row.arms) continue;
        if (row.arms) {
            EXPECT_GE(IoSimRemoteStartNs(), 0);
        } else {
            EXPECT_EQ(IoSimRemoteStartNs(), -1);
        }
        return;
    }
    FAIL() << "the reads were held up on every attempt";
}

INSTANTIATE_TEST_SUITE_P(Rates, Burst_Arming,
                         ::testing::Values(BurstRow{"capture_polling_16_reads", 0, 16, true},
                                           BurstRow{"fifteen_quick_reads", 0, 15, false},
                                           BurstRow{"dialog_ten_per_second", 100, 17, false},
                                           BurstRow{"every_25ms", 25, 17, false}, BurstRow{"every_5ms", 5, 40, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Remote_Test, Sixteenth_Quick_Read_Arms_And_The_Signal_Follows) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        IoSimReset();
        IoSimRemoteSetDelayNs(3 * kMs);
        if (!ReadStatusBackToBack(15)) continue;
        ASSERT_EQ(IoSimRemoteStartNs(), -1);
        const std::int64_t before = NowNs();
        PortIn(kStatus);
        const std::int64_t after = NowNs();
        const std::int64_t start = IoSimRemoteStartNs();
        if (start < 0 && after - before > 2 * kMs) continue;  // the 16th read was held up
        EXPECT_GE(start, before + 3 * kMs);
        EXPECT_LE(start, after + 3 * kMs);

        // Keep polling, as a capture does, until the leader arrives.
        std::int64_t first_mark = -1;
        const std::int64_t give_up = NowNs() + 2'000 * kMs;
        while (first_mark < 0 && NowNs() < give_up) {
            if ((PortIn(kStatus) & 0x10) != 0) first_mark = NowNs();
        }
        ASSERT_GE(first_mark, 0) << "no signal";
        EXPECT_GE(first_mark, start);
        EXPECT_EQ(IoSimRemoteStartNs(), start) << "one signal per burst";
        return;
    }
    FAIL() << "the reads were held up on every attempt";
}

TEST_F(Remote_Test, Manual_Mode_Ignores_Bursts) {
    IoSimRemoteSetAuto(0);
    IoSimRemoteSetDelayNs(0);
    ReadStatus(100, std::chrono::milliseconds(0));
    EXPECT_EQ(IoSimRemoteStartNs(), -1);
    IoSimRemoteTrigger();
    EXPECT_GE(IoSimRemoteStartNs(), 0);
}

struct GapRow {
    const char* name;
    int gap_ms;
    bool plays_again;
};

class Burst_Gap : public SimPortTest, public ::testing::WithParamInterface<GapRow> {};

TEST_P(Burst_Gap, Pauses_Of_20_ms_Or_More_Start_A_New_Burst) {
    const GapRow& row = GetParam();
    constexpr std::int64_t kBurstGapNs = 20 * kMs;
    constexpr std::int64_t kDelayNs = kMs;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        IoSimReset();
        IoSimRemoteSetDelayNs(kDelayNs);
        // One burst of 56 reads arms once, at the 16th read.
        const StatusReads burst = ReadStatusTimed(56);
        if (!burst.quick) continue;
        const std::int64_t first = IoSimRemoteStartNs();
        ASSERT_GE(first, burst.before[15] + kDelayNs);
        ASSERT_LE(first, burst.after[15] + kDelayNs) << "a burst arms only once";

        std::this_thread::sleep_for(std::chrono::milliseconds(row.gap_ms));
        const StatusReads next = ReadStatusTimed(16);
        const std::int64_t longest_pause = next.after[0] - burst.before.back();
        const std::int64_t shortest_pause = next.before[0] - burst.after.back();
        // Sleeping may last longer than asked: retry when the pause is not
        // provably on the side of 20 ms that the row is about.
        if (row.plays_again ? (shortest_pause < kBurstGapNs || !next.quick) : longest_pause >= kBurstGapNs) continue;

        if (row.plays_again) {
            EXPECT_GE(IoSimRemoteStartNs(), next.before[15] + kDelayNs);
        } else {
            EXPECT_EQ(IoSimRemoteStartNs(), first);
        }
        return;
    }
    FAIL() << "every attempt was held up";
}

INSTANTIATE_TEST_SUITE_P(Gaps, Burst_Gap,
                         ::testing::Values(GapRow{"gap_25ms_new_burst", 25, true},
                                           GapRow{"gap_10ms_same_burst", 10, false},
                                           GapRow{"gap_1ms_same_burst", 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace iotest
