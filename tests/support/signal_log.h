// Reading the simulated kernel IR device's send log (IO_SIM_TXLOG):
// one signal a line, "<ns> <carrier Hz> <us> <us> ...".
#ifndef QEV_TESTS_SUPPORT_SIGNAL_LOG_H
#define QEV_TESTS_SUPPORT_SIGNAL_LOG_H

#include <cstdint>
#include <string>
#include <vector>

namespace qev::test {

struct TLogged_Signal {
    unsigned Carrier_Hz = 0;
    std::vector<uint32_t> Durations;  // mark, space, mark, ... in microseconds
};

// The signals logged in the file at `path`, in order; none when it is missing.
std::vector<TLogged_Signal> Read_Signal_Log(const std::string& path);

}  // namespace qev::test

#endif  // QEV_TESTS_SUPPORT_SIGNAL_LOG_H
