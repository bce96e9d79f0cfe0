// The IoSim* controls of the simulated port, for tests and benchmarks. On any
// other backend they do nothing and answer 0, or -1 where -1 means "none" or
// "failed".
#include "io/backend.h"
#include "io/sim_env.h"
#include "io/sim_port.h"

#pragma GCC visibility push(default)
#include "io/io_api.h"
#pragma GCC visibility pop

#include <string>
#include <utility>

namespace {

using qev::io::BackendKind;
using qev::io::TxEntry;
using qev::io::Waveform;

// Longest waveform IoSimRemoteSetSamples takes: ten minutes of 125 us cells.
constexpr int kMaxSampleCells = 8000 * 600;
constexpr int kMaxRepeatFrames = 10000;

bool on_sim() { return qev::io::current_backend() == BackendKind::Sim; }

}  // namespace

extern "C" {

void IoSimReset(void) {
    if (on_sim()) qev::io::sim::reset();
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
    if (!on_sim() || address > 0xFF || command > 0xFF || repeat_frames < 0 || repeat_frames > kMaxRepeatFrames) {
        return -1;
    }
    qev::io::sim::set_waveform(Waveform::nec(address, command, repeat_frames));
    return 0;
}

int IoSimRemoteSetSamples(const unsigned char* levels, int count) {
    if (!on_sim() || count < 0 || count > kMaxSampleCells || (count > 0 && levels == nullptr)) return -1;
    qev::io::sim::set_waveform(Waveform::from_cells(levels, static_cast<std::size_t>(count)));
    return 0;
}

int IoSimRemoteSetFile(const char* path, const char* name) {
    if (!on_sim() || path == nullptr) return -1;
    Waveform waveform;
    std::string why;
    if (!qev::io::load_remote_row(path, name != nullptr ? name : "", &waveform, &why)) return -1;
    qev::io::sim::set_waveform(std::move(waveform));
    return 0;
}

void IoSimRemoteOff(void) {
    if (on_sim()) qev::io::sim::set_waveform(Waveform());
}

void IoSimRemoteSetDelayNs(long long delay_ns) {
    if (on_sim()) qev::io::sim::set_delay_ns(delay_ns);
}

void IoSimRemoteSetAuto(int on) {
    if (on_sim()) qev::io::sim::set_auto(on != 0);
}

void IoSimRemoteTrigger(void) {
    if (on_sim()) qev::io::sim::trigger();
}

long long IoSimRemoteStartNs(void) { return on_sim() ? qev::io::sim::last_start_ns() : -1; }

long long IoSimRemoteDurationNs(void) { return on_sim() ? qev::io::sim::duration_ns() : 0; }

void IoSimSetLoopback(int on) {
    if (on_sim()) qev::io::sim::set_loopback(on != 0);
}

}  // extern "C"
