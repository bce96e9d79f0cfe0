#include "tests/io/sim_test_support.h"
#include "tests/support/unprivileged.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace iotest {

std::int64_t NowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void ClearIoEnvironment() {
    for (const char* name : {"IO_SIM_REMOTE", "IO_SIM_REMOTE_REPEATS", "IO_SIM_REMOTE_DELAY_MS", "IO_SIM_LOOPBACK",
                             "IO_SIM_TXLOG", "IO_SIM_TXLOG_CAPACITY", "IO_SIMLIRC_FEATURES"}) {
        unsetenv(name);
    }
}

void SimPortTest::SetUp() {
    ASSERT_STREQ(IoBackendName(), "sim");
    ClearIoEnvironment();
    IoSimReset();
}

void SimPortTest::TearDown() {
    ClearIoEnvironment();
    IoSimReset();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

namespace {

// Real-time priority for the sampling loop when the process may have it
// (root or CAP_SYS_NICE); otherwise the loop runs at normal priority.
class RealtimeScope {
public:
    RealtimeScope() {
        saved_ok_ = pthread_getschedparam(pthread_self(), &policy_, &param_) == 0;
        sched_param fifo{};
        fifo.sched_priority = 10;
        raised_ = saved_ok_ && pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0;
    }
    ~RealtimeScope() {
        if (raised_) pthread_setschedparam(pthread_self(), policy_, &param_);
    }
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;

private:
    bool saved_ok_ = false;
    bool raised_ = false;
    int policy_ = SCHED_OTHER;
    sched_param param_{};
};

}  // namespace

bool CellCapture::complete() const { return std::find(known.begin(), known.end(), false) == known.end(); }

std::string CellCapture::Describe() const {
    const auto unknown = std::count(known.begin(), known.end(), false);
    return std::to_string(unknown) + " of " + std::to_string(known.size()) + " cells unknown after " +
           std::to_string(plays) + " plays, " + std::to_string(conflicts) + " conflicts";
}

namespace {

void SampleOnePlay(std::int64_t start_ns, CellCapture* capture) {
    RealtimeScope realtime;
    const int cells = static_cast<int>(capture->levels.size());
    for (int k = 0; k < cells; ++k) {
        const std::int64_t target = start_ns + k * kCellNs + kCellNs / 4;
        std::int64_t before = NowNs();
        if (before >= target) continue;  // held up past this cell's sampling point
        while (before < target) before = NowNs();
        const unsigned char status = PortIn(kStatus);
        const std::int64_t after = NowNs();
        if (after - target >= kCellNs / 4) continue;  // may have read past mid-cell
        const int level = (status & 0x10) != 0 ? 1 : 0;
        if (capture->known[k] && capture->levels[k] != level) ++capture->conflicts;
        capture->levels[k] = level;
        capture->known[k] = true;
    }
}

}  // namespace

CellCapture TriggerAndSample(int cells, int min_plays, int max_plays) {
    CellCapture capture;
    capture.levels.assign(static_cast<std::size_t>(cells), 0);
    capture.known.assign(static_cast<std::size_t>(cells), false);
    IoSimRemoteSetAuto(0);
    IoSimRemoteSetDelayNs(2 * kMs);
    unsigned pause_seed = 12345;
    while (capture.plays < max_plays && (capture.plays < min_plays || !capture.complete())) {
        if (capture.plays > 0) {
            // A pause of varying length before the next play: a thread that has
            // slept starts afresh with the scheduler, and a different phase keeps
            // the next hold-up from landing on the same cells again.
            pause_seed = pause_seed * 1103515245u + 12345u;
            std::this_thread::sleep_for(std::chrono::microseconds(1000 + (pause_seed >> 16) % 9000));
        }
        IoSimRemoteTrigger();
        const std::int64_t start = IoSimRemoteStartNs();
        if (start < 0) break;
        ++capture.plays;
        SampleOnePlay(start, &capture);
    }
    return capture;
}

StatusReads ReadStatusTimed(int reads) {
    StatusReads r;
    r.before.reserve(static_cast<std::size_t>(reads));
    r.after.reserve(static_cast<std::size_t>(reads));
    for (int i = 0; i < reads; ++i) {
        r.before.push_back(NowNs());
        PortIn(kStatus);
        r.after.push_back(NowNs());
        if (i > 0 && r.after[i] - r.before[i - 1] > 2 * kMs) r.quick = false;
    }
    return r;
}

std::vector<std::pair<int, int>> Runs(const std::vector<int>& levels) {
    std::vector<std::pair<int, int>> runs;
    for (const int level : levels) {
        if (!runs.empty() && runs.back().first == level) {
            ++runs.back().second;
        } else {
            runs.emplace_back(level, 1);
        }
    }
    return runs;
}

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Starts the program with stdout and stderr in the two files and waits at
// most 20 s for it. Its exit code, 128 + the signal that ended it, or -1 when
// it could not be started.
int SpawnAndWait(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& out_path,
                 const std::string& err_path) {
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "IO_", 3) != 0) env_strings.emplace_back(*e);
    }
    env_strings.insert(env_strings.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ADD_FAILURE() << "posix_spawn " << argv[0] << ": " << std::strerror(rc);
        return -1;
    }

    int status = 0;
    const bool finished = Wait_Until([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(20));
    if (!finished) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << argv[0] << " did not finish within 20 s";
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

ProcessResult Collect(int exit_code, const std::string& out_path, const std::string& err_path) {
    ProcessResult result;
    result.exit_code = exit_code;
    result.out = ReadAll(out_path);
    result.err = ReadAll(err_path);
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) result.values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (const char c : result.err) result.err_lines += (c == '\n');
    return result;
}

