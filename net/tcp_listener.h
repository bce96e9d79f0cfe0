// TTcp_Listener: a stream listener and its connections, on the GUI thread:
// what the Command server and the LIRC listener do alike with their sockets.
// It listens on a TCP port (Open) or on a Unix-domain socket file
// (Open_Local, net/unix_socket_file.h has the file's rules); every rule
// below holds for both. What a connection's bytes mean is its owner's: it
// is handed each piece read.
//
// A Unix-domain connection is a QTcpSocket too, given the accepted
// descriptor: Qt's socket engine handles any stream socket (its own
// QLocalSocket wraps one the same way), so one connection class, one read
// loop and one flow control serve both kinds.
//
// Per connection: on TCP QAbstractSocket::LowDelayOption (both protocols
// write many small replies; with Nagle's algorithm a client would wait for
// its delayed acknowledgement, ~40 ms, for each one), Qt's read buffer bounded to 16 kB
// (beyond it the kernel keeps the rest, so a connection that is not
// being read cannot grow our memory), and on every readyRead all waiting
// bytes, read and handed on in pieces of at most Read_Piece bytes. A
// connection that closes or fails is retired: nothing more is read from it
// or sent to it, and it is deleted later, never inside one of its own
// signals.
//
// Flow control: while more than Output_Limit bytes of a connection's output
// wait to be sent (a client that sends without reading), that connection is
// not read; the rest of its input stays in the kernel, which holds the
// client back, and reading resumes once the output has drained to half the limit.
// An owner that stops inside a piece (its output passed the limit between
// two replies) hands the rest back with Keep(): at most one piece is kept,
// and it is handed on again, before anything newer, when reading resumes.
// An owner that must not be handed a connection's bytes for a while (a reply
// that comes later) holds it with Hold() until Resume().
//
// Connection limit: each listener takes at most its setup's Max_Connections
// at once, and all listeners of the process together at most the soft
// RLIMIT_NOFILE less Descriptor_Reserve, so the descriptors the program
// needs besides (its files, the Settings file written at shutdown, Qt's
// own) are always left. A connection beyond either limit is accepted and
// closed at once: its client sees the end of the connection straight away
// (irsend and nc report it and exit) instead of hanging in the backlog
// with no word of why, and the backlog stays free for the clients that fit.
// A failed accept() (the descriptors ran out all the same) pauses accepting
// for 100 ms while the connection waits in the backlog; it never closes the
// listener.
//
// Stop request: once the program is asked to end (base/stop_request.h),
// nothing more is read from any connection and no kept bytes are handed on;
// a piece being handled is the owner's to cut short.
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

#include "net/unix_socket_file.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpSocket>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

class QSocketNotifier;
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
    bool held_ = false;     // not read until the owner resumes it
    bool retired_ = false;  // delete when not reading_
    std::string kept_;      // bytes the owner handed back, handed on again first
};

struct TTcp_Listener_Setup {
    // The address a TCP listener listens on, and the backlog of connections
    // not yet accepted (of either kind).
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
    // The most connections this listener holds at once (see the header).
    std::size_t Max_Connections = 1024;
};

class TTcp_Listener : public QObject {
    Q_OBJECT
public:
    // Output a connection may have waiting before it is no longer read.
    static constexpr std::size_t Output_Limit = 64 * 1024;
    // Descriptors left to the rest of the program however many clients
    // connect: the idle program holds about 15 (30 or so on a desktop), a
    // file dialog, a Command file load and the Settings file's save a few
    // more each.
    static constexpr std::size_t Descriptor_Reserve = 128;

    explicit TTcp_Listener(TTcp_Listener_Setup setup, QObject* parent = nullptr);
    ~TTcp_Listener() override;

    // Listens on `port` (0: any free port) of the setup's address. Opening
    // an open listener closes it first. false, with the socket layer's error
    // text in *error (when not null), when the port cannot be opened.
    bool Open(uint16_t port, std::string* error);
    // Listens on a Unix-domain socket made at `path` (net/unix_socket_file.h:
    // a stale socket is replaced, anything else there is left alone).
    // Opening an open listener closes it first. false, with the reason in
    // *error (when not null), when the socket cannot be made.
    bool Open_Local(const std::string& path, std::string* error);
    // Closes the listener and every connection, and removes the socket file
    // it made; what the kernel has already taken of their output still
    // reaches the clients.
    void Close();
    bool Is_Open() const;
    // The TCP port listened on (the one chosen by the system after Open(0));
    // 0 when closed or listening on a socket file.
    uint16_t Port() const;
    // The socket file listened on; empty when closed or listening on TCP.
    const std::string& Local_Path() const { return local_path_; }

    // Connections accepted and not yet retired.
    std::size_t Connection_Count() const { return connections_.size(); }
    // Bytes of output waiting to be sent, over all connections.
    std::size_t Output_Backlog() const;
    // Calls `visit` for each connection accepted and not retired. `visit`
    // may send; a connection that closes meanwhile is skipped.
    void For_Each_Connection(const std::function<void(TTcp_Connection&)>& visit);

    // Called from inside Received: `rest`, the end of the piece being
    // handled (at most one piece), was not handled; it is handed on again,
    // first, when the connection is read next: once its output has drained
    // or it is resumed. The owner keeps bytes only when it holds the
    // connection or its output is over Output_Limit.
    void Keep(TTcp_Connection& connection, std::string_view rest);
    // No bytes of the connection are handed on until Resume().
    void Hold(TTcp_Connection& connection);
    // Ends Hold(): what the connection kept and what waits for it is handed
    // on from the event loop.
    void Resume(TTcp_Connection& connection);

    // Connections all listeners of the process hold together now, and the
    // most they may hold: the soft RLIMIT_NOFILE less Descriptor_Reserve.
    static std::size_t Process_Connection_Count();
    static std::size_t Process_Connection_Limit();

private:
    friend class TTcp_Accepter;
    void Accept(qintptr descriptor);
    void Accept_Local();
    void Close_Local();
    void Read(TTcp_Connection* connection);
    void Retire(TTcp_Connection* connection);
    bool Has_Room() const;
    void Resume_Accepting_Later();

    TTcp_Listener_Setup setup_;
    QTcpServer* listener_;
    // The Unix-domain socket listened on, when open: its descriptor, what
    // wakes the listener for it, and the file made for it.
    int local_descriptor_ = -1;
    QSocketNotifier* local_notifier_ = nullptr;
    std::string local_path_;
    TSocket_File_Identity local_identity_;
    std::unordered_set<TTcp_Connection*> connections_;
};

}  // namespace qev

#endif
