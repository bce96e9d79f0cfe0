// Fuzzes the Command server's byte handling (net/server_input_line.h): any
// sequence of reads from up to eight connections, echo on or off per read,
// some reads arriving while a line runs (as when a macro lets events
// through), each line succeeding or failing.
//
// The input is a list of records: a control byte, a length byte, then that
// many bytes (four times as many with the "long" bit, so reads beyond one
// 127-byte piece occur). Control bits: 0-2 the connection, 3 echo, 4 the read
// arrives during the next run of a line instead of after it, 5 long, 6 the
// connection is greeted first.
//
// Checked against a model that keeps the whole typed line with no limit
// (what the client believes it typed): every connection receives exactly the
// bytes the model says, so every carriage return is answered once, to the
// connection that sent it; every line run is exactly the typed line and at
// most 127 characters long (a longer one is refused unrun); the line never
// holds more than 127 characters, and holds the first 127 of the typed line.
#include "net/server_input_line.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::size_t Capacity = qev::TServer_Input_Line::Line_Capacity;
constexpr int Connections = 8;
constexpr int Nesting_Limit = 4;

struct TRecord {
    int Connection = 0;
    bool Echo = false;
    bool During_Run = false;
    bool Greet = false;
    std::string Bytes;
};

std::vector<TRecord> Decode(const uint8_t* data, std::size_t size) {
    std::vector<TRecord> records;
    std::size_t i = 0;
    while (i + 2 <= size) {
        const uint8_t control = data[i];
        std::size_t length = data[i + 1];
        if (control & 0x20) length *= 4;
        i += 2;
        if (length > size - i) length = size - i;
        TRecord record;
        record.Connection = control & 7;
        record.Echo = (control & 0x08) != 0;
        record.During_Run = (control & 0x10) != 0;
        record.Greet = (control & 0x40) != 0;
        record.Bytes.assign(reinterpret_cast<const char*>(data + i), length);
        records.push_back(std::move(record));
        i += length;
    }
    return records;
}

// Whether a line succeeds: some function of its bytes, the same for both.
bool Outcome(const std::string& line) { return ((line.size() + (line.empty() ? 0 : line[0])) & 1) == 0; }

void Check(bool holds) {
    if (!holds) std::abort();
}

// What both sides record.
struct TLog {
    std::string Sent[Connections];
    std::vector<std::string> Runs;
};

// Plays the records: top-level ones in turn, and whenever a line runs, the
// records marked as arriving during a run that come next.
template <typename Feed_Fn, typename Greet_Fn>
class TPlayer {
public:
    TPlayer(const std::vector<TRecord>& records, Feed_Fn feed, Greet_Fn greet)
        : records_(records), feed_(feed), greet_(greet) {}

    void Play() {
        while (next_ < records_.size()) Play_One();
    }
    // Called from inside a run.
    void During_Run() {
        if (depth_ >= Nesting_Limit) return;
        ++depth_;
        while (next_ < records_.size() && records_[next_].During_Run) Play_One();
        --depth_;
    }
    bool Echo() const { return echo_; }

private:
    void Play_One() {
        const TRecord& record = records_[next_++];
        if (record.Greet) greet_(record.Connection);
        const bool saved = echo_;
        echo_ = record.Echo;
        feed_(record.Connection, record.Bytes);
        echo_ = saved;
    }

    const std::vector<TRecord>& records_;
    Feed_Fn feed_;
    Greet_Fn greet_;
    std::size_t next_ = 0;
    int depth_ = 0;
    bool echo_ = false;
};

// The model: the whole typed line, however long.
class TModel {
public:
    template <typename Run_Fn>
    void Feed(std::string_view chunk, bool echo, std::string& out, Run_Fn run) {
        while (!chunk.empty()) {
            std::string_view piece = chunk.substr(0, 127);
            chunk.remove_prefix(piece.size());
            const std::size_t zero = piece.find('\0');
            if (zero != std::string_view::npos) piece = piece.substr(0, zero);
            for (const char b : piece) {
                if (b == '\n') continue;
                if (b == '\r') {
                    if (echo) out += "\r\n";
                    const std::string line = typed_;
                    typed_.clear();
                    const bool ok = line.size() <= Capacity && run(line);
                    out += ok ? "Command OK\r\n# " : "Command Error\a\r\n# ";
                } else if (b == '\b' || b == 0x7f) {
                    if (typed_.empty()) {
                        if (echo) out += '\a';
                    } else {
                        typed_.pop_back();
                        if (echo && typed_.size() < Capacity) out += "\b \b";
                    }
                } else {
                    if (echo) out += typed_.size() < Capacity ? b : '\a';
                    typed_ += b;
                }
            }
        }
    }

    const std::string& Typed() const { return typed_; }

private:
    std::string typed_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<TRecord> records = Decode(data, size);

    // The real line, with its invariants checked at every step.
    TLog real;
    const qev::TServer_Input_Line* line_ptr = nullptr;
    auto check_line = [&] {
        Check(line_ptr->Line().size() <= Capacity);
        Check(line_ptr->Line().size() == Capacity || line_ptr->Lost() == 0);
    };
    std::function<void()> during_run_real;
    std::function<bool()> echo_real;
    qev::TServer_Input_Line line(
        [&](const std::string& text) {
            Check(text.size() <= Capacity);
            real.Runs.push_back(text);
            check_line();
            during_run_real();
            return Outcome(text);
        },
        [&] { return echo_real(); });
    line_ptr = &line;
    auto real_feed = [&](int connection, const std::string& bytes) {
        line.Feed(bytes, [&real, connection](std::string_view sent) {
            Check(!sent.empty());
            real.Sent[connection] += sent;
        });
        check_line();
    };
    auto real_greet = [&](int connection) {
        qev::TServer_Input_Line::Greet([&real, connection](std::string_view sent) { real.Sent[connection] += sent; });
    };
    TPlayer real_player(records, real_feed, real_greet);
    during_run_real = [&] { real_player.During_Run(); };
    echo_real = [&] { return real_player.Echo(); };
    real_player.Play();

    // The model over the same records.
    TLog model;
    TModel typed;
    std::function<void()> during_run_model;
    std::function<bool()> echo_model;
    auto model_feed = [&](int connection, const std::string& bytes) {
        typed.Feed(bytes, echo_model(), model.Sent[connection], [&](const std::string& text) {
            model.Runs.push_back(text);
            during_run_model();
            return Outcome(text);
        });
    };
    auto model_greet = [&](int connection) { model.Sent[connection] += "Welcome to QEV_LPT\r\n# "; };
    TPlayer model_player(records, model_feed, model_greet);
    during_run_model = [&] { model_player.During_Run(); };
    echo_model = [&] { return model_player.Echo(); };
    model_player.Play();

    Check(real.Runs == model.Runs);
    for (int c = 0; c < Connections; ++c) Check(real.Sent[c] == model.Sent[c]);
    const std::string& all = typed.Typed();
    Check(line.Line() == all.substr(0, Capacity));
    Check(line.Lost() == (all.size() > Capacity ? all.size() - Capacity : 0));
    return 0;
}
