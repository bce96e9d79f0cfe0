// The simulated port's controls (IoSim* of libio.so), looked up in a loaded
// port library. Tests and benchmarks use them to read what the transmitter
// wrote and to drive the simulated remote; the program itself never does.
// Every pointer is null when the library is not the simulated port's.
#ifndef QEV_HARNESS_SIM_PORT_CONTROLS_H
#define QEV_HARNESS_SIM_PORT_CONTROLS_H

#include "io/io_api.h"
#include "irport/port_library.h"

#include <cstdint>
#include <vector>

namespace qev {

struct TSim_Tx_Write {
    long long Time_Ns;
    unsigned short Port;
    unsigned char Value;
};

struct TSim_Port_Controls {
    decltype(&IoSimReset) Reset = nullptr;
    decltype(&IoSimTxCount) Tx_Count = nullptr;
    decltype(&IoSimTxEntry) Tx_Entry = nullptr;
    decltype(&IoSimTxClear) Tx_Clear = nullptr;
    decltype(&IoSimRemoteSetAuto) Remote_Set_Auto = nullptr;
    decltype(&IoSimRemoteSetDelayNs) Remote_Set_Delay_Ns = nullptr;
    decltype(&IoSimRemoteTrigger) Remote_Trigger = nullptr;
    decltype(&IoSimRemoteStartNs) Remote_Start_Ns = nullptr;
    decltype(&IoSimRemoteSetNec) Remote_Set_Nec = nullptr;
    decltype(&IoSimRemoteSetSamples) Remote_Set_Samples = nullptr;

    explicit TSim_Port_Controls(const TPort_Library& port) {
        Resolve(port, "IoSimReset", Reset);
        Resolve(port, "IoSimTxCount", Tx_Count);
        Resolve(port, "IoSimTxEntry", Tx_Entry);
        Resolve(port, "IoSimTxClear", Tx_Clear);
        Resolve(port, "IoSimRemoteSetAuto", Remote_Set_Auto);
        Resolve(port, "IoSimRemoteSetDelayNs", Remote_Set_Delay_Ns);
        Resolve(port, "IoSimRemoteTrigger", Remote_Trigger);
        Resolve(port, "IoSimRemoteStartNs", Remote_Start_Ns);
        Resolve(port, "IoSimRemoteSetNec", Remote_Set_Nec);
        Resolve(port, "IoSimRemoteSetSamples", Remote_Set_Samples);
    }

    bool Available() const { return Tx_Count && Tx_Entry && Tx_Clear; }

    // Whether a capture of the remote's last signal saw it as it was played,
    // give or take `ticks` samples: its start seen within half a tick of the
    // remote's start (counter units are nanoseconds of CLOCK_MONOTONIC, as
    // the remote's) and no sample more than `ticks` ticks late, so no edge
    // moved by more than that many samples. A busy host (or a busy
    // hypervisor under the virtual machine) that held the capture up longer
    // squeezed the waveform; such a capture says nothing about the program.
    bool Capture_Was_On_Time(int64_t start_counter, int64_t max_lateness, int64_t tick_period,
                             int64_t ticks = 1) const {
        if (max_lateness > ticks * tick_period || !Remote_Start_Ns) return false;
        const long long start = Remote_Start_Ns();
        return start >= 0 && start_counter - start <= tick_period / 2;
    }

    // Every data-register write still held in the log, oldest first.
    std::vector<TSim_Tx_Write> Writes() const {
        std::vector<TSim_Tx_Write> writes;
        if (!Available()) return writes;
        const long long count = Tx_Count();
        writes.reserve(static_cast<std::size_t>(count));
        for (long long i = 0; i < count; ++i) {
            TSim_Tx_Write w{};
            if (Tx_Entry(i, &w.Time_Ns, &w.Port, &w.Value)) writes.push_back(w);
        }
        return writes;
    }

private:
    template <typename F>
    static void Resolve(const TPort_Library& port, const char* name, F& slot) {
        slot = reinterpret_cast<F>(port.Resolve(name));
    }
};

}  // namespace qev

#endif
