#include "app/core/key_recognition.h"

#include "app/core/table_codes.h"
#include "base/hex_text.h"
#include "base/sample_grid.h"
#include "ir/decoder.h"
#include "ir/protocol_timing.h"
#include "ir/protocols.h"
#include "ir/signal_match.h"

#include <algorithm>
#include <cmath>

namespace qev {

std::string Code_Key_Name(const TIR_Code& code) {
    const TProtocol_Info& info = Protocol_Info(code.Protocol);
    const auto field = [](uint32_t value, uint32_t max) { return Hex_Number(value, max > 0xFF ? 4 : 2); };
    return std::string(info.Name) + "_" + field(code.Address, info.Address_Max) + "_" +
           field(code.Command, info.Command_Max);
}

namespace {

// Codes that name the same frame: equal, or NEC and Pioneer with the same
// fields (Pioneer's frame is NEC's at a faster clock; only the spacing of a
// held key's frames tells them apart, and a single press has none).
bool Same_Code(const TIR_Code& a, const TIR_Code& b) {
    if (a == b) return true;
    const auto nec_or_pioneer = [](TProtocol p) { return p == TProtocol::NEC || p == TProtocol::Pioneer; };
    return nec_or_pioneer(a.Protocol) && nec_or_pioneer(b.Protocol) && a.Address == b.Address && a.Command == b.Command;
}

}  // namespace

uint64_t Lirc_Key_Code(const THeard_Key& key) {
    return key.Code ? (uint64_t{key.Code->Address} << 16) | key.Code->Command : 0;
}

void TKey_Recognizer::Learn(const TCommand_Table& table) {
    rows_.clear();
    const int32_t rows = table.Rows_In_Use();
    for (int32_t row = 0; row < rows; ++row) {
        TLearned learned{table.Row(row).Name, std::nullopt, Row_Levels(table, row)};
        if (const auto decoded = Decode_Levels(learned.Levels)) learned.Code = decoded->Code;
        rows_.push_back(std::move(learned));
    }
}

std::optional<THeard_Key> TKey_Recognizer::Recognize(std::span<const uint8_t> levels, int32_t end_gap_samples) const {
    const std::optional<TDecoded> decoded = Decode_Levels(levels);
    const std::optional<TIR_Code> code = decoded ? std::optional<TIR_Code>(decoded->Code) : std::nullopt;
    if (code) {
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            if (rows_[row].Code && Same_Code(*rows_[row].Code, *code))
                return THeard_Key{rows_[row].Name, static_cast<int32_t>(row), code};
        }
    }
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        // A row of a protocol is told by its code alone.
        if (rows_[row].Code && code) continue;
        if (Same_Signal(levels, rows_[row].Levels, end_gap_samples))
            return THeard_Key{rows_[row].Name, static_cast<int32_t>(row), code};
    }
    if (code) return THeard_Key{Code_Key_Name(*code), -1, code};
    return std::nullopt;
}

bool TKey_Recognizer::Is_Repeat_Frame(std::span<const uint8_t> levels) {
    // The short repeat frames of the protocols that have one, sampled once.
    static const std::vector<TLevels> frames = [] {
        std::vector<TLevels> sampled;
        for (const TProtocol_Info& info : All_Protocols()) {
            const TProtocol_Timing& t = Protocol_Timing(info.Protocol);
            if (t.Repeat_Space_us <= 0) continue;
            const auto us = [](double d) { return static_cast<int32_t>(std::lround(d)); };
            const TIR_Timing frame{{us(t.Header_Mark_us), us(t.Repeat_Space_us), us(t.Stop_Mark_us)}, t.Carrier_Hz};
            sampled.push_back(Sample_Timing(frame, 1 << 12));
        }
        return sampled;
    }();
    return std::any_of(frames.begin(), frames.end(),
                       [&](const TLevels& frame) { return Same_Signal(levels, frame, 0); });
}

namespace {

// FNV-1a over the rows in use: their names and bytes.
uint64_t Table_Hash(const TCommand_Table& table) {
    uint64_t hash = 0xcbf29ce484222325u;
    const auto add = [&](const uint8_t* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3u;
    };
    const int32_t rows = table.Rows_In_Use();
    add(reinterpret_cast<const uint8_t*>(&rows), sizeof rows);
    for (int32_t row = 0; row < rows; ++row) {
        const TCommand_Record& record = table.Row(row);
        add(reinterpret_cast<const uint8_t*>(record.Name.data()), record.Name.size() + 1);
        const auto count = static_cast<std::size_t>(
            std::clamp<int32_t>(record.Byte_Count, 0, static_cast<int32_t>(record.Bytes.size())));
        add(reinterpret_cast<const uint8_t*>(&count), sizeof count);
        add(record.Bytes.data(), count);
    }
    return hash;
}

}  // namespace

std::optional<THeard_Press> TKey_Listening::Heard(const TCommand_Table& table, std::span<const uint8_t> levels,
                                                  int32_t end_gap_samples, TClock::time_point end) {
    const uint64_t hash = Table_Hash(table);
    if (!learned_ || hash != table_hash_) {
        keys_.Learn(table);
        table_hash_ = hash;
        learned_ = true;
    }
    // The silence between the signal before and this one: both receives
    // ended the same end gap after their signal, and this one lasted its
    // levels.
    const auto length = std::chrono::microseconds(static_cast<int64_t>(levels.size()) * Sample_Period_us);
    const bool soon = last_ && end - length - last_end_ <= Repeat_Window;
    std::optional<THeard_Key> key = keys_.Recognize(levels, end_gap_samples);
    if (!key && soon && TKey_Recognizer::Is_Repeat_Frame(levels)) key = last_->Key;
    if (!key) return std::nullopt;
    const bool repeat = soon && last_->Key.Name == key->Name;
    THeard_Press press{*key, repeat ? last_->Repeat + 1 : 0};
    last_ = press;
    last_end_ = end;
    return press;
}

}  // namespace qev
