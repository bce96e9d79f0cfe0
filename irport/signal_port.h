// Sending and learning through a port that takes and gives whole signals: a
// kernel IR device (/dev/lircN) behind the port library's IoSignal*
// functions. The device times the signal itself, so nothing here spins or
// raises the priority; the program's waveform becomes durations of marks and
// spaces on the way out (one sample = 125 us) and durations become samples
// on the way in, on the same 8 kHz grid as the register path.
#ifndef QEV_IRPORT_SIGNAL_PORT_H
#define QEV_IRPORT_SIGNAL_PORT_H

#include "irport/counter.h"
#include "irport/port_library.h"
#include "irport/receiver.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qev {

// The durations (us, mark first, odd count) of `times` transmissions of
// samples[0 .. count-1] back to back, timed as the register transmitter
// times them: each sample lasts one tick (125 us), and the last sample of
// every transmission but the final one lasts one and a half (the gap of the
// register path, whose next transmission starts half a tick after the last
// sample's tick). The idle before the first mark and after the last one is
// left out: a device starts with a mark, and an LED that stays off needs no
// signal. Each edge lies on the whole microsecond nearest its absolute time.
// Empty when no sample is active or times < 1.
std::vector<uint32_t> Signal_Of_Samples(const int32_t* samples, int32_t count, int32_t times);

// Sends `times` transmissions of the samples through the port with the
// carrier `carrier_hz` (0: the device's own). Transmissions go out in
// writes of at most 0.45 s of signal (or one transmission, when longer); a request to end the program
// (base/stop_request.h) drops the writes after the one under way. true when
// everything went out (or nothing needed to); false, with the port's reason
// in *error, when the port refused.
bool Send_Signal_Samples(const TPort_Library& port, const int32_t* samples, int32_t count, int32_t times,
                         uint32_t carrier_hz, std::string* error);

// Learns one command through the port, as Receive_Samples does through the
// register port: waits up to the time limit (or until the program is asked
// to end) for a signal whose first mark covers the leader (positions 0 ..
// Min_Leader of the samples; a shorter one is a false start, and the wait
// goes on), then stores the requested length of samples from that mark on,
// 255 for infrared and 0 for none, the signal sampled on the 8 kHz grid and
// idle after its end. Never writes beyond `capacity` samples. A port that
// fails gives Port_Failed with its reason in the report's Error.
TReceive_Report Receive_Signal_Samples(TCounter& counter, const TPort_Library& port, const TReceive_Request& request,
                                       int32_t* buffer, int32_t capacity);

}  // namespace qev

#endif
