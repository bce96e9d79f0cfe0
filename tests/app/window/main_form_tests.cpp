// The main window: layout, key binding, faces, sending, the Command file menu
// and shutdown.
#include "app/core/key_binding.h"
#include "app/window/key_faces.h"
#include "controls/system_colors.h"
#include "net/command_server.h"
#include "tests/support/free_port.h"
#include "tests/support/qt/window_fixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sstream>

namespace qev::test {
namespace {

// Where each key of the remote-control face sits and what it reads, every
// one 57 x 25 pixels.
struct TKey_Place {
    const char* Component;
    const char* Caption;
    int Left;
    int Top;
};
constexpr TKey_Place Key_Places[] = {
    {"Power_PictureButton", "POWER", 16, 16},     {"Guide_PictureButton", "GUIDE", 232, 64},
    {"Select_PictureButton", "SELECT", 232, 96},  {"Mute_PictureButton", "MUTE", 232, 128},
    {"Up_PictureButton", "UP", 88, 64},           {"Down_PictureButton", "DOWN", 88, 128},
    {"Left_PictureButton", "LEFT", 16, 96},       {"Right_PictureButton", "RIGHT", 160, 96},
    {"Enter_PictureButton", "ENTER", 88, 96},     {"Eject_PictureButton", "EJECT", 16, 176},
    {"Menu_PictureButton", "MENU", 88, 176},      {"Search_PictureButton", "SEARCH", 160, 176},
    {"FR_Jump_PictureButton", "FR JMP", 16, 208}, {"FF_Jump_PictureButton", "FF JMP", 160, 208},
    {"Play_PictureButton", "PLAY", 88, 208},      {"Record_PictureButton", "REC", 232, 208},
    {"FR_PictureButton", "FR", 16, 240},          {"FF_PictureButton", "FF", 160, 240},
    {"Pause_PictureButton", "PAUSE", 88, 240},    {"Stop_PictureButton", "STOP", 232, 240},
    {"CH_Up_PictureButton", "CH UP", 16, 288},    {"CH_Down_PictureButton", "CH Dwn", 16, 320},
    {"VOL_Up_PictureButton", "VOL UP", 16, 384},  {"VOL_Down_PictureButton", "VOL Dwn", 16, 416},
    {"_0_PictureButton", "0", 160, 416},          {"_1_PictureButton", "1", 88, 384},
    {"_2_PictureButton", "2", 160, 384},          {"_3_PictureButton", "3", 232, 384},
    {"_4_PictureButton", "4", 88, 352},           {"_5_PictureButton", "5", 160, 352},
    {"_6_PictureButton", "6", 232, 352},          {"_7_PictureButton", "7", 88, 320},
    {"_8_PictureButton", "8", 160, 320},          {"_9_PictureButton", "9", 232, 320},
    {"_10_PictureButton", "10", 88, 288},         {"_11_PictureButton", "11", 160, 288},
    {"_12_PictureButton", "12", 232, 288},        {"Clear_PictureButton", "CLEAR", 88, 416},
    {"Dot_PictureButton", ".", 232, 416},         {"Send_Button", "Send", 232, 16},
};

TEST_F(Window_Test, Layout_Matches_The_Remote_Control_Face) {
    Start();
    EXPECT_EQ(form->windowTitle(), "QEV_LPT");
    EXPECT_EQ(form->centralWidget()->size(), QSize(304, 479));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "fixed size";
    for (const TKey_Place& place : Key_Places) {
        SCOPED_TRACE(place.Component);
        TPictureButton* key = Key(place.Component);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->geometry(), QRect(place.Left, place.Top, 57, 25));
        EXPECT_EQ(key->Caption(), QString::fromLatin1(place.Caption));
        EXPECT_TRUE(key->font().bold());
    }
    EXPECT_EQ(Key("Dot_PictureButton")->font().pixelSize(), 27);
    EXPECT_EQ(Combo()->geometry().topLeft(), QPoint(88, 19));
    EXPECT_EQ(Combo()->width(), 121);
    EXPECT_EQ(Combo()->maxVisibleItems(), 20);
    EXPECT_FALSE(Combo()->isEditable());
    const auto* bar = form->findChild<QStatusBar*>(QStringLiteral("QEV_Form_StatusBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isSizeGripEnabled());
    EXPECT_EQ(bar->geometry().bottom(), 478);
    struct Shape {
        const char* name;
        QRect rect;
    };
    for (const Shape& shape : {Shape{"IR_Command_Shape", {80, 8, 217, 41}}, Shape{"Location_Shape", {8, 56, 217, 105}},
                               Shape{"VTR_Shape", {8, 168, 289, 105}}, Shape{"KeyPad_Shape", {8, 280, 289, 169}},
                               Shape{"Vey_Image", {0, 0, 305, 457}}, Shape{"IR_Command_Back_Image", {88, 0, 81, 17}}}) {
        SCOPED_TRACE(shape.name);
        auto* widget = form->findChild<QWidget*>(QString::fromLatin1(shape.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), shape.rect);
    }
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("IR_Command_Label"))->text(), "IR Command");
}

TEST_F(Window_Test, Tab_Order_Runs_From_The_List_Through_The_Keys_To_Send) {
    Start();
    // Tab positions 1 to 39, then Send at 41; the list is first.
    const std::vector<std::string> order = {
        "Power_PictureButton",   "Guide_PictureButton",   "Select_PictureButton",  "Mute_PictureButton",
        "Left_PictureButton",    "Up_PictureButton",      "Right_PictureButton",   "Down_PictureButton",
        "Enter_PictureButton",   "Eject_PictureButton",   "Menu_PictureButton",    "Search_PictureButton",
        "FR_Jump_PictureButton", "Play_PictureButton",    "FF_Jump_PictureButton", "Record_PictureButton",
        "FR_PictureButton",      "Pause_PictureButton",   "FF_PictureButton",      "Stop_PictureButton",
        "CH_Up_PictureButton",   "CH_Down_PictureButton", "VOL_Up_PictureButton",  "VOL_Down_PictureButton",
        "Clear_PictureButton",   "Dot_PictureButton",     "_0_PictureButton",      "_1_PictureButton",
        "_2_PictureButton",      "_3_PictureButton",      "_4_PictureButton",      "_5_PictureButton",
        "_6_PictureButton",      "_7_PictureButton",      "_8_PictureButton",      "_9_PictureButton",
        "_10_PictureButton",     "_11_PictureButton",     "_12_PictureButton",     "Send_Button"};
    std::vector<std::string> chain;
    QWidget* widget = Combo();
    for (std::size_t i = 0; i < order.size(); ++i) {
        widget = widget->nextInFocusChain();
        chain.push_back(widget->objectName().toStdString());
    }
    EXPECT_EQ(chain, order);
}

TEST_F(Window_Test, Menu_Items_Carry_Their_Captions) {
    Start();
    const std::vector<std::pair<const char*, const char*>> items = {{"ReadfromFile", "&Read from File"},
                                                                    {"SavetoFile", "&Save to File"},
                                                                    {"SetUp", "SetUp(&X)"},
                                                                    {"Exit", "&Exit"},
                                                                    {"CaptureCommand", "&Capture Command"},
                                                                    {"Clear_All_Data", "Clear All Data(&X)"},
                                                                    {"Macro", "&Macro"},
                                                                    {"Server", "&Server"},
                                                                    {"Performance", "&Performance"},
                                                                    {"DBTool", "&DB Tool"},
                                                                    {"LPTAddress", "&LPT Address"},
                                                                    {"Version", "&Version"}};
    for (auto [component, caption] : items) {
        SCOPED_TRACE(component);
        auto* action = form->findChild<QAction*>(QString::fromLatin1(component));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromLatin1(caption));
    }
    EXPECT_FALSE(form->findChild<QAction*>(QStringLiteral("Server"))->isChecked()) << "closed at start";
}

