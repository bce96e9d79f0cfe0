#include "store/command_table.h"

#include <algorithm>
#include <cstring>

namespace qev {

namespace {

int32_t Clamp(int32_t value, int32_t limit) { return std::clamp<int32_t>(value, 0, limit); }

}  // namespace

int32_t Row_Capacity_For(int32_t sample_length) {
    if (sample_length <= 0) return 0;
    return static_cast<int32_t>((static_cast<int64_t>(sample_length) + 7) / 8);
}

void TCommand_Table::Allocate(int32_t rows, int32_t row_capacity) {
    rows_.assign(static_cast<std::size_t>(Clamp(rows, Max_Table_Rows)), TCommand_Record{});
    row_capacity_ = Clamp(row_capacity, Row_Capacity_For(Max_Buffer_Samples));
    Command_Count = 0;
}

void TCommand_Table::Grow_Rows(int32_t rows) {
    rows_.resize(std::max(rows_.size(), static_cast<std::size_t>(Clamp(rows, Max_Table_Rows))));
}

void TCommand_Table::Release() {
    std::vector<TCommand_Record>().swap(rows_);
    row_capacity_ = 0;
    Command_Count = 0;
}

int32_t TCommand_Table::Rows_In_Use() const { return std::clamp<int32_t>(Command_Count, 0, Rows()); }

uint8_t* TCommand_Table::Row_Bytes(int32_t index) {
    auto& bytes = Row(index).Bytes;
    if (bytes.size() != static_cast<std::size_t>(row_capacity_)) bytes.resize(static_cast<std::size_t>(row_capacity_));
    return bytes.data();
}

bool TCommand_Table::Set_Name(int32_t index, std::string_view name) {
    std::string_view kept = name.substr(0, std::min(name.find('\0'), name.size()));
    bool cut = kept.size() > static_cast<std::size_t>(Command_Name_Limit);
    if (cut) kept = kept.substr(0, Command_Name_Limit);
    Row(index).Name.assign(kept);
    return !cut;
}

void TSample_Buffer::Allocate(int32_t samples, int32_t row_capacity) {
    int64_t room = std::max<int64_t>(samples, int64_t{8} * row_capacity);
    room = std::clamp<int64_t>(room, 0, Max_Buffer_Samples);
    samples_.assign(static_cast<std::size_t>(room), 0);
    Sample_Count = 0;
}

void TSample_Buffer::Release() {
    std::vector<int32_t>().swap(samples_);
    Sample_Count = 0;
}

int32_t Find_Command(const TCommand_Table& table, std::string_view name) {
    const int32_t used = table.Rows_In_Use();
    for (int32_t i = 0; i < used; ++i)
        if (table.Row(i).Name == name) return i;
    return -1;
}

void Unpack_Command(const TCommand_Table& table, int32_t row, TSample_Buffer& buffer) {
    const TCommand_Record& record = table.Row(row);
    // The buffer always has room for 8 * Row capacity samples; the clamp only
    // guards against a record that was never given storage.
    int32_t bytes = std::clamp<int32_t>(record.Byte_Count, 0, static_cast<int32_t>(record.Bytes.size()));
    bytes = std::min(bytes, buffer.Capacity() / 8);
    int32_t* out = buffer.Data();
    for (int32_t j = 0; j < bytes; ++j) {
        unsigned b = record.Bytes[static_cast<std::size_t>(j)];
        for (int k = 0; k < 8; ++k, b >>= 1) *out++ = (b & 1u) ? 255 : 0;
    }
    buffer.Sample_Count = bytes * 8;
}

void Pack_Command(const TSample_Buffer& buffer, TCommand_Table& table, int32_t row) {
    int32_t n = std::clamp<int32_t>(buffer.Sample_Count, 0, std::min(buffer.Capacity(), 8 * table.Row_Capacity()));
    uint8_t* bytes = table.Row_Bytes(row);
    const int32_t* in = buffer.Data();
    int32_t full = n / 8;
    int32_t rest = n % 8;
    for (int32_t j = 0; j < full; ++j) {
        unsigned b = 0;
        for (int k = 0; k < 8; ++k) b = (b >> 1) | (*in++ ? 0x80u : 0u);
        bytes[j] = static_cast<uint8_t>(b);
    }
    if (rest != 0) {
        unsigned b = 0;
        for (int k = 0; k < rest; ++k) b = (b >> 1) | (*in++ ? 0x80u : 0u);
        bytes[full++] = static_cast<uint8_t>(b >> (8 - rest));
    }
    table.Row(row).Byte_Count = full;
}

}  // namespace qev
