#include "tests/tools/tool_process.h"

#include "tests/support/temp_env.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace qev::test {

TTool_Process::TTool_Process(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
    char err_pattern[] = "/tmp/qev_tool_err_XXXXXX";
    const int err_fd = ::mkstemp(err_pattern);
    if (err_fd < 0) return;
    err_path_ = err_pattern;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(err_fd);
        return;
    }
    // Everything the child needs is made before the fork.
    std::vector<std::string> words{QEV_IR_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v) {
        if (std::strncmp(*v, "IO_", 3) != 0) variables.emplace_back(*v);
    }
    variables.insert(variables.end(), environment.begin(), environment.end());
    std::vector<char*> argv, envp;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err_fd, 2) < 0) ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err_fd);
    if (pid_ < 0) {
        ::close(out[0]);
        return;
    }
    out_fd_ = out[0];
}

TTool_Process::~TTool_Process() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_fd_ >= 0) ::close(out_fd_);
    if (!err_path_.empty()) ::unlink(err_path_.c_str());
}

bool TTool_Process::Read_Line(std::string& line, int timeout_ms) {
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            taken_ += pending_.substr(0, end + 1);
            pending_.erase(0, end + 1);
            return true;
        }
        if (out_fd_ < 0) return false;
        pollfd entry{out_fd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, timeout_ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char chunk[4096];
        const ssize_t got = ::read(out_fd_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
}

void TTool_Process::Send_Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
}

TTool_Result TTool_Process::Wait() {
    TTool_Result result;
    if (pid_ <= 0) return result;
    result.Out = taken_ + pending_;
    taken_.clear();
    pending_.clear();
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(out_fd_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        result.Out.append(chunk, static_cast<std::size_t>(got));
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status)) result.Exit = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
    result.Err = Read_File(err_path_);
    return result;
}

TTool_Result Run_Tool_Process(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
    TTool_Process process(args, environment);
    return process.Wait();
}

}  // namespace qev::test
