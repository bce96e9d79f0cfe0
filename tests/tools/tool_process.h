// The built qev-ir run as a child process, with an environment of the
// test's choosing: the port library reads its environment once, when it is
// loaded, so each send or receive needs a process of its own.
#ifndef QEV_TESTS_TOOLS_TOOL_PROCESS_H
#define QEV_TESTS_TOOLS_TOOL_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace qev::test {

struct TTool_Result {
    int Exit = -1;    // the exit status, -1 when the process did not exit
    int Signal = 0;   // the signal that ended it, 0 when it exited
    std::string Out;  // its standard output
    std::string Err;  // its standard error
};

// qev-ir (QEV_IR_PATH) running with `args`. Its environment is the test's
// without any IO_* variable (a developer's IO_BACKEND must not decide what
// it opens), plus `environment` ("NAME=value" each). Standard input is
// /dev/null, standard output a pipe the test reads, standard error a file.
class TTool_Process {
public:
    TTool_Process(const std::vector<std::string>& args, const std::vector<std::string>& environment);
    ~TTool_Process();  // kills a process that is still running
    TTool_Process(const TTool_Process&) = delete;
    TTool_Process& operator=(const TTool_Process&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // The next line of its output, without the line end; false when the
    // output ended or nothing came within `timeout_ms`.
    bool Read_Line(std::string& line, int timeout_ms);
    void Send_Signal(int signal) const;
    // Reads the rest of its output and waits for it to end.
    TTool_Result Wait();

private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    std::string err_path_;
    std::string pending_;  // output read but not yet taken by Read_Line
    std::string taken_;    // lines taken by Read_Line, for the result
};

// Runs qev-ir to its end.
TTool_Result Run_Tool_Process(const std::vector<std::string>& args, const std::vector<std::string>& environment);

}  // namespace qev::test

#endif
