#include "net/tcp_listener.h"

#include "base/stop_request.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

// Connections of all listeners together (all on the GUI thread).
std::size_t process_connections = 0;

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
    Close_Local();
    // Delete the connections while what their signals reach still exists.
    const std::vector<TTcp_Connection*> all(connections_.begin(), connections_.end());
    process_connections -= connections_.size();
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

bool TTcp_Listener::Open_Local(const std::string& path, std::string* error) {
    if (Is_Open()) Close();
    const int descriptor = Listen_Unix_Socket(path, setup_.Backlog, &local_identity_, error);
    if (descriptor < 0) return false;
    local_descriptor_ = descriptor;
    local_path_ = path;
    local_notifier_ = new QSocketNotifier(static_cast<qintptr>(descriptor), QSocketNotifier::Read, this);
    connect(local_notifier_, &QSocketNotifier::activated, this, [this] { Accept_Local(); });
    return true;
}

// One connection per wake-up; the notifier wakes the listener again while
// more wait.
void TTcp_Listener::Accept_Local() {
    if (local_descriptor_ < 0) return;
    const int descriptor = ::accept4(local_descriptor_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (descriptor >= 0) {
        Accept(descriptor);
    } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        local_notifier_->setEnabled(false);
        Resume_Accepting_Later();
    }
    // Otherwise (the client left first, a signal): nothing waits any more.
}

void TTcp_Listener::Close_Local() {
    if (local_descriptor_ < 0) return;
    delete local_notifier_;
    local_notifier_ = nullptr;
    ::close(local_descriptor_);
    local_descriptor_ = -1;
    Remove_Socket_File(local_path_, local_identity_);
    local_path_.clear();
}

void TTcp_Listener::Close() {
    listener_->close();
    Close_Local();
    const std::vector<TTcp_Connection*> all(connections_.begin(), connections_.end());
    for (TTcp_Connection* connection : all) {
        connection->flush();  // what the kernel takes still reaches the client
        connection->abort();
        Retire(connection);
    }
}

bool TTcp_Listener::Is_Open() const { return listener_->isListening() || local_descriptor_ >= 0; }

uint16_t TTcp_Listener::Port() const { return listener_->isListening() ? listener_->serverPort() : 0; }

std::size_t TTcp_Listener::Output_Backlog() const {
    std::size_t total = 0;
    for (const TTcp_Connection* connection : connections_)
        total += static_cast<std::size_t>(connection->bytesToWrite());
    return total;
}

void TTcp_Listener::For_Each_Connection(const std::function<void(TTcp_Connection&)>& visit) {
    // From a copy: a send may let a connection close, which changes the set.
    const std::vector<TTcp_Connection*> all(connections_.begin(), connections_.end());
    for (TTcp_Connection* connection : all)
        if (connections_.contains(connection) && !connection->retired_) visit(*connection);
}

std::size_t TTcp_Listener::Process_Connection_Count() { return process_connections; }

std::size_t TTcp_Listener::Process_Connection_Limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
    return limit.rlim_cur > Descriptor_Reserve ? static_cast<std::size_t>(limit.rlim_cur) - Descriptor_Reserve : 0;
}

bool TTcp_Listener::Has_Room() const {
    return connections_.size() < setup_.Max_Connections && process_connections < Process_Connection_Limit();
}

void TTcp_Listener::Accept(qintptr descriptor) {
    // Beyond the limit: closed at once, so the client hears of it at once.
    if (!Has_Room()) {
        ::close(static_cast<int>(descriptor));
        return;
    }
    TTcp_Connection* connection = setup_.Make_Connection ? setup_.Make_Connection(this) : new TTcp_Connection(this);
    if (!connection->setSocketDescriptor(descriptor)) {
        delete connection;
        ::close(static_cast<int>(descriptor));
        return;
    }
    // A Unix-domain socket has no Nagle's algorithm to turn off.
    if (local_descriptor_ < 0) connection->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connection->setReadBufferSize(Read_Buffer_Size);
    connections_.insert(connection);
    ++process_connections;
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
    if (connection->reading_ || connection->paused_ || connection->held_ || connection->retired_) return;
    connection->reading_ = true;
    char buffer[Max_Read_Piece];
    std::string kept;
    while (!connection->retired_ && !connection->held_ && !Program_Stop_Requested()) {
        if (static_cast<std::size_t>(connection->bytesToWrite()) > Output_Limit) {
            connection->paused_ = true;
            break;
        }
        std::string_view piece;
        if (!connection->kept_.empty()) {
            kept = std::move(connection->kept_);
            connection->kept_.clear();
            piece = kept;
        } else {
            // Reading until read() gives nothing also lets Qt fetch more from
            // the kernel again after its read buffer was full.
            const qint64 count = connection->read(buffer, static_cast<qint64>(setup_.Read_Piece));
            if (count <= 0) break;
            piece = std::string_view(buffer, static_cast<std::size_t>(count));
        }
        const std::size_t size = piece.size();
        setup_.Received(*connection, piece);
        // The kept bytes are handed on again at once (the output the owner
        // stopped for may have gone to the kernel meanwhile); an owner that
        // took nothing of them without a reason to would be handed them for
        // ever: they wait for the next event instead.
        if (connection->kept_.size() >= size && !connection->held_ &&
            static_cast<std::size_t>(connection->bytesToWrite()) <= Output_Limit)
            break;
    }
    connection->reading_ = false;
    if (connection->retired_) connection->deleteLater();
}

void TTcp_Listener::Keep(TTcp_Connection& connection, std::string_view rest) {
    if (!connection.retired_) connection.kept_.assign(rest.substr(0, Max_Read_Piece));
}

void TTcp_Listener::Hold(TTcp_Connection& connection) { connection.held_ = true; }

void TTcp_Listener::Resume(TTcp_Connection& connection) {
    if (!connection.held_) return;
    connection.held_ = false;
    // From the event loop: Resume() may come from inside another handler.
    QTimer::singleShot(0, &connection, [this, pointer = &connection] { Read(pointer); });
}

void TTcp_Listener::Retire(TTcp_Connection* connection) {
    process_connections -= connections_.erase(connection);
    if (connection->retired_) return;
    connection->kept_.clear();
    connection->retired_ = true;
    // Deleted later, never inside one of its own signals; while its bytes are
    // being handled, Read() deletes it when it is done.
    if (!connection->reading_) connection->deleteLater();
}

void TTcp_Listener::Resume_Accepting_Later() {
    QTimer::singleShot(Accept_Retry_Ms, this, [this] {
        if (listener_->isListening()) listener_->resumeAccepting();
        if (local_notifier_) local_notifier_->setEnabled(true);
    });
}

}  // namespace qev
