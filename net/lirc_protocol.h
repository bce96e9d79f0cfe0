// The lircd command protocol, as irsend and the other clients of LIRC speak
// it, without sockets: what one request line asks and the exact reply, as
// lircd 0.10.1 words it.
//
// A client sends request lines ending in LF (CR LF is taken too) and gets one
// reply per line, in the order of its lines. A reply, byte for byte:
//
//   BEGIN LF
//   the request line as it came, without its LF (a CR before the LF is kept, as lircd keeps it), LF
//   SUCCESS LF  or  ERROR LF
//   DATA LF, the number of data lines n LF, n lines each ending in LF   (only when there is data)
//   END LF
//
// Requests. The directive matches in any case; words are separated by blanks
// and tabs (a CR right before the LF is no part of the last word). The
// program is one remote, named by TLirc_Program::Remote_Name() (the Command
// file loaded last); its keys are the commands of the table.
//
//   LIST                        SUCCESS, one data line: the remote's name
//   LIST remote                 SUCCESS, a line "0000000000000000 KEY" per command of the
//                               table in table order (no DATA while the table is empty)
//   LIST remote key             SUCCESS, that key's line
//   VERSION [anything]          SUCCESS, one data line: the program's version
//   SEND_ONCE remote key [n]    sends the key as a click does (REPEAT transmissions back to
//                               back), and with n, lircd's count of repetitions after the
//                               first, max(REPEAT, 1 + n) transmissions in all: the click
//                               first, then the rest one transmission per Repeat_Step(),
//                               and the reply once the last has gone out (Handle() gives
//                               none; Take_Late_Reply() has it); n from 0 to Lirc_Max_Repeats
//   SEND_START remote key       sends the key as SEND_ONCE without n does, then repeats it,
//                               one transmission per Repeat_Step(), until SEND_STOP or for
//                               at most the repeat time limit (Lirc_Max_Repeat_Time unless
//                               the owner sets another), whichever comes first
//   SEND_STOP [remote [key]]    ends the repetition; a remote and key given must be the
//                               ones repeating
//   SET_TRANSMITTERS, SIMULATE, SET_INPUTLOG, DRV_OPTION
//                               answered as lircd answers them with a driver that sends,
//                               has one transmitter, no driver options and no receiver;
//                               nothing changes and no file is opened (see the errors)
//
// Key names. LIST shows each command's name as one word that a request can
// carry (Lirc_Key_Word): each blank, tab, other control character and DEL
// becomes '_' ("VOL UP" is listed as VOL_UP), an empty name is "_". A key
// word in a request reaches the command whose name is exactly the word, else
// the first command whose listed word is the word, else the first whose
// listed word differs from it only in case (lircd ignores case; the table may
// hold both POWER and power, and then each is reached by its own name). Two
// names that list alike ("A B" and "A_B") are both listed; the word reaches
// the one named exactly so, else the first.
//
// Remote names match in any case, as lircd matches them. One key repeats at a
// time, whichever client started it, as in lircd; a SEND_ONCE with n counts
// as repeating until its last transmission.
//
// Errors, each with one data line, as lircd words them:
//
//   an empty or blank line                        bad send packet
//   another directive                             unknown directive: "WORD"
//   a remote that is not the program's            unknown remote: "NAME"
//   a key not in the table                        unknown command: "KEY"
//   SEND_ONCE or SEND_START without remote, key   remote missing / code missing
//   n not [+|-]digits                             bad send packet (reps/eol)
//   n below 0 or above Lirc_Max_Repeats           too many repeats: "N" > "600"  (N the value
//                                                 in decimal, as lircd prints it)
//   more words than the request takes             bad send packet (trailing ws)
//   SEND_ONCE while a key repeats                 busy: repeating
//   SEND_START while a key repeats                already repeating
//   SEND_STOP while no key repeats                not repeating
//   SEND_STOP of another remote or key            specified remote does not match /
//                                                 specified code does not match
//   the program cannot transmit                   transmission failed
//   a SEND_ONCE whose repetitions were ended      repeating interrupted
//     by SEND_STOP or by Stop_Repeating()
//   SET_TRANSMITTERS without / with arguments     no arguments given /
//                                                 hardware does not support multiple transmitters
//   SIMULATE                                      SIMULATE command is disabled
//   SET_INPUTLOG with only blanks after it        Illegal argument (protocol error): ARGS
//   DRV_OPTION without two words (lircd reads     Illegal argument (protocol error): ARGS
//     them as "%32s %64s")
//   DRV_OPTION key value                          Cannot set driver option, code: 0
//   a line of more than Lirc_Line_Limit bytes     line too long: more than 1024 bytes
//                                                 (the echo holds its first 1024 bytes)
//
// SET_INPUTLOG with no argument or with any word answers SUCCESS.
//
// Where lircd 0.10.1 answers otherwise (the end-to-end comparison with lircd
// has a row for each):
//   - VERSION's data line is the program's version, not lircd's.
//   - LIST's code column is all zeros: the program keeps waveforms, not codes.
//   - A key whose name has a blank or control character is listed and sent
//     by its word with '_' (lircd.conf cannot hold such a name at all).
//   - A key word in the exact case of a command's name reaches that command;
//     lircd takes the first command whose name matches in any case (with
//     POWER and power, "LIST tv power" lists POWER there, power here).
//   - A count beyond 32 bits: lircd takes it modulo 2^32 (4294967296 sends
//     as 0, 99999999999 is refused as "1215752191"); here it is too many,
//     printed as written (without '+' and leading zeros).
//   - A SEND_ONCE whose repetitions another client's SEND_STOP ends: lircd
//     never answers it; here it gets "repeating interrupted". A repetition of
//     SEND_ONCE that fails to transmit answers "transmission failed" (lircd
//     answers SUCCESS).
//   - SEND_START repeats for at most the repeat time limit (60 s), lircd for
//     600 repetitions (its --repeat-max).
//   - SET_INPUTLOG PATH opens nothing (lircd creates or truncates PATH, and
//     answers "Cannot open input logfile: PATH (errno: N)" when it cannot):
//     the program receives nothing to log, and a network client never makes
//     it touch a file or learns whether a path exists.
//   - DRV_OPTION key value: lircd's code is whatever errno an earlier call
//     left (0 in a fresh lircd); here always 0. DRV_OPTION without arguments
//     ends lircd 0.10.1 (it reads from a null pointer); here it is refused
//     as "Illegal argument (protocol error): " with nothing after it.
//   - A line of 256 bytes or more: lircd drops the connection; here the
//     limit is 1,024 bytes and a longer line is answered as above.
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

