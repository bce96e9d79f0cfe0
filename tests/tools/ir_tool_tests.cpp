// The qev-ir command line, run in this process against scratch folders, and
// once as the built program.
#include "ir/protocols.h"
#include "store/command_table.h"
#include "tests/support/temp_env.h"
#include "tools/qev_ir/ir_tool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace qev {
namespace {

using test::File_Exists;
using test::Limit_File_Size;
using test::Read_File;
using test::TTemp_Dir;
using test::Write_File;

struct TRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

TRun Tool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    TRun run;
    run.Exit = Run_Ir_Tool(args, out, err);
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The text with every '@' standing for the path.
std::string With_Path(std::string text, const std::string& path) {
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size())) {
        text.replace(at, 1, path);
    }
    return text;
}

// Four commands: three protocol codes and a signal no protocol matches.
const std::string Flipper_Source =
    "Filetype: IR signals file\n"
    "Version: 1\n"
    "#\n"
    "name: POWER\n"
    "type: parsed\n"
    "protocol: NEC\n"
    "address: 04 00 00 00\n"
    "command: 08 00 00 00\n"
    "#\n"
    "name: VOL+\n"
    "type: parsed\n"
    "protocol: RC5\n"
    "address: 05 00 00 00\n"
    "command: 10 00 00 00\n"
    "#\n"
    "name: MUTE\n"
    "type: parsed\n"
    "protocol: SIRC\n"
    "address: 01 00 00 00\n"
    "command: 14 00 00 00\n"
    "#\n"
    "name: ODD\n"
    "type: raw\n"
    "frequency: 38000\n"
    "duty_cycle: 0.330000\n"
    "data: 375 250 1250 125 625 3000\n";

const std::string Source_Decoded =
    "POWER  NEC  address 0x04  command 0x08\n"
    "VOL+  RC5  address 0x05  command 0x10\n"
    "MUTE  SIRC  address 0x01  command 0x14\n"
    "ODD  unknown\n";

class Ir_Tool_Test : public ::testing::Test {
protected:
    TTemp_Dir dir;
    std::string Path(const std::string& name) const { return dir.File(name); }

    // The line a fresh encode gives a command, CR LF included.
    std::string Row_Line(const std::string& name, const std::string& protocol, const std::string& address,
                         const std::string& command) {
        const std::string scratch = Path("row_" + std::to_string(rows_++) + ".rmt");
        EXPECT_EQ(Tool({"encode", scratch, name, protocol, address, command}).Exit, 0);
        const std::string text = Read_File(scratch);
        std::filesystem::remove(scratch);
        const std::size_t end = text.find("\r\n");
        return end == std::string::npos ? std::string() : text.substr(end + 2);
    }

private:
    int rows_ = 0;
};

