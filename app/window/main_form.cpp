#include "app/window/main_form.h"

#include "app/core/key_binding.h"
#include "app/window/key_faces.h"
#include "app/window/shape_frame.h"
#include "controls/drop_down_list.h"
#include "controls/form_font.h"
#include "controls/local_text.h"
#include "controls/picture_button.h"
#include "controls/system_colors.h"
#include "dialogs/ui/debug_tool_form.h"
#include "dialogs/ui/lpt_address_form.h"
#include "dialogs/ui/performance_info_form.h"
#include "dialogs/ui/setup_form.h"
#include "dialogs/ui/version_dialog_form.h"
#include "learn/ui/capture_command_form.h"
#include "macro/core/listening_session.h"
#include "macro/core/macro_line.h"
#include "macro/ui/macro_command_form.h"
#include "net/command_server.h"
#include "net/lirc_program.h"
#include "net/lirc_server.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <filesystem>

namespace qev {

namespace {

constexpr QRect Vey_Image_Rect{0, 0, 305, 457};
constexpr QRect Back_Image_Rect{88, 0, 81, 17};
const QColor Yellow{255, 255, 0};

// Dialogs are created for one showing, shown modally over the main window
// and destroyed after it; a failure while doing so leaves the main window as
// it was, without a message. true when the dialog was accepted.
template <typename TDialog>
bool Run_Dialog(TQEV_State& state, QWidget* owner) {
    try {
        TDialog dialog(state, owner);
        return dialog.exec() == QDialog::Accepted;
    } catch (...) {
    }
    return false;
}

QPixmap With_Black_Transparent(const QImage& image) {
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(pixmap.createMaskFromColor(Qt::black, Qt::MaskInColor));
    return pixmap;
}

}  // namespace

TQEV_Main_Form::TQEV_Main_Form(TCounter& counter, TPriority_Api& priority, TUser_Feedback& feedback, QWidget* parent)
    : QMainWindow(parent), state_(counter, priority, feedback, *this) {
    // Each line a client sends runs as one macro line, silently; echo follows
    // the ECHO setting byte by byte.
    server_ = std::make_unique<TCommand_Server>(
        [this](const std::string& line) { return Execute_Network_Line(state_, line) == 0; },
        [this] { return state_.Settings.ECHO != 0; });
    lirc_program_ = std::make_unique<TLirc_State_Program>(state_, QEV_PROGRAM_VERSION);
    lirc_server_ = std::make_unique<TLirc_Server>(*lirc_program_);
    setObjectName(QStringLiteral("QEV_Main_Form"));
    setWindowTitle(QStringLiteral("QEV_LPT"));
    setFont(Form_Font(12, false));
    Create_Components();
    Create_Menu();
    adjustSize();
    setFixedSize(sizeHint());
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

// The listener's thread posts to this window: it ends before anything else
// goes.
TQEV_Main_Form::~TQEV_Main_Form() { state_.Listener.Stop(); }

// ---- The face ---------------------------------------------------------------

void TQEV_Main_Form::Create_Components() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setFixedSize(Client_Width, Client_Height);
    setCentralWidget(client);

    vey_image_ = new QLabel(client);
    vey_image_->setObjectName(QStringLiteral("Vey_Image"));
    vey_image_->setGeometry(Vey_Image_Rect);
    vey_image_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const struct {
        const char* name;
        QRect rect;
    } shapes[] = {{"IR_Command_Shape", {80, 8, 217, 41}},
                  {"Location_Shape", {8, 56, 217, 105}},
                  {"VTR_Shape", {8, 168, 289, 105}},
                  {"KeyPad_Shape", {8, 280, 289, 169}}};
    for (const auto& shape : shapes) {
        auto* frame = new TShape_Frame(client);
        frame->setObjectName(QString::fromLatin1(shape.name));
        frame->setGeometry(shape.rect);
    }

    back_image_ = new QLabel(client);
    back_image_->setObjectName(QStringLiteral("IR_Command_Back_Image"));
    back_image_->setGeometry(Back_Image_Rect);
    command_label_ = new QLabel(QStringLiteral("IR Command"), client);
    command_label_->setObjectName(QStringLiteral("IR_Command_Label"));
    command_label_->move(96, 3);
    command_label_->adjustSize();

    combo_ = new TDrop_Down_List(client);
    combo_->setObjectName(QStringLiteral("IR_Command_ComboBox"));
    combo_->setEditable(false);
    combo_->setMaxVisibleItems(20);
    combo_->move(88, 19);
    combo_->setFixedWidth(121);

    for (const TKey_Layout& layout : Key_Layouts) {
        TPictureButton* key = Create_Key(layout.Component, layout.Caption, layout.Left, layout.Top);
        if (std::string_view(layout.Caption) == ".") key->setFont(Form_Font(27, true));
        connect(key, &TPictureButton::Clicked, this, &TQEV_Main_Form::Common_PictureButtonClick);
        keys_.push_back(key);
    }
    send_button_ = Create_Key("Send_Button", "Send", 232, 16);
    connect(send_button_, &TPictureButton::Clicked, this, &TQEV_Main_Form::Send_ButtonClick);

    // Tab order: the list first, then the keys by their tab positions, Send last.
    std::vector<const TKey_Layout*> by_tab;
    for (const TKey_Layout& layout : Key_Layouts) by_tab.push_back(&layout);
    std::sort(by_tab.begin(), by_tab.end(), [](auto* a, auto* b) { return a->Tab < b->Tab; });
    QWidget* previous = combo_;
    for (const TKey_Layout* layout : by_tab) {
        QWidget* key = keys_[static_cast<std::size_t>(layout - Key_Layouts.data())];
        setTabOrder(previous, key);
        previous = key;
    }
    setTabOrder(previous, send_button_);

    status_bar_ = new QStatusBar(client);
    status_bar_->setObjectName(QStringLiteral("QEV_Form_StatusBar"));
    status_bar_->setSizeGripEnabled(false);
    status_text_ = new QLabel(status_bar_);
    status_text_->setObjectName(QStringLiteral("QEV_Form_StatusBar_Text"));
    status_bar_->addWidget(status_text_, 1);
    // Which port the program uses, from start-up on; the tooltip says why
    // when the library fell back to the simulated port.
    port_text_ = new QLabel(status_bar_);
    port_text_->setObjectName(QStringLiteral("QEV_Form_StatusBar_Port"));
    status_bar_->addPermanentWidget(port_text_);
    const int bar_height = status_bar_->sizeHint().height();
    status_bar_->setGeometry(0, Client_Height - bar_height, Client_Width, bar_height);
}

TPictureButton* TQEV_Main_Form::Create_Key(const char* name, const char* caption, int left, int top) {
    auto* key = new TPictureButton(centralWidget());
    key->setObjectName(QString::fromLatin1(name));
    key->Set_Caption(QString::fromLatin1(caption));
    key->setGeometry(left, top, Key_Width, Key_Height);
    key->setFont(Form_Font(12, true));
    key->Set_Font_Color(clCream);
    key->Set_Legible_Caption(true);  // a live key's caption reads over any background
    key->Set_Tab_Stop(true);
    return key;
}

void TQEV_Main_Form::Create_Menu() {
    struct TItem {
        const char* menu;
        const char* component;
        const char* caption;
        void (TQEV_Main_Form::*handler)();
    };
    const TItem items[] = {
        {"File", "ReadfromFile", "&Read from File", &TQEV_Main_Form::ReadfromFileClick},
        {"File", "SavetoFile", "&Save to File", &TQEV_Main_Form::SavetoFileClick},
        {"File", "Import", "&Import\u2026", &TQEV_Main_Form::ImportClick},
        {"File", "Export", "Ex&port\u2026", &TQEV_Main_Form::ExportClick},
        {"File", "SetUp", "SetUp(&X)", &TQEV_Main_Form::SetUpClick},
        {"File", "Exit", "&Exit", &TQEV_Main_Form::ExitClick},
        {"Edit", "CaptureCommand", "&Capture Command", &TQEV_Main_Form::CaptureCommandClick},
        {"Edit", "Clear_All_Data", "Clear All Data(&X)", &TQEV_Main_Form::Clear_All_DataClick},
        {"Option", "Macro", "&Macro", &TQEV_Main_Form::MacroClick},
        {"Option", "Server", "&Server", &TQEV_Main_Form::ServerClick},
        {"Option", "Listen", "Lis&ten", &TQEV_Main_Form::ListenClick},
        {"Option", "Performance", "&Performance", &TQEV_Main_Form::PerformanceClick},
        {"Option", "DBTool", "&DB Tool", &TQEV_Main_Form::DBToolClick},
        {"Option", "LPTAddress", "&LPT Address", &TQEV_Main_Form::LPTAddressClick},
        {"Help", "Version", "&Version", &TQEV_Main_Form::VersionClick},
    };
    const struct {
        const char* component;
        const char* caption;
    } menus[] = {{"File", "&File"}, {"Edit", "&Edit"}, {"Option", "&Option"}, {"Help", "&Help"}};
    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    for (const auto& m : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.component));
        for (const TItem& item : items) {
            if (std::string_view(item.menu) != m.component) continue;
            QAction* action = menu->addAction(QString::fromUtf8(item.caption));
            action->setObjectName(QString::fromLatin1(item.component));
            connect(action, &QAction::triggered, this, item.handler);
        }
    }
}

