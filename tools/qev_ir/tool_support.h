// What the qev-ir commands share: the limits of the files they read, the
// messages on the error stream, and reading a file into a table.
#ifndef QEV_TOOLS_QEV_IR_TOOL_SUPPORT_H
#define QEV_TOOLS_QEV_IR_TOOL_SUPPORT_H

#include "app/core/table_codes.h"
#include "ir/code_files.h"
#include "store/command_file.h"
#include "store/command_table.h"
#include "tools/qev_ir/ir_tool.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace qev::ir_tool {

constexpr int32_t Command_Samples_Limit = Ir_Tool_Command_Samples;
constexpr int32_t Row_Bytes_Limit = Command_Samples_Limit / 8;
constexpr TCommand_File_Limits Read_Limits{Max_Table_Rows, Row_Bytes_Limit};
constexpr TImport_Limits Import_Limits{Max_Table_Rows, Command_Samples_Limit};
// For a table that is only sent from or compared with, never saved.
constexpr TImport_Limits Unsaved_Import_Limits{Max_Table_Rows, Command_Samples_Limit, false};
// check: what import would say, without sampling the waveforms.
constexpr TImport_Limits Check_Limits{Max_Table_Rows, Command_Samples_Limit, true, false};

// The store's messages may run over several lines (a heading, then a
// detail); on a terminal each message keeps to one.
std::string One_Line(std::string_view text);

// The error stream. Every message counts against the run: a run that had
// anything to say about its input does not end with success.
class TMessages {
public:
    explicit TMessages(std::ostream& err) : err_(err) {}

    void Problem(std::string_view text);
    bool Any() const { return problems_; }

    // The sink the Command store reports through, naming the file.
    TError_Sink Sink_For(const std::string& path);

private:
    std::ostream& err_;
    bool problems_ = false;
};

// Says what is wrong with the command line; the exit status for it.
int Usage_Error(std::ostream& err, std::string_view text);

// 0 when the path names a readable regular file, else why not (an errno).
int Open_Error(const std::string& path);

// Reads a Command file into `table`, sized for the largest file. A file
// that cannot be opened is told with its system reason (the store would
// only say it cannot be opened). false when nothing was read.
bool Read_Command_File(const std::string& path, TCommand_Table& table, TCommand_File_Result& result,
                       TMessages& messages);

// Each format error of a code file, as one message.
void Report_Format_Errors(const std::string& path, const TIR_File& file, TMessages& messages);

// Reads FILE of any format into `table`: a Command file as it is, a code
// file's records imported as File > Import imports them (telling what it
// left out or cut), each as it is read. The file's faults go to `messages`.
// false when the file could not be read at all (the table then holds no
// commands).
bool Read_Into_Table(const std::string& path, TCode_Format format, TCommand_Table& table, const TImport_Limits& limits,
                     TMessages& messages);

}  // namespace qev::ir_tool

#endif