// The status bar names the port in use from start-up on; its tooltip says
// why the library fell back to the simulated port.
TEST_F(Window_Test, The_Status_Bar_Names_The_Port_In_Use) {
    struct TCase {
        const char* Name;
        const char* Backend;  // nullptr lets the library choose
        bool Device_Is_A_File;
        const char* Text;
        const char* Tooltip_Start;
    };
    const TCase cases[] = {
        {"simulated", "sim", false, "simulated port", "simulated port"},
        {"fell_back", nullptr, true, "simulated port", "simulated port ("},
        {"forced_backend_failed", "ppdev", true, "no port", "no port (IO_BACKEND=ppdev could not start)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string device = profile.File("not_a_port");
        Write_File(device, "");
        TEnv_Guard chosen{"IO_BACKEND", c.Backend ? std::optional<std::string>(c.Backend) : std::nullopt};
        TEnv_Guard path{"IO_DEVICE", c.Device_Is_A_File ? device : profile.File("missing")};
        form.reset();
        Start();
        const auto* port = Named_Child<QLabel>(*form, "QEV_Form_StatusBar_Port");
        EXPECT_EQ(port->text().toStdString(), c.Text);
        EXPECT_EQ(port->toolTip().toStdString().rfind(c.Tooltip_Start, 0), 0u) << port->toolTip().toStdString();
        EXPECT_EQ(form->Status_Text(), "") << "the file name's place is kept";
    }
}

TEST_F(Window_Test, A_Fresh_Start_Has_Every_Key_Disabled_And_An_Empty_List) {
    Start();
    for (TPictureButton* key : form->Keys()) EXPECT_FALSE(key->isEnabled()) << key->objectName().toStdString();
    EXPECT_TRUE(Key("Send_Button")->isEnabled());
    EXPECT_EQ(Combo()->count(), 0);
    EXPECT_EQ(form->State().Settings.REPEAT, 1);
    EXPECT_EQ(form->State().Settings.Base_Address, 0x378);
    EXPECT_TRUE(messages.empty());
}

// Which row a key sends is the core's rule (Map_Keys); the window enables
// each key that has a row, tags it with that row and lists every row.
TEST_F(Window_Test, A_Load_Binds_The_Keys_To_The_Rows_The_Core_Chooses) {
    Start();
    const std::string file =
        Command_File("keys.rmt", "POWER,01\nPower,02\nPLAY,03\nFR JMP,04\nFR-JUMP,05\nPLAY,06\nDOT,07\n");
    ASSERT_EQ(form->State().Load_Command_File(file, 1), 0);
    std::vector<std::string_view> names;
    for (const TKey_Layout& layout : Key_Layouts) names.push_back(layout.Command_Name);
    const std::vector<int32_t> rows = Map_Keys(form->State().Table, names);
    ASSERT_EQ(form->Keys().size(), rows.size());
    int enabled = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TPictureButton* key = form->Keys()[i];
        SCOPED_TRACE(key->objectName().toStdString());
        EXPECT_EQ(key->isEnabled(), rows[i] >= 0);
        if (rows[i] >= 0) {
            EXPECT_EQ(key->Tag(), rows[i]);
        }
        enabled += key->isEnabled();
    }
    EXPECT_EQ(enabled, 4) << "POWER, PLAY, FR-JUMP and DOT have rows";
    EXPECT_EQ(Combo()->count(), 7);
    EXPECT_EQ(Combo()->itemText(1), "Power");
    EXPECT_EQ(Combo()->currentIndex(), -1);
    EXPECT_EQ(form->Status_Text(), "keys.rmt");
}

