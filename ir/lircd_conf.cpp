#include "ir/lircd_conf.h"

#include "base/hex_text.h"
#include "base/text_case.h"
#include "base/text_scan.h"
#include "ir/format_text.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <span>

namespace qev {
namespace {

constexpr int64_t Max_Duration_us = Lircd_Max_Duration_us;
constexpr std::size_t Max_Durations = 65'536;
constexpr uint64_t Max_Frequency_Hz = 1'000'000;
constexpr int Max_Word_Bits = 64;

enum TFlag : unsigned { Raw_Codes = 1, Space_Enc = 2, Rc5 = 4, Rc6 = 8, Const_Length = 16, No_Head_Rep = 32 };
constexpr unsigned Encodings = Space_Enc | Rc5 | Rc6;

struct TFlag_Name {
    std::string_view Name;
    unsigned Flag;
};
// The flags this reader reproduces. NO_FOOT_REP and REPEAT_HEADER change
// only the repeat frames of a held key; this program repeats whole frames, so
// they change nothing here. NO_HEAD_REP does too, but with CONST_LENGTH it
// also lengthens the first frame's final space (see Trailing_Space). Any
// other flag (RCMM, XMP, GRUNDIG, BO, SPACE_FIRST, SERIAL, REVERSE, GOLDSTAR,
// ...) refuses the remote rather than sending something the device would not
// understand.
constexpr TFlag_Name Flag_Names[] = {
    {"RAW_CODES", Raw_Codes},
    {"SPACE_ENC", Space_Enc},
    {"RC5", Rc5},
    {"SHIFT_ENC", Rc5},
    {"RC6", Rc6},
    {"CONST_LENGTH", Const_Length},
    {"NO_HEAD_REP", No_Head_Rep},
    {"NO_FOOT_REP", 0},
    {"REPEAT_HEADER", 0},
};

struct TPair {
    int64_t Mark = 0;
    int64_t Space = 0;
};

// A key of the remote in file order: a number of `begin codes`, or the
// durations of `begin raw_codes`.
struct TKey {
    std::string Name;
    int64_t Line = 0;
    std::optional<uint64_t> Code;
    std::vector<int64_t> Durations;
    std::optional<TFormat_Error> Fault;  // of a raw key, which leaves it out
};

struct TRemote {
    std::string Name;
    int64_t Line = 0;        // of `begin remote`
    int64_t Codes_Line = 0;  // of the first `begin codes`, 0 without one
    unsigned Flags = 0;
    int64_t Bits = 0, Pre_Bits = 0, Post_Bits = 0;
    uint64_t Pre_Data = 0, Post_Data = 0, Rc6_Mask = 0;
    TPair One, Zero, Header, Pre, Post, Foot;
    int64_t Plead = 0, Ptrail = 0, Gap = 0, Frequency = 0;
    int64_t Toggle_Bit = 0;  // counted from 1 at the first bit of the whole word; 0 for none
    bool Raw_Block = false;  // a `begin raw_codes` was read
    std::vector<TKey> Keys;
    std::vector<TFormat_Error> Key_Errors;
    std::optional<TFormat_Error> Fault;  // the first fault, which refuses the remote
};

using TValues = std::span<const uint64_t>;
struct TParameter {
    std::string_view Name;
    std::size_t Min_Values, Max_Values;
    uint64_t Limit;
    void (*Store)(TRemote&, TValues);
};
constexpr TPair Pair(TValues v) { return {static_cast<int64_t>(v[0]), static_cast<int64_t>(v[1])}; }
constexpr int64_t First(TValues v) { return static_cast<int64_t>(v[0]); }

// The parameters that shape a press, besides `name` and `flags`.
constexpr TParameter Parameters[] = {
    {"bits", 1, 1, Max_Word_Bits, [](TRemote& r, TValues v) { r.Bits = First(v); }},
    {"pre_data_bits", 1, 1, Max_Word_Bits, [](TRemote& r, TValues v) { r.Pre_Bits = First(v); }},
    {"post_data_bits", 1, 1, Max_Word_Bits, [](TRemote& r, TValues v) { r.Post_Bits = First(v); }},
    {"pre_data", 1, 1, UINT64_MAX, [](TRemote& r, TValues v) { r.Pre_Data = v[0]; }},
    {"post_data", 1, 1, UINT64_MAX, [](TRemote& r, TValues v) { r.Post_Data = v[0]; }},
    {"rc6_mask", 1, 1, UINT64_MAX, [](TRemote& r, TValues v) { r.Rc6_Mask = v[0]; }},
    {"header", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Header = Pair(v); }},
    {"one", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.One = Pair(v); }},
    {"zero", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Zero = Pair(v); }},
    {"pre", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Pre = Pair(v); }},
    {"post", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Post = Pair(v); }},
    {"foot", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Foot = Pair(v); }},
    {"plead", 1, 1, Max_Duration_us, [](TRemote& r, TValues v) { r.Plead = First(v); }},
    {"ptrail", 1, 1, Max_Duration_us, [](TRemote& r, TValues v) { r.Ptrail = First(v); }},
    // A second gap is the one LIRC waits after a repeat frame.
    {"gap", 1, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Gap = First(v); }},
    {"frequency", 1, 1, Max_Frequency_Hz, [](TRemote& r, TValues v) { r.Frequency = First(v); }},
    // repeat_bit is the older name of toggle_bit. Only the RC6 frame uses it
    // here, as the bit that lasts twice as long when rc6_mask is not given.
    {"toggle_bit", 1, 1, Max_Word_Bits, [](TRemote& r, TValues v) { r.Toggle_Bit = First(v); }},
    {"repeat_bit", 1, 1, Max_Word_Bits, [](TRemote& r, TValues v) { r.Toggle_Bit = First(v); }},
};

