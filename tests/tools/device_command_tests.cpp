// qev-ir send and receive, run as the built program on the port library's
// simulated IR device (IO_BACKEND=simlirc): its log (IO_SIM_TXLOG) holds
// each signal sent with its carrier, and its receiver plays the simulated
// remote (IO_SIM_REMOTE) to every receive that waits while nothing is sent.
#include "app/core/table_codes.h"
#include "irport/signal_port.h"
#include "store/command_file.h"
#include "store/command_table.h"
#include "tests/support/signal_log.h"
#include "tests/support/temp_env.h"
#include "tests/tools/tool_process.h"
#include "tools/qev_ir/ir_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sstream>
#include <string>
#include <vector>

namespace qev::test {
namespace {

constexpr int Line_Wait_ms = 20'000;  // a loaded host may take long to start the program

std::string Joined(const std::vector<uint32_t>& durations) {
    std::string text;
    for (const uint32_t us : durations) text += ' ' + std::to_string(us);
    return text;
}

bool Starts_With(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

class Device_Command_Test : public ::testing::Test {
protected:
    TTemp_Dir dir;
    std::string Path(const std::string& name) const { return dir.File(name); }

    // tv.rmt: NEC, RC5, RC6 and SIRC codes, @REPEAT = 3.
    void SetUp() override {
        for (const std::vector<std::string>& code : {std::vector<std::string>{"POWER", "NEC", "0x04", "0x08"},
                                                     {"VOL+", "RC5", "0x05", "0x21"},
                                                     {"MUTE", "RC6", "0x10", "0x0C"},
                                                     {"TAPE", "SIRC", "0x01", "0x15"}}) {
            std::vector<std::string> args{"encode", Path("tv.rmt")};
            args.insert(args.end(), code.begin(), code.end());
            ASSERT_EQ(Run_Ir_Tool(args, out_, out_), Ir_Tool_Ok) << out_.str();
        }
        std::string text = Read_File(Path("tv.rmt"));
        text.replace(0, text.find("\r\n"), "@REPEAT = 3");
        Write_File(Path("tv.rmt"), text);
    }

    // What the program sends for command `name` of a Command file, `times`
    // transmissions: its row's samples as durations.
    std::vector<uint32_t> Row_Signal(const std::string& rmt, const std::string& name, int32_t times) {
        TCommand_Table table;
        TCommand_File_Reader reader(rmt, {Max_Table_Rows, Ir_Tool_Command_Samples / 8}, {});
        if (!reader.Is_Open()) return {};
        table.Allocate(Max_Table_Rows, Ir_Tool_Command_Samples / 8);
        reader.Read(table);
        const int32_t row = Find_Command(table, name);
        if (row < 0) return {};
        const TLevels levels = Row_Levels(table, row);
        const std::vector<int32_t> samples(levels.begin(), levels.end());
        return Signal_Of_Samples(samples.data(), static_cast<int32_t>(samples.size()), times);
    }

    std::vector<std::string> Simulated(const std::vector<std::string>& more = {}) {
        std::vector<std::string> environment{"IO_BACKEND=simlirc", "IO_SIM_TXLOG=" + Path("sent.log")};
        environment.insert(environment.end(), more.begin(), more.end());
        return environment;
    }

private:
    std::ostringstream out_;
};

// ---- send -----------------------------------------------------------------------

TEST_F(Device_Command_Test, Send_Puts_Out_The_Row_With_The_Carrier_Of_Its_Protocol) {
    // The same remote in the other formats, made by the tool itself, and
    // each read back into a Command file: the rows the tool sends from them.
    const std::string rmt = Path("tv.rmt");
    Write_File(Path("odd.pronto"), "ODD: 0000 006D 0002 0000 0050 0020 0030 0300\n");
    for (const char* name : {"tv.ir", "tv.conf", "tv.pronto"}) {
        ASSERT_EQ(Run_Tool_Process({"convert", rmt, Path(name)}, {}).Exit, 0) << name;
    }
    for (const char* name : {"tv.ir", "tv.conf", "tv.pronto", "odd.pronto"}) {
        ASSERT_EQ(Run_Tool_Process({"convert", Path(name), Path(name) + ".rmt"}, {}).Exit, 0) << name;
    }
    struct TCase {
        const char* Name;
        std::vector<std::string> Args;
        std::string Command;  // sampled as the tool samples it...
        std::string From;     // ...from this Command file
        int32_t Times;
        unsigned Carrier_Hz;
    };
    const TCase cases[] = {
        {"nec_at_the_file_s_repeat", {"send", rmt, "POWER"}, "POWER", rmt, 3, 38000},
        {"count_over_the_repeat", {"send", rmt, "POWER", "--count", "2"}, "POWER", rmt, 2, 38000},
        {"options_first", {"send", "--count=1", "--device", "/dev/lirc9", rmt, "TAPE"}, "TAPE", rmt, 1, 40000},
        {"rc5_36_khz", {"send", rmt, "VOL+", "--count", "1"}, "VOL+", rmt, 1, 36000},
        {"rc6_from_a_flipper_file", {"send", Path("tv.ir"), "MUTE"}, "MUTE", Path("tv.ir.rmt"), 1, 36000},
        {"sirc_from_a_lircd_conf",
         {"send", Path("tv.conf"), "TAPE", "--count", "2"},
         "TAPE",
         Path("tv.conf.rmt"),
         2,
         40000},
        {"nec_from_pronto", {"send", Path("tv.pronto"), "POWER"}, "POWER", Path("tv.pronto.rmt"), 1, 38000},
        {"no_protocol_38_khz", {"send", Path("odd.pronto"), "ODD"}, "ODD", Path("odd.pronto.rmt"), 1, 38000},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTool_Result run = Run_Tool_Process(c.Args, Simulated());
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Out + run.Err, "");
        const std::vector<TLogged_Signal> sent = Read_Signal_Log(Path("sent.log"));
        ASSERT_EQ(sent.size(), 1u) << "one write: every case sends less than 0.45 s";
        EXPECT_EQ(sent[0].Carrier_Hz, c.Carrier_Hz);
        const std::vector<uint32_t> expected = Row_Signal(c.From, c.Command, c.Times);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Joined(sent[0].Durations), Joined(expected));
    }
}

// A name no Command file could hold (a Flipper button "VOL,UP") is still
// sent from its own file: the table send reads it into is never saved.
TEST_F(Device_Command_Test, Send_Takes_Names_A_Command_File_Cannot_Hold) {
    Write_File(Path("tv.ir"),
               "Filetype: IR signals file\nVersion: 1\n"
               "#\nname: VOL,UP\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\ncommand: 08 00 00 00\n"
               "#\nname: POWER\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\ncommand: 08 00 00 00\n");
    std::vector<std::string> sent_durations;
    for (const char* name : {"VOL,UP", "POWER"}) {
        SCOPED_TRACE(name);
        const TTool_Result run = Run_Tool_Process({"send", Path("tv.ir"), name}, Simulated());
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Out + run.Err, "");
        const std::vector<TLogged_Signal> sent = Read_Signal_Log(Path("sent.log"));
        ASSERT_EQ(sent.size(), 1u);
        sent_durations.push_back(Joined(sent[0].Durations));
    }
    EXPECT_EQ(sent_durations[0], sent_durations[1]);
}

