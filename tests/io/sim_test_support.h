// Shared helpers for the port library's tests on the simulated port.
#ifndef QEV_TESTS_IO_SIM_TEST_SUPPORT_H
#define QEV_TESTS_IO_SIM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "io/io_api.h"
#include "tests/support/temp_env.h"
#include "tests/support/wait_until.h"

namespace iotest {

constexpr unsigned short kBase = 0x378;
constexpr unsigned short kStatus = kBase + 1;
constexpr unsigned short kControl = kBase + 2;
constexpr std::int64_t kCellNs = 125'000;  // one tick of the 8 kHz sample clock
constexpr std::int64_t kMs = 1'000'000;

std::int64_t NowNs();

// Unsets every variable the library reads, so IoSimReset gives the defaults.
void ClearIoEnvironment();

// Each test starts from the power-on state with the default configuration
// and leaves it that way.
class SimPortTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Scratch folders: the shared one of the test helpers.
using TempDir = qev::test::TTemp_Dir;

void WriteFile(const std::string& path, const std::string& text);
std::vector<std::string> ReadLines(const std::string& path);

// Waiting for a condition with a deadline: the shared one of the test helpers.
using qev::test::Wait_Until;

// Status bit 0x10 sampled once per 125 us cell, a quarter into each cell,
// counting cells from the signal's start (busy-waiting, at real-time priority
// when the process may have it). A sample counts only when it provably fell
// in the first half of its cell, clear of edges in mid-cell; cells missed
// because the thread was held up stay unknown. The remote plays the same
// waveform on every trigger, so unknown cells are filled in by triggering
// and sampling again; a cell that reads differently on two plays is a
// conflict.
struct CellCapture {
    std::vector<int> levels;
    std::vector<bool> known;
    int plays = 0;
    int conflicts = 0;
    bool complete() const;
    std::string Describe() const;
};

// Triggers the remote by hand until every one of `cells` cells is known
// and it has played at least `min_plays` times (at most `max_plays` times).
CellCapture TriggerAndSample(int cells, int min_plays = 1, int max_plays = 40);

// Reads the status register `reads` times back to back, noting the clock
// before and after each read. quick: each read provably came within 2 ms of
// the one before, so the reads form one burst.
struct StatusReads {
    std::vector<std::int64_t> before;
    std::vector<std::int64_t> after;
    bool quick = true;
};
StatusReads ReadStatusTimed(int reads);
inline bool ReadStatusBackToBack(int reads) { return ReadStatusTimed(reads).quick; }

// Runs of equal level: (level, length in cells).
std::vector<std::pair<int, int>> Runs(const std::vector<int>& levels);

// Runs a program with the current environment minus every IO_* variable,
// plus `env`; waits at most 20 s for it.
struct ProcessResult {
    int exit_code = -1;
    std::string out;
    std::string err;
    std::map<std::string, std::string> values;  // key=value lines of out
    int err_lines = 0;
};
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env);

// As RunProcess, as an ordinary user, for permission cases: when the tests
// run as root the program runs as user nobody (tests/support/unprivileged.h),
// with `only_group` as its one group when given (root only), and otherwise
// as the user the tests run as.
ProcessResult RunProcessUnprivileged(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                     std::optional<unsigned> only_group = std::nullopt);

}  // namespace iotest

#endif
