// TCommand_Server: the Command server's sockets, on the GUI thread.
//
// Listens on one TCP port on every local address (IPv4 and IPv6), greets
// each connection and hands every byte it receives to the one Server input
// line (net/server_input_line.h), which all connections share. The server
// knows nothing of commands: it is given a callback that runs a line and
// one that says whether to echo.
//
// The sockets are a TTcp_Listener's (net/tcp_listener.h): per connection
// QAbstractSocket::LowDelayOption, the greeting, and on every readyRead all
// waiting bytes, read and handled in pieces of at most 127. Each piece of
// output is one write, flushed at once. A connection that closes or fails
// is deleted later and changes nothing else; the Server input line keeps
// what it holds across connections, and across Close() and Open().
//
// Flow control: while more than Output_Limit bytes of a connection's output
// wait to be sent (a client that sends without reading its echo), that
// connection is not read; the rest of its input stays in the kernel, TCP
// holds the client back, and reading resumes once the output drains.
//
// Re-entrancy: the run callback may let events through (a macro elsewhere
// does). Other connections' bytes are then handled during the run, as the
// next line; bytes of the connection whose line is running wait for that
// line to finish, so one connection's bytes are always handled in order. A
// connection that closes during a run, or Close() called from inside one,
// is safe: the rest of the read that held the line is still handled, its
// replies go nowhere, and nothing more is read from that connection.
// Destroying the server from inside its own callback is not safe.
#ifndef QEV_NET_COMMAND_SERVER_H
#define QEV_NET_COMMAND_SERVER_H

#include "net/server_input_line.h"
#include "net/tcp_listener.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qev {

class TCommand_Server : public QObject {
    Q_OBJECT
public:
    // Output a connection may have waiting before it is no longer read.
    static constexpr std::size_t Output_Limit = TTcp_Listener::Output_Limit;

    // run_line: runs one line, true on success. echo: asked for each byte.
    TCommand_Server(std::function<bool(const std::string&)> run_line, std::function<bool()> echo,
                    QObject* parent = nullptr);
    ~TCommand_Server() override;

    // Listens on `port` (0: any free port) on every address, IPv4 and IPv6,
    // with a backlog of 5. Opening an open server closes it first. Raises
    // the process's soft limit of open files towards its hard limit (up to
    // 65536), so a thousand connections fit. false, with the socket layer's
    // error text in *error (when not null), when the port cannot be opened.
    bool Open(uint16_t port, std::string* error);
    // Closes the listener and every connection. The Server input line keeps
    // its contents.
    void Close();
    bool Is_Open() const;
    // The port listened on (the one chosen by the system after Open(0)); 0
    // when closed.
    uint16_t Port() const;

    // Connections accepted and not yet closed.
    std::size_t Connection_Count() const { return sockets_.Connection_Count(); }
    // Bytes of output waiting to be sent, over all connections.
    std::size_t Output_Backlog() const;
    const TServer_Input_Line& Input_Line() const { return input_line_; }

private:
    TServer_Input_Line input_line_;
    // Last: its connections go before the input line they feed.
    TTcp_Listener sockets_;
};

}  // namespace qev

#endif
