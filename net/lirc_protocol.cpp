#include "net/lirc_protocol.h"

#include <algorithm>

namespace qev {

namespace {

constexpr char LF = 0x0A;
constexpr char CR = 0x0D;

// lircd separates the words of a request by blanks and tabs only.
bool Is_Separator(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string_view> Words_Of(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && Is_Separator(line[at])) ++at;
        const std::size_t begin = at;
        while (at < line.size() && !Is_Separator(line[at])) ++at;
        if (at > begin) words.push_back(line.substr(begin, at - begin));
    }
    return words;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool Same_Ignoring_Case(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Error(std::string_view request, std::string message) {
    return Lirc_Reply(request, false, {std::move(message)});
}

// A count of whole decimal digits (an optional '+' first, as strtol takes
// it), or nothing. Values beyond int32_t come out as INT32_MAX: too many.
std::optional<int32_t> Count_Of(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
    }
    return static_cast<int32_t>(value);
}

}  // namespace

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

std::string Lirc_Code_Line(std::string_view name) { return "0000000000000000 " + std::string(name); }

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

std::string TLirc_Protocol::Handle(std::string_view line, TLirc_Clock::time_point now) {
    const std::vector<std::string_view> words = Words_Of(line);
    if (words.empty()) return Error(line, "bad send packet");
    const std::string_view directive = words.front();
    if (Same_Ignoring_Case(directive, "LIST")) return List(line, words);
    if (Same_Ignoring_Case(directive, "SEND_ONCE")) return Send_Once(line, words);
    if (Same_Ignoring_Case(directive, "SEND_START")) return Send_Start(line, words, now);
    if (Same_Ignoring_Case(directive, "SEND_STOP")) return Send_Stop(line, words);
    if (Same_Ignoring_Case(directive, "VERSION")) {
        if (words.size() > 1) return Error(line, "too many arguments: " + Quoted(words[1]));
        return Lirc_Reply(line, true, {program_.Version()});
    }
    return Error(line, "unknown directive: " + Quoted(directive));
}

std::string TLirc_Protocol::Too_Long_Reply(std::string_view start) {
    return Error(start, "line too long: more than " + std::to_string(Lirc_Line_Limit) + " bytes");
}

// words[1] the remote, words[2] the key, when given.
TLirc_Protocol::TTarget TLirc_Protocol::Resolve(std::string_view request,
                                                const std::vector<std::string_view>& words) const {
    TTarget target;
    if (words.size() < 2) return target;
    if (!Same_Ignoring_Case(words[1], program_.Remote_Name())) {
        target.Error = Error(request, "unknown remote: " + Quoted(words[1]));
        return target;
    }
    target.Has_Remote = true;
    if (words.size() < 3) return target;
    const std::vector<std::string> names = program_.Command_Names();
    auto found = std::find(names.begin(), names.end(), words[2]);
    if (found == names.end())
        found = std::find_if(names.begin(), names.end(),
                             [&](const std::string& name) { return Same_Ignoring_Case(name, words[2]); });
    if (found == names.end())
        target.Error = Error(request, "unknown command: " + Quoted(words[2]));
    else
        target.Key = *found;
    return target;
}

std::string TLirc_Protocol::List(std::string_view request, const std::vector<std::string_view>& words) const {
    const TTarget target = Resolve(request, words);
    if (target.Error) return *target.Error;
    if (words.size() > 3) return Error(request, "too many arguments: " + Quoted(words[3]));
    if (!target.Has_Remote) return Lirc_Reply(request, true, {program_.Remote_Name()});
    if (!target.Key.empty()) return Lirc_Reply(request, true, {Lirc_Code_Line(target.Key)});
    std::vector<std::string> lines;
    for (const std::string& name : program_.Command_Names()) lines.push_back(Lirc_Code_Line(name));
    return Lirc_Reply(request, true, lines);
}

// A key sent as a click sends it, and never less than once.
int32_t TLirc_Protocol::First_Send_Times() const { return std::max(program_.Repeat(), 1); }

std::string TLirc_Protocol::Send_Once(std::string_view request, const std::vector<std::string_view>& words) {
    const TTarget target = Resolve(request, words);
    if (target.Error) return *target.Error;
    if (!target.Has_Remote) return Error(request, "remote missing");
    if (target.Key.empty()) return Error(request, "code missing");
    int32_t times = First_Send_Times();
    if (words.size() > 3) {
        const std::optional<int32_t> count = Count_Of(words[3]);
        if (!count) return Error(request, "bad repeat count: " + Quoted(words[3]));
        if (*count > Lirc_Max_Repeats)
            return Error(request,
                         "too many repeats: " + Quoted(words[3]) + " > " + Quoted(std::to_string(Lirc_Max_Repeats)));
        times = std::max(program_.Repeat(), 1 + *count);
    }
    if (words.size() > 4) return Error(request, "too many arguments: " + Quoted(words[4]));
    if (repeat_) return Error(request, "busy: repeating");
    if (!program_.Send(target.Key, times)) return Error(request, "transmission failed");
    return Lirc_Reply(request, true);
}

std::string TLirc_Protocol::Send_Start(std::string_view request, const std::vector<std::string_view>& words,
                                       TLirc_Clock::time_point now) {
    const TTarget target = Resolve(request, words);
    if (target.Error) return *target.Error;
    if (!target.Has_Remote) return Error(request, "remote missing");
    if (target.Key.empty()) return Error(request, "code missing");
    if (words.size() > 3) return Error(request, "too many arguments: " + Quoted(words[3]));
    if (repeat_) return Error(request, "already repeating");
    if (!program_.Send(target.Key, First_Send_Times())) return Error(request, "transmission failed");
    repeat_ = TRepeat{program_.Remote_Name(), target.Key, 0, now};
    return Lirc_Reply(request, true);
}

std::string TLirc_Protocol::Send_Stop(std::string_view request, const std::vector<std::string_view>& words) {
    const TTarget target = Resolve(request, words);
    if (target.Error) return *target.Error;
    if (words.size() > 3) return Error(request, "too many arguments: " + Quoted(words[3]));
    if (!repeat_) return Error(request, "not repeating");
    // The remote is renamed when another Command file loads meanwhile.
    if (target.Has_Remote && !Same_Ignoring_Case(words[1], repeat_->Remote))
        return Error(request, "specified remote does not match");
    if (!target.Key.empty() && target.Key != repeat_->Name) return Error(request, "specified code does not match");
    repeat_.reset();
    return Lirc_Reply(request, true);
}

bool TLirc_Protocol::Repeat_Step(TLirc_Clock::time_point now) {
    if (!repeat_) return false;
    if (now - repeat_->Started >= Lirc_Max_Repeat_Time || !program_.Send(repeat_->Name, 1)) {
        repeat_.reset();
        return false;
    }
    if (++repeat_->Count >= Lirc_Max_Repetitions) {
        repeat_.reset();
        return false;
    }
    return true;
}

// ---- Lines ---------------------------------------------------------------------

void TLirc_Line_Reader::Feed(std::string_view bytes, const TOn_Line& on_line) {
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find(LF);
        const std::string_view piece = bytes.substr(0, lf);
        // Room for the longest line and the CR that may end it.
        const std::size_t room = Lirc_Line_Limit + 1 - line_.size();
        line_.append(piece.substr(0, room));
        if (piece.size() > room) overflow_ = true;
        if (lf == std::string_view::npos) return;
        bytes.remove_prefix(lf + 1);
        if (!overflow_ && !line_.empty() && line_.back() == CR) line_.pop_back();
        const bool too_long = overflow_ || line_.size() > Lirc_Line_Limit;
        // The line is handed on from a copy, so on_line may feed this reader.
        const std::string line = too_long ? line_.substr(0, Lirc_Line_Limit) : line_;
        line_.clear();
        overflow_ = false;
        on_line(line, too_long);
    }
}

}  // namespace qev
