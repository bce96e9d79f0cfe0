#include "net/lirc_server.h"

#include "base/stop_request.h"

#include <QTimer>

#include <cstdlib>
#include <functional>
#include <optional>
#include <utility>

namespace qev {

namespace {

constexpr int Listen_Backlog = 16;
// Four times lircd's 256 clients, above the thousand the listeners are built for.
constexpr std::size_t Max_Connections = 1024;
// Bytes handed to the line reader at a time; the output limit is looked at
// between two pieces.
constexpr std::size_t Read_Piece = 4096;

// One accepted connection and its unfinished line.
class TLirc_Connection : public TTcp_Connection {
public:
    using TTcp_Connection::TTcp_Connection;
    TLirc_Line_Reader Lines;
};

// Both listeners alike: the TCP one on 127.0.0.1 (the address means nothing
// to the Unix-domain one).
TTcp_Listener_Setup Listener_Setup(const std::function<void(TTcp_Connection&, std::string_view)>& received) {
    return {.Address = QHostAddress(QHostAddress::LocalHost),
            .Backlog = Listen_Backlog,
            .Read_Piece = Read_Piece,
            .Make_Connection = [](QObject* owner) -> TTcp_Connection* { return new TLirc_Connection(owner); },
            .Accepted = nullptr,
            .Received = received,
            .Max_Connections = Max_Connections};
}

}  // namespace

TLirc_Server::TLirc_Server(TLirc_Program& program, QObject* parent)
    : TLirc_Server(program, Lirc_Max_Repeat_Time, parent) {}

TLirc_Server::TLirc_Server(TLirc_Program& program, std::chrono::milliseconds repeat_time_limit, QObject* parent)
    : QObject(parent),
      protocol_(program, repeat_time_limit),
      repeat_timer_(new QTimer(this)),
      tcp_(Listener_Setup([this](TTcp_Connection& connection, std::string_view bytes) { Answer(connection, bytes); }),
           this),
      local_(Listener_Setup([this](TTcp_Connection& connection, std::string_view bytes) { Answer(connection, bytes); }),
             this) {
    repeat_timer_->setInterval(0);
    connect(repeat_timer_, &QTimer::timeout, this, [this] { Repeat_Once(); });
}

TLirc_Server::~TLirc_Server() = default;

bool TLirc_Server::Open(uint16_t port, std::string* error) {
    if (tcp_.Is_Open()) {
        tcp_.Close();
        Closed_One();
    }
    return tcp_.Open(port, error);
}

bool TLirc_Server::Open_Socket(const std::string& path, std::string* error) {
    if (local_.Is_Open()) {
        local_.Close();
        Closed_One();
    }
    return local_.Open_Local(path, error);
}

void TLirc_Server::Close() {
    tcp_.Close();
    local_.Close();
    Closed_One();
}

// With neither listener open nobody can stop a repetition or hear a late
// reply: both end.
void TLirc_Server::Closed_One() {
    if (tcp_.Is_Open() || local_.Is_Open()) return;
    protocol_.Stop_Repeating();
    repeat_timer_->stop();
    (void)protocol_.Take_Late_Reply();  // its connection is gone
    awaiting_ = nullptr;
}

bool TLirc_Server::Is_Open() const { return tcp_.Is_Open(); }

uint16_t TLirc_Server::Port() const { return tcp_.Port(); }

std::size_t TLirc_Server::Output_Backlog() const { return tcp_.Output_Backlog() + local_.Output_Backlog(); }

bool TLirc_Server::Apply(bool enable, int32_t port, std::string* error) {
    const auto close = [this] {
        tcp_.Close();
        Closed_One();
    };
    if (!enable) {
        close();
        return true;
    }
    if (port < 1 || port > 65535) {
        close();
        if (error) *error = "PORT " + std::to_string(port) + " is not a TCP port (1 to 65535)";
        return false;
    }
    if (Is_Open() && Port() == port) return true;
    if (Open(static_cast<uint16_t>(port), error)) return true;
    Closed_One();
    return false;
}

bool TLirc_Server::Apply_Socket(std::string_view setting, std::string* error, std::string* path) {
    std::string wanted;
    const bool resolved = Unix_Socket_Path(setting, std::getenv("XDG_RUNTIME_DIR"), &wanted, error);
    if (path) *path = resolved ? wanted : std::string(setting);
    if (!resolved || wanted.empty()) {
        local_.Close();
        Closed_One();
        return resolved;
    }
    if (local_.Local_Path() == wanted) return true;
    if (Open_Socket(wanted, error)) return true;
    Closed_One();
    return false;
}

TTcp_Listener& TLirc_Server::Listener_Of(TTcp_Connection& connection) {
    return connection.parent() == &local_ ? local_ : tcp_;
}

// Each line is one write, between two replies; a client whose output is
// full loses this line only.
void TLirc_Server::Broadcast(std::string_view line) {
    std::string bytes(line.substr(0, line.find('\n')));
    bytes += '\n';
    const auto write = [&](TTcp_Connection& connection) {
        if (static_cast<std::size_t>(connection.bytesToWrite()) + bytes.size() > Output_Limit) {
            ++dropped_lines_;
            return;
        }
        connection.Send(bytes);
    };
    tcp_.For_Each_Connection(write);
    local_.For_Each_Connection(write);
}

// The lines of the piece are answered in order, their replies gathered into
// one write, while the connection's output stays within Output_Limit: before
// each reply the output waiting and the replies gathered are looked at, and
// once they pass the limit the rest of the piece is handed back to the
// listener, which hands it on again when the client has read. A SEND_ONCE
// whose reply comes later holds the connection the same way until it does.
// Once the program is asked to end, the lines not yet handled are dropped.
void TLirc_Server::Answer(TTcp_Connection& connection, std::string_view bytes) {
    std::string replies;
    bool held = false;
    bool stopping = false;
    const std::size_t taken =
        static_cast<TLirc_Connection&>(connection).Lines.Feed(bytes, [&](std::string_view line, bool too_long) {
            if (too_long) {
                replies += TLirc_Protocol::Too_Long_Reply(line);
            } else if (std::optional<std::string> reply = protocol_.Handle(line, TLirc_Clock::now())) {
                replies += *reply;
                // A SEND_STOP may have ended another client's SEND_ONCE: its
                // reply goes out before a next line could start another.
                Deliver_Late_Reply();
            } else {
                awaiting_ = &connection;
                held = true;
                return false;
            }
            if (Program_Stop_Requested()) {
                stopping = true;
                return false;
            }
            return static_cast<std::size_t>(connection.bytesToWrite()) + replies.size() <= Output_Limit;
        });
    if (!replies.empty()) connection.Send(replies);
    if (held) Listener_Of(connection).Hold(connection);
    if (!stopping && taken < bytes.size()) Listener_Of(connection).Keep(connection, bytes.substr(taken));
    Deliver_Late_Reply();
    Follow_Repetition();
}

// A SEND_ONCE's reply, to the connection that asked, which may then go on.
void TLirc_Server::Deliver_Late_Reply() {
    const std::optional<std::string> reply = protocol_.Take_Late_Reply();
    if (!reply) return;
    const QPointer<TTcp_Connection> connection = std::exchange(awaiting_, nullptr);
    if (!connection || connection->Retired()) return;
    connection->Send(*reply);
    Listener_Of(*connection).Resume(*connection);
}

// The repetition ends at once when the program is asked to end.
void TLirc_Server::Repeat_Once() {
    if (Program_Stop_Requested())
        protocol_.Stop_Repeating();
    else
        protocol_.Repeat_Step(TLirc_Clock::now());
    Deliver_Late_Reply();
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
