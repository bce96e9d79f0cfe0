// The simulated devices' settings from the environment, shared by the
// simulated port (sim_port.cpp) and the simulated IR device (simlirc.cpp).
// Read at load time and by IoSimReset; a bad value gives one line on stderr
// and the default.
#ifndef QEV_IO_SIM_ENV_H
#define QEV_IO_SIM_ENV_H

#include "io/sim_remote.h"

#include <cstdint>
#include <string>

namespace qev::io {

// The simulated remote: IO_SIM_REMOTE (nec:ADDR:CMD, default nec:0x04:0x08;
// nec; PATH.rmt; PATH.rmt:NAME; off), IO_SIM_REMOTE_REPEATS (repeat frames
// after an NEC frame, default 1) and IO_SIM_REMOTE_DELAY_MS (default 50).
struct RemoteSettings {
    Waveform waveform;
    std::int64_t delay_ns = 0;
};
RemoteSettings remote_settings_from_env();

// Reads the row of a command file for the remote; false when the file cannot
// be opened or holds no such row (*why says which), the waveform untouched.
bool load_remote_row(const char* path, const std::string& name, Waveform* out, std::string* why);

// A yes/no variable: 1, yes, on, true or 0, no, off, false in any case;
// `fallback` when unset or anything else (with a line on stderr).
bool flag_from_env(const char* name, bool fallback);

// IO_SIM_TXLOG_CAPACITY: 1..max, `fallback` when unset or out of range.
std::uint64_t log_capacity_from_env(std::uint64_t fallback, std::uint64_t max);

}  // namespace qev::io

#endif
