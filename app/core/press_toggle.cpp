#include "app/core/press_toggle.h"

#include "ir/sampling.h"
#include "ir/toggle.h"

#include <algorithm>

namespace qev {

void TPress_Toggle::Apply(TSample_Buffer& samples, TPress press) {
    const int32_t count = std::clamp(samples.Sample_Count, 0, samples.Capacity());
    TLevels levels(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) levels[static_cast<std::size_t>(i)] = samples[i] != 0 ? 1 : 0;
    const int64_t this_press = press == TPress::Held && presses_ > 0 ? presses_ : presses_ + 1;
    if (!Set_Press_Toggle(levels, this_press)) return;
    presses_ = this_press;
    // A row holds 255 for infrared on; only the flipped samples change.
    for (int32_t i = 0; i < count; ++i) {
        const bool on = levels[static_cast<std::size_t>(i)] != 0;
        if (on != (samples[i] != 0)) samples[i] = on ? 255 : 0;
    }
}

}  // namespace qev
