#include "harness/kernel_ir_loopback.h"

#include "app/core/table_codes.h"
#include "base/stop_request.h"
#include "irport/port_library.h"
#include "irport/signal_port.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace qev::bench {

namespace {

constexpr TLoopback_Code Codes[] = {
    {"NEC", {TProtocol::NEC, 0x04, 0x08}, 8},
    {"RC5", {TProtocol::RC5, 0x05, 0x21}, 6},
    {"RC6", {TProtocol::RC6, 0x10, 0x0C}, 8},
    {"SIRC", {TProtocol::SIRC, 0x01, 0x15}, 8},
};

// A looped-back send ends once the line has been off this long: longer than
// the gap between two transmissions of any of the codes (RC5's, the
// longest, is 89 ms)...
constexpr unsigned Send_End_Gap_us = 200'000;
// ...and takes at most this long (two transmissions take about 230 ms).
constexpr unsigned Send_Longest_us = 2'000'000;
// The durations a receive takes at most.
constexpr std::size_t Receive_Capacity = 65536;
// A capture that has not taken a send this long after it went out missed it.
constexpr std::chrono::seconds Capture_Wait{10};
constexpr int Capture_Sends = 3;
// Between two looks at a thread in /proc.
constexpr std::chrono::microseconds Look_Interval{200};

std::string Read_Text(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct TThread_Look {
    bool Waiting = false;     // asleep in the system call a receive waits in
    long long Voluntary = 0;  // times it went to sleep
};

bool Is_Wait_Call(long number) {
#ifdef SYS_poll
    if (number == SYS_poll) return true;
#endif
    return number == SYS_ppoll || number == SYS_futex;
}

TThread_Look Look_At(pid_t pid, pid_t tid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/";
    TThread_Look look;
    // The state is the field after the ')' that ends the command's name.
    const std::string stat = Read_Text(folder + "stat");
    const std::size_t name_end = stat.rfind(')');
    const bool asleep = name_end != std::string::npos && name_end + 2 < stat.size() && stat[name_end + 2] == 'S';
    // "<number> <arguments...>" while in a system call, "running" or "-1 ..." otherwise.
    const std::string call = Read_Text(folder + "syscall");
    char* end = nullptr;
    const long number = std::strtol(call.c_str(), &end, 10);
    look.Waiting = asleep && end != call.c_str() && Is_Wait_Call(number);
    const std::string status = Read_Text(folder + "status");
    const std::string key = "voluntary_ctxt_switches:";
    const std::size_t at = status.find("\n" + key);
    if (at != std::string::npos) look.Voluntary = std::atoll(status.c_str() + at + 1 + key.size());
    return look;
}

pid_t Wait_For_Thread_Id(const std::atomic<pid_t>& tid) {
    while (tid.load() == 0) std::this_thread::yield();
    return tid.load();
}

}  // namespace

std::span<const TLoopback_Code> Loopback_Codes() { return Codes; }

TLoopback_Program::TLoopback_Program() {
    // Room for a capture that needs a send or two again.
    State.Receive_Time_Limit_Seconds = 60;
    if (State.Port.Load_Port_Library(State.Port_Library_Name.c_str()) != 0) {
        Problem = "the port library " + State.Port_Library_Name + " could not be loaded: " + State.Port.Load_Error();
        return;
    }
    const int both = Signal_Send | Signal_Receive;
    if ((State.Port.Signal_Features() & both) != both) {
        Problem = "the port (" + State.Port.Port_Description() + ") does not both send and receive whole signals";
        return;
    }
    const int32_t row_capacity = Row_Capacity_For(State.Settings.MAX_RMTCMD_BIT_LENGTH);
    State.Samples.Allocate(State.Settings.MAX_RMTCMD_BIT_LENGTH, row_capacity);
    State.Table.Allocate(State.Settings.MAX_RMTCMD_NUM, row_capacity);
    std::vector<TIR_Record> records;
    for (const TLoopback_Code& code : Codes) records.push_back({code.Name, code.Code, {}});
    const TImport_Result imported =
        Import_Records(records, State.Table, {State.Settings.MAX_RMTCMD_NUM, State.Settings.MAX_RMTCMD_BIT_LENGTH});
    if (imported.Added != static_cast<int32_t>(records.size())) Problem = "the codes did not fit the table";
}

std::string TLoopback_Program::Backend() const {
    const auto name = reinterpret_cast<const char* (*)()>(State.Port.Resolve("IoBackendName"));
    return name ? name() : "";
}

std::vector<int32_t> TLoopback_Program::Row_Samples(int32_t row) const {
    const TLevels levels = Row_Levels(State.Table, row);
    std::vector<int32_t> samples(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) samples[i] = levels[i] ? 255 : 0;
    return samples;
}

bool Wait_Until_Receiving(pid_t pid, pid_t tid, bool fresh, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    long long slept = -1;  // sleeps when first seen waiting
    while (std::chrono::steady_clock::now() < end) {
        const TThread_Look look = Look_At(pid, tid);
        if (look.Waiting) {
            if (!fresh) return true;
            if (slept < 0) {
                slept = look.Voluntary;
            } else if (look.Voluntary > slept) {
                return true;
            }
        }
        std::this_thread::sleep_for(Look_Interval);
    }
    return false;
}

TLooped_Send Receive_While(TLoopback_Program& program, const std::function<std::string()>& send) {
    TLooped_Send result;
    const auto receive = program.State.Port.Signal_Functions().IoSignalReceive;
    std::vector<unsigned> durations(Receive_Capacity);
    std::atomic<pid_t> tid{0};
    int got = 0;
    std::string receive_error;
    std::thread receiver([&] {
        tid = static_cast<pid_t>(::syscall(SYS_gettid));
        got = receive(durations.data(), static_cast<int>(durations.size()), static_cast<int>(Loopback_Limit.count()),
                      Send_End_Gap_us, Send_Longest_us);
        if (got < 0) receive_error = program.State.Port.Signal_Error();
    });
    // The receiver makes one long wait: no new slice to wait for.
    const bool waiting = Wait_Until_Receiving(::getpid(), Wait_For_Thread_Id(tid), false, Loopback_Limit);
    const std::string send_error = waiting ? send() : std::string();
    receiver.join();
    if (!waiting) {
        result.Error = "the receiving thread never began to wait";
    } else if (!send_error.empty()) {
        result.Error = "the send failed: " + send_error;
    } else if (got < 0) {
        result.Error = "the receive failed: " + receive_error;
    } else if (got == 0) {
        result.Error = "nothing came back within " + std::to_string(Loopback_Limit.count()) + " ms";
    }
    if (got > 0) result.Received.assign(durations.begin(), durations.begin() + got);
    return result;
}

TLooped_Send Send_Looped_Back(TLoopback_Program& program, int32_t row, int32_t repeat) {
    const std::vector<int32_t> samples = program.Row_Samples(row);
    TLooped_Send result = Receive_While(program, [&] {
        const std::size_t messages = program.Feedback.Messages.size();
        program.State.Settings.REPEAT = repeat;
        program.State.Send_Command(row);
        return program.Feedback.Messages.size() > messages ? program.Feedback.Messages.back().Text : std::string();
    });
    result.Sent = Signal_Of_Samples(samples.data(), static_cast<int32_t>(samples.size()), repeat);
    return result;
}

TLooped_Learn Learn_Looped_Back(TLoopback_Program& learner, TLoopback_Program& sender, int32_t row) {
    TLooped_Learn result;
    learner.State.Settings.MIN_LEADER_LENGTH = Codes[row].Min_Leader;
    std::atomic<pid_t> tid{0};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread capture([&] {
        tid = static_cast<pid_t>(::syscall(SYS_gettid));
        const TReceive_Report report = learner.State.Receive_Command();
        const std::lock_guard<std::mutex> lock(mutex);
        result.Report = report;
        done = true;
        ended.notify_all();
    });
    const pid_t capturing = Wait_For_Thread_Id(tid);
    bool stopped = false;
    for (int attempt = 0; attempt < Capture_Sends; ++attempt) {
        if (!Wait_Until_Receiving(::getpid(), capturing, true, Loopback_Limit)) break;
        sender.State.Send_Command(row, 1);
        ++result.Sends;
        std::unique_lock<std::mutex> lock(mutex);
        if (ended.wait_for(lock, Capture_Wait, [&] { return done; })) break;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!done) {
            stopped = true;
            Request_Program_Stop();
        }
    }
    capture.join();
    if (stopped) Clear_Program_Stop();

    if (stopped || result.Report.Result != TReceive_Result::Received) {
        result.Error = stopped ? "the capture took none of " + std::to_string(result.Sends) + " sends"
                               : "the capture ended without a signal";
        if (!result.Report.Error.empty()) result.Error += ": " + result.Report.Error;
        return result;
    }
    const int32_t length = result.Report.Samples;
    result.Learned.assign(learner.State.Samples.Data(), learner.State.Samples.Data() + length);
    result.Sent = sender.Row_Samples(row);
    result.Sent.resize(static_cast<std::size_t>(length), 0);
    return result;
}

std::vector<int32_t> Edges_Of(std::span<const int32_t> samples) {
    std::vector<int32_t> edges;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if ((samples[i] != 0) != (samples[i - 1] != 0)) edges.push_back(static_cast<int32_t>(i));
    }
    return edges;
}

}  // namespace qev::bench