TEST_F(Device_Command_Test, A_Send_That_Cannot_Happen_Says_Why_And_Sends_Nothing) {
    const std::string rmt = Path("tv.rmt");
    Write_File(Path("zero.rmt"), "@REPEAT = 0\r\n" + Read_File(rmt).substr(Read_File(rmt).find("\r\n") + 2));
    Write_File(Path("faulty.ir"),
               "Filetype: IR signals file\nVersion: 1\n#\nname: BAD\ntype: parsed\nprotocol: NEC\n"
               "address: 04 01 00 00\ncommand: 08 00 00 00\n");
    Write_File(Path("plain_file"), "");
    struct TCase {
        const char* Name;
        std::vector<std::string> Args;
        std::vector<std::string> Environment;
        std::string Err;  // what the program says, after the port library's own line
    };
    const TCase cases[] = {
        {"missing_file",
         {"send", Path("missing.rmt"), "POWER"},
         Simulated(),
         "qev-ir: " + Path("missing.rmt") + ": No such file or directory\n"},
        {"unknown_name", {"send", rmt, "NOPE"}, Simulated(), "qev-ir: " + rmt + ": no command named 'NOPE'\n"},
        {"faults_of_the_file_when_the_name_is_not_there",
         {"send", Path("faulty.ir"), "BAD"},
         Simulated(),
         "qev-ir: " + Path("faulty.ir") + ", line 7: address 0x104 is beyond NEC's 0xFF\n" +
             "qev-ir: " + Path("faulty.ir") + ": no command named 'BAD'\n"},
        {"repeat_0_and_no_count",
         {"send", Path("zero.rmt"), "POWER"},
         Simulated(),
         "qev-ir: " + Path("zero.rmt") + ": @REPEAT is 0, which sends nothing; give --count\n"},
        {"no_device_file",
         {"send", rmt, "POWER", "--device", Path("lirc7")},
         {"IO_SIM_TXLOG=" + Path("sent.log")},
         "qev-ir: " + Path("lirc7") + ": No such file or directory\n"},
        {"device_named_in_the_environment",
         {"send", rmt, "POWER"},
         {"IO_LIRC_DEVICE=" + Path("lirc8")},
         "qev-ir: " + Path("lirc8") + ": No such file or directory\n"},
        {"not_a_kernel_ir_device",
         {"send", rmt, "POWER", "--device=" + Path("plain_file")},
         {"IO_SIM_TXLOG=" + Path("sent.log")},
         "qev-ir: " + Path("plain_file") + ": cannot be used as a kernel IR device; nothing was sent\n"},
        {"a_receiver_alone",
         {"send", rmt, "POWER"},
         Simulated({"IO_SIMLIRC_FEATURES=receive"}),
         "qev-ir: simulated IR device: the device has no transmitter; nothing was sent\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Write_File(Path("sent.log"), "");
        const TTool_Result run = Run_Tool_Process(c.Args, c.Environment);
        EXPECT_EQ(run.Exit, 1);
        EXPECT_EQ(run.Out, "");
        // The port library names a device it cannot use in a line of its own.
        const std::size_t own = run.Err.rfind("libio: ", 0) == 0 ? run.Err.find('\n') + 1 : 0;
        EXPECT_EQ(run.Err.substr(own), c.Err);
        EXPECT_EQ(Read_File(Path("sent.log")), "");
    }
}

TEST_F(Device_Command_Test, A_Wrong_Command_Line_Is_Told_Before_Anything_Is_Opened) {
    const std::string rmt = Path("tv.rmt");
    struct TCase {
        const char* Name;
        std::vector<std::string> Args;
        std::string Err;
    };
    const TCase cases[] = {
        {"send_without_a_name", {"send", rmt}, "send takes 2 arguments: FILE NAME"},
        {"send_with_three_arguments", {"send", rmt, "A", "B"}, "send takes 2 arguments: FILE NAME"},
        {"send_unknown_extension",
         {"send", Path("tv.txt"), "A"},
         "'" + Path("tv.txt") +
             "': unknown extension (use .rmt, .ir, "
             ".conf or .pronto)"},
        {"count_0", {"send", rmt, "A", "--count", "0"}, "--count takes a whole number from 1 to 2147483647, not '0'"},
        {"count_not_a_number",
         {"send", rmt, "A", "--count=x"},
         "--count takes a whole number from 1 to 2147483647, not 'x'"},
        {"count_too_big",
         {"send", rmt, "A", "--count", "2147483648"},
         "--count takes a whole number from 1 to 2147483647, not '2147483648'"},
        {"count_without_a_value", {"send", rmt, "A", "--count"}, "--count needs a value"},
        {"count_twice", {"send", rmt, "A", "--count", "1", "--count=2"}, "--count is given twice"},
        {"empty_device", {"send", rmt, "A", "--device="}, "--device needs a device file, e.g. /dev/lirc0"},
        {"unknown_option", {"send", rmt, "A", "--carrier", "1"}, "unknown option '--carrier' for send"},
        {"timeout_is_for_receive", {"send", rmt, "A", "--timeout", "1"}, "unknown option '--timeout' for send"},
        {"receive_with_a_file_of_no_format",
         {"receive", "x"},
         "'x': unknown extension (use .rmt, .ir, .conf or .pronto)"},
        {"receive_with_two_files",
         {"receive", "a.rmt", "b.rmt"},
         "receive takes at most one file, to name the keys it learned"},
        {"timeout_0",
         {"receive", "--timeout", "0"},
         "--timeout takes seconds above 0 (at most 1000000; fractions allowed), not '0'"},
        {"timeout_negative",
         {"receive", "--timeout=-1"},
         "--timeout takes seconds above 0 (at most 1000000; fractions allowed), not '-1'"},
        {"timeout_with_an_exponent",
         {"receive", "--timeout=1e3"},
         "--timeout takes seconds above 0 (at most 1000000; fractions allowed), not '1e3'"},
        {"receive_count_0", {"receive", "--count", "0"}, "--count takes a whole number from 1 to 2147483647, not '0'"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::ostringstream out, err;
        EXPECT_EQ(Run_Ir_Tool(c.Args, out, err), Ir_Tool_Usage);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), "qev-ir: " + c.Err + "\nTry 'qev-ir --help'.\n");
    }
}

