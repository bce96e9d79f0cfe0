// What the port address dialog does without a window: which of its two
// addresses it offers as checked, and applying the one chosen.
//
// The dialog knows two bases, 0x378 (PC/AT) and 0x3BC (ThinkPad). A base of
// 0x378 shows the PC/AT button checked; every other base, also one from the
// Settings file that is neither of the two (0x278), shows the ThinkPad button
// checked, so OK always lands on one of the two.
#ifndef QEV_DIALOGS_CORE_LPT_ADDRESS_H
#define QEV_DIALOGS_CORE_LPT_ADDRESS_H

#include "app/core/qev_state.h"

#include <cstdint>

namespace qev {

constexpr int32_t LPT_PCAT_Address = 0x378;
constexpr int32_t LPT_ThinkPad_Address = 0x3BC;

enum class TLPT_Port_Kind { PCAT, ThinkPad };

// The base address of each kind.
int32_t LPT_Base_Address(TLPT_Port_Kind kind);

class TLPT_Address {
public:
    explicit TLPT_Address(TQEV_State& state) : state_(state) {}

    // The button to check as the dialog shows, from the base in use now.
    TLPT_Port_Kind FormShow() const;
    // Sets the base of the checked kind through Set_LPT_Address, also when it
    // is the base already in use: the port is prepared again (direction bit
    // cleared, LED off) on every OK.
    void OK_ButtonClick(TLPT_Port_Kind checked);

private:
    TQEV_State& state_;
};

}  // namespace qev

#endif
