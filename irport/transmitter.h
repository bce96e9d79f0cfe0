// The IR transmitter: plays samples out on data line 0, one per tick.
#ifndef QEV_IRPORT_TRANSMITTER_H
#define QEV_IRPORT_TRANSMITTER_H

#include "irport/port_library.h"
#include "irport/sample_clock.h"

#include <cstdint>

namespace qev {

// Sends samples[0 .. count-1] once: raise priority, wait half a tick, then
// for each sample write 0xFF (non-zero sample: LED on) or 0xFE (LED off) to
// the data register at `base` and wait one tick; restore priority. Sample i
// goes out at t0 + T/2 + i*T. Nothing is written after the last sample, so
// the LED keeps its level. Without a PortOut function nothing is sent.
// Called inside a raised section of the clock (a TRaised_Priority held by
// the caller) it leaves the priority alone: calls back to back then put
// exactly 1.5 ticks between the last sample of one and the first of the next.
void Transmit_Samples(TSample_Clock& clock, const TPort_Library& port, unsigned base, const int32_t* samples,
                      int32_t count);

}  // namespace qev

#endif
