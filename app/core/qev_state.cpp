#include "qev_state.h"

#include "settings_file.h"
#include "transmitter.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qev {

namespace {

std::string Running_Executable() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("QEV_LPT") : path.string();
}

void Show_No_Profile(TUser_Feedback& feedback) {
    feedback.Show_Error("USERPROFILE is not founded", "INI File Load Error");
}

}  // namespace

TQEV_State::TQEV_State(TCounter& counter, TPriority_Api& priority, TUser_Feedback& feedback)
    : Clock(counter, priority), Feedback(feedback), Executable_Path(Running_Executable()) {}

bool TQEV_State::Start_Up() {
    if (!Clock.Counter_Present()) {
        Feedback.Show_Error("This Hardware dosen't support QueryPerformanceCounter.", "Function Error");
        return false;
    }
    Port.Load_Port_Library(Port_Library_Name.c_str());
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
        Feedback.Show_Error("Unable to write to " + path, "QEV_LPT");
        return TShut_Down_Result::Write_Failed;
    }
    return TShut_Down_Result::Written;
}

void TQEV_State::Set_LPT_Address(int32_t address) {
    Settings.Base_Address = address;
    Port.Prepare_Port(Port_Base());
}

int32_t TQEV_State::Row_Limit() const { return std::clamp(Settings.MAX_RMTCMD_NUM, 0, Table.Rows()); }

void TQEV_State::Send_Command(int32_t row) {
    if (row < 0 || row >= std::min(Table.Command_Count, Table.Rows())) return;
    Unpack_Command(row);
    for (int32_t i = 0; i < Settings.REPEAT; ++i) Transmit_Command();
}

void TQEV_State::Transmit_Command() {
    const int32_t count = std::clamp(Samples.Sample_Count, 0, Samples.Capacity());
    Transmit_Samples(Clock, Port, Port_Base(), Samples.Data(), count);
}

TReceive_Report TQEV_State::Receive_Command() {
    TReceive_Request request;
    request.Base = Port_Base();
    request.Samples = Settings.MAX_RMTCMD_BIT_LENGTH;
    request.Min_Leader = Settings.MIN_LEADER_LENGTH;
    request.Time_Limit_Seconds = Receive_Time_Limit_Seconds;
    return Receive_Samples(Clock, Port, request, Samples.Data(), Samples.Capacity());
}

}  // namespace qev
