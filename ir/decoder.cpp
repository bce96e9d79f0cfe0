#include "ir/decoder.h"

#include "base/hex_text.h"
#include "ir/protocol_timing.h"
#include "ir/protocols.h"
#include "ir/sampling.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <span>
#include <vector>

namespace qev {
namespace {

// The levels as runs: durations in us, marks at even indexes, with the
// sample each run starts at. The runs note how far into them they were
// looked at (Reach), so that a decoder of runs alike up to some index can
// tell which of its findings stand for them too.
class TRuns {
public:
    TRuns(std::vector<int32_t> us, int64_t first_sample) : us_(std::move(us)), first_sample_(first_sample) {
        // Each run starts where the one before it ended.
        auto start = static_cast<int32_t>(first_sample);
        start_.reserve(us_.size());
        for (const int32_t d : us_) {
            start_.push_back(start);
            start += d / Sample_Period_us;
        }
    }
    bool Has(std::size_t i) const {
        Note(i);
        return i < us_.size();
    }
    int32_t operator[](std::size_t i) const {
        Note(i);
        return i < us_.size() ? us_[i] : 0;
    }
    int32_t Start(std::size_t i) const {
        Note(i);
        return start_[i];
    }
    // A space long enough to end a frame, or the end of the signal.
    bool Gap_Or_End(std::size_t i, int32_t min_us) const {
        Note(i);
        return i >= us_.size() || us_[i] >= min_us;
    }

    // How many runs there are, without counting as a look.
    std::size_t Count() const { return us_.size(); }
    // One more than the highest index looked at since Reset_Reach.
    std::size_t Reach() const { return reach_; }
    void Reset_Reach() const { reach_ = 0; }
    // How many runs from the first these and `other` share, every look at
    // them the same (their starts too).
    std::size_t Alike(const TRuns& other) const {
        if (first_sample_ != other.first_sample_) return 0;
        // All of them alike: even a look past their end finds the same.
        if (us_ == other.us_) return SIZE_MAX;
        const auto mismatch = std::mismatch(us_.begin(), us_.end(), other.us_.begin(), other.us_.end());
        return static_cast<std::size_t>(mismatch.first - us_.begin());
    }

private:
    void Note(std::size_t i) const { reach_ = std::max(reach_, i + 1); }