// Bytes of a request line, its line end (LF or CR LF) not counted.
inline constexpr std::size_t Lirc_Line_Limit = 1024;
// The largest count n of SEND_ONCE: lircd's default --repeat-max. The
// repetitions after the click go out one per Repeat_Step(), so the window
// keeps working between them however many there are.
inline constexpr int32_t Lirc_Max_Repeats = 600;
// How long SEND_START repeats at most without a SEND_STOP (a client that
// never sends one, e.g. an irsend that was killed): about what lircd's 600
// repetitions of a usual 108 ms frame take.
inline constexpr std::chrono::milliseconds Lirc_Max_Repeat_Time{60'000};
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
    // times back to back, `times` at least 1: a new press of the key, or with
    // `held` a repetition of the press before. false when nothing could be
    // sent (the command is gone, or the port cannot transmit).
    virtual bool Send(const std::string& name, int32_t times, bool held) = 0;
};

// A reply as lircd frames it.
std::string Lirc_Reply(std::string_view request, bool success, const std::vector<std::string>& data = {});
// A key's line in LIST: lircd's 16 hexadecimal digits of code (the program
// keeps waveforms, not codes: all zero), a blank, the key's word.
std::string Lirc_Code_Line(std::string_view word);
// A command's name as one word of a request: each byte up to the blank
// (0x00-0x20) and DEL made '_'; "_" for an empty name.
std::string Lirc_Key_Word(std::string_view name);
// The line lircd writes to each of its clients for a key it hears, with its
// LF: printf's "%016llx %02x %s %s\n" of the code, the count of repetitions
// of the press so far (0 for the press itself; a negative count is 0), the
// key's name and the remote's name. Both names are made words as
// Lirc_Key_Word makes them (LIST's form, which a request can carry back), so
// the line always has four fields: irw prints it, and lircrc's "button" and
// "remote" match the words ("VOL UP" is heard as VOL_UP).
std::string Lirc_Key_Line(uint64_t code, int repeat, std::string_view key, std::string_view remote);
// The remote's name for a Command file: the file name without its folder
// and last extension ("tv" for /x/tv.rmt), each blank, '#' and control
// character made '_' (a remote's name is one word; '#' starts a comment in
// lircd.conf), as the lircd.conf writer names a remote; Lirc_Default_Remote
// for an empty path or name.
std::string Lirc_Remote_Name(std::string_view command_file_path);

