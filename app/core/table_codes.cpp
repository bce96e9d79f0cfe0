#include "app/core/table_codes.h"

#include "ir/decoder.h"
#include "ir/format_text.h"
#include "ir/protocols.h"
#include "store/command_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace qev {
namespace {

std::string Plural(int32_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

namespace {

// How many samples the waveform of a record lasts before any cut; `decoded`
// is what the decoder makes of raw durations (Decode_Durations(durations,
// max_samples)).
int64_t Wanted_Samples(const TIR_Record& record, const TIR_Timing& timing, const std::optional<TDecoded>& decoded) {
    int64_t end_us = 0;
    for (const int32_t d : timing.Durations_us) end_us += std::max(d, 0);
    int64_t wanted = Sample_Of_us(end_us);
    if (!record.Code) {
        // Raw durations: a known protocol gets its frame period from the
        // start of its last frame; an unknown signal that stops on a mark
        // gets a gap.
        if (decoded) {
            const int32_t period = Protocol_Info(decoded->Code.Protocol).Frame_Period_us;
            wanted = std::max(wanted, decoded->Last_Frame_Start + Sample_Of_us(period));
        } else if (timing.Durations_us.size() % 2 == 1) {
            wanted += Sample_Of_us(Default_Gap_us);
        }
    }
    return wanted;
}

int64_t Wanted_Samples(const TIR_Record& record, const TIR_Timing& timing, int32_t max_samples) {
    const auto decoded = record.Code ? std::nullopt : Decode_Durations(timing.Durations_us, std::max(max_samples, 0));
    return Wanted_Samples(record, timing, decoded);
}

// The most samples a record's waveform may want: a code's longest encoding;
// raw durations' own length and the longest idle end Wanted_Samples may give
// them, whatever they decode to (a frame period counts from a frame's start,
// which lies within the sampled durations).
int64_t Most_Wanted_Samples(const TIR_Record& record) {
    if (record.Code) return Sample_Of_us(Longest_Encoding_us(record.Code->Protocol));
    static const int64_t longest_idle_end = [] {
        int32_t period = Default_Gap_us;
        for (const TProtocol_Info& info : All_Protocols()) period = std::max(period, info.Frame_Period_us);
        return Sample_Of_us(period);
    }();
    return Sampled_Length(record.Timing.Durations_us, INT32_MAX) + longest_idle_end;
}

// The length of the waveform: its idle end lasts to the wanted samples,
// cut at `max_samples`.
int32_t Length_Of(int64_t wanted, int32_t max_samples) {
    return static_cast<int32_t>(std::clamp<int64_t>(wanted, 0, std::max(max_samples, 0)));
}

}  // namespace

namespace {

// Calls sample(durations, length) with the record's durations and the
// length of its waveform: to its idle end, cut at `max_samples`.
template <typename F>
auto Sample_Record(const TIR_Record& record, int32_t max_samples, bool* cut, F sample) {
    const TIR_Timing encoded = record.Code ? Encode(*record.Code) : TIR_Timing{};
    const TIR_Timing& timing = record.Code ? encoded : record.Timing;
    const int64_t wanted = Wanted_Samples(record, timing, max_samples);
    if (cut != nullptr) *cut = wanted > max_samples;
    // The idle end: samples after the last duration are idle.
    return sample(timing.Durations_us, Length_Of(wanted, max_samples));
}

// Whether the record's waveform would be cut at `max_samples`, as
// Sample_Record tells. A record is encoded or decoded only when the answer
// hangs on it: one whose every possible length fits is not cut.
bool Would_Be_Cut(const TIR_Record& record, int32_t max_samples) {
    if (Most_Wanted_Samples(record) <= max_samples) return false;
    bool cut = false;
    Sample_Record(record, max_samples, &cut, [](const std::vector<int32_t>&, int32_t) { return 0; });
    return cut;
}

// Puts the record's waveform into row `row`, as Store_Levels(table, row,
// Levels_Of_Record(record, max_samples, cut)) does, without a byte per
// sample in between.
void Store_Record(TCommand_Table& table, int32_t row, const TIR_Record& record, int32_t max_samples, bool* cut) {
    max_samples = std::min(max_samples, table.Row_Capacity() * 8);
    TCommand_Record& stored = table.Row(row);
    stored.Bytes = Sample_Record(record, max_samples, cut, [&](const std::vector<int32_t>& durations, int32_t length) {
        return Packed_Levels_Of_Durations(durations, std::max(max_samples, 0), length);
    });
    stored.Byte_Count = static_cast<int32_t>(stored.Bytes.size());
}

}  // namespace

TLevels Levels_Of_Record(const TIR_Record& record, int32_t max_samples, bool* cut) {
    return Sample_Record(record, max_samples, cut, [&](const std::vector<int32_t>& durations, int32_t length) {
        return Levels_Of_Durations(durations, std::max(max_samples, 0), length);
    });
}

std::optional<TDecoded> Decode_Record(const TIR_Record& record, int32_t max_samples) {
    if (record.Code) {
        const TIR_Timing timing = Encode(*record.Code);
        const int32_t length = Length_Of(Wanted_Samples(record, timing, max_samples), max_samples);
        return Decode_Durations(timing.Durations_us, std::max(max_samples, 0), length);
    }
    // The length depends on what the durations decode to; the second
    // decode reuses what the first read.
    return Decode_Durations_Again(record.Timing.Durations_us, std::max(max_samples, 0),
                                  [&](const std::optional<TDecoded>& decoded) {
                                      return Length_Of(Wanted_Samples(record, record.Timing, decoded), max_samples);
                                  });
}

TLevels Row_Levels(const TCommand_Table& table, int32_t row) {
    const TCommand_Record& record = table.Row(row);
    TLevels levels;
    levels.reserve(static_cast<std::size_t>(record.Byte_Count) * 8);
    for (int32_t j = 0; j < record.Byte_Count; ++j) {
        for (int bit = 0; bit < 8; ++bit) levels.push_back((record.Bytes[static_cast<std::size_t>(j)] >> bit) & 1u);
    }
    return levels;
}

TImporter::TImporter(TCommand_Table& table, const TImport_Limits& limits)
    : table_(table), limits_(limits), names_(0, TRow_Name{&table}, TRow_Name{&table}) {
    names_.reserve(static_cast<std::size_t>(std::min(limits_.Rows, table_.Rows())));
    for (int32_t row = 0; row < table_.Rows_In_Use(); ++row) names_.insert(row);
}

bool TImporter::Room_For_A_Row() {
    // A full table that may grow gets twice the rows, a thousand at first
    // (Grow_Rows keeps to the most a table holds).
    if (limits_.Grow_Rows && table_.Command_Count >= table_.Rows()) {
        table_.Grow_Rows(std::min(limits_.Rows, std::max(1024, 2 * table_.Rows())));
    }
    return table_.Command_Count < std::min(limits_.Rows, table_.Rows());
}

void TImporter::Add(const TIR_Record& record) {
    if (std::optional<std::string> problem =
            limits_.Savable_Names ? Command_File_Name_Problem(record.Name) : std::nullopt) {
        result_.Unstorable.push_back({record.Name, std::move(*problem)});
        return;
    }
    std::string name = record.Name;
    if (name.empty()) {
        char text[24];
        std::snprintf(text, sizeof text, "Code_%03d", table_.Command_Count + 1);
        name = text;
    }
    name = name.substr(0, std::min(name.find('\0'), std::size_t{Command_Name_Limit}));
    if (names_.contains(std::string_view(name))) {
        if (result_.Duplicates++ == 0) result_.First_Duplicate = name;
        return;
    }
    if (!Room_For_A_Row()) {
        ++result_.Left_Out;
        return;
    }
    const int32_t samples = std::min(limits_.Samples, table_.Row_Capacity() * 8);
    bool cut = false;
    const int32_t row = table_.Command_Count++;
    if (!table_.Set_Name(row, record.Name.empty() ? name : record.Name)) ++result_.Renamed;
    names_.insert(row);
    if (limits_.Waveforms) {
        Store_Record(table_, row, record, samples, &cut);
    } else {
        cut = Would_Be_Cut(record, samples);
    }
    if (cut) ++result_.Cut;
    ++result_.Added;
}

TImport_Result Import_Records(const std::vector<TIR_Record>& records, TCommand_Table& table,
                              const TImport_Limits& limits) {
    TImporter importer(table, limits);
    for (const TIR_Record& record : records) importer.Add(record);
    return importer.Result();
}

void Store_Levels(TCommand_Table& table, int32_t row, std::span<const uint8_t> levels) {
    levels = levels.first(std::min<std::size_t>(levels.size(), std::size_t(table.Row_Capacity()) * 8));
    // The row holds the bytes of its waveform, not a whole Row capacity: a
    // file of many short commands then costs what they need (a later write
    // through Row_Bytes gives the row its capacity).
    const int32_t byte_count = Row_Capacity_For(static_cast<int32_t>(levels.size()));
    std::vector<uint8_t>& stored = table.Row(row).Bytes;
    stored.assign(static_cast<std::size_t>(byte_count), uint8_t{0});
    // Eight samples a byte, the earliest in bit 0, without a branch per sample.
    for (std::size_t i = 0; i < levels.size(); i += 8) {
        unsigned byte = 0;
        for (std::size_t bit = 0; bit < 8 && i + bit < levels.size(); ++bit) {
            byte |= static_cast<unsigned>(levels[i + bit] != 0) << bit;
        }
        stored[i / 8] = static_cast<uint8_t>(byte);
    }
    table.Row(row).Byte_Count = byte_count;
}

std::vector<TIR_Record> Export_Records(const TCommand_Table& table, bool parsed_where_known) {
    std::vector<TIR_Record> records;
    for (int32_t row = 0; row < table.Rows_In_Use(); ++row) {
        const TLevels levels = Row_Levels(table, row);
        TIR_Record record;
        record.Name = table.Row(row).Name;
        const auto decoded = parsed_where_known ? Decode_Levels(levels) : std::nullopt;
        if (decoded && decoded->Repeats == 0) {
            record.Code = decoded->Code;
        } else {
            record.Timing = Timing_Of_Levels(levels);
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::string> Describe_Import(const TImport_Result& result) {
    std::vector<std::string> lines;
    for (const TImport_Result::TUnstorable& left_out : result.Unstorable) {
        lines.push_back("'" + One_Line_Name(left_out.Name) + "' was not added: " + left_out.Problem);
    }
    if (result.Duplicates > 0) {
        lines.push_back(Plural(result.Duplicates, "command was", "commands were") +
                        " not added: the name is already in the table (first: " + result.First_Duplicate + ")");
    }
    if (result.Left_Out > 0) {
        lines.push_back(Plural(result.Left_Out, "command was", "commands were") +
                        " not added: the table is full (MAX_RMTCMD_NUM)");
    }
    if (result.Cut > 0) {
        lines.push_back(Plural(result.Cut, "command was", "commands were") + " cut to MAX_RMTCMD_BIT_LENGTH samples");
    }
    if (result.Renamed > 0) {
        lines.push_back(Plural(result.Renamed, "name was", "names were") + " cut to 79 characters");
    }
    return lines;
}

}  // namespace qev
