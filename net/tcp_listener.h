// TTcp_Listener: a TCP listener and its connections, on the GUI thread: what
// the Command server and the LIRC listener do alike with their sockets. What
// a connection's bytes mean is its owner's: it is handed each piece read.
//
// Per connection: QAbstractSocket::LowDelayOption (both protocols write many
// small replies; with Nagle's algorithm a client would wait for its delayed
// acknowledgement, ~40 ms, for each one), Qt's read buffer bounded to 16 kB
// (beyond it the kernel and TCP keep the rest, so a connection that is not
// being read cannot grow our memory), and on every readyRead all waiting
// bytes, read and handed on in pieces of at most Read_Piece bytes. A
// connection that closes or fails is retired: nothing more is read from it
// or sent to it, and it is deleted later, never inside one of its own
// signals.
//
// Flow control: while more than Output_Limit bytes of a connection's output
// wait to be sent (a client that sends without reading), that connection is
// not read; the rest of its input stays in the kernel, TCP holds the client
// back, and reading resumes once the output has drained to half the limit.
//
// Re-entrancy: the owner's handling of a piece may let events through. A
// nested read of the connection whose piece is being handled leaves its
// bytes to the outer one, which reads until nothing is left, so one
// connection's bytes are always handled in order; other connections are
// read meanwhile. A connection that closes, or Close(), during the handling
// of a piece is safe: the piece is handled to its end, what it sends goes
// nowhere, and the connection is deleted once its read is done.
// Destroying the listener from inside a handler is not safe.
#ifndef QEV_NET_TCP_LISTENER_H
#define QEV_NET_TCP_LISTENER_H

#include <QHostAddress>
#include <QObject>
#include <QTcpSocket>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

class QTcpServer;

namespace qev {

// One accepted connection. An owner that keeps something per connection
// derives from it and makes its connections through Make_Connection.
class TTcp_Connection : public QTcpSocket {
public:
    using QTcpSocket::QTcpSocket;

    // One write, flushed at once; nothing once the connection is retired or
    // no longer connected.
    void Send(std::string_view bytes);
    // Closed: nothing more is read from it or sent to it.
    bool Retired() const { return retired_; }

private:
    friend class TTcp_Listener;
    bool reading_ = false;  // Read() is handing this connection's bytes on
    bool paused_ = false;   // not read until its output drains to half the limit
    bool retired_ = false;  // delete when not reading_
};

struct TTcp_Listener_Setup {
    // The address listened on, and the backlog of connections not yet accepted.
    QHostAddress Address;
    int Backlog = 5;
    // The largest piece handed to Received at a time (at most 4096); the
    // output limit is looked at between two pieces.
    std::size_t Read_Piece = 4096;
    // Makes the socket of each accepted connection with `parent`. Unset: a
    // plain TTcp_Connection.
    std::function<TTcp_Connection*(QObject* parent)> Make_Connection;
    // Called once a connection is set up, before any of its bytes. Optional.
    std::function<void(TTcp_Connection&)> Accepted;
    // Handles a piece of a connection's input.
    std::function<void(TTcp_Connection&, std::string_view)> Received;
};

class TTcp_Listener : public QObject {
    Q_OBJECT
public:
    // Output a connection may have waiting before it is no longer read.
    static constexpr std::size_t Output_Limit = 64 * 1024;

    explicit TTcp_Listener(TTcp_Listener_Setup setup, QObject* parent = nullptr);
    ~TTcp_Listener() override;

    // Listens on `port` (0: any free port) of the setup's address. Opening
    // an open listener closes it first. false, with the socket layer's error
    // text in *error (when not null), when the port cannot be opened.
    bool Open(uint16_t port, std::string* error);
    // Closes the listener and every connection; what the kernel has already
    // taken of their output still reaches the clients.
    void Close();
    bool Is_Open() const;
    // The port listened on (the one chosen by the system after Open(0)); 0
    // when closed.
    uint16_t Port() const;

    // Connections accepted and not yet retired.
    std::size_t Connection_Count() const { return connections_.size(); }
    // Bytes of output waiting to be sent, over all connections.
    std::size_t Output_Backlog() const;

private:
    friend class TTcp_Accepter;
    void Accept(qintptr descriptor);
    void Read(TTcp_Connection* connection);
    void Retire(TTcp_Connection* connection);
    void Resume_Accepting_Later();

    TTcp_Listener_Setup setup_;
    QTcpServer* listener_;
    std::unordered_set<TTcp_Connection*> connections_;
};

}  // namespace qev

#endif