// ---- Start-up and shutdown --------------------------------------------------

bool TQEV_Main_Form::Start_Up() {
    if (!state_.Start_Up()) return false;
    port_text_->setText(To_Q(state_.Port_Summary()));
    port_text_->setToolTip(To_Q(state_.Port.Port_Description()));
    if (Apply_Background() != 0) {
        state_.Release_Buffers();
        return false;
    }
    Build_Key_Table();
    Reset_Key_Pictures();
    Disable_All_Keys();
    if (!state_.Settings.RMT_FILE.empty()) state_.Load_Command_File(state_.Settings.RMT_FILE, 1);
    if (state_.Settings.STARTUP != 0) {
        // The check mark goes on first; a port that cannot be opened ends
        // the program with the socket layer's error, before the window shows.
        Set_Server_Check(true);
        std::string error;
        if (!Open_Server(&error)) {
            state_.Feedback.Show_Error(error, "QEV_LPT");
            state_.Release_Buffers();
            return false;
        }
    }
    // The LIRC listener is optional: a port that cannot be opened is told
    // and the program starts without it.
    Apply_Lirc_Settings();
    // So is listening: a port that cannot listen says so in the status bar.
    if (state_.Settings.LISTEN_ENABLE != 0) {
        std::string why;
        Set_Listen_Check(Start_Listening(&why));
        if (!why.empty()) Set_Status_Text(why);
    }
    return true;
}

