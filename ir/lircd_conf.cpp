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
// LIRC puts the further frames of a press into the buffer of its first one
// (and so into what it writes for one press) only while the space left after
// each frame is under this; a longer wait it leaves to its repeat timer.
constexpr int64_t Concatenated_Gap_Limit_us = 10'000;

// The encodings (one at most per remote) and the flags that shape a frame.
enum TFlag : unsigned {
    Raw_Codes = 1u << 0,
    Space_Enc = 1u << 1,
    Rc5 = 1u << 2,
    Rc6 = 1u << 3,
    Rcmm = 1u << 4,
    Space_First = 1u << 5,
    Xmp = 1u << 6,
    Goldstar = 1u << 7,
    Grundig = 1u << 8,
    Bo = 1u << 9,
    Serial = 1u << 10,
    Const_Length = 1u << 11,
    No_Head_Rep = 1u << 12,
    No_Foot_Rep = 1u << 13,
    Repeat_Header = 1u << 14,
    Reverse = 1u << 15,
};
constexpr unsigned Encodings =
    Raw_Codes | Space_Enc | Rc5 | Rc6 | Rcmm | Space_First | Xmp | Goldstar | Grundig | Bo | Serial;
// Encodings LIRC reads but refuses to send ("can't send this protocol yet").
constexpr unsigned Unsendable = Goldstar | Grundig | Bo | Serial;

struct TFlag_Name {
    std::string_view Name;
    unsigned Flag;
};
// Every flag LIRC knows.
constexpr TFlag_Name Flag_Names[] = {
    {"RAW_CODES", Raw_Codes},
    {"SPACE_ENC", Space_Enc},
    {"RC5", Rc5},
    {"SHIFT_ENC", Rc5},
    {"RC6", Rc6},
    {"RCMM", Rcmm},
    {"SPACE_FIRST", Space_First},
    {"XMP", Xmp},
    {"GOLDSTAR", Goldstar},
    {"GRUNDIG", Grundig},
    {"BO", Bo},
    {"SERIAL", Serial},
    {"CONST_LENGTH", Const_Length},
    {"NO_HEAD_REP", No_Head_Rep},
    {"NO_FOOT_REP", No_Foot_Rep},
    {"REPEAT_HEADER", Repeat_Header},
    {"REVERSE", Reverse},
};

std::string_view Flag_Name(unsigned flag) {
    for (const TFlag_Name& f : Flag_Names) {
        if (f.Flag == flag) return f.Name;
    }
    return "?";
}

struct TPair {
    int64_t Mark = 0;
    int64_t Space = 0;
    bool Both() const { return Mark > 0 && Space > 0; }
};

// A key of the remote in file order: the numbers of `begin codes` (LIRC
// sends each further one as a frame of the same press), or the durations of
// `begin raw_codes`.
struct TKey {
    std::string Name;
    int64_t Line = 0;
    std::vector<uint64_t> Codes;
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
    uint64_t Toggle_Bit_Mask = 0, Toggle_Mask = 0, Repeat_Mask = 0;
    TPair One, Zero, Two, Three, Header, Pre, Post, Foot, Repeat;
    int64_t Plead = 0, Ptrail = 0, Gap = 0, Gap2 = 0, Repeat_Gap = 0, Frequency = 0;
    int64_t Toggle_Bit = 0;  // counted from 1 at the first bit of the whole word; 0 for none
    // The toggle bits of the first press (LIRC's toggle_bit_mask_state).
    uint64_t Toggle_State = 0;
    bool Raw_Block = false;  // a `begin raw_codes` was read
    std::vector<TKey> Keys;
    std::vector<TFormat_Error> Key_Errors;
    std::optional<TFormat_Error> Fault;  // the first fault, which refuses the remote

