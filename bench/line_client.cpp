#include "bench/line_client.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace qev::bench {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining_Ms(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

TLine_Connection::TLine_Connection(TLine_Connection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), kind_(other.kind_), buffer_(std::move(other.buffer_)) {}

TLine_Connection& TLine_Connection::operator=(TLine_Connection&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        kind_ = other.kind_;
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

TLine_Connection::~TLine_Connection() { Close(); }

void TLine_Connection::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    buffer_.clear();
}

bool TLine_Connection::Open(uint16_t port, TClient_Kind kind, int timeout_ms) {
    Close();
    kind_ = kind;
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (kind == TClient_Kind::Tuned) {
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            Close();
            return false;
        }
        pollfd wait{fd_, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (poll(&wait, 1, timeout_ms) != 1 || getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0 ||
            error != 0) {
            Close();
            return false;
        }
    }
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return true;
}

bool TLine_Connection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool TLine_Connection::Found(std::string_view end) {
    const std::size_t at = buffer_.find(end);
    if (at == std::string::npos) return false;
    buffer_.erase(0, at + end.size());
    return true;
}

TRead_Result TLine_Connection::Read_Until(std::string_view end, int timeout_ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    char chunk[4096];
    while (!Found(end)) {
        pollfd wait{fd_, POLLIN, 0};
        const int ready = poll(&wait, 1, Remaining_Ms(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return TRead_Result::Timeout;
        const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return TRead_Result::Closed;
        buffer_.append(chunk, static_cast<std::size_t>(n));
        if (kind_ == TClient_Kind::Tuned) {
            const int on = 1;  // the kernel clears it again after a while
            setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        }
    }
    return TRead_Result::Got;
}

TRead_Result TLine_Connection::Take_Waiting(std::string_view end) {
    char chunk[4096];
    while (!Found(end)) {
        const ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return TRead_Result::Timeout;
        if (n <= 0) return TRead_Result::Closed;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    return TRead_Result::Got;
}

void Raise_Open_File_Limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace qev::bench
