#include "irport/signal_port.h"

#include "base/sample_grid.h"
#include "base/stop_request.h"

#include <algorithm>
#include <climits>

namespace qev {

namespace {

constexpr int64_t Tick_ns = int64_t{Sample_Period_us} * 1000;
// The most the library takes in one IoSignalSend (io_api.h's IO_SIGNAL_MAX).
constexpr std::size_t Max_Durations = 65536;
// A write holds about this much signal at most (whole transmissions, at
// least one), so a request to end the program waits for no more than one of
// them; kernel IR devices take at most half a second a write (rc-loopback
// refuses more), so transmissions that fit stay whole within one.
constexpr int64_t Write_ns = 450'000'000;
// The longest wait for a signal to begin between two looks at the time
// limit and at a request to end the program.
constexpr int64_t Wait_Slice_ms = 100;

int64_t Rounded_us(int64_t ns) { return (ns + 500) / 1000; }

bool Send_Durations(const TPort_Library& port, const std::vector<uint32_t>& durations, uint32_t carrier_hz,
                    std::string* error) {
    const auto send = port.Signal_Functions().IoSignalSend;
    // A signal too long for one write goes out in pieces that each end with
    // a mark; the space between two pieces is the device's pause between
    // two writes, not the waveform's. Only waveforms of tens of thousands of
    // edges are that long.
    for (std::size_t at = 0; at < durations.size();) {
        std::size_t count = std::min(durations.size() - at, Max_Durations - 1);
        if (count % 2 == 0) --count;
        if (send(durations.data() + at, static_cast<int>(count), carrier_hz) != 0) {
            if (error) *error = port.Signal_Error();
            return false;
        }
        at += count + 1;  // past the space that ends this piece
    }
    return true;
}

}  // namespace

std::vector<uint32_t> Signal_Of_Samples(const int32_t* samples, int32_t count, int32_t times) {
    std::vector<int64_t> edges;  // ns: a mark starts, ends, the next starts...
    if (count <= 0 || times <= 0) return {};
    const int64_t period = count * Tick_ns + Tick_ns / 2;  // first sample to first sample
    bool on = false;
    for (int32_t k = 0; k < times; ++k) {
        for (int32_t j = 0; j < count; ++j) {
            const bool level = samples[j] != 0;
            if (level == on) continue;
            edges.push_back(k * period + j * Tick_ns);
            on = level;
        }
    }
    if (on) edges.push_back((times - 1) * period + count * Tick_ns);
    std::vector<uint32_t> durations;
    if (edges.empty()) return durations;
    durations.reserve(edges.size() - 1);
    for (std::size_t i = 0; i + 1 < edges.size(); ++i)
        durations.push_back(static_cast<uint32_t>(Rounded_us(edges[i + 1]) - Rounded_us(edges[i])));
    return durations;
}

bool Send_Signal_Samples(const TPort_Library& port, const int32_t* samples, int32_t count, int32_t times,
                         uint32_t carrier_hz, std::string* error) {
    // A port without a transmitter is asked anyway: it answers with its own
    // reason ("/dev/lirc0: the device has no transmitter").
    if (!port.Signal_Functions().IoSignalSend) {
        if (error) *error = port.Signal_Error();
        return false;
    }
    const int64_t period = std::max(count, 0) * Tick_ns + Tick_ns / 2;
    const int32_t per_write = static_cast<int32_t>(std::clamp<int64_t>(Write_ns / period, 1, INT32_MAX));
    for (int32_t sent = 0; sent < times;) {
        if (sent > 0 && Program_Stop_Requested()) break;
        const int32_t now = std::min(per_write, times - sent);
        const std::vector<uint32_t> durations = Signal_Of_Samples(samples, count, now);
        if (durations.empty()) return true;  // nothing lights the LED
        if (!Send_Durations(port, durations, carrier_hz, error)) return false;
        sent += now;
    }
    return true;
}

TReceive_Report Receive_Signal_Samples(TCounter& counter, const TPort_Library& port, const TReceive_Request& request,
                                       int32_t* buffer, int32_t capacity) {
    TReceive_Report report;
    const auto receive = port.Signal_Functions().IoSignalReceive;
    if (!(port.Signal_Features() & Signal_Receive) || !receive) return report;

    const int32_t length = std::clamp(request.Samples, 0, std::max(capacity, 0));
    const int32_t marks = std::clamp(request.Min_Leader + 1, 0, length);
    report.Samples = length;
    const int64_t frequency = counter.Query_Frequency();
    const int64_t give_up =
        counter.Read() + static_cast<int64_t>(request.Time_Limit_Seconds * static_cast<double>(frequency));
    // The whole requested length is taken, whatever pauses the remote makes
    // between its frames (a repeat frame follows 40 to 100 ms later): the
    // signal ends only when it has filled the samples.
    const auto span_us = static_cast<uint32_t>(std::min<int64_t>(int64_t{length} * Sample_Period_us, UINT32_MAX / 2));
    std::vector<unsigned> durations(static_cast<std::size_t>(length) * 2 + 3);
    for (;;) {
        if (Program_Stop_Requested()) {
            report.Result = TReceive_Result::Stopped;
            return report;
        }
        const int64_t left = give_up - counter.Read();
        if (left <= 0) {
            report.Result = TReceive_Result::No_Signal;
            return report;
        }
        const int64_t left_ms = left * 1000 / frequency + 1;
        const int count = receive(durations.data(), static_cast<int>(durations.size()),
                                  static_cast<int>(std::min(left_ms, Wait_Slice_ms)), span_us, span_us);
        if (count < 0) {
            report.Result = TReceive_Result::Port_Failed;
            report.Error = port.Signal_Error();
            return report;
        }
        if (count == 0) continue;
        std::vector<int32_t> timing(static_cast<std::size_t>(count));
        int64_t total_us = 0;
        for (int i = 0; i < count; ++i) {
            timing[static_cast<std::size_t>(i)] =
                static_cast<int32_t>(std::min<unsigned>(durations[static_cast<std::size_t>(i)], INT32_MAX));
            total_us += timing[static_cast<std::size_t>(i)];
        }
        const std::vector<uint8_t> levels = Levels_Of_Durations(timing, length, length);
        if (!std::all_of(levels.begin(), levels.begin() + marks, [](uint8_t level) { return level != 0; })) {
            ++report.False_Starts;
            continue;
        }
        report.Start_Counter = counter.Read() - total_us * frequency / 1'000'000;
        for (int32_t i = 0; i < length; ++i) buffer[i] = levels[static_cast<std::size_t>(i)] ? 255 : 0;
        report.Result = TReceive_Result::Received;
        return report;
    }
}

}  // namespace qev
