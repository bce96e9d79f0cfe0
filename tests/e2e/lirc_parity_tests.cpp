// The real program's LIRC listener beside LIRC's own lircd (Debian's lirc
// 0.10.1, which scripts/install-deps installs), in the same run: lircd with
// the file driver (no hardware) on a free loopback port, its lircd.conf
// holding the remote and keys of the program's Command file, and both asked
// the same requests on one connection each, in the same order; the replies
// are compared byte for byte. Where the program answers otherwise on
// purpose, the row names the difference (net/lirc_protocol.h lists them)
// and says exactly what each side answers.
//
// Differences that no row here shows: SEND_START's time limit (60 s against
// lircd's 600 repetitions, both too long for a test) and a repetition of
// SEND_ONCE whose transmission fails (the simulated port does not fail).
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/lirc_replies.h"
#include "tests/support/temp_env.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace qev::test {
namespace {

using lirc::Err;
using lirc::Ok;

// The program's keys: POWER and power (two commands), PLAY, HOLD (128 ms,
// so a repetition is under way when the next request comes) and "VOL UP",
// which the program lists and sends as VOL_UP, the name lircd.conf gives it.
std::string Command_File_Text() {
    std::string text = "@REPEAT = 1\r\nPOWER,FF\r\npower,F0\r\nPLAY,0F,00\r\nHOLD";
    for (int i = 0; i < 128; ++i) text += ",0F";
    return text + "\r\nVOL UP,0F\r\n";
}

// The same remote for lircd: raw codes, 20 ms apart.
const char* const Lircd_Conf = R"(begin remote
  name  tv
  flags RAW_CODES
  eps   30
  aeps  100
  gap   20000
  begin raw_codes
    name POWER
      1000 1000 1000
    name power
      500 1000 500
    name PLAY
      500 500 500
    name HOLD
      9000 4500 560
    name VOL_UP
      560 560 560
  end raw_codes
end remote
)";

// lircd from Debian's lirc package, found along PATH or in /usr/sbin.
std::string Lircd() {
    const char* path = std::getenv("PATH");
    const std::string folders = std::string(path ? path : "") + ":/usr/sbin:/sbin";
    std::stringstream list(folders);
    for (std::string folder; std::getline(list, folder, ':');) {
        const std::string file = folder + "/lircd";
        if (!folder.empty() && ::access(file.c_str(), X_OK) == 0) return file;
    }
    return "";
}

std::string Read_Text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One reply read as lircd frames it: BEGIN, the echo, the status, DATA with
// its lines when there is data, END. Empty when the connection ended or
// nothing came in time.
std::string Read_Reply(int fd, std::string& buffer, double seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    const auto line = [&](std::string& out) {
        for (;;) {
            const std::size_t lf = buffer.find('\n');
            if (lf != std::string::npos) {
                out = buffer.substr(0, lf + 1);
                buffer.erase(0, lf + 1);
                return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd wait{fd, POLLIN, 0};
            if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0) return false;
            char bytes[4096];
            const ssize_t n = ::recv(fd, bytes, sizeof bytes, 0);
            if (n <= 0) return false;
            buffer.append(bytes, static_cast<std::size_t>(n));
        }
    };
    std::string reply, next;
    for (int i = 0; i < 3; ++i) {  // BEGIN, the echo, the status
        if (!line(next)) return "";
        reply += next;
    }
    if (!line(next)) return "";
    reply += next;
    if (next == "DATA\n") {
        if (!line(next)) return "";
        reply += next;
        const long count = std::strtol(next.c_str(), nullptr, 10);
        for (long i = 0; i <= count; ++i) {  // the data lines and END
            if (!line(next)) return "";
            reply += next;
        }
    }
    return reply;
}

// A reply as a pattern: the text itself, where CODE stands for lircd's 16
// hexadecimal digits of code and NUMBER for a decimal number.
std::string Pattern(const std::string& reply) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    std::string pattern = std::regex_replace(reply, special, R"(\$&)");
    pattern = std::regex_replace(pattern, std::regex("CODE"), "[0-9a-f]{16}");
    return std::regex_replace(pattern, std::regex("NUMBER"), "[0-9]+");
}

class Lirc_Parity : public ::testing::Test {
protected:
    TTemp_Dir folder;
    uint16_t port = Free_Loopback_Port();
    uint16_t lircd_port = 0;
    TProgram_Runner program{Binary_Folder() + "/QEV_LPT", folder.Path()};
    pid_t lircd = -1;

