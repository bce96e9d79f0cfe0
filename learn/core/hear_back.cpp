#include "learn/core/hear_back.h"

#include "base/sample_grid.h"
#include "irport/port_library.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qev {
namespace {

// The sample indexes where the levels change, counted from the first mark.
std::vector<int64_t> Edges_From_First_Mark(const std::vector<uint8_t>& levels) {
    std::vector<int64_t> edges;
    const auto first = std::find_if(levels.begin(), levels.end(), [](uint8_t level) { return level != 0; });
    if (first == levels.end()) return edges;
    const auto start = first - levels.begin();
    for (auto i = start + 1; i < static_cast<std::ptrdiff_t>(levels.size()); ++i) {
        if ((levels[static_cast<std::size_t>(i)] != 0) != (levels[static_cast<std::size_t>(i - 1)] != 0))
            edges.push_back(i - start);
    }
    // A signal ends on a mark's end; the idle after it is not an edge.
    return edges;
}

}  // namespace

bool Can_Hear_Back(const TQEV_State& state) {
    const int features = state.Port.Signal_Features();
    return (features & Signal_Send) != 0 && (features & Signal_Receive) != 0 &&
           state.Port.Signal_Functions().IoSignalReceive != nullptr;
}

THear_Back_Result Test_Hear_Back(TQEV_State& state) {
    if (!Can_Hear_Back(state)) {
        return {THear_Back::Cannot,
                "Hearing back needs a port that sends and receives whole signals (a kernel IR "
                "device); " +
                    state.Port_Summary() + " does not."};
    }
    const int32_t count = std::clamp(state.Samples.Sample_Count, 0, state.Samples.Capacity());
    std::vector<uint8_t> sent(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) sent[static_cast<std::size_t>(i)] = state.Samples[i] != 0 ? 1 : 0;

    // The listener gives up the receiver for the whole test; the receive
    // waits before the send begins, or the device's reading away of what
    // came in before it would take the send's start.
    const TListener::TPause pause(state.Listener);
    std::vector<unsigned> durations(IO_SIGNAL_MAX);
    std::atomic<bool> receiving{false};
    int got = 0;
    std::string error;
    const auto receive = state.Port.Signal_Functions().IoSignalReceive;
    std::thread receiver([&] {
        receiving = true;
        got = receive(durations.data(), static_cast<int>(durations.size()), Hear_Back_Wait_Ms, Hear_Back_End_Gap_Us,
                      2'000'000);
        if (got < 0) error = state.Port.Signal_Error();
    });
    while (!receiving) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    state.Transmit_Command();
    receiver.join();

    if (got < 0) return {THear_Back::Cannot, "The receiver failed: " + error};
    if (got == 0) return {THear_Back::Nothing_Heard, "Nothing heard back within 1 s."};
    std::vector<int32_t> heard_us(durations.begin(), durations.begin() + got);
    heard_us.push_back(static_cast<int32_t>(Hear_Back_End_Gap_Us));
    const std::vector<uint8_t> heard =
        Levels_Of_Durations(heard_us, static_cast<int32_t>(Sample_Of_us(2'000'000 + Hear_Back_End_Gap_Us)));

    const std::vector<int64_t> a = Edges_From_First_Mark(sent);
    const std::vector<int64_t> b = Edges_From_First_Mark(heard);
    if (a.size() != b.size()) {
        return {THear_Back::Different, "Heard back, but not the same: " + std::to_string(b.size() / 2 + 1) +
                                           " marks where " + std::to_string(a.size() / 2 + 1) + " were sent."};
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int64_t off = b[i] > a[i] ? b[i] - a[i] : a[i] - b[i];
        if (off > 1) {
            return {THear_Back::Different,
                    "Heard back, but edge " + std::to_string(i + 1) + " is " + std::to_string(off) + " samples off."};
        }
    }
    return {THear_Back::Same, "Heard back: the same, every edge within one sample."};
}

}  // namespace qev
