#include "app/core/qev_state.h"

#include "app/settings/settings_file.h"
#include "base/stop_request.h"
#include "irport/signal_port.h"
#include "irport/transmitter.h"

#include <algorithm>
#include <cstring>

namespace qev {

namespace {

void Show_No_Profile(TUser_Feedback& feedback) {
    feedback.Show_Error("USERPROFILE is not founded", "INI File Load Error");
}

}  // namespace

TQEV_State::TQEV_State(TCounter& counter, TPriority_Api& priority, TUser_Feedback& feedback, TMain_View& view)
    : Clock(counter, priority), Feedback(feedback), View(view), Executable_Path(Started_Executable_Path(nullptr)) {}

bool TQEV_State::Start_Up() {
    if (!Clock.Counter_Present()) {
        Feedback.Show_Error("This Hardware dosen't support QueryPerformanceCounter.", "Function Error");
        return false;
    }
    Port.Load_Port_Library(Port_Library_Name.c_str());
    port_problem_ = Port_Library_Problem(Port, Port_Library_Name);
    Calc_Tick_Period();
    Table.Command_Count = 0;
    const auto profile = Profile_Folder();
    if (!profile) {
        Show_No_Profile(Feedback);
        return false;
    }
    const TIni_File file(Settings_File_Path(*profile, Executable_Path));
    Read_Settings(file, Settings, *profile, [this](int32_t base) { Set_LPT_Address(base); });
    const int32_t row_capacity = Row_Capacity_For(Settings.MAX_RMTCMD_BIT_LENGTH);
    Samples.Allocate(Settings.MAX_RMTCMD_BIT_LENGTH, row_capacity);
    Table.Allocate(Settings.MAX_RMTCMD_NUM, row_capacity);
    return true;
}

void TQEV_State::Release_Buffers() {
    Samples.Release();
    Table.Release();
}

std::string TQEV_State::Settings_Path() const {
    const auto profile = Profile_Folder();
    return profile ? Settings_File_Path(*profile, Executable_Path) : std::string();
}

TShut_Down_Result TQEV_State::Write_Settings_File() {
    const std::string path = Settings_Path();
    if (path.empty()) {
        Show_No_Profile(Feedback);
        return TShut_Down_Result::No_Profile;
    }
    TIni_File file(path);
    if (!Write_Settings(file, Settings)) {
        Feedback.Show_Error("Unable to write to " + path + ": " + std::strerror(file.Last_Error()), "QEV_LPT");
        return TShut_Down_Result::Write_Failed;
    }
    return TShut_Down_Result::Written;
}

void TQEV_State::Set_LPT_Address(int32_t address) {
    Settings.Base_Address = address;
    Port.Prepare_Port(Port_Base());
}

int32_t TQEV_State::Row_Limit() const { return std::clamp(Settings.MAX_RMTCMD_NUM, 0, Table.Rows()); }

TCommand_File_Limits TQEV_State::Command_File_Limits() const {
    return {Row_Limit(), std::min(Row_Capacity_For(Settings.MAX_RMTCMD_BIT_LENGTH), Table.Row_Capacity())};
}

TError_Sink TQEV_State::Error_Sink() {
    return [this](const std::string& text, const std::string& caption) { Feedback.Show_Error(text, caption); };
}

int32_t TQEV_State::Load_Command_File(const std::string& path, int report_errors) {
    TCommand_File_Reader reader(path, Command_File_Limits(), report_errors == 1 ? Error_Sink() : TError_Sink{});
    if (!reader.Is_Open()) return -1;
    Settings.RMT_DIR = Folder_Of(path);
    Origin.File_Opened(path);
    View.Set_Status_Text(File_Name_Of(path));
    const TCommand_File_Result read = reader.Read(Table);
    if (read.Repeat) Settings.REPEAT = *read.Repeat;
    if (read.Result >= 0) {
        Origin.Rows_Kept();  // the table is the file's now
        View.Refresh_Command_View();
    }
    return read.Result;
}

void TQEV_State::Clear_All_Data() {
    Table.Command_Count = 0;
    Origin.Rows_Kept();  // nothing left to lose
}

bool TQEV_State::Save_Command_File(const std::string& path) {
    Settings.RMT_DIR = Folder_Of(path);
    if (!qev::Save_Command_File(path, Settings.REPEAT, Table, Error_Sink())) return false;
    Origin.Rows_Kept();
    View.Set_Status_Text(File_Name_Of(path));
    return true;
}

void TQEV_State::Send_Command(int32_t row) { Send_Command(row, Settings.REPEAT); }

void TQEV_State::Send_Command(int32_t row, int32_t times, TPress press) {
    if (row < 0 || row >= Table.Rows_In_Use()) return;
    Unpack_Command(row);
    if (times <= 0) return;
    if (Settings.TOGGLE != 0) press_toggle_.Apply(Samples, press);
    // A device that hears its own transmitter must not take this for a key.
    const TListener::TPause pause(Listener);
    if (Port.Signal_Features() != 0) {
        signal_sender_.Send(Port, Settings, Samples, times, Feedback);
        return;
    }
    if (!Port.Functions().PortOut) return;
    // One raised section for all repetitions: between two of them the line
    // holds the last sample for its tick and the next one starts half a tick
    // later, with no priority system calls in between.
    // A request to end the program lets the transmission under way finish
    // and drops the repetitions after it.
    TRaised_Priority raised(Clock);
    for (int32_t i = 0; i < times && (i == 0 || !Program_Stop_Requested()); ++i) Transmit_Command();
}

void TQEV_State::Transmit_Command() {
    const TListener::TPause pause(Listener);
    if (Port.Signal_Features() != 0) {
        signal_sender_.Send(Port, Settings, Samples, 1, Feedback);
        return;
    }
    const int32_t count = std::clamp(Samples.Sample_Count, 0, Samples.Capacity());
    Transmit_Samples(Clock, Port, Port_Base(), Samples.Data(), count);
}

TReceive_Report TQEV_State::Receive_Command() {
    const TListener::TPause pause(Listener);
    TReceive_Request request;
    request.Base = Port_Base();
    request.Samples = Settings.MAX_RMTCMD_BIT_LENGTH;
    request.Min_Leader = Settings.MIN_LEADER_LENGTH;
    request.Time_Limit_Seconds = Receive_Time_Limit_Seconds;
    if (Port.Signal_Features() & Signal_Receive)
        return Receive_Signal_Samples(Clock.Counter(), Port, request, Samples.Data(), Samples.Capacity());
    return Receive_Samples(Clock, Port, request, Samples.Data(), Samples.Capacity());
}

}  // namespace qev