// Parameters accepted with their values unread, as they do not change the
// waveform of one press: receive tolerances (eps, aeps); the repeat frames of
// a held key, as this program repeats whole frames; toggle masks, as a code is
// sent as written; settings of LIRC's decoder and drivers; and the timings of
// encodings this reader refuses (two, three).
constexpr std::string_view Ignored_Parameters =
    "eps aeps repeat repeat_gap min_repeat suppress_repeat min_code_repeat repeat_mask toggle_bit_mask "
    "toggle_mask ignore_mask duty_cycle manual_sort driver serial_mode baud two three";

// The words of a line, without its comment; CR counts as a blank.
std::vector<std::string_view> Line_Words(std::string_view line) { return Words_Of(line.substr(0, line.find('#'))); }

bool Fits(uint64_t value, int64_t bits) { return bits >= Max_Word_Bits || (value >> bits) == 0; }

// Durations being put together: neighbours of one kind merge, empty parts
// vanish, and a space before the first mark is idle time, not signal.
class TWaveform {
public:
    void Add(bool mark, int64_t us) {
        if (us <= 0 || (Values.empty() && !mark)) return;
        if (!Values.empty() && Ends_With_Mark() == mark) {
            Values.back() += us;
        } else {
            Values.push_back(us);
        }
    }
    void Add(TPair pair) {
        Add(true, pair.Mark);
        Add(false, pair.Space);
    }
    bool Ends_With_Mark() const { return Values.size() % 2 == 1; }
    std::vector<int64_t> Values;
};

// Sends `count` bits of `data`, most significant first; `position` is the
// place of the first of them in the whole word, counted from its last bit.
void Add_Bits(const TRemote& remote, TWaveform& out, uint64_t data, int64_t count, int64_t position) {
    for (int64_t i = count - 1; i >= 0; --i, --position) {
        const bool one = (data >> i) & 1;
        TPair bit = one ? remote.One : remote.Zero;
        if (remote.Flags & Space_Enc) {
            out.Add(bit);
            continue;
        }
        // Bi-phase, RC5 and RC6 alike: a 1 is space then mark, a 0 mark then
        // space, as LIRC sends them. (RC6's own sense is the other way round,
        // which is why LIRC's RC6 files hold the bits inverted.) The bits of
        // rc6_mask last twice as long.
        if ((remote.Rc6_Mask >> position) & 1) bit = {2 * bit.Mark, 2 * bit.Space};
        if (one) {
            out.Add(false, bit.Space);
            out.Add(true, bit.Mark);
        } else {
            out.Add(bit);
        }
    }
}

