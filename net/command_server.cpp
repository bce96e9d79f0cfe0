#include "net/command_server.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>
#include <vector>

namespace qev {

namespace {

constexpr int Listen_Backlog = 5;
// Input Qt may hold for one connection; beyond it the kernel and TCP keep the
// rest, so a connection that is not being read cannot grow our memory.
constexpr qint64 Read_Buffer_Size = 16 * 1024;
// After accept() fails for want of file descriptors, accepting resumes after
// this pause (the connection waits in the backlog meanwhile).
constexpr int Accept_Retry_Ms = 100;
constexpr rlim_t Open_File_Target = 65536;

// Lets the process hold as many descriptors as its hard limit allows (up to
// Open_File_Target): the default soft limit of 1024 is too few for a server
// of a thousand connections.
void Raise_Open_File_Limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t target =
        limit.rlim_max == RLIM_INFINITY || limit.rlim_max > Open_File_Target ? Open_File_Target : limit.rlim_max;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur >= target) return;
    limit.rlim_cur = target;
    setrlimit(RLIMIT_NOFILE, &limit);  // a refusal leaves the old limit, which still works
}

}  // namespace

// One accepted connection and what the server needs to know about it.
class TServer_Connection : public QTcpSocket {
public:
    using QTcpSocket::QTcpSocket;
    bool Reading = false;  // Read_Connection() is handling this connection's bytes
    bool Paused = false;   // not read until its output drains below the limit
    bool Retired = false;  // closed: nothing more is read or sent; delete when not Reading
};

// Hands each accepted descriptor straight to the server (no pending queue).
class TServer_Listener : public QTcpServer {
public:
    explicit TServer_Listener(TCommand_Server* server) : QTcpServer(server), server_(server) {}

protected:
    void incomingConnection(qintptr descriptor) override { server_->Accept(descriptor); }

private:
    TCommand_Server* server_;
};

namespace {

// Sends to one connection, one write each, flushed at once; a connection
// that has gone meanwhile gets nothing.
TServer_Input_Line::TSend Sender(TServer_Connection* connection) {
    return [guard = QPointer<TServer_Connection>(connection)](std::string_view bytes) {
        if (!guard || guard->Retired || guard->state() != QAbstractSocket::ConnectedState) return;
        guard->write(bytes.data(), static_cast<qint64>(bytes.size()));
        guard->flush();
    };
}

}  // namespace

TCommand_Server::TCommand_Server(std::function<bool(const std::string&)> run_line, std::function<bool()> echo,
                                 QObject* parent)
    : QObject(parent), input_line_(std::move(run_line), std::move(echo)), listener_(new TServer_Listener(this)) {
    connect(listener_, &QTcpServer::acceptError, this, [this] { Resume_Accepting_Later(); });
}

TCommand_Server::~TCommand_Server() {
    // Delete the connections while the members they are known by still exist.
    const std::vector<TServer_Connection*> all(connections_.begin(), connections_.end());
    connections_.clear();
    for (TServer_Connection* connection : all) {
        connection->disconnect(this);
        delete connection;
    }
}

bool TCommand_Server::Open(uint16_t port, std::string* error) {
    if (Is_Open()) Close();
    Raise_Open_File_Limit();
    listener_->setListenBacklogSize(Listen_Backlog);
    if (!listener_->listen(QHostAddress::Any, port)) {
        if (error) *error = listener_->errorString().toStdString();
        return false;
    }
    return true;
}

void TCommand_Server::Close() {
    listener_->close();
    const std::vector<TServer_Connection*> all(connections_.begin(), connections_.end());
    for (TServer_Connection* connection : all) {
        connection->flush();  // what the kernel takes still reaches the client
        connection->abort();
        Retire(connection);
    }
}

bool TCommand_Server::Is_Open() const { return listener_->isListening(); }

uint16_t TCommand_Server::Port() const { return Is_Open() ? listener_->serverPort() : 0; }

std::size_t TCommand_Server::Output_Backlog() const {
    std::size_t total = 0;
    for (const TServer_Connection* connection : connections_)
        total += static_cast<std::size_t>(connection->bytesToWrite());
    return total;
}

void TCommand_Server::Accept(qintptr descriptor) {
    auto* connection = new TServer_Connection(this);
    if (!connection->setSocketDescriptor(descriptor)) {
        delete connection;
        ::close(static_cast<int>(descriptor));
        return;
    }
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
    TServer_Input_Line::Greet(Sender(connection));
}

void TCommand_Server::Read_Connection(TServer_Connection* connection) {
    // A nested call for a connection already being read leaves its bytes to
    // the outer loop, which reads until nothing is left.
    if (connection->Reading || connection->Paused || connection->Retired) return;
    connection->Reading = true;
    const TServer_Input_Line::TSend send = Sender(connection);
    char buffer[TServer_Input_Line::Read_Size];
    while (!connection->Retired) {
        if (static_cast<std::size_t>(connection->bytesToWrite()) > Output_Limit) {
            connection->Paused = true;
            break;
        }
        // Reading until read() gives nothing also lets Qt fetch more from the
        // kernel again after its read buffer was full.
        const qint64 count = connection->read(buffer, sizeof buffer);
        if (count <= 0) break;
        input_line_.Feed(std::string_view(buffer, static_cast<std::size_t>(count)), send);
    }
    connection->Reading = false;
    if (connection->Retired) connection->deleteLater();
}

void TCommand_Server::Retire(TServer_Connection* connection) {
    connections_.erase(connection);
    if (connection->Retired) return;
    connection->Retired = true;
    // Deleted later, never inside one of its own signals; while its bytes are
    // being handled, Read_Connection() deletes it when it is done.
    if (!connection->Reading) connection->deleteLater();
}

void TCommand_Server::Resume_Accepting_Later() {
    QTimer::singleShot(Accept_Retry_Ms, this, [this] {
        if (listener_->isListening()) listener_->resumeAccepting();
    });
}

}  // namespace qev
