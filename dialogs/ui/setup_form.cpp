#include "dialogs/ui/setup_form.h"

#include "controls/form_font.h"
#include "controls/local_text.h"
#include "controls/up_down.h"
#include "dialogs/core/setup_effects.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

namespace qev {

namespace {

// The dialog's grid: six group boxes one below the other, each a column of
// labels and a column of fields, then the OK button at the bottom right.
constexpr int Margin = 8;
constexpr int Group_Gap = 6;
constexpr int Group_Width = TSetUp_Form::Form_Width - 2 * Margin;
constexpr int Group_Title = 22;  // from the group's top to its first row
constexpr int Group_Bottom = 6;  // below its last row
constexpr int Row_Pitch = 29;
constexpr int Field_Height = 21;
constexpr int Label_Left = 16;
constexpr int Label_Width = 180;
constexpr int Field_Left = Label_Left + Label_Width + 8;
constexpr int Number_Width = 80;
constexpr int Up_Down_Width = 16;
constexpr int Combo_Width = Number_Width + Up_Down_Width;
constexpr int Button_Width = 80;
constexpr int Button_Height = 25;
constexpr int Button_Left = Group_Width - Label_Left - Button_Width;
constexpr int Path_Width = Button_Left - 8 - Field_Left;
constexpr int OK_Width = 96;
constexpr int OK_Height = 28;

int Row_Top(int row) { return Group_Title + row * Row_Pitch; }

std::size_t Index(TSetup_Field field) { return static_cast<std::size_t>(field); }

}  // namespace

TSetUp_Form::TSetUp_Form(TQEV_State& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("SetUp_Form"));
    setWindowTitle(QStringLiteral("Setup"));
    setFont(Form_Font());
    setFixedSize(Form_Width, Form_Height);
    Create_Components();
    Show_Values(Setup_Values(state_.Settings));
    // Not moved: a dialog with a parent is centred on it when shown.
}

void TSetUp_Form::Create_Components() {
    int top = Margin;

    QGroupBox* form = Add_Group(top, "FORM_GroupBox", "Form Section", 3);
    back_image_edit_ = Add_Path_Row(form, 0, TSetup_Field::BACK_IMAGE, "BACK_IMAGE_Label", "BACK_IMAGE",
                                    "BACK_IMAGE_Edit", "Form_Browse_Button", &TSetUp_Form::Form_Browse_ButtonClick);
    Add_Label(form, 1, TSetup_Field::BUTTON_TRANSPARENCY, "BUTTON_TRANSPARENCY_Label", "BUTTON_TRANSPARENCY");
    transparency_box_ = new QComboBox(form);
    transparency_box_->setObjectName(QStringLiteral("BUTTON_TRANSPARENCY_ComboBox"));
    // The box takes typed text (which stores as YES); typing never adds an item.
    transparency_box_->setEditable(true);
    transparency_box_->setInsertPolicy(QComboBox::NoInsert);
    transparency_box_->addItems({QStringLiteral("NO"), QStringLiteral("YES")});
    transparency_box_->setGeometry(Field_Left, Row_Top(1), Combo_Width, Field_Height);
    Add_Number_Row(form, 2, TSetup_Field::TRANSPARENCY_MODE, "TRANSPARENCY_MODE_Label", "TRANSPARENCY_MODE",
                   "TRANSPARENCY_MODE_Edit", "TRANSPARENCY_MODE_UpDown");

    QGroupBox* command = Add_Group(top, "COMMAND_GroupBox", "Command Section", 2);
    Add_Number_Row(command, 0, TSetup_Field::MAX_RMTCMD_NUM, "MAX_RMTCMD_NUM_Label", "MAX_RMTCMD_NUM",
                   "MAX_RMTCMD_NUM_Edit", "MAX_RMTCMD_NUM_UpDown");
    Add_Number_Row(command, 1, TSetup_Field::REPEAT, "REPEAT_Label", "REPEAT", "REPEAT_Edit", "REPEAT_UpDown");

    QGroupBox* waveform = Add_Group(top, "Waveform_GroupBox", "Waveform Section", 3);
    Add_Number_Row(waveform, 0, TSetup_Field::MAX_RMTCMD_BIT_LENGTH, "MAX_RMTCMD_BIT_LENGTH_Label",
                   "MAX_RMTCMD_BIT_LENGTH", "MAX_RMTCMD_BIT_LENGTH_Edit", "MAX_RMTCMD_BIT_LENGTH_UpDown");
    Add_Number_Row(waveform, 1, TSetup_Field::MIN_LEADER_LENGTH, "MIN_LEADER_LENGTH_Label", "MIN_LEADER_LENGTH",
                   "MIN_LEADER_LENGTH_Edit", "MIN_LEADER_LENGTH_UpDown");
    Add_Number_Row(waveform, 2, TSetup_Field::DEV_LEADER_LENGTH, "DEV_LEADER_LENGTH_Label", "DEV_LEADER_LENGTH",
                   "DEV_LEADER_LENGTH_Edit", "DEV_LEADER_LENGTH_UpDown");

    QGroupBox* dir = Add_Group(top, "DIR_GroupBox", "DIR Section", 2);
    dir_edit_ = Add_Path_Row(dir, 0, TSetup_Field::RMT_DIR, "RMT_DIR_Label", "RMT File Directry", "DIR_Edit",
                             "DIR_Browse_Button", &TSetUp_Form::DIR_Browse_ButtonClick);
    rmt_file_edit_ = Add_Path_Row(dir, 1, TSetup_Field::RMT_FILE, "RMT_FILE_Label", "RMT File", "RMT_File_Edit",
                                  "RMT_File_Browe_Button", &TSetUp_Form::RMT_File_Browe_ButtonClick);

    QGroupBox* server = Add_Group(top, "GroupBox1", "Server Section", 2);
    Add_Number_Row(server, 0, TSetup_Field::PORT, "PORT_Label", "PORT", "Port_Edit", "PORT_UpDown");
    Add_Number_Row(server, 1, TSetup_Field::ECHO, "ECHO_Label", "Echo", "Echo_Edit", "ECHO_UpDown");

    QGroupBox* lirc = Add_Group(top, "LIRC_GroupBox", "LIRC Section", 2);
    Add_Label(lirc, 0, TSetup_Field::LIRC_ENABLE, "LIRC_ENABLE_Label", "Enable");
    lirc_enable_box_ = new QCheckBox(lirc);
    lirc_enable_box_->setObjectName(QStringLiteral("LIRC_Enable_CheckBox"));
    // As wide as its box: a click beside an empty caption would do nothing.
    lirc_enable_box_->setGeometry(Field_Left, Row_Top(0), lirc_enable_box_->sizeHint().width(), Field_Height);
    Add_Number_Row(lirc, 1, TSetup_Field::LIRC_PORT, "LIRC_PORT_Label", "PORT", "LIRC_Port_Edit", "LIRC_PORT_UpDown");

    QGroupBox* listen = Add_Group(top, "LISTEN_GroupBox", "LISTEN Section", 1);
    Add_Label(listen, 0, TSetup_Field::LISTEN_ENABLE, "LISTEN_ENABLE_Label", "Enable");
    listen_enable_box_ = new QCheckBox(listen);
    listen_enable_box_->setObjectName(QStringLiteral("Listen_Enable_CheckBox"));
    listen_enable_box_->setGeometry(Field_Left, Row_Top(0), listen_enable_box_->sizeHint().width(), Field_Height);

    ok_button_ = new QPushButton(QStringLiteral("OK"), this);
    ok_button_->setObjectName(QStringLiteral("OK_Button"));
    ok_button_->setGeometry(Margin + Group_Width - OK_Width, Form_Height - Margin - OK_Height, OK_Width, OK_Height);
    // Return in a field only finishes the field: the dialog stores on a click.
    ok_button_->setAutoDefault(false);
    connect(ok_button_, &QPushButton::clicked, this, &TSetUp_Form::OK_ButtonClick);
}

