// qev-ir: converting, decoding and creating infrared commands from the shell.
//
//   qev-ir convert IN OUT          the commands of IN written to OUT
//   qev-ir decode FILE             one "NAME  PROTOCOL  address ..  command .." line a command
//   qev-ir encode FILE.rmt NAME PROTOCOL ADDRESS COMMAND
//                                  a protocol code added to a Command file
//
// Formats follow the extensions: .rmt Command file, .ir Flipper, .conf
// lircd.conf, .pronto Pronto hex. Messages go to the error stream, one line
// each, beginning "qev-ir: ".
#ifndef QEV_TOOLS_QEV_IR_IR_TOOL_H
#define QEV_TOOLS_QEV_IR_IR_TOOL_H

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace qev {

// The longest command the tool handles: 16 s (131,072 samples, 16 kB a row,
// reserved as a row is first written): room for any remote's command, while
// a file of thousands of commands stays within a few hundred megabytes. A
// longer row is cut, and said so.
constexpr int32_t Ir_Tool_Command_Samples = 1 << 17;

// What Run_Ir_Tool returns.
constexpr int Ir_Tool_Ok = 0;
constexpr int Ir_Tool_Failed = 1;  // a failure, or a problem reported in the input
constexpr int Ir_Tool_Usage = 2;   // the command line is wrong

// Runs one command line (`args` without the program name), printing results
// on `out` and messages on `err`; the exit status.
int Run_Ir_Tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text --help prints.
std::string Ir_Tool_Usage_Text();

}  // namespace qev

#endif