void TQEV_Main_Form::closeEvent(QCloseEvent* event) {
    // A macro run or a capture is under way further down this very call
    // stack (it let this close request through): shutting down now would
    // pull the buffers from under it. It is asked to stop, and the window
    // closes as soon as it has.
    if (!shut_down_ && state_.Busy()) {
        state_.Stop_Requested = true;
        close_pending_ = true;
        event->ignore();
        return;
    }
    state_.Stop_Requested = false;
    if (!shut_down_) {
        if (state_.Write_Settings_File() == TShut_Down_Result::Write_Failed) {
            event->ignore();  // the window stays open; the next close tries again
            return;
        }
        server_->Close();  // no client's line may run on what is released next
        lirc_server_->Close();
        Stop_Listening();
        state_.Port.Unload_Port_Library();
        state_.Release_Buffers();
        shut_down_ = true;
    }
    event->accept();
}

// ---- Keys ---------------------------------------------------------------------

void TQEV_Main_Form::Build_Key_Table() {
    key_table_.clear();
    for (std::size_t i = 0; i < Key_Layouts.size(); ++i) key_table_.push_back({Key_Layouts[i].Command_Name, keys_[i]});
}

void TQEV_Main_Form::Reset_Key_Pictures() {
    for (const TKey_Entry& entry : key_table_) entry.Key->Set_Picture(Blank_Picture(entry.Key->size()));
}

void TQEV_Main_Form::Set_Caption_Color(TPictureButton* key, bool enabled) {
    const bool see_through = state_.Settings.See_Through();
    if (enabled)
        key->Set_Font_Color(see_through ? Yellow : System_Color(TSystem_Color::Btn_Text));
    else
        key->Set_Font_Color(see_through ? clCream : System_Color(TSystem_Color::Gray_Text));
}

void TQEV_Main_Form::Draw_Enabled_Face(TPictureButton* key) {
    key->Set_Picture(Enabled_Face(background_, key->geometry(), state_.Settings.See_Through(),
                                  state_.Settings.TRANSPARENCY_MODE, System_Color(TSystem_Color::Btn_Face)));
}

void TQEV_Main_Form::Draw_Disabled_Face(TPictureButton* key) {
    key->Set_Picture(Disabled_Face(background_, key->geometry(), state_.Settings.See_Through(),
                                   System_Color(TSystem_Color::Btn_Shadow)));
}

void TQEV_Main_Form::Disable_All_Keys() {
    for (const TKey_Entry& entry : key_table_) {
        entry.Key->setEnabled(false);
        Set_Caption_Color(entry.Key, false);
        Draw_Disabled_Face(entry.Key);
    }
}

