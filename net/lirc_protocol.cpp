#include "net/lirc_protocol.h"

#include "base/text_case.h"
#include "base/text_scan.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace qev {

namespace {

constexpr char LF = 0x0A;
constexpr char CR = 0x0D;

// lircd separates the words of a request by blanks and tabs only; the
// arguments of SET_INPUTLOG and DRV_OPTION it reads with sscanf's %s, which
// stops at every blank of isspace (Words_Of's default).
bool Is_Separator(char c) { return c == ' ' || c == '\t'; }

// Whether a name's listed word (Lirc_Key_Word) is `word`, in any case when
// `any_case`, without making the word.
bool Lists_As(std::string_view name, std::string_view word, bool any_case) {
    if (name.empty()) return word == "_";
    if (name.size() != word.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto u = static_cast<unsigned char>(name[i]);
        const char listed = u <= ' ' || u == 0x7F ? '_' : name[i];
        if (any_case ? Lower_Ascii(listed) != Lower_Ascii(word[i]) : listed != word[i]) return false;
    }
    return true;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Error(std::string_view request, std::string message) {
    return Lirc_Reply(request, false, {std::move(message)});
}

// A repeat count as lircd reads it with strtol: an optional sign, then
// decimal digits and nothing else. Its value in decimal as printf's %d
// prints it (no '+', no leading zeros), and whether it is within lircd's
// bounds.
struct TCount {
    bool Well_Formed = false;
    bool Negative = false;
    std::string Digits;  // without leading zeros; "0" for zero
    int64_t Value = 0;   // meaningful while Digits has at most 18 digits
};

TCount Count_Of(std::string_view text) {
    TCount count;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        count.Negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return count;
    count.Well_Formed = true;
    const std::size_t first = std::min(text.find_first_not_of('0'), text.size() - 1);
    count.Digits = std::string(text.substr(first));
    if (count.Digits == "0") count.Negative = false;
    if (count.Digits.size() <= 18)
        for (const char c : count.Digits) count.Value = count.Value * 10 + (c - '0');
    return count;
}

}  // namespace

// One request line taken apart as lircd takes it.
struct TLirc_Protocol::TRequest {
    std::string_view Echo;                      // the line as it came
    std::vector<std::string_view> Words;        // of the line without its last CR
    std::optional<std::string_view> Arguments;  // what follows the directive and one separator, when not empty
};

std::string Lirc_Reply(std::string_view request, bool success, const std::vector<std::string>& data) {
    std::string reply = "BEGIN\n";
    reply += request;
    reply += success ? "\nSUCCESS\n" : "\nERROR\n";
    if (!data.empty()) {
        reply += "DATA\n" + std::to_string(data.size()) + "\n";
        for (const std::string& line : data) reply += line + "\n";
    }
    reply += "END\n";
    return reply;
}

std::string Lirc_Code_Line(std::string_view word) { return "0000000000000000 " + std::string(word); }

std::string Lirc_Key_Word(std::string_view name) {
    if (name.empty()) return "_";
    std::string word(name);
    for (char& c : word) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F) c = '_';
    }
    return word;
}

std::string Lirc_Key_Line(uint64_t code, int repeat, std::string_view key, std::string_view remote) {
    char numbers[48];
    std::snprintf(numbers, sizeof numbers, "%016llx %02x ", static_cast<unsigned long long>(code),
                  static_cast<unsigned>(std::max(repeat, 0)));
    return numbers + Lirc_Key_Word(key) + " " + Lirc_Key_Word(remote) + "\n";
}

std::string Lirc_Remote_Name(std::string_view command_file_path) {
    std::string_view name = command_file_path.substr(command_file_path.find_last_of('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    if (name.empty()) return std::string(Lirc_Default_Remote);
    std::string word(name);
    for (char& c : word) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F || c == '#') c = '_';
    }
    return word;
}

// ---- Requests ------------------------------------------------------------------

