#include "app/core/signal_sending.h"

#include "app/core/port_status.h"
#include "ir/decoder.h"
#include "ir/protocols.h"
#include "irport/signal_port.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace qev {

namespace {

int32_t Valid_Samples(const TSample_Buffer& samples) { return std::clamp(samples.Sample_Count, 0, samples.Capacity()); }

}  // namespace

int32_t Signal_Carrier_Hz(const TSettings& settings, const TSample_Buffer& samples) {
    if (settings.CARRIER > 0) return settings.CARRIER;
    const int32_t count = Valid_Samples(samples);
    std::vector<uint8_t> levels(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) levels[static_cast<std::size_t>(i)] = samples.Data()[i] != 0 ? 1 : 0;
    const std::optional<TDecoded> decoded = Decode_Levels(levels);
    return decoded ? Protocol_Info(decoded->Code.Protocol).Carrier_Hz : Default_Carrier_Hz;
}

void TSignal_Sender::Send(const TPort_Library& port, const TSettings& settings, const TSample_Buffer& samples,
                          int32_t times, TUser_Feedback& feedback) {
    std::string error;
    const bool sent = Send_Signal_Samples(port, samples.Data(), Valid_Samples(samples), times,
                                          static_cast<uint32_t>(Signal_Carrier_Hz(settings, samples)), &error);
    if (sent || trouble_shown_) return;
    trouble_shown_ = true;
    feedback.Show_Error(error + "\nNothing can be sent through " + Port_Summary(port) + ".", "Send Error");
}

}  // namespace qev
