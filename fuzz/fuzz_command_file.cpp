// Fuzzes the Command file reader from memory: any bytes as a file, read
// into a small table whole and again in pieces whose sizes the input picks,
// then written back and read again. The table must stay within its rows,
// its row capacity and its name limit; the pieces must not matter; and a
// file the writer produced must read back to the same table.
#include "store/command_file.h"

#include <cstdlib>
#include <string>

namespace {

constexpr qev::TCommand_File_Limits Limits{6, 5};  // the setting allows more rows than the table has

void Check(const qev::TCommand_Table& table) {
    if (table.Command_Count < 0 || table.Command_Count > table.Rows()) std::abort();
    for (int32_t i = 0; i < table.Command_Count; ++i) {
        const auto& row = table.Row(i);
        if (row.Byte_Count < 0 || row.Byte_Count > table.Row_Capacity()) std::abort();
        if (row.Name.size() > static_cast<std::size_t>(qev::Command_Name_Limit)) std::abort();
    }
}

qev::TCommand_Table Small_Table() {
    qev::TCommand_Table table;
    table.Allocate(4, 5);
    return table;
}

bool Same(const qev::TCommand_Table& a, const qev::TCommand_Table& b) {
    if (a.Command_Count != b.Command_Count) return false;
    for (int32_t i = 0; i < a.Command_Count; ++i) {
        const auto &x = a.Row(i), &y = b.Row(i);
        if (x.Name != y.Name || x.Byte_Count != y.Byte_Count) return false;
        for (int32_t j = 0; j < x.Byte_Count; ++j)
            if (x.Bytes[static_cast<std::size_t>(j)] != y.Bytes[static_cast<std::size_t>(j)]) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int messages = 0;
    const qev::TError_Sink sink = [&](const std::string&, const std::string&) { ++messages; };

    qev::TCommand_Table whole = Small_Table();
    const qev::TCommand_File_Result read = qev::Read_Command_Text(text, Limits, whole, sink);
    Check(whole);
    if (messages > 4) std::abort();  // each kind of fault once: names, overflow, full table, repetition

    // The same bytes in pieces of 1 to 16 bytes, sizes taken from the input.
    qev::TCommand_Table pieces = Small_Table();
    qev::TCommand_File_Parser parser(Limits);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t piece = 1 + static_cast<unsigned char>(text[at]) % 16;
        parser.Feed(text.substr(at, piece));
        at += piece;
    }
    const qev::TCommand_File_Result in_pieces = parser.Finish(pieces, {});
    if (in_pieces.Result != read.Result || in_pieces.Repeat != read.Repeat) std::abort();
    if (read.Result >= 0 && !Same(whole, pieces)) std::abort();
    if (read.Result < 0) return 0;

    const int32_t repeat = read.Repeat.value_or(1);
    const std::string written = qev::Command_File_Text(repeat, whole);
    qev::TCommand_Table again = Small_Table();
    const qev::TCommand_File_Result reread = qev::Read_Command_Text(written, Limits, again, {});
    Check(again);
    // Names with ',' ';' or "@REPEAT", a NUL byte, or empty after a comment, cannot round-trip.
    bool plain = true;
    for (int32_t i = 0; i < whole.Command_Count; ++i) {
        const std::string& name = whole.Row(i).Name;
        plain = plain && !name.empty() && name.find_first_of(",;\n\r") == std::string::npos &&
                name.find("@REPEAT") == std::string::npos && name.find('\0') == std::string::npos;
    }
    if (plain && (reread.Result != 0 || reread.Repeat != repeat || !Same(whole, again))) std::abort();
    return 0;
}
