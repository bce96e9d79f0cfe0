// Fuzzes the LIRC listener's protocol (net/lirc_protocol.h) as the listener
// drives it: up to four clients' bytes cut into lines by their own line
// readers, every line handled by one shared protocol, repetitions stepped
// on a scripted clock between reads, a client whose SEND_ONCE is answered
// later held until its reply comes.
//
// The input: a first byte of set-up (bits 0-1 the REPEAT setting, 2 sends
// fail, 3 the table is empty), then records of a control byte, a length
// byte and that many bytes (sixteen times as many with the "long" bit, so
// lines beyond the 1,024-byte limit occur). Control bits: 0-1 the client,
// 2 long, 3-5 repetition steps after the read (0-7, each one clock tick of
// 0-15 s from bits 6-7 as 0, 1, 5 or 15 s).
//
// Checked: every reply is framed as lircd frames it (BEGIN, the echo,
// SUCCESS or ERROR, DATA with its count and as many lines, END) and echoes
// the line it answers; every line a reader hands on is answered exactly
// once, to its client, in the client's order; a held client is handed no
// line until its reply has come; every send names a command of the table,
// a click sends at most REPEAT times and a repetition once; a SEND_ONCE
// sends at most max(REPEAT, 601) transmissions; SEND_START does not repeat
// past its time limit; a line reader keeps at most 1,025 bytes and hands
// on lines of at most 1,025 (1,024 and a CR).
#include "net/lirc_protocol.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int Clients = 4;
constexpr auto Time_Limit = 60s;

// A failed check names its line before the abort.
void Check_At(bool holds, int line) {
    if (holds) return;
    std::fprintf(stderr, "check failed: fuzz_lirc_protocol.cpp:%d\n", line);
    std::abort();
}
#define CHECK(condition) Check_At((condition), __LINE__)

class TProgram : public qev::TLirc_Program {
public:
    std::vector<std::string> Names = {"POWER", "power", "VOL UP", "VOL_UP", "", "A\tB", "x"};
    int32_t Repeat_Setting = 1;
    bool Fail = false;
    // Transmissions since the counter was last cleared.
    int64_t Transmissions = 0;
    int32_t Largest_Send = 0;

    std::string Remote_Name() const override { return "tv"; }
    std::vector<std::string> Command_Names() const override { return Names; }
    std::string Version() const override { return "1.0"; }
    int32_t Repeat() const override { return Repeat_Setting; }
    bool Send(const std::string& name, int32_t times, bool /*held*/) override {
        CHECK(times >= 1);
        CHECK(std::find(Names.begin(), Names.end(), name) != Names.end());
        Largest_Send = std::max(Largest_Send, times);
        if (Fail) return false;
        Transmissions += times;
        return true;
    }
};

// Takes one reply apart; aborts unless it is framed as lircd frames it and
// echoes `request`.
void Check_Reply(std::string_view reply, std::string_view request) {
    std::vector<std::string_view> lines;
    while (!reply.empty()) {
        const std::size_t lf = reply.find('\n');
        CHECK(lf != std::string_view::npos);  // every line ends in LF
        lines.push_back(reply.substr(0, lf));
        reply.remove_prefix(lf + 1);
    }
    CHECK(lines.size() >= 4);
    CHECK(lines[0] == "BEGIN");
    CHECK(lines[1] == request);
    CHECK(lines[2] == "SUCCESS" || lines[2] == "ERROR");
    if (lines.size() == 4) {
        CHECK(lines[3] == "END");
        CHECK(lines[2] == "SUCCESS");  // an error always says why
        return;
    }
    CHECK(lines[3] == "DATA");
    CHECK(lines.size() >= 6);
    const std::string_view count = lines[4];
    CHECK(!count.empty() && count.size() <= 5 && count.front() != '0' &&
          std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; }));
    CHECK(lines.size() == 6 + std::stoul(std::string(count)));
    CHECK(lines.back() == "END");
    if (lines[2] == "ERROR") CHECK(lines.size() == 7);  // one line: the reason
}

struct TClient {
    qev::TLirc_Line_Reader Reader;
    std::string Pending;            // read but not yet handed to the reader
    std::deque<std::string> Asked;  // lines handed on, not yet answered
    bool Held = false;
};

class TListener {
public:
    explicit TListener(TProgram& program) : program_(program), protocol_(program, Time_Limit) {}

