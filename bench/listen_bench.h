#ifndef QEV_BENCH_LISTEN_BENCH_H
#define QEV_BENCH_LISTEN_BENCH_H

namespace qev::bench {

struct TListen_Options {
    int Frames = 200;          // per protocol and clock (recognition), and for the latency
    double Idle_Seconds = 60;  // of listening with nothing arriving, for its CPU
};

// Listening through the simulated IR device (simlirc): how many frames sent
// by remotes 5 % slow and 5 % fast are named as the learned key, how long
// after a frame's end the listener hands it on, and the CPU it takes while
// nothing arrives. 0 when every frame was named right.
int Run_Listen(const TListen_Options& options);

}  // namespace qev::bench

#endif
