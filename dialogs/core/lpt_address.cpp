#include "dialogs/core/lpt_address.h"

namespace qev {

int32_t LPT_Base_Address(TLPT_Port_Kind kind) {
    return kind == TLPT_Port_Kind::PCAT ? LPT_PCAT_Address : LPT_ThinkPad_Address;
}

// The stored base decides, as the Settings file gave it: only exactly 0x378
// is the PC/AT port.
TLPT_Port_Kind TLPT_Address::FormShow() const {
    return state_.Settings.Base_Address == LPT_PCAT_Address ? TLPT_Port_Kind::PCAT : TLPT_Port_Kind::ThinkPad;
}

void TLPT_Address::OK_ButtonClick(TLPT_Port_Kind checked) { state_.Set_LPT_Address(LPT_Base_Address(checked)); }

}  // namespace qev