TEST_F(Window_Test, The_Open_Command_List_Shows_At_Most_Twenty_Rows) {
    struct Row {
        const char* name;
        int commands;
        int visible;
    };
    for (const Row& row :
         {Row{"a_few_commands", 5, 5}, Row{"a_full_table", 256, 20}, Row{"ten_thousand_commands", 10000, 20}}) {
        SCOPED_TRACE(row.name);
        form.reset();
        Write_File(Settings_File(), "[COMMAND]\nMAX_RMTCMD_NUM=" + std::to_string(row.commands) + "\n");
        Start();
        std::string text = "@REPEAT = 1\n";
        for (int i = 0; i < row.commands; ++i) text.append("C").append(std::to_string(i)).append(",FF\n");
        form->State().Load_Command_File(Command_File("many.rmt", text), 1);
        ASSERT_EQ(Combo()->count(), row.commands);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        Combo()->showPopup();
        QAbstractItemView* list = Combo()->view();
        ASSERT_TRUE(list->isVisible());
        // Rows wholly inside the open list, and the first and last row seen.
        const int height = list->viewport()->height();
        const int row_height = list->sizeHintForRow(0);
        ASSERT_GT(row_height, 0);
        EXPECT_EQ(height / row_height, row.visible) << "list " << height << " px, rows " << row_height << " px";
        EXPECT_EQ(list->indexAt(QPoint(2, 1)).row(), 0);
        EXPECT_EQ(list->indexAt(QPoint(2, height - 2)).row(), row.visible - 1);
        Combo()->hidePopup();
    }
    // Closed, it is drawn as a plain combo box of the same size and items.
    QComboBox plain(form->centralWidget());
    plain.setGeometry(Combo()->geometry());
    plain.addItems({QStringLiteral("C0"), QStringLiteral("C1")});
    Combo()->setCurrentIndex(1);
    plain.setCurrentIndex(1);
    plain.show();
    EXPECT_EQ(Combo()->grab().toImage(), plain.grab().toImage());
}