TEST_F(Ir_Tool_Test, A_Command_Encoded_Into_A_New_File_Decodes_To_Its_Code) {
    struct TCase {
        const char* Name;
        std::string Command;
        const char* Protocol;
        const char* Address;
        const char* Code;
        std::string Decoded;  // after the name
    };
    const TCase cases[] = {
        {"nec_hex_and_decimal", "POWER", "NEC", "0x04", "8", "NEC  address 0x04  command 0x08"},
        {"protocol_in_any_case", "P", "nec", "0X1f", "0xA0", "NEC  address 0x1F  command 0xA0"},
        {"leading_zeros_are_decimal", "Z", "NEC", "010", "0x00", "NEC  address 0x0A  command 0x00"},
        {"necext", "E", "NECext", "0x1234", "0x5678", "NECext  address 0x1234  command 0x5678"},
        {"nec42", "F", "NEC42", "0x1ABC", "0x55", "NEC42  address 0x1ABC  command 0x55"},
        {"samsung32", "S", "Samsung32", "7", "2", "Samsung32  address 0x07  command 0x02"},
        {"rc5_largest_code", "R", "RC5", "31", "63", "RC5  address 0x1F  command 0x3F"},
        {"rc5x", "X", "rc5x", "3", "0x45", "RC5X  address 0x03  command 0x45"},
        {"rc6", "6", "RC6", "0x10", "0x0C", "RC6  address 0x10  command 0x0C"},
        {"sirc", "SONY", "SIRC", "1", "0x15", "SIRC  address 0x01  command 0x15"},
        {"sirc15", "SONY15", "SIRC15", "0x97", "0x2A", "SIRC15  address 0x97  command 0x2A"},
        {"sirc20", "SONY20", "SIRC20", "0x1ABC", "0x33", "SIRC20  address 0x1ABC  command 0x33"},
        {"name_of_79_characters", std::string(79, 'n'), "NEC", "1", "2", "NEC  address 0x01  command 0x02"},
        {"name_with_blanks", "Vol up 2", "NEC", "1", "3", "NEC  address 0x01  command 0x03"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string file = Path(std::string(c.Name) + ".rmt");
        const TRun encoded = Tool({"encode", file, c.Command, c.Protocol, c.Address, c.Code});
        EXPECT_EQ(encoded.Exit, 0);
        EXPECT_EQ(encoded.Out + encoded.Err, "");
        const std::string text = Read_File(file);
        EXPECT_EQ(text.rfind("@REPEAT = 1\r\n" + c.Command + ",", 0), 0u);
        const TRun decoded = Tool({"decode", file});
        EXPECT_EQ(decoded.Exit, 0);
        EXPECT_EQ(decoded.Out, c.Command + "  " + c.Decoded + "\n");
        EXPECT_EQ(decoded.Err, "");
    }
}

TEST_F(Ir_Tool_Test, Encode_Appends_And_Keeps_The_Repeat_Count) {
    const std::string first = Row_Line("FIRST", "NEC", "1", "1");
    const std::string second = Row_Line("SECOND", "RC6", "2", "3");
    struct TCase {
        const char* Name;
        std::string Before;  // the file: Before, FIRST's line, After
        std::string After;
        std::string Saved_Repeat_Line;
    };
    const TCase cases[] = {
        {"repeat_3", "@REPEAT = 3\r\n", "", "@REPEAT = 3\r\n"},
        {"without_a_repeat_line", "", "", "@REPEAT = 1\r\n"},
        {"comment_and_lf_line_ends", "; living room\n@REPEAT = 7\n", "", "@REPEAT = 7\r\n"},
        {"repeat_line_after_the_rows", "", "@REPEAT = 12\r\n", "@REPEAT = 12\r\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string file = Path(std::string(c.Name) + ".rmt");
        Write_File(file, c.Before + first + c.After);
        const TRun run = Tool({"encode", file, "SECOND", "RC6", "2", "3"});
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Out + run.Err, "");
        EXPECT_EQ(Read_File(file), c.Saved_Repeat_Line + first + second);
        EXPECT_EQ(Tool({"decode", file}).Out,
                  "FIRST  NEC  address 0x01  command 0x01\n"
                  "SECOND  RC6  address 0x02  command 0x03\n");
    }
}

// A file encode cannot add to is left as it was, byte for byte: saving a
// file the reader complained about would lose what it could not read.
TEST_F(Ir_Tool_Test, Encode_Leaves_A_File_It_Cannot_Add_To_Unchanged) {
    const std::string power = Row_Line("POWER", "NEC", "4", "8");
    std::string overlong_row;  // a byte more than a row holds
    for (int32_t i = 0; i <= Ir_Tool_Command_Samples / 8; ++i) overlong_row += ",00";
    const std::string unchanged = "qev-ir: @: left unchanged, as saving it would lose what could not be read\n";
    struct TCase {
        const char* Name;
        std::string Text;
        std::string Err;  // "@" for the file's path
    };
    const TCase cases[] = {
        {"duplicate_name", "@REPEAT = 2\r\n" + power, "qev-ir: @: a command named 'POWER' is already in the file\n"},
        {"bad_repeat_line", "@REPEAT = x\r\n" + power, "qev-ir: @: Can't Read REPEAT Value\n" + unchanged},
        {"long_name_in_the_file", "@REPEAT = 2\r\n" + std::string(85, 'n') + ",FF\r\n",
         "qev-ir: @: Command Name is too long (79 characters at most). Line 2: its first 79 characters are kept.\n" +
             unchanged},
        {"row_beyond_the_sample_limit", "@REPEAT = 2\r\nHUGE" + overlong_row + "\r\n",
         "qev-ir: @: Command Buffer Overflow. Line 2: its first " + std::to_string(Ir_Tool_Command_Samples / 8) +
             " bytes are kept.\n" + unchanged},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string file = Path(std::string(c.Name) + ".rmt");
        Write_File(file, c.Text);
        const TRun run = Tool({"encode", file, "POWER", "RC5", "1", "2"});
        EXPECT_EQ(run.Exit, 1);
        EXPECT_EQ(run.Err, With_Path(c.Err, file));
        EXPECT_TRUE(Read_File(file) == c.Text);
    }
    const std::string folder = Path("box.rmt");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const TRun run = Tool({"encode", folder, "POWER", "NEC", "1", "2"});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err, "qev-ir: " + folder + ": Is a directory\n");
}

