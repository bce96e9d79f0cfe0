// Fuzzes the Command file reader: any bytes as a file, read into a small
// table, written back and read again. The table must stay within its rows,
// its row capacity and its name limit, and a file the writer produced must
// read back to the same table.
#include "command_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class TSilent : public qev::TUser_Feedback {
public:
    qev::TMessage_Answer Message_Box(const std::string&, const std::string&, qev::TMessage_Kind) override {
        return qev::TMessage_Answer::OK;
    }
};

std::string Scratch_File(const char* name) {
    static const std::string folder = [] {
        std::string pattern = "/tmp/qev_fuzz_XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return folder + "/" + name;
}

void Check(const qev::TCommand_Table& table) {
    if (table.Command_Count < 0 || table.Command_Count > table.Rows()) std::abort();
    for (int32_t i = 0; i < table.Command_Count; ++i) {
        const auto& row = table.Row(i);
        if (row.Byte_Count < 0 || row.Byte_Count > table.Row_Capacity()) std::abort();
        if (row.Name.size() > static_cast<std::size_t>(qev::Command_Name_Limit)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in = Scratch_File("in.rmt"), out = Scratch_File("out.rmt");
    if (std::FILE* f = std::fopen(in.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    TSilent feedback;
    qev::TSettings settings;
    settings.MAX_RMTCMD_NUM = 6;
    settings.MAX_RMTCMD_BIT_LENGTH = 37;   // 5 bytes per row, not a multiple of 8 samples
    qev::TCommand_Table table;
    table.Allocate(4, qev::Row_Capacity_For(40));   // fewer rows than the setting allows
    if (qev::Load_Command_File(in, 0, settings, table, feedback) < 0) return 0;
    Check(table);
    if (!qev::Save_Command_File(out, settings, table, feedback)) return 0;
    qev::TCommand_Table again;
    again.Allocate(4, qev::Row_Capacity_For(40));
    const int32_t repeat = settings.REPEAT;
    const int result = qev::Load_Command_File(out, 0, settings, again, feedback);
    Check(again);
    // Names with ',' ';' or "@REPEAT", or empty after a comment, cannot round-trip.
    bool plain = true;
    for (int32_t i = 0; i < table.Command_Count; ++i) {
        const std::string& name = table.Row(i).Name;
        plain = plain && !name.empty() && name.find_first_of(",;\n\r") == std::string::npos &&
                name.find("@REPEAT") == std::string::npos && name.find('\0') == std::string::npos;
    }
    if (plain) {
        if (result != 0 || settings.REPEAT != repeat || again.Command_Count != table.Command_Count) std::abort();
        for (int32_t i = 0; i < table.Command_Count; ++i) {
            const auto &a = table.Row(i), &b = again.Row(i);
            if (a.Name != b.Name || a.Byte_Count != b.Byte_Count) std::abort();
            for (int32_t j = 0; j < a.Byte_Count; ++j)
                if (a.Bytes[static_cast<std::size_t>(j)] != b.Bytes[static_cast<std::size_t>(j)]) std::abort();
        }
    }
    return 0;
}
