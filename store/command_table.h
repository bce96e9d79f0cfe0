// The Command table and the Sample buffer.
//
// A learned command is a name and a waveform packed one bit per sample: byte j
// of a row carries samples 8j .. 8j+7, the earliest in bit 0, a set bit being
// infrared on. The Sample buffer holds one 32-bit value per tick of the 8 kHz
// sample clock (255 active, 0 idle; any non-zero value counts as active) and is
// what the transmitter sends and the receiver fills.
//
// Both are sized once at start-up and never grow, so sending and learning
// allocate nothing (a table that is only read into, never sent from, may be
// given rows as a file's records come). A row's byte storage is reserved
// the first time the row is written, so a large table costs memory only
// for the rows in use.
#ifndef QEV_STORE_COMMAND_TABLE_H
#define QEV_STORE_COMMAND_TABLE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qev {

// A name field holds 79 characters and a terminator.
constexpr int Command_Name_Limit = 79;

// Upper bounds of what start-up allocates, whatever the Settings file says.
constexpr int32_t Max_Table_Rows = 65535;
constexpr int32_t Max_Buffer_Samples = 1 << 20;  // 131 s at 8000 samples per second

struct TCommand_Record {
    std::string Name;            // at most Command_Name_Limit bytes, compared byte for byte
    int32_t Byte_Count = 0;      // packed bytes in use, 0 .. Row capacity
    std::vector<uint8_t> Bytes;  // Row capacity entries once the row has been written
};

class TCommand_Table {
public:
    // rows and Row capacity are clamped to 0 .. the allocation limits.
    void Allocate(int32_t rows, int32_t row_capacity);
    void Release();
    // More rows (clamped as Allocate clamps them), the rows there are kept:
    // for a table filled from a file whose size is not known beforehand,
    // never one that sends or learns.
    void Grow_Rows(int32_t rows);

    int32_t Rows() const { return static_cast<int32_t>(rows_.size()); }
    int32_t Row_Capacity() const { return row_capacity_; }

    TCommand_Record& Row(int32_t index) { return rows_[static_cast<std::size_t>(index)]; }
    const TCommand_Record& Row(int32_t index) const { return rows_[static_cast<std::size_t>(index)]; }

    // Reserves a row's byte storage (Row capacity entries); returns its bytes.
    uint8_t* Row_Bytes(int32_t index);

    // Stores a name, cut at Command_Name_Limit bytes and at a NUL byte;
    // false when it had to be cut.
    bool Set_Name(int32_t index, std::string_view name);

    int32_t Command_Count = 0;  // rows in use: 0 .. Command_Count-1
    // The rows in use that the table holds: Command_Count, never below 0 nor
    // beyond Rows(). Every walk over the commands stops here.
    int32_t Rows_In_Use() const;

private:
    std::vector<TCommand_Record> rows_;
    int32_t row_capacity_ = 0;
};

class TSample_Buffer {
public:
    // Room for max(samples, 8 * row_capacity) samples, clamped to the limit.
    void Allocate(int32_t samples, int32_t row_capacity);
    void Release();

    int32_t Capacity() const { return static_cast<int32_t>(samples_.size()); }
    int32_t* Data() { return samples_.data(); }
    const int32_t* Data() const { return samples_.data(); }
    int32_t& operator[](int32_t i) { return samples_[static_cast<std::size_t>(i)]; }
    int32_t operator[](int32_t i) const { return samples_[static_cast<std::size_t>(i)]; }

    int32_t Sample_Count = 0;  // valid samples at the start of the buffer

private:
    std::vector<int32_t> samples_;
};

// Row capacity for a sample length: length / 8 rounded up, 0 for length <= 0.
int32_t Row_Capacity_For(int32_t sample_length);

// Index of the first row in use named exactly `name`, or -1.
int32_t Find_Command(const TCommand_Table& table, std::string_view name);

// Expands row `row` into the buffer: 8 samples (255 or 0) per byte, and sets
// the Sample count to 8 * byte count.
void Unpack_Command(const TCommand_Table& table, int32_t row, TSample_Buffer& buffer);

// Packs the first Sample count samples into row `row` and sets its byte
// count. A Sample count beyond what the row or the buffer holds is cut to fit.
void Pack_Command(const TSample_Buffer& buffer, TCommand_Table& table, int32_t row);

}  // namespace qev

#endif
