// What the debug tool dialog does without a window: it switches the LED line
// by hand and tells the colour of its two lamps, the LED line's and the
// receiver line's, from the port's registers at the base in use.
//
// Colours are kept as 0x00BBGGRR values (red in the lowest byte), the layout
// the lamps' colours were chosen in: red 0x0000FF, yellow 0x00FFFF, white
// 0xFFFFFF.
#ifndef QEV_DEBUG_TOOL_H
#define QEV_DEBUG_TOOL_H

#include "app/core/qev_state.h"

#include <cstdint>

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

    // Refreshes the receiver lamp from status bit 0x10 (set: yellow). The LED
    // lamp is left alone.
    void Debug_TimerTimer();
    // Writes 0xFF to the data register (LED on, every line high): red.
    void IR_LED_ON_ButtonClick();
    // Writes 0x00 (every line low, not the idle 0xFE): white.
    void IR_LED_OFF_ButtonClick();

private:
    TQEV_State& state_;
    uint32_t tx_led_color_ = Lamp_White;
    uint32_t rx_led_color_ = Lamp_White;
};

}  // namespace qev

#endif