    std::vector<int32_t> us_;
    std::vector<int32_t> start_;
    int64_t first_sample_ = 0;
    mutable std::size_t reach_ = 0;
};

TRuns Runs_Of(TSampled_Durations sampled) { return {std::move(sampled.Durations_us), sampled.First_Sample}; }

TRuns Runs_Of(std::span<const uint8_t> levels) {
    // The durations start at the first active sample.
    const auto first = std::find_if(levels.begin(), levels.end(), [](uint8_t l) { return l != 0; }) - levels.begin();
    return Runs_Of(TSampled_Durations{Timing_Of_Levels(levels).Durations_us, first});
}

// Within a quarter of the nominal time plus three samples: each of a run's
// two edges may be a sample and a half from its true place (half a sample
// of rounding, one of capture jitter).
bool Near(int32_t us, double nominal) { return std::abs(us - nominal) <= 0.25 * nominal + 3 * Sample_Period_us; }

struct TFrame {
    TIR_Code Code;
    std::size_t Next = 0;  // the run after the frame's closing gap
};

// A space at least this long ends a frame.
constexpr int32_t Frame_Gap_us = 4000;

// A pulse-distance frame from run `r` on: the header, bits least
// significant first (each a mark and a space, short for 0 and long for 1,
// read up to the first space that is neither), the stop mark and the gap
// after it. `Count` tells how many bits were read.
struct TPulse_Frame {
    uint64_t Bits = 0;
    int Count = 0;
    std::size_t Next = 0;  // the run after the closing gap
};

std::optional<TPulse_Frame> Read_Pulse_Distance(const TRuns& runs, std::size_t r, const TProtocol_Timing& timing) {
    if (!Near(runs[r], timing.Header_Mark_us) || !Near(runs[r + 1], timing.Header_Space_us)) return std::nullopt;
    TPulse_Frame frame;
    std::size_t i = r + 2;
    const double threshold = (timing.Zero.Space_us + timing.One.Space_us) / 2;
    while (frame.Count < 64 && runs.Has(i + 1) && Near(runs[i], timing.Zero.Mark_us)) {
        const int32_t space = runs[i + 1];
        if (!Near(space, timing.Zero.Space_us) && !Near(space, timing.One.Space_us)) break;
        if (space > threshold) frame.Bits |= uint64_t{1} << frame.Count;
        ++frame.Count;
        i += 2;
    }
    if (!runs.Has(i) || !Near(runs[i], timing.Stop_Mark_us) || !runs.Gap_Or_End(i + 1, Frame_Gap_us)) {
        return std::nullopt;
    }
    frame.Next = i + 2;
    return frame;
}

uint32_t Byte(uint64_t bits, int n) { return static_cast<uint32_t>(bits >> (8 * n)) & 0xFFu; }

// Whether an NEC-shaped frame from run `r` comes at Pioneer's spacing. A
// Pioneer frame is NEC's at a 5 % faster clock, which a remote's own clock
// error covers, so its times cannot tell it; its spacing can: the next
// frame (or the end of the signal) comes 168 of the frame's own units after
// its start, where NEC's comes 192 after it. The unit is measured over the
// frame, from its first mark to its stop mark, so the rule holds whatever
// the remote's clock. Where the signal ends after the frame, its end stands
// for the next frame's start: a frame padded to Pioneer's period is
// Pioneer, one followed by a longer idle end, or cut short, is NEC.
bool At_Pioneer_Spacing(const TRuns& runs, std::size_t r, const TPulse_Frame& read) {
    const TProtocol_Timing& nec = Protocol_Timing(TProtocol::NEC);
    const TProtocol_Timing& pioneer = Protocol_Timing(TProtocol::Pioneer);
    const std::size_t stop = read.Next - 2;
    // Header, then each bit a mark and a space of one unit, a 1's two more.
    const double units =
        (nec.Header_Mark_us + nec.Header_Space_us) / nec.Unit_us + 2.0 * read.Count + 2.0 * std::popcount(read.Bits);
    const double unit = (runs.Start(stop) - runs.Start(r)) * double{Sample_Period_us} / units;
    if (unit <= 0) return false;
    const std::size_t gap = stop + 1;
    const int32_t next = runs.Has(gap + 1) ? runs.Start(gap + 1)
                         : runs.Has(gap)   ? runs.Start(gap) + runs[gap] / Sample_Period_us
                                           : runs.Start(stop) + runs[stop] / Sample_Period_us;
    const double period = (next - runs.Start(r)) * double{Sample_Period_us} / unit;
    const double pioneer_period = pioneer.Frame_Period_us / pioneer.Unit_us;
    const double nec_period = nec.Frame_Period_us / nec.Unit_us;
    const double margin = (nec_period - pioneer_period) / 2;
    return period >= pioneer_period - margin && period < pioneer_period + margin;
}

// NEC, NECext, NEC42 and NEC42ext share their timing and differ in their
// bits; Pioneer's frame is NEC's, told by its spacing.
std::optional<TFrame> Try_Nec(const TRuns& runs, std::size_t r) {
    const auto read = Read_Pulse_Distance(runs, r, Protocol_Timing(TProtocol::NEC));
    if (!read) return std::nullopt;
    const uint64_t bits = read->Bits;
    TFrame frame{{}, read->Next};
    if (read->Count == Protocol_Timing(TProtocol::NEC).Bits) {
        if ((Byte(bits, 0) ^ Byte(bits, 1)) == 0xFF && (Byte(bits, 2) ^ Byte(bits, 3)) == 0xFF) {
            const bool pioneer = At_Pioneer_Spacing(runs, r, *read);
            frame.Code = {pioneer ? TProtocol::Pioneer : TProtocol::NEC, Byte(bits, 0), Byte(bits, 2)};
        } else {
            frame.Code = {TProtocol::NECext, static_cast<uint32_t>(bits & 0xFFFF), static_cast<uint32_t>(bits >> 16)};
        }
        return frame;
    }
    if (read->Count == Protocol_Timing(TProtocol::NEC42).Bits) {
        const auto field = [&](int shift, int width) {
            return static_cast<uint32_t>(bits >> shift) & ((1u << width) - 1);
        };
        if ((field(0, 13) ^ field(13, 13)) == 0x1FFF && (field(26, 8) ^ field(34, 8)) == 0xFF) {
            frame.Code = {TProtocol::NEC42, field(0, 13), field(26, 8)};
        } else {
            frame.Code = {TProtocol::NEC42ext, field(0, 26), field(26, 16)};
        }
        return frame;
    }
    return std::nullopt;
}

bool Is_Nec_Repeat(const TRuns& runs, std::size_t r) {
    const TProtocol_Timing& nec = Protocol_Timing(TProtocol::NEC);
    return Near(runs[r], nec.Header_Mark_us) && Near(runs[r + 1], nec.Repeat_Space_us) && runs.Has(r + 2) &&
           Near(runs[r + 2], nec.Stop_Mark_us) && runs.Gap_Or_End(r + 3, Frame_Gap_us);
}

std::optional<TFrame> Try_Samsung(const TRuns& runs, std::size_t r) {
    const TProtocol_Timing& samsung = Protocol_Timing(TProtocol::Samsung32);
    const auto read = Read_Pulse_Distance(runs, r, samsung);
    if (!read || read->Count != samsung.Bits) return std::nullopt;
    const uint64_t bits = read->Bits;
    if (Byte(bits, 0) != Byte(bits, 1) || (Byte(bits, 2) ^ Byte(bits, 3)) != 0xFF) return std::nullopt;
    return TFrame{{TProtocol::Samsung32, Byte(bits, 0), Byte(bits, 2)}, read->Next};
}

// Kaseikyo: the fields from the six bytes, which must carry the parities
// the encoder gives them.
std::optional<TFrame> Try_Kaseikyo(const TRuns& runs, std::size_t r) {
    const TProtocol_Timing& kaseikyo = Protocol_Timing(TProtocol::Kaseikyo);
    const auto read = Read_Pulse_Distance(runs, r, kaseikyo);
    if (!read || read->Count != kaseikyo.Bits) return std::nullopt;
    const uint64_t bits = read->Bits;
    const auto field = [&](int shift, int width) { return static_cast<uint32_t>(bits >> shift) & ((1u << width) - 1); };
    // ID, vendor, genre 1, genre 2; the command's low nibble and high six bits.
    const uint32_t address = field(38, 2) << 24 | field(0, 16) << 8 | field(20, 4) << 4 | field(24, 4);
    const uint32_t command = field(28, 4) | field(32, 6) << 4;
    const TIR_Code code{TProtocol::Kaseikyo, address, command};
    if (Frame_Bits(code) != bits) return std::nullopt;
    return TFrame{code, read->Next};
}

// RCA: address and command, then both inverted.
std::optional<TFrame> Try_Rca(const TRuns& runs, std::size_t r) {
    const TProtocol_Timing& rca = Protocol_Timing(TProtocol::RCA);
    const auto read = Read_Pulse_Distance(runs, r, rca);
    if (!read || read->Count != rca.Bits) return std::nullopt;
    const TIR_Code code{TProtocol::RCA, static_cast<uint32_t>(read->Bits & 0xFu),
                        static_cast<uint32_t>(read->Bits >> 4 & 0xFFu)};
    if (Frame_Bits(code) != read->Bits) return std::nullopt;
    return TFrame{code, read->Next};
}

// A bi-phase signal as half-bit levels, `needed` of them, read from run `r`
// on in whole units (no run longer than `max_units`, except the space that
// ends the frame). `idle_halves` idle halves come first.
//
// At 3.6 samples a unit, rounding each run on its own goes wrong as soon as
// a receiver stretches its marks by a sample. Every edge of a bi-phase
// frame lies on the unit grid, so the grid's phase is measured over the
// frame, separately for rising and falling edges (a stretched mark moves
// only the falling ones), and each edge is placed on the unit nearest to
// it: its sampling error then never adds to another's.
//
// A remote's clock (a ceramic resonator) may be a few per cent off, which
// over the 28 halves of an RC5 frame moves the last edges by more than half
// a unit: the unit itself is measured too, as the one on whose grid the
// frame's edges lie best.
// floor(x) for the grid arithmetic below, the same value as std::floor's
// (the library call is not inlined for the baseline x86-64, and the grid
// search takes several per edge and unit step).
inline double Floor(double x) {
    if (!(std::abs(x) < 0x1p52) || x == 0) return std::floor(x);
    const auto whole = static_cast<double>(static_cast<int64_t>(x));  // toward zero
    return whole > x ? whole - 1 : whole;
}

struct TGrid {
    double Unit = 0;
    double Rise_Phase = 0, Fall_Phase = 0;  // us; they differ by less than half a unit
    int64_t Unit_Of(double edge_us, bool rising) const {
        return static_cast<int64_t>(Floor((edge_us - (rising ? Rise_Phase : Fall_Phase)) / Unit + 0.5));
    }
    // The edge's unit (Unit_Of), and whether it is on the grid. An edge of
    // a bi-phase frame is at most a sample and a half from its grid point
    // (half a sample of rounding, one of jitter), and the grid measured
    // from the edges themselves may be a quarter of a sample off near the
    // frame's end; a signal whose edges are not on any such grid is some
    // other protocol.
    struct TPlace {
        int64_t Unit;
        bool On_Grid;
    };
    TPlace Place_Of(double edge_us, bool rising) const {
        const double offset = edge_us - (rising ? Rise_Phase : Fall_Phase);
        const double unit = Floor(offset / Unit + 0.5);
        const double miss = std::abs(offset - Unit * unit);
        return {static_cast<int64_t>(unit), miss <= std::max(0.3 * Unit, 1.75 * Sample_Period_us)};
    }
};

// The most a receiver stretches or shortens a mark.
constexpr double Max_Mark_Change_us = 1.5 * Sample_Period_us;

// How far from the nominal unit a bi-phase remote's clock may be, and the
// steps in which the unit is sought over that range: fine enough that the
// nearest step's grid, its phase taken over the whole frame, is a tenth of
// a unit off at most at either end of an RC6 frame (about 45 units), so
// that the edges are numbered right from it and a fit then gives the unit
// itself.
constexpr double Biphase_Clock_Tolerance = 0.12;
constexpr double Biphase_Unit_Step = 0.01;
// The steps either side of the nominal unit.
constexpr int Biphase_Steps = 12;
static_assert(Biphase_Steps * Biphase_Unit_Step - Biphase_Clock_Tolerance < 1e-9 &&
              Biphase_Clock_Tolerance - Biphase_Steps * Biphase_Unit_Step < 1e-9);

// Room for the halves of a bi-phase frame (RC6's 44: 21 bits, one of them
// double), and for the edges of one: no more runs than halves come before
// its closing gap (Could_Be_Biphase), so a frame with more edges is none.
constexpr std::size_t Max_Halves = 48;
constexpr std::size_t Max_Edges = Max_Halves + 1;

// The edges of a frame from run `r` to the space that ends it, in samples
// from the first: rising (a mark's start) and falling (a space's start).
// All of them, rising ones first, are in `At` (their times in us in `Us`);
// the first `Rises` are the rising ones.
struct TEdges {
    std::array<int32_t, Max_Edges> At{};
    std::array<double, Max_Edges> Us{};
    std::size_t Count = 0, Rises = 0;
    int32_t Last = 0;
    std::span<const int32_t> Rise() const { return {At.data(), Rises}; }
    std::span<const int32_t> Fall() const { return {At.data() + Rises, Count - Rises}; }
};

// False when the frame has more runs than any bi-phase frame.
bool Edges_Of(const TRuns& runs, std::size_t r, TEdges& edges) {
    std::array<int32_t, Max_Edges> falls{};
    std::size_t fall_count = 0;
    edges.Count = edges.Rises = 0;
    for (std::size_t i = r; runs.Has(i); ++i) {
        const bool mark = i % 2 == 0;
        if (edges.Rises + fall_count == edges.At.size()) return false;
        edges.Last = runs.Start(i) - runs.Start(r);
        if (mark) {
            edges.At[edges.Rises++] = edges.Last;
        } else {
            falls[fall_count++] = edges.Last;
        }
        if (!mark && runs[i] >= Frame_Gap_us) break;
    }
    std::copy(falls.begin(), falls.begin() + static_cast<std::ptrdiff_t>(fall_count), edges.At.begin() + edges.Rises);
    edges.Count = edges.Rises + fall_count;
    for (std::size_t e = 0; e < edges.Count; ++e) edges.Us[e] = edges.At[e] * double{Sample_Period_us};
    return true;
}

// The unit vectors of samples 0, 1, 2 ... on a grid of `unit` us: powers of
// one sample's turn, each the one before turned by a sample (rather than a
// sine and cosine each). A frame is tried on the same few units again and
// again, so each thread keeps the vectors of the units it met, as far as
// its frames reached.
struct TTurns {
    double Unit = 0;
    std::vector<double> Cos, Sin;
};

const TTurns& Turns_Of(double unit, int32_t last) {
    constexpr double Turn = 6.283185307179586;
    constexpr std::size_t Units_Kept = 256;
    thread_local std::vector<TTurns> kept;
    // The units come in the same order frame after frame: the one after
    // the unit found last is looked at first.
    thread_local std::size_t next = 0;
    std::size_t at = next < kept.size() && kept[next].Unit == unit ? next : kept.size();
    if (at == kept.size()) {
        at = static_cast<std::size_t>(
            std::find_if(kept.begin(), kept.end(), [&](const TTurns& t) { return t.Unit == unit; }) - kept.begin());
    }
    if (at == kept.size()) {
        if (kept.size() == Units_Kept) kept.clear();
        kept.push_back({unit, {1.0}, {0.0}});
        at = kept.size() - 1;
    }
    next = at + 1;
    TTurns& turns = kept[at];
    const auto wanted = static_cast<std::size_t>(std::max(last, 0)) + 1;
    if (turns.Cos.size() < wanted) {
        const double step = Turn * Sample_Period_us / unit;
        const double step_cos = std::cos(step), step_sin = std::sin(step);
        double c = turns.Cos.back(), s = turns.Sin.back();
        turns.Cos.reserve(wanted);
        turns.Sin.reserve(wanted);
        while (turns.Cos.size() < wanted) {
            const double c2 = c * step_cos - s * step_sin;
            s = s * step_cos + c * step_sin;
            c = c2;
            turns.Cos.push_back(c);
            turns.Sin.push_back(s);
        }
    }
    return turns;
}

// The mean phase of edges on a grid of `turns.Unit` us, in us within a unit.
double Phase_Of(std::span<const int32_t> edges, const TTurns& turns, int32_t last) {
    constexpr double Turn = 6.283185307179586;
    double cos_sum = 0, sin_sum = 0;
    for (const int32_t n : edges) {
        if (n > last) break;
        cos_sum += turns.Cos[static_cast<std::size_t>(n)];
        sin_sum += turns.Sin[static_cast<std::size_t>(n)];
    }
    return std::atan2(sin_sum, cos_sum) / Turn * turns.Unit;
}

TGrid Grid_At(const TEdges& edges, double unit) {
    const TTurns& turns = Turns_Of(unit, edges.Last);
    const double rise = Phase_Of(edges.Rise(), turns, edges.Last);
    // The falling edges' phase as an offset from the rising edges' (a mark
    // is stretched or shortened by less than half a unit), so both count
    // units from the same origin.
    double fall = Phase_Of(edges.Fall(), turns, edges.Last) - rise;
    fall -= unit * Floor(fall / unit + 0.5);
    return {unit, rise, rise + fall};
}

// The unit number of each edge on `grid`, in the order of edges.At.
using TNumbering = std::array<int64_t, Max_Edges>;
//
// Each number is Unit_Of's, taken with a multiplication by the inverse unit
// instead of its division: the two differ by less than 1e-12 units within a
// frame, so where the product lies further than 1e-9 from a whole unit it
// rounds as the quotient does, and nearer (or far out) the division decides.
void Number_Edges(const TEdges& edges, const TGrid& grid, TNumbering& units) {
    const double per_unit = 1 / grid.Unit;
    const std::size_t bounds[3] = {0, edges.Rises, edges.Count};
    for (std::size_t side = 0; side < 2; ++side) {
        const double phase = side == 0 ? grid.Rise_Phase : grid.Fall_Phase;
        for (std::size_t e = bounds[side]; e < bounds[side + 1]; ++e) {
            const double x = (edges.Us[e] - phase) * per_unit + 0.5;
            const double whole = Floor(x);
            const bool clear = std::abs(x) < 0x1p20 && x - whole > 1e-9 && x - whole < 1 - 1e-9;
            units[e] = clear ? static_cast<int64_t>(whole) : grid.Unit_Of(edges.Us[e], side == 0);
        }
    }
}

// The mean time of the rising edges and of the falling ones, in us.
struct TMean_Times {
    double Of[2] = {0, 0};
};

TMean_Times Mean_Times(const TEdges& edges) {
    TMean_Times mean;
    const std::size_t bounds[3] = {0, edges.Rises, edges.Count};
    for (std::size_t side = 0; side < 2; ++side) {
        double sum = 0;
        for (std::size_t e = bounds[side]; e < bounds[side + 1]; ++e) sum += edges.Us[e];
        mean.Of[side] = sum / static_cast<double>(bounds[side + 1] - bounds[side]);
    }
    return mean;
}

// The least-squares line through the edges against their unit numbers
// (Number_Edges): one slope, the unit, and an intercept each for rising and
// falling edges, their phases. Nothing when there is too little to fit.
std::optional<TGrid> Fitted_Grid(const TEdges& edges, const TMean_Times& mean_t, const TNumbering& units) {
    if (edges.Rises == 0 || edges.Rises == edges.Count) return std::nullopt;
    // Rising edges first, then falling ones, each side about its own means.
    const std::size_t bounds[3] = {0, edges.Rises, edges.Count};
    double mean_k[2] = {0, 0};
    for (std::size_t side = 0; side < 2; ++side) {
        double sum = 0;
        for (std::size_t e = bounds[side]; e < bounds[side + 1]; ++e) sum += static_cast<double>(units[e]);
        mean_k[side] = sum / static_cast<double>(bounds[side + 1] - bounds[side]);
    }
    double covariance = 0, variance = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        for (std::size_t e = bounds[side]; e < bounds[side + 1]; ++e) {
            const double k = static_cast<double>(units[e]) - mean_k[side];
            covariance += k * (edges.Us[e] - mean_t.Of[side]);
            variance += k * k;
        }
    }
    if (variance <= 0) return std::nullopt;
    const double unit = covariance / variance;
    return TGrid{unit, mean_t.Of[0] - unit * mean_k[0], mean_t.Of[1] - unit * mean_k[1]};
}

// How far the edges lie from the grid: the sum of their squared misses in
// us (a capture's errors are in samples, whatever the unit).
double Misfit(const TEdges& edges, const TGrid& grid) {
    double sum = 0;
    const std::size_t bounds[3] = {0, edges.Rises, edges.Count};
    for (std::size_t side = 0; side < 2; ++side) {
        const double phase = side == 0 ? grid.Rise_Phase : grid.Fall_Phase;
        for (std::size_t e = bounds[side]; e < bounds[side + 1]; ++e) {
            const double units = (edges.Us[e] - phase) / grid.Unit;
            const double miss = (units - Floor(units + 0.5)) * grid.Unit;
            sum += miss * miss;
        }
    }
    return sum;
}

// How many of the best grids a frame is tried on.
constexpr std::size_t Grids_Tried = 8;

struct TCandidates {
    std::array<TGrid, Grids_Tried> Grids{};
    std::size_t Count = 0;
    const TGrid* begin() const { return Grids.data(); }
    const TGrid* end() const { return Grids.data() + Count; }
};

// The grids the edges may lie on, the best first, their units within the
// clock tolerance of `nominal`. From each step of the range the edges are
// numbered on that step's grid and a line is fitted through them; the fits
// that leave the edges closest to their grid come first. At 3.6 samples a
// unit a sample of jitter is a third of a unit, so a grid of another unit
// can fit a frame almost as well as the true one: the caller tries the best
// few, and only the true one reads as a whole frame.
TCandidates Candidate_Grids(const TRuns& runs, std::size_t r, double nominal) {
    TCandidates candidates;
    TEdges edges;
    if (!Edges_Of(runs, r, edges)) return candidates;
    const TMean_Times mean_t = Mean_Times(edges);
    std::array<std::pair<double, TGrid>, 2 * Biphase_Steps + 1> fits;
    std::size_t fit_count = 0;
    // Neighbouring steps often number the edges alike, and the same numbers
    // fit the same line: a numbering like the step before's keeps its fit.
    TNumbering units{}, previous{};
    std::optional<TGrid> fit;
    bool have_previous = false;
    for (int k = -Biphase_Steps; k <= Biphase_Steps; ++k) {
        TGrid grid = Grid_At(edges, nominal * (1 + k * Biphase_Unit_Step));
        Number_Edges(edges, grid, units);
        if (!have_previous ||
            !std::equal(units.begin(), units.begin() + static_cast<std::ptrdiff_t>(edges.Count), previous.begin())) {
            fit = Fitted_Grid(edges, mean_t, units);
            std::swap(units, previous);
            have_previous = true;
        }
        const TGrid fitted = fit.value_or(grid);
        if (std::abs(fitted.Unit / nominal - 1) <= Biphase_Clock_Tolerance) grid = fitted;
        // Marks stretched or shortened by more than a sample and a half are
        // not a receiver's doing: not this grid.
        if (std::abs(grid.Fall_Phase - grid.Rise_Phase) > Max_Mark_Change_us) continue;
        // Steps whose fits end on the same unit give one grid.
        const bool seen =
            std::any_of(fits.begin(), fits.begin() + static_cast<std::ptrdiff_t>(fit_count),
                        [&](const auto& f) { return std::abs(f.second.Unit - grid.Unit) < 1e-6 * nominal; });
        if (!seen) fits[fit_count++] = {Misfit(edges, grid), grid};
    }
    std::sort(fits.begin(), fits.begin() + static_cast<std::ptrdiff_t>(fit_count),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    // Phases from the first edge; Read_Halves counts from the signal's start.
    const double origin = runs.Start(r) * double{Sample_Period_us};
    for (std::size_t i = 0; i < fit_count && i < Grids_Tried; ++i) {
        const TGrid& grid = fits[i].second;
        candidates.Grids[candidates.Count++] = {grid.Unit, grid.Rise_Phase + origin, grid.Fall_Phase + origin};
    }
    return candidates;
}

struct THalves {
    std::array<uint8_t, Max_Halves> Levels{};
    std::size_t Count = 0;
    std::size_t Next = 0;
    void Add(std::size_t n, uint8_t level) {
        std::fill_n(Levels.begin() + static_cast<std::ptrdiff_t>(Count), n, level);
        Count += n;
    }
};

std::optional<THalves> Read_Halves(const TRuns& runs, std::size_t r, const TGrid& grid, std::size_t idle_halves,
                                   std::size_t needed, int max_units) {
    THalves halves;
    if (needed > halves.Levels.size() || idle_halves > needed) return std::nullopt;
    halves.Add(idle_halves, 0);
    const int64_t first_unit =
        grid.Unit_Of(runs.Start(r) * double{Sample_Period_us}, true) - static_cast<int64_t>(idle_halves);
    std::size_t i = r;
    for (; runs.Has(i) && halves.Count < needed; ++i) {
        const bool mark = i % 2 == 0;
        const double end_us = runs.Start(i) * double{Sample_Period_us} + runs[i];
        // The gap's end is the next frame's start, on a grid of its own.
        const bool gap = !mark && runs[i] >= Frame_Gap_us;
        const TGrid::TPlace place = grid.Place_Of(end_us, !mark);
        if (!gap && !place.On_Grid) return std::nullopt;
        const int64_t end_unit = place.Unit - first_unit;
        const int64_t so_far = static_cast<int64_t>(halves.Count);
        const auto units = static_cast<std::size_t>(std::max<int64_t>(end_unit - so_far, 0));
        const std::size_t missing = needed - halves.Count;
        if (units == 0) return std::nullopt;
        if (mark && (units > static_cast<std::size_t>(max_units) || units > missing)) return std::nullopt;
        if (!mark && units > missing) {
            // The frame's last half runs into the gap after it.
            if (missing > static_cast<std::size_t>(max_units) || runs[i] < Frame_Gap_us) return std::nullopt;
            halves.Add(missing, 0);
            halves.Next = i + 1;
            return halves;
        }
        if (!mark && units > static_cast<std::size_t>(max_units)) return std::nullopt;
        halves.Add(units, mark ? 1 : 0);
    }
    if (halves.Count < needed) {
        // The signal ended during a final space that belongs to the frame.
        if (i % 2 != 0 || needed - halves.Count > static_cast<std::size_t>(max_units)) return std::nullopt;
        halves.Add(needed - halves.Count, 0);
        halves.Next = i;
        return halves;
    }
    // Ended exactly on a mark's end: the gap must follow.
    if (!runs.Gap_Or_End(i, Frame_Gap_us)) return std::nullopt;
    halves.Next = i + 1;
    return halves;
}

// A bit from two halves: `mark_first` is the order that means 1.
std::optional<uint32_t> Bit(const THalves& h, std::size_t at, bool one_mark_first) {
    if (h.Levels[at] == h.Levels[at + 1]) return std::nullopt;
    const bool mark_first = h.Levels[at] != 0;
    return mark_first == one_mark_first ? 1u : 0u;
}

std::optional<uint32_t> Bits(const THalves& h, std::size_t at, int count, bool one_mark_first) {
    uint32_t value = 0;
    for (int k = 0; k < count; ++k) {
        const auto bit = Bit(h, at + 2 * static_cast<std::size_t>(k), one_mark_first);
        if (!bit) return std::nullopt;
        value = value << 1 | *bit;
    }
    return value;
}

// The halves of a bi-phase frame, its long bit counting twice.
std::size_t Frame_Halves(const TProtocol_Timing& timing) {
    return 2 * static_cast<std::size_t>(timing.Bits) + (timing.Long_Bit >= 0 ? 2 : 0);
}

// The longest run of one level in units: two halves of two bits, or a long
// half beside a short one.
int Longest_Run_Units(const TProtocol_Timing& timing) { return timing.Long_Bit >= 0 ? 3 : 2; }

// Whether the runs from `r` to the frame's closing gap could be a bi-phase
// frame of `timing` at all: none longer than its longest run at the slowest
// clock, and no more of them than the frame has halves. It spares the grid
// search on other protocols' frames.
bool Could_Be_Biphase(const TRuns& runs, std::size_t r, const TProtocol_Timing& timing) {
    const double longest =
        Longest_Run_Units(timing) * timing.Unit_us * (1 + Biphase_Clock_Tolerance) + 2 * Sample_Period_us;
    std::size_t count = 0;
    for (std::size_t i = r; runs.Has(i); ++i, ++count) {
        if (i % 2 != 0 && runs[i] >= Frame_Gap_us) break;
        if (runs[i] > longest || count >= Frame_Halves(timing)) return false;
    }
    return count > 0;
}

// The frame that `read` makes of the halves read on the first of the
// candidate grids that gives one.
template <typename TRead>
std::optional<TFrame> First_Frame(const TRuns& runs, std::size_t r, const TProtocol_Timing& timing,
                                  std::size_t idle_halves, TRead read) {
    if (!runs.Has(r) || !Could_Be_Biphase(runs, r, timing)) return std::nullopt;
    for (const TGrid& grid : Candidate_Grids(runs, r, timing.Unit_us)) {
        const auto halves = Read_Halves(runs, r, grid, idle_halves, Frame_Halves(timing), Longest_Run_Units(timing));
        if (!halves) continue;
        if (auto frame = read(*halves)) return frame;
    }
    return std::nullopt;
}

// RC5 and RC5X: the first start bit (a 1) opens with an idle half.
std::optional<TFrame> Try_Rc5(const TRuns& runs, std::size_t r) {
    const TProtocol_Timing& rc5 = Protocol_Timing(TProtocol::RC5);
    return First_Frame(runs, r, rc5, 1, [&](const THalves& halves) -> std::optional<TFrame> {
        const auto bits = Bits(halves, 0, rc5.Bits, rc5.One_Mark_First);
        if (!bits || (*bits >> 13) != 1) return std::nullopt;
        const bool field = ((*bits >> 12) & 1u) != 0;
        const uint32_t address = (*bits >> 6) & 0x1Fu;
        const uint32_t command = (*bits & 0x3Fu) | (field ? 0u : 0x40u);
        return TFrame{{field ? TProtocol::RC5 : TProtocol::RC5X, address, command}, halves.Next};
    });
}

// Whether the runs from `r` on could open an RC6 frame on any grid the
// search tries. Its start bit 1, mode 000 and toggle bit put the ends of
// its first eight runs at units 1, 3, 4, 5, 6, 7, then 8 and 10 (toggle 0),
// or 10 and 12 or 13 (toggle 1, the first data bit 1 or 0), each end within
// the grid's tolerance of its point. So any two ends are their units apart
// within twice that (and the most a mark may change, for a rising and a
// falling end), which bounds the unit; when for none of the three no unit
// in the search's range meets every bound, no grid reads the frame as RC6,
// and the search is spared (SIRC's frames have a leader like RC6's). A
// frame that ends or pauses before its eighth run is left to the search.
bool Could_Open_Rc6(const TRuns& runs, std::size_t r, double nominal) {
    constexpr std::size_t Ends = 8;
    constexpr int Units_Of_Ends[3][Ends] = {
        {1, 3, 4, 5, 6, 7, 8, 10}, {1, 3, 4, 5, 6, 7, 10, 12}, {1, 3, 4, 5, 6, 7, 10, 13}};
    // Room for the rounding of the grid's own arithmetic.
    constexpr double Slack_us = 1e-3;
    double end_us[Ends];
    for (std::size_t i = 0; i < Ends; ++i) {
        if (!runs.Has(r + i) || (i % 2 == 1 && runs[r + i] >= Frame_Gap_us)) return true;
        end_us[i] = runs.Start(r + i) * double{Sample_Period_us} + runs[r + i];
    }
    for (const auto& units_of_ends : Units_Of_Ends) {
        double low = nominal * (1 - Biphase_Clock_Tolerance) * (1 - 1e-9);
        double high = nominal * (1 + Biphase_Clock_Tolerance) * (1 + 1e-9);
        const double miss = std::max(0.3 * high, 1.75 * Sample_Period_us) + Slack_us;
        for (std::size_t a = 0; a < Ends; ++a) {
            for (std::size_t b = a + 1; b < Ends; ++b) {
                const double apart = end_us[b] - end_us[a];
                const double room = 2 * miss + ((b - a) % 2 != 0 ? Max_Mark_Change_us + Slack_us : 0);
                const int units = units_of_ends[b] - units_of_ends[a];
                low = std::max(low, (apart - room) / units);
                high = std::min(high, (apart + room) / units);
            }
        }
        if (low <= high) return true;
    }
    return false;
}

std::optional<TFrame> Try_Rc6(const TRuns& runs, std::size_t r) {
    const TProtocol_Timing& rc6 = Protocol_Timing(TProtocol::RC6);
    if (!Near(runs[r], rc6.Header_Mark_us) || !Near(runs[r + 1], rc6.Header_Space_us)) return std::nullopt;
    if (!Could_Open_Rc6(runs, r + 2, rc6.Unit_us)) return std::nullopt;
    // Start bit, three mode bits, the double-length toggle bit, 16 data bits.
    return First_Frame(runs, r + 2, rc6, 0, [&](const THalves& halves) -> std::optional<TFrame> {
        const auto& h = halves.Levels;
        const auto head = Bits(halves, 0, 4, rc6.One_Mark_First);
        const bool toggle_ok = h[8] == h[9] && h[10] == h[11] && h[9] != h[10];
        const auto data = Bits(halves, 12, 16, rc6.One_Mark_First);
        if (!head || *head != 0b1000 || !toggle_ok || !data) return std::nullopt;
        return TFrame{{TProtocol::RC6, *data >> 8, *data & 0xFFu}, halves.Next};
    });
}

// How far from nominal a pulse-width remote's clock is taken to be.
constexpr double Pulse_Clock_Tolerance = 0.15;

// SIRC, SIRC15 and SIRC20 share their timing and differ in their length.
// Read as the header mark, then a space and a mark per bit, so that the
// frame's last space is the gap.
std::optional<TFrame> Try_Sirc(const TRuns& runs, std::size_t r) {
    const TProtocol_Timing& sirc = Protocol_Timing(TProtocol::SIRC);
    if (!Near(runs[r], sirc.Header_Mark_us)) return std::nullopt;
    std::size_t i = r + 1;
    uint32_t bits = 0;
    int count = 0;
    // Halfway between a 0's and a 1's mark, at the remote's own clock as its
    // leader mark tells it (a remote 10 % slow has one marks of 1080 us,
    // which a sample of jitter brings near the nominal midpoint).
    const double clock =
        std::clamp(runs[r] / sirc.Header_Mark_us, 1 - Pulse_Clock_Tolerance, 1 + Pulse_Clock_Tolerance);
    const double threshold = clock * (sirc.Zero.Mark_us + sirc.One.Mark_us) / 2;
    // The space before each bit's mark: the header's, then the bit before's
    // (a 0's and a 1's are the same).
    while (count < Protocol_Timing(TProtocol::SIRC20).Bits && runs.Has(i + 1) &&
           Near(runs[i], count == 0 ? sirc.Header_Space_us : sirc.Zero.Space_us)) {
        const int32_t mark = runs[i + 1];
        if (!Near(mark, sirc.Zero.Mark_us) && !Near(mark, sirc.One.Mark_us)) return std::nullopt;
        if (mark > threshold) bits |= 1u << count;
        ++count;
        i += 2;
    }
    if (!runs.Gap_Or_End(i, Frame_Gap_us)) return std::nullopt;
    const uint32_t command = bits & 0x7Fu;
    const uint32_t address = bits >> 7;
    for (const TProtocol protocol : {TProtocol::SIRC, TProtocol::SIRC15, TProtocol::SIRC20}) {
        if (count == Protocol_Timing(protocol).Bits) return TFrame{{protocol, address, command}, i + 1};
    }
    return std::nullopt;
}

// RC5 before SIRC: an RC5 frame opening with two marked halves (1.8 ms) is
// within reach of Sony's 2.4 ms leader, while no RC5 mark is as long as that.
std::optional<TFrame> Try_Any(const TRuns& runs, std::size_t r) {
    for (const auto& decoder : {Try_Nec, Try_Samsung, Try_Kaseikyo, Try_Rca, Try_Rc6, Try_Rc5, Try_Sirc}) {
        if (auto frame = decoder(runs, r)) return frame;
    }
    return std::nullopt;
}

bool Nec_Family(TProtocol protocol) {
    return protocol == TProtocol::NEC || protocol == TProtocol::NECext || protocol == TProtocol::NEC42 ||
           protocol == TProtocol::NEC42ext;
}

// The same frame again. Pioneer's and NEC's frames differ only in their
// spacing, which the last frame of a held Pioneer key, followed by a
// capture's idle end, does not show: it still repeats the first.
bool Same_Frame(const TIR_Code& first, const TIR_Code& again) {
    const auto shape = [](TProtocol p) { return p == TProtocol::Pioneer ? TProtocol::NEC : p; };
    return shape(first.Protocol) == shape(again.Protocol) && first.Address == again.Address &&
           first.Command == again.Command;
}

std::string Hex_Field(uint32_t value, uint32_t max) { return Hex_Number(value, max > 0xFF ? 4 : 2); }

// What Try_Any or Is_Nec_Repeat found at run R, and how far into the runs
// it looked to find it.
struct TLook {
    std::size_t R = 0;
    bool Repeat_Check = false;
    std::optional<TFrame> Frame;  // Try_Any's
    bool Repeat = false;          // Is_Nec_Repeat's
    std::size_t Reach = 0;
};

// The looks of a decode kept for a second one of runs alike below `Alike`:
// a look that stayed below finds the same there.
struct TLooks {
    std::vector<TLook> Kept;
    bool Keeping = true;
    std::size_t Alike = 0;
};

std::optional<TDecoded> Decode_Runs(const TRuns& runs, TLooks* looks = nullptr) {
    const auto look = [&](std::size_t r, bool repeat_check) -> TLook {
        if (looks != nullptr && !looks->Keeping) {
            for (const TLook& kept : looks->Kept) {
                if (kept.R == r && kept.Repeat_Check == repeat_check && kept.Reach <= looks->Alike) return kept;
            }
        }
        runs.Reset_Reach();
        TLook found{r, repeat_check, {}, false, 0};
        if (repeat_check) {
            found.Repeat = Is_Nec_Repeat(runs, r);
        } else {
            found.Frame = Try_Any(runs, r);
        }
        found.Reach = runs.Reach();
        if (looks != nullptr && looks->Keeping) looks->Kept.push_back(found);
        return found;
    };
    if (!runs.Has(0)) return std::nullopt;
    const auto first = look(0, false).Frame;
    if (!first) return std::nullopt;
    TDecoded decoded{first->Code, 0, runs.Start(0), runs.Start(0)};
    std::size_t r = first->Next;
    while (runs.Has(r)) {
        if (Nec_Family(decoded.Code.Protocol) && look(r, true).Repeat) {
            decoded.Last_Frame_Start = runs.Start(r);
            r += 4;
        } else if (const auto again = look(r, false).Frame; again && Same_Frame(decoded.Code, again->Code)) {
            decoded.Last_Frame_Start = runs.Start(r);
            r = again->Next;
        } else {
            break;
        }
        ++decoded.Repeats;
    }
    return decoded;
}

// The durations a long signal's opening is first looked at in: more than
// the runs of any frame a decoder reads.
constexpr std::size_t Opening_Durations = 160;

// Whether a long signal opens with no frame a decoder knows, found from its
// first Opening_Durations durations alone. Sampled on their own, they give
// the runs of the whole signal up to their last mark (which a mark after
// them may lengthen), so a look that stayed below that mark finds in the
// whole signal what it found in them. An air conditioner's frame of
// hundreds of durations is then not sampled whole only to be told unknown.
// False when the signal is short or the look reached too far: decode it
// whole.
bool Opens_No_Frame(std::span<const int32_t> durations_us, int32_t max_samples) {
    if (durations_us.size() <= 2 * Opening_Durations) return false;
    const std::span<const int32_t> opening = durations_us.first(Opening_Durations);
    // Cut by the sample limit, the runs would end differently.
    if (Sampled_Length(opening, INT32_MAX) >= max_samples) return false;
    const TRuns runs = Runs_Of(Sampled_Durations(opening, max_samples));
    if (runs.Count() < 2) return false;
    const std::size_t last_mark = (runs.Count() - 1) & ~std::size_t{1};  // marks at even indexes
    runs.Reset_Reach();
    const bool none = !Try_Any(runs, 0);
    return none && runs.Reach() <= last_mark;
}

}  // namespace

std::optional<TDecoded> Decode_Levels(std::span<const uint8_t> levels) { return Decode_Runs(Runs_Of(levels)); }

std::optional<TDecoded> Decode_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                         int32_t min_samples) {
    if (Opens_No_Frame(durations_us, max_samples)) return std::nullopt;
    return Decode_Runs(Runs_Of(Sampled_Durations(durations_us, max_samples, min_samples)));
}

