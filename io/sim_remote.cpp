#include "io/sim_remote.h"

#include <algorithm>

namespace qev::io {
namespace {

// NEC infrared protocol, every time a whole number of one unit of 562.5 us
// (4.5 cells of the 8 kHz sample clock):
//   leader        16 units mark (9 ms)       + 8 units space (4.5 ms)
//   bit 0          1 unit mark (562.5 us)    + 1 unit space  (562.5 us)
//   bit 1          1 unit mark (562.5 us)    + 3 units space (1.6875 ms)
//   32 bits, least significant first: address, ~address, command, ~command
//   stop           1 unit mark
//   repeat frame  16 units mark (9 ms) + 4 units space (2.25 ms) + 1 unit mark,
//                 starting 192 units (108 ms) after the previous frame's start
// A byte and its inverse hold eight ones between them, so a frame is always
// 24 + 16 * 2 + 16 * 4 + 1 = 121 units (68.0625 ms) and a repeat frame 21 units
// (11.8125 ms). Sampled at 8 kHz the leader reads as 72 active cells and 36
// idle ones, a repeat leader as 72 active and 18 idle.
constexpr std::int64_t kNecUnitNs = 562'500;
constexpr std::int64_t kNecLeaderMark = 16;
constexpr std::int64_t kNecLeaderSpace = 8;
constexpr std::int64_t kNecRepeatSpace = 4;
constexpr std::int64_t kNecBitMark = 1;
constexpr std::int64_t kNecZeroSpace = 1;
constexpr std::int64_t kNecOneSpace = 3;
constexpr std::int64_t kNecStopMark = 1;
constexpr std::int64_t kNecFramePeriod = 192;  // 108 ms

class EdgeWriter {
public:
    explicit EdgeWriter(std::vector<std::int64_t>* edges) : edges_(edges) {}
    void at(std::int64_t t_units) { now_ = t_units; }
    void mark(std::int64_t units) {
        edges_->push_back(now_ * kNecUnitNs);
        now_ += units;
        edges_->push_back(now_ * kNecUnitNs);
    }
    void space(std::int64_t units) { now_ += units; }

private:
    std::vector<std::int64_t>* edges_;
    std::int64_t now_ = 0;
};

}  // namespace

Waveform Waveform::nec(unsigned address, unsigned command, int repeat_frames) {
    Waveform w;
    if (repeat_frames < 0) repeat_frames = 0;
    // Two edges per mark: leader, 32 bits and stop, then two marks per repeat.
    w.edges_.reserve(2 * (1 + 32 + 1) + 4 * static_cast<std::size_t>(repeat_frames));
    EdgeWriter out(&w.edges_);

    out.mark(kNecLeaderMark);
    out.space(kNecLeaderSpace);
    const std::uint32_t bits =
        (address & 0xFFu) | ((~address & 0xFFu) << 8) | ((command & 0xFFu) << 16) | ((~command & 0xFFu) << 24);
    for (int i = 0; i < 32; ++i) {
        out.mark(kNecBitMark);
        out.space(((bits >> i) & 1u) != 0 ? kNecOneSpace : kNecZeroSpace);
    }
    out.mark(kNecStopMark);

    for (int r = 1; r <= repeat_frames; ++r) {
        out.at(r * kNecFramePeriod);
        out.mark(kNecLeaderMark);
        out.space(kNecRepeatSpace);
        out.mark(kNecStopMark);
    }
    w.duration_ns_ = w.edges_.back();
    return w;
}

Waveform Waveform::from_cells(const unsigned char* levels, std::size_t count) {
    Waveform w;
    bool level = false;
    for (std::size_t i = 0; i < count; ++i) {
        const bool on = levels[i] != 0;
        if (on != level) {
            w.edges_.push_back(static_cast<std::int64_t>(i) * kCellNs);
            level = on;
        }
    }
    w.duration_ns_ = static_cast<std::int64_t>(count) * kCellNs;
    if (level) w.edges_.push_back(w.duration_ns_);
    return w;
}

Waveform Waveform::from_packed(const std::vector<unsigned char>& bytes) {
    std::vector<unsigned char> cells;
    cells.reserve(bytes.size() * 8);
    for (const unsigned char byte : bytes) {
        for (int bit = 0; bit < 8; ++bit) cells.push_back(static_cast<unsigned char>((byte >> bit) & 1u));
    }
    return from_cells(cells.data(), cells.size());
}

void WaveformCursor::attach(const Waveform* waveform) {
    edges_ = waveform != nullptr ? waveform->edges().data() : nullptr;
    count_ = waveform != nullptr ? waveform->edges().size() : 0;
    duration_ns_ = waveform != nullptr ? waveform->duration_ns() : 0;
    rewind();
}

void WaveformCursor::rewind() {
    passed_ = 0;
    last_t_ = INT64_MIN;
}

bool WaveformCursor::level(std::int64_t t_ns) {
    if (t_ns < 0 || t_ns >= duration_ns_) return false;
    if (t_ns < last_t_) {
        // Time went backwards (a new signal): find the place again.
        passed_ = static_cast<std::size_t>(std::upper_bound(edges_, edges_ + count_, t_ns) - edges_);
    } else {
        while (passed_ < count_ && edges_[passed_] <= t_ns) ++passed_;
    }
    last_t_ = t_ns;
    return (passed_ & 1u) != 0;
}

}  // namespace qev::io
