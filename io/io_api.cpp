// The thirteen port functions, the signal functions, and the choice of
// backend at load time.
//
// The backend is chosen once, by a constructor function that runs when the
// library is loaded (dlopen, or program start for a directly linked test), and
// released by a destructor function at dlclose or process exit:
//   IO_BACKEND unset  1. ppdev when IO_DEVICE (default /dev/parport0) opens
//                        and claims;
//                     2. otherwise lirc when IO_LIRC_DEVICE (default
//                        /dev/lirc0) opens and is a LIRC device that sends or
//                        receives pulses;
//                     3. otherwise sim.
//                     A device that exists but cannot be used is reported in
//                     one stderr line each, naming the backend taken instead,
//                     and IoFallbackReason keeps why. A missing device is the
//                     normal case on most machines and says nothing.
//   IO_BACKEND=sim|ppdev|direct|lirc|simlirc  that backend; when it cannot
//                     start the library reports why on stderr and runs as
//                     "none": reads give 0xFF, writes are ignored.
// IoPortDescription says where the port is, in words for people. Both texts
// are fixed at load; they live in plain arrays, which no exit-time destructor
// takes away while the library is still in use.
#include "base/text_case.h"
#include "io/backend.h"
#include "io/env_util.h"
#include "io/lirc_backend.h"
#include "io/simlirc.h"

#pragma GCC visibility push(default)
#include "io/io_api.h"
#pragma GCC visibility pop

#include <cstdarg>
#include <cstdio>
#include <exception>
#include <new>
#include <vector>

