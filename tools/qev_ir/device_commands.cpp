#include "tools/qev_ir/device_commands.h"

#include "app/core/key_recognition.h"
#include "app/core/main_view.h"
#include "app/core/qev_state.h"
#include "base/sample_grid.h"
#include "base/stop_request.h"
#include "base/text_case.h"
#include "base/text_scan.h"
#include "base/user_feedback.h"
#include "ir/decoder.h"
#include "irport/counter.h"
#include "irport/port_library.h"
#include "irport/priority.h"
#include "tools/qev_ir/tool_support.h"

#include <sys/stat.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qev::ir_tool {
namespace {

constexpr const char* Simulated_Device = "simulated IR device";
// The longest wait in the library between two looks at the clock and at a
// request to end (Ctrl-C): a stop comes this soon while no signal arrives.
constexpr int Wait_Slice_ms = 100;
constexpr double Longest_Timeout_s = 1e6;

// ---- The command line -----------------------------------------------------------

struct TOption {
    const char* Name;  // "--count"
    std::optional<std::string>* Value;
};

// Splits the words after the command into arguments and the options of
// `options` ("--name VALUE" or "--name=VALUE", anywhere; "--" ends them).
// Why the line is wrong, or nothing.
std::optional<std::string> Parse_Options(const std::vector<std::string>& args, const std::vector<TOption>& options,
                                         std::vector<std::string>& arguments) {
    bool options_end = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (options_end || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            arguments.push_back(word);
            continue;
        }
        if (word == "--") {
            options_end = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const TOption* option = nullptr;
        for (const TOption& o : options) {
            if (name == o.Name) option = &o;
        }
        if (option == nullptr) return "unknown option '" + name + "' for " + args[0];
        if (option->Value->has_value()) return name + " is given twice";
        if (equals != std::string::npos) {
            *option->Value = word.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            *option->Value = args[++i];
        } else {
            return name + " needs a value";
        }
    }
    return std::nullopt;
}

// A whole number from 1 to INT32_MAX, written in decimal.
std::optional<int32_t> Parse_Count(std::string_view text) {
    std::size_t pos = 0;
    const TDigits digits = Take_Digits(text, pos, 10, INT32_MAX);
    if (digits.Count == 0 || pos != text.size() || digits.Overflow || digits.Value == 0) return std::nullopt;
    return static_cast<int32_t>(digits.Value);
}

// Seconds above 0, decimal with an optional fraction ("10", "2.5").
std::optional<double> Parse_Seconds(std::string_view text) {
    std::size_t digits = 0, points = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++points;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1) return std::nullopt;
    const double seconds = std::strtod(std::string(text).c_str(), nullptr);
    if (!(seconds > 0) || seconds > Longest_Timeout_s) return std::nullopt;
    return seconds;
}

// ---- The device -----------------------------------------------------------------

// Points the port library at the device before it is loaded; the name the
// messages give the device. Nothing when the device file is not there (said
// on the error stream): the library would only say the same.
std::optional<std::string> Choose_Device(const std::optional<std::string>& option, TMessages& messages) {
    const char* backend = std::getenv("IO_BACKEND");
    if (backend != nullptr && Same_Ignoring_Case(backend, "simlirc")) return std::string(Simulated_Device);
    const char* from_environment = std::getenv("IO_LIRC_DEVICE");
    const std::string device = option ? *option : from_environment ? from_environment : Default_Device;
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) {
        messages.Problem(device + ": " + std::strerror(errno));
        return std::nullopt;
    }
    ::setenv("IO_BACKEND", "lirc", 1);
    ::setenv("IO_LIRC_DEVICE", device.c_str(), 1);
    return device;
}