// The final space: the gap, or with CONST_LENGTH what the gap leaves of the
// frame so far. With NO_HEAD_REP as well, LIRC takes the header's length out
// of the frame it counts (the frames that repeat a held key come without it),
// so a key of codes waits that much longer after its frame; a raw key does not.
int64_t Trailing_Space(const TRemote& remote, const std::vector<int64_t>& durations, bool encoded) {
    if (remote.Gap <= 0) return 0;
    if (!(remote.Flags & Const_Length)) return remote.Gap;
    int64_t sum = 0;
    for (int64_t d : durations) sum += d;
    if (encoded && (remote.Flags & No_Head_Rep)) sum -= remote.Header.Mark + remote.Header.Space;
    return std::max(remote.Gap - sum, Min_Frame_End_us);
}

std::vector<int64_t> Encode(const TRemote& remote, uint64_t code) {
    TWaveform out;
    if (remote.Header.Mark > 0 && remote.Header.Space > 0) out.Add(remote.Header);
    out.Add(true, remote.Plead);
    const int64_t total = remote.Pre_Bits + remote.Bits + remote.Post_Bits;
    Add_Bits(remote, out, remote.Pre_Data, remote.Pre_Bits, total - 1);
    if (remote.Pre_Bits > 0) out.Add(remote.Pre);
    Add_Bits(remote, out, code, remote.Bits, remote.Bits + remote.Post_Bits - 1);
    if (remote.Post_Bits > 0) out.Add(remote.Post);
    Add_Bits(remote, out, remote.Post_Data, remote.Post_Bits, remote.Post_Bits - 1);
    out.Add(true, remote.Ptrail);
    out.Add(remote.Foot);
    // The gap takes the place of a space the frame ends with.
    if (!out.Ends_With_Mark() && !out.Values.empty()) out.Values.pop_back();
    return std::move(out.Values);
}

class TReader {
public:
    TIR_File Read(std::string_view text);

private:
    enum class TSection { Outside, Remote, Codes, Raw_Codes };
    void Take_Line(int64_t line, const std::vector<std::string_view>& words);
    void Parameter(int64_t line, const std::vector<std::string_view>& words);
    void Flags(int64_t line, const std::vector<std::string_view>& words);
    void Code_Line(int64_t line, const std::vector<std::string_view>& words);
    void Raw_Line(int64_t line, const std::vector<std::string_view>& words);
    void Close_Raw_Key();
    void Refuse(int64_t line, std::string message) {
        if (!Remote.Fault) Remote.Fault = TFormat_Error{line, std::move(message)};
    }
    void Key_Error(int64_t line, std::string message) { Remote.Key_Errors.push_back({line, std::move(message)}); }
    void Unclosed();
    std::optional<std::string> Remote_Problem() const;
    void Finish_Remote();

    TIR_File File;
    TSection Section = TSection::Outside;
    int64_t Section_Line = 0;
    bool Saw_Remote = false;
    TRemote Remote;
    std::optional<TKey> Raw_Key;  // the raw key whose durations are being read
};

TIR_File TReader::Read(std::string_view text) {
    int64_t line = 0;
    int64_t first_content = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> words = Line_Words(text.substr(start, end - start));
        ++line;
        if (!words.empty() && first_content == 0) first_content = line;
        Take_Line(line, words);
        start = end + 1;
    }
    if (Section != TSection::Outside) {
        Unclosed();
        Finish_Remote();
    }
    if (!Saw_Remote) File.Errors = {{std::max<int64_t>(first_content, 1), "no 'begin remote': not a lircd.conf file"}};
    return std::move(File);
}