// A command name that looks like an option comes after "--".
TEST_F(Device_Command_Test, Names_After_A_Double_Dash_Are_Not_Options) {
    ASSERT_EQ(Run_Tool_Process({"encode", Path("dash.rmt"), "--x", "NEC", "1", "2"}, {}).Exit, 0);
    const TTool_Result run = Run_Tool_Process({"send", "--count", "1", "--", Path("dash.rmt"), "--x"}, Simulated());
    EXPECT_EQ(run.Exit, 0) << run.Err;
    ASSERT_EQ(Read_Signal_Log(Path("sent.log")).size(), 1u);
    EXPECT_EQ(Joined(Read_Signal_Log(Path("sent.log"))[0].Durations), Joined(Row_Signal(Path("dash.rmt"), "--x", 1)));
}

// ---- receive --------------------------------------------------------------------

TEST_F(Device_Command_Test, Receive_Prints_Each_Signal_Decoded_And_Its_Durations) {
    const std::string rmt = Path("tv.rmt");
    Write_File(Path("odd.rmt"), "@REPEAT = 1\r\nODD,C7,00\r\n");
    std::ostringstream ignored;
    ASSERT_EQ(Run_Ir_Tool({"encode", Path("rc5.rmt"), "VOL-", "RC5", "0x05", "0x10"}, ignored, ignored), Ir_Tool_Ok);
    struct TCase {
        const char* Name;
        std::string File;  // the remote plays this Command file's row...
        std::string Command;
        std::string Decoded;
    };
    const TCase cases[] = {
        {"rc5", rmt, "VOL+", "RC5  address 0x05  command 0x21"},
        // Its last half is idle: the silence that ended the signal holds it.
        {"rc5_ending_in_an_idle_half", Path("rc5.rmt"), "VOL-", "RC5  address 0x05  command 0x10"},
        {"rc6", rmt, "MUTE", "RC6  address 0x10  command 0x0C"},
        {"sirc", rmt, "TAPE", "SIRC  address 0x01  command 0x15"},
        {"no_protocol", Path("odd.rmt"), "ODD", "Unknown protocol"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTool_Result run = Run_Tool_Process({"receive", "--count", "2"},
                                                  {"IO_BACKEND=simlirc", "IO_SIM_REMOTE=" + c.File + ":" + c.Command});
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Err, "");
        const std::string signal = c.Decoded + "\n " + Joined(Row_Signal(c.File, c.Command, 1)) + "\n";
        EXPECT_EQ(run.Out, signal + signal);
    }
}

