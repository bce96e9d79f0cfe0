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

}  // namespace qev::test