std::optional<std::string> TLirc_Protocol::Handle(std::string_view line, TLirc_Clock::time_point now) {
    TRequest request;
    request.Echo = line;
    std::string_view text = line;
    if (!text.empty() && text.back() == CR) text.remove_suffix(1);
    request.Words = Words_Of(text, Is_Separator);
    if (request.Words.empty()) return Error(line, "bad send packet");
    const std::string_view directive = request.Words.front();
    // strtok ends the directive at one separator; the rest of the line, if
    // any, is the arguments.
    const std::size_t after = static_cast<std::size_t>(directive.data() + directive.size() - text.data());
    if (after + 1 < text.size()) request.Arguments = text.substr(after + 1);

    if (Same_Ignoring_Case(directive, "LIST")) return List(request);
    if (Same_Ignoring_Case(directive, "SEND_ONCE")) return Send_Once(request);
    if (Same_Ignoring_Case(directive, "SEND_START")) return Send_Start(request, now);
    if (Same_Ignoring_Case(directive, "SEND_STOP")) return Send_Stop(request);
    if (Same_Ignoring_Case(directive, "VERSION")) return Lirc_Reply(line, true, {program_.Version()});
    if (Same_Ignoring_Case(directive, "SET_TRANSMITTERS"))
        return Error(line,
                     request.Arguments ? "hardware does not support multiple transmitters" : "no arguments given");
    if (Same_Ignoring_Case(directive, "SIMULATE")) return Error(line, "SIMULATE command is disabled");
    const auto illegal = [&] {
        return Error(line, "Illegal argument (protocol error): " + std::string(request.Arguments.value_or("")));
    };
    if (Same_Ignoring_Case(directive, "SET_INPUTLOG")) {
        // Nothing is received, so there is nothing to log: no file is opened.
        if (request.Arguments && Words_Of(*request.Arguments).empty()) return illegal();
        return Lirc_Reply(line, true);
    }
    if (Same_Ignoring_Case(directive, "DRV_OPTION")) {
        // lircd reads "%32s %64s": a first word of more than 32 bytes gives both.
        const std::vector<std::string_view> fields =
            request.Arguments ? Words_Of(*request.Arguments) : std::vector<std::string_view>{};
        if (fields.empty() || (fields.size() == 1 && fields.front().size() <= 32)) return illegal();
        return Error(line, "Cannot set driver option, code: 0");
    }
    return Error(line, "unknown directive: " + Quoted(directive));
}

std::string TLirc_Protocol::Too_Long_Reply(std::string_view start) {
    return Error(start, "line too long: more than " + std::to_string(Lirc_Line_Limit) + " bytes");
}

// The command a key word reaches (see the header); *found false when none.
std::string TLirc_Protocol::Find_Key(std::string_view word, bool* found) const {
    const std::vector<std::string> names = program_.Command_Names();
    *found = true;
    for (const std::string& name : names)
        if (name == word) return name;
    for (const std::string& name : names)
        if (Lists_As(name, word, false)) return name;
    for (const std::string& name : names)
        if (Lists_As(name, word, true)) return name;
    *found = false;
    return {};
}

// lircd's order: the remote, the key, the count, trailing words, then what
// is missing (`required` words after the directive).
TLirc_Protocol::TTarget TLirc_Protocol::Resolve(const TRequest& request, bool with_count, int required) const {
    const std::vector<std::string_view>& words = request.Words;
    TTarget target;
    if (words.size() >= 2) {
        if (!Same_Ignoring_Case(words[1], program_.Remote_Name())) {
            target.Error = Error(request.Echo, "unknown remote: " + Quoted(words[1]));
            return target;
        }
        target.Has_Remote = true;
    }
    if (words.size() >= 3) {
        target.Key = Find_Key(words[2], &target.Has_Key);
        if (!target.Has_Key) {
            target.Error = Error(request.Echo, "unknown command: " + Quoted(words[2]));
            return target;
        }
    }
    std::size_t used = std::min<std::size_t>(words.size(), 3);
    if (with_count && words.size() >= 4) {
        const TCount count = Count_Of(words[3]);
        if (!count.Well_Formed) {
            target.Error = Error(request.Echo, "bad send packet (reps/eol)");
            return target;
        }
        if (count.Negative || count.Digits.size() > 18 || count.Value > Lirc_Max_Repeats) {
            target.Error =
                Error(request.Echo, "too many repeats: " + Quoted((count.Negative ? "-" : "") + count.Digits) + " > " +
                                        Quoted(std::to_string(Lirc_Max_Repeats)));
            return target;
        }
        target.Count = count.Value;
        used = 4;
    }
    if (words.size() > used) {
        target.Error = Error(request.Echo, "bad send packet (trailing ws)");
        return target;
    }
    if (required > 0 && !target.Has_Remote)
        target.Error = Error(request.Echo, "remote missing");
    else if (required > 1 && !target.Has_Key)
        target.Error = Error(request.Echo, "code missing");
    return target;
}

std::string TLirc_Protocol::List(const TRequest& request) const {
    const TTarget target = Resolve(request, false, 0);
    if (target.Error) return *target.Error;
    if (!target.Has_Remote) return Lirc_Reply(request.Echo, true, {program_.Remote_Name()});
    if (target.Has_Key) return Lirc_Reply(request.Echo, true, {Lirc_Code_Line(Lirc_Key_Word(target.Key))});
    std::vector<std::string> lines;
    for (const std::string& name : program_.Command_Names()) lines.push_back(Lirc_Code_Line(Lirc_Key_Word(name)));
    return Lirc_Reply(request.Echo, true, lines);
}

