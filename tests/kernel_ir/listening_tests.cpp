// The real program listening on a kernel IR device whose transmitter loops
// back into its receiver, with LIRC's own clients on its socket: QEV_LPT
// (offscreen, [LISTEN] ENABLE=1, [LIRC] SOCKET in a scratch profile) keeps
// the device's receiver open; another process sends a learned key through
// the same device (qev-ir send); then
//   - irw, connected to the program's socket, prints lircd's line for it;
//   - irexec, given the socket in LIRC_SOCKET_PATH and an lircrc on its
//     command line, runs the command bound to the key;
//   - a key the KEYS file maps to a macro line runs it: the program sends
//     the macro's command, which a third process (qev-ir receive) hears on
//     the device, while the program itself does not hear its own send (irw
//     never prints it).
// Only on the kernel's device: the simulated one lives inside one process.
#include "harness/kernel_ir_loopback.h"
#include "harness/unix_socket_peers.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/temp_env.h"
#include "tests/support/wait_until.h"
#include "tests/tools/tool_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace qev::test {
namespace {

using namespace std::chrono_literals;

// How long the program, a client or a heard key may take under emulation.
constexpr auto Limit = 30s;

std::string Device() {
    const char* device = std::getenv("IO_LIRC_DEVICE");
    return device != nullptr ? device : "/dev/lirc0";
}

// The full path of `name` along PATH, or "".
std::string On_Path(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

// A client program running with this process's environment plus
// `environment`, its standard output and error in `output`; stopped with
// SIGTERM when it goes out of scope.
class TClient {
public:
    TClient(const std::vector<std::string>& args, const std::vector<std::string>& environment,
            const std::string& output) {
        std::vector<std::string> strings(args);
        std::vector<char*> argv;
        for (std::string& arg : strings) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> variables(environment);
        for (char** e = environ; *e != nullptr; ++e) variables.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TClient() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;
    bool Started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

bool Is_Socket(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

// The lines of `path`, the file a client writes (empty while it has none).
std::vector<std::string> Lines_Of(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream text(File_Exists(path) ? Read_File(path) : std::string());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

bool Has_Line(const std::string& path, const std::string& wanted) {
    for (const std::string& line : Lines_Of(path))
        if (line == wanted) return true;
    return false;
}

struct TKey_Row {
    const char* Name;      // the row's name
    const char* Key;       // the learned command sent through the device
    const char* Irw_Line;  // what irw prints for it
    const char* Macro;     // the command the key's macro sends, or ""
};

// The keys learned with qev-ir encode; POWER's macro sends MUTE.
const TKey_Row Keys[] = {
    {"Nec_Key_With_A_Macro", "POWER", "0000000000040008 00 POWER tv", "MUTE"},
    {"Rc5_Key", "VOL", "0000000000050010 00 VOL tv", ""},
};

class Kernel_Ir_Listening_Test : public ::testing::Test {
protected:
    TTemp_Dir profile;

    void SetUp() override {
        const char* backend = std::getenv("IO_BACKEND");
        if (backend == nullptr || std::string(backend) != "lirc")
            GTEST_SKIP() << "the simulated IR device lives inside one process";
    }
};

// The name line of the next signal `receive` prints (its durations line
// skipped), or "" when none came within Limit.
std::string Next_Heard(TTool_Process& receive) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (std::chrono::steady_clock::now() < end) {
        if (!receive.Read_Line(line, 1'000)) continue;
        if (!line.empty() && line[0] != ' ') return line.substr(0, line.find(' '));
    }
    return "";
}

TEST_F(Kernel_Ir_Listening_Test, Irw_And_Irexec_Get_The_Keys_It_Hears_And_A_Mapped_Key_Runs_Its_Macro) {
    const std::string irw = On_Path("irw"), irexec = On_Path("irexec");
    ASSERT_NE(irw, "") << "no irw along PATH (scripts/install-deps installs Debian's lirc)";
    ASSERT_NE(irexec, "") << "no irexec along PATH (scripts/install-deps installs Debian's lirc)";

    const std::string file = profile.File("tv.rmt");
    for (const std::vector<std::string>& key : std::vector<std::vector<std::string>>{
             {"POWER", "NEC", "0x04", "0x08"}, {"VOL", "RC5", "0x05", "0x10"}, {"MUTE", "NEC", "0x04", "0x0D"}}) {
        const TTool_Result encoded = Run_Tool_Process({"encode", file, key[0], key[1], key[2], key[3]}, {});
        ASSERT_EQ(encoded.Exit, 0) << encoded.Err;
    }
    const std::string socket = profile.File("lircd");
    Write_File(profile.File("QEV_LPT.INI"),
               "[DIR]\nRMT_FILE=" + file + "\n[LISTEN]\nENABLE=1\n[LIRC]\nSOCKET=" + socket + "\n");
    Write_File(profile.File("QEV_LPT.KEYS"), "POWER = MUTE\n");
    std::string lircrc;
    for (const TKey_Row& row : Keys) {
        lircrc += std::string("begin\n    prog = irexec\n    remote = tv\n    button = ") + row.Key +
                  "\n    config = touch " + profile.File(std::string("ran.") + row.Key) + "\nend\n";
    }
    Write_File(profile.File("lircrc"), lircrc);

    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    program.Environment["IO_BACKEND"] = "lirc";
    program.Environment["IO_LIRC_DEVICE"] = Device();
    program.Environment["IO_SIM_REMOTE"] = "";
    program.Stderr_Path = profile.File("program.err");
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(Wait_Until([&] { return Is_Socket(socket); }, Limit))
        << "no socket at " << socket << "; the program said: " << Read_File(profile.File("program.err"));
    ASSERT_TRUE(program.Wait_Until_Idle(std::chrono::duration<double>(Limit).count()));

    const std::string irw_out = profile.File("irw.out"), irexec_out = profile.File("irexec.out");
    TClient irw_client({irw, socket}, {}, irw_out);
    TClient irexec_client({irexec, profile.File("lircrc")}, {"LIRC_SOCKET_PATH=" + socket}, irexec_out);
    ASSERT_TRUE(irw_client.Started() && irexec_client.Started());
    ASSERT_TRUE(Wait_Until([&] { return Accepted_Connections(socket) == 2; }, Limit))
        << "irw and irexec did not both connect; irw: " << Read_File(irw_out) << " irexec: " << Read_File(irexec_out);

    // Hears the device beside the program: the keys and the macro's send.
    TTool_Process receive({"receive", file, "--device", Device(), "--timeout", "120"}, {});
    ASSERT_TRUE(receive.Started());

    for (const TKey_Row& row : Keys) {
        SCOPED_TRACE(row.Name);
        // The listener begins its first wait a moment after start-up: a key
        // sent before that is sent again.
        for (int attempt = 0; attempt < 3 && !Has_Line(irw_out, row.Irw_Line); ++attempt) {
            ASSERT_TRUE(bench::Wait_Until_Receiving(receive.Pid(), receive.Pid(), true, bench::Loopback_Limit));
            const TTool_Result sent = Run_Tool_Process({"send", file, row.Key, "--device", Device()}, {});
            ASSERT_EQ(sent.Exit, 0) << sent.Err;
            ASSERT_EQ(Next_Heard(receive), row.Key) << "the send did not go through the device";
            Wait_Until([&] { return Has_Line(irw_out, row.Irw_Line); }, std::chrono::seconds(10));
        }
        EXPECT_TRUE(Has_Line(irw_out, row.Irw_Line)) << "irw printed:\n" << Read_File(irw_out);
        const std::string ran = profile.File(std::string("ran.") + row.Key);
        EXPECT_TRUE(Wait_Until([&] { return File_Exists(ran); }, Limit))
            << "irexec did not run its command; it said: " << Read_File(irexec_out);
        if (*row.Macro != '\0') {
            EXPECT_EQ(Next_Heard(receive), row.Macro) << "the macro's send";
        }
    }
    // Every line irw printed is a key sent from outside: the macro's own
    // send (MUTE) went out before VOL and was not heard.
    for (const std::string& line : Lines_Of(irw_out)) {
        bool sent = false;
        for (const TKey_Row& row : Keys) sent = sent || line == row.Irw_Line;
        EXPECT_TRUE(sent) << "irw printed " << line;
    }
    receive.Send_Signal(SIGTERM);
    receive.Wait();
    EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
}  // namespace qev::test
