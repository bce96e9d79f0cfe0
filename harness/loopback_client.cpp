#include "harness/loopback_client.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace qev::harness {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline_In(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

int Milliseconds_Left(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until `fd` has something to read (or its end) before `deadline`.
bool Readable_Before(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, Milliseconds_Left(deadline));
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0;
    }
}

// One recv() of at most `limit` bytes appended to `to`; false at the end
// of the stream or on an error.
bool Receive_Once(int fd, std::string& to, std::size_t limit, int flags = 0) {
    char chunk[4096];
    for (;;) {
        const ssize_t n = recv(fd, chunk, std::min(sizeof chunk, limit), flags);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
}

}  // namespace

int Connect_Loopback(uint16_t port, int timeout_ms, const TSocket_Options& options) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    if (options.No_Delay) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (options.Send_Buffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &options.Send_Buffer, sizeof options.Send_Buffer);
    if (options.Receive_Buffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &options.Receive_Buffer, sizeof options.Receive_Buffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        pollfd wait{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (errno != EINPROGRESS || poll(&wait, 1, timeout_ms) != 1 ||
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            close(fd);
            return -1;
        }
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool Send_All(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string Receive_Count(int fd, std::size_t count, int idle_ms) {
    std::string got;
    while (got.size() < count && Readable_Before(fd, Clock::now() + std::chrono::milliseconds(idle_ms)) &&
           Receive_Once(fd, got, count - got.size())) {
    }
    return got;
}

void Close_With_Reset(int fd) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(fd);
}

void Raise_Open_File_Limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

TLoopback_Client::TLoopback_Client(TLoopback_Client&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), no_delay_(other.no_delay_), buffer_(std::move(other.buffer_)) {}

TLoopback_Client& TLoopback_Client::operator=(TLoopback_Client&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        no_delay_ = other.no_delay_;
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

TLoopback_Client::~TLoopback_Client() { Close(); }

void TLoopback_Client::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    buffer_.clear();
}

bool TLoopback_Client::Open(uint16_t port, int timeout_ms, const TSocket_Options& options) {
    Close();
    no_delay_ = options.No_Delay;
    fd_ = Connect_Loopback(port, timeout_ms, options);
    return fd_ >= 0;
}

bool TLoopback_Client::Connect(uint16_t port, double seconds) {
    const Clock::time_point deadline = Deadline_In(seconds);
    for (;;) {
        if (Open(port, std::max(Milliseconds_Left(deadline), 1))) return true;
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the next attempt
    }
}

bool TLoopback_Client::Send(std::string_view bytes) { return Send_All(fd_, bytes); }

std::string TLoopback_Client::Receive(std::size_t count, double seconds) {
    const Clock::time_point deadline = Deadline_In(seconds);
    std::string got = std::exchange(buffer_, {});
    if (got.size() > count) {
        buffer_ = got.substr(count);
        got.resize(count);
    }
    while (got.size() < count && Readable_Before(fd_, deadline) && Receive_Once(fd_, got, count - got.size())) {
    }
    return got;
}

std::string TLoopback_Client::Receive_Until(std::string_view ending, double seconds) {
    const Clock::time_point deadline = Deadline_In(seconds);
    std::string got = std::exchange(buffer_, {});
    while (!got.ends_with(ending) && Readable_Before(fd_, deadline) && Receive_Once(fd_, got, SIZE_MAX)) {
    }
    return got;
}

std::string TLoopback_Client::Receive_For(double seconds) {
    const Clock::time_point deadline = Deadline_In(seconds);
    std::string got = std::exchange(buffer_, {});
    while (Readable_Before(fd_, deadline) && Receive_Once(fd_, got, SIZE_MAX)) {
    }
    return got;
}

bool TLoopback_Client::Found(std::string_view end) {
    const std::size_t at = buffer_.find(end);
    if (at == std::string::npos) return false;
    buffer_.erase(0, at + end.size());
    return true;
}

TRead_Result TLoopback_Client::Read_Until(std::string_view end, int timeout_ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!Found(end)) {
        if (!Readable_Before(fd_, deadline)) return TRead_Result::Timeout;
        if (!Receive_Once(fd_, buffer_, SIZE_MAX)) return TRead_Result::Closed;
        if (no_delay_) {
            const int on = 1;  // the kernel clears it again after a while
            setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        }
    }
    return TRead_Result::Got;
}

TRead_Result TLoopback_Client::Take_Waiting(std::string_view end) {
    while (!Found(end)) {
        errno = 0;
        if (!Receive_Once(fd_, buffer_, SIZE_MAX, MSG_DONTWAIT))
            return errno == EAGAIN || errno == EWOULDBLOCK ? TRead_Result::Timeout : TRead_Result::Closed;
    }
    return TRead_Result::Got;
}

}  // namespace qev::harness
