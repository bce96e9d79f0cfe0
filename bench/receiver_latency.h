#ifndef QEV_BENCH_RECEIVER_LATENCY_H
#define QEV_BENCH_RECEIVER_LATENCY_H

namespace qev::bench {

// How soon the receiver sees the first edge of the simulated remote; prints a
// table and returns 0 when the median is within 1 us.
int Run_Receiver_Latency(int rounds);

}  // namespace qev::bench

#endif
