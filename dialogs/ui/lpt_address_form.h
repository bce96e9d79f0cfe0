// TLPT_Address_Form: chooses the parallel port's base address, 0x378 (PC/AT)
// or 0x3BC (ThinkPad).
//
// As it shows, the button of the base in use is checked (0x378: PC/AT, any
// other base: ThinkPad). OK sets the checked base, preparing the port again
// even when the base stays the same, and closes. There is no Cancel: closing
// by the frame (or Escape) changes nothing. The dialog keeps nothing of its
// own between openings.
#ifndef QEV_DIALOGS_UI_LPT_ADDRESS_FORM_H
#define QEV_DIALOGS_UI_LPT_ADDRESS_FORM_H

#include "app/core/qev_state.h"
#include "dialogs/core/lpt_address.h"

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;
class QShowEvent;

namespace qev {

class TLPT_Address_Form : public QDialog {
    Q_OBJECT

public:
    static constexpr int Form_Width = 311;
    static constexpr int Form_Height = 223;

    TLPT_Address_Form(qev::TQEV_State& state, QWidget* parent);

    void FormShow();
    void OK_ButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Create_Components();
    void Place_Radio_Buttons();

    qev::TLPT_Address address_;
    QGroupBox* group_ = nullptr;
    QRadioButton* pcat_button_ = nullptr;
    QRadioButton* thinkpad_button_ = nullptr;
    QPushButton* ok_button_ = nullptr;
};

}  // namespace qev

#endif