// The requests and the one repeating key, for all connections together.
class TLirc_Protocol {
public:
    explicit TLirc_Protocol(TLirc_Program& program, std::chrono::milliseconds repeat_time_limit = Lirc_Max_Repeat_Time)
        : program_(program), repeat_time_limit_(repeat_time_limit) {}

    // Runs one request line as it came, without its LF, and returns the
    // reply; nothing when the reply comes later (a SEND_ONCE whose count
    // asks for repetitions after the click: Take_Late_Reply() gives it once
    // they have ended, and the owner answers nothing else to that client
    // meanwhile). `now` starts SEND_START's time limit.
    std::optional<std::string> Handle(std::string_view line, TLirc_Clock::time_point now);
    // The reply to a line longer than Lirc_Line_Limit, of which `start`
    // holds the first Lirc_Line_Limit bytes.
    static std::string Too_Long_Reply(std::string_view start);

    // Whether a key repeats now (SEND_START's, or SEND_ONCE's count):
    // Repeat_Step() is then due as often as the owner can call it.
    bool Repeating() const { return repeat_.has_value(); }
    // The command repeating, empty when none.
    std::string Repeating_Key() const { return repeat_ ? repeat_->Name : std::string(); }
    // Repetitions sent since the SEND_START or SEND_ONCE, the first send not
    // counted.
    int32_t Repetitions() const { return repeat_ ? repeat_->Count : 0; }
    // One repetition of the repeating key: a single transmission, unless
    // SEND_START's time limit has passed. false when the repetition has
    // ended (its count done, the time limit, a failed send, or none
    // repeating); Repeating() then says no.
    bool Repeat_Step(TLirc_Clock::time_point now);
    // Ends any repetition (the listener closes, the program stops); a
    // SEND_ONCE cut short is answered "repeating interrupted".
    void Stop_Repeating();
    // The reply of a SEND_ONCE whose repetitions have ended, once. Its owner
    // takes it after every Handle(), Repeat_Step() and Stop_Repeating(), so
    // it goes to the client that waits for it before another SEND_ONCE can
    // make a client wait.
    std::optional<std::string> Take_Late_Reply();

private:
    struct TRepeat {
        std::string Remote;
        std::string Name;
        int32_t Count = 0;
        TLirc_Clock::time_point Started;
        // A SEND_ONCE's count: the transmissions still to go, and its request.
        bool Once = false;
        int32_t Remaining = 0;
        std::string Request;
    };
    struct TRequest;
    // The remote, key and count words of a request resolved, or the error reply.
    struct TTarget {
        bool Has_Remote = false;
        bool Has_Key = false;
        std::string Key;  // the command's name in the table (may be empty)
        std::optional<int64_t> Count;
        std::optional<std::string> Error;
    };
    TTarget Resolve(const TRequest& request, bool with_count, int required) const;
    std::string Find_Key(std::string_view word, bool* found) const;
    std::string List(const TRequest& request) const;
    std::optional<std::string> Send_Once(const TRequest& request);
    std::string Send_Start(const TRequest& request, TLirc_Clock::time_point now);
    std::string Send_Stop(const TRequest& request);
    int32_t Click_Times() const;
    void End_Repetition(std::optional<std::string> once_error);

    TLirc_Program& program_;
    std::chrono::milliseconds repeat_time_limit_;
    std::optional<TRepeat> repeat_;
    std::optional<std::string> late_reply_;
};

// One connection's input cut into request lines. At most Lirc_Line_Limit + 1
// bytes of an unfinished line are kept (room for a CR before the LF); the
// bytes beyond are dropped and the line, once its LF comes, is reported as
// too long, so a client cannot make a connection hold more.
class TLirc_Line_Reader {
public:
    // A finished line without its LF (a CR right before the LF is kept, for
    // the echo); when too_long, its first Lirc_Line_Limit bytes. Returns
    // whether to go on with the next line of the bytes.
    using TOn_Line = std::function<bool(std::string_view line, bool too_long)>;

    // Takes bytes as they arrive and hands on every line they finish, until
    // on_line says to stop. Returns how many bytes it took: all of them, or
    // those up to and including the LF of the line after which on_line said
    // to stop (the rest is for a later Feed).
    std::size_t Feed(std::string_view bytes, const TOn_Line& on_line);
    // Bytes of the unfinished line kept now.
    std::size_t Buffered() const { return line_.size(); }

private:
    std::string line_;
    bool overflow_ = false;
};

}  // namespace qev

#endif
