#include "dialogs/ui/lpt_address_form.h"

#include "controls/form_font.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <QShowEvent>
#include <algorithm>

namespace qev {

TLPT_Address_Form::TLPT_Address_Form(TQEV_State& state, QWidget* parent) : QDialog(parent), address_(state) {
    setObjectName(QStringLiteral("LPT_Address_Form"));
    setWindowTitle(QStringLiteral("LPT Address Set"));
    setFont(Form_Font());
    setFixedSize(Form_Width, Form_Height);
    Create_Components();
    // Not moved: a dialog with a parent is centred on it when shown.
}

// The radio buttons at 48, 48 and 48, 80, 217 x 17 as drawn; where the
// style's indicator and the font need more room for the whole captions, both
// grow alike and move left, so that they stay aligned inside the group's frame.
void TLPT_Address_Form::Place_Radio_Buttons() {
    const QRect frame = group_->geometry().adjusted(4, 0, -4, 0);
    const int needed = std::max(pcat_button_->sizeHint().width(), thinkpad_button_->sizeHint().width());
    const int width = std::min(std::max(217, needed), frame.width());
    const int left = std::min(48, frame.right() + 1 - width);
    pcat_button_->setGeometry(left, 48, width, 17);
    thinkpad_button_->setGeometry(left, 80, width, 17);
}

void TLPT_Address_Form::Create_Components() {
    // The group only draws the frame and its caption. The radio buttons are
    // the form's own children, laid over the frame: with one parent they
    // exclude each other.
    group_ = new QGroupBox(QStringLiteral("LPT Address"), this);
    group_->setObjectName(QStringLiteral("LPT_Address_RadioGroup"));
    group_->setGeometry(24, 24, 249, 97);

    pcat_button_ = new QRadioButton(QStringLiteral("LPT PC/AT     (Base Address 0x378)"), this);
    pcat_button_->setObjectName(QStringLiteral("LPT_PCAT_RadioButton"));
    thinkpad_button_ = new QRadioButton(QStringLiteral("LPT ThinkPad  (Base Address 0x3bc)"), this);
    thinkpad_button_->setObjectName(QStringLiteral("LPT_ThinkPad_RadioButton"));
    Place_Radio_Buttons();

    ok_button_ = new QPushButton(QStringLiteral("OK"), this);
    ok_button_->setObjectName(QStringLiteral("OK_Button"));
    ok_button_->setGeometry(104, 136, 75, 25);
    connect(ok_button_, &QPushButton::clicked, this, &TLPT_Address_Form::OK_ButtonClick);
}

void TLPT_Address_Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TLPT_Address_Form::FormShow() {
    const bool pcat = address_.FormShow() == TLPT_Port_Kind::PCAT;
    pcat_button_->setChecked(pcat);
    thinkpad_button_->setChecked(!pcat);
}

void TLPT_Address_Form::OK_ButtonClick() {
    address_.OK_ButtonClick(pcat_button_->isChecked() ? TLPT_Port_Kind::PCAT : TLPT_Port_Kind::ThinkPad);
    accept();
}

}  // namespace qev
