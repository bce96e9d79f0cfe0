#include "tests/e2e/line_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace qev::test {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

template <typename Time>
int Milliseconds_Left(Time limit) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

TLine_Client::~TLine_Client() {
    if (fd_ >= 0) ::close(fd_);
}

bool TLine_Client::Connect(uint16_t port, double seconds) {
    const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(port);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
        ::close(fd_);
        fd_ = -1;
        if (Clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool TLine_Client::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string TLine_Client::Receive(std::size_t count, double seconds) {
    const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
    std::string got;
    char chunk[4096];
    while (got.size() < count) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, Milliseconds_Left(limit)) <= 0) break;
        const ssize_t n = ::recv(fd_, chunk, std::min(sizeof chunk, count - got.size()), 0);
        if (n <= 0) break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

std::string TLine_Client::Receive_Until(std::string_view ending, double seconds) {
    const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
    std::string got;
    char chunk[4096];
    while (!got.ends_with(ending)) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, Milliseconds_Left(limit)) <= 0) break;
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

std::string TLine_Client::Receive_For(double seconds) {
    const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
    std::string got;
    char chunk[4096];
    for (;;) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, Milliseconds_Left(limit)) <= 0) break;
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace qev::test
