// What the window does with a signal the listener heard: names it as a key
// of the Command table (Name), and on a new press runs the key's macro from
// the KEYS file unless another long action is under way (Act,
// TQEV_State::Busy); the status bar's text says what happened.
#ifndef QEV_MACRO_CORE_LISTENING_SESSION_H
#define QEV_MACRO_CORE_LISTENING_SESSION_H

#include "app/core/key_recognition.h"
#include "app/core/listener.h"
#include "app/core/qev_state.h"
#include "macro/core/key_macros.h"

#include <optional>
#include <string>

namespace qev {

struct THeard_Outcome {
    std::optional<THeard_Press> Press;  // nothing: no key
    // What the status bar shows, short enough for its narrow room: "Heard
    // POWER", "Heard POWER (3)" for the third repeat of a held key.
    std::string Status;
    // The whole story, for its tooltip: "Heard POWER: POWER ran TV_ON", or
    // the status when no macro ran. Both empty when no key was heard.
    std::string Details;
};

class TListening_Session {
public:
    explicit TListening_Session(std::string keys_path) : macros_(std::move(keys_path)) {}
    // The key the signal is, as a new press or a repeat; nothing when it is
    // no key.
    std::optional<THeard_Press> Name(const TQEV_State& state, const THeard_Signal& signal);
    // What the press does: a new press runs its key's macro (which may take
    // seconds: whoever waits for the key, LIRC's clients, is told first).
    THeard_Outcome Act(TQEV_State& state, const THeard_Press& press);
    TKey_Macros& Macros() { return macros_; }

private:
    TKey_Listening keys_;
    TKey_Macros macros_;
};

}  // namespace qev

#endif
