#include "dialogs/ui/debug_tool_form.h"

#include "controls/form_font.h"
#include "controls/lamp.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace qev {

namespace {

// A 0x00BBGGRR colour value (red in the lowest byte) as a QColor.
QColor From_BGR(uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

}  // namespace

TDebug_Tool_Form::TDebug_Tool_Form(TQEV_State& state, QWidget* parent) : QDialog(parent), tool_(state) {
    setObjectName(QStringLiteral("Debug_Tool_Form"));
    setWindowTitle(QStringLiteral("Debug Tool"));
    setFont(Form_Font());
    setFixedSize(Form_Width, Form_Height);
    Create_Components();
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Debug_Timer"));
    timer_->setInterval(Timer_Interval_Ms);
    connect(timer_, &QTimer::timeout, this, &TDebug_Tool_Form::Debug_TimerTimer);
    timer_->start();
    // The lamps as the tool found the port: RX white, TX from the data register.
    Show_Lamps();
    // Not moved: a dialog with a parent is centred on it when shown.
}

void TDebug_Tool_Form::Create_Components() {
    tx_group_ = new QGroupBox(QStringLiteral("TX Control"), this);
    tx_group_->setObjectName(QStringLiteral("TX_Control_GroupBox"));
    tx_group_->setGeometry(24, 24, 145, 105);

    using F = TDebug_Tool_Form;
    const struct {
        QPushButton*& button;
        QWidget* parent;
        const char* name;
        const char* caption;
        QRect geometry;
        void (F::*handler)();
    } buttons[] = {
        {on_button_, tx_group_, "IR_LED_ON_Button", "IR LED ON", {24, 24, 97, 25}, &F::IR_LED_ON_ButtonClick},
        {off_button_, tx_group_, "IR_LED_OFF_Button", "IR LED OFF", {24, 64, 97, 25}, &F::IR_LED_OFF_ButtonClick},
        {cancel_button_, this, "Cancel_Button", "Cancel", {128, 152, 105, 33}, &F::Cancel_ButtonClick},
    };
    for (const auto& b : buttons) {
        b.button = new QPushButton(QString::fromLatin1(b.caption), b.parent);
        b.button->setObjectName(QString::fromLatin1(b.name));
        b.button->setGeometry(b.geometry);
        connect(b.button, &QPushButton::clicked, this, b.handler);
    }

    status_group_ = new QGroupBox(QStringLiteral("Status"), this);
    status_group_->setObjectName(QStringLiteral("Status_GroupBox"));
    status_group_->setGeometry(192, 24, 137, 105);

    const struct {
        TLamp*& lamp;
        const char* lamp_name;
        const char* label_name;
        const char* caption;
        int lamp_top;
        int label_top;
    } lamps[] = {
        {tx_lamp_, "TX_LED_Shape", "TX_LED_Label", "TX LED", 27, 29},
        {rx_lamp_, "RX_LED_Shape", "RX_LED_Label", "RX LED", 68, 70},
    };
    for (const auto& l : lamps) {
        l.lamp = new TLamp(status_group_);
        l.lamp->setObjectName(QString::fromLatin1(l.lamp_name));
        l.lamp->setGeometry(16, l.lamp_top, 17, 17);
        auto* label = new QLabel(QString::fromLatin1(l.caption), status_group_);
        label->setObjectName(QString::fromLatin1(l.label_name));
        label->move(48, l.label_top);
        label->adjustSize();
    }

    port_label_ = new QLabel(QString::fromStdString(tool_.Port_Caption()), this);
    port_label_->setObjectName(QStringLiteral("Port_Label"));
    port_label_->setGeometry(Port_Label_Geometry);
    port_label_->setWordWrap(true);
    port_label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    port_label_->setToolTip(port_label_->text());
}

void TDebug_Tool_Form::Show_Lamps() {
    tx_lamp_->Set_Brush_Color(From_BGR(tool_.TX_LED_Color()));
    rx_lamp_->Set_Brush_Color(From_BGR(tool_.RX_LED_Color()));
}

void TDebug_Tool_Form::Debug_TimerTimer() {
    tool_.Debug_TimerTimer();
    Show_Lamps();
}

void TDebug_Tool_Form::IR_LED_ON_ButtonClick() {
    tool_.IR_LED_ON_ButtonClick();
    Show_Lamps();
}

void TDebug_Tool_Form::IR_LED_OFF_ButtonClick() {
    tool_.IR_LED_OFF_ButtonClick();
    Show_Lamps();
}

void TDebug_Tool_Form::Cancel_ButtonClick() {
    timer_->stop();
    close();
}

}  // namespace qev
