#include "macro/core/listening_session.h"

#include "base/sample_grid.h"

namespace qev {

std::optional<THeard_Press> TListening_Session::Name(const TQEV_State& state, const THeard_Signal& signal) {
    return keys_.Heard(state.Table, signal.Levels, static_cast<int32_t>(Sample_Of_us(TListener::End_Gap_Us)),
                       signal.End);
}

THeard_Outcome TListening_Session::Act(TQEV_State& state, const THeard_Press& press) {
    THeard_Outcome outcome;
    outcome.Press = press;
    const std::string& name = press.Key.Name;
    outcome.Status = "Heard " + name;
    if (press.Repeat > 0) outcome.Status += " (" + std::to_string(press.Repeat) + ")";
    outcome.Details = outcome.Status;
    if (press.Repeat > 0) return outcome;
    if (const std::optional<TKey_Macro> macro = macros_.Macro_For(name)) {
        // A macro, a capture or a dialog under way holds the program: the
        // key is still named and told to LIRC's clients, but a second
        // action does not start in the middle of the first.
        outcome.Details += state.Busy() ? ": " + name + "'s macro was not run, as another action was under way"
                                        : ": " + Run_Key_Macro(state, name, *macro).Summary;
    }
    return outcome;
}

}  // namespace qev
