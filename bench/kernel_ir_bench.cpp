// How exactly the program's send and capture come back through a kernel IR
// device that loops back (Linux's rc-loopback; scripts/test-kernel-ir runs
// this on Debian's kernel under QEMU): for each of the NEC, RC5, RC6 and
// SIRC codes,
//   send:  Send_Command with REPEAT 2 while another thread receives through
//          the port library; the largest difference between a looped-back
//          duration and the same duration of the command (Signal_Of_Samples
//          of its row);
//   learn: Receive_Command on one thread while another sends the row once;
//          the largest difference between an edge of the learned samples
//          and the same edge of the row's samples.
#include "bench/kernel_ir_bench.h"

#include "harness/kernel_ir_loopback.h"
#include "ir/decoder.h"
#include "ir/sampling.h"

#include <sys/utsname.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qev::bench {

namespace {

struct TFigures {
    int Sends = 0;                   // rounds whose send came back whole
    int64_t Send_Largest_us = 0;     // over those
    std::size_t Durations = 0;       // of one send
    int Learns = 0;                  // captures that learned the samples with the same edges
    int Decoded = 0;                 // ...and decoded to the code sent
    int64_t Learn_Largest_Edge = 0;  // samples, over those
    std::size_t Edges = 0;           // of the row
    int Resends = 0;                 // sends a capture missed
    std::string First_Failure;
};

void Note_Failure(TFigures& figures, const std::string& what) {
    if (figures.First_Failure.empty()) figures.First_Failure = what;
}

}  // namespace

int Run_Kernel_Ir(int rounds) {
    const auto start = std::chrono::steady_clock::now();
    TLoopback_Program program, sender;
    if (!program.Problem.empty() || !sender.Problem.empty()) {
        std::fprintf(stderr, "kernel-ir: %s\n", (program.Problem.empty() ? sender.Problem : program.Problem).c_str());
        return 2;
    }
    utsname system{};
    ::uname(&system);
    std::printf("\nKernel IR device: %s, backend %s, kernel %s %s; %d rounds a protocol\n\n",
                program.State.Port.Port_Description().c_str(), program.Backend().c_str(), system.sysname,
                system.release, rounds);
    std::printf("| %-5s | %-8s | %-10s | %-11s | %-13s | %-10s | %-5s | %-17s | %-8s | %-7s |\n", "code", "carrier",
                "sends back", "durations", "largest (us)", "learned", "edges", "largest (samples)", "decoded",
                "resends");
    std::printf(
        "|-------|----------|------------|-------------|---------------|------------|-------|"
        "-------------------|----------|---------|\n");
    bool all = true;
    int64_t send_largest = 0, learn_largest = 0;
    const std::span<const TLoopback_Code> codes = Loopback_Codes();
    for (std::size_t row = 0; row < codes.size(); ++row) {
        const TLoopback_Code& code = codes[row];
        TFigures figures;
        const auto index = static_cast<int32_t>(row);
        for (int round = 0; round < rounds; ++round) {
            const TLooped_Send send = Send_Looped_Back(program, index, 2);
            const int64_t largest = Largest_Difference(send.Received, send.Sent);
            figures.Durations = send.Sent.size();
            if (send.Error.empty() && largest >= 0) {
                ++figures.Sends;
                figures.Send_Largest_us = std::max(figures.Send_Largest_us, largest);
            } else {
                Note_Failure(figures, send.Error.empty()
                                          ? "a send came back with " + std::to_string(send.Received.size()) + " of " +
                                                std::to_string(send.Sent.size()) + " durations"
                                          : send.Error);
            }

            const TLooped_Learn learn = Learn_Looped_Back(program, sender, index);
            figures.Resends += std::max(learn.Sends - 1, 0);
            const std::vector<int32_t> sent = Edges_Of(learn.Sent), learned = Edges_Of(learn.Learned);
            const int64_t edge = Largest_Difference(learned, sent);
            figures.Edges = sent.size();
            if (!learn.Error.empty() || edge < 0) {
                Note_Failure(figures, learn.Error.empty() ? "a capture learned " + std::to_string(learned.size()) +
                                                                " of " + std::to_string(sent.size()) + " edges"
                                                          : learn.Error);
                continue;
            }
            ++figures.Learns;
            figures.Learn_Largest_Edge = std::max(figures.Learn_Largest_Edge, edge);
            TLevels levels(learn.Learned.size());
            for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = learn.Learned[i] != 0 ? 1 : 0;
            const std::optional<TDecoded> decoded = Decode_Levels(levels);
            if (decoded && decoded->Code == code.Code) ++figures.Decoded;
        }
        program.State.Unpack_Command(index);
        const std::string carrier =
            std::to_string(Signal_Carrier_Hz(program.State.Settings, program.State.Samples)) + " Hz";
        const auto of = [rounds](int count) { return std::to_string(count) + " of " + std::to_string(rounds); };
        std::printf("| %-5s | %-8s | %10s | %11zu | %13lld | %10s | %5zu | %17lld | %8s | %7d |\n", code.Name,
                    carrier.c_str(), of(figures.Sends).c_str(), figures.Durations,
                    static_cast<long long>(figures.Send_Largest_us), of(figures.Learns).c_str(), figures.Edges,
                    static_cast<long long>(figures.Learn_Largest_Edge), of(figures.Decoded).c_str(), figures.Resends);
        if (!figures.First_Failure.empty())
            std::printf("  %s: first failure: %s\n", code.Name, figures.First_Failure.c_str());
        all = all && figures.Sends == rounds && figures.Learns == rounds && figures.Decoded == rounds;
        send_largest = std::max(send_largest, figures.Send_Largest_us);
        learn_largest = std::max(learn_largest, figures.Learn_Largest_Edge);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf(
        "\ncarrier: the program's choice for the code (the send goes out with it); sends back: sends whose "
        "every duration came back; largest: the largest difference between a looped-back duration and the "
        "command's; learned: captures with the row's edges; largest (samples): the largest difference between "
        "a learned edge and the row's; decoded: captures that decode to the code sent; resends: sends a "
        "capture missed\n");
    std::printf("send: largest difference %lld us; learn: largest edge difference %lld samples (%lld us); %.1f s\n",
                static_cast<long long>(send_largest), static_cast<long long>(learn_largest),
                static_cast<long long>(learn_largest * 125), took.count());
    return all ? 0 : 1;
}

}  // namespace qev::bench