QGroupBox* TSetUp_Form::Add_Group(int& top, const char* name, const char* caption, int rows) {
    auto* group = new QGroupBox(QString::fromLatin1(caption), this);
    group->setObjectName(QString::fromLatin1(name));
    const int height = Group_Title + rows * Row_Pitch + Group_Bottom;
    group->setGeometry(Margin, top, Group_Width, height);
    top += height + Group_Gap;
    return group;
}

// The labels of the settings bound to start-up are red; each label's tooltip
// says when its value takes effect.
QLabel* TSetUp_Form::Add_Label(QGroupBox* group, int row, TSetup_Field field, const char* name, const char* caption) {
    auto* label = new QLabel(QString::fromLatin1(caption), group);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(Label_Left, Row_Top(row), Label_Width, Field_Height);
    label->setToolTip(To_Q(Setup_Effect_Text(field, state_)));
    if (Takes_Effect_At_Next_Start(field)) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        label->setPalette(palette);
    }
    return label;
}

QLineEdit* TSetUp_Form::Add_Path_Row(QGroupBox* group, int row, TSetup_Field field, const char* label_name,
                                     const char* label, const char* edit_name, const char* button_name,
                                     void (TSetUp_Form::*handler)()) {
    Add_Label(group, row, field, label_name, label);
    auto* edit = new QLineEdit(group);
    edit->setObjectName(QString::fromLatin1(edit_name));
    edit->setGeometry(Field_Left, Row_Top(row), Path_Width, Field_Height);
    auto* button = new QPushButton(QStringLiteral("Browse"), group);
    button->setObjectName(QString::fromLatin1(button_name));
    button->setGeometry(Button_Left, Row_Top(row) - (Button_Height - Field_Height) / 2, Button_Width, Button_Height);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, handler);
    return edit;
}

