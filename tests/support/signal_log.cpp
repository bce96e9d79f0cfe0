#include "tests/support/signal_log.h"

#include "tests/support/temp_env.h"

#include <sstream>

namespace qev::test {

std::vector<TLogged_Signal> Read_Signal_Log(const std::string& path) {
    std::vector<TLogged_Signal> signals;
    std::istringstream lines(Read_File(path));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        long long time_ns = 0;
        TLogged_Signal signal;
        words >> time_ns >> signal.Carrier_Hz;
        for (uint32_t us = 0; words >> us;) signal.Durations.push_back(us);
        signals.push_back(signal);
    }
    return signals;
}

}  // namespace qev::test
