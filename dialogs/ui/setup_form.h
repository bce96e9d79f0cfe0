// TSetUp_Form: the setup dialog. It shows the Settings in six groups, as the
// Settings file groups them, and OK stores every field into the running
// program's Settings (the shutdown writes them to the file). Closing it by
// its close box or Escape changes nothing.
//
// The labels of the three settings bound to start-up are red, and every
// label's tooltip says when its value takes effect. The number fields are
// strict spinners: they show numbers of four or more digits grouped by
// commas, and OK stores the last whole number within the range that a field
// held.
#ifndef QEV_DIALOGS_UI_SETUP_FORM_H
#define QEV_DIALOGS_UI_SETUP_FORM_H

#include "app/core/qev_state.h"
#include "dialogs/core/setup_values.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qev {

class TUp_Down;

class TSetUp_Form : public QDialog {
    Q_OBJECT

public:
    static constexpr int Form_Width = 617;
    static constexpr int Form_Height = 740;

    TSetUp_Form(qev::TQEV_State& state, QWidget* parent);

    void OK_ButtonClick();
    void Form_Browse_ButtonClick();
    void DIR_Browse_ButtonClick();
    void RMT_File_Browe_ButtonClick();

    // The fields as OK stores them.
    qev::TSetup_Values Values() const;

private:
    void Create_Components();
    // A group box of `rows` rows at `top`, which then moves below it.
    QGroupBox* Add_Group(int& top, const char* name, const char* caption, int rows);
    QLabel* Add_Label(QGroupBox* group, int row, qev::TSetup_Field field, const char* name, const char* caption);
    QLineEdit* Add_Path_Row(QGroupBox* group, int row, qev::TSetup_Field field, const char* label_name,
                            const char* label, const char* edit_name, const char* button_name,
                            void (TSetUp_Form::*handler)());
    void Add_Number_Row(QGroupBox* group, int row, qev::TSetup_Field field, const char* label_name, const char* label,
                        const char* edit_name, const char* up_down_name);
    void Show_Values(const qev::TSetup_Values& values);
    void Set_Spinner(qev::TSetup_Field field, int32_t value);
    int32_t Spinner_Value(qev::TSetup_Field field) const;
    int Transparency_Selection() const;
    static void Put_Path(QLineEdit* edit, const std::optional<std::string>& path);

    qev::TQEV_State& state_;
    QLineEdit* back_image_edit_ = nullptr;
    QComboBox* transparency_box_ = nullptr;
    QLineEdit* dir_edit_ = nullptr;
    QLineEdit* rmt_file_edit_ = nullptr;
    QCheckBox* lirc_enable_box_ = nullptr;
    QCheckBox* listen_enable_box_ = nullptr;
    QPushButton* ok_button_ = nullptr;
    // The spinner of each number field, by field; none for the text fields.
    std::array<TUp_Down*, static_cast<std::size_t>(qev::TSetup_Field::LISTEN_ENABLE) + 1> spinners_{};
};

}  // namespace qev

#endif
