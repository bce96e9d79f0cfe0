// The setup dialog over a real main window on the simulated port: what it
// shows, what OK stores, what closing leaves alone, the Browse buttons, and
// raised sizes that wait for the next start.
#include "controls/up_down.h"
#include "dialogs/core/setup_effects.h"
#include "dialogs/ui/setup_form.h"
#include "harness/sim_port_controls.h"
#include "learn/ui/capture_command_form.h"
#include "tests/support/qt/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace qev::test {
namespace {

class Setup_Test : public Window_Test {
protected:
    std::unique_ptr<TSetUp_Form> dialog;

    void SetUp() override {
        Start();
        Open();
    }
    TQEV_State& State() { return form->State(); }
    // A new dialog on the Settings as they are now.
    void Open() { dialog = std::make_unique<TSetUp_Form>(form->State(), form.get()); }
    template <typename T>
    T* Child(const char* name) const {
        return Named_Child<T>(*dialog, name);
    }
    QLineEdit* Edit(const char* name) const { return Child<QLineEdit>(name); }
    QComboBox* Box() const { return Child<QComboBox>("BUTTON_TRANSPARENCY_ComboBox"); }
    void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }
    // Replaces a field's text key by key, as a user does.
    static void Type(QLineEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    std::string Text(const char* edit) const { return Edit(edit)->text().toStdString(); }
    // Every field changed: through the Browse buttons, the box and typing.
    void Change_Every_Field(const std::string& picture) {
        feedback.Files = {picture, "/rooms/living.rmt"};
        feedback.Folders = {"/rooms"};
        Click("Form_Browse_Button");
        Click("RMT_File_Browe_Button");
        Click("DIR_Browse_Button");
        Type(Box()->lineEdit(), "YES");
        Type(Edit("TRANSPARENCY_MODE_Edit"), "0");
        Type(Edit("MAX_RMTCMD_NUM_Edit"), "512");
        Type(Edit("REPEAT_Edit"), "3");
        Type(Edit("MAX_RMTCMD_BIT_LENGTH_Edit"), "2,048");
        Type(Edit("MIN_LEADER_LENGTH_Edit"), "16");
        Type(Edit("DEV_LEADER_LENGTH_Edit"), "4");
        Type(Edit("Port_Edit"), "20,000");
        Type(Edit("Echo_Edit"), "0");
        QTest::mouseClick(Child<QCheckBox>("LIRC_Enable_CheckBox"), Qt::LeftButton);
        Type(Edit("LIRC_Port_Edit"), "18,765");
        QTest::mouseClick(Child<QCheckBox>("Listen_Enable_CheckBox"), Qt::LeftButton);
    }
};

TEST_F(Setup_Test, Opens_As_The_Fixed_Setup_Window_Centred_On_The_Main_Window) {
    EXPECT_EQ(dialog->objectName(), "SetUp_Form");
    EXPECT_EQ(dialog->windowTitle(), "Setup");
    EXPECT_EQ(dialog->size(), QSize(617, 740));
    EXPECT_EQ(dialog->minimumSize(), QSize(617, 740));
    EXPECT_EQ(dialog->maximumSize(), QSize(617, 740));
    EXPECT_EQ(dialog->parentWidget(), form.get());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    const QPoint offset = dialog->frameGeometry().center() - form->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << ", " << offset.y();
}

TEST_F(Setup_Test, Seven_Groups_From_Top_To_Bottom_Then_The_OK_Button) {
    struct Row {
        const char* name;
        const char* caption;
    };
    const std::vector<Row> rows = {{"FORM_GroupBox", "Form Section"},         {"COMMAND_GroupBox", "Command Section"},
                                   {"Waveform_GroupBox", "Waveform Section"}, {"DIR_GroupBox", "DIR Section"},
                                   {"GroupBox1", "Server Section"},           {"LIRC_GroupBox", "LIRC Section"},
                                   {"LISTEN_GroupBox", "LISTEN Section"}};
    int bottom = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* group = Child<QGroupBox>(row.name);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->title(), row.caption);
        EXPECT_EQ(group->parentWidget(), dialog.get());
        EXPECT_GT(group->geometry().top(), bottom) << "below the group before it";
        EXPECT_TRUE(dialog->rect().contains(group->geometry()));
        bottom = group->geometry().bottom();
    }
    auto* ok = Child<QPushButton>("OK_Button");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_GT(ok->geometry().top(), bottom);
    EXPECT_TRUE(dialog->rect().contains(ok->geometry()));
    EXPECT_EQ(dialog->findChildren<QGroupBox*>().size(), 7);
}

