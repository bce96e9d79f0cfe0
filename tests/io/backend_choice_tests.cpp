// Backend choice at load time, failure reports, and what unloading does.
// Each case loads the library in a child process (io_probe) with its own
// environment, as the program loads it: dlopen by path, dlsym by name.
#include "tests/io/sim_test_support.h"

#include <cstdio>

namespace iotest {
namespace {

ProcessResult Probe(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<std::string> argv = {IO_PROBE_PATH, LIBIO_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, env);
}

struct ChoiceRow {
    const char* name;
    std::vector<std::string> env;
    const char* backend;
    const char* stderr_mentions;  // nullptr: stderr stays empty
};

class Backend_Choice : public ::testing::TestWithParam<ChoiceRow> {};

TEST_P(Backend_Choice, Loads_With_The_Expected_Backend) {
    const ChoiceRow& row = GetParam();
    const ProcessResult r = Probe({"io"}, row.env);
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.values.at("missing_count"), "0");
    EXPECT_EQ(r.values.at("backend"), row.backend);
    const bool working = std::string(row.backend) != "none";
    EXPECT_EQ(r.values.at("installed"), working ? "1" : "0");
    if (row.stderr_mentions == nullptr) {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_EQ(r.err_lines, 1) << r.err;
        EXPECT_NE(r.err.find(row.stderr_mentions), std::string::npos) << r.err;
    }

    if (working) {
        // 0x5A, set bit 7, clear bit 1, toggle bit 0, shift right with 1, shift left with 0.
        EXPECT_EQ(r.values.at("in_data"), "D8");
        EXPECT_EQ(r.values.at("in_control"), "2C");
        EXPECT_EQ(r.values.at("in_unused"), "FF");
        EXPECT_EQ(r.values.at("sim_set_nec"), "0");
        EXPECT_EQ(r.values.at("sim_set_file"), "-1");
        EXPECT_EQ(r.values.at("sim_peek_control"), "44");  // 0x2C
        EXPECT_NE(r.values.at("sim_remote_start_after_trigger"), "-1");
    } else {
        // Reads give 0xFF, writes vanish, the sim controls answer "nothing".
        EXPECT_EQ(r.values.at("in_data"), "FF");
        EXPECT_EQ(r.values.at("in_status"), "FF");
        EXPECT_EQ(r.values.at("in_control"), "FF");
        EXPECT_EQ(r.values.at("in_unused"), "FF");
        EXPECT_EQ(r.values.at("word_in"), "FFFF");
        EXPECT_EQ(r.values.at("dword_in"), "FFFFFFFF");
        EXPECT_EQ(r.values.at("get_bit"), "1");
        EXPECT_EQ(r.values.at("sim_tx_count"), "0");
        EXPECT_EQ(r.values.at("sim_tx_entry0"), "0");
        EXPECT_EQ(r.values.at("sim_remote_start"), "-1");
        EXPECT_EQ(r.values.at("sim_remote_duration"), "0");
        EXPECT_EQ(r.values.at("sim_set_nec"), "-1");
        EXPECT_EQ(r.values.at("sim_set_file"), "-1");
        EXPECT_EQ(r.values.at("sim_peek_control"), "0");
        EXPECT_EQ(r.values.at("sim_remote_start_after_trigger"), "-1");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Environments, Backend_Choice,
    ::testing::Values(
        ChoiceRow{"auto_without_port_device_is_sim", {"IO_DEVICE=/nonexistent/parport0"}, "sim", nullptr},
        ChoiceRow{"auto_device_that_is_no_port_is_sim_with_a_note", {"IO_DEVICE=/dev/null"}, "sim", "/dev/null"},
        ChoiceRow{"forced_sim", {"IO_BACKEND=sim", "IO_DEVICE=/dev/null"}, "sim", nullptr},
        ChoiceRow{"forced_sim_any_case", {"IO_BACKEND=SIM"}, "sim", nullptr},
        ChoiceRow{"empty_backend_counts_as_unset", {"IO_BACKEND=", "IO_DEVICE=/nonexistent"}, "sim", nullptr},
        ChoiceRow{"ppdev_missing_device", {"IO_BACKEND=ppdev", "IO_DEVICE=/nonexistent"}, "none", "/nonexistent"},
        ChoiceRow{"ppdev_device_that_is_no_port", {"IO_BACKEND=ppdev", "IO_DEVICE=/dev/null"}, "none", "PPCLAIM"},
        ChoiceRow{"unknown_backend", {"IO_BACKEND=parallel"}, "none", "parallel"},
        ChoiceRow{"log_file_in_missing_folder",
                  {"IO_BACKEND=sim", "IO_SIM_TXLOG=/nonexistent/dir/tx.log"},
                  "sim",
                  "/nonexistent/dir/tx.log"},
        ChoiceRow{"bad_log_capacity", {"IO_BACKEND=sim", "IO_SIM_TXLOG_CAPACITY=0"}, "sim", "IO_SIM_TXLOG_CAPACITY"}),
    [](const auto& info) { return std::string(info.param.name); });

// Whether port I/O is allowed depends on the machine (root, CAP_SYS_RAWIO,
// container policy): either it works, or it reports why and does nothing.
TEST(Backend_Choice_Direct, Either_Works_Or_Says_Why) {
    const ProcessResult r = Probe({"info"}, {"IO_BACKEND=direct"});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::string backend = r.values.at("backend");
    ASSERT_TRUE(backend == "direct" || backend == "none") << backend;
    EXPECT_EQ(r.values.at("installed"), backend == "direct" ? "1" : "0");
    if (backend == "none") {
        EXPECT_EQ(r.err_lines, 1) << r.err;
        EXPECT_NE(r.err.find("IO_BACKEND=direct"), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(r.values.at("sim_set_nec"), "-1") << "sim controls do nothing on another backend";
}

struct UnloadRow {
    const char* name;
    const char* mode;
    int writes;
};

class Unload_Flush : public ::testing::TestWithParam<UnloadRow> {};

TEST_P(Unload_Flush, Every_Write_Reaches_The_File) {
    const UnloadRow& row = GetParam();
    TempDir dir;
    const std::string path = dir.File("tx.log");
    WriteFile(path, "stale line from an earlier run\n");
    const ProcessResult r = Probe({row.mode, std::to_string(row.writes)}, {"IO_BACKEND=sim", "IO_SIM_TXLOG=" + path});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    if (std::string(row.mode) == "write-dlclose") {
        EXPECT_EQ(r.values.at("dlclose"), "0");
        EXPECT_EQ(r.values.at("lines_after_dlclose"), std::to_string(row.writes)) << "flushed by dlclose";
    }
    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(row.writes)) << "the file starts empty at load";
    for (int i = 0; i < row.writes; ++i) {
        char tail[16];
        std::snprintf(tail, sizeof tail, " 0x378 %02X", i & 0xFF);
        ASSERT_EQ(lines[i].substr(lines[i].find(' ')), tail) << "line " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Unloads, Unload_Flush,
                         ::testing::Values(UnloadRow{"process_exit", "write", 20000},
                                           UnloadRow{"dlclose", "write-dlclose", 20000},
                                           UnloadRow{"nothing_written", "write", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace iotest
