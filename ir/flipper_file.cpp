#include "ir/flipper_file.h"

#include "base/decimal_words.h"
#include "base/hex_text.h"
#include "base/text_scan.h"
#include "ir/format_text.h"
#include "ir/protocols.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace qev {
namespace {

constexpr std::size_t Max_Durations = 65536;
constexpr int32_t Max_Duration_us = 10000000;

enum class TField : std::size_t { Name, Type, Frequency, Duty_Cycle, Data, Protocol, Address, Command, Count };
constexpr std::array<std::string_view, static_cast<std::size_t>(TField::Count)> Field_Names{
    "name", "type", "frequency", "duty_cycle", "data", "protocol", "address", "command"};
constexpr std::array<TField, 3> Raw_Fields{TField::Frequency, TField::Duty_Cycle, TField::Data};
constexpr std::array<TField, 3> Parsed_Fields{TField::Protocol, TField::Address, TField::Command};

std::string Field_Name(TField field) { return std::string(Field_Names[static_cast<std::size_t>(field)]); }

// "key: value" split at the first ':', both trimmed; false without a ':'.
bool Split_Field(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    key = Trim_Blanks(line.substr(0, colon));
    value = Trim_Blanks(line.substr(colon + 1));
    return true;
}

// A word of decimal digits only, its value saturating at `limit`.
std::optional<uint64_t> Decimal(std::string_view word, uint64_t limit) {
    std::size_t pos = 0;
    const TDigits digits = Take_Digits(word, pos, 10, limit);
    if (digits.Count == 0 || pos != word.size()) return std::nullopt;
    return digits.Value;
}

// "0", "1", "0.33", "0.330000", ".5", "1.000": a number from 0 to 1.
bool Is_Duty_Cycle(std::string_view text) {
    std::size_t pos = 0;
    const TDigits whole = Take_Digits(text, pos, 10, 10);
    std::size_t fraction_digits = 0;
    bool fraction_zero = true;
    if (pos < text.size() && text[pos] == '.') {
        for (++pos; pos < text.size() && Digit_Value(text[pos], 10) >= 0; ++pos) {
            ++fraction_digits;
            if (text[pos] != '0') fraction_zero = false;
        }
    }
    if (pos != text.size() || whole.Count + fraction_digits == 0) return false;
    return whole.Value == 0 || (whole.Value == 1 && fraction_zero);
}

// A Flipper RC5X record names the extended frame (second start bit 0) by
// its protocol alone: its command field gives the low six bits, and bit 6,
// which the Flipper accepts in the field, is not sent. Here an RC5X command
// carries the extension as its bit 6, so a Flipper "RC5X 05" is RC5X 0x45.
TIR_Code Code_Of_Flipper(TIR_Code code) {
    if (code.Protocol == TProtocol::RC5X) code.Command = (code.Command & 0x3Fu) | 0x40u;
    return code;
}

// The Flipper's words for a code: an RC5X code with the extension written
// as its low six bits, one without it (the plain RC5 frame) as RC5.
TIR_Code Flipper_Of_Code(TIR_Code code) {
    if (code.Protocol == TProtocol::RC5X) {
        if ((code.Command & 0x40u) == 0) code.Protocol = TProtocol::RC5;
        code.Command &= 0x3Fu;
    }
    return code;
}

// Four hex bytes, least significant first: "EE 87 00 00" is 0x87EE.
std::optional<uint32_t> Little_Endian(std::string_view text) {
    uint32_t value = 0;
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const std::string_view byte = Next_Word(text, at);
        std::size_t pos = 0;
        const TDigits digits = Take_Digits(byte, pos, 16, 0xFF);
        if (digits.Count == 0 || digits.Count > 2 || pos != byte.size()) return std::nullopt;
        value |= static_cast<uint32_t>(digits.Value) << (8 * i);
    }
    // Four bytes and no more.
    if (!Next_Word(text, at).empty()) return std::nullopt;
    return value;
}

// "07 00 00 00" for 7: four bytes, the lowest first, two digits each.
std::string Little_Endian_Text(uint32_t value) {
    std::string text = Hex_Digits(value & 0xFF, 2);
    for (int shift = 8; shift < 32; shift += 8) text += " " + Hex_Digits((value >> shift) & 0xFF, 2);
    return text;
}