// Every format converted to every other and decoded names the same codes;
// the raw signal stays one no protocol matches.
TEST_F(Ir_Tool_Test, Convert_Between_Every_Pair_Of_Formats_Keeps_The_Codes) {
    const char* const extensions[] = {"rmt", "ir", "conf", "pronto"};
    Write_File(Path("source.ir"), Flipper_Source);
    for (const char* from : extensions) {
        const TRun run = Tool({"convert", Path("source.ir"), Path(std::string("first.") + from)});
        ASSERT_EQ(run.Exit, 0) << from << ": " << run.Err;
        EXPECT_EQ(run.Out + run.Err, "");
    }
    for (const char* from : extensions) {
        for (const char* to : extensions) {
            SCOPED_TRACE(std::string(from) + " to " + to);
            const std::string out = Path(std::string("from_") + from + "." + to);
            const TRun run = Tool({"convert", Path(std::string("first.") + from), out});
            EXPECT_EQ(run.Exit, 0);
            EXPECT_EQ(run.Out + run.Err, "");
            const TRun decoded = Tool({"decode", out});
            EXPECT_EQ(decoded.Exit, 0);
            EXPECT_EQ(decoded.Out, Source_Decoded);
            EXPECT_EQ(decoded.Err, "");
        }
    }
}

TEST_F(Ir_Tool_Test, Extensions_Are_Read_In_Any_Case) {
    Write_File(Path("source.IR"), Flipper_Source);
    const TRun run = Tool({"convert", Path("source.IR"), Path("TV.Rmt")});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(Tool({"decode", Path("TV.Rmt")}).Out, Source_Decoded);
}

// A Command file copied to a Command file keeps its rows and its
// repetition count byte for byte, leading idle samples included.
TEST_F(Ir_Tool_Test, A_Command_File_Converted_To_A_Command_File_Is_Copied_Exactly) {
    const std::string text = "@REPEAT = 4\r\nBLIP,00,0F,00,F0\r\n" + Row_Line("POWER", "NEC", "4", "8");
    Write_File(Path("tv.rmt"), text);
    const TRun run = Tool({"convert", Path("tv.rmt"), Path("copy.rmt")});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(Read_File(Path("copy.rmt")), text);
}

