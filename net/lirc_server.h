// TLirc_Server: the LIRC listener's sockets, on the GUI thread.
//
// Listens on one TCP port of the IPv4 loopback address, 127.0.0.1, where
// lircd's own TCP listener and irsend's -a HOST:PORT meet (both speak IPv4
// only). Loopback only because the protocol has no authentication: anyone
// who reaches the port transmits any learned command; a client on another
// host goes through a tunnel of the user's choice (ssh -L).
//
// At most 1,024 connections (and fewer when the descriptors are short: see
// net/tcp_listener.h); each one's input is cut into lines by its own
// TLirc_Line_Reader and every line is answered on that connection, in order
// (net/lirc_protocol.h has the requests and replies). One TLirc_Protocol
// serves all connections, so one key repeats at a time whichever client
// started it, and a SEND_STOP may come on another connection, as irsend
// sends it. The repetition (of SEND_START, and of SEND_ONCE's count) runs
// from a zero-interval QTimer, one transmission per timeout, so the window
// handles its events between transmissions; a request holds the GUI thread
// only as long as its own send. A SEND_ONCE whose count repeats the key is
// answered when its last transmission has gone out; that connection's
// further lines wait until then, as in lircd.
//
// The sockets are a TTcp_Listener's (net/tcp_listener.h).
//
// Bounds per connection: Qt holds at most 16 kB of its input, the line
// reader at most one line of 1,025 bytes, and the listener at most one
// piece of 4 kB that was read but not yet answered. The output waiting for
// the client is looked at before each reply: once more than Output_Limit
// bytes wait, the connection's lines are no longer handled (nor more of its
// input read: TCP then holds the client back) until the client has read
// half of them. A connection that closes or fails is deleted later and
// changes nothing else; a repetition it started goes on to its end, as in
// lircd.
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
    // listener closes it first. false, with the socket layer's error text in
    // *error (when not null), when the port cannot be opened.
    bool Open(uint16_t port, std::string* error);
    // Closes the listener and every connection and ends any repetition.
    void Close();
    bool Is_Open() const;
    // The port listened on; 0 when closed.
    uint16_t Port() const;

    // Makes the listener follow the [LIRC] settings: closed while `enable`
    // is false; else open on `port`, reopened when it listens on another
    // one (its clients are then disconnected) and left alone when it
    // already listens there. false, with the reason in *error, when it
    // should listen and cannot: it is then closed.
    bool Apply(bool enable, int32_t port, std::string* error);

    std::size_t Connection_Count() const { return sockets_.Connection_Count(); }
    // Bytes of replies waiting to be sent, over all connections.
    std::size_t Output_Backlog() const;
    const TLirc_Protocol& Protocol() const { return protocol_; }

private:
    void Answer(TTcp_Connection& connection, std::string_view bytes);
    void Deliver_Late_Reply();
    void Repeat_Once();
    void Follow_Repetition();

    TLirc_Protocol protocol_;
    QTimer* repeat_timer_;
    // The connection whose SEND_ONCE is answered later (held meanwhile).
    QPointer<TTcp_Connection> awaiting_;
    // Last: its connections go before the protocol they are answered by.
    TTcp_Listener sockets_;
};

}  // namespace qev

#endif