std::optional<std::string> Header_Problem(int index, std::string_view line) {
    std::string_view key;
    std::string_view value;
    const bool split = Split_Field(line, key, value);
    if (index == 0) {
        if (split && key == "Filetype" && (value == "IR signals file" || value == "IR library file")) {
            return std::nullopt;
        }
        return "not an IR signals file: expected 'Filetype: IR signals file', found " + Quoted(line);
    }
    if (!split || key != "Version") return "expected 'Version: 1' after the file type, found " + Quoted(line);
    if (value != "1") return "version " + Quoted(value) + " is not supported; only version 1 is read";
    return std::nullopt;
}

// A record being read: its fields so far and the lines they came from.
struct TPending {
    std::string Name;
    int64_t Name_Line = 0;
    bool Failed = false;  // an error was reported; the rest of the record is skipped
    std::array<int64_t, static_cast<std::size_t>(TField::Count)> Lines{};  // 0 when not given
    bool Raw = false;
    TIR_Timing Timing;
    TIR_Code Code;

    int64_t& Line(TField field) { return Lines[static_cast<std::size_t>(field)]; }
    int64_t Line(TField field) const { return Lines[static_cast<std::size_t>(field)]; }
};

// What keeps a complete record from being read, or nothing.
std::optional<TFormat_Error> Record_Problem(const TPending& record) {
    // Only a faulty record needs its name quoted.
    const auto name = [&] { return Quoted(record.Name); };
    if (record.Line(TField::Type) == 0) return TFormat_Error{record.Name_Line, "record " + name() + " has no type"};
    const char* type = record.Raw ? "raw" : "parsed";
    for (TField field : record.Raw ? Parsed_Fields : Raw_Fields) {
        if (record.Line(field) != 0) {
            return TFormat_Error{record.Line(field), "'" + Field_Name(field) + "' does not belong in a " + type +
                                                         " record (" + name() + ")"};
        }
    }
    for (TField field : record.Raw ? Raw_Fields : Parsed_Fields) {
        if (record.Line(field) == 0) {
            return TFormat_Error{record.Name_Line,
                                 type + (" record " + name()) + " has no '" + Field_Name(field) + "'"};
        }
    }
    if (record.Raw) {
        if (!record.Timing.Durations_us.empty()) return std::nullopt;
        return TFormat_Error{record.Line(TField::Data), "record " + name() + " has no durations"};
    }
    // Command 0 is always in range, so this finds a fault in the address alone.
    if (std::optional<std::string> problem = Code_Problem({record.Code.Protocol, record.Code.Address, 0})) {
        return TFormat_Error{record.Line(TField::Address), *problem};
    }
    if (std::optional<std::string> problem = Code_Problem(record.Code)) {
        // The Flipper refuses an RC5 command from 0x40 too (its encoder would
        // drop bit 6): such a command is RC5X's, written as its low six bits.
        const uint32_t command = record.Code.Command;
        if (record.Code.Protocol == TProtocol::RC5 && command <= Protocol_Info(TProtocol::RC5X).Command_Max) {
            *problem += " (an extended command is protocol RC5X, command " + Hex_Number(command & 0x3Fu, 2) + ")";
        }
        return TFormat_Error{record.Line(TField::Command), *problem};
    }
    return std::nullopt;
}

class TReader {
public:
    TIR_File File;
    TRecord_Sink Take;  // when set, where records go rather than File.Records

    void Take_Line(int64_t line, std::string_view text) {
        std::string_view key;
        std::string_view value;
        if (!Split_Field(text, key, value)) {
            if (!Skipping()) Fail(line, "expected 'key: value', found " + Quoted(text));
            return;
        }
        if (key == "name") {
            Finish();
            Record.emplace();
            Record->Name_Line = Record->Line(TField::Name) = line;
            Record->Name = value;
            if (value.empty()) Fail(line, "a record's name is empty");
            return;
        }
        if (Skipping()) return;
        std::optional<TField> field;
        for (std::size_t i = 0; i < Field_Names.size(); ++i) {
            if (key == Field_Names[i]) field = static_cast<TField>(i);
        }
        if (!field) return Fail(line, "unknown key " + Quoted(key));
        if (!Record) return Fail(line, "'" + Field_Name(*field) + "' comes before any 'name:' line");
        int64_t& seen = Record->Line(*field);
        if (seen != 0 && *field != TField::Data) {
            return Fail(line, "'" + Field_Name(*field) + "' is given twice in record " + Quoted(Record->Name));
        }
        if (seen == 0) seen = line;
        Take_Value(line, *field, value);
    }