    void Read(int client, std::string_view bytes) {
        clients_[client].Pending.append(bytes);
        Drain();
    }
    void Steps(int count, std::chrono::seconds tick) {
        for (int i = 0; i < count; ++i) {
            now_ += tick;
            const bool was = protocol_.Repeating();
            const bool start_expired = was && !once_ && now_ - started_ >= Time_Limit;
            const int64_t before = program_.Transmissions;
            program_.Largest_Send = 0;
            const bool going_on = protocol_.Repeat_Step(now_);
            CHECK(going_on == protocol_.Repeating());
            CHECK(program_.Largest_Send <= 1);  // one transmission a step
            if (start_expired) CHECK(!going_on && program_.Transmissions == before);
            if (was && once_) once_sent_ += program_.Transmissions - before;
            Deliver();
            Drain();
        }
    }
    // Ends every repetition until no client is held and nothing repeats (a
    // held client's waiting lines may start another); then every line has
    // had its reply.
    void Finish() {
        for (bool busy = true; busy;) {
            protocol_.Stop_Repeating();
            Deliver();
            Drain();
            busy = protocol_.Repeating();
            for (const TClient& client : clients_) busy = busy || client.Held;
        }
        for (const TClient& client : clients_) CHECK(client.Asked.empty() && client.Pending.empty());
    }

private:
    // Hands on the bytes of every client that is not held, as the listener
    // reads each connection that is not held.
    void Drain() {
        for (bool again = true; again;) {
            again = false;
            for (int c = 0; c < Clients; ++c)
                if (!clients_[c].Held && !clients_[c].Pending.empty()) {
                    Handle(c);
                    again = true;
                }
        }
    }
    void Handle(int c) {
        TClient& client = clients_[c];
        if (client.Held || client.Pending.empty()) return;
        const std::string bytes = std::move(client.Pending);
        client.Pending.clear();
        const std::size_t taken = client.Reader.Feed(bytes, [&](std::string_view line, bool too_long) {
            CHECK(line.size() <= qev::Lirc_Line_Limit + 1);
            if (too_long) CHECK(line.size() == qev::Lirc_Line_Limit);
            client.Asked.emplace_back(line);
            if (too_long) {
                Answer(c, qev::TLirc_Protocol::Too_Long_Reply(line));
                return true;
            }
            const bool was_repeating = protocol_.Repeating();
            program_.Largest_Send = 0;
            const int64_t before = program_.Transmissions;
            std::optional<std::string> reply = protocol_.Handle(line, now_);
            CHECK(program_.Largest_Send <= std::max(program_.Repeat_Setting, 1));
            if (reply) {
                Answer(c, *reply);
                Deliver();                                      // a SEND_STOP may have ended a SEND_ONCE's count
                if (!was_repeating && protocol_.Repeating()) {  // SEND_START
                    once_ = false;
                    started_ = now_;
                }
                return true;
            }
            // A SEND_ONCE answered later: its click went out, it repeats, and
            // no client waited for a reply still.
            CHECK(!was_repeating && protocol_.Repeating());
            CHECK(held_ < 0);
            CHECK(program_.Transmissions > before);
            client.Held = true;
            held_ = c;
            once_ = true;
            once_sent_ = program_.Transmissions - before;
            return false;
        });
        CHECK(client.Reader.Buffered() <= qev::Lirc_Line_Limit + 1);
        CHECK(taken <= bytes.size());
        if (taken < bytes.size()) {
            CHECK(client.Held);
            client.Pending = bytes.substr(taken);
        }
    }
    void Answer(int c, const std::string& reply) {
        TClient& client = clients_[c];
        CHECK(!client.Asked.empty());
        Check_Reply(reply, client.Asked.front());
        client.Asked.pop_front();
    }
    // A late reply goes to the held client, which then goes on.
    void Deliver() {
        std::optional<std::string> late = protocol_.Take_Late_Reply();
        if (!late) return;
        CHECK(held_ >= 0 && once_ && !protocol_.Repeating());
        CHECK(once_sent_ <= std::max<int64_t>(program_.Repeat_Setting, 1 + qev::Lirc_Max_Repeats));
        const int c = held_;
        held_ = -1;
        Answer(c, *late);
        clients_[c].Held = false;
        CHECK(clients_[c].Asked.empty());
    }

    TProgram& program_;
    qev::TLirc_Protocol protocol_;
    TClient clients_[Clients];
    qev::TLirc_Clock::time_point now_{};
    qev::TLirc_Clock::time_point started_{};
    bool once_ = false;
    int held_ = -1;
    int64_t once_sent_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    TProgram program;
    program.Repeat_Setting = data[0] & 3;
    program.Fail = (data[0] & 4) != 0;
    if (data[0] & 8) program.Names.clear();
    TListener listener(program);
    static constexpr std::chrono::seconds Ticks[] = {0s, 1s, 5s, 15s};
    std::size_t i = 1;
    while (i + 2 <= size) {
        const uint8_t control = data[i];
        std::size_t length = data[i + 1];
        if (control & 0x04) length *= 16;
        i += 2;
        length = std::min(length, size - i);
        listener.Read(control & 3, std::string_view(reinterpret_cast<const char*>(data + i), length));
        i += length;
        listener.Steps((control >> 3) & 7, Ticks[control >> 6]);
    }
    listener.Finish();
    return 0;
}