TEST_F(Ir_Tool_Test, A_Lircd_Remote_Is_Named_After_Its_File) {
    Write_File(Path("living.ir"), Flipper_Source);
    ASSERT_EQ(Tool({"convert", Path("living.ir"), Path("den.rmt")}).Exit, 0);
    struct TCase {
        const char* Name;
        const char* In;
        const char* Out;
        const char* Remote;
    };
    const TCase cases[] = {
        {"own_file_name", "living.ir", "tv.conf", "tv"},
        {"generic_lircd_takes_the_source", "living.ir", "lircd.conf", "living"},
        {"generic_name_in_any_case", "den.rmt", "LIRCD.CONF", "den"},
        {"only_the_last_extension_goes", "den.rmt", "tv.remote.conf", "tv.remote"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::create_directory(Path(c.Name));
        const std::string path = Path(std::string(c.Name) + "/" + c.Out);
        EXPECT_EQ(Tool({"convert", Path(c.In), path}).Exit, 0);
        EXPECT_TRUE(Contains(Read_File(path), std::string("\n  name  ") + c.Remote + "\n"));
    }
}

// A bad record is told with its line and left out; the others are still
// converted, and the run fails.
TEST_F(Ir_Tool_Test, A_Malformed_Input_Is_Told_By_Line_And_Its_Good_Records_Still_Convert) {
    std::string bad_flipper = Flipper_Source;
    bad_flipper.replace(bad_flipper.find("375 250"), 3, "x9");  // ODD's data, line 26
    struct TCase {
        const char* Name;
        const char* In;
        std::string Text;
        const char* Out;
        std::string Err;  // with "@" for the input's path
        std::string Decoded;
        int Commands;  // that check counts
    };
    const TCase cases[] = {
        {"flipper_bad_duration", "tv.ir", bad_flipper, "tv.rmt", "qev-ir: @, line 26: bad duration 'x9'\n",
         "POWER  NEC  address 0x04  command 0x08\n"
         "VOL+  RC5  address 0x05  command 0x10\n"
         "MUTE  SIRC  address 0x01  command 0x14\n",
         3},
        {"pronto_bad_word", "codes.pronto",
         "# codes\nONE: 0000 006D 0001 0000 0156 00AB\nTWO: 0000 zz 0001 0000 0156 00AB\n"
         "THREE: 0000 006D 0001 0000 0015 0E47\n",
         "codes.ir", "qev-ir: @, line 3: bad word 'zz'; Pronto codes are four-digit hex words\n",
         "ONE  unknown\nTHREE  unknown\n", 2},
        {"lircd_bad_duration", "tv.conf",
         "begin remote\n  name tv\n  flags RAW_CODES\n  frequency 38000\n  gap 40000\n  begin raw_codes\n"
         "    name ONE\n      9000 4500 560\n    name TWO\n      9000 x 560\n    name THREE\n      560 560 560\n"
         "  end raw_codes\nend remote\n",
         "tv.pronto", "qev-ir: @, line 10: remote 'tv': bad duration 'x' for key 'TWO'\n",
         "ONE  unknown\nTHREE  unknown\n", 2},
        {"command_file_long_name", "tv.rmt", "@REPEAT = 1\r\n" + std::string(85, 'n') + ",FF\r\nSHORT,0F\r\n", "tv.ir",
         "qev-ir: @: Command Name is too long (79 characters at most). Line 2: its first 79 characters are kept.\n",
         std::string(79, 'n') + "  unknown\nSHORT  unknown\n", 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::create_directory(Path(c.Name));
        const std::string in = Path(std::string(c.Name) + "/" + c.In);
        const std::string out = Path(std::string(c.Name) + "/" + c.Out);
        Write_File(in, c.Text);
        const std::string expected_err = With_Path(c.Err, in);
        const TRun run = Tool({"convert", in, out});
        EXPECT_EQ(run.Exit, 1);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err, expected_err);
        const TRun decoded = Tool({"decode", out});
        EXPECT_EQ(decoded.Exit, 0) << decoded.Err;
        EXPECT_EQ(decoded.Out, c.Decoded);
        // Decoding the input itself tells the same and lists the same commands.
        const TRun direct = Tool({"decode", in});
        EXPECT_EQ(direct.Exit, 1);
        EXPECT_EQ(direct.Err, expected_err);
        // Checking it tells the same, and counts what would be imported.
        const TRun checked = Tool({"check", in});
        EXPECT_EQ(checked.Exit, 1);
        EXPECT_EQ(checked.Err, expected_err);
        EXPECT_EQ(checked.Out, in + ": " + std::to_string(c.Commands) + " commands, with the problems told above\n");
    }
}

// check reads a file as File > Import does and writes nothing: a sound file
// passes with its count; one whose commands the table cannot hold as they
// are fails with what import would say, in any format.
TEST_F(Ir_Tool_Test, Check_Reads_As_Import_Does_And_Writes_Nothing) {
    std::string many_names = "Filetype: IR signals file\nVersion: 1\n";
    for (int i = 0; i < 2; ++i) {
        many_names += "#\nname: " + std::string(90, 'k') +
                      "\ntype: parsed\nprotocol: NEC\naddress: 01 00 00 00\ncommand: 0" + std::to_string(i) +
                      " 00 00 00\n";
    }
    struct TCase {
        const char* Name;
        const char* File;
        std::string Text;
        int Exit;
        std::string Out;  // after the path
        std::string Err;  // with "@" for the path
    };
    const TCase cases[] = {
        {"flipper", "tv.ir", Flipper_Source, 0, ": 4 commands\n", ""},
        {"one_command", "one.rmt", Row_Line("POWER", "NEC", "4", "8"), 0, ": 1 command\n", ""},
        {"name_too_long_and_then_the_same", "long.ir", many_names, 1, ": 1 command, with the problems told above\n",
         "qev-ir: @: 1 command was not added: the name is already in the table (first: " + std::string(79, 'k') +
             ")\nqev-ir: @: 1 name was cut to 79 characters\n"},
        {"no_commands", "empty.pronto", "# nothing\n", 0, ": 0 commands\n", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string file = Path(c.File);
        Write_File(file, c.Text);
        const auto before = std::filesystem::directory_iterator(Path(""));
        const std::size_t files_before = static_cast<std::size_t>(std::distance(before, {}));
        const TRun run = Tool({"check", file});
        EXPECT_EQ(run.Exit, c.Exit);
        EXPECT_EQ(run.Out, file + c.Out);
        EXPECT_EQ(run.Err, With_Path(c.Err, file));
        EXPECT_EQ(static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(Path("")), {})),
                  files_before);
    }
}