void TSetUp_Form::Add_Number_Row(QGroupBox* group, int row, TSetup_Field field, const char* label_name,
                                 const char* label, const char* edit_name, const char* up_down_name) {
    Add_Label(group, row, field, label_name, label);
    auto* edit = new QLineEdit(group);
    edit->setObjectName(QString::fromLatin1(edit_name));
    edit->setGeometry(Field_Left, Row_Top(row), Number_Width, Field_Height);
    auto* spinner = new TUp_Down(group);
    spinner->setObjectName(QString::fromLatin1(up_down_name));
    spinner->setGeometry(Field_Left + Number_Width, Row_Top(row), Up_Down_Width, Field_Height);
    spinner->Set_Associate(edit);
    spinner->Set_Strict(true);
    spinner->Set_Thousands(true);
    const TSetup_Range range = *Setup_Range(field);
    spinner->Set_Range(range.Min, range.Max);
    spinners_[Index(field)] = spinner;
}

// ---- Creation and the values ----------------------------------------------------

void TSetUp_Form::Show_Values(const TSetup_Values& values) {
    back_image_edit_->setText(To_Q(values.BACK_IMAGE));
    transparency_box_->setCurrentIndex(values.BUTTON_TRANSPARENCY_Item);
    Set_Spinner(TSetup_Field::TRANSPARENCY_MODE, values.TRANSPARENCY_MODE);
    Set_Spinner(TSetup_Field::MAX_RMTCMD_NUM, values.MAX_RMTCMD_NUM);
    Set_Spinner(TSetup_Field::REPEAT, values.REPEAT);
    Set_Spinner(TSetup_Field::MAX_RMTCMD_BIT_LENGTH, values.MAX_RMTCMD_BIT_LENGTH);
    Set_Spinner(TSetup_Field::MIN_LEADER_LENGTH, values.MIN_LEADER_LENGTH);
    Set_Spinner(TSetup_Field::DEV_LEADER_LENGTH, values.DEV_LEADER_LENGTH);
    dir_edit_->setText(To_Q(values.RMT_DIR));
    rmt_file_edit_->setText(To_Q(values.RMT_FILE));
    Set_Spinner(TSetup_Field::PORT, values.PORT);
    Set_Spinner(TSetup_Field::ECHO, values.ECHO);
    lirc_enable_box_->setChecked(values.LIRC_ENABLE);
    Set_Spinner(TSetup_Field::LIRC_PORT, values.LIRC_PORT);
    listen_enable_box_->setChecked(values.LISTEN_ENABLE);
}

TSetup_Values TSetUp_Form::Values() const {
    TSetup_Values values;
    values.BACK_IMAGE = From_Q(back_image_edit_->text());
    values.BUTTON_TRANSPARENCY_Item = Transparency_Selection();
    values.TRANSPARENCY_MODE = Spinner_Value(TSetup_Field::TRANSPARENCY_MODE);
    values.MAX_RMTCMD_NUM = Spinner_Value(TSetup_Field::MAX_RMTCMD_NUM);
    values.REPEAT = Spinner_Value(TSetup_Field::REPEAT);
    values.MAX_RMTCMD_BIT_LENGTH = Spinner_Value(TSetup_Field::MAX_RMTCMD_BIT_LENGTH);
    values.MIN_LEADER_LENGTH = Spinner_Value(TSetup_Field::MIN_LEADER_LENGTH);
    values.DEV_LEADER_LENGTH = Spinner_Value(TSetup_Field::DEV_LEADER_LENGTH);
    values.RMT_DIR = From_Q(dir_edit_->text());
    values.RMT_FILE = From_Q(rmt_file_edit_->text());
    values.PORT = Spinner_Value(TSetup_Field::PORT);
    values.ECHO = Spinner_Value(TSetup_Field::ECHO);
    values.LIRC_ENABLE = lirc_enable_box_->isChecked();
    values.LIRC_PORT = Spinner_Value(TSetup_Field::LIRC_PORT);
    values.LISTEN_ENABLE = listen_enable_box_->isChecked();
    return values;
}

void TSetUp_Form::Set_Spinner(TSetup_Field field, int32_t value) { spinners_[Index(field)]->Set_Position(value); }

int32_t TSetUp_Form::Spinner_Value(TSetup_Field field) const { return spinners_[Index(field)]->Position(); }

// An item counts while the box shows its text; other text typed into the box
// selects none.
int TSetUp_Form::Transparency_Selection() const {
    const int item = transparency_box_->findText(transparency_box_->currentText());
    return item >= 0 ? item : Transparency_No_Selection;
}

// ---- Handlers -------------------------------------------------------------------

void TSetUp_Form::OK_ButtonClick() {
    Setup_OK(Values(), state_);
    accept();
}

void TSetUp_Form::Form_Browse_ButtonClick() { Put_Path(back_image_edit_, Setup_Form_Browse(state_)); }

void TSetUp_Form::DIR_Browse_ButtonClick() { Put_Path(dir_edit_, Setup_DIR_Browse(state_)); }

void TSetUp_Form::RMT_File_Browe_ButtonClick() { Put_Path(rmt_file_edit_, Setup_RMT_File_Browe(state_)); }

void TSetUp_Form::Put_Path(QLineEdit* edit, const std::optional<std::string>& path) {
    if (path) edit->setText(To_Q(*path));
}

}  // namespace qev
