// TDebug_Tool_Form: checks the wiring of the IR LED and the receiver by hand.
//
// "IR LED ON" and "IR LED OFF" switch the LED line (0xFF and 0x00 on the data
// register); the TX lamp shows the LED line, red while on, from the data
// register as the dialog opens and from the buttons afterwards. The RX lamp
// shows the receiver line, yellow while it sees infrared; it starts white and
// is refreshed ten times a second by Debug_Timer, which runs from construction
// until Cancel or the dialog's destruction. Whatever the buttons wrote stays
// on the port after the dialog closes. Port_Label, under Cancel, names the
// port in use ("Port: simulated port (/dev/parport0: Permission denied)"),
// so a dark LED on the simulated port explains itself; a text too long for
// two lines shows whole in its tooltip.
#ifndef QEV_DIALOGS_UI_DEBUG_TOOL_FORM_H
#define QEV_DIALOGS_UI_DEBUG_TOOL_FORM_H

#include "app/core/qev_state.h"
#include "dialogs/core/debug_tool.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace qev {

class TLamp;

class TDebug_Tool_Form : public QDialog {
    Q_OBJECT

public:
    static constexpr int Form_Width = 362;
    static constexpr int Form_Height = 235;
    static constexpr int Timer_Interval_Ms = 100;
    // Under Cancel, across the dialog: room for two lines of the port's name.
    static constexpr QRect Port_Label_Geometry{24, 194, 314, 32};

    TDebug_Tool_Form(qev::TQEV_State& state, QWidget* parent);

    void Debug_TimerTimer();
    void IR_LED_ON_ButtonClick();
    void IR_LED_OFF_ButtonClick();
    void Cancel_ButtonClick();

private:
    void Create_Components();
    void Show_Lamps();

    qev::TDebug_Tool tool_;
    QGroupBox* tx_group_ = nullptr;
    QGroupBox* status_group_ = nullptr;
    QPushButton* on_button_ = nullptr;
    QPushButton* off_button_ = nullptr;
    QPushButton* cancel_button_ = nullptr;
    TLamp* tx_lamp_ = nullptr;
    TLamp* rx_lamp_ = nullptr;
    QLabel* port_label_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace qev

#endif
