#ifndef QEV_BENCH_REPEAT_GAP_H
#define QEV_BENCH_REPEAT_GAP_H

#include <cstdint>

namespace qev::bench {

struct TGap_Options {
    int Sends = 20;          // separate sends, each as one click of a key
    int Repeat = 3;          // REPEAT of those sends
    int Long_Repeat = 10;    // one more send this many times in a row (1.28 s)
    int32_t Samples = 1024;  // samples of the command
};

// Prints a table of the gap between the last write of one repetition and
// the first write of the next; returns 0 when every send was complete and the
// long send was not stalled by real-time throttling.
int Run_Repeat_Gap(const TGap_Options& options);

}  // namespace qev::bench

#endif