    int64_t Word_Bits() const { return Pre_Bits + Bits + Post_Bits; }
    bool Bi_Phase() const { return (Flags & (Rc5 | Rc6)) || Rc6_Mask != 0; }
    // The space after a frame: the smaller of two gaps, as LIRC waits.
    int64_t Min_Gap() const { return Gap2 != 0 && Gap2 < Gap ? Gap2 : Gap; }
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
    {"two", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Two = Pair(v); }},
    {"three", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Three = Pair(v); }},
    {"pre", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Pre = Pair(v); }},
    {"post", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Post = Pair(v); }},
    {"foot", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Foot = Pair(v); }},
    {"repeat", 2, 2, Max_Duration_us, [](TRemote& r, TValues v) { r.Repeat = Pair(v); }},
    {"plead", 1, 1, Max_Duration_us, [](TRemote& r, TValues v) { r.Plead = First(v); }},
    {"ptrail", 1, 1, Max_Duration_us, [](TRemote& r, TValues v) { r.Ptrail = First(v); }},
    // A second gap: LIRC waits the smaller of the two after a frame.
    {"gap", 1, 2, Max_Duration_us,
     [](TRemote& r, TValues v) {
         r.Gap = First(v);
         r.Gap2 = v.size() > 1 ? static_cast<int64_t>(v[1]) : 0;
     }},
    {"repeat_gap", 1, 1, Max_Duration_us, [](TRemote& r, TValues v) { r.Repeat_Gap = First(v); }},
    {"frequency", 1, 1, Max_Frequency_Hz, [](TRemote& r, TValues v) { r.Frequency = First(v); }},
    // repeat_bit is the older name of toggle_bit.
    {"toggle_bit", 1, 1, Max_Word_Bits, [](TRemote& r, TValues v) { r.Toggle_Bit = First(v); }},
    {"repeat_bit", 1, 1, Max_Word_Bits, [](TRemote& r, TValues v) { r.Toggle_Bit = First(v); }},
    {"toggle_bit_mask", 1, 1, UINT64_MAX, [](TRemote& r, TValues v) { r.Toggle_Bit_Mask = v[0]; }},
    {"toggle_mask", 1, 1, UINT64_MAX, [](TRemote& r, TValues v) { r.Toggle_Mask = v[0]; }},
    {"repeat_mask", 1, 1, UINT64_MAX, [](TRemote& r, TValues v) { r.Repeat_Mask = v[0]; }},
};

// Parameters accepted with their values unread, as they do not change what
// one press sends: receive tolerances (eps, aeps, ignore_mask); min_repeat,
// as LIRC writes one press without those extra frames (irsimsend sets it to
// 0) and this program repeats a press by its own count; settings of LIRC's
// decoder and drivers; and the settings of the serial encoding, which LIRC
// does not send.
constexpr std::string_view Ignored_Parameters =
    "eps aeps min_repeat suppress_repeat min_code_repeat ignore_mask duty_cycle manual_sort driver serial_mode baud";

// The words of a line, without its comment; CR counts as a blank.
// (Into `words`, whose room is kept from line to line.)
void Line_Words(std::string_view line, std::vector<std::string_view>& words) {
    line = line.substr(0, line.find('#'));
    words.clear();
    std::size_t pos = 0;
    for (std::string_view word = Next_Word(line, pos); !word.empty(); word = Next_Word(line, pos))
        words.push_back(word);
}

bool Fits(uint64_t value, int64_t bits) { return bits >= Max_Word_Bits || (value >> bits) == 0; }

// The bits of a word reversed end for end (REVERSE sends the least
// significant bit first).
uint64_t Reversed(uint64_t value, int64_t bits) {
    uint64_t out = 0;
    for (int64_t i = 0; i < bits; ++i) out |= ((value >> i) & 1) << (bits - 1 - i);
    return out;
}

// Durations being put together: neighbours of one kind merge, empty parts
// vanish, and a space before the first mark is idle time, not signal.
class TWaveform {
public:
    void Add(bool mark, int64_t us) {
        if (us <= 0 || (Values.empty() && !mark)) return;
        Total += us;
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
    int64_t Trailing_Space() const { return Values.empty() || Ends_With_Mark() ? 0 : Values.back(); }
    std::vector<int64_t> Values;
    int64_t Total = 0;  // of all durations added
};

// One press of a key of codes as LIRC's transmitter builds it: the frames
// go into one waveform, each ending with the space LIRC waits after it.
class TPress {
public:
    explicit TPress(const TRemote& remote) : Remote(remote) {}

