// The lircd command protocol, as irsend and the other clients of LIRC speak
// it, without sockets: what one request line asks and the exact reply.
//
// A client sends request lines ending in LF (CR LF is taken too) and gets one
// reply per line, in the order of its lines. A reply, byte for byte:
//
//   BEGIN LF
//   the request line as it came, without its line end, LF
//   SUCCESS LF  or  ERROR LF
//   DATA LF, the number of data lines n LF, n lines each ending in LF   (only when there is data)
//   END LF
//
// Requests. The directive matches in any case; words are separated by blanks
// and tabs. The program is one remote, named by TLirc_Program::Remote_Name()
// (the Command file loaded last); its keys are the commands of the table.
//
//   LIST                        SUCCESS, one data line: the remote's name
//   LIST remote                 SUCCESS, a line "0000000000000000 NAME" per command of the
//                               table in table order (no DATA while the table is empty)
//   LIST remote key             SUCCESS, that key's line
//   VERSION                     SUCCESS, one data line: the program's version
//   SEND_ONCE remote key [n]    sends the key as a click does (REPEAT transmissions) and
//                               with n, lircd's count of repetitions after the first, at
//                               least 1 + n transmissions: max(REPEAT, 1 + n) in all, back
//                               to back in one send; n from 0 to Lirc_Max_Repeats
//   SEND_START remote key       sends the key as SEND_ONCE without n does, then repeats it,
//                               one transmission per Repeat_Step(), until SEND_STOP, or
//                               Lirc_Max_Repetitions repetitions, or Lirc_Max_Repeat_Time
//                               from the SEND_START, whichever comes first
//   SEND_STOP [remote [key]]    ends the repetition; a remote and key given must be the
//                               ones repeating
//
// Remote names match in any case, as lircd matches them. A key matches the
// command of exactly its name, else the first command whose name differs
// from it only in case (lircd ignores case; the table may hold both POWER
// and power, and then each is reached by its own name). One key repeats at a
// time, whichever client started it, as in lircd.
//
// Errors, each with one data line, as lircd words them where it has a word:
//
//   an empty or blank line                        bad send packet
//   another directive                             unknown directive: "WORD"
//   a remote that is not the program's            unknown remote: "NAME"
//   a key not in the table                        unknown command: "KEY"
//   SEND_ONCE or SEND_START without remote, key   remote missing / code missing
//   n not a whole number of decimal digits        bad repeat count: "TEXT"
//   n above Lirc_Max_Repeats                      too many repeats: "TEXT" > "20"
//   more words than the request takes             too many arguments: "WORD"
//   SEND_ONCE while a key repeats                 busy: repeating
//   SEND_START while a key repeats                already repeating
//   SEND_STOP while no key repeats                not repeating
//   SEND_STOP of another remote or key            specified remote does not match /
//                                                 specified code does not match
//   the program cannot transmit                   transmission failed
//   a line of more than Lirc_Line_Limit bytes     line too long: more than 1024 bytes
//                                                 (the echo holds its first 1024 bytes)
#ifndef QEV_NET_LIRC_PROTOCOL_H
#define QEV_NET_LIRC_PROTOCOL_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qev {

using TLirc_Clock = std::chrono::steady_clock;

