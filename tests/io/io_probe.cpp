// io_probe: loads libio.so the way the program does (dlopen, dlsym by name)
// and reports what it finds as key=value lines on stdout: the backend, the
// port's description and fallback reason, then what the mode asks for. The
// tests run it with a chosen environment, because the library picks its
// backend when it is loaded.
//
//   io_probe LIBRARY info             backend, driver state, IoSim* answers,
//                                     the signal functions' answers
//   io_probe LIBRARY io               info, then writes and reads base 0x378
//   io_probe LIBRARY write N          N data writes to 0x378, then exit
//   io_probe LIBRARY write-dlclose N  N data writes, dlclose, then count the
//                                     lines of $IO_SIM_TXLOG
#include "io/io_api.h"

#include <dlfcn.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void* g_library = nullptr;
int g_missing = 0;

// The header gives each function's type (decltype does not reference the
// symbol, so the probe does not link against the library).
template <typename F>
F resolve(const char* name) {
    void* address = dlsym(g_library, name);
    if (address == nullptr) {
        std::printf("missing=%s\n", name);
        ++g_missing;
    }
    return reinterpret_cast<F>(address);
}
#define RESOLVE(name) resolve<decltype(&(name))>(#name)

long count_lines(const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return -1;
    long lines = 0;
    for (int c; (c = std::fgetc(file)) != EOF;) lines += (c == '\n');
    std::fclose(file);
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LIBRARY info|io|write N|write-dlclose N\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[2];
    g_library = dlopen(argv[1], RTLD_NOW);
    if (g_library == nullptr) {
        std::printf("dlopen_error=%s\n", dlerror());
        return 3;
    }

    auto port_out = RESOLVE(PortOut);
    auto port_word_out = RESOLVE(PortWordOut);
    auto port_dword_out = RESOLVE(PortDWordOut);
    auto port_in = RESOLVE(PortIn);
    auto port_word_in = RESOLVE(PortWordIn);
    auto port_dword_in = RESOLVE(PortDWordIn);
    auto set_bit = RESOLVE(SetPortBit);
    auto clr_bit = RESOLVE(ClrPortBit);
    auto not_bit = RESOLVE(NotPortBit);
    auto get_bit = RESOLVE(GetPortBit);
    auto right_shift = RESOLVE(RightPortShift);
    auto left_shift = RESOLVE(LeftPortShift);
    auto installed = RESOLVE(IsDriverInstalled);
    auto backend = RESOLVE(IoBackendName);
    auto description = RESOLVE(IoPortDescription);
    auto fallback_reason = RESOLVE(IoFallbackReason);
    auto tx_count = RESOLVE(IoSimTxCount);
    auto tx_entry = RESOLVE(IoSimTxEntry);
    auto remote_start = RESOLVE(IoSimRemoteStartNs);
    auto remote_duration = RESOLVE(IoSimRemoteDurationNs);
    auto remote_set_nec = RESOLVE(IoSimRemoteSetNec);
    auto remote_set_file = RESOLVE(IoSimRemoteSetFile);
    auto peek = RESOLVE(IoSimPeek);
    RESOLVE(IoSimReset);
    RESOLVE(IoSimTxClear);
    RESOLVE(IoSimRemoteSetSamples);
    RESOLVE(IoSimRemoteOff);
    RESOLVE(IoSimRemoteSetDelayNs);
    RESOLVE(IoSimRemoteSetAuto);
    RESOLVE(IoSimSetLoopback);
    auto trigger = RESOLVE(IoSimRemoteTrigger);
    auto tx_flush = RESOLVE(IoSimTxFlush);
    auto signal_count = RESOLVE(IoSimSignalCount);
    RESOLVE(IoSimSignalEntry);
    RESOLVE(IoSimSignalClear);
    RESOLVE(IoSimSignalWaiting);
    RESOLVE(IoSimSignalSetFeatures);
    auto signal_features = RESOLVE(IoSignalFeatures);
    auto signal_send = RESOLVE(IoSignalSend);
    RESOLVE(IoSignalReceive);
    auto signal_error = RESOLVE(IoSignalError);
    auto signal_cancel = RESOLVE(IoSignalCancel);
    std::printf("missing_count=%d\n", g_missing);
    if (g_missing != 0) return 4;

    std::printf("backend=%s\n", backend());
    std::printf("description=%s\n", description());
    std::printf("fallback_reason=%s\n", fallback_reason());
    std::printf("installed=%d\n", installed());

    if (mode == "info" || mode == "io") {
        // The IoSim* controls on whatever backend was chosen.
        std::printf("sim_tx_count=%lld\n", tx_count());
        std::printf("sim_tx_entry0=%d\n", tx_entry(0, nullptr, nullptr, nullptr));
        std::printf("sim_remote_start=%lld\n", remote_start());
        std::printf("sim_remote_duration=%lld\n", remote_duration());
        std::printf("sim_set_nec=%d\n", remote_set_nec(1, 2, 1));
        std::printf("sim_set_file=%d\n", remote_set_file("/nonexistent.rmt", nullptr));
        std::printf("sim_peek_control=%d\n", peek(0x37A));
        trigger();
        tx_flush();
        std::printf("sim_remote_start_after_trigger=%lld\n", remote_start());

        // A short signal: mark, space, mark.
        const unsigned durations[] = {600, 500, 700};
        std::printf("signal_features=%d\n", signal_features());
        std::printf("signal_cancel=%d\n", signal_cancel());
        std::printf("signal_send=%d\n", signal_send(durations, 3, 38000));
        std::printf("signal_error=%s\n", signal_error());
        std::printf("sim_signal_count=%lld\n", signal_count());
    }
    if (mode == "io") {
        port_out(0x378, 0x5A);
        port_word_out(0x278, 0x1234);
        port_dword_out(0x3BC, 0x01020304);
        set_bit(0x378, 7);
        clr_bit(0x378, 1);
        not_bit(0x378, 0);
        right_shift(0x378, 1);
        left_shift(0x378, 0);
        std::printf("in_data=%02X\n", port_in(0x378));
        std::printf("in_status=%02X\n", port_in(0x379));
        std::printf("in_control=%02X\n", port_in(0x37A));
        std::printf("in_unused=%02X\n", port_in(0x37B));
        std::printf("word_in=%04X\n", port_word_in(0x378));
        std::printf("dword_in=%08X\n", port_dword_in(0x378));
        std::printf("get_bit=%d\n", get_bit(0x378, 0));
    } else if (mode == "write" || mode == "write-dlclose") {
        const long n = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 0;
        for (long i = 0; i < n; ++i) port_out(0x378, static_cast<unsigned char>(i & 0xFF));
        std::printf("written=%ld\n", n);
        if (mode == "write-dlclose") {
            std::printf("dlclose=%d\n", dlclose(g_library));
            const char* path = std::getenv("IO_SIM_TXLOG");
            std::printf("lines_after_dlclose=%ld\n", path != nullptr ? count_lines(path) : -1);
        }
    } else if (mode != "info") {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }
    std::fflush(stdout);
    return 0;
}
