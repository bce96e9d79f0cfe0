#include "tests/e2e/program_runner.h"

#include "tests/support/wait_until.h"

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

extern char** environ;

namespace qev::test {

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
bool Poll_Until(double seconds, F done) {
    return Wait_Until(done, std::chrono::duration<double>(seconds));
}

std::string Read_Text(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The main thread is asleep in a wait for events (poll, ppoll, select or a
// futex): the program waits for its user, in its window's event loop or a
// modal box's. Where the system call cannot be read, asleep is enough.
bool Waits_For_Events(pid_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/";
    const std::string stat = Read_Text(folder + "stat");
    const std::size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos || name_end + 2 >= stat.size() || stat[name_end + 2] != 'S') return false;
    const std::string call = Read_Text(folder + "syscall");
    char* end = nullptr;
    const long number = std::strtol(call.c_str(), &end, 10);
    if (end == call.c_str()) return true;
    return number == SYS_poll || number == SYS_ppoll || number == SYS_select || number == SYS_pselect6 ||
           number == SYS_futex || number == SYS_epoll_wait || number == SYS_epoll_pwait;
}

bool Catches_Sigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (SIGTERM - 1)) & 1u;
        }
    }
    return false;
}

}  // namespace

std::string Binary_Folder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }

std::vector<std::string> Logged_Port_Values(const std::string& log) {
    std::vector<std::string> values;
    std::ifstream lines(log);
    std::string time, port, value;
    while (lines >> time >> port >> value) values.push_back(value);
    return values;
}

std::pair<std::string, int> Run_Shell(const std::string& command, bool with_errors) {
    FILE* pipe = popen((with_errors ? command + " 2>&1" : command).c_str(), "r");
    if (pipe == nullptr) return {"", -1};
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TProgram_Runner::TProgram_Runner(std::string executable, const std::string& profile)
    : executable_(std::move(executable)) {
    Environment = {{"HOME", profile},     {"USERPROFILE", profile}, {"QT_QPA_PLATFORM", "offscreen"},
                   {"IO_BACKEND", "sim"}, {"IO_SIM_REMOTE", "off"}, {"XDG_RUNTIME_DIR", profile}};
}

TProgram_Runner::~TProgram_Runner() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool TProgram_Runner::Start() {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& [name, value] : Environment) {
        if (value.empty())
            env.erase(name);
        else
            env[name] = value;
    }
    std::vector<std::string> strings;
    for (const auto& [name, value] : env) strings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments{executable_};
    arguments.insert(arguments.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> argv_list;
    for (auto& argument : arguments) argv_list.push_back(argument.data());
    argv_list.push_back(nullptr);
    char** argv = argv_list.data();
    if (!Ordinary_User || geteuid() != 0) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!Stderr_Path.empty())
            posix_spawn_file_actions_addopen(&actions, 2, Stderr_Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const bool spawned = posix_spawn(&pid_, executable_.c_str(), &actions, nullptr, argv, envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        return spawned;
    }
    pid_ = fork();
    if (pid_ == 0) {
        if (!Stderr_Path.empty()) {
            const int fd = ::open(Stderr_Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::dup2(fd, 2) < 0) _exit(126);
        }
        constexpr uid_t Nobody = 65534;
        if (setgroups(0, nullptr) == 0 && setgid(Nobody) == 0 && setuid(Nobody) == 0)
            execve(executable_.c_str(), argv, envp.data());
        _exit(127);
    }
    return pid_ > 0;
}

bool TProgram_Runner::Wait_Until_Ready(double seconds) {
    return Poll_Until(seconds, [this] { return Catches_Sigterm(pid_); });
}

bool TProgram_Runner::Wait_Until_Idle(double seconds) {
    // Twice in a row 20 ms apart, so a wait between two steps of start-up
    // does not count.
    int looks = 0;
    return Wait_Until([&] { return (looks = Waits_For_Events(pid_) ? looks + 1 : 0) >= 2; },
                      std::chrono::duration<double>(seconds), std::chrono::milliseconds(20));
}

int TProgram_Runner::Wait_For_Exit(double seconds) {
    int status = 0;
    const bool exited = Poll_Until(seconds, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!exited) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int TProgram_Runner::Terminate(double seconds) {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    return Wait_For_Exit(seconds);
}

}  // namespace qev::test
