// The simulated port's log of data-register writes.
//
// A ring of preallocated slots, written by the thread that calls PortOut (one
// producer) and read by any thread: IoSimTxEntry, and a flusher thread that
// appends new entries to the IO_SIM_TXLOG file every 10 ms. The producer
// neither allocates, locks nor makes a system call; its pages are touched when
// the ring is allocated, so no page fault lands in a timed loop.
//
// Entries are numbered from 0 since the last clear; entry i lives in slot
// i % capacity. The producer announces an entry in begun_ before it writes
// the slot and publishes it in count_ afterwards (a sequence lock), so a reader
// can tell an entry that was overwritten while it read it.
//
// File lines: "<t_ns> 0x<port, at least 3 upper-case hex digits> <value, 2 hex digits>".
#ifndef QEV_IO_TX_LOG_H
#define QEV_IO_TX_LOG_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace qev::io {

struct TxEntry {
    std::int64_t t_ns;
    unsigned short port;
    unsigned char value;
};

class TxLog {
public:
    static constexpr std::uint64_t kDefaultCapacity = 262144;  // 32 s of writes at 8 kHz
    static constexpr std::uint64_t kMaxCapacity = std::uint64_t{1} << 26;

    TxLog() = default;
    TxLog(const TxLog&) = delete;
    TxLog& operator=(const TxLog&) = delete;
    ~TxLog();

    // (Re)allocates the ring with `capacity` slots and (re)opens the log file
    // (truncated; empty path = no file, no flusher thread). Empties the log
    // after writing what was pending to the previous file. Not to be called
    // while another thread writes. False when the ring cannot be allocated
    // (the previous ring, if any, is kept). File problems go to stderr.
    bool configure(std::uint64_t capacity, const std::string& path);

    // Stops the flusher, writes what is pending, closes the file, frees the ring.
    void shutdown() noexcept;

    // Producer side, once per data-register write.
    void push(std::int64_t t_ns, unsigned short port, unsigned char value) noexcept {
        const std::uint64_t n = produced_ + 1;
        begun_.store(n, std::memory_order_relaxed);
        // Release stores: a reader that sees either new field also sees begun_.
        // (On x86 these are plain stores.)
        Slot& slot = slots_[position_];
        slot.t_ns.store(t_ns, std::memory_order_release);
        slot.port_value.store((std::uint32_t{port} << 8) | value, std::memory_order_release);
        count_.store(n, std::memory_order_release);
        produced_ = n;
        if (++position_ == capacity_) position_ = 0;
    }

    std::uint64_t count() const noexcept { return count_.load(std::memory_order_acquire); }
    std::uint64_t capacity() const noexcept { return capacity_; }

    // Entry `index` when the ring still holds it.
    bool read(std::uint64_t index, TxEntry* entry) const noexcept;

    // Empties the log (numbering restarts at 0) after writing what is pending
    // to the file. Called by the producer's thread, or while nothing writes.
    void clear();

    // Appends the entries not yet in the file, now.
    void flush();

private:
    struct Slot {
        std::atomic<std::int64_t> t_ns{0};
        std::atomic<std::uint32_t> port_value{0};
    };

    void flush_locked();
    void write_all_locked(const char* data, std::size_t size);
    void stop_flusher();
    void reset_counters() noexcept;
    void flusher_main();

    Slot* slots_ = nullptr;
    std::uint64_t capacity_ = 0;
    std::uint64_t position_ = 0;  // producer: slot of the next entry
    std::uint64_t produced_ = 0;  // producer: entries written
    std::atomic<std::uint64_t> begun_{0};
    std::atomic<std::uint64_t> count_{0};

    std::mutex file_mutex_;  // guards everything below and flushing
    std::condition_variable wake_;
    std::thread flusher_;
    bool stop_ = false;
    int fd_ = -1;
    std::string path_;
    std::uint64_t flushed_ = 0;  // entries already in the file
    bool reported_loss_ = false;
    bool reported_write_error_ = false;
};

}  // namespace qev::io

#endif
