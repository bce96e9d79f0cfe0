#ifndef QEV_BENCH_KERNEL_IR_BENCH_H
#define QEV_BENCH_KERNEL_IR_BENCH_H

namespace qev::bench {

// Prints how far a send and a capture through a looping-back kernel IR
// device (rc-loopback, IO_LIRC_DEVICE) come from what was sent, `rounds`
// times each for NEC, RC5, RC6 and SIRC; 0 when every round came back.
int Run_Kernel_Ir(int rounds);

}  // namespace qev::bench

#endif