// The controls of the dialog before the LIRC and LISTEN groups were added
// keep their places; those groups sit below them and the OK button keeps its
// corner.
TEST_F(Setup_Test, The_Groups_Keep_Their_Places_And_LIRC_And_LISTEN_Come_Last) {
    struct Row {
        const char* name;
        QRect geometry;
    };
    const std::vector<Row> rows = {
        {"FORM_GroupBox", {8, 8, 601, 115}},       {"COMMAND_GroupBox", {8, 129, 601, 86}},
        {"Waveform_GroupBox", {8, 221, 601, 115}}, {"DIR_GroupBox", {8, 342, 601, 86}},
        {"GroupBox1", {8, 434, 601, 86}},          {"LIRC_GroupBox", {8, 526, 601, 86}},
        {"LISTEN_GroupBox", {8, 618, 601, 57}},    {"OK_Button", {513, 704, 96, 28}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Child<QWidget>(row.name)->geometry(), row.geometry);
    }
    EXPECT_EQ(dialog->height() - Child<QWidget>("OK_Button")->geometry().bottom(), 9) << "8 pixels below OK";
}

// One row of the dialog: its label and the field beside it.
struct TField_Row {
    const char* name;
    TSetup_Field field;
    const char* group;
    const char* label;  // objectName
    const char* caption;
    const char* control;  // the field's objectName
    const char* extra;    // its spinner or Browse button, or nullptr
};

const std::vector<TField_Row> Field_Rows = {
    {"back_image", TSetup_Field::BACK_IMAGE, "FORM_GroupBox", "BACK_IMAGE_Label", "BACK_IMAGE", "BACK_IMAGE_Edit",
     "Form_Browse_Button"},
    {"button_transparency", TSetup_Field::BUTTON_TRANSPARENCY, "FORM_GroupBox", "BUTTON_TRANSPARENCY_Label",
     "BUTTON_TRANSPARENCY", "BUTTON_TRANSPARENCY_ComboBox", nullptr},
    {"transparency_mode", TSetup_Field::TRANSPARENCY_MODE, "FORM_GroupBox", "TRANSPARENCY_MODE_Label",
     "TRANSPARENCY_MODE", "TRANSPARENCY_MODE_Edit", "TRANSPARENCY_MODE_UpDown"},
    {"max_rmtcmd_num", TSetup_Field::MAX_RMTCMD_NUM, "COMMAND_GroupBox", "MAX_RMTCMD_NUM_Label", "MAX_RMTCMD_NUM",
     "MAX_RMTCMD_NUM_Edit", "MAX_RMTCMD_NUM_UpDown"},
    {"repeat", TSetup_Field::REPEAT, "COMMAND_GroupBox", "REPEAT_Label", "REPEAT", "REPEAT_Edit", "REPEAT_UpDown"},
    {"max_rmtcmd_bit_length", TSetup_Field::MAX_RMTCMD_BIT_LENGTH, "Waveform_GroupBox", "MAX_RMTCMD_BIT_LENGTH_Label",
     "MAX_RMTCMD_BIT_LENGTH", "MAX_RMTCMD_BIT_LENGTH_Edit", "MAX_RMTCMD_BIT_LENGTH_UpDown"},
    {"min_leader_length", TSetup_Field::MIN_LEADER_LENGTH, "Waveform_GroupBox", "MIN_LEADER_LENGTH_Label",
     "MIN_LEADER_LENGTH", "MIN_LEADER_LENGTH_Edit", "MIN_LEADER_LENGTH_UpDown"},
    {"dev_leader_length", TSetup_Field::DEV_LEADER_LENGTH, "Waveform_GroupBox", "DEV_LEADER_LENGTH_Label",
     "DEV_LEADER_LENGTH", "DEV_LEADER_LENGTH_Edit", "DEV_LEADER_LENGTH_UpDown"},
    {"rmt_dir", TSetup_Field::RMT_DIR, "DIR_GroupBox", "RMT_DIR_Label", "RMT File Directry", "DIR_Edit",
     "DIR_Browse_Button"},
    {"rmt_file", TSetup_Field::RMT_FILE, "DIR_GroupBox", "RMT_FILE_Label", "RMT File", "RMT_File_Edit",
     "RMT_File_Browe_Button"},
    {"port", TSetup_Field::PORT, "GroupBox1", "PORT_Label", "PORT", "Port_Edit", "PORT_UpDown"},
    {"echo", TSetup_Field::ECHO, "GroupBox1", "ECHO_Label", "Echo", "Echo_Edit", "ECHO_UpDown"},
    {"lirc_enable", TSetup_Field::LIRC_ENABLE, "LIRC_GroupBox", "LIRC_ENABLE_Label", "Enable", "LIRC_Enable_CheckBox",
     nullptr},
    {"lirc_port", TSetup_Field::LIRC_PORT, "LIRC_GroupBox", "LIRC_PORT_Label", "PORT", "LIRC_Port_Edit",
     "LIRC_PORT_UpDown"},
    {"listen_enable", TSetup_Field::LISTEN_ENABLE, "LISTEN_GroupBox", "LISTEN_ENABLE_Label", "Enable",
     "Listen_Enable_CheckBox", nullptr},
};

