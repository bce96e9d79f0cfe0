#include "irport/transmitter.h"

namespace qev {

void Transmit_Samples(TSample_Clock& clock, const TPort_Library& port, unsigned base, const int32_t* samples,
                      int32_t count) {
    const auto port_out = port.Functions().PortOut;
    if (!port_out) return;
    const auto data = static_cast<unsigned short>(base + Data_Register);
    TRaised_Priority raised(clock);
    clock.Start_Tick();
    for (int32_t i = 0; i < count; ++i) {
        port_out(data, samples[i] != 0 ? Data_LED_On : Data_LED_Off);
        clock.Wait_Tick();
    }
}

}  // namespace qev