    // Ends the record being read, keeping it if it is whole and sound.
    void Finish() {
        if (Record && !Record->Failed) {
            if (std::optional<TFormat_Error> problem = Record_Problem(*Record)) {
                File.Errors.push_back(std::move(*problem));
            } else {
                TIR_Record record;
                record.Name = std::move(Record->Name);
                if (Record->Raw) {
                    record.Timing = std::move(Record->Timing);
                } else {
                    record.Code = Code_Of_Flipper(Record->Code);
                }
                if (Take) {
                    Take(std::move(record));
                } else {
                    File.Records.push_back(std::move(record));
                }
            }
        }
        Record.reset();
    }

private:
    std::optional<TPending> Record;
    TDecimal_Words Words;  // reads the usual data line

    bool Skipping() const { return Record && Record->Failed; }

    void Fail(int64_t line, std::string message) {
        File.Errors.push_back({line, std::move(message)});
        if (Record) Record->Failed = true;
    }

    // The durations of a data line, appended to the record's: words of
    // decimal digits from 1 to 10000000, 65536 at most in a record. Read in
    // one pass over the line, as a large library file is mostly such lines.
    void Take_Durations(int64_t line, std::string_view value) {
        std::vector<int32_t>& durations = Record->Timing.Durations_us;
        // The usual line, sound throughout, at once; any other word by word,
        // to tell which word is wrong.
        const std::size_t before = durations.size();
        if (Words.Append(value, 1, Max_Duration_us, durations)) {
            if (durations.size() <= Max_Durations) return;
            durations.resize(before);
        }
        // Room for a word after each space (other blanks are rare there).
        const auto words = static_cast<std::size_t>(std::count(value.begin(), value.end(), ' ')) + 1;
        durations.reserve(durations.size() + std::min(words, Max_Durations + 1));
        std::size_t pos = 0;
        while (true) {
            while (pos < value.size() && Is_Blank(value[pos])) ++pos;
            if (pos == value.size()) return;
            const std::size_t begin = pos;
            // The value saturates just beyond the largest duration.
            constexpr uint64_t limit = Max_Duration_us + uint64_t{1};
            uint64_t us = 0;
            bool digits_only = true;
            // Most words are a few digits and a blank, read in one step; the
            // rest (near the line's end, long or not numbers) digit by digit.
            if (const TDigit_Run run = Digits_At(value, pos);
                run.Count > 0 && run.Count < 8 && Is_Blank(value[pos + run.Count])) {
                us = run.Value;
                pos += run.Count;
            } else {
                for (; pos < value.size(); ++pos) {
                    const auto digit = static_cast<unsigned>(value[pos] - '0');
                    if (digit <= 9) {
                        us = us * 10 + digit;
                        if (us > limit) {
                            // Saturated: the digits left change nothing.
                            // (Taking them here keeps the common step free
                            // of the clamp.)
                            us = limit;
                            while (pos + 1 < value.size() && static_cast<unsigned>(value[pos + 1] - '0') <= 9) ++pos;
                        }
                    } else if (Is_Blank(value[pos])) {
                        break;
                    } else {
                        digits_only = false;
                    }
                }
            }
            const std::string_view word = value.substr(begin, pos - begin);
            if (!digits_only) return Fail(line, "bad duration " + Quoted(word));
            if (us == 0 || us > Max_Duration_us) {
                return Fail(line, "duration " + Quoted(word) + " is outside 1 to 10000000 us");
            }
            if (durations.size() == Max_Durations) {
                return Fail(line, "record " + Quoted(Record->Name) + " has more than 65536 durations");
            }
            durations.push_back(static_cast<int32_t>(us));
        }
    }

    void Take_Value(int64_t line, TField field, std::string_view value) {
        TPending& record = *Record;
        switch (field) {
            case TField::Type:
                record.Raw = value == "raw";
                if (!record.Raw && value != "parsed") {
                    Fail(line, "unknown type " + Quoted(value) + "; expected raw or parsed");
                }
                break;
            case TField::Frequency:
                if (const std::optional<uint64_t> hz = Decimal(value, INT32_MAX + uint64_t{1});
                    hz && *hz > 0 && *hz <= INT32_MAX) {
                    record.Timing.Carrier_Hz = static_cast<int32_t>(*hz);
                } else {
                    Fail(line, "bad frequency " + Quoted(value) + "; expected a positive whole number of Hz");
                }
                break;
            case TField::Duty_Cycle:
                if (!Is_Duty_Cycle(value)) {
                    Fail(line, "bad duty_cycle " + Quoted(value) + "; expected a number from 0 to 1");
                }
                break;
            case TField::Data:
                Take_Durations(line, value);
                break;
            case TField::Protocol:
                if (const std::optional<TProtocol> protocol = Find_Protocol(value)) {
                    record.Code.Protocol = *protocol;
                } else {
                    Fail(line, "unknown protocol " + Quoted(value));
                }
                break;
            case TField::Address:
            case TField::Command:
                if (const std::optional<uint32_t> number = Little_Endian(value)) {
                    (field == TField::Address ? record.Code.Address : record.Code.Command) = *number;
                } else {
                    Fail(line, "bad " + Field_Name(field) + " " + Quoted(value) +
                                   "; expected four hex bytes such as '04 00 00 00'");
                }
                break;
            case TField::Name:
            case TField::Count:
                break;
        }
    }
};

