// Whether a received signal is a learned one, when neither decodes to a
// known protocol: a comparison of the two sampled waveforms that allows for
// a remote whose clock is a few per cent off and for a receiver that moves
// edges by a sample or two.
#ifndef QEV_IR_SIGNAL_MATCH_H
#define QEV_IR_SIGNAL_MATCH_H

#include <cstdint>
#include <span>

namespace qev {

// How far the two may differ: the heard signal's length over the learned
// one's within 1 ± Match_Clock_Tolerance, and after scaling by that ratio
// each run (mark or space) within Match_Run_Tolerance of its own length or
// Match_Run_Slack_Samples, whichever is more.
constexpr double Match_Clock_Tolerance = 0.10;
constexpr double Match_Run_Tolerance = 0.25;
constexpr int32_t Match_Run_Slack_Samples = 2;

// Whether `heard` (one signal, as a receiver ends it after a silence) is the
// learned waveform or its beginning: idle time before the first mark and
// after the last does not count; the heard signal's runs must match the
// learned one's first runs one for one, and the learned signal must end
// there or pause there for at least as long as the heard one's silence
// could have been (`end_gap_samples`), so that a signal is never taken for
// the first part of a longer one. Empty signals match nothing.
bool Same_Signal(std::span<const uint8_t> heard, std::span<const uint8_t> learned, int32_t end_gap_samples);

}  // namespace qev

#endif