class Background_Test : public Window_Test {
protected:
    std::string Bitmap(const char* name, QRgb colour, const char* format) {
        QImage image(305, 457, QImage::Format_RGB32);
        image.fill(colour);
        const std::string path = profile.File(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), format));
        return path;
    }
    void Settings_With(const std::string& back_image, const char* transparency, int mode) {
        Write_File(Settings_File(), "[FORM]\nBACK_IMAGE=" + back_image + "\nBUTTON_TRANSPARENCY=" + transparency +
                                        "\nTRANSPARENCY_MODE=" + std::to_string(mode) + "\n");
    }
};

TEST_F(Background_Test, See_Through_Keys_Show_The_Bitmap_Darkened_When_Live) {
    Settings_With(Bitmap("back.bmp", qRgb(200, 100, 51), "BMP"), "yes", 0);
    Start();
    form->State().Load_Command_File(Command_File("p.rmt", "POWER,01\n"), 1);
    EXPECT_EQ(Key("Power_PictureButton")->Picture().pixel(3, 3) & 0xFFFFFF, qRgb(100, 50, 25) & 0xFFFFFF);
    EXPECT_EQ(Key("Power_PictureButton")->Font_Color(), QColor(255, 255, 0));
    EXPECT_EQ(Key("Play_PictureButton")->Picture().pixel(3, 3) & 0xFFFFFF, qRgb(200, 100, 51) & 0xFFFFFF);
    EXPECT_EQ(Key("Play_PictureButton")->Font_Color(), clCream);
    EXPECT_EQ(Key("Send_Button")->Font_Color(), QColor(255, 255, 0));
    EXPECT_FALSE(form->findChild<QLabel*>(QStringLiteral("IR_Command_Label"))->autoFillBackground());
}

// With see-through off, each part of the face takes the desktop colour named
// for its use. The desktop scheme here gives every colour its own value, so
// a part that takes another colour shows.
TEST_F(Background_Test, Without_See_Through_Each_Part_Takes_The_Desktop_Colour_Of_Its_Use) {
    const QColor button_face(192, 192, 192), button_shadow(128, 128, 128), button_text(0, 0, 160),
        gray_text(100, 100, 120);
    struct TPalette_Guard {
        const QPalette Saved = QApplication::palette();
        ~TPalette_Guard() { QApplication::setPalette(Saved); }
    } guard;
    QPalette desktop = guard.Saved;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        desktop.setColor(group, QPalette::Button, button_face);      // COLOR_BTNFACE
        desktop.setColor(group, QPalette::Dark, button_shadow);      // COLOR_BTNSHADOW
        desktop.setColor(group, QPalette::ButtonText, button_text);  // COLOR_BTNTEXT
        desktop.setColor(group, QPalette::WindowText, QColor(0, 0, 0));
    }
    desktop.setColor(QPalette::Disabled, QPalette::WindowText, gray_text);  // COLOR_GRAYTEXT
    QApplication::setPalette(desktop);
    Settings_With("", "NO", 0);
    Start();
    ASSERT_EQ(form->State().Load_Command_File(Command_File("p.rmt", "POWER,01\n"), 1), 0);
    auto* label = Named_Child<QLabel>(*form, "IR_Command_Label");
    struct Row {
        const char* Use;
        QColor Shown;
        QColor Expected;
    };
    const Row rows[] = {
        {"enabled_key_caption", Key("Power_PictureButton")->Font_Color(), button_text},
        {"send_caption", Key("Send_Button")->Font_Color(), button_text},
        {"disabled_key_caption", Key("Play_PictureButton")->Font_Color(), gray_text},
        {"enabled_face_fill", QColor(Key("Power_PictureButton")->Picture().pixel(3, 3)), button_face},
        {"send_face_fill", QColor(Key("Send_Button")->Picture().pixel(3, 3)), button_face},
        {"disabled_face_fill", QColor(Key("Play_PictureButton")->Picture().pixel(3, 3)), button_shadow},
        {"label_backdrop", label->palette().color(label->backgroundRole()), button_face},
    };
    for (const Row& row : rows) EXPECT_EQ(row.Shown.name(), row.Expected.name()) << row.Use;
    EXPECT_TRUE(label->autoFillBackground()) << "the label's backdrop is opaque";
}

