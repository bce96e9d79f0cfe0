// The Command server's byte handling, without sockets.
//
// All connections of the server type into one Server input line. Each read
// of a connection is handed to Feed() together with a way to send bytes back
// to that connection; Feed() edits the line, echoes, and on a carriage
// return runs the line and answers. What is sent, byte for byte (CR 0x0D,
// LF 0x0A, BS 0x08, BEL 0x07, DEL 0x7F):
//
//   connection accepted        "Welcome to QEV_LPT", then CR LF "# " in a
//                              second write (Greet)
//   ordinary byte, echo on     that byte
//   CR, echo on                CR LF, before the line runs
//   line ran successfully      "Command OK" CR LF "# "          (14 bytes)
//   line failed                "Command Error" BEL CR LF "# "   (18 bytes)
//   BS or DEL, echo on         BS SP BS when a shown character is taken
//                              back, BEL when the line is empty
//   LF                         nothing, ever
//
// With echo off only the greeting and the replies are sent. Every byte other
// than CR, LF, BS, DEL and zero is a character of the line, 0x80 and up
// included. Echo is asked again for each byte that would echo, so a change
// takes effect at once.
//
// Reads: the server has room for Read_Size (127) bytes per read; of each
// piece only the bytes before its first zero byte are handled. Feed() takes
// a chunk of any length as consecutive pieces of Read_Size bytes, as the
// socket plumbing reads them.
//
// Input beyond the line: the line holds at most Line_Capacity (127)
// characters. A character that arrives when the line is full is not stored:
// with echo on the client hears BEL instead of its echo, and the line counts
// it as lost. A BS or DEL first takes back a lost character (sending nothing,
// since that character was never shown), then the stored ones. A CR on a
// line that has lost characters answers "Command Error" without running
// anything, and the line starts afresh. So a line is run only when it is
// exactly what the client typed, and a client that typed too much can erase
// back below the limit and carry on.
//
// Re-entrancy: the line to run is copied and the line emptied before the run
// callback is called, and Feed() keeps its pending output in a local buffer.
// The callback may therefore let events through (a macro elsewhere does)
// and Feed() be called again, for this or another connection, meanwhile:
// those bytes start the next line, and each reply goes to the connection
// whose carriage return ended the line.
//
// Ending: once the program has been asked to end (base/stop_request.h), a
// carriage return runs nothing and Feed() drops the rest of its chunk: the
// line under way finishes, the lines queued behind it are not started.
#ifndef QEV_NET_SERVER_INPUT_LINE_H
#define QEV_NET_SERVER_INPUT_LINE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qev {

// The texts the server sends.
inline constexpr std::string_view Server_Greeting = "Welcome to QEV_LPT";
inline constexpr std::string_view Server_Prompt = "\r\n# ";  // the greeting's second write
inline constexpr std::string_view Server_Reply_OK = "Command OK\r\n# ";
inline constexpr std::string_view Server_Reply_Error = "Command Error\a\r\n# ";

class TServer_Input_Line {
public:
    static constexpr std::size_t Line_Capacity = 127;  // characters the line holds
    static constexpr std::size_t Read_Size = 127;      // bytes handled per read

    // Runs one line; true when it succeeded.
    using TRun_Line = std::function<bool(const std::string& line)>;
    // Whether to echo; asked for each byte that would echo.
    using TEcho = std::function<bool()>;
    // Sends bytes to the connection a chunk came from, as one write.
    using TSend = std::function<void(std::string_view bytes)>;

    TServer_Input_Line(TRun_Line run_line, TEcho echo);

    // The greeting of a new connection: two writes.
    static void Greet(const TSend& send);

    // Handles one chunk read from a connection; `send` reaches that
    // connection. Output is gathered and sent as one write at three points:
    // just before a line runs (its echo, ending in CR LF), right after its
    // reply, and at the end of the chunk.
    void Feed(std::string_view chunk, const TSend& send);

    // What the line holds now (at most Line_Capacity characters).
    const std::string& Line() const { return line_; }
    // Characters typed beyond the capacity and not yet taken back.
    uint64_t Lost() const { return lost_; }

private:
    void Feed_Piece(std::string_view piece, const TSend& send);

    TRun_Line run_line_;
    TEcho echo_;
    std::string line_;
    uint64_t lost_ = 0;
};

}  // namespace qev

#endif