// A Command file line splits at commas, comments out after ';' and takes
// "@REPEAT" for the repetition count: a name holding one is left out of a
// Command file (another format keeps it).
TEST_F(Ir_Tool_Test, Names_A_Command_File_Cannot_Hold_Are_Left_Out_Of_It) {
    const std::string in = Path("tv.ir");
    Write_File(in,
               "Filetype: IR signals file\nVersion: 1\n"
               "#\nname: A,B\ntype: parsed\nprotocol: NEC\naddress: 01 00 00 00\ncommand: 02 00 00 00\n"
               "#\nname: C\ntype: parsed\nprotocol: NEC\naddress: 01 00 00 00\ncommand: 03 00 00 00\n"
               "#\nname: X @REPEAT\ntype: parsed\nprotocol: NEC\naddress: 01 00 00 00\ncommand: 04 00 00 00\n");
    const TRun run = Tool({"convert", in, Path("tv.rmt")});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err, "qev-ir: " + in +
                           ": 'A,B' was not added: a command name cannot hold ',' (it separates the fields of a "
                           "Command file)\n"
                           "qev-ir: " +
                           in +
                           ": 'X @REPEAT' was not added: a command name cannot hold '@REPEAT' (it marks the "
                           "repetition line of a Command file)\n");
    EXPECT_EQ(Tool({"decode", Path("tv.rmt")}).Out, "C  NEC  address 0x01  command 0x03\n");
    const TRun flipper = Tool({"convert", in, Path("copy.ir")});
    EXPECT_EQ(flipper.Exit, 0) << flipper.Err;
    EXPECT_EQ(Tool({"decode", Path("copy.ir")}).Out,
              "A,B  NEC  address 0x01  command 0x02\n"
              "C  NEC  address 0x01  command 0x03\n"
              "X @REPEAT  NEC  address 0x01  command 0x04\n");
}