// Loads the port library and checks that the device offers `needed`
// (Signal_Send or Signal_Receive); false, said on the error stream, when not.
bool Open_Device(TPort_Library& port, const std::string& device, int needed, TMessages& messages) {
    if (port.Load_Port_Library(TPort_Library::Default_Name) != 0) {
        messages.Problem(std::string("the port library ") + TPort_Library::Default_Name +
                         " could not be loaded: " + port.Load_Error());
        return false;
    }
    const int features = port.Signal_Features();
    if (features == 0) {
        // The library has said why on the error stream as it loaded.
        messages.Problem(device + ": cannot be used as a kernel IR device" +
                         (needed == Signal_Send ? "; nothing was sent" : ""));
        return false;
    }
    if ((features & needed) == 0) {
        messages.Problem(device + (needed == Signal_Send ? ": the device has no transmitter; nothing was sent"
                                                         : ": the device has no receiver"));
        return false;
    }
    return true;
}

// The state's questions and reports, on a terminal: a message box becomes a
// line on the error stream; there is no window to refresh.
class TTool_Feedback final : public TUser_Feedback, public TMain_View {
public:
    explicit TTool_Feedback(TMessages& messages) : messages_(messages) {}

    TMessage_Answer Message_Box(const std::string& text, const std::string&, TMessage_Kind) override {
        messages_.Problem(One_Line(text));
        return TMessage_Answer::Cancel;
    }
    std::optional<std::string> Choose_File(const TFile_Request&) override { return std::nullopt; }
    std::optional<std::string> Choose_Folder(const std::string&, const std::string&) override { return std::nullopt; }
    void Process_Pending_Events() override {}
    void Sleep_Ms(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

    void Set_Status_Text(const std::string&) override {}
    void Refresh_Command_View() override {}
    void Busy_Ended() override {}
    int Apply_Background() override { return 0; }
    void Map_Keys() override {}

private:
    TMessages& messages_;
};

// ---- send -----------------------------------------------------------------------

struct TFound_Command {
    bool Read = false;              // the file could be read
    int32_t Row = -1;               // the command's row in the state's table
    std::optional<int32_t> Repeat;  // a Command file's @REPEAT
};

// Reads FILE into the state's table and finds the command NAME in it. The
// faults of the file go to `file_messages`: they matter only when the
// command is not found, as faults elsewhere in a file do not change it.
// A record of a code file is sampled as an import samples it; only the
// first one of that name is imported.
TFound_Command Find_In_File(const std::string& path, TCode_Format format, const std::string& name, TQEV_State& state,
                            TMessages& file_messages, TMessages& messages) {
    TFound_Command found;
    if (format == TCode_Format::Command_File) {
        TCommand_File_Result result;
        found.Read = Read_Command_File(path, state.Table, result, file_messages);
        if (!found.Read) return found;
        found.Row = Find_Command(state.Table, name);
        found.Repeat = result.Repeat;
        return found;
    }
    const TIR_File file = Read_Code_File(path, format);
    Report_Format_Errors(path, file, file_messages);
    found.Read = !Unreadable(file);
    for (const TIR_Record& record : file.Records) {
        if (record.Name != name) continue;
        state.Table.Allocate(1, Row_Bytes_Limit);
        const TImport_Result imported = Import_Records({record}, state.Table, Unsaved_Import_Limits);
        for (const std::string& line : Describe_Import(imported)) messages.Problem(path + ": " + line);
        if (imported.Added == 1) found.Row = 0;
        break;
    }
    return found;
}

int Send(const std::string& path, TCode_Format format, const std::string& name, std::optional<int32_t> count,
         const std::optional<std::string>& device_option, std::ostream& err) {
    TMessages messages(err);
    TMonotonic_Counter counter;
    TLinux_Priority priority;
    TTool_Feedback feedback(messages);
    TQEV_State state(counter, priority, feedback, feedback);

    std::ostringstream file_faults;
    TMessages file_messages(file_faults);
    const TFound_Command found = Find_In_File(path, format, name, state, file_messages, messages);
    if (found.Row < 0) {
        err << file_faults.str();
        if (found.Read) messages.Problem(path + ": no command named '" + name + "'");
        return Ir_Tool_Failed;
    }
    const int32_t times = count.value_or(found.Repeat.value_or(1));
    if (times < 1) {
        messages.Problem(path + ": @REPEAT is " + std::to_string(times) + ", which sends nothing; give --count");
        return Ir_Tool_Failed;
    }

    const std::optional<std::string> device = Choose_Device(device_option, messages);
    if (!device || !Open_Device(state.Port, *device, Signal_Send, messages)) return Ir_Tool_Failed;
    // The program's own send: the row as durations, `times` transmissions
    // with its gap between them, the carrier of the protocol it decodes to.
    state.Samples.Allocate(Command_Samples_Limit, state.Table.Row_Capacity());
    state.Send_Command(found.Row, times);
    return messages.Any() ? Ir_Tool_Failed : Ir_Tool_Ok;
}

// ---- receive --------------------------------------------------------------------

// While it lives, SIGINT, SIGTERM and SIGHUP ask the receive to end (it
// ends within a wait slice, or once the signal under way is in), and a
// closed output pipe is a failed write rather than the end of the process.
class TStop_On_Signals {
public:
    TStop_On_Signals() {
        struct sigaction stop {};
        stop.sa_handler = [](int) { Request_Program_Stop(); };
        sigemptyset(&stop.sa_mask);
        for (std::size_t i = 0; i < std::size(Signals); ++i) ::sigaction(Signals[i], &stop, &saved_[i]);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, &saved_pipe_);
    }
    ~TStop_On_Signals() {
        for (std::size_t i = 0; i < std::size(Signals); ++i) ::sigaction(Signals[i], &saved_[i], nullptr);
        ::sigaction(SIGPIPE, &saved_pipe_, nullptr);
    }
    TStop_On_Signals(const TStop_On_Signals&) = delete;
    TStop_On_Signals& operator=(const TStop_On_Signals&) = delete;

private:
    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction saved_[std::size(Signals)]{};
    struct sigaction saved_pipe_ {};
};