void TQEV_Main_Form::Map_Keys() {
    Disable_All_Keys();
    std::vector<std::string_view> names;
    for (const TKey_Entry& entry : key_table_) names.push_back(entry.Command_Name);
    const std::vector<int32_t> rows = qev::Map_Keys(state_.Table, names);
    for (std::size_t i = 0; i < key_table_.size(); ++i) {
        if (rows[i] < 0) continue;
        TPictureButton* key = key_table_[i].Key;
        key->setEnabled(true);
        key->Set_Tag(rows[i]);
        Draw_Enabled_Face(key);
        Set_Caption_Color(key, true);
    }
}

int TQEV_Main_Form::Apply_Background() {
    const std::string& path = state_.Settings.BACK_IMAGE;
    if (!path.empty()) {
        QImageReader reader(To_Q(path));
        const QByteArray format = reader.format();  // known only before reading
        QImage image = reader.read();
        if (image.isNull()) {
            state_.Feedback.Show_Error("Can't Read Image File:" + path, "Image File Load Error");
            return -1;
        }
        // Only a bitmap serves as background: another picture format loads
        // without complaint but leaves the window without one.
        picture_ = format == "bmp" ? image.convertToFormat(QImage::Format_RGB32) : QImage();
    }
    background_ = picture_;
    vey_image_->setPixmap(QPixmap::fromImage(background_));
    if (background_.isNull()) {
        QPalette palette = command_label_->palette();
        palette.setColor(QPalette::Window, System_Color(TSystem_Color::Btn_Face));
        command_label_->setPalette(palette);
        command_label_->setAutoFillBackground(true);
    } else {
        command_label_->setAutoFillBackground(false);
        back_image_->setPixmap(With_Black_Transparent(Copy_Background(background_, Back_Image_Rect)));
    }
    send_button_->Set_Picture(Blank_Picture(send_button_->size()));
    Draw_Enabled_Face(send_button_);
    Set_Caption_Color(send_button_, true);
    return 0;
}

void TQEV_Main_Form::Refresh_Command_List() {
    combo_->clear();
    const int32_t rows = state_.Table.Rows_In_Use();
    QStringList names;
    names.reserve(rows);
    for (int32_t row = 0; row < rows; ++row) names << To_Q(state_.Table.Row(row).Name);
    combo_->addItems(names);
    combo_->setCurrentIndex(-1);
}

void TQEV_Main_Form::Send_Command(int32_t row) { state_.Send_Command(row); }

// ---- TMain_View -----------------------------------------------------------------

void TQEV_Main_Form::Set_Status_Text(const std::string& text) { status_text_->setText(To_Q(text)); }

QString TQEV_Main_Form::Status_Text() const { return status_text_->text(); }

