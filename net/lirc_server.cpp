#include "net/lirc_server.h"

#include <QTimer>

namespace qev {

namespace {

constexpr int Listen_Backlog = 16;
// Bytes handed to the line reader at a time; the output limit is looked at
// between two pieces.
constexpr std::size_t Read_Piece = 4096;

// One accepted connection and its unfinished line.
class TLirc_Connection : public TTcp_Connection {
public:
    using TTcp_Connection::TTcp_Connection;
    TLirc_Line_Reader Lines;
};

}  // namespace

TLirc_Server::TLirc_Server(TLirc_Program& program, QObject* parent)
    : QObject(parent),
      protocol_(program),
      repeat_timer_(new QTimer(this)),
      sockets_({.Address = QHostAddress(QHostAddress::LocalHost),
                .Backlog = Listen_Backlog,
                .Read_Piece = Read_Piece,
                .Make_Connection = [](QObject* owner) -> TTcp_Connection* { return new TLirc_Connection(owner); },
                .Accepted = nullptr,
                .Received = [this](TTcp_Connection& connection, std::string_view bytes) { Answer(connection, bytes); }},
               this) {
    repeat_timer_->setInterval(0);
    connect(repeat_timer_, &QTimer::timeout, this, [this] { Repeat_Once(); });
}

TLirc_Server::~TLirc_Server() = default;

bool TLirc_Server::Open(uint16_t port, std::string* error) {
    if (Is_Open()) Close();
    return sockets_.Open(port, error);
}

void TLirc_Server::Close() {
    protocol_.Stop_Repeating();
    repeat_timer_->stop();
    sockets_.Close();
}

bool TLirc_Server::Is_Open() const { return sockets_.Is_Open(); }

uint16_t TLirc_Server::Port() const { return sockets_.Port(); }

std::size_t TLirc_Server::Output_Backlog() const { return sockets_.Output_Backlog(); }

bool TLirc_Server::Apply(bool enable, int32_t port, std::string* error) {
    if (!enable) {
        Close();
        return true;
    }
    if (port < 1 || port > 65535) {
        Close();
        if (error) *error = "PORT " + std::to_string(port) + " is not a TCP port (1 to 65535)";
        return false;
    }
    if (Is_Open() && Port() == port) return true;
    return Open(static_cast<uint16_t>(port), error);
}

// Every line of the piece is answered; the replies go out as one write.
void TLirc_Server::Answer(TTcp_Connection& connection, std::string_view bytes) {
    std::string replies;
    static_cast<TLirc_Connection&>(connection).Lines.Feed(bytes, [&](std::string_view line, bool too_long) {
        replies += too_long ? TLirc_Protocol::Too_Long_Reply(line) : protocol_.Handle(line, TLirc_Clock::now());
    });
    if (!replies.empty()) connection.Send(replies);
    Follow_Repetition();
}

void TLirc_Server::Repeat_Once() {
    protocol_.Repeat_Step(TLirc_Clock::now());
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