// "NEC  address 0x04  command 0x08  (+1 repeat)" or "Unknown protocol",
// after the learned command's name and two blanks when `keys` holds one
// ("POWER  NEC ..."; "-  NEC ..." for none); then the durations (us, mark
// first) on an indented line.
void Print_Signal(const unsigned* durations, int count, const TKey_Recognizer* keys, std::ostream& out) {
    std::vector<int32_t> timing(durations, durations + count);
    // The silence the device ended the signal on is part of it: a bi-phase
    // frame whose last half is idle ends in it.
    timing.push_back(static_cast<int32_t>(Receive_End_Gap_us));
    constexpr int32_t Most_Samples = (Receive_Longest_Signal_us + Receive_End_Gap_us) / Sample_Period_us + 1;
    const std::vector<uint8_t> levels = Levels_Of_Durations(timing, Most_Samples);
    if (keys) {
        const std::optional<THeard_Key> key = keys->Recognize(levels, Sample_Of_us(Receive_End_Gap_us));
        out << (key && key->Row >= 0 ? key->Name : "-") << "  ";
    }
    out << Describe_Decoded(Decode_Levels(levels)) << "\n ";
    for (int i = 0; i < count; ++i) out << ' ' << durations[i];
    out << '\n';
}

// The learned commands of FILE (any format) to name what is received.
std::optional<TKey_Recognizer> Learned_Keys(const std::string& path, TCode_Format format, TMessages& messages) {
    TCommand_Table table;
    if (!Read_Into_Table(path, format, table, Unsaved_Import_Limits, messages)) return std::nullopt;
    TKey_Recognizer keys;
    keys.Learn(table);
    return keys;
}