namespace qev::io {
namespace {

BackendKind g_backend = BackendKind::None;

const char* backend_name(BackendKind kind) {
    switch (kind) {
        case BackendKind::Sim:
            return "sim";
        case BackendKind::Ppdev:
            return "ppdev";
        case BackendKind::Direct:
            return "direct";
        case BackendKind::Lirc:
            return "lirc";
        case BackendKind::SimLirc:
            return "simlirc";
        case BackendKind::None:
            break;
    }
    return "none";
}

constexpr const char* kDefaultDevice = "/dev/parport0";
constexpr const char* kDefaultLircDevice = "/dev/lirc0";
constexpr const char* kSimLircName = "simulated IR device";

LircBackend* g_signal = nullptr;
SimLircDevice* g_simlirc = nullptr;

constexpr std::size_t kTextSize = 512;
char g_description[kTextSize] = "no port";
char g_fallback_reason[kTextSize] = "";

void set_text(char (&text)[kTextSize], const char* format, ...) __attribute__((format(printf, 2, 3)));
void set_text(char (&text)[kTextSize], const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
}

bool lirc_start(const char* device, DeviceFailure* failure) {
    auto* backend = new LircBackend;
    if (!backend->start(&system_lirc_device(), device, device, failure)) {
        delete backend;
        return false;
    }
    g_signal = backend;
    return true;
}

bool simlirc_start(std::string* why) {
    g_simlirc = new SimLircDevice;
    g_simlirc->configure_from_env();
    g_signal = new LircBackend;
    DeviceFailure failure;
    if (g_signal->start(g_simlirc, "simlirc", kSimLircName, &failure)) return true;
    *why = with_detail(failure);
    delete g_signal;
    g_signal = nullptr;
    delete g_simlirc;
    g_simlirc = nullptr;
    return false;
}

// The reasons of the devices passed over, "; " between them.
std::string reasons(const std::vector<DeviceFailure>& failures) {
    std::string text;
    for (const DeviceFailure& failure : failures) text += (text.empty() ? "" : "; ") + failure.reason;
    return text;
}

void choose_automatically(const char* device, const char* lirc_device) {
    DeviceFailure failure;
    if (ppdev_start(device, &failure)) {
        g_backend = BackendKind::Ppdev;
        set_text(g_description, "%s (ppdev)", device);
        return;
    }
    // No parallel port or IR device at all is the normal case on a modern
    // machine; one that exists but cannot be used is worth a word, or the
    // user's LED stays dark without one.
    std::vector<DeviceFailure> passed_over;
    if (!failure.device_missing) passed_over.push_back(failure);

    DeviceFailure lirc_failure;
    if (lirc_start(lirc_device, &lirc_failure)) {
        g_backend = BackendKind::Lirc;
        set_text(g_description, "%s (kernel IR device)", lirc_device);
        for (const DeviceFailure& f : passed_over) warn("%s: using %s", with_detail(f).c_str(), g_description);
        set_text(g_fallback_reason, "%s", reasons(passed_over).c_str());
        return;
    }
    if (!lirc_failure.device_missing) passed_over.push_back(lirc_failure);

    for (const DeviceFailure& f : passed_over) warn("%s: using the simulated port", with_detail(f).c_str());
    set_text(g_fallback_reason, "%s", reasons(passed_over).c_str());
    std::string why;
    if (sim_start(&why)) {
        g_backend = BackendKind::Sim;
        if (g_fallback_reason[0] != '\0') {
            set_text(g_description, "simulated port (%s)", g_fallback_reason);
        } else {
            set_text(g_description, "simulated port");
        }
    } else {
        warn("simulated port: %s; no port access", why.c_str());
        set_text(g_description, "no port (the simulated port could not start)");
    }
}

void choose_backend() {
    const char* forced = env_value("IO_BACKEND");
    const char* device = env_value("IO_DEVICE");
    if (device == nullptr) device = kDefaultDevice;
    const char* lirc_device = env_value("IO_LIRC_DEVICE");
    if (lirc_device == nullptr) lirc_device = kDefaultLircDevice;
    if (forced == nullptr) {
        choose_automatically(device, lirc_device);
        return;
    }

    std::string why;
    if (Same_Ignoring_Case(forced, "sim")) {
        if (sim_start(&why)) {
            g_backend = BackendKind::Sim;
            set_text(g_description, "simulated port");
            return;
        }
    } else if (Same_Ignoring_Case(forced, "ppdev")) {
        DeviceFailure failure;
        if (ppdev_start(device, &failure)) {
            g_backend = BackendKind::Ppdev;
            set_text(g_description, "%s (ppdev)", device);
            return;
        }
        why = with_detail(failure);
    } else if (Same_Ignoring_Case(forced, "direct")) {
        if (direct_start(&why)) {
            g_backend = BackendKind::Direct;
            set_text(g_description, "direct I/O");
            return;
        }
    } else if (Same_Ignoring_Case(forced, "lirc")) {
        DeviceFailure failure;
        if (lirc_start(lirc_device, &failure)) {
            g_backend = BackendKind::Lirc;
            set_text(g_description, "%s (kernel IR device)", lirc_device);
            return;
        }
        why = with_detail(failure);
    } else if (Same_Ignoring_Case(forced, "simlirc")) {
        if (simlirc_start(&why)) {
            g_backend = BackendKind::SimLirc;
            set_text(g_description, "%s", kSimLircName);
            return;
        }
    } else {
        warn("IO_BACKEND=%s: not one of sim, ppdev, direct, lirc, simlirc; no port access", forced);
        set_text(g_description, "no port (IO_BACKEND=%s is not one of sim, ppdev, direct, lirc, simlirc)", forced);
        return;
    }
    warn("IO_BACKEND=%s: %s; no port access", forced, why.c_str());
    set_text(g_description, "no port (IO_BACKEND=%s could not start)", forced);
}

__attribute__((constructor)) void load_library() {
    try {
        choose_backend();
    } catch (const std::exception& e) {
        g_backend = BackendKind::None;
        warn("start-up failed: %s; no port access", e.what());
        set_text(g_description, "no port (start-up failed)");
    } catch (...) {
        g_backend = BackendKind::None;
        warn("start-up failed; no port access");
        set_text(g_description, "no port (start-up failed)");
    }
}

__attribute__((destructor)) void unload_library() {
    const BackendKind was = g_backend;
    g_backend = BackendKind::None;
    switch (was) {
        case BackendKind::Sim:
            sim_stop();
            break;
        case BackendKind::Ppdev:
            ppdev_stop();
            break;
        case BackendKind::Direct:
            direct_stop();
            break;
        case BackendKind::Lirc:
        case BackendKind::SimLirc:
        case BackendKind::None:
            break;
    }
    // The signal port closes its device before the simulated one goes.
    delete g_signal;
    g_signal = nullptr;
    delete g_simlirc;
    g_simlirc = nullptr;
}

}  // namespace

BackendKind current_backend() noexcept { return g_backend; }

LircBackend* signal_backend() noexcept { return g_signal; }

SimLircDevice* simlirc_device() noexcept { return g_simlirc; }

bool simlirc_restart() {
    if (g_simlirc == nullptr) return false;
    if (g_signal == nullptr) g_signal = new LircBackend;
    DeviceFailure failure;
    if (g_signal->start(g_simlirc, "simlirc", kSimLircName, &failure)) return true;
    warn("%s; no port access", with_detail(failure).c_str());
    g_backend = BackendKind::None;
    return false;
}

unsigned char port_in(unsigned short port) noexcept {
    switch (g_backend) {
        case BackendKind::Sim:
            return sim_in(port);
        case BackendKind::Ppdev:
            return ppdev_in(port);
        case BackendKind::Direct:
            return direct_in(port);
        case BackendKind::Lirc:
        case BackendKind::SimLirc:
            return 0;  // an idle receiver line
        case BackendKind::None:
            break;
    }
    return 0xFF;
}

void port_out(unsigned short port, unsigned char value) noexcept {
    switch (g_backend) {
        case BackendKind::Sim:
            sim_out(port, value);
            return;
        case BackendKind::Ppdev:
            ppdev_out(port, value);
            return;
        case BackendKind::Direct:
            direct_out(port, value);
            return;
        case BackendKind::Lirc:
        case BackendKind::SimLirc:
        case BackendKind::None:
            return;
    }
}

}  // namespace qev::io

