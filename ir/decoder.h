// Naming what a sampled waveform is: its protocol, address and command, and
// how many frames followed the first.
//
// The decoder works on the runs of the 8 kHz levels. A run is only known to
// the nearest sample, and a capture may move an edge by a sample more, so
// leaders are matched within a quarter of their length plus a sample and a
// half, pulse-distance bits are told apart by a threshold halfway between
// their short and long times, and bi-phase signals are read in whole units
// (NEC's 562.5 us unit is 4.5 samples, RC6's 444 us only 3.6) of a length
// measured on each frame, within 12 % of the nominal one, so that remotes
// whose clock is a few per cent off decode.
#ifndef QEV_IR_DECODER_H
#define QEV_IR_DECODER_H

#include "ir/ir_signal.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace qev {

struct TDecoded {
    TIR_Code Code;
    // Frames after the first: NEC's short repeat frames, or the same code
    // sent again (a toggle bit may differ).
    int32_t Repeats = 0;
    // The samples at which the first and the last recognised frame start.
    int32_t First_Frame_Start = 0;
    int32_t Last_Frame_Start = 0;
};

// The code of the first frame in the levels (one per sample, non-zero =
// infrared on), or nothing when no protocol matches it.
std::optional<TDecoded> Decode_Levels(std::span<const uint8_t> levels);
// The code of durations as sampled (Levels_Of_Durations, base/sample_grid.h):
// Decode_Levels(Levels_Of_Durations(durations_us, max_samples,
// min_samples)), without making the levels.
std::optional<TDecoded> Decode_Durations(std::span<const int32_t> durations_us, int32_t max_samples,
                                         int32_t min_samples = 0);
// Decode_Durations(durations_us, max_samples, min_samples(first)), where
// `first` is Decode_Durations(durations_us, max_samples): a length that
// depends on what the durations are, as a record's idle end does on its
// protocol. Each frame the first decode read before the runs where the
// two lengths differ is not read again, and a long signal that opens with
// no known frame is not decoded again at all (min_samples is then not
// called: a longer idle end cannot change its opening).
std::optional<TDecoded> Decode_Durations_Again(
    std::span<const int32_t> durations_us, int32_t max_samples,
    const std::function<int32_t(const std::optional<TDecoded>&)>& min_samples);

// "NEC  address 0x04  command 0x08  (+1 repeat)", or "Unknown protocol".
std::string Describe_Decoded(const std::optional<TDecoded>& decoded);
// "NEC  address 0x04  command 0x08": a code alone.
std::string Describe_Code(const TIR_Code& code);

}  // namespace qev

#endif
