#include "harness/irw_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

namespace qev::harness {

TIrw_Output::TIrw_Output(const std::string& program, const std::string& socket, std::function<void()> on_lines)
    : on_lines_(std::move(on_lines)) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
        ::dup2(out[1], 1);
        ::execlp(program.c_str(), program.c_str(), socket.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(out[1]);
    if (child_ < 0) {
        ::close(out[0]);
        return;
    }
    output_ = out[0];
    reader_ = std::thread([this] { Read_Lines(); });
}

TIrw_Output::~TIrw_Output() {
    if (child_ > 0) {
        ::kill(child_, SIGTERM);
        ::waitpid(child_, nullptr, 0);
    }
    if (reader_.joinable()) reader_.join();
    if (output_ >= 0) ::close(output_);
}

void TIrw_Output::Read_Lines() {
    std::string pending;
    char buffer[4096];
    for (ssize_t count; (count = ::read(output_, buffer, sizeof buffer)) > 0;) {
        const Clock::time_point now = Clock::now();
        pending.append(buffer, static_cast<std::size_t>(count));
        {
            const std::lock_guard lock(mutex_);
            for (std::size_t lf; (lf = pending.find('\n')) != std::string::npos;) {
                lines_.push_back({now, pending.substr(0, lf)});
                pending.erase(0, lf + 1);
            }
        }
        arrived_.notify_all();
        if (on_lines_) on_lines_();
    }
}

std::size_t TIrw_Output::Count() const {
    const std::lock_guard lock(mutex_);
    return lines_.size();
}

TIrw_Output::TLine TIrw_Output::Line(std::size_t index) const {
    const std::lock_guard lock(mutex_);
    return lines_.at(index);
}

std::optional<TIrw_Output::TLine> TIrw_Output::Wait_Beyond(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, limit, [&] { return lines_.size() > count; })) return std::nullopt;
    return lines_[count];
}

}  // namespace qev::harness