int Receive(const std::optional<TKey_Recognizer>& keys, std::optional<int32_t> count, std::optional<double> timeout_s,
            const std::string& timeout_text, const std::optional<std::string>& device_option, std::ostream& out,
            std::ostream& err) {
    TMessages messages(err);
    TPort_Library port;
    const std::optional<std::string> device = Choose_Device(device_option, messages);
    if (!device || !Open_Device(port, *device, Signal_Receive, messages)) return Ir_Tool_Failed;
    const auto receive = port.Signal_Functions().IoSignalReceive;

    using Clock = std::chrono::steady_clock;
    const auto timeout =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout_s.value_or(0)));
    const TStop_On_Signals stop_on_signals;
    std::vector<unsigned> durations(65536);
    int32_t received = 0;
    Clock::time_point last = Clock::now();
    while (!Program_Stop_Requested()) {
        int wait_ms = Wait_Slice_ms;
        if (timeout_s) {
            const auto left = last + timeout - Clock::now();
            if (left <= Clock::duration::zero()) {
                if (!count) return Ir_Tool_Ok;
                messages.Problem(*device + ": no signal for " + timeout_text + " s; " + std::to_string(received) +
                                 " of " + std::to_string(*count) + " received");
                return Ir_Tool_Failed;
            }
            const auto left_ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            if (left_ms < wait_ms) wait_ms = static_cast<int>(left_ms);
        }
        const int got = receive(durations.data(), static_cast<int>(durations.size()), wait_ms, Receive_End_Gap_us,
                                Receive_Longest_Signal_us);
        if (got < 0) {
            messages.Problem(port.Signal_Error());
            return Ir_Tool_Failed;
        }
        if (got == 0) continue;
        Print_Signal(durations.data(), got, keys ? &*keys : nullptr, out);
        if (!out.flush()) break;  // told by the caller
        last = Clock::now();
        if (count && ++received >= *count) break;
    }
    return Ir_Tool_Ok;
}

}  // namespace

int Send_Through_Device(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    std::optional<std::string> device, count_text;
    std::vector<std::string> arguments;
    if (auto problem = Parse_Options(args, {{"--device", &device}, {"--count", &count_text}}, arguments)) {
        return Usage_Error(err, *problem);
    }
    if (arguments.size() != 2) return Usage_Error(err, "send takes 2 arguments: FILE NAME");
    std::optional<int32_t> count;
    if (count_text && !(count = Parse_Count(*count_text))) {
        return Usage_Error(err, "--count takes a whole number from 1 to 2147483647, not '" + *count_text + "'");
    }
    if (device && device->empty()) return Usage_Error(err, "--device needs a device file, e.g. /dev/lirc0");
    const std::optional<TCode_Format> format = Format_Of_Path(arguments[0]);
    if (!format) {
        return Usage_Error(err, "'" + arguments[0] + "': unknown extension (use .rmt, .ir, .conf or .pronto)");
    }
    return Send(arguments[0], *format, arguments[1], count, device, err);
}

int Receive_From_Device(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> device, count_text, timeout_text;
    std::vector<std::string> arguments;
    if (auto problem = Parse_Options(
            args, {{"--device", &device}, {"--count", &count_text}, {"--timeout", &timeout_text}}, arguments)) {
        return Usage_Error(err, *problem);
    }
    if (arguments.size() > 1) return Usage_Error(err, "receive takes at most one file, to name the keys it learned");
    std::optional<TCode_Format> format;
    if (!arguments.empty() && !(format = Format_Of_Path(arguments[0]))) {
        return Usage_Error(err, "'" + arguments[0] + "': unknown extension (use .rmt, .ir, .conf or .pronto)");
    }
    std::optional<int32_t> count;
    if (count_text && !(count = Parse_Count(*count_text))) {
        return Usage_Error(err, "--count takes a whole number from 1 to 2147483647, not '" + *count_text + "'");
    }
    std::optional<double> timeout;
    if (timeout_text && !(timeout = Parse_Seconds(*timeout_text))) {
        return Usage_Error(
            err, "--timeout takes seconds above 0 (at most 1000000; fractions allowed), not '" + *timeout_text + "'");
    }
    if (device && device->empty()) return Usage_Error(err, "--device needs a device file, e.g. /dev/lirc0");
    std::optional<TKey_Recognizer> keys;
    if (format) {
        TMessages messages(err);
        keys = Learned_Keys(arguments[0], *format, messages);
        if (!keys) return Ir_Tool_Failed;
    }
    return Receive(keys, count, timeout, timeout_text.value_or(""), device, out, err);
}

}  // namespace qev::ir_tool
