// qev_bench: how fast and how exactly the port engine works.
//
//   qev_bench            all measurements
//   qev_bench tick       the sample clock (transmitter vs bare busy-wait)
//   qev_bench receiver   start detection of the receiver
//   qev_bench --quick    fewer rounds and a 2 s long run
//   qev_bench --rounds=N N short runs of each kind (default 40)
//
// Run as root (or with CAP_SYS_NICE) to measure at the raised priority the
// program uses; the simulated port is forced.
#include "bench/receiver_latency.h"
#include "bench/tick_accuracy.h"

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char* argv[]) {
    setenv("IO_BACKEND", "sim", 1);
    setenv("IO_SIM_REMOTE", "off", 1);
    bool tick = true, receiver = true, quick = false;
    int rounds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "tick") receiver = false;
        if (arg == "receiver") tick = false;
        if (arg == "--quick") quick = true;
        if (arg.rfind("--rounds=", 0) == 0) rounds = std::atoi(arg.c_str() + 9);
    }
    int failures = 0;
    if (tick) {
        qev::bench::TTick_Options options;
        if (quick) {
            options.Rounds = 3;
            options.Long_Samples = 16'000;
        }
        if (rounds > 0) options.Rounds = rounds;
        failures += qev::bench::Run_Tick_Accuracy(options) != 0;
    }
    if (receiver) failures += qev::bench::Run_Receiver_Latency(quick ? 10 : 40) != 0;
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
