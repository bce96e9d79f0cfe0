#include "net/command_server.h"

#include <sys/resource.h>

#include <QPointer>

#include <utility>

namespace qev {

namespace {

constexpr int Listen_Backlog = 5;
// Twice the thousand concurrent clients the server is built for; fewer when
// the descriptors are short (net/tcp_listener.h).
constexpr std::size_t Max_Connections = 2048;
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

// Sends to one connection, one write each, flushed at once; a connection
// that has gone meanwhile gets nothing.
TServer_Input_Line::TSend Sender(TTcp_Connection& connection) {
    return [guard = QPointer<TTcp_Connection>(&connection)](std::string_view bytes) {
        if (guard) guard->Send(bytes);
    };
}

}  // namespace

TCommand_Server::TCommand_Server(std::function<bool(const std::string&)> run_line, std::function<bool()> echo,
                                 QObject* parent)
    : QObject(parent),
      input_line_(std::move(run_line), std::move(echo)),
      sockets_({.Address = QHostAddress(QHostAddress::Any),
                .Backlog = Listen_Backlog,
                .Read_Piece = TServer_Input_Line::Read_Size,
                .Make_Connection = nullptr,
                .Accepted = [](TTcp_Connection& connection) { TServer_Input_Line::Greet(Sender(connection)); },
                .Received = [this](TTcp_Connection& connection,
                                   std::string_view bytes) { input_line_.Feed(bytes, Sender(connection)); },
                .Max_Connections = Max_Connections},
               this) {}

TCommand_Server::~TCommand_Server() = default;

bool TCommand_Server::Open(uint16_t port, std::string* error) {
    if (Is_Open()) Close();
    Raise_Open_File_Limit();
    return sockets_.Open(port, error);
}

void TCommand_Server::Close() { sockets_.Close(); }

bool TCommand_Server::Is_Open() const { return sockets_.Is_Open(); }

uint16_t TCommand_Server::Port() const { return sockets_.Port(); }

std::size_t TCommand_Server::Output_Backlog() const { return sockets_.Output_Backlog(); }

}  // namespace qev
