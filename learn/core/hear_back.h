// The capture dialog's Test with "Hear it back": on a port that takes whole
// signals and also receives (a kernel IR device whose receiver hears its own
// transmitter, as rc-loopback does, or an LED facing the receiver), the
// command is sent once while the receiver listens, and what came back is
// compared with what was sent: the same samples, every edge within one
// sample of its place. A closed-loop check of the transmitter, the receiver
// and the timing between them.
#ifndef QEV_LEARN_CORE_HEAR_BACK_H
#define QEV_LEARN_CORE_HEAR_BACK_H

#include "app/core/qev_state.h"

#include <cstdint>
#include <string>

namespace qev {

// How long the receiver waits for the sent signal to begin, and the silence
// that ends it.
constexpr int Hear_Back_Wait_Ms = 1000;
constexpr unsigned Hear_Back_End_Gap_Us = 20'000;

enum class THear_Back { Same, Different, Nothing_Heard, Cannot };

struct THear_Back_Result {
    THear_Back Outcome = THear_Back::Cannot;
    // "Heard back: the same, every edge within one sample.", "Heard back,
    // but edge 12 is 3 samples off.", "Nothing heard back within 1 s.", or
    // why it cannot be done.
    std::string Text;
};

// Whether the port can hear a send back: it sends and receives whole signals.
bool Can_Hear_Back(const TQEV_State& state);

// Sends the buffer's first Sample count samples once, as Test does, while
// the port's receiver listens (listening for keys pauses meanwhile), and
// compares what came back.
THear_Back_Result Test_Hear_Back(TQEV_State& state);

}  // namespace qev

#endif