// Given a file, each signal begins with the name of the learned command it
// is, or '-'.
TEST_F(Device_Command_Test, Receive_Names_The_Keys_Of_A_File) {
    Write_File(Path("odd.rmt"), "@REPEAT = 1\r\nODD,C7,00\r\n");
    struct TCase {
        const char* Name;
        std::string Remote;  // what the simulated remote plays
        std::string File;    // the file that names keys
        std::string First_Line;
    };
    const TCase cases[] = {
        {"a learned RC6 key", Path("tv.rmt") + ":MUTE", Path("tv.rmt"), "MUTE  RC6  address 0x10  command 0x0C"},
        {"a learned raw signal", Path("odd.rmt") + ":ODD", Path("odd.rmt"), "ODD  Unknown protocol"},
        {"a code the file does not hold", "nec:0x04:0x09", Path("tv.rmt"),
         "-  NEC  address 0x04  command 0x09  (+1 repeat)"},
        {"a Flipper file", "nec:0x04:0x08", Path("tv.ir"), "POWER  NEC  address 0x04  command 0x08  (+1 repeat)"},
    };
    std::ostringstream ignored;
    ASSERT_EQ(Run_Ir_Tool({"convert", Path("tv.rmt"), Path("tv.ir")}, ignored, ignored), Ir_Tool_Ok);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTool_Result run =
            Run_Tool_Process({"receive", c.File, "--count", "1"}, {"IO_BACKEND=simlirc", "IO_SIM_REMOTE=" + c.Remote});
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Err, "");
        EXPECT_EQ(run.Out.substr(0, run.Out.find('\n')), c.First_Line);
    }
    const TTool_Result missing =
        Run_Tool_Process({"receive", Path("none.rmt"), "--count", "1"}, {"IO_BACKEND=simlirc"});
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_EQ(missing.Out, "");
}