TEST_F(Background_Test, A_Picture_Of_Another_Format_Gives_No_Background_And_No_Error) {
    Settings_With(Bitmap("back.jpg", qRgb(200, 100, 51), "JPG"), "YES", 1);
    Start();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(form->Background().isNull());
    EXPECT_EQ(Key("Play_PictureButton")->Picture().pixel(3, 3), System_Color(TSystem_Color::Btn_Shadow).rgb());
}

TEST_F(Background_Test, An_Unreadable_Picture_Ends_Start_Up_Without_Touching_The_Settings) {
    Settings_With(profile.File("missing.bmp"), "NO", 1);
    const std::string before = Read_File(Settings_File());
    Create();
    EXPECT_FALSE(form->Start_Up());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Can't Read Image File:" + profile.File("missing.bmp") +
                                                " / Image File Load Error"});
    form.reset();
    EXPECT_EQ(Read_File(Settings_File()), before);
}

TEST_F(Window_Test, Send_Without_A_Selection_Says_So) {
    Start();
    Tx_Clear();
    QTest::mouseClick(Key("Send_Button"), Qt::LeftButton);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Command is not Selected !! / Command Error"});
    EXPECT_EQ(Tx_Count(), 0);
}

TEST_F(Window_Test, A_Key_Click_Sends_Its_Command_Repeat_Times) {
    struct Row {
        const char* name;
        int repeat;
    };
    Start();
    for (const Row& row : {Row{"three", 3}, Row{"one", 1}, Row{"none", 0}}) {
        SCOPED_TRACE(row.name);
        form->State().Load_Command_File(
            Command_File("r.rmt", "@REPEAT = " + std::to_string(row.repeat) + "\nMUTE,0F,01\n"), 1);
        Tx_Clear();
        QTest::mouseClick(Key("Mute_PictureButton"), Qt::LeftButton);
        std::vector<uint8_t> expected;
        const std::vector<uint8_t> once = {0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFE, 0xFE, 0xFE,
                                           0xFF, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE};
        for (int i = 0; i < row.repeat; ++i) expected.insert(expected.end(), once.begin(), once.end());
        EXPECT_EQ(Tx_Values(), expected);
    }
}

TEST_F(Window_Test, Send_Transmits_The_Selected_Row) {
    Start();
    form->State().Load_Command_File(Command_File("s.rmt", "A,01\nB,FF\n"), 1);
    Combo()->setCurrentIndex(1);
    Tx_Clear();
    QTest::mouseClick(Key("Send_Button"), Qt::LeftButton);
    EXPECT_EQ(Tx_Values(), std::vector<uint8_t>(8, 0xFF));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Window_Test, Clear_All_Data_Asks_First) {
    Start();
    form->State().Load_Command_File(Command_File("c.rmt", "@REPEAT = 2\nPOWER,01\n"), 1);
    QAction* clear = form->findChild<QAction*>(QStringLiteral("Clear_All_Data"));
    answers = {TMessage_Answer::Cancel};
    clear->trigger();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Are You Sure? / Clear All Data"});
    EXPECT_EQ(messages.back().Kind, TMessage_Kind::Question);
    EXPECT_EQ(Combo()->count(), 1);
    EXPECT_TRUE(Key("Power_PictureButton")->isEnabled());
    clear->trigger();  // answered OK
    EXPECT_EQ(Combo()->count(), 0);
    EXPECT_FALSE(Key("Power_PictureButton")->isEnabled());
    EXPECT_EQ(form->State().Find_Command("POWER"), -1);
    EXPECT_EQ(form->State().Settings.REPEAT, 2);
    EXPECT_EQ(form->Status_Text(), "c.rmt");
}

