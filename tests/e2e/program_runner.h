// Starts the real QEV_LPT executable with a scratch profile folder and the
// simulated port, and stops it the way a desktop session does (SIGTERM).
#ifndef QEV_TESTS_E2E_PROGRAM_RUNNER_H
#define QEV_TESTS_E2E_PROGRAM_RUNNER_H

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qev::test {

// The folder of the running test binary, where QEV_LPT and libio.so are built.
std::string Binary_Folder();

// The values written to the data register, from the simulated port's log
// file (IO_SIM_TXLOG: one line per write, time, port and value).
std::vector<std::string> Logged_Port_Values(const std::string& log);

// Runs a shell command line: what it printed on its standard output (and on
// its standard error too when `with_errors`), and its exit status (-1 when
// it did not exit by itself).
std::pair<std::string, int> Run_Shell(const std::string& command, bool with_errors = false);

class TProgram_Runner {
public:
    // Environment for the child: HOME and USERPROFILE, the offscreen
    // platform, the sim backend with its remote off. Entries with an empty
    // value are removed from the child's environment.
    std::map<std::string, std::string> Environment;
    // Run as user and group "nobody" when the tests run as root, so file
    // permissions count (they mean nothing to root).
    bool Ordinary_User = false;
    // When set, the child's standard error goes to this file.
    std::string Stderr_Path;
    // Arguments after the program's name.
    std::vector<std::string> Arguments;

    TProgram_Runner(std::string executable, const std::string& profile);
    ~TProgram_Runner();

    bool Start();
    // Waits until the program catches SIGTERM (its close handler is armed).
    bool Wait_Until_Ready(double seconds = 20);
    // Waits until start-up is over and the program waits for its user: its
    // main thread sleeps in a wait for events (its window's or a message
    // box's event loop).
    bool Wait_Until_Idle(double seconds = 20);
    // SIGTERM, then waits for the exit. Returns the exit status, or -1.
    int Terminate(double seconds = 20);
    pid_t Pid() const { return pid_; }
    // Waits for an exit the program takes by itself. -1 on timeout.
    int Wait_For_Exit(double seconds = 20);

private:
    std::string executable_;
    pid_t pid_ = -1;
};

}  // namespace qev::test

#endif
