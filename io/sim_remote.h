// The simulated remote control's waveform: the level of the infrared line as a
// function of time since the signal started.
//
// A waveform is a sorted list of edge times in nanoseconds, built once when the
// remote is configured. The line is idle before the first edge and each edge
// toggles it, so an even number of edges leaves it idle at the end. A Cursor
// answers "level at t" in O(1) amortised for increasing t, allocation free.
#ifndef QEV_IO_SIM_REMOTE_H
#define QEV_IO_SIM_REMOTE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qev::io {

// One sample cell of the program's clock: 1/8000 s.
inline constexpr std::int64_t kCellNs = 125'000;

class Waveform {
public:
    Waveform() = default;  // silent: the line stays idle

    // An NEC frame for an 8-bit address and command, followed by
    // repeat_frames repeat frames 108 ms apart.
    static Waveform nec(unsigned address, unsigned command, int repeat_frames);

    // One level per 125 us cell, non-zero = infrared.
    static Waveform from_cells(const unsigned char* levels, std::size_t count);

    // Packed cells as in a command file row: bit 0 of byte 0 is the first cell.
    static Waveform from_packed(const std::vector<unsigned char>& bytes);

    std::int64_t duration_ns() const { return duration_ns_; }
    const std::vector<std::int64_t>& edges() const { return edges_; }

private:
    std::vector<std::int64_t> edges_;
    std::int64_t duration_ns_ = 0;
};

class WaveformCursor {
public:
    void attach(const Waveform* waveform);
    void rewind();
    // Level at t nanoseconds after the signal start; false (idle) outside it.
    bool level(std::int64_t t_ns);
    // Touches what level() reads first, so the first edge of a pending signal
    // is not delayed by cache and TLB misses (about 0.7 us on a VM).
    void keep_warm() const noexcept {
        if (count_ != 0) {
            [[maybe_unused]] volatile std::int64_t first = edges_[0];
        }
    }

private:
    const std::int64_t* edges_ = nullptr;
    std::size_t count_ = 0;
    std::int64_t duration_ns_ = 0;
    std::size_t passed_ = 0;  // edges at or before last_t_
    std::int64_t last_t_ = INT64_MIN;
};

}  // namespace qev::io

#endif