// A key sent as a click sends it, and never less than once.
int32_t TLirc_Protocol::Click_Times() const { return std::max(program_.Repeat(), 1); }

std::optional<std::string> TLirc_Protocol::Send_Once(const TRequest& request) {
    const TTarget target = Resolve(request, true, 2);
    if (target.Error) return *target.Error;
    if (repeat_) return Error(request.Echo, "busy: repeating");
    const int32_t click = Click_Times();
    const int32_t total = target.Count ? std::max<int32_t>(click, 1 + static_cast<int32_t>(*target.Count)) : click;
    if (!program_.Send(target.Key, click, false)) return Error(request.Echo, "transmission failed");
    if (total == click) return Lirc_Reply(request.Echo, true);
    repeat_ = TRepeat{.Remote = program_.Remote_Name(),
                      .Name = target.Key,
                      .Count = 0,
                      .Started = {},
                      .Once = true,
                      .Remaining = total - click,
                      .Request = std::string(request.Echo)};
    return std::nullopt;
}

std::string TLirc_Protocol::Send_Start(const TRequest& request, TLirc_Clock::time_point now) {
    const TTarget target = Resolve(request, false, 2);
    if (target.Error) return *target.Error;
    if (repeat_) return Error(request.Echo, "already repeating");
    if (!program_.Send(target.Key, Click_Times(), false)) return Error(request.Echo, "transmission failed");
    repeat_ = TRepeat{.Remote = program_.Remote_Name(),
                      .Name = target.Key,
                      .Count = 0,
                      .Started = now,
                      .Once = false,
                      .Remaining = 0,
                      .Request = {}};
    return Lirc_Reply(request.Echo, true);
}

std::string TLirc_Protocol::Send_Stop(const TRequest& request) {
    const TTarget target = Resolve(request, false, 0);
    if (target.Error) return *target.Error;
    if (!repeat_) return Error(request.Echo, "not repeating");
    // The remote is renamed when another Command file loads meanwhile.
    if (target.Has_Remote && !Same_Ignoring_Case(request.Words[1], repeat_->Remote))
        return Error(request.Echo, "specified remote does not match");
    if (target.Has_Key && target.Key != repeat_->Name) return Error(request.Echo, "specified code does not match");
    End_Repetition("repeating interrupted");
    return Lirc_Reply(request.Echo, true);
}

bool TLirc_Protocol::Repeat_Step(TLirc_Clock::time_point now) {
    if (!repeat_) return false;
    if (!repeat_->Once && now - repeat_->Started >= repeat_time_limit_) {
        End_Repetition(std::nullopt);
        return false;
    }
    if (!program_.Send(repeat_->Name, 1, true)) {
        End_Repetition("transmission failed");
        return false;
    }
    ++repeat_->Count;
    if (repeat_->Once && --repeat_->Remaining <= 0) {
        End_Repetition(std::nullopt);
        return false;
    }
    return true;
}

void TLirc_Protocol::Stop_Repeating() {
    if (repeat_) End_Repetition("repeating interrupted");
}

// A SEND_ONCE's reply: SUCCESS, or the error that ended it early.
void TLirc_Protocol::End_Repetition(std::optional<std::string> once_error) {
    if (repeat_ && repeat_->Once)
        late_reply_ = once_error ? Error(repeat_->Request, std::move(*once_error)) : Lirc_Reply(repeat_->Request, true);
    repeat_.reset();
}

std::optional<std::string> TLirc_Protocol::Take_Late_Reply() { return std::exchange(late_reply_, std::nullopt); }

// ---- Lines ---------------------------------------------------------------------

std::size_t TLirc_Line_Reader::Feed(std::string_view bytes, const TOn_Line& on_line) {
    std::size_t taken = 0;
    while (taken < bytes.size()) {
        const std::string_view rest = bytes.substr(taken);
        const std::size_t lf = rest.find(LF);
        const std::string_view piece = rest.substr(0, lf);
        // Room for the longest line and the CR that may end it.
        const std::size_t room = Lirc_Line_Limit + 1 - line_.size();
        line_.append(piece.substr(0, room));
        if (piece.size() > room) overflow_ = true;
        if (lf == std::string_view::npos) return bytes.size();
        taken += lf + 1;
        const bool cr = !overflow_ && !line_.empty() && line_.back() == CR;
        const bool too_long = overflow_ || line_.size() - (cr ? 1 : 0) > Lirc_Line_Limit;
        // The line is handed on from a copy, so on_line may feed this reader.
        const std::string line = too_long ? line_.substr(0, Lirc_Line_Limit) : line_;
        line_.clear();
        overflow_ = false;
        if (!on_line(line, too_long)) break;
    }
    return taken;
}

}  // namespace qev
