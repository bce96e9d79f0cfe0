// What the socket tests of both servers drive them with: the test thread's
// event loop and a Qt client on that thread. Plain POSIX clients for other
// threads (many connections, blocking sends, clients that do not read) are
// harness/loopback_client.h.
#ifndef QEV_TESTS_NET_LOOPBACK_CLIENT_H
#define QEV_TESTS_NET_LOOPBACK_CLIENT_H

#include <QHostAddress>
#include <QTcpSocket>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qev::test {

// How long a test waits for what should come at once.
constexpr int Wait_Ms = 10000;

// Runs the event loop until `done` holds, looking at it after every batch
// of events and at least every 2 ms. false when `timeout_ms` passed first.
bool Run_Events_Until(const std::function<bool()>& done, int timeout_ms = Wait_Ms);
// Runs the event loop until another thread sets `done`, measuring `backlog`
// after every batch of events; *peak is the largest measure seen. false
// when `timeout_ms` passed first.
bool Run_Events_Until_Done(const std::atomic<bool>& done, const std::function<std::size_t()>& backlog,
                           std::size_t* peak, int timeout_ms);
// Runs the event loop for `ms` milliseconds.
void Run_Events_For(int ms);

// A blocking connection to the Unix-domain socket at `path`, or -1.
int Connect_Unix(const std::string& path);

// A Qt client on the test's thread, over TCP or a Unix-domain socket; what
// it receives is gathered as it comes.
class TClient {
public:
    TClient();
    // true when connected (with LowDelayOption, so small writes go at once);
    // false at once when refused.
    bool Connect(uint16_t port, const QHostAddress& host = QHostAddress(QHostAddress::LocalHost));
    // true when connected to the Unix-domain socket at `path`.
    bool Connect_Local(const std::string& path);
    void Send(const std::string& bytes);
    // Waits for as many bytes as `expected` holds and returns what came,
    // which is then no longer in `received`.
    std::string Receive(const std::string& expected);
    bool Closed() const { return socket_.state() == QAbstractSocket::UnconnectedState; }
    QTcpSocket& Socket() { return socket_; }

    std::string received;

private:
    QTcpSocket socket_;
};

}  // namespace qev::test

#endif
