#include "net/server_input_line.h"

#include "base/stop_request.h"

#include <cstring>
#include <limits>
#include <utility>

namespace qev {

namespace {

constexpr char CR = 0x0D;
constexpr char LF = 0x0A;
constexpr char BS = 0x08;
constexpr char BEL = 0x07;
constexpr char DEL = 0x7F;

// Sends what has gathered, as one write, and starts gathering afresh.
void Flush(std::string& out, const TServer_Input_Line::TSend& send) {
    if (out.empty()) return;
    send(out);
    out.clear();
}

}  // namespace

TServer_Input_Line::TServer_Input_Line(TRun_Line run_line, TEcho echo)
    : run_line_(std::move(run_line)), echo_(std::move(echo)) {
    line_.reserve(Line_Capacity);
}

void TServer_Input_Line::Greet(const TSend& send) {
    send(Server_Greeting);
    send(Server_Prompt);
}

void TServer_Input_Line::Feed(std::string_view chunk, const TSend& send) {
    while (!chunk.empty() && !Program_Stop_Requested()) {
        const std::size_t size = chunk.size() < Read_Size ? chunk.size() : Read_Size;
        Feed_Piece(chunk.substr(0, size), send);
        chunk.remove_prefix(size);
    }
}

void TServer_Input_Line::Feed_Piece(std::string_view piece, const TSend& send) {
    // Only the bytes before the first zero byte count.
    if (const void* zero = std::memchr(piece.data(), 0, piece.size()))
        piece = piece.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - piece.data()));

    // Local, so a nested Feed() during a run never mixes its output into ours.
    std::string out;
    for (const char b : piece) {
        if (b == LF) continue;
        if (b == CR) {
            // The program is ending: this line and every one queued behind
            // it are dropped, unanswered.
            if (Program_Stop_Requested()) break;
            if (echo_()) out += "\r\n";
            // Copy and empty first: the run may let events through, and the
            // bytes that arrive meanwhile belong to the next line.
            const std::string line = std::move(line_);
            const bool overlong = lost_ > 0;
            line_.clear();
            line_.reserve(Line_Capacity);
            lost_ = 0;
            Flush(out, send);
            const bool ok = !overlong && run_line_(line);
            send(ok ? Server_Reply_OK : Server_Reply_Error);
            continue;
        }
        if (b == BS || b == DEL) {
            if (lost_ > 0) {
                --lost_;  // never shown, so nothing to erase on the screen
            } else if (!line_.empty()) {
                line_.pop_back();
                if (echo_()) out += "\b \b";
            } else if (echo_()) {
                out += BEL;
            }
            continue;
        }
        if (line_.size() < Line_Capacity) {
            line_ += b;
            if (echo_()) out += b;
        } else {
            if (lost_ < std::numeric_limits<uint64_t>::max()) ++lost_;
            if (echo_()) out += BEL;
        }
    }
    Flush(out, send);
}

}  // namespace qev