void TReader::Take_Line(int64_t line, const std::vector<std::string_view>& words) {
    if (words.empty()) return;
    // `begin X` and `end X` with X a block's name; a key may well be called "end".
    std::optional<TSection> block;
    if (words.size() == 2 && (Same_Ignoring_Case(words[0], "begin") || Same_Ignoring_Case(words[0], "end"))) {
        if (Same_Ignoring_Case(words[1], "remote")) block = TSection::Remote;
        if (Same_Ignoring_Case(words[1], "codes")) block = TSection::Codes;
        if (Same_Ignoring_Case(words[1], "raw_codes")) block = TSection::Raw_Codes;
    }
    const bool begin = block && Same_Ignoring_Case(words[0], "begin");
    if (begin && block == TSection::Remote) {
        if (Section != TSection::Outside) {  // the remote before never ended
            Unclosed();
            Finish_Remote();
        }
        Remote = TRemote{};
        Remote.Line = line;
        Section = TSection::Remote;
        Saw_Remote = true;
    } else if (Section == TSection::Outside) {
        // Like LIRC, skip text of several words between remotes (notes, the
        // rest of a mail); a lone word, a block outside a remote or an
        // `include` (another file) is a fault.
        const bool keyword = Same_Ignoring_Case(words[0], "begin") || Same_Ignoring_Case(words[0], "end") ||
                             Same_Ignoring_Case(words[0], "include");
        if (words.size() == 1 || keyword) File.Errors.push_back({line, Quoted(words[0]) + " outside a remote"});
    } else if (block == TSection::Remote) {  // end remote
        if (Section != TSection::Remote) Unclosed();
        Finish_Remote();
    } else if (block && !begin && block == Section) {
        Close_Raw_Key();
        Section = TSection::Remote;
    } else if (begin && Section == TSection::Remote) {
        Section = *block;
        Section_Line = line;
        if (Section == TSection::Codes && Remote.Codes_Line == 0) Remote.Codes_Line = line;
        if (Section == TSection::Raw_Codes) Remote.Raw_Block = true;
    } else if (block) {
        Refuse(line, "unexpected " + Quoted(std::string(words[0]) + " " + std::string(words[1])));
    } else if (Section == TSection::Codes) {
        Code_Line(line, words);
    } else if (Section == TSection::Raw_Codes) {
        Raw_Line(line, words);
    } else {
        Parameter(line, words);
    }
}

void TReader::Parameter(int64_t line, const std::vector<std::string_view>& words) {
    const std::string_view name = words[0];
    if (Same_Ignoring_Case(name, "name")) {
        if (words.size() != 2) return Refuse(line, "'name' takes one word");
        Remote.Name = words[1];
        return;
    }
    if (Same_Ignoring_Case(name, "flags")) return Flags(line, words);
    const auto row = std::find_if(std::begin(Parameters), std::end(Parameters),
                                  [&](const TParameter& p) { return Same_Ignoring_Case(p.Name, name); });
    if (row == std::end(Parameters)) {
        const std::vector<std::string_view> ignored = Words_Of(Ignored_Parameters);
        if (std::none_of(ignored.begin(), ignored.end(),
                         [&](std::string_view p) { return Same_Ignoring_Case(p, name); })) {
            Refuse(line, "unknown parameter " + Quoted(name));
        }
        return;
    }
    const std::size_t count = words.size() - 1;
    if (count < row->Min_Values || count > row->Max_Values) {
        const std::string wanted = std::to_string(row->Min_Values) +
                                   (row->Max_Values > row->Min_Values ? " or " + std::to_string(row->Max_Values) : "");
        return Refuse(line, Quoted(row->Name) + " takes " + wanted + (row->Max_Values > 1 ? " numbers" : " number"));
    }
    uint64_t values[2] = {};
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<uint64_t> value = Scan_Unsigned(words[i + 1]);
        if (!value) return Refuse(line, "bad number " + Quoted(words[i + 1]) + " for " + Quoted(row->Name));
        if (*value > row->Limit) {
            return Refuse(
                line, Quoted(row->Name) + " " + std::string(words[i + 1]) + " is beyond " + std::to_string(row->Limit));
        }
        values[i] = *value;
    }
    row->Store(Remote, TValues(values, count));
}

