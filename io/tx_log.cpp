#include "io/tx_log.h"

#include "base/hex_text.h"
#include "io/env_util.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <new>

namespace qev::io {
namespace {

constexpr auto kFlushPeriod = std::chrono::milliseconds(10);
constexpr std::size_t kLineMax = 40;  // 19 digits + " 0x" + 4 + " " + 2 + "\n"

std::size_t format_line(char* out, const TxEntry& e) {
    char digits[24];
    std::size_t n = 0;
    std::uint64_t t = e.t_ns < 0 ? 0 : static_cast<std::uint64_t>(e.t_ns);
    do {
        digits[n++] = static_cast<char>('0' + t % 10);
        t /= 10;
    } while (t != 0);
    std::size_t len = 0;
    while (n > 0) out[len++] = digits[--n];
    out[len++] = ' ';
    out[len++] = '0';
    out[len++] = 'x';
    if (e.port > 0xFFF) out[len++] = Hex_Digit(e.port >> 12);
    out[len++] = Hex_Digit(e.port >> 8);
    out[len++] = Hex_Digit(e.port >> 4);
    out[len++] = Hex_Digit(e.port);
    out[len++] = ' ';
    out[len++] = Hex_Digit(e.value >> 4);
    out[len++] = Hex_Digit(e.value);
    out[len++] = '\n';
    return len;
}

}  // namespace

TxLog::~TxLog() { shutdown(); }

bool TxLog::configure(std::uint64_t capacity, const std::string& path) {
    stop_flusher();
    bool ok = true;
    {
        std::lock_guard<std::mutex> lock(file_mutex_);
        flush_locked();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;

        if (slots_ == nullptr || capacity != capacity_) {
            const std::size_t bytes = static_cast<std::size_t>(capacity) * sizeof(Slot);
            void* memory =
                ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
            if (memory == MAP_FAILED) {
                ok = false;
            } else {
                // Constructing every slot writes every page: no page fault later.
                Slot* slots = static_cast<Slot*>(memory);
                for (std::uint64_t i = 0; i < capacity; ++i) new (&slots[i]) Slot();
                if (slots_ != nullptr) ::munmap(slots_, static_cast<std::size_t>(capacity_) * sizeof(Slot));
                slots_ = slots;
                capacity_ = capacity;
            }
        }
        reset_counters();
        flushed_ = 0;
        reported_loss_ = false;
        reported_write_error_ = false;

        path_ = path;
        if (!path_.empty()) {
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
            if (fd_ < 0)
                warn("IO_SIM_TXLOG=%s: %s; the write log is kept in memory only", path_.c_str(), std::strerror(errno));
        }
        stop_ = false;
    }
    if (fd_ >= 0) {
        // The flusher takes no signals: they stay with the program's own threads
        // (which may wait for them with sigwait or signalfd).
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        flusher_ = std::thread([this] { flusher_main(); });
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    return ok && slots_ != nullptr;
}

void TxLog::shutdown() noexcept {
    stop_flusher();
    std::lock_guard<std::mutex> lock(file_mutex_);
    flush_locked();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (slots_ != nullptr) ::munmap(slots_, static_cast<std::size_t>(capacity_) * sizeof(Slot));
    slots_ = nullptr;
    capacity_ = 0;
    reset_counters();
}

bool TxLog::read(std::uint64_t index, TxEntry* entry) const noexcept {
    const std::uint64_t published = count_.load(std::memory_order_acquire);
    if (index >= published || published - index > capacity_) return false;
    const Slot& slot = slots_[index % capacity_];
    const std::int64_t t = slot.t_ns.load(std::memory_order_acquire);
    const std::uint32_t port_value = slot.port_value.load(std::memory_order_acquire);
    // The slot is reused by entry index + capacity: if that write has begun,
    // what was just read may be torn.
    if (begun_.load(std::memory_order_relaxed) - index > capacity_) return false;
    entry->t_ns = t;
    entry->port = static_cast<unsigned short>(port_value >> 8);
    entry->value = static_cast<unsigned char>(port_value & 0xFF);
    return true;
}

void TxLog::clear() {
    std::lock_guard<std::mutex> lock(file_mutex_);
    flush_locked();
    reset_counters();
    flushed_ = 0;
}

void TxLog::flush() {
    std::lock_guard<std::mutex> lock(file_mutex_);
    flush_locked();
}

void TxLog::reset_counters() noexcept {
    position_ = 0;
    produced_ = 0;
    begun_.store(0, std::memory_order_relaxed);
    count_.store(0, std::memory_order_release);
}

void TxLog::flush_locked() {
    const std::uint64_t published = count_.load(std::memory_order_acquire);
    if (fd_ < 0 || slots_ == nullptr) {
        flushed_ = published;
        return;
    }
    std::uint64_t lost = 0;
    const std::uint64_t oldest = published > capacity_ ? published - capacity_ : 0;
    if (flushed_ < oldest) {
        lost += oldest - flushed_;
        flushed_ = oldest;
    }
    char buffer[64 * 1024];
    std::size_t used = 0;
    for (std::uint64_t i = flushed_; i < published; ++i) {
        TxEntry entry;
        if (!read(i, &entry)) {
            ++lost;
            continue;
        }
        if (used + kLineMax > sizeof buffer) {
            write_all_locked(buffer, used);
            used = 0;
        }
        used += format_line(buffer + used, entry);
    }
    if (used > 0) write_all_locked(buffer, used);
    flushed_ = published;
    if (lost > 0 && !reported_loss_) {
        reported_loss_ = true;
        warn(
            "IO_SIM_TXLOG=%s: %llu writes were overwritten in the ring of %llu entries before they reached the file "
            "(raise IO_SIM_TXLOG_CAPACITY)",
            path_.c_str(), static_cast<unsigned long long>(lost), static_cast<unsigned long long>(capacity_));
    }
}

void TxLog::write_all_locked(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (!reported_write_error_) {
                reported_write_error_ = true;
                warn("IO_SIM_TXLOG=%s: write failed: %s", path_.c_str(), std::strerror(errno));
            }
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void TxLog::stop_flusher() {
    {
        std::lock_guard<std::mutex> lock(file_mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (flusher_.joinable()) flusher_.join();
}

void TxLog::flusher_main() {
    std::unique_lock<std::mutex> lock(file_mutex_);
    while (!stop_) {
        wake_.wait_for(lock, kFlushPeriod, [this] { return stop_; });
        flush_locked();
    }
}

}  // namespace qev::io
