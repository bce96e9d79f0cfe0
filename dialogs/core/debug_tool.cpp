#include "dialogs/core/debug_tool.h"

namespace qev {

TDebug_Tool::TDebug_Tool(TQEV_State& state) : state_(state) {
    rx_led_color_ = Lamp_White;
    const uint8_t data = state_.Port.Port_In(state_.Port_Base() + Data_Register);
    tx_led_color_ = (data & Data_LED_Line_Bit) != 0 ? Lamp_Red : Lamp_White;
    const std::string port = state_.Port.Port_Description();
    port_caption_ = "Port: " + (port.empty() ? std::string("none (the port library is not loaded)") : port);
}

void TDebug_Tool::Debug_TimerTimer() {
    const uint8_t status = state_.Port.Port_In(state_.Port_Base() + Status_Register);
    rx_led_color_ = (status & Receiver_Line_Bit) != 0 ? Lamp_Yellow : Lamp_White;
}

void TDebug_Tool::IR_LED_ON_ButtonClick() {
    state_.Port.Port_Out(state_.Port_Base() + Data_Register, Data_LED_On);
    tx_led_color_ = Lamp_Red;
}

void TDebug_Tool::IR_LED_OFF_ButtonClick() {
    state_.Port.Port_Out(state_.Port_Base() + Data_Register, Data_All_Lines_Low);
    tx_led_color_ = Lamp_White;
}

}  // namespace qev