TEST_F(Setup_Test, Every_Setting_Has_Its_Label_And_Field_In_Its_Group) {
    for (const TField_Row& row : Field_Rows) {
        SCOPED_TRACE(row.name);
        auto* group = Child<QGroupBox>(row.group);
        auto* label = Child<QLabel>(row.label);
        auto* control = Child<QWidget>(row.control);
        ASSERT_TRUE(group && label && control);
        EXPECT_EQ(label->text(), row.caption);
        EXPECT_EQ(label->parentWidget(), group);
        EXPECT_EQ(control->parentWidget(), group);
        EXPECT_TRUE(group->rect().contains(label->geometry()));
        EXPECT_TRUE(group->rect().contains(control->geometry()));
        // Label and field share a row: the field starts right of the label.
        EXPECT_EQ(label->geometry().center().y(), control->geometry().center().y());
        EXPECT_GT(control->geometry().left(), label->geometry().right());
        if (row.extra) {
            auto* extra = Child<QWidget>(row.extra);
            ASSERT_NE(extra, nullptr);
            EXPECT_EQ(extra->parentWidget(), group);
            EXPECT_TRUE(group->rect().contains(extra->geometry()));
            EXPECT_GE(extra->geometry().left(), control->geometry().right());
            EXPECT_EQ(extra->geometry().center().y(), control->geometry().center().y());
        }
    }
}

TEST_F(Setup_Test, The_Three_Labels_Bound_To_Start_Up_Are_Red_And_Every_Label_Says_When_It_Counts) {
    const QColor plain = Child<QLabel>("REPEAT_Label")->palette().color(QPalette::WindowText);
    ASSERT_NE(plain, QColor(Qt::red));
    for (const TField_Row& row : Field_Rows) {
        SCOPED_TRACE(row.name);
        auto* label = Child<QLabel>(row.label);
        const bool red = std::string(row.name) == "max_rmtcmd_num" ||
                         std::string(row.name) == "max_rmtcmd_bit_length" || std::string(row.name) == "rmt_file";
        EXPECT_EQ(label->palette().color(QPalette::WindowText), red ? QColor(Qt::red) : plain);
        EXPECT_EQ(label->toolTip().toStdString(), Setup_Effect_Text(row.field, State()));
        EXPECT_EQ(label->toolTip().contains(QStringLiteral("Takes effect at the next start")), red);
    }
    EXPECT_TRUE(Child<QLabel>("MAX_RMTCMD_NUM_Label")->toolTip().contains(QStringLiteral("256 rows")));
    EXPECT_TRUE(Child<QLabel>("MAX_RMTCMD_BIT_LENGTH_Label")->toolTip().contains(QStringLiteral("1,024")));
}

TEST_F(Setup_Test, No_Two_Controls_Of_A_Group_Overlap) {
    for (auto* group : dialog->findChildren<QGroupBox*>()) {
        SCOPED_TRACE(group->objectName().toStdString());
        const auto children = group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        EXPECT_GE(children.size(), group->objectName() == QStringLiteral("LISTEN_GroupBox") ? 2 : 4);
        for (qsizetype i = 0; i < children.size(); ++i)
            for (qsizetype j = i + 1; j < children.size(); ++j)
                EXPECT_FALSE(children[i]->geometry().intersects(children[j]->geometry()))
                    << children[i]->objectName().toStdString() << " and " << children[j]->objectName().toStdString();
    }
}

