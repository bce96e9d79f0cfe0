// TLirc_Server: the LIRC listener's sockets, on the GUI thread.
//
// Two listeners answer the same requests (net/lirc_protocol.h):
//   - TCP on one port of the IPv4 loopback address, 127.0.0.1, where
//     lircd's own TCP listener and irsend's -a HOST:PORT meet (both speak
//     IPv4 only). Loopback only because the protocol has no
//     authentication: anyone who reaches the port transmits any learned
//     command; a client on another host goes through a tunnel of the
//     user's choice (ssh -L).
//   - A Unix-domain stream socket, as lircd's own socket: LIRC's clients
//     (irw, irexec, irsend -d PATH, and any program of LIRC's client
//     library, which finds it through LIRC_SOCKET_PATH) connect to its
//     file. The file is the owner's only; a stale one left by a run that
//     crashed is replaced, anything else at the path is left alone, and the
//     file goes when the socket closes (net/unix_socket_file.h).
// Each opens and closes on its own; both share everything below.
//
// At most 1,024 connections per listener (and fewer when the descriptors
// are short: see net/tcp_listener.h); each one's input is cut into lines by
// its own TLirc_Line_Reader and every line is answered on that connection,
// in order. One TLirc_Protocol serves all connections of both listeners, so
// one key repeats at a time whichever client started it, and a SEND_STOP may
// come on another connection, of either listener, as irsend sends it. The
// repetition (of SEND_START, and of SEND_ONCE's count) runs from a
// zero-interval QTimer, one transmission per timeout, so the window handles
// its events between transmissions; a request holds the GUI thread only as
// long as its own send. A SEND_ONCE whose count repeats the key is answered
// when its last transmission has gone out; that connection's further lines
// wait until then, as in lircd.
//
// The sockets are TTcp_Listeners (net/tcp_listener.h).
//
// Bounds per connection: Qt holds at most 16 kB of its input, the line
// reader at most one line of 1,025 bytes, and the listener at most one
// piece of 4 kB that was read but not yet answered. The output waiting for
// the client is looked at before each reply: once more than Output_Limit
// bytes wait, the connection's lines are no longer handled (nor more of its
// input read: the kernel then holds the client back) until the client has
// read half of them. A connection that closes or fails is deleted later and
// changes nothing else; a repetition it started goes on to its end, as in
// lircd.
//
// Broadcast: a line written to every connection of both listeners, as
// lircd writes each key it hears to all its clients (Lirc_Key_Line is that
// line). Each reply and each broadcast line is one write, so a line never
// lands inside a reply: it goes before or after it. A client that does not
// read gets no more than Output_Limit bytes waiting: a line that would pass
// the limit is dropped for that client alone (counted in Dropped_Lines()),
// so it neither holds the program nor grows its memory, and it later reads
// whole lines only, with a gap.
//
// Once the program is asked to end (base/stop_request.h), no further line
// is handled (a send under way finishes) and any repetition ends.
#ifndef QEV_NET_LIRC_SERVER_H
#define QEV_NET_LIRC_SERVER_H

#include "net/lirc_protocol.h"
#include "net/tcp_listener.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class QTimer;

namespace qev {

class TLirc_Server : public QObject {
    Q_OBJECT
public:
    // Replies a connection may have waiting before it is no longer read.
    static constexpr std::size_t Output_Limit = TTcp_Listener::Output_Limit;

    explicit TLirc_Server(TLirc_Program& program, QObject* parent = nullptr);
    // With another limit of SEND_START's repetition than Lirc_Max_Repeat_Time.
    TLirc_Server(TLirc_Program& program, std::chrono::milliseconds repeat_time_limit, QObject* parent = nullptr);
    ~TLirc_Server() override;

    // Listens on `port` of 127.0.0.1 (0: any free port). Opening an open
    // TCP listener closes it first. false, with the socket layer's error
    // text in *error (when not null), when the port cannot be opened.
    bool Open(uint16_t port, std::string* error);
    // Listens on a Unix-domain socket made at `path` (an absolute path, or
    // relative to the working folder). Opening an open socket closes it
    // first. false, with the reason in *error (when not null), when the
    // socket cannot be made.
    bool Open_Socket(const std::string& path, std::string* error);
    // Closes both listeners and every connection and ends any repetition.
    void Close();
    // Whether the TCP listener is open, and its port (0 when closed).
    bool Is_Open() const;
    uint16_t Port() const;
    // The Unix-domain socket's path; empty when it is closed.
    const std::string& Socket_Path() const { return local_.Local_Path(); }

    // Makes the TCP listener follow the [LIRC] settings: closed while
    // `enable` is false; else open on `port`, reopened when it listens on
    // another one (its clients are then disconnected) and left alone when
    // it already listens there. false, with the reason in *error, when it
    // should listen and cannot: it is then closed.
    bool Apply(bool enable, int32_t port, std::string* error);
    // Makes the Unix-domain socket follow the SOCKET setting: closed while
    // it is empty; else open at its path (Unix_Socket_Path, with
    // XDG_RUNTIME_DIR for a relative one), reopened when it is open at
    // another path and left alone when it already is there. false, with the
    // reason in *error, when it should be open and cannot: it is then
    // closed. *path (when not null) is the path meant, empty for none.
    bool Apply_Socket(std::string_view setting, std::string* error, std::string* path = nullptr);

    // Writes `line` (up to its first LF, if any, then an LF) to every
    // connection of both listeners; see the header.
    void Broadcast(std::string_view line);
    // Broadcast lines dropped for clients whose output was full.
    std::size_t Dropped_Lines() const { return dropped_lines_; }

    // Connections of both listeners.
    std::size_t Connection_Count() const { return tcp_.Connection_Count() + local_.Connection_Count(); }
    // Bytes of replies waiting to be sent, over all connections.
    std::size_t Output_Backlog() const;
    const TLirc_Protocol& Protocol() const { return protocol_; }

private:
    void Closed_One();
    // The listener that accepted `connection` (its parent).
    TTcp_Listener& Listener_Of(TTcp_Connection& connection);
    void Answer(TTcp_Connection& connection, std::string_view bytes);
    void Deliver_Late_Reply();
    void Repeat_Once();
    void Follow_Repetition();

    TLirc_Protocol protocol_;
    QTimer* repeat_timer_;
    // The connection whose SEND_ONCE is answered later (held meanwhile).
    QPointer<TTcp_Connection> awaiting_;
    std::size_t dropped_lines_ = 0;
    // Last: their connections go before the protocol they are answered by.
    TTcp_Listener tcp_;
    TTcp_Listener local_;
};

}  // namespace qev

#endif