// A name on one line; the reader refuses an empty one, so that one is named
// by its place.
std::string Written_Name(const std::string& name, std::size_t ordinal) {
    std::string line = One_Line_Name(name);
    if (!line.empty()) return line;
    char text[32];
    std::snprintf(text, sizeof text, "Code_%03zu", ordinal);
    return text;
}

}  // namespace

struct TFlipper_Reader::TState {
    TReader Reader;
    int Header_Lines = 0;
    int64_t Line_Number = 0;
    std::optional<TIR_File> Refused;  // not a Flipper file: this one error
};

TFlipper_Reader::TFlipper_Reader(TRecord_Sink take) : state_(std::make_unique<TState>()) {
    state_->Reader.Take = std::move(take);
}

TFlipper_Reader::~TFlipper_Reader() = default;

bool TFlipper_Reader::Take_Line(std::string_view text) {
    TState& state = *state_;
    if (state.Refused) return false;
    ++state.Line_Number;
    const std::string_view line = Content_Of_Line(text);
    if (line.empty()) return true;
    if (state.Header_Lines < 2) {
        if (std::optional<std::string> problem = Header_Problem(state.Header_Lines, line)) {
            state.Refused = TIR_File{{}, {{state.Line_Number, std::move(*problem)}}};
            return false;
        }
        ++state.Header_Lines;
        return true;
    }
    state.Reader.Take_Line(state.Line_Number, line);
    return true;
}

TIR_File TFlipper_Reader::Finish() {
    TState& state = *state_;
    if (state.Refused) return std::move(*state.Refused);
    const int64_t after_last = state.Line_Number + 1;
    if (state.Header_Lines == 0) {
        return TIR_File{{}, {{after_last, "the file is empty; it should start with 'Filetype: IR signals file'"}}};
    }
    if (state.Header_Lines == 1) return TIR_File{{}, {{after_last, "the file ends before its 'Version: 1' line"}}};
    state.Reader.Finish();
    return std::move(state.Reader.File);
}

TIR_File Read_Flipper_File(std::string_view text) {
    TFlipper_Reader reader;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (!reader.Take_Line(text.substr(at, end - at))) break;
        at = end + 1;
    }
    return reader.Finish();
}

// Raw records with no durations are left out, as are durations beyond the
// 65,536 a record may hold; each duration is clamped to 1..10,000,000 us.
// The duty cycle is not kept, so every raw record gets the usual 0.33.
// A code beyond its protocol's range is written as it is, and the reader
// reports it. RC5X codes are written in the Flipper's words (Flipper_Of_Code).
std::string Write_Flipper_File(const std::vector<TIR_Record>& records) {
    std::string out = "Filetype: IR signals file\nVersion: 1\n";
    std::size_t ordinal = 0;
    for (const TIR_Record& record : records) {
        ++ordinal;
        const std::vector<int32_t>& durations = record.Timing.Durations_us;
        if (!record.Code && durations.empty()) continue;
        out += "#\nname: " + Written_Name(record.Name, ordinal) + "\n";
        if (record.Code) {
            const TIR_Code code = Code_Problem(*record.Code) ? *record.Code : Flipper_Of_Code(*record.Code);
            out += "type: parsed\nprotocol: " + std::string(Protocol_Info(code.Protocol).Name) +
                   "\naddress: " + Little_Endian_Text(code.Address) + "\ncommand: " + Little_Endian_Text(code.Command) +
                   "\n";
            continue;
        }
        const int32_t carrier = record.Timing.Carrier_Hz > 0 ? record.Timing.Carrier_Hz : Default_Carrier_Hz;
        out += "type: raw\nfrequency: " + std::to_string(carrier) + "\nduty_cycle: 0.330000\ndata:";
        for (std::size_t i = 0; i < durations.size() && i < Max_Durations; ++i) {
            const int32_t us = durations[i] < 1 ? 1 : durations[i] > Max_Duration_us ? Max_Duration_us : durations[i];
            out += " " + std::to_string(us);
        }
        out += '\n';
    }
    return out;
}

}  // namespace qev
