#include "tests/net/loopback_client.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>
#include <cstring>

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

int Connect_Unix(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
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

bool TClient::Connect_Local(const std::string& path) {
    const int fd = Connect_Unix(path);
    if (fd < 0) return false;
    // Qt's socket engine takes any connected stream socket.
    if (!socket_.setSocketDescriptor(fd)) {
        ::close(fd);
        return false;
    }
    return true;
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

}  // namespace qev::test
