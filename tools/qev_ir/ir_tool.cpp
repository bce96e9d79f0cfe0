#include "tools/qev_ir/ir_tool.h"

#include "app/core/table_codes.h"
#include "base/text_case.h"
#include "base/text_scan.h"
#include "ir/code_files.h"
#include "ir/decoder.h"
#include "ir/ir_signal.h"
#include "ir/protocols.h"
#include "ir/sampling.h"
#include "store/command_file.h"
#include "store/command_table.h"
#include "tools/qev_ir/device_commands.h"
#include "tools/qev_ir/tool_support.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qev {
namespace {

using ir_tool::Command_Samples_Limit;
using ir_tool::Import_Limits;
using ir_tool::Open_Error;
using ir_tool::Read_Command_File;
using ir_tool::Read_Into_Table;
using ir_tool::Report_Format_Errors;
using ir_tool::Row_Bytes_Limit;
using ir_tool::TMessages;
using ir_tool::Usage_Error;

constexpr int32_t New_File_Repeat = 1;

constexpr const char* Extensions_Text = ".rmt, .ir, .conf or .pronto";

// "tv" for "/home/me/tv.conf": the file name up to its last '.'.
std::string Stem_Of(const std::string& path) {
    const std::string name = File_Name_Of(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// A lircd.conf remote is named after its file, unless the file has the
// generic name LIRC gives it; then the source file names it.
std::string Remote_Name(const std::string& in, const std::string& out) {
    const std::string stem = Stem_Of(out);
    return Same_Ignoring_Case(stem, "lircd") ? Stem_Of(in) : stem;
}

std::string Protocol_Names() {
    std::string names;
    for (const TProtocol_Info& info : All_Protocols()) {
        if (!names.empty()) names += ", ";
        names += info.Name;
    }
    return names;
}

std::string Description(const std::optional<TDecoded>& decoded) {
    return decoded ? Describe_Decoded(decoded) : std::string("unknown");
}

// ---- decode ---------------------------------------------------------------------

// The lines are gathered and written at once: a large file has thousands.
int Decode(const std::string& path, TCode_Format format, std::ostream& out, TMessages& messages) {
    std::string lines;
    const auto add_line = [&](std::string_view name, const std::string& text) {
        lines.append(name).append("  ").append(text) += '\n';
    };
    if (format == TCode_Format::Command_File) {
        TCommand_Table table;
        TCommand_File_Result result;
        if (!Read_Command_File(path, table, result, messages)) return Ir_Tool_Failed;
        for (int32_t row = 0; row < table.Rows_In_Use(); ++row) {
            add_line(table.Row(row).Name, Description(Decode_Levels(Row_Levels(table, row))));
        }
    } else {
        // Each record as it is read: a parsed one is its code; only
        // durations need the decoder.
        const TIR_File file = Read_Code_File(path, format, [&](TIR_Record&& record) {
            add_line(record.Name, record.Code ? Describe_Code(*record.Code)
                                              : Description(Decode_Record(record, Command_Samples_Limit)));
        });
        if (Unreadable(file)) lines.clear();  // what came before the fault is dropped
        Report_Format_Errors(path, file, messages);
    }
    out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    return messages.Any() ? Ir_Tool_Failed : Ir_Tool_Ok;
}

// ---- convert --------------------------------------------------------------------

int Nothing_To_Write(const std::string& in, const std::string& out, TMessages& messages) {
    messages.Problem(in + ": no commands to convert; " + out + " was not written");
    return Ir_Tool_Failed;
}

int Convert(const std::string& in, TCode_Format in_format, const std::string& out, TCode_Format out_format,
            TMessages& messages) {
    const bool from_table = in_format == TCode_Format::Command_File;
    TCommand_Table table;
    int32_t repeat = New_File_Repeat;
    std::vector<TIR_Record> records;
    if (from_table) {
        TCommand_File_Result result;
        if (!Read_Command_File(in, table, result, messages)) return Ir_Tool_Failed;
        repeat = result.Repeat.value_or(New_File_Repeat);
    } else if (out_format == TCode_Format::Command_File) {
        // Sampled into the table as the records are read.
        Read_Into_Table(in, in_format, table, Import_Limits, messages);
    } else {
        TIR_File file = Read_Code_File(in, in_format);
        Report_Format_Errors(in, file, messages);
        records = std::move(file.Records);
    }

    if (out_format == TCode_Format::Command_File) {
        // A Command file copied to a Command file keeps its rows and its
        // repetition count exactly; other files are sampled into the table.
        if (table.Command_Count == 0) return Nothing_To_Write(in, out, messages);
        if (!Save_Command_File(out, repeat, table, messages.Sink_For(out))) return Ir_Tool_Failed;
    } else {
        if (from_table) {
            records = Export_Records(table, out_format == TCode_Format::Flipper);
        } else if (out_format != TCode_Format::Flipper) {
            // lircd.conf and Pronto hold durations only.
            for (TIR_Record& record : records) {
                if (!record.Code) continue;
                record.Timing = Encode(*record.Code);
                record.Code.reset();
            }
        }
        if (records.empty()) return Nothing_To_Write(in, out, messages);
        const std::string text = Code_File_Text(records, out_format, Remote_Name(in, out));
        if (const int error = Save_Text_File(out, text); error != 0) {
            messages.Problem(out + ": " + std::strerror(error));
            return Ir_Tool_Failed;
        }
    }
    return messages.Any() ? Ir_Tool_Failed : Ir_Tool_Ok;
}

// ---- check ----------------------------------------------------------------------

// Reads the file as the window's File > Import reads it (every command
// into a table as it is read; nothing written) and says how many commands
// it holds; what would be refused, left out or cut goes to the messages.
// The waveforms are not sampled: nothing keeps them, and a command is
// decoded or encoded only where its length could decide a cut.
int Check(const std::string& path, TCode_Format format, std::ostream& out, TMessages& messages) {
    TCommand_Table table;
    // A code file that cannot be read is still counted (0 commands), with
    // its fault told; a Command file the store cannot open ends here.
    if (!Read_Into_Table(path, format, table, ir_tool::Check_Limits, messages) &&
        format == TCode_Format::Command_File) {
        return Ir_Tool_Failed;
    }
    const int32_t count = table.Rows_In_Use();
    out << path << ": " << count << (count == 1 ? " command" : " commands")
        << (messages.Any() ? ", with the problems told above\n" : "\n");
    return messages.Any() ? Ir_Tool_Failed : Ir_Tool_Ok;
}

// ---- encode ---------------------------------------------------------------------

int Encode_Command(const std::vector<std::string>& args, std::ostream& err, TMessages& messages) {
    const std::string& path = args[1];
    const std::string& name = args[2];
    if (Format_Of_Path(path) != TCode_Format::Command_File) {
        return Usage_Error(err, "'" + path + "': encode writes a Command file (.rmt)");
    }
    if (name.empty()) return Usage_Error(err, "the command name is empty");
    if (name.size() > static_cast<std::size_t>(Command_Name_Limit)) {
        return Usage_Error(err, "the command name is " + std::to_string(name.size()) + " characters long; " +
                                    std::to_string(Command_Name_Limit) + " at most");
    }
    if (const std::optional<std::string> problem = Command_File_Name_Problem(name)) return Usage_Error(err, *problem);
    const std::optional<TProtocol> protocol = Find_Protocol(args[3]);
    if (!protocol) return Usage_Error(err, "unknown protocol '" + args[3] + "' (known: " + Protocol_Names() + ")");
    const std::optional<uint64_t> address = Scan_Unsigned(args[4], UINT32_MAX);
    if (!address)
        return Usage_Error(err, "address '" + args[4] + "' is not a number (decimal, or hexadecimal after 0x)");
    const std::optional<uint64_t> command = Scan_Unsigned(args[5], UINT32_MAX);
    if (!command)
        return Usage_Error(err, "command '" + args[5] + "' is not a number (decimal, or hexadecimal after 0x)");
    const TIR_Code code{*protocol, static_cast<uint32_t>(*address), static_cast<uint32_t>(*command)};
    if (const std::optional<std::string> problem = Code_Problem(code)) return Usage_Error(err, *problem);

    TCommand_Table table;
    int32_t repeat = New_File_Repeat;
    if (const int error = Open_Error(path); error == ENOENT) {
        table.Allocate(Max_Table_Rows, Row_Bytes_Limit);
    } else if (error != 0) {
        messages.Problem(path + ": " + std::strerror(error));
        return Ir_Tool_Failed;
    } else {
        // Saving a file the store could not read whole would drop what it
        // left out, so any complaint leaves the file as it is.
        TCommand_File_Result result;
        if (!Read_Command_File(path, table, result, messages) || result.Result != 0 || messages.Any()) {
            messages.Problem(path + ": left unchanged, as saving it would lose what could not be read");
            return Ir_Tool_Failed;
        }
        repeat = result.Repeat.value_or(New_File_Repeat);
    }
    if (Find_Command(table, name) >= 0) {
        messages.Problem(path + ": a command named '" + name + "' is already in the file");
        return Ir_Tool_Failed;
    }
    const TImport_Result imported = Import_Records({TIR_Record{name, code, {}}}, table, Import_Limits);
    const std::vector<std::string> lines = Describe_Import(imported);
    if (imported.Added != 1 || !lines.empty()) {
        for (const std::string& line : lines) messages.Problem(path + ": " + line);
        return Ir_Tool_Failed;
    }
    if (!Save_Command_File(path, repeat, table, messages.Sink_For(path))) return Ir_Tool_Failed;
    return Ir_Tool_Ok;
}

// ---- the command line -----------------------------------------------------------

struct TTool_Command {
    const char* Name;
    const char* Arguments;
    std::size_t Argument_Count;
};

constexpr TTool_Command Tool_Commands[] = {
    {"check", "FILE", 1},
    {"convert", "IN OUT", 2},
    {"decode", "FILE", 1},
    {"encode", "FILE.rmt NAME PROTOCOL ADDRESS COMMAND", 5},
};

int Run_Command(const TTool_Command& command, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
    if (args.size() != command.Argument_Count + 1) {
        return Usage_Error(err, std::string(command.Name) + " takes " + std::to_string(command.Argument_Count) +
                                    (command.Argument_Count == 1 ? " argument: " : " arguments: ") + command.Arguments);
    }
    TMessages messages(err);
    const std::string_view name = command.Name;
    if (name == "encode") return Encode_Command(args, err, messages);

    // check, convert and decode: the formats first, before any file is touched.
    std::vector<TCode_Format> formats;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::optional<TCode_Format> format = Format_Of_Path(args[i]);
        if (!format) {
            return Usage_Error(err, "'" + args[i] + "': unknown extension (use " + Extensions_Text + ")");
        }
        formats.push_back(*format);
    }
    if (name == "check") return Check(args[1], formats[0], out, messages);
    if (name == "decode") return Decode(args[1], formats[0], out, messages);
    return Convert(args[1], formats[0], args[2], formats[1], messages);
}

}  // namespace

std::string Ir_Tool_Usage_Text() {
    std::string text =
        "Usage: qev-ir COMMAND ARGUMENT...\n"
        "Checks, converts, decodes and creates infrared remote-control commands, and\n"
        "sends and receives them through a kernel IR device.\n"
        "\n"
        "  qev-ir check FILE\n"
        "      Reads FILE as the window's File > Import reads it, writing nothing,\n"
        "      and prints how many commands it holds; anything refused, left out or\n"
        "      cut is told on stderr.\n"
        "  qev-ir convert IN OUT\n"
        "      Writes the commands of IN to OUT, in the formats their extensions name.\n"
        "  qev-ir decode FILE\n"
        "      Prints a line for each command: its name and the protocol, address and\n"
        "      command it carries, or 'unknown'.\n"
        "  qev-ir encode FILE.rmt NAME PROTOCOL ADDRESS COMMAND\n"
        "      Adds a command to a Command file, creating the file (@REPEAT = 1) if it\n"
        "      does not exist. ADDRESS and COMMAND are decimal, or hexadecimal after 0x.\n"
        "  qev-ir send FILE NAME [--device DEVICE] [--count N]\n"
        "      Sends the command NAME of FILE (any format below) through the kernel IR\n"
        "      device DEVICE (default /dev/lirc0) as the program sends it: N times\n"
        "      (default: a Command file's @REPEAT, else 1), with the carrier of its\n"
        "      protocol (RC5 and RC6 36 kHz, Kaseikyo 37 kHz, SIRC and Pioneer 40 kHz,\n"
        "      RCA 56 kHz, others 38 kHz).\n"
        "  qev-ir receive [FILE] [--device DEVICE] [--count N] [--timeout S]\n"
        "      Prints each signal DEVICE receives: a line with its protocol, address\n"
        "      and command (or 'Unknown protocol'), after the name of the command of\n"
        "      FILE it is (or '-') when FILE is given, then its durations in\n"
        "      microseconds, mark first. Ends after N signals, after S seconds without\n"
        "      one, or at Ctrl-C.\n"
        "  qev-ir --help\n"
        "      Prints this text.\n"
        "\n"
        "Formats, by extension in any case:\n"
        "  .rmt     Command file\n"
        "  .ir      Flipper infrared file\n"
        "  .conf    lircd.conf\n"
        "  .pronto  Pronto hex\n"
        "\n"
        "Protocols, in any case, with their largest address and command:\n";
    for (const TProtocol_Info& info : All_Protocols()) {
        char line[96];
        std::snprintf(line, sizeof line, "  %-10s  address 0x%X  command 0x%X\n", info.Name,
                      static_cast<unsigned>(info.Address_Max), static_cast<unsigned>(info.Command_Max));
        text += line;
    }
    text +=
        "\n"
        "Exit status: 0 done, 1 a failure or a problem in the input (told on stderr),\n"
        "2 a wrong command line.\n"
        "\n"
        "IO_LIRC_DEVICE names the device when --device does not. IO_BACKEND=simlirc\n"
        "sends and receives through the port library's simulated IR device instead.\n";
    return text;
}

int Run_Ir_Tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << Ir_Tool_Usage_Text();
        return Ir_Tool_Usage;
    }
    const std::string& first = args[0];
    int status = Ir_Tool_Usage;
    if (first == "--help" || first == "-h" || first == "help") {
        out << Ir_Tool_Usage_Text();
        status = Ir_Tool_Ok;
    } else if (first == "send") {
        status = ir_tool::Send_Through_Device(args, out, err);
    } else if (first == "receive") {
        status = ir_tool::Receive_From_Device(args, out, err);
    } else {
        const TTool_Command* command = nullptr;
        for (const TTool_Command& c : Tool_Commands) {
            if (first == c.Name) command = &c;
        }
        if (command == nullptr) return Usage_Error(err, "unknown command '" + first + "'");
        status = Run_Command(*command, args, out, err);
    }
    // Output that never arrived (a full disk, a closed pipe) is a failure too.
    if (!out.flush()) {
        err << "qev-ir: standard output could not be written\n";
        if (status == Ir_Tool_Ok) status = Ir_Tool_Failed;
    }
    return status;
}

}  // namespace qev
