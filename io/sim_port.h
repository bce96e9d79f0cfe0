// The simulated parallel port: controls behind the IoSim* functions.
// The port functions themselves reach it through backend.h (sim_in, sim_out).
//
// Registers are kept per 4-port block for every base: data (power-on 0x00,
// reads back the last value written), status (read-only: bit 0x10 from the
// simulated remote, and from data bit 0 with loopback on; other bits 0),
// control (power-on 0x2C, reads back), offset 3 (reads 0xFF).
//
// The remote plays its waveform once per polling burst of status reads (see
// io_api.h) or when triggered, starting the configured delay later. A trigger
// while a signal is still pending moves its start; a signal that starts while
// another plays cuts it short.
#ifndef QEV_IO_SIM_PORT_H
#define QEV_IO_SIM_PORT_H

#include <cstdint>
#include <string>

#include "io/sim_remote.h"
#include "io/tx_log.h"

namespace qev::io::sim {

// Power-on state, and the configuration re-read from the environment.
void reset();

unsigned char peek(unsigned short port);

TxLog& tx_log();

// Replaces the remote's waveform; any pending or playing signal is dropped.
void set_waveform(Waveform waveform);
void set_delay_ns(std::int64_t delay_ns);
void set_auto(bool on);
void trigger();
std::int64_t last_start_ns();
std::int64_t duration_ns();
void set_loopback(bool on);

}  // namespace qev::io::sim

#endif