TEST_F(Ir_Tool_Test, Failures_Exit_1_And_Write_Nothing) {
    Write_File(Path("bad_repeat.rmt"), "@REPEAT = x\r\nBLIP,0F\r\n");
    Write_File(Path("empty.rmt"), "@REPEAT = 2\r\n");
    Write_File(Path("good.rmt"), "@REPEAT = 2\r\nBLIP,0F\r\n");
    Write_File(Path("no_header.ir"), "name: A\n");
    Write_File(Path("unstorable.ir"),
               "Filetype: IR signals file\nVersion: 1\n#\nname: A;B\ntype: parsed\nprotocol: NEC\n"
               "address: 01 00 00 00\ncommand: 02 00 00 00\n");
    ASSERT_EQ(::mkdir(Path("box.rmt").c_str(), 0700), 0);
    for (const char* huge : {"huge.rmt", "huge.ir"}) {  // sparse: nothing is written
        Write_File(Path(huge), "");
        ASSERT_EQ(::truncate(Path(huge).c_str(), off_t{20} << 30), 0);
    }
    struct TCase {
        const char* Name;
        std::vector<std::string> Args;
        std::string Err;          // a line of the messages
        std::string Not_Written;  // a file that must not exist afterwards
    };
    const TCase cases[] = {
        {"decode_missing_command_file",
         {"decode", Path("missing.rmt")},
         Path("missing.rmt") + ": No such file or directory",
         ""},
        {"decode_missing_flipper_file",
         {"decode", Path("missing.ir")},
         Path("missing.ir") + ": No such file or directory",
         ""},
        {"decode_a_folder", {"decode", Path("box.rmt")}, Path("box.rmt") + ": Is a directory", ""},
        {"decode_a_huge_command_file",
         {"decode", Path("huge.rmt")},
         Path("huge.rmt") +
             ": Can't Open File. The file is 20.0 GB, more than 65535 commands of 16384 bytes can take (6.0 GB at "
             "most).",
         ""},
        {"decode_a_huge_flipper_file",
         {"decode", Path("huge.ir")},
         Path("huge.ir") + ": the file is larger than 64 MB",
         ""},
        {"decode_bad_repeat_line",
         {"decode", Path("bad_repeat.rmt")},
         Path("bad_repeat.rmt") + ": Can't Read REPEAT Value",
         ""},
        {"convert_bad_repeat_line",
         {"convert", Path("bad_repeat.rmt"), Path("a.ir")},
         Path("bad_repeat.rmt") + ": Can't Read REPEAT Value",
         Path("a.ir")},
        {"convert_missing_input",
         {"convert", Path("missing.ir"), Path("b.rmt")},
         Path("missing.ir") + ": No such file or directory",
         Path("b.rmt")},
        {"convert_empty_command_file",
         {"convert", Path("empty.rmt"), Path("c.pronto")},
         Path("empty.rmt") + ": no commands to convert; " + Path("c.pronto") + " was not written",
         Path("c.pronto")},
        {"convert_not_a_flipper_file",
         {"convert", Path("no_header.ir"), Path("d.conf")},
         Path("no_header.ir") +
             ", line 1: not an IR signals file: expected 'Filetype: IR signals file', found 'name: A'",
         Path("d.conf")},
        {"convert_only_unstorable_names",
         {"convert", Path("unstorable.ir"), Path("e.rmt")},
         Path("unstorable.ir") + ": no commands to convert; " + Path("e.rmt") + " was not written",
         Path("e.rmt")},
        {"convert_into_a_missing_folder",
         {"convert", Path("good.rmt"), Path("none/f.ir")},
         Path("none/f.ir") + ": No such file or directory",
         ""},
        {"convert_into_a_missing_folder_as_command_file",
         {"convert", Path("good.rmt"), Path("none/g.rmt")},
         Path("none/g.rmt") + ": Can't Create File",
         ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRun run = Tool(c.Args);
        EXPECT_EQ(run.Exit, 1);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err.rfind("qev-ir: ", 0), 0u) << run.Err;
        EXPECT_TRUE(Contains(run.Err, "qev-ir: " + c.Err + "\n")) << run.Err;
        if (!c.Not_Written.empty()) {
            EXPECT_FALSE(File_Exists(c.Not_Written));
        }
    }
}