constexpr uid_t kNobody = 65534;

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    TempDir dir;
    const std::string out_path = dir.File("stdout");
    const std::string err_path = dir.File("stderr");
    return Collect(SpawnAndWait(argv, env, out_path, err_path), out_path, err_path);
}

namespace {

// The folder of the running test program: the build's bin folder.
std::string Build_Bin_Folder() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

// The build folder may be closed to other users (a clone in root's 0700
// home, or in a mktemp -d folder): the build's own programs and libraries
// named on the command line run from copies in `dir`, which the test user
// may enter. Other arguments are left as they are.
std::vector<std::string> With_Reachable_Build_Files(const std::vector<std::string>& argv, const TempDir& dir) {
    const std::string bin = Build_Bin_Folder() + "/";
    std::vector<std::string> reachable;
    for (const std::string& arg : argv) {
        std::error_code error;
        if (!arg.starts_with(bin) || !std::filesystem::is_regular_file(arg, error)) {
            reachable.push_back(arg);
            continue;
        }
        const std::string copy = dir.File(std::to_string(reachable.size()) + "-" + arg.substr(arg.rfind('/') + 1));
        std::filesystem::copy_file(arg, copy, error);
        std::filesystem::permissions(copy, std::filesystem::perms(0755), error);
        reachable.push_back(error ? arg : copy);
    }
    return reachable;
}

}  // namespace

ProcessResult RunProcessUnprivileged(const std::vector<std::string>& given_argv, const std::vector<std::string>& env,
                                     std::optional<unsigned> only_group) {
    TempDir dir;
    qev::test::Give_To_Test_User(dir.Path());  // the program's output files are made there
    const std::string out_path = dir.File("stdout");
    const std::string err_path = dir.File("stderr");
    const std::vector<std::string> argv = geteuid() == 0 ? With_Reachable_Build_Files(given_argv, dir) : given_argv;
    const auto body = [&] { return SpawnAndWait(argv, env, out_path, err_path); };
    if (!only_group) return Collect(qev::test::Run_Unprivileged(body), out_path, err_path);
    if (geteuid() != 0) {
        ADD_FAILURE() << "choosing the group needs root";
        return {};
    }
    const pid_t child = fork();
    if (child < 0) return {};
    if (child == 0) {
        const gid_t group = *only_group;
        if (setgroups(1, &group) != 0 || setgid(group) != 0 || setuid(kNobody) != 0) _exit(255);
        _exit(body() & 0xFF);
    }
    int status = 0;
    const bool done = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) != 255;
    return Collect(done ? WEXITSTATUS(status) : -1, out_path, err_path);
}

}  // namespace iotest
