// What the debug tool dialog does without a window: it switches the LED line
// by hand and tells the colour of its two lamps, the LED line's and the
// receiver line's, from the port's registers at the base in use; and it names
// the port the program uses, so a dark LED on a simulated port is explained.
//
// Colours are kept as 0x00BBGGRR values (red in the lowest byte), the layout
// the lamps' colours were chosen in: red 0x0000FF, yellow 0x00FFFF, white
// 0xFFFFFF.
#ifndef QEV_DIALOGS_CORE_DEBUG_TOOL_H
#define QEV_DIALOGS_CORE_DEBUG_TOOL_H

#include "app/core/qev_state.h"

#include <cstdint>
#include <string>

namespace qev {

constexpr uint32_t Lamp_Red = 0x0000FF;     // the LED line is on
constexpr uint32_t Lamp_Yellow = 0x00FFFF;  // the receiver line is active
constexpr uint32_t Lamp_White = 0xFFFFFF;   // off or idle

constexpr uint8_t Data_LED_Line_Bit = 0x01;  // data line 0 drives the LED
constexpr uint8_t Data_All_Lines_Low = 0x00;

class TDebug_Tool {
public:
    // The receiver lamp starts white, whatever the line does, until the first
    // refresh; the LED lamp starts from the data register as the last
    // transmission, button or port preparation left it (bit 0 set: red).
    explicit TDebug_Tool(TQEV_State& state);

    uint32_t TX_LED_Color() const { return tx_led_color_; }
    uint32_t RX_LED_Color() const { return rx_led_color_; }
    // "Port: " and where the port is, as the port library describes it when
    // the dialog opens ("Port: simulated port (/dev/parport0: Permission
    // denied)"), or "Port: none (the port library is not loaded)".
    const std::string& Port_Caption() const { return port_caption_; }

    // Refreshes the receiver lamp from status bit 0x10 (set: yellow). The LED
    // lamp is left alone.
    void Debug_TimerTimer();
    // Writes 0xFF to the data register (LED on, every line high): red.
    void IR_LED_ON_ButtonClick();
    // Writes 0x00 (every line low, not the idle 0xFE): white.
    void IR_LED_OFF_ButtonClick();

private:
    TQEV_State& state_;
    // The receiver is the dialog's while it is open: listening pauses.
    TListener::TPause listening_paused_{state_.Listener};
    uint32_t tx_led_color_ = Lamp_White;
    uint32_t rx_led_color_ = Lamp_White;
    std::string port_caption_;
};

}  // namespace qev

#endif