    // The frames of `codes`, or why LIRC does not send them.
    std::optional<std::string> Encode(const std::vector<uint64_t>& codes);
    std::vector<int64_t> Durations() { return std::move(Out.Values); }

private:
    void Frame(uint64_t code, bool repeat);
    void Data(uint64_t data, int64_t count, int64_t done);
    void Bit(bool one, uint64_t position);
    void Symbol(TPair pair) { Out.Add(pair); }

    const TRemote& Remote;
    TWaveform Out;
    int Toggle_Mask_State = 0;  // frames sent in this press, as LIRC counts them
};

// Sends `count` bits of `data`, most significant first; `done` is the number
// of bits of the whole word before them.
void TPress::Data(uint64_t data, int64_t count, int64_t done) {
    if (Remote.Flags & Rcmm) {
        // Two bits a symbol: 0 to 3 send zero, one, two, three.
        const TPair symbols[] = {Remote.Zero, Remote.One, Remote.Two, Remote.Three};
        for (int64_t i = count - 2; i >= 0; i -= 2) Symbol(symbols[(data >> i) & 3]);
        return;
    }
    if (Remote.Flags & Xmp) {
        // Four bits a symbol: the zero mark, then the zero space lengthened
        // by the nibble's value times the one space.
        for (int64_t i = count - 4; i >= 0; i -= 4) {
            const int64_t nibble = static_cast<int64_t>((data >> i) & 0xF);
            Out.Add(true, Remote.Zero.Mark);
            Out.Add(false, Remote.Zero.Space + nibble * Remote.One.Space);
        }
        return;
    }
    const int64_t word = Remote.Word_Bits();
    const bool single_toggle_bit = std::popcount(Remote.Toggle_Bit_Mask) == 1;
    for (int64_t i = count - 1; i >= 0; --i) {
        const uint64_t position = uint64_t{1} << (word - 1 - done - (count - 1 - i));
        bool one = (data >> i) & 1;
        // The toggle bits as this press sends them. A mask of one bit sets
        // it from the press's state; a wider mask flips the bits whose state
        // is set.
        if (Remote.Toggle_Bit_Mask & position) {
            const bool state = Remote.Toggle_State & position;
            one = single_toggle_bit ? state : one != state;
        }
        // toggle_mask flips its bits in every other frame of a press, from
        // the second on.
        if ((Remote.Toggle_Mask & position) && Toggle_Mask_State % 2 == 1) one = !one;
        Bit(one, position);
    }
}

// One bit as LIRC sends it. In bi-phase (RC5, RC6, and any remote with an
// rc6_mask) a 1 is space then mark, a 0 mark then space; the bits of rc6_mask
// last twice as long. (RC6's own sense is the other way round, which is why
// LIRC's RC6 files hold the bits inverted.)
void TPress::Bit(bool one, uint64_t position) {
    const bool doubled = Remote.Rc6_Mask & position;
    const bool space_first = Remote.Flags & Space_First;
    if (one) {
        const TPair bit = Remote.Bi_Phase() && doubled ? TPair{2 * Remote.One.Mark, 2 * Remote.One.Space} : Remote.One;
        if (Remote.Bi_Phase() || space_first) {
            Out.Add(false, bit.Space);
            Out.Add(true, bit.Mark);
        } else {
            Out.Add(bit);
        }
    } else if (doubled) {
        Out.Add({2 * Remote.Zero.Mark, 2 * Remote.Zero.Space});
    } else if (space_first) {
        Out.Add(false, Remote.Zero.Space);
        Out.Add(true, Remote.Zero.Mark);
    } else {
        Out.Add(Remote.Zero);
    }
}

// A frame: the code's, or from the second frame of a press on, the remote's
// repeat frame when it has one. Repeat frames leave out the header with
// NO_HEAD_REP and the foot with NO_FOOT_REP, and flip repeat_mask's bits.
void TPress::Frame(uint64_t code, bool repeat) {
    if (repeat && Remote.Repeat.Both()) {
        if ((Remote.Flags & Repeat_Header) && Remote.Header.Both()) Out.Add(Remote.Header);
        Out.Add(true, Remote.Plead);
        Out.Add(Remote.Repeat);
        Out.Add(true, Remote.Ptrail);
        return;
    }
    if (repeat) code ^= Remote.Repeat_Mask;
    if ((!repeat || !(Remote.Flags & No_Head_Rep)) && Remote.Header.Both()) Out.Add(Remote.Header);
    Out.Add(true, Remote.Plead);
    if (Remote.Pre_Bits > 0) {
        Data(Remote.Pre_Data, Remote.Pre_Bits, 0);
        if (Remote.Pre.Both()) Out.Add(Remote.Pre);
    }
    Data(code, Remote.Bits, Remote.Pre_Bits);
    if (Remote.Post_Bits > 0) {
        if (Remote.Post.Both()) Out.Add(Remote.Post);
        Data(Remote.Post_Data, Remote.Post_Bits, Remote.Pre_Bits + Remote.Bits);
    }
    Out.Add(true, Remote.Ptrail);
    // The foot is a space, then a mark.
    if ((!repeat || !(Remote.Flags & No_Foot_Rep)) && Remote.Foot.Both()) {
        Out.Add(false, Remote.Foot.Space);
        Out.Add(true, Remote.Foot.Mark);
    }
}

std::optional<std::string> TPress::Encode(const std::vector<uint64_t>& codes) {
    // Room for a frame's durations at two a bit, and its header, lead,
    // trail, foot and gap, so that they are not copied as they grow.
    Out.Values.reserve(codes.size() * static_cast<std::size_t>(2 * std::max<int64_t>(Remote.Word_Bits(), 0) + 12));
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const bool repeat = k > 0;
        const int64_t before = Out.Total;
        Frame(codes[k], repeat);
        if (Out.Values.empty()) return "has no mark";
        ++Toggle_Mask_State;
        if (Toggle_Mask_State == 4) Toggle_Mask_State = 2;
        // The frame's length leaves out the space it ends with; with
        // CONST_LENGTH and NO_HEAD_REP LIRC also takes the header out of the
        // first frame's length (the frames that repeat a held key come
        // without it), so that frame waits that much longer.
        int64_t length = Out.Total - before - Out.Trailing_Space();
        if (!repeat && (Remote.Flags & Const_Length) && (Remote.Flags & No_Head_Rep)) {
            length -= Remote.Header.Mark + Remote.Header.Space;
        }
        int64_t wait = Remote.Min_Gap();
        if (repeat && Remote.Repeat.Both() && Remote.Repeat_Gap > 0) {
            wait = Remote.Repeat_Gap;
        } else if (Remote.Flags & Const_Length) {
            if (Remote.Min_Gap() <= length) {
                return "lasts " + std::to_string(length) + " us, not shorter than the CONST_LENGTH gap of " +
                       std::to_string(Remote.Min_Gap()) + " us, so LIRC does not send it either";
            }
            wait = Remote.Min_Gap() - length;
        }
        if (k + 1 < codes.size() && wait < Concatenated_Gap_Limit_us) {
            // The next frame follows after the frame's own last space and
            // the wait.
            Out.Add(false, wait);
            continue;
        }
        // The wait takes the place of a space the frame ends with.
        if (!Out.Ends_With_Mark()) Out.Values.pop_back();
        if (wait > 0) Out.Values.push_back(wait);
        break;
    }
    return std::nullopt;
}