// Run by root, convert into a shared folder such as /tmp where another
// user has planted a link to one of root's files: the link is not followed,
// the conversion fails and root's file stays as it was.
TEST_F(Ir_Tool_Test, Convert_Does_Not_Follow_A_Link_Planted_In_A_Shared_Folder) {
    if (::geteuid() != 0) GTEST_SKIP() << "a link of another user needs root to make";
    constexpr uid_t Nobody = 65534;
    Write_File(Path("good.rmt"), "@REPEAT = 2\r\nBLIP,0F\r\n");
    Write_File(Path("root's.txt"), "root's own");
    const std::string shared = Path("tmp");
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    struct TCase {
        const char* Name;
        const char* Out;
        const char* Err;
    };
    const TCase cases[] = {
        {"command_file", "x.rmt", "Can't Create File"},
        {"flipper_file", "x.ir", "Permission denied"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string out = shared + "/" + c.Out;
        std::filesystem::create_symlink(Path("root's.txt"), out);
        ASSERT_EQ(::lchown(out.c_str(), Nobody, Nobody), 0);
        const TRun run = Tool({"convert", Path("good.rmt"), out});
        EXPECT_EQ(run.Exit, 1);
        EXPECT_EQ(run.Err, "qev-ir: " + out + ": " + c.Err + "\n");
        EXPECT_EQ(Read_File(Path("root's.txt")), "root's own");
        EXPECT_TRUE(std::filesystem::is_symlink(out));
    }
}

TEST_F(Ir_Tool_Test, Usage_Errors_Exit_2_With_A_Hint_And_Touch_No_File) {
    const std::string rmt = Path("tv.rmt");
    const std::string ir = Path("tv.ir");
    struct TCase {
        const char* Name;
        std::vector<std::string> Args;
        std::string Err;  // the message, after "qev-ir: "
    };
    const TCase cases[] = {
        {"unknown_command", {"transmit", rmt}, "unknown command 'transmit'"},
        {"unknown_option", {"--version"}, "unknown command '--version'"},
        {"convert_one_argument", {"convert", ir}, "convert takes 2 arguments: IN OUT"},
        {"convert_three_arguments", {"convert", ir, rmt, rmt}, "convert takes 2 arguments: IN OUT"},
        {"decode_no_argument", {"decode"}, "decode takes 1 argument: FILE"},
        {"check_two_arguments", {"check", ir, rmt}, "check takes 1 argument: FILE"},
        {"encode_four_arguments",
         {"encode", rmt, "A", "NEC", "1"},
         "encode takes 5 arguments: FILE.rmt NAME PROTOCOL ADDRESS COMMAND"},
        {"convert_unknown_input_extension",
         {"convert", Path("tv.txt"), rmt},
         "'" + Path("tv.txt") + "': unknown extension (use .rmt, .ir, .conf or .pronto)"},
        {"convert_unknown_output_extension",
         {"convert", ir, Path("tv.lirc")},
         "'" + Path("tv.lirc") + "': unknown extension (use .rmt, .ir, .conf or .pronto)"},
        {"decode_without_extension",
         {"decode", Path("tv")},
         "'" + Path("tv") + "': unknown extension (use .rmt, .ir, .conf or .pronto)"},
        {"encode_into_a_flipper_file",
         {"encode", ir, "A", "NEC", "1", "2"},
         "'" + ir + "': encode writes a Command file (.rmt)"},
        {"unknown_protocol",
         {"encode", rmt, "A", "NECX", "1", "2"},
         "unknown protocol 'NECX' (known: NEC, NECext, NEC42, Samsung32, RC5, RC5X, RC6, SIRC, SIRC15, SIRC20, "
         "NEC42ext, Kaseikyo, RCA, Pioneer)"},
        {"address_with_a_letter",
         {"encode", rmt, "A", "NEC", "12a", "2"},
         "address '12a' is not a number (decimal, or hexadecimal after 0x)"},
        {"address_bare_0x",
         {"encode", rmt, "A", "NEC", "0x", "2"},
         "address '0x' is not a number (decimal, or hexadecimal after 0x)"},
        {"address_negative",
         {"encode", rmt, "A", "NEC", "-1", "2"},
         "address '-1' is not a number (decimal, or hexadecimal after 0x)"},
        {"address_with_a_blank",
         {"encode", rmt, "A", "NEC", " 1", "2"},
         "address ' 1' is not a number (decimal, or hexadecimal after 0x)"},
        {"command_empty",
         {"encode", rmt, "A", "NEC", "1", ""},
         "command '' is not a number (decimal, or hexadecimal after 0x)"},
        {"command_beyond_32_bits",
         {"encode", rmt, "A", "NEC", "1", "4294967296"},
         "command '4294967296' is not a number (decimal, or hexadecimal after 0x)"},
        {"address_of_32_bits_beyond_the_protocol",
         {"encode", rmt, "A", "NEC", "0xFFFFFFFF", "2"},
         "address 0xFFFFFFFF is beyond NEC's 0xFF"},
        {"address_beyond_the_protocol",
         {"encode", rmt, "A", "NEC", "0x120", "2"},
         "address 0x120 is beyond NEC's 0xFF"},
        {"command_beyond_the_protocol", {"encode", rmt, "A", "RC5", "1", "64"}, "command 0x40 is beyond RC5's 0x3F"},
        {"name_of_80_characters",
         {"encode", rmt, std::string(80, 'n'), "NEC", "1", "2"},
         "the command name is 80 characters long; 79 at most"},
        {"empty_name", {"encode", rmt, "", "NEC", "1", "2"}, "the command name is empty"},
        {"name_with_a_comma",
         {"encode", rmt, "VOL,UP", "NEC", "1", "2"},
         "a command name cannot hold ',' (it separates the fields of a Command file)"},
        {"name_with_a_semicolon",
         {"encode", rmt, "VOL;UP", "NEC", "1", "2"},
         "a command name cannot hold ';' (it starts a comment in a Command file)"},
        {"name_with_a_line_end",
         {"encode", rmt, "VOL\nUP", "NEC", "1", "2"},
         "a command name cannot hold control characters"},
        {"name_with_the_repeat_keyword",
         {"encode", rmt, "X@REPEAT", "NEC", "1", "2"},
         "a command name cannot hold '@REPEAT' (it marks the repetition line of a Command file)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRun run = Tool(c.Args);
        EXPECT_EQ(run.Exit, 2);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err, "qev-ir: " + c.Err + "\nTry 'qev-ir --help'.\n");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(Ir_Tool_Test, Help_Goes_To_Standard_Output) {
    for (const char* option : {"--help", "-h", "help"}) {
        SCOPED_TRACE(option);
        const TRun run = Tool({option});
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Err, "");
        EXPECT_EQ(run.Out.rfind("Usage: qev-ir COMMAND", 0), 0u);
        for (const char* part :
             {"qev-ir convert IN OUT\n", "qev-ir decode FILE\n",
              "qev-ir encode FILE.rmt NAME PROTOCOL ADDRESS COMMAND\n", ".rmt ", ".ir ", ".conf ", ".pronto "}) {
            EXPECT_TRUE(Contains(run.Out, part)) << part;
        }
        for (const TProtocol_Info& info : All_Protocols()) {
            EXPECT_TRUE(Contains(run.Out, "\n  " + std::string(info.Name) + " ")) << info.Name;
        }
    }
    const TRun bare = Tool({});
    EXPECT_EQ(bare.Exit, 2);
    EXPECT_EQ(bare.Out, "");
    EXPECT_EQ(bare.Err, Tool({"--help"}).Out);
}

// ---- The built program -----------------------------------------------------------

struct TProcess_Run {
    int Exit = -1;
    std::string Out;
};

// Runs the program through the shell, its error stream discarded.
TProcess_Run Run_Program(const std::string& arguments) {
    TProcess_Run run;
    const std::string command = std::string("'") + QEV_IR_PATH + "' " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.Out.append(chunk, n);
    const int status = ::pclose(pipe);
    if (status != -1 && WIFEXITED(status)) run.Exit = WEXITSTATUS(status);
    return run;
}

// The program under a file-size limit smaller than its output, with SIGXFSZ
// at its default action (which ends a process that writes past the limit):
// it reports the failed save and exits 1, and the old file stays.
TEST_F(Ir_Tool_Test, The_Program_Under_A_File_Size_Limit_Fails_The_Save_And_Lives) {
    std::string table = "@REPEAT = 1\r\n";
    for (int row = 0; row < 100; ++row) {
        table += "ROW" + std::to_string(row);
        for (int b = 0; b < 128; ++b) table += ",A5";
        table += "\r\n";
    }
    Write_File(Path("in.rmt"), table);
    const std::string errors = Path("errors.txt");
    for (const char* out : {"out.rmt", "out.ir"}) {
        SCOPED_TRACE(out);
        Write_File(Path(out), "old");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (!Limit_File_Size(4096) || err < 0 || ::dup2(err, 2) != 2) ::_exit(126);
            ::execl(QEV_IR_PATH, "qev-ir", "convert", Path("in.rmt").c_str(), Path(out).c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_TRUE(Contains(Read_File(errors), "qev-ir: " + Path(out) + ": ")) << Read_File(errors);
        EXPECT_EQ(Read_File(Path(out)), "old");
    }
}

TEST_F(Ir_Tool_Test, The_Program_Prints_Help_And_Decodes) {
    const TProcess_Run help = Run_Program("--help");
    EXPECT_EQ(help.Exit, 0);
    EXPECT_EQ(help.Out, Ir_Tool_Usage_Text());

    ASSERT_EQ(Tool({"encode", Path("tv.rmt"), "POWER", "NEC", "0x04", "0x08"}).Exit, 0);
    const TProcess_Run decoded = Run_Program("decode '" + Path("tv.rmt") + "'");
    EXPECT_EQ(decoded.Exit, 0);
    EXPECT_EQ(decoded.Out, "POWER  NEC  address 0x04  command 0x08\n");

    const TProcess_Run missing = Run_Program("decode '" + Path("missing.rmt") + "'");
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_EQ(missing.Out, "");
    EXPECT_EQ(Run_Program("decode").Exit, 2);
}

}  // namespace
}  // namespace qev
