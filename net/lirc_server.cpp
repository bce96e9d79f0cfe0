#include "net/lirc_server.h"

#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <vector>

namespace qev {

namespace {

constexpr int Listen_Backlog = 16;
// Input Qt may hold for one connection; beyond it the kernel and TCP keep the
// rest, so a connection that is not being read cannot grow our memory.
constexpr qint64 Read_Buffer_Size = 16 * 1024;
// Bytes handed to the line reader at a time; the output limit is looked at
// between two pieces.
constexpr qint64 Read_Piece = 4096;

}  // namespace

// One accepted connection and its unfinished line.
class TLirc_Connection : public QTcpSocket {
public:
    using QTcpSocket::QTcpSocket;
    TLirc_Line_Reader Lines;
    bool Paused = false;   // not read until its replies drain below half the limit
    bool Retired = false;  // closed: nothing more is read or sent; deleted later
};

// Hands each accepted descriptor straight to the server (no pending queue).
class TLirc_Listener : public QTcpServer {
public:
    explicit TLirc_Listener(TLirc_Server* server) : QTcpServer(server), server_(server) {}

protected:
    void incomingConnection(qintptr descriptor) override { server_->Accept(descriptor); }

private:
    TLirc_Server* server_;
};

TLirc_Server::TLirc_Server(TLirc_Program& program, QObject* parent)
    : QObject(parent), protocol_(program), listener_(new TLirc_Listener(this)), repeat_timer_(new QTimer(this)) {
    repeat_timer_->setInterval(0);
    connect(repeat_timer_, &QTimer::timeout, this, [this] { Repeat_Once(); });
    // Out of descriptors: the connection waits in the backlog for a moment.
    connect(listener_, &QTcpServer::acceptError, this, [this] {
        QTimer::singleShot(100, this, [this] {
            if (listener_->isListening()) listener_->resumeAccepting();
        });
    });
}

TLirc_Server::~TLirc_Server() {
    const std::vector<TLirc_Connection*> all(connections_.begin(), connections_.end());
    connections_.clear();
    for (TLirc_Connection* connection : all) {
        connection->disconnect(this);
        delete connection;
    }
}

bool TLirc_Server::Open(uint16_t port, std::string* error) {
    if (Is_Open()) Close();
    listener_->setListenBacklogSize(Listen_Backlog);
    if (!listener_->listen(QHostAddress::LocalHost, port)) {
        if (error) *error = listener_->errorString().toStdString();
        return false;
    }
    return true;
}

void TLirc_Server::Close() {
    listener_->close();
    protocol_.Stop_Repeating();
    repeat_timer_->stop();
    const std::vector<TLirc_Connection*> all(connections_.begin(), connections_.end());
    for (TLirc_Connection* connection : all) {
        connection->flush();  // what the kernel takes still reaches the client
        connection->abort();
        Retire(connection);
    }
}

bool TLirc_Server::Is_Open() const { return listener_->isListening(); }

uint16_t TLirc_Server::Port() const { return Is_Open() ? listener_->serverPort() : 0; }

std::size_t TLirc_Server::Output_Backlog() const {
    std::size_t total = 0;
    for (const TLirc_Connection* connection : connections_)
        total += static_cast<std::size_t>(connection->bytesToWrite());
    return total;
}

bool TLirc_Server::Apply(bool enable, int32_t port, std::string* error) {
    if (!enable) {
        Close();
        return true;
    }
    if (port < 1 || port > 65535) {
        Close();
        if (error) *error = "PORT " + std::to_string(port) + " is not a TCP port (1 to 65535)";
        return false;
    }
    if (Is_Open() && Port() == port) return true;
    return Open(static_cast<uint16_t>(port), error);
}

void TLirc_Server::Accept(qintptr descriptor) {
    auto* connection = new TLirc_Connection(this);
    if (!connection->setSocketDescriptor(descriptor)) {
        delete connection;
        ::close(static_cast<int>(descriptor));
        return;
    }
    // Each reply is one write; without this a client that writes its next
    // request before reading would wait for a delayed acknowledgement.
    connection->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connection->setReadBufferSize(Read_Buffer_Size);
    connections_.insert(connection);
    connect(connection, &QTcpSocket::readyRead, this, [this, connection] { Read_Connection(connection); });
    connect(connection, &QTcpSocket::bytesWritten, this, [this, connection] {
        if (connection->Paused && static_cast<std::size_t>(connection->bytesToWrite()) <= Output_Limit / 2) {
            connection->Paused = false;
            Read_Connection(connection);
        }
    });
    connect(connection, &QTcpSocket::disconnected, this, [this, connection] { Retire(connection); });
    connect(connection, &QTcpSocket::errorOccurred, this, [this, connection] {
        if (connection->state() == QAbstractSocket::UnconnectedState) Retire(connection);
    });
}

void TLirc_Server::Read_Connection(TLirc_Connection* connection) {
    if (connection->Paused || connection->Retired) return;
    char buffer[Read_Piece];
    while (!connection->Retired) {
        if (static_cast<std::size_t>(connection->bytesToWrite()) > Output_Limit) {
            connection->Paused = true;
            break;
        }
        // Reading until read() gives nothing also lets Qt fetch more from the
        // kernel again after its read buffer was full.
        const qint64 count = connection->read(buffer, sizeof buffer);
        if (count <= 0) break;
        std::string replies;
        connection->Lines.Feed(
            std::string_view(buffer, static_cast<std::size_t>(count)), [&](std::string_view line, bool too_long) {
                replies += too_long ? TLirc_Protocol::Too_Long_Reply(line) : protocol_.Handle(line, TLirc_Clock::now());
            });
        if (!replies.empty()) {
            connection->write(replies.data(), static_cast<qint64>(replies.size()));
            connection->flush();
        }
        Follow_Repetition();
    }
}

void TLirc_Server::Retire(TLirc_Connection* connection) {
    connections_.erase(connection);
    if (connection->Retired) return;
    connection->Retired = true;
    // Never deleted inside one of its own signals.
    connection->deleteLater();
}

void TLirc_Server::Repeat_Once() {
    protocol_.Repeat_Step(TLirc_Clock::now());
    Follow_Repetition();
}

// The timer runs exactly while a key repeats.
void TLirc_Server::Follow_Repetition() {
    if (protocol_.Repeating() && !repeat_timer_->isActive())
        repeat_timer_->start();
    else if (!protocol_.Repeating() && repeat_timer_->isActive())
        repeat_timer_->stop();
}

}  // namespace qev