class TReader {
public:
    explicit TReader(const TRecord_Sink& take) : Take(take) {}
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
    const TRecord_Sink& Take;  // when set, where records go rather than File.Records
    TSection Section = TSection::Outside;
    int64_t Section_Line = 0;
    bool Saw_Remote = false;
    TRemote Remote;
    std::optional<TKey> Raw_Key;  // the raw key whose durations are being read
};

TIR_File TReader::Read(std::string_view text) {
    int64_t line = 0;
    int64_t first_content = 0;
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        Line_Words(text.substr(start, end - start), words);
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

// `KEY 0xCODE [0xCODE ...]`: LIRC sends the further codes as further
// frames of the same press.
void TReader::Code_Line(int64_t line, const std::vector<std::string_view>& words) {
    // LIRC refuses the whole file for it; only the key is left out here.
    if (words.size() < 2) return Key_Error(line, "key " + Quoted(words[0]) + " has no code");
    TKey key{std::string(words[0]), line, {}, {}, std::nullopt};
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::optional<uint64_t> code = Scan_Unsigned(words[i]);
        if (!code) return Key_Error(line, "bad code " + Quoted(words[i]) + " for key " + Quoted(words[0]));
        key.Codes.push_back(*code);
    }
    Remote.Keys.push_back(std::move(key));
}

