// Successive presses of an RC5, RC5X or RC6 command alternate its toggle bit,
// as presses of the remote's key do, so that the device takes two presses as
// two and not as one key held down (TOGGLE in the Settings).
#ifndef QEV_APP_CORE_PRESS_TOGGLE_H
#define QEV_APP_CORE_PRESS_TOGGLE_H

#include "store/command_table.h"

#include <cstdint>

namespace qev {

// Whether a send is a new press of a key or a repetition of the one before
// (a key held down: LIRC's SEND_START).
enum class TPress { New, Held };

class TPress_Toggle {
public:
    // Gives the frames in the buffer's first Sample count samples the toggle
    // of the next press (the first press as LIRC sends it), or of the press
    // before when the key is held. Other signals are left as they are and
    // count no press.
    void Apply(TSample_Buffer& samples, TPress press);

private:
    int64_t presses_ = 0;
};

}  // namespace qev

#endif