    void SetUp() override {
        const std::string lircd_path = Lircd();
        if (lircd_path.empty())
            GTEST_SKIP() << "lircd is not installed (Debian's lirc package; scripts/install-deps adds it)";
        do lircd_port = Free_Loopback_Port();
        while (lircd_port == port);
        ASSERT_NE(port, 0);
        ASSERT_NE(lircd_port, 0);

        Write_File(folder.File("tv.rmt"), Command_File_Text());
        Write_File(folder.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + folder.File("tv.rmt") +
                                                   "\n[LIRC]\nENABLE=1\nPORT=" + std::to_string(port) + "\n");
        ASSERT_TRUE(program.Start());

        // lircd keeps everything it writes in the scratch folder: its pid
        // file and socket (not /var/run/lirc), its options (not /etc/lirc),
        // its log and the file driver's output.
        Write_File(folder.File("lircd.conf"), Lircd_Conf);
        Write_File(folder.File("lirc_options.conf"), "[lircd]\nnodaemon = True\n");
        Write_File(folder.File("ir.log"), "");
        std::vector<std::string> arguments = {lircd_path,
                                              "--nodaemon",
                                              "--options-file=" + folder.File("lirc_options.conf"),
                                              "--driver=file",
                                              "--device=" + folder.File("ir.log"),
                                              "--listen=127.0.0.1:" + std::to_string(lircd_port),
                                              "--output=" + folder.File("lircd.sock"),
                                              "--pidfile=" + folder.File("lircd.pid"),
                                              "--logfile=" + folder.File("lircd.log"),
                                              folder.File("lircd.conf")};
        const std::string out = folder.File("lircd.out");
        lircd = ::fork();
        ASSERT_GE(lircd, 0);
        if (lircd == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                ::dup2(fd, 1);
                ::dup2(fd, 2);
            }
            std::vector<char*> argv;
            for (std::string& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        harness::TLoopback_Client probe;
        ASSERT_TRUE(probe.Connect(lircd_port, 10))
            << "lircd did not listen: " << Read_Text(out) << Read_Text(folder.File("lircd.log"));
        harness::TLoopback_Client program_probe;
        ASSERT_TRUE(program_probe.Connect(port)) << "the listener opens during start-up";
    }
    void TearDown() override {
        if (lircd > 0) {
            ::kill(lircd, SIGTERM);
            int status = 0;
            ::waitpid(lircd, &status, 0);
        }
    }
};

// One connection to each; the same bytes to both, one reply read from each.
class TPair {
public:
    bool Connect(uint16_t ours, uint16_t theirs) { return ours_.Connect(ours) && lircd_.Connect(theirs); }
    std::pair<std::string, std::string> Ask(const std::string& request) {
        if (!ours_.Send(request) || !lircd_.Send(request)) return {};
        std::string a = Read_Reply(ours_.Fd(), ours_buffer_);
        std::string b = Read_Reply(lircd_.Fd(), lircd_buffer_);
        return {a, b};
    }

private:
    harness::TLoopback_Client ours_, lircd_;
    std::string ours_buffer_, lircd_buffer_;
};

TEST_F(Lirc_Parity, Both_Answer_The_Same_Requests_Alike_Or_As_Documented) {
    struct Row {
        const char* name;
        std::string request;  // with its line end
        // The documented difference, or empty: then the replies are the
        // same, byte for byte.
        std::string difference = "";
        std::string ours = "";   // the program's exact reply
        std::string lircd = "";  // lircd's, as a Pattern()
    };
    const std::string Version = QEV_PROGRAM_VERSION;
    const std::string Zeros = "0000000000000000 ";
    const std::string No_Path = folder.File("no/such/folder/input.log");
    const std::vector<Row> rows = {
        {"list_remotes", "LIST\n"},
        {"list_remotes_cr_lf_echoes_the_cr", "LIST\r\n"},
        {"list_keys", "LIST tv\n", "the LIST code column is zeros here",
         Ok("LIST tv", {Zeros + "POWER", Zeros + "power", Zeros + "PLAY", Zeros + "HOLD", Zeros + "VOL_UP"}),
         Ok("LIST tv", {"CODE POWER", "CODE power", "CODE PLAY", "CODE HOLD", "CODE VOL_UP"})},
        {"list_one_key_cr_lf", "list TV play\r\n", "the LIST code column is zeros here",
         Ok("list TV play\r", {Zeros + "PLAY"}), Ok("list TV play\r", {"CODE PLAY"})},
        {"list_key_case_prefers_the_exact_name", "LIST tv power\n",
         "a key in the case of a command's own name reaches that command (lircd: the first in any case)",
         Ok("LIST tv power", {Zeros + "power"}), Ok("LIST tv power", {"CODE POWER"})},
        {"list_key_in_other_case", "LIST tv hold\n", "the LIST code column is zeros here",
         Ok("LIST tv hold", {Zeros + "HOLD"}), Ok("LIST tv hold", {"CODE HOLD"})},
        {"list_unknown_remote", "LIST xx\n"},
        {"list_unknown_key", "LIST tv MUTE\n"},
        {"list_trailing_word", "LIST tv POWER x\n"},
        {"version", "VERSION\n", "the VERSION text is the program's", Ok("VERSION", {Version}),
         Ok("VERSION", {"0.10.NUMBER"})},
        {"version_with_a_word", "VERSION x\n", "the VERSION text is the program's", Ok("VERSION x", {Version}),
         Ok("VERSION x", {"0.10.NUMBER"})},
        {"empty_line", "\n"},
        {"blank_line", " \t \n"},
        {"unknown_directive", "FOO bar\n"},
        {"directive_with_a_suffix", "LISTX\n"},
        {"send_once_no_remote", "SEND_ONCE\n"},
        {"send_once_no_key", "SEND_ONCE tv\n"},
        {"send_once_unknown_remote", "SEND_ONCE xx POWER 3 4\n"},
        {"send_once_unknown_key", "SEND_ONCE tv MUTE 3 4\n"},
        {"send_once", "SEND_ONCE tv POWER\n"},
        {"send_once_cr_lf", "SEND_ONCE tv POWER\r\n"},
        {"send_once_in_other_case", "send_once TV Power\n"},
        {"send_once_name_with_a_blank_as_underscore", "SEND_ONCE tv VOL_UP\n"},
        {"send_once_count_zero", "SEND_ONCE tv PLAY 0\n"},
        {"send_once_count", "SEND_ONCE tv PLAY 2\n"},
        {"send_once_largest_count_but_one_digit_more", "SEND_ONCE tv POWER 601\n"},
        {"count_printed_as_a_number", "SEND_ONCE tv POWER +000700\n"},
        {"count_negative", "SEND_ONCE tv POWER -1\n"},
        {"count_not_a_number", "SEND_ONCE tv POWER 3x\n"},
        {"count_sign_alone", "SEND_ONCE tv POWER +\n"},
        {"count_and_a_trailing_word", "SEND_ONCE tv POWER 1 2\n"},
        {"count_beyond_32_bits_taken_modulo", "SEND_ONCE tv POWER 4294967296\n",
         "a count beyond 32 bits is too many here (lircd takes it modulo 2^32)",
         Err("SEND_ONCE tv POWER 4294967296", "too many repeats: \"4294967296\" > \"600\""),
         Ok("SEND_ONCE tv POWER 4294967296")},
        {"count_beyond_32_bits_printed", "SEND_ONCE tv POWER 99999999999\n",
         "a count beyond 32 bits is too many here (lircd takes it modulo 2^32)",
         Err("SEND_ONCE tv POWER 99999999999", "too many repeats: \"99999999999\" > \"600\""),
         Err("SEND_ONCE tv POWER 99999999999", "too many repeats: \"1215752191\" > \"600\"")},
        {"send_start_with_a_count", "SEND_START tv POWER 3\n"},
        {"send_stop_not_repeating", "SEND_STOP\n"},
        {"send_stop_trailing_word", "SEND_STOP tv POWER x\n"},
        // Held down, with the requests that meet a repetition.
        {"send_start", "SEND_START tv HOLD\n"},
        {"send_once_while_repeating", "SEND_ONCE tv POWER\n"},
        {"send_start_while_repeating", "SEND_START tv POWER\n"},
        {"send_stop_of_another_key", "SEND_STOP tv POWER\n"},
        {"send_stop_of_another_remote", "SEND_STOP xx HOLD\n"},
        {"list_while_repeating", "LIST\n"},
        {"send_stop", "SEND_STOP tv hold\n"},
        {"send_stop_again", "SEND_STOP tv HOLD\n"},
        {"send_start_a_name_with_a_blank", "SEND_START tv VOL_UP\n"},
        {"send_stop_bare", "SEND_STOP\n"},
        // The directives of a receiving lircd.
        {"set_transmitters", "SET_TRANSMITTERS 1 2\n"},
        {"set_transmitters_none", "SET_TRANSMITTERS\n"},
        {"set_transmitters_two_blanks", "SET_TRANSMITTERS  \n"},
        {"simulate", "SIMULATE 0000000000000001 00 POWER tv\n"},
        {"simulate_bare", "SIMULATE\n"},
        {"set_inputlog_null", "SET_INPUTLOG null\n"},
        {"set_inputlog_bare", "SET_INPUTLOG\n"},
        {"set_inputlog_blanks", "SET_INPUTLOG  \n"},
        {"set_inputlog_a_path", "SET_INPUTLOG " + No_Path + "\n",
         "SET_INPUTLOG opens no file here (lircd creates it, or says why it cannot)", Ok("SET_INPUTLOG " + No_Path),
         Err("SET_INPUTLOG " + No_Path, "Cannot open input logfile: " + No_Path + " (errno: 2)")},
        {"drv_option_one_word", "DRV_OPTION a\n"},
        {"drv_option_blanks", "DRV_OPTION  \n"},
        {"drv_option", "DRV_OPTION key value\n",
         "DRV_OPTION's code is 0 here (lircd's is the errno an earlier call left)",
         Err("DRV_OPTION key value", "Cannot set driver option, code: 0"),
         Err("DRV_OPTION key value", "Cannot set driver option, code: NUMBER")},
    };
    TPair pair;
    ASSERT_TRUE(pair.Connect(port, lircd_port));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto [ours, theirs] = pair.Ask(row.request);
        ASSERT_NE(ours, "") << "the program answered nothing";
        ASSERT_NE(theirs, "") << "lircd answered nothing";
        if (row.difference.empty()) {
            EXPECT_EQ(ours, theirs);
        } else {
            SCOPED_TRACE(row.difference);
            EXPECT_EQ(ours, row.ours);
            EXPECT_TRUE(std::regex_match(theirs, std::regex(Pattern(row.lircd)))) << theirs;
        }
    }
    EXPECT_EQ(program.Terminate(), 0);
}