std::optional<TDecoded> Decode_Durations_Again(
    std::span<const int32_t> durations_us, int32_t max_samples,
    const std::function<int32_t(const std::optional<TDecoded>&)>& min_samples) {
    // A longer idle end leaves the opening as it is.
    if (Opens_No_Frame(durations_us, max_samples)) return std::nullopt;
    TSampled_Durations sampled = Sampled_Durations(durations_us, max_samples);
    const TRuns first_runs = Runs_Of(std::move(sampled));
    TLooks looks;
    const std::optional<TDecoded> first = Decode_Runs(first_runs, &looks);
    const int32_t length = min_samples(first);
    // No longer than they are: the same levels, the same decode. (The
    // longer length is Sampled_Length(durations_us, max_samples, length).)
    const int64_t own_length = Sampled_Length(durations_us, max_samples);
    if (std::min(std::max(own_length, int64_t{length}), int64_t{std::max(max_samples, 0)}) == own_length) return first;
    const TRuns runs = Runs_Of(Sampled_Durations(durations_us, max_samples, length));
    looks.Keeping = false;
    looks.Alike = first_runs.Alike(runs);
    return Decode_Runs(runs, &looks);
}

std::string Describe_Code(const TIR_Code& code) {
    const TProtocol_Info& info = Protocol_Info(code.Protocol);
    return std::string(info.Name) + "  address " + Hex_Field(code.Address, info.Address_Max) + "  command " +
           Hex_Field(code.Command, info.Command_Max);
}

std::string Describe_Decoded(const std::optional<TDecoded>& decoded) {
    if (!decoded) return "Unknown protocol";
    std::string text = Describe_Code(decoded->Code);
    if (decoded->Repeats > 0) {
        text += "  (+" + std::to_string(decoded->Repeats) + (decoded->Repeats == 1 ? " repeat)" : " repeats)");
    }
    return text;
}

}  // namespace qev