TEST_F(Setup_Test, The_Transparency_Box_Offers_NO_And_YES_And_Takes_Typed_Text) {
    ASSERT_EQ(Box()->count(), 2);
    EXPECT_EQ(Box()->itemText(0), "NO");
    EXPECT_EQ(Box()->itemText(1), "YES");
    EXPECT_TRUE(Box()->isEditable());
    for (const char* button : {"Form_Browse_Button", "DIR_Browse_Button", "RMT_File_Browe_Button"})
        EXPECT_EQ(Child<QPushButton>(button)->text(), "Browse") << button;
}

// A number field: its spinner, the setting it shows and its range.
struct TSpinner_Row {
    const char* name;
    const char* edit;
    const char* up_down;
    int32_t TSettings::*setting;
    int32_t min;
    int32_t max;
};

const std::vector<TSpinner_Row> Spinner_Rows = {
    {"transparency_mode", "TRANSPARENCY_MODE_Edit", "TRANSPARENCY_MODE_UpDown", &TSettings::TRANSPARENCY_MODE, 0, 1},
    {"max_rmtcmd_num", "MAX_RMTCMD_NUM_Edit", "MAX_RMTCMD_NUM_UpDown", &TSettings::MAX_RMTCMD_NUM, 1, 32767},
    {"repeat", "REPEAT_Edit", "REPEAT_UpDown", &TSettings::REPEAT, 1, 32767},
    {"max_rmtcmd_bit_length", "MAX_RMTCMD_BIT_LENGTH_Edit", "MAX_RMTCMD_BIT_LENGTH_UpDown",
     &TSettings::MAX_RMTCMD_BIT_LENGTH, 1, 32767},
    {"min_leader_length", "MIN_LEADER_LENGTH_Edit", "MIN_LEADER_LENGTH_UpDown", &TSettings::MIN_LEADER_LENGTH, 1,
     32767},
    {"dev_leader_length", "DEV_LEADER_LENGTH_Edit", "DEV_LEADER_LENGTH_UpDown", &TSettings::DEV_LEADER_LENGTH, 0,
     32767},
    {"port", "Port_Edit", "PORT_UpDown", &TSettings::PORT, 1024, 32767},
    {"echo", "Echo_Edit", "ECHO_UpDown", &TSettings::ECHO, 0, 1},
    {"lirc_port", "LIRC_Port_Edit", "LIRC_PORT_UpDown", &TSettings::LIRC_PORT, 1024, 32767},
};

TEST_F(Setup_Test, Spinners_Keep_Their_Ranges_Whatever_The_Settings_Hold) {
    for (const TSpinner_Row& row : Spinner_Rows) {
        for (const bool above : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (above ? " above" : " below"));
            State().Settings.*row.setting = above ? row.max + 1 : row.min - 1;
            Open();
            auto* spinner = Child<TUp_Down>(row.up_down);
            EXPECT_EQ(spinner->Min(), row.min);
            EXPECT_EQ(spinner->Max(), row.max);
            const int32_t limit = above ? row.max : row.min;
            EXPECT_EQ(Text(row.edit), TUp_Down::Number_Text(limit, true).toStdString());
            // The arrows stop at the limits.
            spinner->Step(above ? 1 : -1);
            EXPECT_EQ(spinner->Position(), limit);
            Click("OK_Button");
            EXPECT_EQ(State().Settings.*row.setting, limit);
        }
    }
}

