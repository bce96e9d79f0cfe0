// Sending the Sample buffer through a port that takes whole signals (a
// kernel IR device): the carrier it goes out with, and one report of a port
// that cannot send.
#ifndef QEV_APP_CORE_SIGNAL_SENDING_H
#define QEV_APP_CORE_SIGNAL_SENDING_H

#include "app/settings/settings.h"
#include "base/user_feedback.h"
#include "irport/port_library.h"
#include "store/command_table.h"

#include <cstdint>

namespace qev {

// The carrier (Hz) of the buffer's first Sample count samples: CARRIER when
// set, else the usual carrier of the protocol the samples decode to (RC5 and
// RC6 36 kHz, Kaseikyo 37 kHz, SIRC and Pioneer 40 kHz, RCA 56 kHz), else
// 38 kHz.
int32_t Signal_Carrier_Hz(const TSettings& settings, const TSample_Buffer& samples);

class TSignal_Sender {
public:
    // Sends the buffer's samples `times` times back to back as durations,
    // with the carrier of Signal_Carrier_Hz. A port that cannot send (a
    // receiver alone) or that fails says why once per run: every key would
    // say the same again.
    void Send(const TPort_Library& port, const TSettings& settings, const TSample_Buffer& samples, int32_t times,
              TUser_Feedback& feedback);

private:
    bool trouble_shown_ = false;
};

}  // namespace qev

#endif
