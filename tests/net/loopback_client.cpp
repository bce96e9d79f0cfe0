#include "tests/net/loopback_client.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace qev::test {

bool Run_Events_Until(const std::function<bool()>& done, int timeout_ms) {
    QTimer tick;
    tick.start(2);
    const QDeadlineTimer deadline(timeout_ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool Run_Events_Until_Done(const std::atomic<bool>& done, const std::function<std::size_t()>& backlog,
                           std::size_t* peak, int timeout_ms) {
    return Run_Events_Until(
        [&] {
            *peak = std::max(*peak, backlog());
            return done.load();
        },
        timeout_ms);
}

void Run_Events_For(int ms) {
    const QDeadlineTimer deadline(ms);
    (void)Run_Events_Until([&] { return deadline.hasExpired(); }, ms + 1000);
}

TClient::TClient() {
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] {
        const QByteArray bytes = socket_.readAll();
        received.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    });
}

bool TClient::Connect(uint16_t port, const QHostAddress& host) {
    socket_.connectToHost(host, port);
    (void)Run_Events_Until([&] {
        return socket_.state() == QAbstractSocket::ConnectedState ||
               socket_.state() == QAbstractSocket::UnconnectedState;
    });
    const bool connected = socket_.state() == QAbstractSocket::ConnectedState;
    if (connected) socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return connected;
}

void TClient::Send(const std::string& bytes) {
    socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket_.flush();
}

std::string TClient::Receive(const std::string& expected) {
    (void)Run_Events_Until([&] { return received.size() >= expected.size(); });
    std::string got = received;
    received.clear();
    return got;
}

int Raw_Connect(uint16_t port, int send_buffer, int receive_buffer, int receive_timeout_s) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    if (send_buffer > 0) setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &send_buffer, sizeof send_buffer);
    if (receive_buffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    timeval limit{receive_timeout_s, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool Raw_Send(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Raw_Receive(int fd, std::size_t count) {
    std::string got;
    char buffer[4096];
    while (got.size() < count) {
        const ssize_t n = recv(fd, buffer, std::min(sizeof buffer, count - got.size()), 0);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

void Raw_Reset(int fd) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(fd);
}

}  // namespace qev::test