// The simulated NEC remote: its frame and a repeat frame 108 ms after it
// start, one signal.
TEST_F(Device_Command_Test, Receive_Takes_A_Frame_And_Its_Repeat_As_One_Signal) {
    const TTool_Result run =
        Run_Tool_Process({"receive", "--count=1"}, {"IO_BACKEND=simlirc", "IO_SIM_REMOTE=nec:0x04:0x08"});
    EXPECT_EQ(run.Exit, 0);
    EXPECT_EQ(run.Err, "");
    std::istringstream lines(run.Out);
    std::string decoded, durations, more;
    std::getline(lines, decoded);
    std::getline(lines, durations);
    EXPECT_FALSE(std::getline(lines, more));
    EXPECT_EQ(decoded, "NEC  address 0x04  command 0x08  (+1 repeat)");
    // 9 ms + 4.5 ms, 32 bits and the final mark, the gap, 9 ms + 2.25 ms
    // and a mark: 71 durations.
    EXPECT_TRUE(Starts_With(durations, "  9000 4500 563 562 563 562 563 1687 ")) << durations;
    EXPECT_EQ(std::count(durations.begin(), durations.end(), ' '), 1 + 71) << durations;
    const std::size_t repeat_frame = durations.rfind(" 9000 2250 563");
    EXPECT_EQ(repeat_frame + std::string(" 9000 2250 563").size(), durations.size()) << durations;
}

TEST_F(Device_Command_Test, Receive_Ends_After_Its_Timeout) {
    struct TCase {
        const char* Name;
        std::vector<std::string> Args;
        std::vector<std::string> Environment;
        int Exit;
        std::string Err;
    };
    const std::vector<std::string> silent{"IO_BACKEND=simlirc", "IO_SIM_REMOTE=off"};
    const TCase cases[] = {
        {"timeout_without_a_count", {"receive", "--timeout", "0.2"}, silent, 0, ""},
        {"timeout_before_the_count",
         {"receive", "--count", "2", "--timeout", "0.25"},
         silent,
         1,
         "qev-ir: simulated IR device: no signal for 0.25 s; 0 of 2 received\n"},
        {"a_transmitter_alone",
         {"receive", "--timeout", "0.2"},
         {"IO_BACKEND=simlirc", "IO_SIMLIRC_FEATURES=send"},
         1,
         "qev-ir: simulated IR device: the device has no receiver\n"},
        {"no_device_file",
         {"receive", "--device", Path("lirc7")},
         {},
         1,
         "qev-ir: " + Path("lirc7") + ": No such file or directory\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTool_Result run = Run_Tool_Process(c.Args, c.Environment);
        EXPECT_EQ(run.Exit, c.Exit);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err, c.Err);
    }
}

// The remote plays for every receive, so the program receives without end
// until it is asked to stop; it then ends within the signal under way.
TEST_F(Device_Command_Test, Receive_Ends_Promptly_At_SIGINT_And_SIGTERM) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        TTool_Process process({"receive"}, {"IO_BACKEND=simlirc"});
        ASSERT_TRUE(process.Started());
        std::string line;
        ASSERT_TRUE(process.Read_Line(line, Line_Wait_ms)) << "the first signal";
        EXPECT_EQ(line, "NEC  address 0x04  command 0x08  (+1 repeat)");
        const auto asked = std::chrono::steady_clock::now();
        process.Send_Signal(signal);
        const TTool_Result run = process.Wait();
        const auto took = std::chrono::steady_clock::now() - asked;
        EXPECT_EQ(run.Signal, 0);
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Err, "");
        // A signal takes 120 ms, with its end 245 ms; a loaded host may add a second or two.
        EXPECT_LT(took, std::chrono::seconds(5));
        // Whole signals only: a decoded line and a durations line each.
        EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n') % 2, 0) << run.Out;
        EXPECT_EQ(run.Out.back(), '\n');
    }
}

TEST_F(Device_Command_Test, Help_Tells_Send_And_Receive) {
    const std::string help = Ir_Tool_Usage_Text();
    for (const char* part :
         {"qev-ir send FILE NAME [--device DEVICE] [--count N]\n",
          "qev-ir receive [FILE] [--device DEVICE] [--count N] [--timeout S]\n", "IO_BACKEND=simlirc"}) {
        EXPECT_NE(help.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace qev::test
