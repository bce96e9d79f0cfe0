// The simulated parallel port (see sim_port.h).
//
// PortIn/PortOut on this backend are called once per 125 us tick from a
// busy-waiting real-time thread: they only touch preallocated memory, make no
// system call but clock_gettime (vDSO) and take no lock. Register access is
// meant for one thread at a time, like the real port; the write log may be
// read from any thread, and IoSimRemoteTrigger may come from another thread.
//
// Environment, read at load time and by IoSimReset:
//   IO_SIM_REMOTE           nec:ADDR:CMD (default nec:0x04:0x08), PATH.rmt,
//                           PATH.rmt:NAME, or off
//   IO_SIM_REMOTE_REPEATS   repeat frames after an NEC frame (default 1)
//   IO_SIM_REMOTE_DELAY_MS  from arming to the signal's start (default 50)
//   IO_SIM_LOOPBACK         1: status 0x10 also follows data bit 0
//   IO_SIM_TXLOG            file the write log is appended to every 10 ms
//   IO_SIM_TXLOG_CAPACITY   entries in the write log's ring (default 262144)
#include "io/sim_port.h"

#include "io/backend.h"
#include "io/env_util.h"
#include "io/sim_env.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <new>
#include <utility>

namespace qev::io {
namespace {

constexpr unsigned kBlocks = 0x10000 / 4;
constexpr unsigned char kDataPowerOn = 0x00;
constexpr unsigned char kControlPowerOn = 0x2C;
constexpr unsigned char kReceiverBit = 0x10;
constexpr unsigned char kLedBit = 0x01;

// Polling bursts: a status read within 2 ms of the previous one continues the
// burst, 20 ms without a status read ends it, and the 16th read of a burst
// arms the remote (once per burst).
constexpr std::int64_t kBurstContinueNs = 2'000'000;
constexpr std::int64_t kBurstGapNs = 20'000'000;
constexpr unsigned kBurstArmReads = 16;

constexpr std::int64_t kDefaultDelayNs = 50'000'000;

constinit unsigned char g_data[kBlocks] = {};
constinit unsigned char g_control[kBlocks] = {};
constinit TxLog* g_log = nullptr;

// The remote. The waveform is replaced only by the port's own thread.
constinit Waveform* g_waveform = nullptr;
constinit WaveformCursor g_cursor;
constinit std::int64_t g_duration_ns = 0;
constinit std::atomic<std::int64_t> g_pending_start{-1};  // armed, not yet started
constinit std::int64_t g_playing_start = -1;              // signal being played
constinit std::atomic<std::int64_t> g_last_start{-1};
constinit std::atomic<std::int64_t> g_delay_ns{kDefaultDelayNs};
constinit std::atomic<bool> g_auto{true};
constinit std::atomic<bool> g_loopback{false};

// Burst detection, touched by status reads only.
constinit std::int64_t g_last_status_read = -1;
constinit unsigned g_quick_reads = 0;
constinit bool g_burst_armed = false;

inline std::int64_t now_ns() noexcept {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void power_on_registers() {
    std::memset(g_data, kDataPowerOn, sizeof g_data);
    std::memset(g_control, kControlPowerOn, sizeof g_control);
}

void schedule_signal(std::int64_t now) {
    if (g_duration_ns == 0) return;  // nothing to play
    const std::int64_t start = now + g_delay_ns.load(std::memory_order_relaxed);
    g_last_start.store(start, std::memory_order_relaxed);
    g_pending_start.store(start, std::memory_order_release);
}

void note_status_read(std::int64_t now) noexcept {
    const std::int64_t gap = g_last_status_read < 0 ? INT64_MAX : now - g_last_status_read;
    g_last_status_read = now;
    if (gap >= kBurstGapNs) {
        g_quick_reads = 1;
        g_burst_armed = false;
    } else if (gap <= kBurstContinueNs) {
        if (g_quick_reads < kBurstArmReads) ++g_quick_reads;
    } else {
        g_quick_reads = 1;  // too slow to count, too quick to end the burst
    }
    if (g_quick_reads >= kBurstArmReads && !g_burst_armed && g_auto.load(std::memory_order_relaxed)) {
        g_burst_armed = true;
        schedule_signal(now);
    }
}

bool remote_level(std::int64_t now) noexcept {
    std::int64_t pending = g_pending_start.load(std::memory_order_relaxed);
    if (pending >= 0) {
        if (now < pending) {
            g_cursor.keep_warm();
        } else if (g_pending_start.compare_exchange_strong(pending, -1, std::memory_order_acq_rel)) {
            g_playing_start = pending;
            g_cursor.rewind();
        }
    }
    if (g_playing_start < 0) return false;
    return g_cursor.level(now - g_playing_start);
}

unsigned char status_at(unsigned block, std::int64_t now) noexcept {
    bool infrared = remote_level(now);
    if (g_loopback.load(std::memory_order_relaxed) && (g_data[block] & kLedBit) != 0) infrared = true;
    return infrared ? kReceiverBit : 0;
}

// ---- configuration from the environment -------------------------------------

bool configure_log_from_env() {
    const std::uint64_t capacity = log_capacity_from_env(TxLog::kDefaultCapacity, TxLog::kMaxCapacity);
    const char* path = env_value("IO_SIM_TXLOG");
    const std::string file = path != nullptr ? path : "";
    if (g_log->configure(capacity, file)) return true;
    if (capacity != TxLog::kDefaultCapacity) {
        warn("IO_SIM_TXLOG_CAPACITY=%llu: cannot allocate the ring; using %llu",
             static_cast<unsigned long long>(capacity), static_cast<unsigned long long>(TxLog::kDefaultCapacity));
        return g_log->configure(TxLog::kDefaultCapacity, file);
    }
    return false;
}

void configure_from_env() {
    power_on_registers();
    RemoteSettings remote = remote_settings_from_env();
    sim::set_waveform(std::move(remote.waveform));
    g_delay_ns.store(remote.delay_ns, std::memory_order_relaxed);
    g_auto.store(true, std::memory_order_relaxed);
    g_loopback.store(flag_from_env("IO_SIM_LOOPBACK", false), std::memory_order_relaxed);
    g_last_status_read = -1;
    g_quick_reads = 0;
    g_burst_armed = false;
}

}  // namespace

// ---- backend entry points ----------------------------------------------------

bool sim_start(std::string* why) {
    g_log = new (std::nothrow) TxLog();
    if (g_log == nullptr || !configure_log_from_env()) {
        *why = "cannot allocate the write log";
        delete g_log;
        g_log = nullptr;
        return false;
    }
    configure_from_env();
    return true;
}

void sim_stop() noexcept {
    if (g_log != nullptr) {
        g_log->shutdown();
        delete g_log;
        g_log = nullptr;
    }
    g_cursor.attach(nullptr);
    delete g_waveform;
    g_waveform = nullptr;
    g_duration_ns = 0;
}

unsigned char sim_in(unsigned short port) noexcept {
    const unsigned block = port >> 2;
    switch (offset_of(port)) {
        case kData:
            return g_data[block];
        case kStatus: {
            const std::int64_t now = now_ns();
            note_status_read(now);
            return status_at(block, now);
        }
        case kControl:
            return g_control[block];
        default:
            return 0xFF;
    }
}

void sim_out(unsigned short port, unsigned char value) noexcept {
    const unsigned block = port >> 2;
    switch (offset_of(port)) {
        case kData: {
            g_data[block] = value;
            const std::int64_t t = now_ns();  // the line has changed by now
            g_log->push(t, port, value);
            return;
        }
        case kControl:
            g_control[block] = value;
            return;
        default:
            return;  // status is read-only; offset 3 decodes to nothing
    }
}

// ---- controls ----------------------------------------------------------------

namespace sim {

void reset() {
    if (!configure_log_from_env()) warn("IoSimReset: cannot allocate the write log; keeping the previous one");
    configure_from_env();
}

unsigned char peek(unsigned short port) {
    const unsigned block = port >> 2;
    switch (offset_of(port)) {
        case kData:
            return g_data[block];
        case kStatus:
            return status_at(block, now_ns());
        case kControl:
            return g_control[block];
        default:
            return 0xFF;
    }
}

TxLog& tx_log() { return *g_log; }

void set_waveform(Waveform waveform) {
    Waveform* fresh = new Waveform(std::move(waveform));
    g_cursor.attach(fresh);
    delete g_waveform;
    g_waveform = fresh;
    g_duration_ns = fresh->duration_ns();
    g_pending_start.store(-1, std::memory_order_relaxed);
    g_playing_start = -1;
    g_last_start.store(-1, std::memory_order_relaxed);
}

void set_delay_ns(std::int64_t delay_ns) { g_delay_ns.store(delay_ns < 0 ? 0 : delay_ns, std::memory_order_relaxed); }

void set_auto(bool on) { g_auto.store(on, std::memory_order_relaxed); }

void trigger() { schedule_signal(now_ns()); }

std::int64_t last_start_ns() { return g_last_start.load(std::memory_order_relaxed); }

std::int64_t duration_ns() { return g_duration_ns; }

void set_loopback(bool on) { g_loopback.store(on, std::memory_order_relaxed); }

}  // namespace sim
}  // namespace qev::io