TEST_F(Window_Test, Command_File_Menu_Round_Trip) {
    Start();
    form->State().Load_Command_File(Command_File("in.rmt", "@REPEAT = 2\nPOWER,FF,01\nVOL-UP,1F\n"), 1);
    const std::string out = profile.File("out/saved.rmt");
    std::filesystem::create_directory(profile.File("out"));
    chosen_files = {out};
    form->findChild<QAction*>(QStringLiteral("SavetoFile"))->trigger();
    ASSERT_EQ(file_requests.size(), 1u);
    EXPECT_TRUE(file_requests[0].Save);
    EXPECT_EQ(file_requests[0].Initial_Folder, profile.Path());
    EXPECT_EQ(file_requests[0].Initial_Name, "temp.rmt");
    EXPECT_EQ(file_requests[0].Filter, "Remote Control Data Files(*.rmt)|*.rmt|All files(*.*)|*.*");
    EXPECT_EQ(Read_File(profile.File("out/saved.rmt")), "@REPEAT = 2\r\nPOWER,FF,01\r\nVOL-UP,1F\r\n");
    EXPECT_EQ(form->Status_Text(), "saved.rmt");

    // Saving over it asks; Cancel leaves the file alone.
    form->findChild<QAction*>(QStringLiteral("Clear_All_Data"))->trigger();
    chosen_files = {out};
    answers = {TMessage_Answer::OK, TMessage_Answer::Cancel};
    messages.clear();
    form->findChild<QAction*>(QStringLiteral("Clear_All_Data"))->trigger();
    form->findChild<QAction*>(QStringLiteral("SavetoFile"))->trigger();
    EXPECT_EQ(Texts().back(), "Specified File Already Exists. Overwrite OK? / File Exists");
    EXPECT_EQ(file_requests.back().Initial_Name, "saved.rmt") << "the dialog remembers the last name";
    EXPECT_EQ(Read_File(profile.File("out/saved.rmt")), "@REPEAT = 2\r\nPOWER,FF,01\r\nVOL-UP,1F\r\n");

    // Reading it back restores the table and the keys.
    chosen_files = {out};
    form->findChild<QAction*>(QStringLiteral("ReadfromFile"))->trigger();
    EXPECT_EQ(file_requests.back().Filter, "Remote Control Data Files(*.rmt)|*.rmt|All Files(*.*)|*.*");
    EXPECT_FALSE(file_requests.back().Save);
    EXPECT_EQ(Combo()->count(), 2);
    EXPECT_TRUE(Key("Power_PictureButton")->isEnabled());
    EXPECT_TRUE(Key("VOL_Up_PictureButton")->isEnabled());

    // A cancelled dialog changes nothing.
    form->findChild<QAction*>(QStringLiteral("ReadfromFile"))->trigger();
    EXPECT_EQ(Combo()->count(), 2);
}

TEST_F(Window_Test, Closing_Writes_The_Settings_File_Once) {
    Write_File(Settings_File(), "[COMMAND]\nREPEAT=1\n");
    Start();
    form->State().Load_Command_File(Command_File("r3.rmt", "@REPEAT = 3\n"), 1);
    form->show();
    EXPECT_TRUE(form->close());
    const std::string written = Read_File(Settings_File());
    EXPECT_NE(written.find("REPEAT=3"), std::string::npos);
    EXPECT_NE(written.find("RMT_DIR=" + profile.Path()), std::string::npos);
    EXPECT_FALSE(form->State().Port.Loaded());
    EXPECT_EQ(form->State().Table.Rows(), 0) << "buffers released";
}

