#include "irport/receiver.h"

#include "base/stop_request.h"

#include <algorithm>

namespace qev {

namespace {

constexpr int32_t Leader_Marker = 16;  // the raw value of an active reading
constexpr unsigned Polls_Per_Time_Check = 64;

}  // namespace

TReceive_Report Receive_Samples(TSample_Clock& clock, const TPort_Library& port, const TReceive_Request& request,
                                int32_t* buffer, int32_t capacity) {
    TReceive_Report report;
    const auto port_in = port.Functions().PortIn;
    if (!port_in) return report;

    const int32_t length = std::clamp(request.Samples, 0, std::max(capacity, 0));
    const int32_t marks = std::clamp(request.Min_Leader + 1, 0, length);
    const auto status = static_cast<unsigned short>(request.Base + Status_Register);
    TCounter& counter = clock.Counter();
    const int64_t limit_units =
        static_cast<int64_t>(request.Time_Limit_Seconds * static_cast<double>(counter.Query_Frequency()));
    report.Samples = length;

    {
        TRaised_Priority raised(clock);
        const int64_t give_up = counter.Read() + limit_units;
        int64_t late_before = 0;
        for (;;) {
            // Wait for a start: back-to-back reads, the clock consulted only
            // every few polls so the line is seen within a fraction of a tick.
            for (unsigned polls = 1; !(port_in(status) & Receiver_Line_Bit); ++polls) {
                if (polls % Polls_Per_Time_Check != 0) continue;
                const int64_t now = counter.Read();
                if (now >= give_up) {
                    report.Result = TReceive_Result::No_Signal;
                    return report;
                }
                if (Program_Stop_Requested()) {
                    report.Result = TReceive_Result::Stopped;
                    return report;
                }
                clock.Pace_Open_Wait(now);
            }
            clock.Start_Tick();
            late_before = clock.Late_Ticks;  // the leader's readings count too
            clock.Max_Lateness = 0;
            int32_t confirmed = 0;
            while (confirmed < request.Min_Leader) {
                clock.Wait_Tick();
                if (!(port_in(status) & Receiver_Line_Bit)) break;
                ++confirmed;
            }
            if (confirmed >= request.Min_Leader) break;
            ++report.False_Starts;
        }
        report.Start_Counter = clock.Last_Start;
        std::fill(buffer, buffer + marks, Leader_Marker);
        for (int32_t pos = marks; pos < length; ++pos) {
            clock.Wait_Tick();
            buffer[pos] = port_in(status) & Receiver_Line_Bit;
        }
        report.Late_Samples = clock.Late_Ticks - late_before;
        report.Max_Lateness = clock.Max_Lateness;
    }
    for (int32_t pos = 0; pos < length; ++pos) buffer[pos] = (buffer[pos] & Receiver_Line_Bit) ? 255 : 0;
    report.Result = TReceive_Result::Received;
    return report;
}

}  // namespace qev
