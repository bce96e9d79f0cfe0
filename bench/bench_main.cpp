// qev_bench: how fast and how exactly the port engine works.
//
//   qev_bench            all measurements
//   qev_bench tick       the sample clock (transmitter vs bare busy-wait)
//   qev_bench gap        the idle time between repetitions of one send
//   qev_bench receiver   start detection of the receiver
//   qev_bench kernel-ir  send and capture through a kernel IR device that
//                        loops back (rc-loopback at IO_LIRC_DEVICE, default
//                        /dev/lirc0; IO_BACKEND=simlirc: the simulated one):
//                        scripts/test-kernel-ir build/bin/qev_bench kernel-ir
//                        runs it on Debian's kernel. Never part of "all".
//   qev_bench read       qev-ir reading a 1 MB Flipper file and a 150 kB
//                        lircd.conf, beside cat of the same bytes (the
//                        median of --rounds=N runs, default 21; --dir=DIR
//                        keeps the generated files there). Never part of
//                        "all".
//   qev_bench listen     listening through the simulated IR device: the
//                        share of frames from remotes 5 % slow and fast
//                        named right, the latency to the hand-over, the
//                        CPU of 60 s of idle listening, and how long a send
//                        waits to take the receiver (--rounds=N frames,
//                        default 200). Never part of "all".
//   qev_bench --quick    fewer rounds and sends, and a 2 s long run
//   qev_bench --rounds=N N rounds of short runs (default 200; kernel-ir: 20)
//   qev_bench --random-phase  short runs start wherever they happen to (for
//                        comparison: their tails then differ by luck)
//
// Names may be combined (qev_bench tick gap). Run as root (or with
// CAP_SYS_NICE) to measure at the raised priority the program uses; the
// simulated port is forced (the kernel IR device for kernel-ir alone).
#include "bench/code_file_read.h"
#include "bench/kernel_ir_bench.h"
#include "bench/listen_bench.h"
#include "bench/receiver_latency.h"
#include "bench/repeat_gap.h"
#include "bench/tick_accuracy.h"

#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Whether this process may switch a thread to SCHED_FIFO, as sending and
// learning do (root, or CAP_SYS_NICE): without it every figure below is at
// normal priority.
void Report_Priority() {
    sched_param saved{};
    const int policy = sched_getscheduler(0);
    sched_getparam(0, &saved);
    sched_param fifo{};
    fifo.sched_priority = 1;
    if (sched_setscheduler(0, SCHED_FIFO, &fifo) == 0) {
        sched_setscheduler(0, policy, &saved);
        std::printf("priority: SCHED_FIFO granted (uid %u)\n\n", static_cast<unsigned>(getuid()));
    } else {
        std::printf("priority: SCHED_FIFO refused (uid %u, %s): normal priority\n\n", static_cast<unsigned>(getuid()),
                    std::strerror(errno));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    Report_Priority();
    bool tick = false, gap = false, receiver = false, kernel_ir = false, read = false, listen = false, quick = false,
         random_phase = false;
    std::string directory;
    int rounds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "tick") tick = true;
        if (arg == "gap") gap = true;
        if (arg == "receiver") receiver = true;
        if (arg == "kernel-ir") kernel_ir = true;
        if (arg == "read") read = true;
        if (arg == "listen") listen = true;
        if (arg == "--quick") quick = true;
        if (arg == "--random-phase") random_phase = true;
        if (arg.rfind("--rounds=", 0) == 0) rounds = std::atoi(arg.c_str() + 9);
        if (arg.rfind("--dir=", 0) == 0) directory = arg.substr(6);
    }
    if ((kernel_ir || listen) && (tick || gap || receiver || (kernel_ir && listen))) {
        std::fprintf(stderr,
                     "qev_bench: kernel-ir and listen run without tick, gap and receiver (they need an IR "
                     "device, the others the simulated port)\n");
        return EXIT_FAILURE;
    }
    if (!tick && !gap && !receiver && !kernel_ir && !read && !listen) tick = gap = receiver = true;
    if (listen) {
        setenv("IO_BACKEND", "simlirc", 1);
        setenv("IO_SIM_REMOTE", "off", 1);
    } else if (kernel_ir) {
        const char* backend = std::getenv("IO_BACKEND");
        if (backend == nullptr || std::string(backend) != "simlirc") setenv("IO_BACKEND", "lirc", 1);
        setenv("IO_SIM_REMOTE", "off", 1);
    } else {
        setenv("IO_BACKEND", "sim", 1);
        setenv("IO_SIM_REMOTE", "off", 1);
    }
    const auto start = std::chrono::steady_clock::now();
    int failures = 0;
    if (tick) {
        qev::bench::TTick_Options options;
        if (quick) {
            options.Rounds = 10;
            options.Long_Samples = 16'000;
        }
        if (rounds > 0) options.Rounds = rounds;
        options.Common_Phase = !random_phase;
        failures += qev::bench::Run_Tick_Accuracy(options) != 0;
    }
    if (gap) {
        qev::bench::TGap_Options options;
        if (quick) {
            options.Sends = 5;
            options.Long_Repeat = 5;
        }
        failures += qev::bench::Run_Repeat_Gap(options) != 0;
    }
    if (receiver) failures += qev::bench::Run_Receiver_Latency(quick ? 10 : 40) != 0;
    if (kernel_ir) failures += qev::bench::Run_Kernel_Ir(rounds > 0 ? rounds : quick ? 3 : 20) != 0;
    if (read) {
        qev::bench::TRead_Options options;
        if (quick) options.Rounds = 5;
        if (rounds > 0) options.Rounds = rounds;
        options.Directory = directory;
        failures += qev::bench::Run_Code_File_Read(options) != 0;
    }
    if (listen) {
        qev::bench::TListen_Options options;
        if (quick) {
            options.Frames = 20;
            options.Idle_Seconds = 5;
        }
        if (rounds > 0) options.Frames = rounds;
        failures += qev::bench::Run_Listen(options) != 0;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("\nqev_bench took %.1f s\n", took.count());
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
