// TQEV_Main_Form: the main window, drawn as a remote control.
//
// It owns the program's shared state (TQEV_State) and shows it: 39 picture
// keys bound by name to learned commands, a list of every command with a Send
// key, a status bar with the last Command file, and the menu that reaches the
// other windows. Each handler is a few lines that call the operation of the
// same name; the work itself lives in the core.
#ifndef QEV_APP_WINDOW_MAIN_FORM_H
#define QEV_APP_WINDOW_MAIN_FORM_H

#include "app/core/qev_state.h"
#include "app/window/key_table.h"

#include <QImage>
#include <QMainWindow>

#include <memory>

#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QStatusBar;

namespace qev {

class TCommand_Server;
class TListening_Session;
class TLirc_Server;
class TLirc_State_Program;
class TPictureButton;

class TQEV_Main_Form : public QMainWindow, public qev::TMain_View {
    Q_OBJECT

public:
    static constexpr int Client_Width = 304;
    static constexpr int Client_Height = 479;

    // Every message box, file dialog, pause and event pass of the program
    // goes through `feedback`.
    TQEV_Main_Form(qev::TCounter& counter, qev::TPriority_Api& priority, qev::TUser_Feedback& feedback,
                   QWidget* parent = nullptr);
    ~TQEV_Main_Form() override;

    // The start-up sequence of the window's construction. false: the program
    // must end (the reason has been shown); the Settings file is untouched.
    bool Start_Up();

    qev::TQEV_State& State() { return state_; }
    qev::TCommand_Server& Server() { return *server_; }
    qev::TLirc_Server& Lirc_Server() { return *lirc_server_; }

    // ---- Operations used by the other windows ------------------------------
    void Send_Command(int32_t row);
    void Refresh_Command_List();
    void Reset_Key_Pictures();
    void Disable_All_Keys();
    void Map_Keys() override;
    int Apply_Background() override;
    void Build_Key_Table();
    // Makes the LIRC listener follow [LIRC] ENABLE and PORT, and its
    // Unix-domain socket SOCKET; a port or socket that cannot be opened is
    // told in one message each and the program goes on.
    void Apply_Lirc_Settings();

    // ---- TMain_View -----------------------------------------------------------
    void Set_Status_Text(const std::string& text) override;
    void Refresh_Command_View() override;
    void Busy_Ended() override;

    // ---- Event handlers -----------------------------------------------------
    void Common_PictureButtonClick();
    void Send_ButtonClick();
    void ReadfromFileClick();
    void SavetoFileClick();
    void ImportClick();
    void ExportClick();
    void ExitClick();
    void Clear_All_DataClick();
    void CaptureCommandClick();
    void MacroClick();
    void ServerClick();
    void ListenClick();
    void SetUpClick();
    void PerformanceClick();
    void DBToolClick();
    void LPTAddressClick();
    void VersionClick();

    // For tests and screenshots.
    QString Status_Text() const;
    const std::vector<TPictureButton*>& Keys() const { return keys_; }
    const QImage& Background() const { return background_; }

protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose: the shutdown sequence

private:
    struct TKey_Entry {
        std::string Command_Name;
        TPictureButton* Key;
    };

    void Create_Components();
    void Create_Menu();
    TPictureButton* Create_Key(const char* name, const char* caption, int left, int top);
    void Draw_Enabled_Face(TPictureButton* key);
    void Draw_Disabled_Face(TPictureButton* key);
    void Set_Caption_Color(TPictureButton* key, bool enabled);
    std::optional<std::string> Ask_File(bool save, std::string& last_name, const char* filter,
                                        int* chosen_filter = nullptr);
    bool Open_Server(std::string* error);
    void Set_Server_Check(bool open);
    // Listening (app/window/listening.cpp): the receiver open while idle.
    bool Start_Listening(std::string* why);
    // Makes listening follow [LISTEN] ENABLE (the setup dialog's OK); a
    // port that cannot listen is told in one message.
    void Apply_Listen_Settings();
    void Stop_Listening();
    void Set_Listen_Check(bool on);
    void Key_Heard(const THeard_Signal& signal);

    qev::TQEV_State state_;
    std::unique_ptr<qev::TCommand_Server> server_;  // QEV_ServerSocket
    // The listener for LIRC's clients and the state it reaches; the listener
    // goes first, since its protocol refers to the program.
    std::unique_ptr<qev::TLirc_State_Program> lirc_program_;
    std::unique_ptr<qev::TLirc_Server> lirc_server_;
    std::unique_ptr<qev::TListening_Session> listening_;
    std::vector<TKey_Entry> key_table_;
    std::vector<TPictureButton*> keys_;  // the 39 keys in Key table order
    TPictureButton* send_button_ = nullptr;
    QComboBox* combo_ = nullptr;
    QLabel* vey_image_ = nullptr;
    QLabel* back_image_ = nullptr;
    QLabel* command_label_ = nullptr;
    QStatusBar* status_bar_ = nullptr;
    QLabel* status_text_ = nullptr;
    QLabel* port_text_ = nullptr;   // the port in use, at the status bar's right end
    QLabel* heard_text_ = nullptr;  // the last key heard, once listening has started
    QImage picture_;                // what Vey_Image holds
    QImage background_;             // the background bitmap; null without one
    std::string open_name_ = "temp.rmt";
    std::string save_name_ = "temp.rmt";
    std::string import_name_;
    std::string export_name_;
    bool shut_down_ = false;
    bool close_pending_ = false;  // a close that waits for a long action to end
};

}  // namespace qev

#endif
