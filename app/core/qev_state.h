// The program's shared state and the operations that every front end uses.
//
// One TQEV_State exists per running program, created at start-up and owned by
// the main window, which hands it by reference to the dialogs and engines. It
// holds the Settings record, the Command table, the Sample buffer, the port
// binding and the sample clock. Nothing here needs a display: tests build as
// many independent instances as they like, with a scripted counter, a fake
// port and a recording TUser_Feedback.
#ifndef QEV_STATE_H
#define QEV_STATE_H

#include "command_file.h"
#include "command_table.h"
#include "counter.h"
#include "port_library.h"
#include "priority.h"
#include "receiver.h"
#include "sample_clock.h"
#include "settings.h"
#include "user_feedback.h"

#include <string>

namespace qev {

enum class TShut_Down_Result {
    Written,       // all fourteen keys are in the Settings file
    No_Profile,    // no profile folder: reported, nothing written
    Write_Failed,  // the file refused a key: reported; the shutdown must stop here
};

class TQEV_State {
public:
    TQEV_State(TCounter& counter, TPriority_Api& priority, TUser_Feedback& feedback);

    TSettings Settings;
    TCommand_Table Table;
    TSample_Buffer Samples;
    TPort_Library Port;
    TSample_Clock Clock;
    TUser_Feedback& Feedback;

    // Where the Settings file takes its name from; defaults to the running
    // executable (/proc/self/exe).
    std::string Executable_Path;
    // The port library's bare name, found by the loader's search.
    std::string Port_Library_Name = TPort_Library::Default_Name;
    // Longest wait of a capture for the remote's first edge.
    double Receive_Time_Limit_Seconds = 10.0;

    // ---- Start-up, the steps before the window prepares its face ----------
    // Checks the counter, loads the port library, computes the tick, reads
    // the Settings file (preparing the port as soon as its address is read)
    // and allocates the Sample buffer and the Command table. false when the
    // program must end; the reason has been shown.
    bool Start_Up();
    // Frees the Sample buffer and the Command table.
    void Release_Buffers();

    // ---- Shutdown ---------------------------------------------------------
    // Writes every setting to the Settings file, in order.
    TShut_Down_Result Write_Settings_File();
    std::string Settings_Path() const;

    // ---- Port and clock ---------------------------------------------------
    void Set_LPT_Address(int32_t address);
    unsigned Port_Base() const { return static_cast<unsigned>(Settings.Base_Address) & 0xFFFFu; }
    int64_t Calc_Tick_Period() { return Clock.Calc_Tick_Period(); }

    // ---- Sending and learning ---------------------------------------------
    // Unpacks `row` and transmits it REPEAT times (nothing for REPEAT <= 0 or
    // a row not in use).
    void Send_Command(int32_t row);
    // Sends the first Sample count samples of the buffer once (cut to the
    // buffer's capacity).
    void Transmit_Command();
    // Fills the buffer from the receiver line: MAX_RMTCMD_BIT_LENGTH samples,
    // cut to the buffer's capacity.
    TReceive_Report Receive_Command();

    // ---- Command table ----------------------------------------------------
    int32_t Find_Command(const std::string& name) const { return qev::Find_Command(Table, name); }
    void Unpack_Command(int32_t row) { qev::Unpack_Command(Table, row, Samples); }
    void Pack_Command(int32_t row) { qev::Pack_Command(Samples, Table, row); }
    // Rows the table may use now: MAX_RMTCMD_NUM as set, but never more than allocated.
    int32_t Row_Limit() const;
    int32_t Load_Command_File(const std::string& path, int report_errors) {
        return qev::Load_Command_File(path, report_errors, Settings, Table, Feedback);
    }
    bool Save_Command_File(const std::string& path) { return qev::Save_Command_File(path, Settings, Table, Feedback); }
};

}  // namespace qev

#endif