void TReader::Flags(int64_t line, const std::vector<std::string_view>& words) {
    std::string joined;  // "SPACE_ENC|CONST_LENGTH", also written with blanks around '|'
    for (std::size_t i = 1; i < words.size(); ++i) joined += words[i];
    if (joined.empty()) return Refuse(line, "'flags' without a flag");
    for (std::size_t start = 0; start <= joined.size();) {
        const std::size_t bar = std::min(joined.find('|', start), joined.size());
        const std::string_view flag = std::string_view(joined).substr(start, bar - start);
        const auto known = std::find_if(std::begin(Flag_Names), std::end(Flag_Names),
                                        [&](const TFlag_Name& f) { return Same_Ignoring_Case(f.Name, flag); });
        if (known == std::end(Flag_Names)) return Refuse(line, "flag " + Quoted(flag) + " is not supported");
        Remote.Flags |= known->Flag;
        start = bar + 1;
    }
}

// `KEY 0xCODE [0xCODE ...]`. Only the first code is read: LIRC sends further
// ones as more frames of the same press, and a record holds one frame.
void TReader::Code_Line(int64_t line, const std::vector<std::string_view>& words) {
    if (words.size() < 2) return Key_Error(line, "key " + Quoted(words[0]) + " has no code");
    const std::optional<uint64_t> code = Scan_Unsigned(words[1]);
    if (!code) return Key_Error(line, "bad code " + Quoted(words[1]) + " for key " + Quoted(words[0]));
    Remote.Keys.push_back({std::string(words[0]), line, code, {}, std::nullopt});
}

// `name KEY`, then the key's durations over any number of lines.
void TReader::Raw_Line(int64_t line, const std::vector<std::string_view>& words) {
    if (Same_Ignoring_Case(words[0], "name")) {
        Close_Raw_Key();
        Raw_Key = TKey{words.size() > 1 ? std::string(words[1]) : "", line, std::nullopt, {}, std::nullopt};
        if (words.size() != 2) Raw_Key->Fault = TFormat_Error{line, "'name' takes one key name"};
        return;
    }
    if (!Raw_Key) return Refuse(line, "durations before the first 'name'");
    for (std::string_view word : words) {
        if (Raw_Key->Fault) return;
        const std::optional<uint64_t> value = Scan_Unsigned(word);
        const std::string key = " for key " + Quoted(Raw_Key->Name);
        if (!value) {
            Raw_Key->Fault = TFormat_Error{line, "bad duration " + Quoted(word) + key};
        } else if (*value == 0 || *value > static_cast<uint64_t>(Max_Duration_us)) {
            Raw_Key->Fault = TFormat_Error{line, "duration " + std::string(word) + key + " is outside 1..10000000"};
        } else if (Raw_Key->Durations.size() == Max_Durations) {
            Raw_Key->Fault = TFormat_Error{Raw_Key->Line, "more than 65536 durations" + key};
        } else {
            Raw_Key->Durations.push_back(static_cast<int64_t>(*value));
        }
    }
}

void TReader::Close_Raw_Key() {
    if (!Raw_Key) return;
    if (Raw_Key->Fault) {
        Key_Error(Raw_Key->Fault->Line, Raw_Key->Fault->Message);
    } else if (Raw_Key->Durations.empty()) {
        Key_Error(Raw_Key->Line, "key " + Quoted(Raw_Key->Name) + " has no durations");
    } else {
        Remote.Keys.push_back(std::move(*Raw_Key));
    }
    Raw_Key.reset();
}

void TReader::Unclosed() {
    if (Section == TSection::Codes) Refuse(Section_Line, "'begin codes' without 'end codes'");
    if (Section == TSection::Raw_Codes) Refuse(Section_Line, "'begin raw_codes' without 'end raw_codes'");
    Refuse(Remote.Line, "'begin remote' without 'end remote'");
}

