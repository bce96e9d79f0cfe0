#include "net/tcp_listener.h"

#include <unistd.h>

#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

namespace qev {

namespace {

// Input Qt may hold for one connection.
constexpr qint64 Read_Buffer_Size = 16 * 1024;
// The largest piece read at a time.
constexpr std::size_t Max_Read_Piece = 4096;
// After accept() fails for want of file descriptors, accepting resumes after
// this pause (the connection waits in the backlog meanwhile).
constexpr int Accept_Retry_Ms = 100;

}  // namespace

void TTcp_Connection::Send(std::string_view bytes) {
    if (retired_ || state() != QAbstractSocket::ConnectedState) return;
    write(bytes.data(), static_cast<qint64>(bytes.size()));
    flush();
}

// Hands each accepted descriptor straight to the listener (no pending queue).
class TTcp_Accepter : public QTcpServer {
public:
    explicit TTcp_Accepter(TTcp_Listener* owner) : QTcpServer(owner), owner_(owner) {}

protected:
    void incomingConnection(qintptr descriptor) override { owner_->Accept(descriptor); }

private:
    TTcp_Listener* owner_;
};

TTcp_Listener::TTcp_Listener(TTcp_Listener_Setup setup, QObject* parent)
    : QObject(parent), setup_(std::move(setup)), listener_(new TTcp_Accepter(this)) {
    setup_.Read_Piece = std::clamp<std::size_t>(setup_.Read_Piece, 1, Max_Read_Piece);
    connect(listener_, &QTcpServer::acceptError, this, [this] { Resume_Accepting_Later(); });
}

TTcp_Listener::~TTcp_Listener() {
    // Delete the connections while what their signals reach still exists.
    const std::vector<TTcp_Connection*> all(connections_.begin(), connections_.end());
    connections_.clear();
    for (TTcp_Connection* connection : all) {
        connection->disconnect(this);
        delete connection;
    }
}

bool TTcp_Listener::Open(uint16_t port, std::string* error) {
    if (Is_Open()) Close();
    listener_->setListenBacklogSize(setup_.Backlog);
    if (!listener_->listen(setup_.Address, port)) {
        if (error) *error = listener_->errorString().toStdString();
        return false;
    }
    return true;
}

void TTcp_Listener::Close() {
    listener_->close();
    const std::vector<TTcp_Connection*> all(connections_.begin(), connections_.end());
    for (TTcp_Connection* connection : all) {
        connection->flush();  // what the kernel takes still reaches the client
        connection->abort();
        Retire(connection);
    }
}

bool TTcp_Listener::Is_Open() const { return listener_->isListening(); }

uint16_t TTcp_Listener::Port() const { return Is_Open() ? listener_->serverPort() : 0; }

std::size_t TTcp_Listener::Output_Backlog() const {
    std::size_t total = 0;
    for (const TTcp_Connection* connection : connections_)
        total += static_cast<std::size_t>(connection->bytesToWrite());
    return total;
}

void TTcp_Listener::Accept(qintptr descriptor) {
    TTcp_Connection* connection = setup_.Make_Connection ? setup_.Make_Connection(this) : new TTcp_Connection(this);
    if (!connection->setSocketDescriptor(descriptor)) {
        delete connection;
        ::close(static_cast<int>(descriptor));
        return;
    }
    connection->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connection->setReadBufferSize(Read_Buffer_Size);
    connections_.insert(connection);
    connect(connection, &QTcpSocket::readyRead, this, [this, connection] { Read(connection); });
    connect(connection, &QTcpSocket::bytesWritten, this, [this, connection] {
        if (connection->paused_ && static_cast<std::size_t>(connection->bytesToWrite()) <= Output_Limit / 2) {
            connection->paused_ = false;
            Read(connection);
        }
    });
    connect(connection, &QTcpSocket::disconnected, this, [this, connection] { Retire(connection); });
    connect(connection, &QTcpSocket::errorOccurred, this, [this, connection] {
        if (connection->state() == QAbstractSocket::UnconnectedState) Retire(connection);
    });
    if (setup_.Accepted) setup_.Accepted(*connection);
}

void TTcp_Listener::Read(TTcp_Connection* connection) {
    // A nested call for a connection already being read leaves its bytes to
    // the outer loop, which reads until nothing is left.
    if (connection->reading_ || connection->paused_ || connection->retired_) return;
    connection->reading_ = true;
    char buffer[Max_Read_Piece];
    while (!connection->retired_) {
        if (static_cast<std::size_t>(connection->bytesToWrite()) > Output_Limit) {
            connection->paused_ = true;
            break;
        }
        // Reading until read() gives nothing also lets Qt fetch more from the
        // kernel again after its read buffer was full.
        const qint64 count = connection->read(buffer, static_cast<qint64>(setup_.Read_Piece));
        if (count <= 0) break;
        setup_.Received(*connection, std::string_view(buffer, static_cast<std::size_t>(count)));
    }
    connection->reading_ = false;
    if (connection->retired_) connection->deleteLater();
}

void TTcp_Listener::Retire(TTcp_Connection* connection) {
    connections_.erase(connection);
    if (connection->retired_) return;
    connection->retired_ = true;
    // Deleted later, never inside one of its own signals; while its bytes are
    // being handled, Read() deletes it when it is done.
    if (!connection->reading_) connection->deleteLater();
}

void TTcp_Listener::Resume_Accepting_Later() {
    QTimer::singleShot(Accept_Retry_Ms, this, [this] {
        if (listener_->isListening()) listener_->resumeAccepting();
    });
}

}  // namespace qev