TEST_F(Window_Test, A_Refused_Settings_Write_Keeps_The_Window_Open) {
    Start();
    form->show();
    std::filesystem::create_directory(Settings_File());  // a folder in the file's place
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Text, "Unable to write to " + Settings_File() + ": Is a directory");
    EXPECT_TRUE(form->State().Port.Loaded());
    std::filesystem::remove(Settings_File());
    EXPECT_TRUE(form->close()) << "the next close tries again";
    EXPECT_TRUE(File_Exists(Settings_File()));
}

TEST_F(Window_Test, Without_A_Profile_Folder_Start_Up_Ends) {
    TEnv_Guard no_user("USERPROFILE", std::nullopt);
    TEnv_Guard no_home("HOME", std::nullopt);
    Create();
    EXPECT_FALSE(form->Start_Up());
    EXPECT_EQ(Texts(), std::vector<std::string>{"USERPROFILE is not founded / INI File Load Error"});
}

}  // namespace
}  // namespace qev::test

namespace qev::test {
namespace {

TEST_F(Window_Test, Closing_Without_A_Profile_Folder_Says_So_Once_And_Still_Closes) {
    Start();
    form->show();
    TEnv_Guard no_user("USERPROFILE", std::nullopt);
    TEnv_Guard no_home("HOME", std::nullopt);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(Texts(), std::vector<std::string>{"USERPROFILE is not founded / INI File Load Error"});
    EXPECT_FALSE(form->State().Port.Loaded());
    EXPECT_FALSE(File_Exists(Settings_File()));
}

TEST_F(Window_Test, Every_Dialog_Item_Opens_Its_Dialog_Modally_Centred_On_The_Window) {
    struct Row {
        const char* item;
        const char* dialog;
        const char* caption;
    };
    const std::vector<Row> rows = {
        {"CaptureCommand", "Capture_Command_Form", "Capture Command "},
        {"Macro", "Macro_Command_Form", "Macro"},
        {"SetUp", "SetUp_Form", "Setup"},
        {"Performance", "PerformanceInfo_Form", "Performance Info"},
        {"DBTool", "Debug_Tool_Form", "Debug Tool"},
        {"LPTAddress", "LPT_Address_Form", "LPT Address Set"},
        {"Version", "VersionDialogForm", "Version"},
    };
    Start();
    form->show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item);
        QString name, caption;
        QRect dialog_rect;
        bool modal = false;
        QTimer::singleShot(0, form.get(), [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            name = dialog->objectName();
            caption = dialog->windowTitle();
            modal = dialog->isModal();
            dialog_rect = dialog->frameGeometry();
            dialog->close();
        });
        QAction* item = form->findChild<QAction*>(QString::fromLatin1(row.item));
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(item->isEnabled());
        item->trigger();
        EXPECT_EQ(name, row.dialog);
        EXPECT_EQ(caption, row.caption);
        EXPECT_TRUE(modal);
        EXPECT_LE((dialog_rect.center() - form->frameGeometry().center()).manhattanLength(), 2);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "destroyed on closing";
    }
}

}  // namespace
}  // namespace qev::test

namespace qev::test {
namespace {

TEST_F(Window_Test, A_Key_Click_Shows_In_The_Port_Log_File) {
    TEnv_Guard log("IO_SIM_TXLOG", profile.File("tx.log"));
    Start();
    form->State().Load_Command_File(Command_File("k.rmt", "@REPEAT = 2\nSTOP,81\n"), 1);
    QTest::mouseClick(Key("Stop_PictureButton"), Qt::LeftButton);
    form.reset();  // unloading the library writes out the rest of the log
    std::vector<std::string> values;
    std::istringstream lines(Read_File(profile.File("tx.log")));
    std::string time, port, value;
    while (lines >> time >> port >> value) values.push_back(port + " " + value);
    const std::vector<std::string> once = {"0x378 FF", "0x378 FE", "0x378 FE", "0x378 FE",
                                           "0x378 FE", "0x378 FE", "0x378 FE", "0x378 FF"};
    std::vector<std::string> expected = {"0x378 FE"};  // the port preparation at start-up
    for (int i = 0; i < 2; ++i) expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(values, expected);
}

}  // namespace
}  // namespace qev::test

