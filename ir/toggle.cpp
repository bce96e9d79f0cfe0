#include "ir/toggle.h"

#include "base/sample_grid.h"
#include "ir/decoder.h"
#include "ir/protocol_timing.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace qev {
namespace {

// A space this long ends a frame (4 ms, as the decoder takes it).
constexpr int32_t Frame_End_Samples = 4000 / Sample_Period_us;

// Where the toggle bit lies, in the protocol's units from the frame's first
// mark, and which level its first half has when it is 1.
struct TToggle_Cell {
    int First_Unit;
    int Last_Unit;  // one past
    uint8_t One_First_Level;
};

std::optional<TToggle_Cell> Cell_Of(TProtocol protocol) {
    switch (protocol) {
        case TProtocol::RC5:
        case TProtocol::RC5X:
            // The first start bit's mark is its second half; the toggle is
            // the third bit (units 4 and 5 of the frame), a 1 space first.
            return TToggle_Cell{3, 5, 0};
        case TProtocol::RC6:
            // Leader (8 units), start bit and three mode bits (8 units), then
            // the toggle with halves of two units, a 1 mark first.
            return TToggle_Cell{16, 20, 1};
        default:
            return std::nullopt;
    }
}

bool Toggle_Of_Press(TProtocol protocol, int64_t press) {
    return protocol == TProtocol::RC6 ? Rc6_Toggle_Of_Press(press) : Rc5_Toggle_Of_Press(press);
}

// An edge of a frame: its sample and its place in whole units from the
// frame's first mark.
struct TEdge {
    std::size_t Sample;
    int64_t Unit;
};

// The frame's edges from its first mark at `start` up to the space that ends
// it, placed on units of the remote's own clock: each run is rounded to whole
// units of the length measured so far, so a remote a few per cent off stays
// on its grid. `end` becomes the sample where the closing space starts.
std::vector<TEdge> Frame_Edges(std::span<const uint8_t> levels, std::size_t start, double unit_samples,
                               std::size_t& end) {
    std::vector<TEdge> edges{{start, 0}};
    std::size_t i = start;
    while (i < levels.size()) {
        const bool mark = levels[i] != 0;
        std::size_t j = i;
        while (j < levels.size() && (levels[j] != 0) == mark) ++j;
        if (!mark && (j - i >= Frame_End_Samples || j == levels.size())) break;
        if (j == levels.size()) {
            i = j;
            break;
        }
        const double run = static_cast<double>(j - i);
        const int64_t unit = edges.back().Unit + std::max<int64_t>(1, std::lround(run / unit_samples));
        edges.push_back({j, unit});
        unit_samples = static_cast<double>(j - start) / static_cast<double>(unit);
        i = j;
    }
    end = i;
    return edges;
}

// The sample of a unit boundary: the edge on it, or between the edges
// around it in proportion.
std::size_t Sample_Of_Unit(const std::vector<TEdge>& edges, int64_t unit) {
    for (std::size_t k = 1; k < edges.size(); ++k) {
        if (edges[k].Unit < unit) continue;
        if (edges[k].Unit == unit) return edges[k].Sample;
        const TEdge& a = edges[k - 1];
        const TEdge& b = edges[k];
        const double share = static_cast<double>(unit - a.Unit) / static_cast<double>(b.Unit - a.Unit);
        return a.Sample + static_cast<std::size_t>(std::lround(share * static_cast<double>(b.Sample - a.Sample)));
    }
    return edges.back().Sample;
}

std::size_t First_Mark(std::span<const uint8_t> levels, std::size_t from) {
    while (from < levels.size() && levels[from] == 0) ++from;
    return from;
}

}  // namespace

bool Rc5_Toggle_Of_Press(int64_t press) { return press % 2 != 0; }
bool Rc6_Toggle_Of_Press(int64_t press) { return press % 2 == 0; }

bool Set_Press_Toggle(std::span<uint8_t> levels, int64_t press) {
    std::size_t start = First_Mark(levels, 0);
    const std::optional<TDecoded> first = Decode_Levels(levels.subspan(start));
    if (!first) return false;
    const std::optional<TToggle_Cell> cell = Cell_Of(first->Code.Protocol);
    if (!cell) return false;
    const double unit_samples = Protocol_Timing(first->Code.Protocol).Unit_us / Sample_Period_us;
    const uint8_t one_first = cell->One_First_Level;
    const bool toggle = Toggle_Of_Press(first->Code.Protocol, press);
    while (start < levels.size()) {
        std::size_t end = start;
        const std::vector<TEdge> edges = Frame_Edges(levels, start, unit_samples, end);
        if (edges.back().Unit >= cell->Last_Unit) {
            const std::size_t from = Sample_Of_Unit(edges, cell->First_Unit);
            const std::size_t to = Sample_Of_Unit(edges, cell->Last_Unit);
            const bool is_one = (levels[from] != 0) == (one_first != 0);
            if (is_one != toggle) {
                for (std::size_t s = from; s < to; ++s) levels[s] = levels[s] != 0 ? 0 : 1;
            }
        }
        start = First_Mark(levels, end);
        if (start >= levels.size()) break;
        const std::optional<TDecoded> next = Decode_Levels(levels.subspan(start));
        if (!next || next->Code != first->Code) break;
    }
    return true;
}

}  // namespace qev