// Bytes of a request line, its line end not counted.
inline constexpr std::size_t Lirc_Line_Limit = 1024;
// The largest count of SEND_ONCE: with the default 1,024-sample commands
// (128 ms each) a send of 21 transmissions holds the window for 2.7 s.
inline constexpr int32_t Lirc_Max_Repeats = 20;
// SEND_START's repetitions after its first send, and their time from it.
inline constexpr int32_t Lirc_Max_Repetitions = 100;
inline constexpr std::chrono::milliseconds Lirc_Max_Repeat_Time{10'000};
// The remote's name before any Command file has been loaded.
inline constexpr std::string_view Lirc_Default_Remote = "QEV_LPT";

// What the protocol needs of the program.
class TLirc_Program {
public:
    virtual ~TLirc_Program() = default;
    // The name of the one remote the program shows.
    virtual std::string Remote_Name() const = 0;
    // The names of the commands in the table, in table order.
    virtual std::vector<std::string> Command_Names() const = 0;
    virtual std::string Version() const = 0;
    // Transmissions of one ordinary send (REPEAT).
    virtual int32_t Repeat() const = 0;
    // Transmits the command `name` (a name Command_Names() gave) `times`
    // times back to back, `times` at least 1. false when nothing could be
    // sent (the command is gone, or the port cannot transmit).
    virtual bool Send(const std::string& name, int32_t times) = 0;
};

// A reply as lircd frames it.
std::string Lirc_Reply(std::string_view request, bool success, const std::vector<std::string>& data = {});
// A key's line in LIST: lircd's 16 hexadecimal digits of code (the program
// keeps waveforms, not codes: all zero), a blank, the name.
std::string Lirc_Code_Line(std::string_view name);
// The remote's name for a Command file: the file name without its folder
// and last extension ("tv" for /x/tv.rmt), each blank, '#' and control
// character made '_' (a remote's name is one word; '#' starts a comment in
// lircd.conf), as the lircd.conf writer names a remote; Lirc_Default_Remote
// for an empty path or name.
std::string Lirc_Remote_Name(std::string_view command_file_path);

// The requests and the one repeating key, for all connections together.
class TLirc_Protocol {
public:
    explicit TLirc_Protocol(TLirc_Program& program) : program_(program) {}

    // Runs one request line (without its line end) and returns the reply.
    // `now` starts SEND_START's time limit.
    std::string Handle(std::string_view line, TLirc_Clock::time_point now);
    // The reply to a line longer than Lirc_Line_Limit, of which `start`
    // holds the first Lirc_Line_Limit bytes.
    static std::string Too_Long_Reply(std::string_view start);

    // Whether a key repeats now: Repeat_Step() is then due as often as the
    // owner can call it.
    bool Repeating() const { return repeat_.has_value(); }
    // The command repeating, empty when none.
    std::string Repeating_Key() const { return repeat_ ? repeat_->Name : std::string(); }
    // Repetitions sent since the SEND_START, its first send not counted.
    int32_t Repetitions() const { return repeat_ ? repeat_->Count : 0; }
    // One repetition of the repeating key: a single transmission, unless the
    // time limit has passed. false when the repetition has ended (by a
    // limit, a failed send or none repeating); Repeating() then says no.
    bool Repeat_Step(TLirc_Clock::time_point now);
    // Ends any repetition (the listener closes).
    void Stop_Repeating() { repeat_.reset(); }

private:
    struct TRepeat {
        std::string Remote;
        std::string Name;
        int32_t Count = 0;
        TLirc_Clock::time_point Started;
    };
    // The remote and key words of a request resolved, or the error reply.
    struct TTarget {
        bool Has_Remote = false;
        std::string Key;  // the command's name in the table; empty when no key was given
        std::optional<std::string> Error;
    };
    TTarget Resolve(std::string_view request, const std::vector<std::string_view>& words) const;
    std::string List(std::string_view request, const std::vector<std::string_view>& words) const;
    std::string Send_Once(std::string_view request, const std::vector<std::string_view>& words);
    std::string Send_Start(std::string_view request, const std::vector<std::string_view>& words,
                           TLirc_Clock::time_point now);
    std::string Send_Stop(std::string_view request, const std::vector<std::string_view>& words);
    int32_t First_Send_Times() const;

    TLirc_Program& program_;
    std::optional<TRepeat> repeat_;
};

// One connection's input cut into request lines. At most Lirc_Line_Limit + 1
// bytes of an unfinished line are kept (room for a CR before the LF); the
// bytes beyond are dropped and the line, once its LF comes, is reported as
// too long, so a client cannot make a connection hold more.
class TLirc_Line_Reader {
public:
    // A finished line without its LF (and without a CR right before it);
    // when too_long, its first Lirc_Line_Limit bytes.
    using TOn_Line = std::function<void(std::string_view line, bool too_long)>;

    // Takes bytes as they arrive and hands on every line they finish.
    void Feed(std::string_view bytes, const TOn_Line& on_line);
    // Bytes of the unfinished line kept now.
    std::size_t Buffered() const { return line_.size(); }

private:
    std::string line_;
    bool overflow_ = false;
};

}  // namespace qev

#endif