std::optional<std::string> TReader::Remote_Problem() const {
    const unsigned encoding = Remote.Flags & Encodings;
    if (std::popcount(encoding) > 1) return "flags name more than one encoding";
    if (encoding == 0) return std::nullopt;
    if (Remote.Bits == 0) return "no 'bits'";
    // Files written for receivers that hand over a number instead of
    // durations (USB receivers, TV cards) give the bits no length.
    constexpr TPair none{};
    if (Remote.One.Mark == none.Mark && Remote.One.Space == none.Space && Remote.Zero.Mark == none.Mark &&
        Remote.Zero.Space == none.Space) {
        return "no timings ('one' and 'zero' are 0 or missing): its codes are a receiver driver's, which LIRC "
               "cannot send either";
    }
    const int64_t total = Remote.Pre_Bits + Remote.Bits + Remote.Post_Bits;
    if (total > Max_Word_Bits) return std::to_string(total) + " bits with pre_data and post_data, more than 64";
    if (!Fits(Remote.Pre_Data, Remote.Pre_Bits))
        return "pre_data " + Hex_Number(Remote.Pre_Data) + " is wider than pre_data_bits";
    if (!Fits(Remote.Post_Data, Remote.Post_Bits))
        return "post_data " + Hex_Number(Remote.Post_Data) + " is wider than post_data_bits";
    return std::nullopt;
}

void TReader::Finish_Remote() {
    Close_Raw_Key();
    Section = TSection::Outside;
    const std::string remote = Remote.Name.empty() ? "" : "remote " + Quoted(Remote.Name) + ": ";
    // Without an encoding in 'flags' LIRC sends a remote as SPACE_ENC, or as
    // RAW_CODES when it lists raw codes.
    if (!(Remote.Flags & (Encodings | Raw_Codes))) Remote.Flags |= Remote.Raw_Block ? Raw_Codes : Space_Enc;
    // An RC6 remote without rc6_mask doubles its toggle bit, as older files
    // expect.
    const int64_t total = Remote.Pre_Bits + Remote.Bits + Remote.Post_Bits;
    if ((Remote.Flags & Rc6) && Remote.Rc6_Mask == 0 && Remote.Toggle_Bit > 0 && Remote.Toggle_Bit <= total) {
        Remote.Rc6_Mask = uint64_t{1} << (total - Remote.Toggle_Bit);
    }
    if (const std::optional<std::string> problem = Remote.Fault ? std::nullopt : Remote_Problem()) {
        Refuse(Remote.Line, *problem);
    }
    if (Remote.Codes_Line > 0 && !(Remote.Flags & Encodings)) {
        Refuse(Remote.Codes_Line, "'begin codes' in a remote without an encoding in 'flags'");
    }
    if (Remote.Fault) {
        File.Errors.push_back({Remote.Fault->Line, remote + Remote.Fault->Message});
        return;
    }
    const int32_t carrier = Remote.Frequency > 0 ? static_cast<int32_t>(Remote.Frequency) : Default_Carrier_Hz;
    for (TKey& key : Remote.Keys) {
        if (key.Code) {
            if (!Fits(*key.Code, Remote.Bits)) {
                Key_Error(key.Line, "code " + Hex_Number(*key.Code) + " of key " + Quoted(key.Name) +
                                        " is wider than " + std::to_string(Remote.Bits) + " bits");
                continue;
            }
            key.Durations = Encode(Remote, *key.Code);
            if (key.Durations.empty()) {
                Key_Error(key.Line, "key " + Quoted(key.Name) + " has no mark");
                continue;
            }
        }
        // A raw key that ends with a space keeps it as written.
        if (key.Durations.size() % 2 == 1) {
            const int64_t space = Trailing_Space(Remote, key.Durations, key.Code.has_value());
            if (space > 0) key.Durations.push_back(space);
        }
        TIR_Record record{key.Name, std::nullopt, {{}, carrier}};
        // A merged duration holds at most one half of each of 64 bits (20 s
        // when doubled) and a few parts of 10 s: far within 32 bits.
        for (int64_t d : key.Durations) record.Timing.Durations_us.push_back(static_cast<int32_t>(d));
        File.Records.push_back(std::move(record));
    }
    std::stable_sort(Remote.Key_Errors.begin(), Remote.Key_Errors.end(),
                     [](const TFormat_Error& a, const TFormat_Error& b) { return a.Line < b.Line; });
    for (TFormat_Error& error : Remote.Key_Errors) File.Errors.push_back({error.Line, remote + error.Message});
}

}  // namespace

TIR_File Read_Lircd_Conf(std::string_view text) { return TReader().Read(text); }

}  // namespace qev
