#include "tools/qev_ir/tool_support.h"

#include "base/regular_file.h"
#include "base/text_scan.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <ostream>

namespace qev::ir_tool {

std::string One_Line(std::string_view text) {
    std::string line;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view piece = Trim_Blanks(text.substr(start, end - start));
        if (!piece.empty()) {
            if (!line.empty())
                line += std::string_view(".:!?").find(line.back()) == std::string_view::npos ? ". " : " ";
            line += piece;
        }
        start = end + 1;
    }
    return line;
}

void TMessages::Problem(std::string_view text) {
    err_ << "qev-ir: " << text << '\n';
    problems_ = true;
}

TError_Sink TMessages::Sink_For(const std::string& path) {
    return [this, path](const std::string& text, const std::string&) { Problem(path + ": " + One_Line(text)); };
}

int Usage_Error(std::ostream& err, std::string_view text) {
    err << "qev-ir: " << text << "\nTry 'qev-ir --help'.\n";
    return Ir_Tool_Usage;
}

int Open_Error(const std::string& path) {
    int error = 0;
    const int fd = Open_Regular_File(path, &error);
    if (fd < 0) return error != 0 ? error : EINVAL;
    ::close(fd);
    return 0;
}

bool Read_Command_File(const std::string& path, TCommand_Table& table, TCommand_File_Result& result,
                       TMessages& messages) {
    if (const int error = Open_Error(path); error != 0) {
        messages.Problem(path + ": " + std::strerror(error));
        return false;
    }
    TCommand_File_Reader reader(path, Read_Limits, messages.Sink_For(path));
    if (!reader.Is_Open()) return false;
    table.Allocate(Max_Table_Rows, Row_Bytes_Limit);
    result = reader.Read(table);
    return result.Result >= 0;
}

void Report_Format_Errors(const std::string& path, const TIR_File& file, TMessages& messages) {
    for (const TFormat_Error& error : file.Errors) messages.Problem(Describe_Error(path, error));
}

bool Read_Into_Table(const std::string& path, TCode_Format format, TCommand_Table& table, const TImport_Limits& limits,
                     TMessages& messages) {
    if (format == TCode_Format::Command_File) {
        TCommand_File_Result result;
        return Read_Command_File(path, table, result, messages);
    }
    // Each record goes into the table as it is read, the table taking rows
    // as they are needed: a large file is never held whole.
    table.Allocate(0, Row_Bytes_Limit);
    TImport_Limits growing = limits;
    growing.Grow_Rows = true;
    TImporter importer(table, growing);
    const TIR_File file = Read_Code_File(path, format, [&](TIR_Record&& record) { importer.Add(record); });
    Report_Format_Errors(path, file, messages);
    if (Unreadable(file)) {
        table.Command_Count = 0;  // what came before the fault is dropped
        return false;
    }
    for (const std::string& line : Describe_Import(importer.Result())) messages.Problem(path + ": " + line);
    return true;
}

}  // namespace qev::ir_tool