using qev::io::port_in;
using qev::io::port_out;

// Port numbers are 16 bits: the byte after port 0xFFFF is port 0x0000.
namespace {
unsigned short next_port(unsigned short port, unsigned step) { return static_cast<unsigned short>(port + step); }
unsigned char bit_mask(unsigned char bit) { return static_cast<unsigned char>(1u << bit); }
}  // namespace

extern "C" {

void PortOut(unsigned short port, unsigned char value) { port_out(port, value); }

unsigned char PortIn(unsigned short port) { return port_in(port); }

void PortWordOut(unsigned short port, unsigned short value) {
    port_out(port, static_cast<unsigned char>(value & 0xFF));
    port_out(next_port(port, 1), static_cast<unsigned char>(value >> 8));
}

void PortDWordOut(unsigned short port, unsigned int value) {
    for (unsigned i = 0; i < 4; ++i) {
        port_out(next_port(port, i), static_cast<unsigned char>((value >> (8 * i)) & 0xFF));
    }
}

unsigned short PortWordIn(unsigned short port) {
    const unsigned low = port_in(port);
    const unsigned high = port_in(next_port(port, 1));
    return static_cast<unsigned short>(low | (high << 8));
}

unsigned int PortDWordIn(unsigned short port) {
    unsigned int value = 0;
    for (unsigned i = 0; i < 4; ++i) value |= static_cast<unsigned int>(port_in(next_port(port, i))) << (8 * i);
    return value;
}

// Bit numbers above 7 name no bit of a byte register: the bit functions leave
// the port alone and GetPortBit answers 0.
void SetPortBit(unsigned short port, unsigned char bit) {
    if (bit > 7) return;
    port_out(port, static_cast<unsigned char>(port_in(port) | bit_mask(bit)));
}

void ClrPortBit(unsigned short port, unsigned char bit) {
    if (bit > 7) return;
    port_out(port, static_cast<unsigned char>(port_in(port) & ~bit_mask(bit)));
}

void NotPortBit(unsigned short port, unsigned char bit) {
    if (bit > 7) return;
    port_out(port, static_cast<unsigned char>(port_in(port) ^ bit_mask(bit)));
}

int GetPortBit(unsigned short port, unsigned char bit) {
    if (bit > 7) return 0;
    return (port_in(port) & bit_mask(bit)) != 0 ? 1 : 0;
}

void RightPortShift(unsigned short port, int in_bit) {
    const unsigned value = port_in(port);
    port_out(port, static_cast<unsigned char>((value >> 1) | (in_bit != 0 ? 0x80u : 0u)));
}

void LeftPortShift(unsigned short port, int in_bit) {
    const unsigned value = port_in(port);
    port_out(port, static_cast<unsigned char>(((value << 1) & 0xFFu) | (in_bit != 0 ? 1u : 0u)));
}

int IsDriverInstalled(void) { return qev::io::current_backend() != qev::io::BackendKind::None ? 1 : 0; }

const char* IoBackendName(void) { return qev::io::backend_name(qev::io::current_backend()); }

const char* IoPortDescription(void) { return qev::io::g_description; }

const char* IoFallbackReason(void) { return qev::io::g_fallback_reason; }

// Whole signals: the kernel IR device and its stand-in; the register
// backends take none.
int IoSignalFeatures(void) {
    const qev::io::LircBackend* backend = qev::io::signal_backend();
    return backend != nullptr ? backend->features() : 0;
}

int IoSignalSend(const unsigned* durations_us, int count, unsigned carrier_hz) {
    qev::io::LircBackend* backend = qev::io::signal_backend();
    return backend != nullptr ? backend->send(durations_us, count, carrier_hz) : -1;
}

int IoSignalReceive(unsigned* durations_us, int capacity, int wait_ms, unsigned end_gap_us, unsigned max_total_us) {
    qev::io::LircBackend* backend = qev::io::signal_backend();
    return backend != nullptr ? backend->receive(durations_us, capacity, wait_ms, end_gap_us, max_total_us) : -1;
}

int IoSignalCancel(void) {
    qev::io::LircBackend* backend = qev::io::signal_backend();
    return backend != nullptr ? backend->cancel_receive() : -1;
}

const char* IoSignalError(void) {
    if (qev::io::signal_backend() != nullptr) return qev::io::LircBackend::error();
    if (qev::io::current_backend() == qev::io::BackendKind::None) return qev::io::g_description;
    return "the port takes no whole signals: it is driven register by register";
}

}  // extern "C"
