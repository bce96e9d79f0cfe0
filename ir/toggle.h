// The toggle bit of RC5, RC5X and RC6 frames.
//
// A remote of these protocols flips one bit of its frame on every press of a
// key and keeps it while the key is held, so that the device tells two
// presses of a key from one long press. A learned command holds the toggle of
// the press it was learned from; sending it again and again unchanged looks
// to the device like the key held down.
#ifndef QEV_IR_TOGGLE_H
#define QEV_IR_TOGGLE_H

#include <cstdint>
#include <span>

namespace qev {

// The toggle a remote sends on its `press`-th press (counted from 1), as
// LIRC sends it: its first press carries an RC5 toggle of 1 and an RC6
// toggle of 0 (LIRC's RC6 bits are the inverse of RC6's own), and each
// press after that the other value.
bool Rc5_Toggle_Of_Press(int64_t press);
bool Rc6_Toggle_Of_Press(int64_t press);

// Gives every frame of the sampled levels (one per sample, non-zero =
// infrared on) the toggle of the `press`-th press, in place: the levels over
// each frame's toggle bit are inverted where it has the other value, which
// is what flipping a bi-phase bit does. Frames follow one another as long as
// each decodes as the first did. false, with the levels untouched, when the
// levels do not start with an RC5, RC5X or RC6 frame.
bool Set_Press_Toggle(std::span<uint8_t> levels, int64_t press);

}  // namespace qev

#endif
