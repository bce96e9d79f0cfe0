// The program's shared state and the operations that every front end uses.
//
// One TQEV_State exists per running program, created at start-up and owned by
// the main window, which hands it by reference to the dialogs and engines. It
// holds the Settings record, the Command table, the Sample buffer, the port
// binding and the sample clock. It talks to the user through TUser_Feedback
// and to the main window through TMain_View. Nothing here needs a display:
// tests build as many independent instances as they like, with a scripted
// counter, a fake port and a recording feedback and view.
#ifndef QEV_APP_CORE_QEV_STATE_H
#define QEV_APP_CORE_QEV_STATE_H

#include "app/core/busy_section.h"
#include "app/core/listener.h"
#include "app/core/main_view.h"
#include "app/core/port_status.h"
#include "app/core/press_toggle.h"
#include "app/core/signal_sending.h"
#include "app/core/table_origin.h"
#include "app/settings/settings.h"
#include "base/user_feedback.h"
#include "ir/code_files.h"
#include "irport/counter.h"
#include "irport/port_library.h"
#include "irport/priority.h"
#include "irport/receiver.h"
#include "irport/sample_clock.h"
#include "store/command_file.h"
#include "store/command_table.h"

#include <string>

namespace qev {

enum class TShut_Down_Result {
    Written,       // all twenty keys are in the Settings file
    No_Profile,    // no profile folder: reported, nothing written
    Write_Failed,  // the file refused a key: reported; the shutdown must stop here
};

class TQEV_State {
public:
    TQEV_State(TCounter& counter, TPriority_Api& priority, TUser_Feedback& feedback, TMain_View& view);

    TSettings Settings;
    TCommand_Table Table;
    TSample_Buffer Samples;
    TPort_Library Port;
    TSample_Clock Clock;
    TUser_Feedback& Feedback;
    TMain_View& View;

    // Where the Settings file takes its name from: the running executable
    // (/proc/self/exe) unless the program says by which name it was started.
    std::string Executable_Path;
    // The port library's bare name, found by the loader's search.
    std::string Port_Library_Name = TPort_Library::Default_Name;
    // What the port library leaves undone, found at start-up; empty when
    // sending and learning both work (see Port_Library_Problem).
    const std::string& Port_Problem() const { return port_problem_; }
    std::string Port_Summary() const { return qev::Port_Summary(Port); }
    // Longest wait of a capture for the remote's first edge.
    double Receive_Time_Limit_Seconds = 10.0;
    // The Command file loaded last and whether rows were added since.
    TTable_Origin Origin;
    // The receiver kept open while idle (Option ▸ Listen); sending and
    // learning pause it while they run.
    TListener Listener{Port};

    // ---- Long actions (see TBusy_Section) ------------------------------------
    bool Stop_Requested = false;
    bool Busy() const { return busy_depth_ > 0; }

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
    // Unpacks `row` and transmits it REPEAT times back to back, the priority
    // raised once for all of them (nothing for REPEAT <= 0, a row not in use
    // or a port library without PortOut: then the priority is not touched).
    // With TOGGLE set, an RC5, RC5X or RC6 row goes out with the toggle of a
    // new press (TPress_Toggle); the transmissions of one send share it.
    void Send_Command(int32_t row);
    // The same with `times` transmissions in place of REPEAT; a held key's
    // repetition keeps the toggle of the press before.
    void Send_Command(int32_t row, int32_t times, TPress press = TPress::New);
    // Sends the first Sample count samples of the buffer once (cut to the
    // buffer's capacity). A port that takes whole signals (a kernel IR
    // device) gets them as durations (see TSignal_Sender).
    void Transmit_Command();
    // Fills the buffer from the receiver line (or the signal port's
    // receiver): MAX_RMTCMD_BIT_LENGTH samples, cut to the buffer's capacity.
    TReceive_Report Receive_Command();

    // ---- Command table ----------------------------------------------------
    int32_t Find_Command(const std::string& name) const { return qev::Find_Command(Table, name); }
    void Unpack_Command(int32_t row) { qev::Unpack_Command(Table, row, Samples); }
    void Pack_Command(int32_t row) { qev::Pack_Command(Samples, Table, row); }
    // Rows the table may use now: MAX_RMTCMD_NUM as set, but never more than allocated.
    int32_t Row_Limit() const;
    // What a Command file may fill now: MAX_RMTCMD_NUM rows and the Row
    // capacity of MAX_RMTCMD_BIT_LENGTH, never more than was allocated.
    TCommand_File_Limits Command_File_Limits() const;
    // Clear All Data: no row is in use any more, and none is unsaved.
    void Clear_All_Data();
    // Reads a Command file into the table, replacing it from row 0. As soon
    // as the file is open, RMT_DIR becomes its folder, the Origin's Command
    // file its path and the status bar shows its name; each good repetition
    // line sets REPEAT; after a read the list and keys are refreshed. 0: read
    // without complaint; 1: read with faults; -1: not a readable file, or a
    // bad repetition line (the table is then unchanged). report_errors = 1
    // shows the faults.
    int32_t Load_Command_File(const std::string& path, int report_errors);
    // Writes REPEAT and the table. RMT_DIR becomes the file's folder first,
    // whether or not the file can be written; the status bar shows the
    // file's name afterwards. A failure is shown as "Can't Create File".
    bool Save_Command_File(const std::string& path);
    // Adds the commands of a Flipper (.ir), lircd.conf (.conf) or Pronto
    // (.pronto) file after the rows in use, as waveforms of at most
    // MAX_RMTCMD_BIT_LENGTH samples. Names already in the table are left
    // out. The file's first fault (with its line and how many more there
    // were) and what was left out are shown in one box; the list and keys
    // are refreshed. The number of commands added, or -1 when nothing could
    // be read.
    int32_t Import_Code_File(const std::string& path);
    // Writes the table as a file of `format` (not a Command file); RMT_DIR
    // becomes its folder once written. A failure is shown as "Can't Create File".
    bool Export_Code_File(const std::string& path, TCode_Format format);
    // Error boxes through Feedback, as the store's readers and writers report.
    TError_Sink Error_Sink();

private:
    friend class TBusy_Section;
    std::string port_problem_;
    int busy_depth_ = 0;
    TSignal_Sender signal_sender_;
    TPress_Toggle press_toggle_;
};

}  // namespace qev

#endif
