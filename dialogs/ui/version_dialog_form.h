// TVersionDialogForm: shows the version information stored in the program's
// own executable file (product, description, comments, version, author,
// copyright), each behind its fixed label text, beside the program's icon.
// The labels are filled once, when the dialog is created; OK closes it.
#ifndef QEV_DIALOGS_UI_VERSION_DIALOG_FORM_H
#define QEV_DIALOGS_UI_VERSION_DIALOG_FORM_H

#include "app/core/qev_state.h"
#include "dialogs/core/version_info.h"

#include <QDialog>
#include <QFont>
#include <QImage>

#include <string>

class QLabel;
class QPushButton;

namespace qev {

class TVersionDialogForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int Form_Width = 515;
    static constexpr int Form_Height = 219;
    static constexpr int Icon_Size = 73;
    static constexpr int Picture_Size = 32;

    // Reads the version information of `executable`, the running program's
    // file unless told otherwise. The state is taken as every service dialog
    // takes it; this one needs nothing of it.
    TVersionDialogForm(qev::TQEV_State& state, QWidget* parent,
                       const std::string& executable = qev::Running_Executable);

    void OKButtonClick();

    // The program's icon as drawn: 32 x 32 in the sixteen VGA colours.
    static QImage Icon_Picture();
    // The labels' font: fixed pitch, so the values after the equally long
    // prefixes start in one column.
    static QFont Label_Font();

private:
    void Create_Components();
    void FormCreate(const std::string& executable);

    QLabel* icon_image_ = nullptr;
    QLabel* labels_[qev::Version_Field_Count] = {};
    QPushButton* ok_button_ = nullptr;
};

}  // namespace qev

#endif
