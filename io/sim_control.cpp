// The IoSim* controls of the simulated port and the simulated IR device, for
// tests and benchmarks. The register controls (IoSimPeek, IoSimTx*) work on
// the simulated port, the signal controls (IoSimSignal*) on the simulated IR
// device, the remote and IoSimReset on both. On any other backend they do
// nothing and answer 0, or -1 where -1 means "none" or "failed".
#include "io/backend.h"
#include "io/sim_env.h"
#include "io/sim_port.h"
#include "io/simlirc.h"

#pragma GCC visibility push(default)
#include "io/io_api.h"
#pragma GCC visibility pop

#include <string>
#include <utility>

namespace {

using qev::io::BackendKind;
using qev::io::SimLircDevice;
using qev::io::TxEntry;
using qev::io::Waveform;

// Longest waveform IoSimRemoteSetSamples takes: ten minutes of 125 us cells.
constexpr int kMaxSampleCells = 8000 * 600;
constexpr int kMaxRepeatFrames = 10000;

bool on_sim() { return qev::io::current_backend() == BackendKind::Sim; }

SimLircDevice* simlirc() {
    return qev::io::current_backend() == BackendKind::SimLirc ? qev::io::simlirc_device() : nullptr;
}

// Gives the remote a new waveform on whichever simulated device is in use;
// false on the other backends.
bool set_waveform(Waveform waveform) {
    if (on_sim()) {
        qev::io::sim::set_waveform(std::move(waveform));
        return true;
    }
    if (SimLircDevice* device = simlirc()) {
        device->set_waveform(std::move(waveform));
        return true;
    }
    return false;
}

bool on_a_simulated_device() { return on_sim() || simlirc() != nullptr; }

}  // namespace

extern "C" {

void IoSimReset(void) {
    if (on_sim()) qev::io::sim::reset();
    if (SimLircDevice* device = simlirc()) {
        device->configure_from_env();
        qev::io::simlirc_restart();
    }
}

unsigned char IoSimPeek(unsigned short port) { return on_sim() ? qev::io::sim::peek(port) : 0; }

long long IoSimTxCount(void) { return on_sim() ? static_cast<long long>(qev::io::sim::tx_log().count()) : 0; }

int IoSimTxEntry(long long index, long long* t_ns, unsigned short* port, unsigned char* value) {
    if (!on_sim() || index < 0) return 0;
    TxEntry entry;
    if (!qev::io::sim::tx_log().read(static_cast<unsigned long long>(index), &entry)) return 0;
    if (t_ns != nullptr) *t_ns = entry.t_ns;
    if (port != nullptr) *port = entry.port;
    if (value != nullptr) *value = entry.value;
    return 1;
}

void IoSimTxClear(void) {
    if (on_sim()) qev::io::sim::tx_log().clear();
}

void IoSimTxFlush(void) {
    if (on_sim()) qev::io::sim::tx_log().flush();
}

int IoSimRemoteSetNec(unsigned address, unsigned command, int repeat_frames) {
    if (!on_a_simulated_device() || address > 0xFF || command > 0xFF || repeat_frames < 0 ||
        repeat_frames > kMaxRepeatFrames) {
        return -1;
    }
    return set_waveform(Waveform::nec(address, command, repeat_frames)) ? 0 : -1;
}

int IoSimRemoteSetSamples(const unsigned char* levels, int count) {
    if (!on_a_simulated_device() || count < 0 || count > kMaxSampleCells || (count > 0 && levels == nullptr)) {
        return -1;
    }
    return set_waveform(Waveform::from_cells(levels, static_cast<std::size_t>(count))) ? 0 : -1;
}

int IoSimRemoteSetFile(const char* path, const char* name) {
    if (!on_a_simulated_device() || path == nullptr) return -1;
    Waveform waveform;
    std::string why;
    if (!qev::io::load_remote_row(path, name != nullptr ? name : "", &waveform, &why)) return -1;
    return set_waveform(std::move(waveform)) ? 0 : -1;
}

void IoSimRemoteOff(void) { set_waveform(Waveform()); }

void IoSimRemoteSetDelayNs(long long delay_ns) {
    if (on_sim()) qev::io::sim::set_delay_ns(delay_ns);
    if (SimLircDevice* device = simlirc()) device->set_delay_ns(delay_ns);
}

void IoSimRemoteSetAuto(int on) {
    if (on_sim()) qev::io::sim::set_auto(on != 0);
    if (SimLircDevice* device = simlirc()) device->set_auto(on != 0);
}

void IoSimRemoteTrigger(void) {
    if (on_sim()) qev::io::sim::trigger();
    if (SimLircDevice* device = simlirc()) device->trigger();
}

long long IoSimRemoteStartNs(void) {
    if (on_sim()) return qev::io::sim::last_start_ns();
    if (SimLircDevice* device = simlirc()) return device->last_start_ns();
    return -1;
}

long long IoSimRemoteDurationNs(void) {
    if (on_sim()) return qev::io::sim::duration_ns();
    if (SimLircDevice* device = simlirc()) return device->duration_ns();
    return 0;
}

void IoSimSetLoopback(int on) {
    if (on_sim()) qev::io::sim::set_loopback(on != 0);
    if (SimLircDevice* device = simlirc()) device->set_loopback(on != 0);
}

long long IoSimSignalCount(void) {
    SimLircDevice* device = simlirc();
    return device != nullptr ? device->signal_count() : 0;
}

int IoSimSignalEntry(long long index, long long* t_ns, unsigned* carrier_hz, unsigned* durations_us, int capacity) {
    SimLircDevice* device = simlirc();
    return device != nullptr ? device->signal(index, t_ns, carrier_hz, durations_us, capacity) : 0;
}

void IoSimSignalClear(void) {
    if (SimLircDevice* device = simlirc()) device->clear_signals();
}

int IoSimSignalWaiting(void) {
    SimLircDevice* device = simlirc();
    return device != nullptr ? device->waiting() : 0;
}

int IoSimSignalSetFeatures(int features) {
    SimLircDevice* device = simlirc();
    if (device == nullptr || !device->set_features(features)) return -1;
    return qev::io::simlirc_restart() ? 0 : -1;
}

}  // extern "C"