// A SEND_ONCE whose repetitions another client's SEND_STOP ends: lircd never
// answers it (and never reads that connection again); the program answers
// "repeating interrupted".
TEST_F(Lirc_Parity, A_Send_Once_Count_Ended_By_Send_Stop_Is_Answered_Here_Only) {
    harness::TLoopback_Client ours, theirs;
    ASSERT_TRUE(ours.Connect(port) && theirs.Connect(lircd_port));
    const std::string request = "SEND_ONCE tv HOLD 100\n";
    ASSERT_TRUE(ours.Send(request) && theirs.Send(request));
    TPair stopper;
    ASSERT_TRUE(stopper.Connect(port, lircd_port));
    const auto [stopped, stopped_too] = stopper.Ask("SEND_STOP\n");
    EXPECT_EQ(stopped, Ok("SEND_STOP"));
    EXPECT_EQ(stopped_too, Ok("SEND_STOP"));
    std::string buffer;
    EXPECT_EQ(Read_Reply(ours.Fd(), buffer), Err("SEND_ONCE tv HOLD 100", "repeating interrupted"));
    buffer.clear();
    EXPECT_EQ(Read_Reply(theirs.Fd(), buffer, 1.0), "") << "lircd answers nothing";
}

// A line of 256 bytes or more: lircd drops the connection; the program's
// limit is 1,024 bytes, so it answers the line as any other.
TEST_F(Lirc_Parity, A_Line_Of_256_Bytes_Is_Answered_Here_And_Ends_Lircds_Connection) {
    harness::TLoopback_Client ours, theirs;
    ASSERT_TRUE(ours.Connect(port) && theirs.Connect(lircd_port));
    const std::string key(300, 'K');
    const std::string request = "SEND_ONCE tv " + key + "\n";
    ASSERT_TRUE(ours.Send(request) && theirs.Send(request));
    std::string buffer;
    EXPECT_EQ(Read_Reply(ours.Fd(), buffer), Err("SEND_ONCE tv " + key, "unknown command: \"" + key + "\""));
    pollfd wait{theirs.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&wait, 1, 10000), 1) << "lircd neither answers nor closes";
    char byte = 0;
    EXPECT_EQ(::recv(theirs.Fd(), &byte, 1, 0), 0) << "lircd closes without a word";
}

// DRV_OPTION without arguments ends lircd 0.10.1 (it reads from a null
// pointer), so only the program is asked.
TEST_F(Lirc_Parity, Drv_Option_Without_Arguments_Is_Refused_Here) {
    harness::TLoopback_Client ours;
    ASSERT_TRUE(ours.Connect(port));
    ASSERT_TRUE(ours.Send("DRV_OPTION\n"));
    std::string buffer;
    EXPECT_EQ(Read_Reply(ours.Fd(), buffer), Err("DRV_OPTION", "Illegal argument (protocol error): "));
}

}  // namespace
}  // namespace qev::test