// `name KEY`, then the key's durations over any number of lines.
void TReader::Raw_Line(int64_t line, const std::vector<std::string_view>& words) {
    if (Same_Ignoring_Case(words[0], "name")) {
        Close_Raw_Key();
        Raw_Key = TKey{words.size() > 1 ? std::string(words[1]) : "", line, {}, {}, std::nullopt};
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
    if (encoding == Raw_Codes) return std::nullopt;
    if (encoding & Unsendable) {
        return "flag " + Quoted(Flag_Name(encoding)) + ": LIRC cannot send this encoding either";
    }
    if (Remote.Bits == 0) return "no 'bits'";
    // Files written for receivers that hand over a number instead of
    // durations (USB receivers, TV cards) give the bits no length.
    if (!Remote.One.Mark && !Remote.One.Space && !Remote.Zero.Mark && !Remote.Zero.Space) {
        return "no timings ('one' and 'zero' are 0 or missing): its codes are a receiver driver's, which LIRC "
               "cannot send either";
    }
    const int64_t total = Remote.Word_Bits();
    if (total > Max_Word_Bits) return std::to_string(total) + " bits with pre_data and post_data, more than 64";
    // LIRC sends nothing of a part whose bits do not fill its symbols.
    const int64_t symbol_bits = (encoding & Rcmm) ? 2 : (encoding & Xmp) ? 4 : 1;
    if (Remote.Pre_Bits % symbol_bits != 0 || Remote.Bits % symbol_bits != 0 || Remote.Post_Bits % symbol_bits != 0) {
        return std::string(Flag_Name(encoding)) + " sends " + std::to_string(symbol_bits) +
               " bits a symbol: pre_data_bits, bits and post_data_bits must be multiples of it";
    }
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
    // A remote that lists raw codes is sent as RAW_CODES whatever its flags
    // say; without an encoding in 'flags' LIRC sends one of codes as
    // SPACE_ENC.
    if (Remote.Raw_Block) {
        Remote.Flags = (Remote.Flags & ~Encodings) | Raw_Codes;
    } else if (!(Remote.Flags & Encodings)) {
        Remote.Flags |= Space_Enc;
    }
    const bool raw = Remote.Flags & Raw_Codes;
    // toggle_bit (or repeat_bit) counts from the first bit of the whole word.
    // An RC6 remote without rc6_mask doubles that bit, as older files expect;
    // and it is the toggle bit unless toggle_bit_mask names one.
    const int64_t total = Remote.Word_Bits();
    if (Remote.Toggle_Bit > 0 && Remote.Toggle_Bit <= total) {
        const uint64_t bit = uint64_t{1} << (total - Remote.Toggle_Bit);
        if ((Remote.Flags & Rc6) && Remote.Rc6_Mask == 0) Remote.Rc6_Mask = bit;
        if (Remote.Toggle_Bit_Mask == 0) Remote.Toggle_Bit_Mask = bit;
    }
    if (const std::optional<std::string> problem = Remote.Fault ? std::nullopt : Remote_Problem()) {
        Refuse(Remote.Line, *problem);
    }
    if (Remote.Codes_Line > 0 && raw) {
        Refuse(Remote.Codes_Line, "'begin codes' in a remote without an encoding in 'flags'");
    }
    if (Remote.Fault) {
        File.Errors.push_back({Remote.Fault->Line, remote + Remote.Fault->Message});
        return;
    }
    // REVERSE sends each part least significant bit first. LIRC turns the
    // words round once as it reads them; the further codes of a key it
    // leaves as written.
    std::vector<TKey*> keys;
    for (TKey& key : Remote.Keys) {
        if (!key.Codes.empty()) {
            const auto wide = std::find_if(key.Codes.begin(), key.Codes.end(),
                                           [&](uint64_t code) { return !Fits(code, Remote.Bits); });
            if (wide != key.Codes.end()) {
                Key_Error(key.Line, "code " + Hex_Number(*wide) + " of key " + Quoted(key.Name) + " is wider than " +
                                        std::to_string(Remote.Bits) + " bits");
                continue;
            }
            if (Remote.Flags & Reverse) key.Codes[0] = Reversed(key.Codes[0], Remote.Bits);
        }
        keys.push_back(&key);
    }
    if (Remote.Flags & Reverse) {
        Remote.Pre_Data = Reversed(Remote.Pre_Data, Remote.Pre_Bits);
        Remote.Post_Data = Reversed(Remote.Post_Data, Remote.Post_Bits);
    }
    // The toggle bits of the first press: LIRC starts from a state that
    // leaves the first key's code as written, then flips the state's
    // toggle bits as each press begins.
    if (Remote.Toggle_Bit_Mask != 0 && !raw) {
        const auto first = std::find_if(keys.begin(), keys.end(), [](const TKey* k) { return !k->Codes.empty(); });
        uint64_t state = first == keys.end() ? 0 : (*first)->Codes[0] & Remote.Toggle_Bit_Mask;
        if (state != 0) state ^= Remote.Toggle_Bit_Mask;
        Remote.Toggle_State = state ^ Remote.Toggle_Bit_Mask;
    }
    const int32_t carrier = Remote.Frequency > 0 ? static_cast<int32_t>(Remote.Frequency) : Default_Carrier_Hz;
    for (TKey* key : keys) {
        // A key of codes is sent as its press builds it; a raw key as written.
        std::vector<int64_t> pressed;
        if (!key->Codes.empty()) {
            TPress press(Remote);
            if (const std::optional<std::string> problem = press.Encode(key->Codes)) {
                Key_Error(key->Line, "key " + Quoted(key->Name) + " " + *problem);
                continue;
            }
            pressed = press.Durations();
        } else if (key->Durations.size() % 2 == 1) {
            // A raw key that ends with a space keeps it as written;
            // otherwise it ends with the gap, or with CONST_LENGTH what the
            // gap leaves of the frame.
            int64_t wait = Remote.Min_Gap();
            if (Remote.Flags & Const_Length) {
                int64_t length = 0;
                for (int64_t d : key->Durations) length += d;
                if (Remote.Min_Gap() <= length) {
                    Key_Error(key->Line, "key " + Quoted(key->Name) + " lasts " + std::to_string(length) +
                                             " us, not shorter than the CONST_LENGTH gap of " +
                                             std::to_string(Remote.Min_Gap()) + " us, so LIRC does not send it either");
                    continue;
                }
                wait = Remote.Min_Gap() - length;
            }
            if (wait > 0) key->Durations.push_back(wait);
        }
        const std::vector<int64_t>& durations = key->Codes.empty() ? key->Durations : pressed;
        TIR_Record record{key->Name, std::nullopt, {{}, carrier}};
        // A merged duration holds at most one half of each of 64 bits (20 s
        // when doubled) and a few parts of 10 s: far within 32 bits.
        record.Timing.Durations_us.reserve(durations.size());
        for (int64_t d : durations) record.Timing.Durations_us.push_back(static_cast<int32_t>(d));
        if (Take) {
            Take(std::move(record));
        } else {
            File.Records.push_back(std::move(record));
        }
    }
    std::stable_sort(Remote.Key_Errors.begin(), Remote.Key_Errors.end(),
                     [](const TFormat_Error& a, const TFormat_Error& b) { return a.Line < b.Line; });
    for (TFormat_Error& error : Remote.Key_Errors) File.Errors.push_back({error.Line, remote + error.Message});
}

}  // namespace

TIR_File Read_Lircd_Conf(std::string_view text, const TRecord_Sink& take) { return TReader(take).Read(text); }

TIR_File Read_Lircd_Conf(std::string_view text) { return Read_Lircd_Conf(text, {}); }

}  // namespace qev
