#ifndef QEV_BENCH_TICK_ACCURACY_H
#define QEV_BENCH_TICK_ACCURACY_H

#include <cstdint>

namespace qev::bench {

struct TTick_Options {
    int Rounds = 200;  // rounds of one transmission and one bare run each
    int32_t Short_Samples = 1024;
    int32_t Long_Samples = 80'000;  // 10 s
    bool Long_Bare = true;          // also run the bare loop for the long run
    bool Common_Phase = true;       // both runs of a round start at the same phase of the tick grid
};

// Prints a table; returns 0 when the sample clock meets its bars.
int Run_Tick_Accuracy(const TTick_Options& options);

}  // namespace qev::bench

#endif
