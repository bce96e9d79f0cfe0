#include "ir/pronto.h"

#include "base/hex_text.h"
#include "base/text_scan.h"
#include "ir/format_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace qev {
namespace {

// One unit of the carrier divisor in microseconds: the period of the
// 4.145146 MHz clock Pronto remotes count in.
constexpr double Unit_us = 0.241246;
// Added after an odd number of durations so that the last mark has a space.
constexpr int32_t Final_Space_us = 40000;
constexpr long Word_Max = 0xFFFF;

std::string Hex_Word(long value) { return Hex_Digits(static_cast<uint64_t>(value), 4); }

std::string Default_Name(int ordinal) {
    char text[32];
    std::snprintf(text, sizeof text, "Code_%03d", ordinal);
    return text;
}

long Clamp_Word(long value) { return value < 1 ? 1 : value > Word_Max ? Word_Max : value; }

// The durations of one learned code, or why it cannot be read.
std::optional<std::string> Read_Code(std::string_view code, TIR_Timing& timing) {
    std::vector<long> words;
    std::size_t pos = 0;
    for (std::string_view word = Next_Word(code, pos); !word.empty(); word = Next_Word(code, pos)) {
        std::size_t at = 0;
        const TDigits digits = Take_Digits(word, at, 16);
        if (word.size() != 4 || digits.Count != 4) {
            return "bad word " + Quoted(word) + "; Pronto codes are four-digit hex words";
        }
        words.push_back(static_cast<long>(digits.Value));
    }
    if (words.empty()) return "no code after the name";
    if (words[0] != 0) return "only learned Pronto codes (0000) are supported, not " + Hex_Word(words[0]);
    if (words.size() < 4) {
        return "a learned code starts with 4 words (0000, carrier, once and repeat pair counts), found " +
               std::to_string(words.size());
    }
    if (words[1] == 0) return "the carrier word is 0000; it must be 0001 or more";
    const std::size_t once = static_cast<std::size_t>(words[2]);
    const std::size_t repeat = static_cast<std::size_t>(words[3]);
    if (once + repeat == 0) return "the code has no pairs: its once and repeat counts are both 0";
    const std::size_t expected = 4 + 2 * (once + repeat);
    if (words.size() != expected) {
        return "expected " + std::to_string(expected) + " words for " + std::to_string(once) + " once and " +
               std::to_string(repeat) + " repeat pairs, found " + std::to_string(words.size());
    }
    for (std::size_t i = 4; i < words.size(); ++i) {
        if (words[i] == 0) return "word " + std::to_string(i + 1) + " is a duration of 0000 carrier periods";
    }
    // Both sequences start at word 4: the repeat one follows an empty once one.
    const double period_us = static_cast<double>(words[1]) * Unit_us;
    const std::size_t count = 2 * (once > 0 ? once : repeat);
    timing.Carrier_Hz = static_cast<int32_t>(std::lround(1e6 / period_us));
    timing.Durations_us.clear();
    // Each edge's absolute time is rounded, not each duration, so the
    // rounding never adds up along the signal.
    long periods = 0;
    long previous_us = 0;
    for (std::size_t i = 4; i < 4 + count; ++i) {
        periods += words[i];
        const long edge_us = std::max(std::lround(static_cast<double>(periods) * period_us), previous_us + 1);
        timing.Durations_us.push_back(static_cast<int32_t>(edge_us - previous_us));
        previous_us = edge_us;
    }
    return std::nullopt;
}

}  // namespace

TIR_File Read_Pronto_File(std::string_view text) {
    TIR_File file;
    int codes = 0;  // every code line counts, read or not, so names do not shift
    TContent_Lines lines(text);
    for (std::string_view line; lines.Next(line);) {
        ++codes;
        const std::size_t colon = line.rfind(':');
        const std::string_view name =
            colon == std::string_view::npos ? std::string_view() : Trim_Blanks(line.substr(0, colon));
        const std::string_view code = colon == std::string_view::npos ? line : line.substr(colon + 1);
        TIR_Record record;
        if (std::optional<std::string> problem = Read_Code(code, record.Timing)) {
            file.Errors.push_back({lines.Number(), std::move(*problem)});
            continue;
        }
        record.Name = name.empty() ? Default_Name(codes) : std::string(name);
        file.Records.push_back(std::move(record));
    }
    return file;
}

// Every value is clamped to what a word holds: a divisor of 1..FFFF, at most
// FFFF pairs, and each duration 1..FFFF carrier periods (about 1.7 s at
// 38 kHz); longer durations are written as the longest.
//
// A name beginning with '#' would read back as a comment line; names are
// otherwise written as they are, ':' included (the reader takes the last).
std::string Write_Pronto_File(const std::vector<TIR_Record>& records) {
    std::string out;
    for (const TIR_Record& record : records) {
        std::vector<int32_t> durations = record.Timing.Durations_us;
        if (durations.empty()) continue;
        if (durations.size() % 2 != 0) durations.push_back(Final_Space_us);
        if (durations.size() > 2 * Word_Max) durations.resize(2 * Word_Max);
        const int32_t carrier = record.Timing.Carrier_Hz > 0 ? record.Timing.Carrier_Hz : Default_Carrier_Hz;
        const long divisor = Clamp_Word(std::lround(1e6 / (carrier * Unit_us)));
        // Periods of the carrier the divisor gives, so durations read back within one period.
        const double period_us = static_cast<double>(divisor) * Unit_us;

        const std::string name = One_Line_Name(record.Name);
        if (!name.empty()) out += name + ": ";
        out += "0000 " + Hex_Word(divisor) + " " + Hex_Word(static_cast<long>(durations.size() / 2)) + " 0000";
        // Edges rounded on their absolute time, as the reader does.
        int64_t total_us = 0;
        long written = 0;
        for (const int32_t us : durations) {
            total_us += us;
            // A clamped word is not made up for by the next ones.
            const long target = std::lround(static_cast<double>(total_us) / period_us);
            out += " " + Hex_Word(Clamp_Word(target - written));
            written = target;
        }
        out += '\n';
    }
    return out;
}

}  // namespace qev