namespace qev::test {
namespace {

// Reads from a client until `bytes` have come (events keep flowing meanwhile).
QByteArray Read_Client(QTcpSocket& client, qsizetype bytes) {
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += client.readAll();
            return got.size() >= bytes;
        },
        5000);
    return got;
}

class Server_Test : public Window_Test {
protected:
    QAction* Item() const { return form->findChild<QAction*>(QStringLiteral("Server")); }
    void Connect(QTcpSocket& client, uint16_t port) {
        client.connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::ConnectedState; }, 5000));
    }
};

TEST_F(Server_Test, The_Server_Item_Toggles_The_Server_With_Its_Check_Mark) {
    Start();
    ASSERT_TRUE(Item()->isEnabled());
    EXPECT_FALSE(Item()->isCheckable()) << "no box drawn while closed";
    EXPECT_FALSE(form->Server().Is_Open());
    const uint16_t port = Free_Loopback_Port();
    form->State().Settings.PORT = port;
    Item()->trigger();
    ASSERT_TRUE(form->Server().Is_Open());
    EXPECT_TRUE(Item()->isChecked());
    EXPECT_EQ(form->Server().Port(), port);
    QTcpSocket client;
    Connect(client, port);
    EXPECT_EQ(Read_Client(client, 22), QByteArray("Welcome to QEV_LPT\r\n# "));
    Item()->trigger();
    EXPECT_FALSE(form->Server().Is_Open());
    EXPECT_FALSE(Item()->isChecked());
    EXPECT_FALSE(Item()->isCheckable());
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5000))
        << "closing the server closes its connections";
    EXPECT_TRUE(messages.empty());
}

TEST_F(Server_Test, A_Port_In_Use_Says_So_And_Leaves_The_Server_Closed) {
    Start();
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any, 0));
    for (const int32_t port : {static_cast<int32_t>(other.serverPort()), 0, 70000, -5}) {
        SCOPED_TRACE(port);
        messages.clear();
        form->State().Settings.PORT = port;
        Item()->trigger();
        EXPECT_EQ(Texts(), std::vector<std::string>{"Socket is Already Opened by other APL / Socket Open Error"});
        EXPECT_FALSE(form->Server().Is_Open());
        EXPECT_FALSE(Item()->isChecked());
    }
}

TEST_F(Server_Test, A_Client_Line_Sends_A_Command_Through_The_Port) {
    const uint16_t port = Free_Loopback_Port();
    Write_File(Settings_File(), "[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(port) + "\n");
    Start();
    ASSERT_TRUE(form->Server().Is_Open()) << "STARTUP opens it during start-up";
    EXPECT_TRUE(Item()->isChecked());
    form->State().Load_Command_File(Command_File("c.rmt", "POWER,01\n"), 1);
    QTcpSocket client;
    Connect(client, port);
    Read_Client(client, 22);
    Tx_Clear();
    client.write("POWER\r\npower\r\n");
    EXPECT_EQ(Read_Client(client, 7 + 14 + 7 + 18),
              QByteArray("POWER\r\nCommand OK\r\n# power\r\nCommand Error\a\r\n# "));
    EXPECT_EQ(Tx_Count(), 8) << "one transmission of one byte";
    form->State().Settings.ECHO = 0;
    client.write("PO");
    client.write("WER\r");
    EXPECT_EQ(Read_Client(client, 14), QByteArray("Command OK\r\n# ")) << "echo follows the setting at once";
}

TEST_F(Server_Test, A_Port_In_Use_At_Start_Up_Ends_The_Program_With_The_Socket_Error) {
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::Any, 0));
    Write_File(Settings_File(), "[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(other.serverPort()) + "\n");
    Create();
    EXPECT_FALSE(form->Start_Up());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Caption, "QEV_LPT");
    EXPECT_FALSE(messages[0].Text.empty());
    EXPECT_EQ(Read_File(Settings_File()).find("ECHO"), std::string::npos) << "the Settings file is untouched";
}

}  // namespace
}  // namespace qev::test
