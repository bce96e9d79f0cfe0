#include "app/core/busy_section.h"

#include "app/core/qev_state.h"

namespace qev {

TBusy_Section::TBusy_Section(TQEV_State& state) : state_(state) { ++state_.busy_depth_; }

TBusy_Section::~TBusy_Section() {
    if (--state_.busy_depth_ == 0) state_.View.Busy_Ended();
}

}  // namespace qev
