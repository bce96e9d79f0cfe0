// Backend choice at load time, failure reports, and what unloading does.
// Each case loads the library in a child process (io_probe) with its own
// environment, as the program loads it: dlopen by path, dlsym by name.
#include "tests/io/sim_test_support.h"
#include "tests/support/unprivileged.h"

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

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
    const char* description;      // IoPortDescription
    const char* fallback_reason;  // IoFallbackReason
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
    EXPECT_EQ(r.values.at("description"), row.description);
    EXPECT_EQ(r.values.at("fallback_reason"), row.fallback_reason);
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
        ChoiceRow{"auto_without_port_device_is_sim",
                  {"IO_DEVICE=/nonexistent/parport0"},
                  "sim",
                  nullptr,
                  "simulated port",
                  ""},
        ChoiceRow{"auto_device_path_through_a_file_counts_as_missing",
                  {"IO_DEVICE=/dev/null/parport0"},
                  "sim",
                  nullptr,
                  "simulated port",
                  ""},
        ChoiceRow{"auto_device_that_is_no_port_is_sim_with_a_note",
                  {"IO_DEVICE=/dev/null"},
                  "sim",
                  "libio: /dev/null: not a ppdev device (PPCLAIM: ",
                  "simulated port (/dev/null: not a ppdev device)",
                  "/dev/null: not a ppdev device"},
        ChoiceRow{"forced_sim", {"IO_BACKEND=sim", "IO_DEVICE=/dev/null"}, "sim", nullptr, "simulated port", ""},
        ChoiceRow{"forced_sim_any_case", {"IO_BACKEND=SIM"}, "sim", nullptr, "simulated port", ""},
        ChoiceRow{"empty_backend_counts_as_unset",
                  {"IO_BACKEND=", "IO_DEVICE=/nonexistent"},
                  "sim",
                  nullptr,
                  "simulated port",
                  ""},
        ChoiceRow{"ppdev_missing_device",
                  {"IO_BACKEND=ppdev", "IO_DEVICE=/nonexistent"},
                  "none",
                  "/nonexistent",
                  "no port (IO_BACKEND=ppdev could not start)",
                  ""},
        ChoiceRow{"ppdev_device_that_is_no_port",
                  {"IO_BACKEND=ppdev", "IO_DEVICE=/dev/null"},
                  "none",
                  "IO_BACKEND=ppdev: /dev/null: not a ppdev device (PPCLAIM: ",
                  "no port (IO_BACKEND=ppdev could not start)",
                  ""},
        ChoiceRow{"unknown_backend",
                  {"IO_BACKEND=parallel"},
                  "none",
                  "libio: IO_BACKEND=parallel: not one of sim, ppdev, direct, lirc, simlirc; no port access",
                  "no port (IO_BACKEND=parallel is not one of sim, ppdev, direct, lirc, simlirc)",
                  ""},
        ChoiceRow{"log_file_in_missing_folder",
                  {"IO_BACKEND=sim", "IO_SIM_TXLOG=/nonexistent/dir/tx.log"},
                  "sim",
                  "/nonexistent/dir/tx.log",
                  "simulated port",
                  ""},
        ChoiceRow{"bad_log_capacity",
                  {"IO_BACKEND=sim", "IO_SIM_TXLOG_CAPACITY=0"},
                  "sim",
                  "IO_SIM_TXLOG_CAPACITY",
                  "simulated port",
                  ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Whether port I/O is allowed depends on the machine (root, CAP_SYS_RAWIO,
// container policy): either it works, or it reports why and does nothing.
TEST(Backend_Choice_Direct, Either_Works_Or_Says_Why) {
    const ProcessResult r = Probe({"info"}, {"IO_BACKEND=direct"});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::string backend = r.values.at("backend");
    ASSERT_TRUE(backend == "direct" || backend == "none") << backend;
    EXPECT_EQ(r.values.at("installed"), backend == "direct" ? "1" : "0");
    EXPECT_EQ(r.values.at("description"),
              backend == "direct" ? "direct I/O" : "no port (IO_BACKEND=direct could not start)");
    EXPECT_EQ(r.values.at("fallback_reason"), "");
    if (backend == "none") {
        EXPECT_EQ(r.err_lines, 1) << r.err;
        EXPECT_NE(r.err.find("IO_BACKEND=direct"), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(r.values.at("sim_set_nec"), "-1") << "sim controls do nothing on another backend";
}

// A device file that exists but cannot be used. Left to choose, the library
// takes the simulated port and says in one stderr line which device failed,
// why, and what would help; IO_BACKEND=ppdev on the same device gives no port
// and the same words.
enum class DeviceUser {
    Tests,          // the probe runs as the tests do
    Unprivileged,   // as an ordinary user (nobody when the tests run as root)
    Nobody_Daemon,  // as nobody whose one group is daemon, not nogroup: root only
};

struct FallbackRow {
    const char* name;
    // Makes the device at `path`; false when the tests cannot (not root).
    std::function<bool(const std::string& path)> make;
    DeviceUser user;
    std::string reason;  // after "<device>: "
    std::string detail;  // in parentheses after the reason; "" for none
};

bool MakeFile(const std::string& path, mode_t mode) {
    WriteFile(path, "");
    return chmod(path.c_str(), mode) == 0;
}

// Mode 000, owned by the user the probe runs as: not even its owner may open it.
bool MakeFileOpenToNoOne(const std::string& path) {
    if (!MakeFile(path, 0000)) return false;
    qev::test::Give_To_Test_User(path);
    return true;
}

// A file of root's with group `group` and mode 0660; root only.
bool MakeGroupFile(const std::string& path, const char* group) {
    const struct group* entry = getgrnam(group);
    if (geteuid() != 0 || entry == nullptr) return false;
    return MakeFile(path, 0660) && chown(path.c_str(), 0, entry->gr_gid) == 0;
}

// A socket file: opening it gives ENXIO, as a device file without a driver does.
bool MakeSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return bound;
}

const std::string kUdevAdvice =
    "no group you could join may read and write it; the udev rule 60-qev-lpt-parport.rules opens it to group lp";

std::string LpGroup() { return getgrnam("lp") != nullptr ? "lp" : "daemon"; }

void PrintTo(const FallbackRow& row, std::ostream* out) { *out << row.name; }

class Fallback_Report : public ::testing::TestWithParam<FallbackRow> {};

TEST_P(Fallback_Report, Names_The_Device_And_Why_In_One_Line) {
    const FallbackRow& row = GetParam();
    TempDir dir;
    qev::test::Give_To_Test_User(dir.Path());  // nobody must reach the device inside
    const std::string device = dir.File("parport0");
    if (!row.make(device)) {
        GTEST_SKIP() << "making this device needs root";
    }

    const std::string words = device + ": " + row.reason;
    const std::string said = row.detail.empty() ? words : words + " (" + row.detail + ")";
    struct Choice {
        const char* name;
        std::vector<std::string> env;
        const char* backend;
        std::string err;
        std::string description;
        std::string fallback_reason;
    };
    const std::vector<Choice> choices = {
        {"automatic",
         {"IO_DEVICE=" + device},
         "sim",
         "libio: " + said + ": using the simulated port\n",
         "simulated port (" + words + ")",
         words},
        {"forced_ppdev",
         {"IO_BACKEND=ppdev", "IO_DEVICE=" + device},
         "none",
         "libio: IO_BACKEND=ppdev: " + said + "; no port access\n",
         "no port (IO_BACKEND=ppdev could not start)",
         ""},
    };
    for (const Choice& choice : choices) {
        SCOPED_TRACE(choice.name);
        const std::vector<std::string> argv = {IO_PROBE_PATH, LIBIO_PATH, "info"};
        const ProcessResult r = row.user == DeviceUser::Tests          ? RunProcess(argv, choice.env)
                                : row.user == DeviceUser::Unprivileged ? RunProcessUnprivileged(argv, choice.env)
                                                                       : RunProcessUnprivileged(argv, choice.env, 1);
        ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
        EXPECT_EQ(r.values.at("backend"), choice.backend);
        EXPECT_EQ(r.err, choice.err);
        EXPECT_EQ(r.values.at("description"), choice.description);
        EXPECT_EQ(r.values.at("fallback_reason"), choice.fallback_reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Fallback_Report,
    ::testing::Values(FallbackRow{"regular_file_is_no_ppdev_device",
                                  [](const std::string& p) { return MakeFile(p, 0666); }, DeviceUser::Tests,
                                  "not a ppdev device", std::string("PPCLAIM: ") + std::strerror(ENOTTY)},
                      FallbackRow{"directory", [](const std::string& p) { return mkdir(p.c_str(), 0777) == 0; },
                                  DeviceUser::Tests, std::strerror(EISDIR), ""},
                      FallbackRow{"no_driver_behind_it", MakeSocket, DeviceUser::Tests, std::strerror(ENXIO),
                                  "is the ppdev module loaded? sudo modprobe ppdev"},
                      FallbackRow{"open_to_no_one", MakeFileOpenToNoOne, DeviceUser::Unprivileged,
                                  std::strerror(EACCES), kUdevAdvice},
                      FallbackRow{"open_to_root_s_group_only",
                                  [](const std::string& p) { return MakeGroupFile(p, "root"); },
                                  DeviceUser::Unprivileged, std::strerror(EACCES), kUdevAdvice},
                      FallbackRow{"open_to_a_group_the_user_is_not_in",
                                  [](const std::string& p) { return MakeGroupFile(p, LpGroup().c_str()); },
                                  DeviceUser::Unprivileged, std::strerror(EACCES),
                                  "add yourself to group " + LpGroup() + " with sudo adduser $USER " + LpGroup() +
                                      ", then log in again"},
                      FallbackRow{"open_to_a_group_joined_since_the_login",
                                  [](const std::string& p) { return MakeGroupFile(p, "nogroup"); },
                                  DeviceUser::Nobody_Daemon, std::strerror(EACCES),
                                  "you are in group nogroup, but this login session is not yet; log in again"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- whole signals: the kernel IR device and its stand-in ---------------------

// Which backend, what it says, and what the signal functions answer: the
// io mode writes 0x5A (and more) to the ports and reads them back, then
// sends a short signal.
struct SignalChoiceRow {
    const char* name;
    std::vector<std::string> env;
    const char* backend;
    std::string err;  // stderr, whole
    std::string description;
    std::string fallback_reason;
    int signal_features;
    int signal_send;
    std::string signal_error;  // after a send that failed
    const char* in_data;       // the data register read back
};

void PrintTo(const SignalChoiceRow& row, std::ostream* out) { *out << row.name; }

class Signal_Backend_Choice : public ::testing::TestWithParam<SignalChoiceRow> {};

TEST_P(Signal_Backend_Choice, Loads_With_The_Expected_Backend_And_Signal_Functions) {
    const SignalChoiceRow& row = GetParam();
    const ProcessResult r = Probe({"io"}, row.env);
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.values.at("missing_count"), "0");
    EXPECT_EQ(r.values.at("backend"), row.backend);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(r.values.at("description"), row.description);
    EXPECT_EQ(r.values.at("fallback_reason"), row.fallback_reason);
    EXPECT_EQ(r.values.at("installed"), std::string(row.backend) == "none" ? "0" : "1");
    EXPECT_EQ(r.values.at("signal_features"), std::to_string(row.signal_features));
    // No receive is under way; a register port cannot cancel one.
    EXPECT_EQ(r.values.at("signal_cancel"), row.signal_features != 0 ? "0" : "-1");
    EXPECT_EQ(r.values.at("signal_send"), std::to_string(row.signal_send));
    if (row.signal_send != 0) {
        EXPECT_EQ(r.values.at("signal_error"), row.signal_error);
    }
    EXPECT_EQ(r.values.at("sim_signal_count"), std::string(row.backend) == "simlirc" ? "1" : "0");
    EXPECT_EQ(r.values.at("in_data"), row.in_data);
}

const std::string kNoLircDevice = std::string("not a LIRC device (LIRC_GET_FEATURES: ") + std::strerror(ENOTTY) + ")";
const std::string kRegisterPort = "the port takes no whole signals: it is driven register by register";
constexpr int kAllSignalFeatures = IO_SIGNAL_SEND | IO_SIGNAL_RECEIVE | IO_SIGNAL_CARRIER;

INSTANTIATE_TEST_SUITE_P(
    Environments, Signal_Backend_Choice,
    ::testing::Values(SignalChoiceRow{"simulated_port_takes_no_signals",
                                      {"IO_BACKEND=sim"},
                                      "sim",
                                      "",
                                      "simulated port",
                                      "",
                                      0,
                                      -1,
                                      kRegisterPort,
                                      "D8"},
                      SignalChoiceRow{"forced_simlirc",
                                      {"IO_BACKEND=simlirc", "IO_LIRC_DEVICE=/dev/null"},
                                      "simlirc",
                                      "",
                                      "simulated IR device",
                                      "",
                                      kAllSignalFeatures,
                                      0,
                                      "",
                                      "00"},
                      SignalChoiceRow{"forced_simlirc_any_case",
                                      {"IO_BACKEND=SimLirc"},
                                      "simlirc",
                                      "",
                                      "simulated IR device",
                                      "",
                                      kAllSignalFeatures,
                                      0,
                                      "",
                                      "00"},
                      SignalChoiceRow{"forced_lirc_missing_device",
                                      {"IO_BACKEND=lirc", "IO_LIRC_DEVICE=/nonexistent/lirc0"},
                                      "none",
                                      std::string("libio: IO_BACKEND=lirc: /nonexistent/lirc0: ") +
                                          std::strerror(ENOENT) + "; no port access\n",
                                      "no port (IO_BACKEND=lirc could not start)",
                                      "",
                                      0,
                                      -1,
                                      "no port (IO_BACKEND=lirc could not start)",
                                      "FF"},
                      SignalChoiceRow{"forced_lirc_device_that_is_no_lirc_device",
                                      {"IO_BACKEND=lirc", "IO_LIRC_DEVICE=/dev/null"},
                                      "none",
                                      "libio: IO_BACKEND=lirc: /dev/null: " + kNoLircDevice + "; no port access\n",
                                      "no port (IO_BACKEND=lirc could not start)",
                                      "",
                                      0,
                                      -1,
                                      "no port (IO_BACKEND=lirc could not start)",
                                      "FF"},
                      SignalChoiceRow{"auto_without_either_device_is_sim",
                                      {"IO_DEVICE=/nonexistent/parport0", "IO_LIRC_DEVICE=/nonexistent/lirc0"},
                                      "sim",
                                      "",
                                      "simulated port",
                                      "",
                                      0,
                                      -1,
                                      kRegisterPort,
                                      "D8"},
                      SignalChoiceRow{"auto_lirc_path_through_a_file_counts_as_missing",
                                      {"IO_DEVICE=/nonexistent/parport0", "IO_LIRC_DEVICE=/dev/null/lirc0"},
                                      "sim",
                                      "",
                                      "simulated port",
                                      "",
                                      0,
                                      -1,
                                      kRegisterPort,
                                      "D8"},
                      SignalChoiceRow{"auto_lirc_device_that_is_no_lirc_device_is_sim_with_a_note",
                                      {"IO_DEVICE=/nonexistent/parport0", "IO_LIRC_DEVICE=/dev/null"},
                                      "sim",
                                      "libio: /dev/null: " + kNoLircDevice + ": using the simulated port\n",
                                      "simulated port (/dev/null: not a LIRC device)",
                                      "/dev/null: not a LIRC device",
                                      0,
                                      -1,
                                      kRegisterPort,
                                      "D8"},
                      SignalChoiceRow{"auto_neither_device_usable_names_both",
                                      {"IO_DEVICE=/dev/null", "IO_LIRC_DEVICE=/dev/null"},
                                      "sim",
                                      std::string("libio: /dev/null: not a ppdev device (PPCLAIM: ") +
                                          std::strerror(ENOTTY) + "): using the simulated port\nlibio: /dev/null: " +
                                          kNoLircDevice + ": using the simulated port\n",
                                      "simulated port (/dev/null: not a ppdev device; /dev/null: not a LIRC device)",
                                      "/dev/null: not a ppdev device; /dev/null: not a LIRC device",
                                      0,
                                      -1,
                                      kRegisterPort,
                                      "D8"}),
    [](const auto& info) { return std::string(info.param.name); });

// A kernel IR device file that exists but cannot be used: left to choose,
// the library takes the simulated port and names the device, why, and what
// would help; IO_BACKEND=lirc gives no port and the same words.
const std::string kLircUdevAdvice =
    "no group you could join may read and write it; the udev rule 60-qev-lpt-lirc.rules opens it to group video";

std::string VideoGroup() { return getgrnam("video") != nullptr ? "video" : "daemon"; }

class Lirc_Fallback_Report : public ::testing::TestWithParam<FallbackRow> {};

TEST_P(Lirc_Fallback_Report, Names_The_Device_And_Why_In_One_Line) {
    const FallbackRow& row = GetParam();
    TempDir dir;
    qev::test::Give_To_Test_User(dir.Path());
    const std::string device = dir.File("lirc0");
    if (!row.make(device)) {
        GTEST_SKIP() << "making this device needs root";
    }
    const std::string words = device + ": " + row.reason;
    const std::string said = row.detail.empty() ? words : words + " (" + row.detail + ")";
    struct Choice {
        const char* name;
        std::vector<std::string> env;
        const char* backend;
        std::string err;
        std::string description;
        std::string fallback_reason;
    };
    const std::vector<Choice> choices = {
        {"automatic",
         {"IO_DEVICE=/nonexistent/parport0", "IO_LIRC_DEVICE=" + device},
         "sim",
         "libio: " + said + ": using the simulated port\n",
         "simulated port (" + words + ")",
         words},
        {"forced_lirc",
         {"IO_BACKEND=lirc", "IO_LIRC_DEVICE=" + device},
         "none",
         "libio: IO_BACKEND=lirc: " + said + "; no port access\n",
         "no port (IO_BACKEND=lirc could not start)",
         ""},
    };
    for (const Choice& choice : choices) {
        SCOPED_TRACE(choice.name);
        const std::vector<std::string> argv = {IO_PROBE_PATH, LIBIO_PATH, "info"};
        const ProcessResult r =
            row.user == DeviceUser::Tests ? RunProcess(argv, choice.env) : RunProcessUnprivileged(argv, choice.env);
        ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
        EXPECT_EQ(r.values.at("backend"), choice.backend);
        EXPECT_EQ(r.err, choice.err);
        EXPECT_EQ(r.values.at("description"), choice.description);
        EXPECT_EQ(r.values.at("fallback_reason"), choice.fallback_reason);
        EXPECT_EQ(r.values.at("signal_features"), "0");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Lirc_Fallback_Report,
    ::testing::Values(FallbackRow{"regular_file_is_no_lirc_device",
                                  [](const std::string& p) { return MakeFile(p, 0666); }, DeviceUser::Tests,
                                  "not a LIRC device", std::string("LIRC_GET_FEATURES: ") + std::strerror(ENOTTY)},
                      FallbackRow{"directory", [](const std::string& p) { return mkdir(p.c_str(), 0777) == 0; },
                                  DeviceUser::Tests, std::strerror(EISDIR), ""},
                      FallbackRow{"no_driver_behind_it", MakeSocket, DeviceUser::Tests, std::strerror(ENXIO),
                                  "no driver behind it: is the IR device plugged in and its driver loaded?"},
                      FallbackRow{"open_to_no_one", MakeFileOpenToNoOne, DeviceUser::Unprivileged,
                                  std::strerror(EACCES), kLircUdevAdvice},
                      FallbackRow{"open_to_a_group_the_user_is_not_in",
                                  [](const std::string& p) { return MakeGroupFile(p, VideoGroup().c_str()); },
                                  DeviceUser::Unprivileged, std::strerror(EACCES),
                                  "add yourself to group " + VideoGroup() + " with sudo adduser $USER " + VideoGroup() +
                                      ", then log in again"}),
    [](const auto& info) { return std::string(info.param.name); });

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
