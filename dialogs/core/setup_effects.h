// When a value stored by the setup dialog's OK takes effect, as the dialog
// tells it beside each field.
//
// Three settings are bound to start-up: RMT_FILE is read only then, and
// MAX_RMTCMD_NUM and MAX_RMTCMD_BIT_LENGTH size the Command table, its rows
// and the Sample buffer, which are allocated once and never resized while
// the program runs. OK stores their new values at once (the shutdown writes
// them, and the next start allocates with them); meanwhile every operation
// uses the new value, cut to what was allocated: a Command file load takes
// at most min(MAX_RMTCMD_NUM, rows) records and min(MAX_RMTCMD_BIT_LENGTH / 8
// rounded up, Row capacity) bytes each, a capture stores min(
// MAX_RMTCMD_BIT_LENGTH, Sample buffer) samples, and a registration takes a
// row only below min(MAX_RMTCMD_NUM, rows) and at most the samples a row
// holds. A lowered value thus counts at once, a raised one up to the
// allocation.
#ifndef QEV_DIALOGS_CORE_SETUP_EFFECTS_H
#define QEV_DIALOGS_CORE_SETUP_EFFECTS_H

#include "app/core/qev_state.h"
#include "dialogs/core/setup_values.h"

#include <cstdint>
#include <string>

namespace qev {

// What start-up allocated: the ceiling of the values used until the next start.
struct TSetup_Allocation {
    int32_t Rows = 0;         // rows of the Command table
    int32_t Row_Bytes = 0;    // bytes of each row (the Row capacity)
    int32_t Samples = 0;      // samples a capture stores at most: the Sample buffer
    int32_t Row_Samples = 0;  // samples a command may have: what both the buffer and a row hold
};
TSetup_Allocation Setup_Allocation(const TQEV_State& state);

// true for the settings that take effect only at the next start
// (MAX_RMTCMD_NUM, MAX_RMTCMD_BIT_LENGTH, RMT_FILE); their labels are red.
bool Takes_Effect_At_Next_Start(TSetup_Field field);

// One sentence or two on when the field's value takes effect, and for those
// bound to start-up what is used meanwhile, with the sizes allocated now.
std::string Setup_Effect_Text(TSetup_Field field, const TQEV_State& state);

}  // namespace qev

#endif