TEST_F(Setup_Test, The_LIRC_Box_Shows_Enable_And_OK_Stores_It) {
    struct Row {
        const char* name;
        int32_t setting;
        bool shown;
        bool click;
        int32_t stored;
    };
    const std::vector<Row> rows = {
        {"off_left_off", 0, false, false, 0},
        {"off_ticked", 0, false, true, 1},
        {"on_left_on", 1, true, false, 1},
        {"on_cleared", 1, true, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        State().Settings.LIRC_ENABLE = row.setting;
        Open();
        auto* box = Child<QCheckBox>("LIRC_Enable_CheckBox");
        EXPECT_EQ(box->isChecked(), row.shown);
        if (row.click) QTest::mouseClick(box, Qt::LeftButton);
        Click("OK_Button");
        EXPECT_EQ(State().Settings.LIRC_ENABLE, row.stored);
    }
}

TEST_F(Setup_Test, Numbers_Of_Four_Or_More_Digits_Show_Grouped_By_Commas) {
    struct Row {
        const char* name;
        int32_t TSettings::*setting;
        int32_t value;
        const char* edit;
        const char* shown;
    };
    const std::vector<Row> rows = {
        {"rows_default", &TSettings::MAX_RMTCMD_NUM, 256, "MAX_RMTCMD_NUM_Edit", "256"},
        {"rows_largest", &TSettings::MAX_RMTCMD_NUM, 32767, "MAX_RMTCMD_NUM_Edit", "32,767"},
        {"repeat_three_digits", &TSettings::REPEAT, 999, "REPEAT_Edit", "999"},
        {"repeat_four_digits", &TSettings::REPEAT, 1000, "REPEAT_Edit", "1,000"},
        {"samples_default", &TSettings::MAX_RMTCMD_BIT_LENGTH, 1024, "MAX_RMTCMD_BIT_LENGTH_Edit", "1,024"},
        {"tolerance_zero", &TSettings::DEV_LEADER_LENGTH, 0, "DEV_LEADER_LENGTH_Edit", "0"},
        {"port_default", &TSettings::PORT, 9999, "Port_Edit", "9,999"},
        {"echo_on", &TSettings::ECHO, 1, "Echo_Edit", "1"},
        {"lirc_port_default", &TSettings::LIRC_PORT, 8765, "LIRC_Port_Edit", "8,765"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        State().Settings.*row.setting = row.value;
        Open();
        EXPECT_EQ(Text(row.edit), row.shown);
    }
}

TEST_F(Setup_Test, A_Port_Of_80_Shows_As_1024_And_Is_Stored_As_1024) {
    State().Settings.PORT = 80;
    Open();
    EXPECT_EQ(Text("Port_Edit"), "1,024");
    Click("OK_Button");
    EXPECT_EQ(State().Settings.PORT, 1024);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(Setup_Test, A_Typed_Number_Counts_Only_Within_The_Range) {
    struct Row {
        const char* name;
        const char* edit;
        int32_t TSettings::*setting;
        const char* typed;
        int32_t stored;
    };
    // The defaults stand before: PORT 9999, MAX_RMTCMD_BIT_LENGTH 1024, REPEAT 1.
    const std::vector<Row> rows = {
        {"port_80", "Port_Edit", &TSettings::PORT, "80", 9999},
        {"port_grouped", "Port_Edit", &TSettings::PORT, "2,048", 2048},
        {"port_plain", "Port_Edit", &TSettings::PORT, "2048", 2048},
        {"port_above_the_range", "Port_Edit", &TSettings::PORT, "40000", 9999},
        {"port_text", "Port_Edit", &TSettings::PORT, "http", 9999},
        {"samples_grouped", "MAX_RMTCMD_BIT_LENGTH_Edit", &TSettings::MAX_RMTCMD_BIT_LENGTH, "2,048", 2048},
        {"samples_plain", "MAX_RMTCMD_BIT_LENGTH_Edit", &TSettings::MAX_RMTCMD_BIT_LENGTH, "2048", 2048},
        {"samples_zero", "MAX_RMTCMD_BIT_LENGTH_Edit", &TSettings::MAX_RMTCMD_BIT_LENGTH, "0", 1024},
        {"samples_badly_grouped", "MAX_RMTCMD_BIT_LENGTH_Edit", &TSettings::MAX_RMTCMD_BIT_LENGTH, "20,48", 1024},
        {"repeat_empty", "REPEAT_Edit", &TSettings::REPEAT, "", 1},
        {"repeat_negative", "REPEAT_Edit", &TSettings::REPEAT, "-3", 1},
        {"repeat_largest", "REPEAT_Edit", &TSettings::REPEAT, "32767", 32767},
        {"lirc_port_plain", "LIRC_Port_Edit", &TSettings::LIRC_PORT, "18765", 18765},
        {"lirc_port_below_the_range", "LIRC_Port_Edit", &TSettings::LIRC_PORT, "80", 8765},
        {"lirc_port_text", "LIRC_Port_Edit", &TSettings::LIRC_PORT, "lircd", 8765},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        State().Settings = TSettings{};
        State().Settings.RMT_DIR = profile.Path();
        Open();
        Type(Edit(row.edit), row.typed);
        Click("OK_Button");
        EXPECT_EQ(State().Settings.*row.setting, row.stored);
    }
}

// Which settings show as NO is the setup values' own test (tests/dialogs/core);
// the box shows the item they give and OK stores what it shows.
TEST_F(Setup_Test, The_Box_Shows_The_Item_Of_The_Setting_And_OK_Stores_What_It_Shows) {
    struct Row {
        const char* name;
        const char* setting;
        int item;
        const char* stored;
    };
    const std::vector<Row> rows = {
        {"no", "NO", 0, "NO"},
        {"yes", "YES", 1, "YES"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        State().Settings.BUTTON_TRANSPARENCY = row.setting;
        Open();
        EXPECT_EQ(Box()->currentIndex(), row.item);
        EXPECT_EQ(Box()->currentText(), row.item == 0 ? "NO" : "YES");
        Click("OK_Button");
        EXPECT_EQ(State().Settings.BUTTON_TRANSPARENCY, row.stored);
    }
}

TEST_F(Setup_Test, Text_Typed_Into_The_Box_Stores_YES_Unless_It_Is_The_Item_NO) {
    struct Row {
        const char* name;
        const char* typed;
        const char* stored;
    };
    const std::vector<Row> rows = {
        {"free_text", "maybe", "YES"},  {"on", "ON", "YES"}, {"cleared", "", "YES"}, {"the_item_no", "NO", "NO"},
        {"the_item_yes", "YES", "YES"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        State().Settings.BUTTON_TRANSPARENCY = "NO";
        Open();
        Type(Box()->lineEdit(), row.typed);
        EXPECT_EQ(Box()->currentText(), row.typed);
        EXPECT_EQ(Box()->count(), 2) << "typing adds no item";
        Click("OK_Button");
        EXPECT_EQ(State().Settings.BUTTON_TRANSPARENCY, row.stored);
    }
}

TEST_F(Setup_Test, OK_Stores_Every_Field_Shows_The_Background_And_Closes) {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(10, 120, 200));
    const std::string bitmap = profile.File("back.bmp");
    ASSERT_TRUE(picture.save(QString::fromStdString(bitmap), "BMP"));
    State().Settings.STARTUP = 1;
    TSettings expected = State().Settings;
    expected.BACK_IMAGE = bitmap;
    expected.BUTTON_TRANSPARENCY = "YES";
    expected.TRANSPARENCY_MODE = 0;
    expected.MAX_RMTCMD_NUM = 512;
    expected.REPEAT = 3;
    expected.MAX_RMTCMD_BIT_LENGTH = 2048;
    expected.MIN_LEADER_LENGTH = 16;
    expected.DEV_LEADER_LENGTH = 4;
    expected.RMT_DIR = "/rooms";
    expected.RMT_FILE = "/rooms/living.rmt";
    expected.PORT = 20000;
    expected.ECHO = 0;
    expected.LIRC_ENABLE = 1;
    expected.LIRC_PORT = 18765;
    expected.LISTEN_ENABLE = 1;
    Open();
    Change_Every_Field(bitmap);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    Click("OK_Button");
    EXPECT_EQ(State().Settings, expected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(messages.empty()) << Texts().front();
    auto* background = form->findChild<QLabel*>(QStringLiteral("Vey_Image"));
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->pixmap().size(), QSize(64, 48)) << "the new background is shown at once";
}

// Paths the user did not touch keep every byte, UTF-8 or not, so the next
// start finds the same Command file.
TEST_F(Setup_Test, OK_Keeps_The_Bytes_Of_Untouched_Paths) {
    State().Settings.RMT_DIR = "/ir/caf\xC9";
    State().Settings.RMT_FILE = "/ir/caf\xC9/t\xE9l\xE9 \xE6\x97\xA5.rmt";
    State().Settings.BACK_IMAGE = "/pictures/\x93\x64.bmp";
    const TSettings expected = State().Settings;
    Open();
    Click("OK_Button");
    EXPECT_EQ(State().Settings.RMT_DIR, expected.RMT_DIR);
    EXPECT_EQ(State().Settings.RMT_FILE, expected.RMT_FILE);
    EXPECT_EQ(State().Settings.BACK_IMAGE, expected.BACK_IMAGE);
}

TEST_F(Setup_Test, A_Picture_That_Cannot_Be_Read_Is_Reported_And_The_Rest_Is_Stored) {
    const std::string missing = profile.File("missing.bmp");
    Type(Edit("BACK_IMAGE_Edit"), missing.c_str());
    Type(Edit("Port_Edit"), "12345");
    Click("OK_Button");
    EXPECT_EQ(Texts(), std::vector<std::string>{"Can't Read Image File:" + missing + " / Image File Load Error"});
    EXPECT_EQ(State().Settings.BACK_IMAGE, missing) << "the value stays stored";
    EXPECT_EQ(State().Settings.PORT, 12345);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(Setup_Test, Closing_By_The_Close_Box_Or_Escape_Changes_Nothing) {
    struct Row {
        const char* name;
        std::function<void(TSetUp_Form&)> close;
    };
    const std::vector<Row> rows = {
        {"close_box", [](TSetUp_Form& d) { d.close(); }},
        {"escape", [](TSetUp_Form& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"escape_in_a_number_field",
         [](TSetUp_Form& d) { QTest::keyClick(d.findChild<QLineEdit*>(QStringLiteral("Port_Edit")), Qt::Key_Escape); }},
    };
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const std::string bitmap = profile.File("other.bmp");
    ASSERT_TRUE(picture.save(QString::fromStdString(bitmap), "BMP"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TSettings before = State().Settings;
        Open();
        Change_Every_Field(bitmap);
        // As the main window runs it: modal, until it closes.
        QTimer::singleShot(0, dialog.get(), [&] { row.close(*dialog); });
        EXPECT_EQ(dialog->exec(), QDialog::Rejected);
        EXPECT_EQ(State().Settings, before);
        EXPECT_TRUE(messages.empty());
        EXPECT_TRUE(form->findChild<QLabel*>(QStringLiteral("Vey_Image"))->pixmap().isNull()) << "no background";
    }
}

// ---- Browse ----------------------------------------------------------------------

TEST_F(Setup_Test, Every_Browse_Starts_In_The_Stored_Folder_Whatever_The_Folder_Field_Shows) {
    const std::string stored = State().Settings.RMT_DIR;
    ASSERT_EQ(stored, profile.Path());
    Type(Edit("DIR_Edit"), "/typed/elsewhere");
    Click("Form_Browse_Button");
    Click("RMT_File_Browe_Button");
    Click("DIR_Browse_Button");
    ASSERT_EQ(file_requests.size(), 2u);
    EXPECT_EQ(file_requests[0].Initial_Folder, stored);
    EXPECT_EQ(file_requests[0].Filter, "BMPファイル(*.bmp)|*.bmp|All(*.*)|*.*");
    EXPECT_FALSE(file_requests[0].Save);
    EXPECT_EQ(file_requests[1].Initial_Folder, stored);
    EXPECT_EQ(file_requests[1].Filter, "");
    EXPECT_EQ(file_requests[1].Default_Extension, "");
    EXPECT_FALSE(file_requests[1].Save);
    EXPECT_EQ(feedback.Folder_Requests, std::vector<std::string>{"Select Folder | " + stored});
    EXPECT_EQ(Text("DIR_Edit"), "/typed/elsewhere") << "cancelled: the typed folder stays";
}

TEST_F(Setup_Test, A_Chosen_Path_Goes_Into_Its_Field_And_A_Cancelled_Browse_Changes_Nothing) {
    struct Row {
        const char* name;
        const char* button;
        const char* edit;
        bool folder;
    };
    const std::vector<Row> rows = {
        {"background_picture", "Form_Browse_Button", "BACK_IMAGE_Edit", false},
        {"command_file", "RMT_File_Browe_Button", "RMT_File_Edit", false},
        {"folder", "DIR_Browse_Button", "DIR_Edit", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        State().Settings.BACK_IMAGE = "/before/back.bmp";
        State().Settings.RMT_FILE = "/before/tv.rmt";
        State().Settings.RMT_DIR = "/before";
        const TSettings before = State().Settings;
        Open();
        const std::string shown = Text(row.edit);
        (row.folder ? feedback.Folders : feedback.Files) = {""};
        Click(row.button);
        EXPECT_EQ(Text(row.edit), shown) << "cancelled";
        (row.folder ? feedback.Folders : feedback.Files) = {"/chosen/リモコン"};
        Click(row.button);
        EXPECT_EQ(Text(row.edit), "/chosen/リモコン");
        EXPECT_EQ(State().Settings, before) << "nothing is stored before OK";
    }
    EXPECT_TRUE(messages.empty());
}

// ---- Raised sizes ----------------------------------------------------------------

// With the simulated remote on, to capture through the capture dialog.
class Setup_Raised_Size_Test : public Setup_Test {
protected:
    TEnv_Guard nec{"IO_SIM_REMOTE", "nec:0x04:0x08"};
    TEnv_Guard delay{"IO_SIM_REMOTE_DELAY_MS", "5"};

    void SetUp() override {
        Setup_Test::SetUp();
        TSim_Port_Controls(form->State().Port).Reset();  // take this test's remote settings
    }
    std::string Records(int count, int bytes) const {
        std::string text = "@REPEAT = 1\r\n";
        for (int i = 0; i < count; ++i) {
            text += "CMD" + std::to_string(i);
            for (int b = 0; b < bytes; ++b) text += ",A5";
            text += "\r\n";
        }
        return text;
    }
};

TEST_F(Setup_Raised_Size_Test, Raised_Sizes_Wait_For_The_Next_Start_And_Nothing_Leaves_The_Allocation) {
    Type(Edit("MAX_RMTCMD_NUM_Edit"), "32,767");
    Type(Edit("MAX_RMTCMD_BIT_LENGTH_Edit"), "32,767");
    Click("OK_Button");
    ASSERT_EQ(State().Settings.MAX_RMTCMD_NUM, 32767);
    ASSERT_EQ(State().Settings.MAX_RMTCMD_BIT_LENGTH, 32767);
    EXPECT_EQ(State().Table.Rows(), 256) << "the table keeps its size";
    EXPECT_EQ(State().Table.Row_Capacity(), 128);
    EXPECT_EQ(State().Samples.Capacity(), 1024);

    // A Command file load: 300 records of 200 bytes keep 256 of 128.
    EXPECT_EQ(State().Load_Command_File(Command_File("big.rmt", Records(300, 200)), 1), 1);
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"Command Buffer Overflow\n256 records, the first at line 2: each keeps "
                                        "its first 128 bytes. / File Read Error",
                                        "Unexpected Data Size / File Read Error"}));
    EXPECT_EQ(State().Table.Command_Count, 256);
    EXPECT_EQ(State().Table.Row(255).Byte_Count, 128);
    EXPECT_EQ(State().Table.Row(255).Bytes.size(), 128u);
    messages.clear();

    // A capture stores what the buffer holds; a registration takes no more
    // rows than the table has and no more samples than a row holds.
    TCapture_Command_Form capture(State(), form.get());
    auto* length = capture.findChild<QLineEdit*>(QStringLiteral("Data_Length_Edit"));
    auto* name = capture.findChild<QLineEdit*>(QStringLiteral("Command_Name_Edit"));
    auto* memo = capture.findChild<QPlainTextEdit*>(QStringLiteral("Data_Memo"));
    ASSERT_TRUE(length && name && memo);
    EXPECT_EQ(length->text(), "1024") << "the capture offers what the buffer holds, not the raised value";
    QTest::mouseClick(capture.findChild<QPushButton*>(QStringLiteral("Start_Caputure_Button")), Qt::LeftButton);
    ASSERT_TRUE(messages.empty()) << Texts().front();
    EXPECT_EQ(memo->toPlainText().split('\n').size(), 1024 + 2) << "the listing of the 1,024 samples stored";
    auto* registration = capture.findChild<QPushButton*>(QStringLiteral("Registration_Button"));
    name->setText(QStringLiteral("NEW"));
    length->setText(QStringLiteral("1024"));
    QTest::mouseClick(registration, Qt::LeftButton);
    EXPECT_EQ(Texts(), std::vector<std::string>{"The Command table is full (256 commands): save it and clear it, or "
                                                "raise MAX_RMTCMD_NUM for the next start / Registration Error"});
    EXPECT_EQ(State().Table.Command_Count, 256);
    messages.clear();

    ASSERT_EQ(State().Load_Command_File(Command_File("one.rmt", Records(1, 4)), 1), 0);
    length->setText(QStringLiteral("32767"));
    QTest::mouseClick(registration, Qt::LeftButton);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Data Length must be between 1 and 1024 / Data Length Error"});
    EXPECT_EQ(State().Table.Command_Count, 1);
    messages.clear();
    length->setText(QStringLiteral("1024"));
    QTest::mouseClick(registration, Qt::LeftButton);
    EXPECT_TRUE(messages.empty()) << Texts().front();
    ASSERT_EQ(State().Table.Command_Count, 2);
    EXPECT_EQ(State().Table.Row(1).Name, "NEW");
    EXPECT_EQ(State().Table.Row(1).Byte_Count, 128);
    EXPECT_EQ(State().Table.Row(1).Bytes.size(), 128u);
}

}  // namespace
}  // namespace qev::test
