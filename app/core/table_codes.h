// Between code file records and the Command table.
//
// An imported command becomes the waveform the program would have learned:
// the durations sampled at 8 kHz, ending with idle samples up to the
// protocol's frame period (so that repeated sends come at the right
// spacing), cut at the length the table holds.
#ifndef QEV_APP_CORE_TABLE_CODES_H
#define QEV_APP_CORE_TABLE_CODES_H

#include "ir/decoder.h"
#include "ir/ir_signal.h"
#include "ir/sampling.h"
#include "store/command_table.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace qev {

// Idle time after an imported signal of no known protocol that does not say
// how long its gap is: enough for any receiver to see the frame end.
constexpr int32_t Default_Gap_us = 40000;

// The waveform of a record, at most `max_samples` long; `cut` (when given)
// tells whether it had to be cut to fit.
TLevels Levels_Of_Record(const TIR_Record& record, int32_t max_samples, bool* cut = nullptr);

// What the decoder makes of that waveform: Decode_Levels(Levels_Of_Record(
// record, max_samples)), without sampling it.
std::optional<TDecoded> Decode_Record(const TIR_Record& record, int32_t max_samples);

// The levels of row `row`: eight per packed byte.
TLevels Row_Levels(const TCommand_Table& table, int32_t row);
// The reverse: packs the levels (cut to the row's capacity) into row `row`.
void Store_Levels(TCommand_Table& table, int32_t row, std::span<const uint8_t> levels);

struct TImport_Limits {
    int32_t Rows = 0;     // rows the table may use (MAX_RMTCMD_NUM)
    int32_t Samples = 0;  // samples a command may hold (MAX_RMTCMD_BIT_LENGTH)
    // Whether the table may be saved to a Command file, so that only names
    // such a file holds may enter it; a table only sent from may take any.
    bool Savable_Names = true;
    // Whether the rows get their waveforms. Without, they get their names
    // only, and the result is the same: a check that keeps nothing.
    bool Waveforms = true;
    // Whether the table is given rows as records need them, up to Rows,
    // rather than holding the rows it was allocated with (Grow_Rows).
    bool Grow_Rows = false;
};

struct TImport_Result {
    // Records whose names a Command file cannot hold (a ',' or ';', a
    // control character, "@REPEAT"), left out: saving would split them.
    struct TUnstorable {
        std::string Name;
        std::string Problem;  // Command_File_Name_Problem's
    };
    std::vector<TUnstorable> Unstorable;
    int32_t Added = 0;
    int32_t Duplicates = 0;  // names already in the table, left out
    std::string First_Duplicate;
    int32_t Left_Out = 0;  // records beyond the table's last row
    int32_t Cut = 0;       // commands cut to the sample limit
    int32_t Renamed = 0;   // names cut to the name field
};

// Adds the records after the rows in use, in their order. A record whose
// name a Command file cannot hold (with limits.Savable_Names), or whose name
// is already in the table
// (or earlier in the file), is left out; an empty name becomes "Code_NNN"
// after the row it fills.
TImport_Result Import_Records(const std::vector<TIR_Record>& records, TCommand_Table& table,
                              const TImport_Limits& limits);

// The same a record at a time, for records handed over as a file is read
// (TRecord_Sink): Import_Records is an importer given each record in turn.
class TImporter {
public:
    TImporter(TCommand_Table& table, const TImport_Limits& limits);
    void Add(const TIR_Record& record);
    const TImport_Result& Result() const { return result_; }

private:
    // Whether a row is free for the next record, giving the table more
    // rows where it may have them.
    bool Room_For_A_Row();

    // The rows in use found by their names (Find_Command's, compared byte
    // for byte): the set holds row numbers, which stay as the table grows
    // and its names move, and is searched by a name.
    struct TRow_Name {
        const TCommand_Table* Table;
        using is_transparent = void;
        std::string_view Of(int32_t row) const { return Table->Row(row).Name; }
        std::string_view Of(std::string_view name) const { return name; }
        std::size_t operator()(auto key) const { return std::hash<std::string_view>{}(Of(key)); }
        bool operator()(auto a, auto b) const { return Of(a) == Of(b); }
    };

    TCommand_Table& table_;
    TImport_Limits limits_;
    std::unordered_set<int32_t, TRow_Name, TRow_Name> names_;
    TImport_Result result_;
};

// The rows in use as records: durations from the waveform (its idle end is
// the last space). With `parsed_where_known`, a row that decodes to one
// frame of a known protocol is given as its code instead.
std::vector<TIR_Record> Export_Records(const TCommand_Table& table, bool parsed_where_known);

// The sentences an import reports besides the file's own errors, e.g.
// "'A,B' was not added: a command name cannot hold ',' (...)" for each
// unstorable name, then
// "3 commands were not added: their names are already in the table (first: POWER)".
std::vector<std::string> Describe_Import(const TImport_Result& result);

}  // namespace qev

#endif