void TQEV_Main_Form::Busy_Ended() {
    if (!close_pending_) return;
    close_pending_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

void TQEV_Main_Form::Refresh_Command_View() {
    Refresh_Command_List();
    Reset_Key_Pictures();
    Map_Keys();
}

// ---- Handlers -------------------------------------------------------------------

void TQEV_Main_Form::Common_PictureButtonClick() {
    if (auto* key = qobject_cast<TPictureButton*>(sender())) Send_Command(key->Tag());
}

void TQEV_Main_Form::Send_ButtonClick() {
    state_.Calc_Tick_Period();
    if (combo_->currentIndex() < 0) {
        state_.Feedback.Show_Error("Command is not Selected !!", "Command Error");
        return;
    }
    Send_Command(combo_->currentIndex());
}

// RMT_OpenDialog and RMT_SaveDialog: they start in RMT_DIR and offer the
// file name chosen last.
std::optional<std::string> TQEV_Main_Form::Ask_File(bool save, std::string& last_name, const char* filter,
                                                    int* chosen_filter) {
    TFile_Request request{save, state_.Settings.RMT_DIR, last_name, filter, "rmt"};
    request.Chosen_Filter = chosen_filter;
    auto file = state_.Feedback.Choose_File(request);
    if (file) last_name = File_Name_Of(*file);
    return file;
}

void TQEV_Main_Form::ReadfromFileClick() {
    const auto file = Ask_File(false, open_name_, "Remote Control Data Files(*.rmt)|*.rmt|All Files(*.*)|*.*");
    if (file) state_.Load_Command_File(*file, 1);
}

void TQEV_Main_Form::SavetoFileClick() {
    const auto file = Ask_File(true, save_name_, "Remote Control Data Files(*.rmt)|*.rmt|All files(*.*)|*.*");
    if (!file) return;
    // A path that cannot be examined is no reason to ask: the save itself
    // fails on it and says so.
    std::error_code unknown;
    if (std::filesystem::exists(*file, unknown) &&
        !state_.Feedback.Ask_OK("Specified File Already Exists. Overwrite OK?", "File Exists"))
        return;
    state_.Save_Command_File(*file);
}

// Import and Export: the code files of other infrared tools.
void TQEV_Main_Form::ImportClick() {
    const auto file = Ask_File(false, import_name_, Import_Filter);
    if (file) state_.Import_Code_File(*file);
}

void TQEV_Main_Form::ExportClick() {
    int filter = 0;
    const auto file = Ask_File(true, export_name_, Export_Filter, &filter);
    if (!file) return;
    const auto [path, format] = Export_Target(*file, filter);
    std::error_code unknown;
    if (std::filesystem::exists(path, unknown) &&
        !state_.Feedback.Ask_OK("Specified File Already Exists. Overwrite OK?", "File Exists"))
        return;
    state_.Export_Code_File(path, format);
}

void TQEV_Main_Form::ExitClick() { close(); }

void TQEV_Main_Form::Clear_All_DataClick() {
    if (!state_.Feedback.Ask_OK("Are You Sure?", "Clear All Data")) return;
    state_.Clear_All_Data();
    Refresh_Command_List();
    Disable_All_Keys();
}

// The item carries a check mark while the server listens and no mark at all
// (not even an empty box) while it is closed.
void TQEV_Main_Form::Set_Server_Check(bool open) {
    QAction* item = findChild<QAction*>(QStringLiteral("Server"));
    item->setCheckable(open);
    item->setChecked(open);
}

bool TQEV_Main_Form::Open_Server(std::string* error) {
    const int32_t port = state_.Settings.PORT;  // read at each opening
    if (port < 1 || port > 65535) {
        *error = "PORT " + std::to_string(port) + " is not a TCP port (1 to 65535)";
        return false;
    }
    return server_->Open(static_cast<uint16_t>(port), error);
}

void TQEV_Main_Form::ServerClick() {
    if (server_->Is_Open()) {
        Set_Server_Check(false);
        server_->Close();
        return;
    }
    std::string error;
    if (!Open_Server(&error)) {
        Set_Server_Check(false);
        state_.Feedback.Show_Error("Socket is Already Opened by other APL", "Socket Open Error");
        return;
    }
    Set_Server_Check(true);
}

void TQEV_Main_Form::Apply_Lirc_Settings() {
    const TSettings& settings = state_.Settings;
    std::string error;
    if (!lirc_server_->Apply(settings.LIRC_ENABLE != 0, settings.LIRC_PORT, &error))
        state_.Feedback.Show_Error("The LIRC listener cannot open port " + std::to_string(settings.LIRC_PORT) +
                                       " on 127.0.0.1: " + error + "\nQEV_LPT goes on without it.",
                                   "LIRC Listener");
    std::string path;
    error.clear();
    if (!lirc_server_->Apply_Socket(settings.LIRC_SOCKET, &error, &path))
        state_.Feedback.Show_Error(
            "The LIRC socket " + path + " cannot be opened: " + error + "\nQEV_LPT goes on without it.",
            "LIRC Listener");
}

void TQEV_Main_Form::MacroClick() { Run_Dialog<TMacro_Command_Form>(state_, this); }

// OK applies [LIRC] and [LISTEN] at once: the listener opens, closes or
// moves, and listening starts or stops.
void TQEV_Main_Form::SetUpClick() {
    if (!Run_Dialog<TSetUp_Form>(state_, this)) return;
    Apply_Lirc_Settings();
    Apply_Listen_Settings();
}

void TQEV_Main_Form::PerformanceClick() { Run_Dialog<TPerformanceInfo_Form>(state_, this); }
void TQEV_Main_Form::DBToolClick() { Run_Dialog<TDebug_Tool_Form>(state_, this); }
void TQEV_Main_Form::LPTAddressClick() { Run_Dialog<TLPT_Address_Form>(state_, this); }
void TQEV_Main_Form::VersionClick() { Run_Dialog<TVersionDialogForm>(state_, this); }

void TQEV_Main_Form::CaptureCommandClick() { Run_Dialog<TCapture_Command_Form>(state_, this); }

}  // namespace qev
