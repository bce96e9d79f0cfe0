// qev_bench listen:
//   recognition  Frames frames of each of NEC, RC5, RC6 and SIRC, their
//                durations scaled by 0.95 and by 1.05, each edge moved by a
//                receiver's jitter (marks up to 100 us longer, as demodulators
//                stretch them), named by the listener's path (durations,
//                then levels with its idle time, then TKey_Listening) against
//                a table learned at the nominal clock.
//   latency      Frames NEC frames played by the simulated remote into a
//                listening TListener: from the frame's last edge to the
//                callback that hands the signal on (the 20 ms end gap
//                included: a signal ends when the line has been quiet that
//                long).
//   idle CPU     the process's CPU time over Idle_Seconds of listening with
//                nothing arriving, as a share of one core.
//   pause        how long a send waits to take the receiver from the
//                listener (TListener::TPause), Frames times at moments
//                spread over the listener's wait.
#include "bench/listen_bench.h"

#include "app/core/key_recognition.h"
#include "app/core/listener.h"
#include "app/core/table_codes.h"
#include "base/sample_grid.h"
#include "harness/sim_port_controls.h"
#include "harness/stats.h"
#include "ir/protocols.h"
#include "ir/sampling.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace qev::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct TKey {
    const char* Name;
    TIR_Code Code;
};
const TKey Keys[] = {{"POWER", {TProtocol::NEC, 0x04, 0x08}},
                     {"VOL+", {TProtocol::RC5, 0x05, 0x10}},
                     {"MUTE", {TProtocol::RC6, 0x10, 0x0C}},
                     {"TAPE", {TProtocol::SIRC, 0x01, 0x15}}};

void Put(TCommand_Table& table, int32_t row, const char* name, const TLevels& levels) {
    Store_Levels(table, row, levels);
    table.Set_Name(row, name);
    table.Command_Count = std::max(table.Command_Count, row + 1);
}

// The frame as a remote with this clock and a stretching receiver gives it:
// the durations of one frame, ending on its last mark (as a device does).
std::vector<int32_t> Heard_Frame(const TIR_Code& code, double clock, std::mt19937& random) {
    std::vector<int32_t> d = Encode(code).Durations_us;
    d.pop_back();
    std::uniform_int_distribution<int32_t> stretch(0, 100);
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<int32_t>(std::lround(d[i] * clock));
    for (std::size_t i = 0; i + 1 < d.size(); i += 2) {
        const int32_t more = std::min(stretch(random), d[i + 1] / 2);
        d[i] += more;
        d[i + 1] -= more;
    }
    return d;
}

int Recognition(int frames) {
    TCommand_Table table;
    table.Allocate(8, 1024 / 8);
    for (std::size_t k = 0; k < std::size(Keys); ++k) {
        Put(table, static_cast<int32_t>(k), Keys[k].Name, Sample_Timing(Encode(Keys[k].Code), 1024));
    }
    std::mt19937 random(20261210);
    std::printf("Recognition: %d frames per protocol and clock, each named against the table\n\n", frames);
    std::printf("| protocol | clock 0.95 | clock 1.05 |\n|---|---|---|\n");
    int wrong = 0;
    for (const TKey& key : Keys) {
        std::printf("| %s |", Protocol_Info(key.Code.Protocol).Name);
        for (const double clock : {0.95, 1.05}) {
            TKey_Listening listening;
            int right = 0;
            auto end = Clock::now();
            for (int f = 0; f < frames; ++f) {
                TIR_Timing timing{Heard_Frame(key.Code, clock, random), 38000};
                timing.Durations_us.push_back(static_cast<int32_t>(TListener::Idle_After_Us));
                const TLevels levels = Sample_Timing(timing, INT32_MAX);
                end += std::chrono::seconds(1);  // presses a second apart
                const auto heard =
                    listening.Heard(table, levels, static_cast<int32_t>(Sample_Of_us(TListener::End_Gap_Us)), end);
                if (heard && heard->Key.Name == key.Name && heard->Repeat == 0) ++right;
            }
            wrong += frames - right;
            std::printf(" %d of %d (%.1f %%) |", right, frames, 100.0 * right / frames);
        }
        std::printf("\n");
    }
    return wrong;
}

int Latency_And_Idle_Cpu(const TListen_Options& options) {
    TPort_Library port;
    if (port.Load_Port_Library() != 0) {
        std::printf("\nthe port library did not load: %s\n", port.Load_Error().c_str());
        return 1;
    }
    const TSim_Port_Controls sim(port);
    auto* waiting = reinterpret_cast<decltype(&IoSimSignalWaiting)>(port.Resolve("IoSimSignalWaiting"));
    auto* duration = reinterpret_cast<decltype(&IoSimRemoteDurationNs)>(port.Resolve("IoSimRemoteDurationNs"));
    TListener listener(port);
    if (!sim.Remote_Set_Nec || !waiting || !duration || !listener.Can_Listen()) {
        std::printf("\nlistening needs the simulated IR device (IO_BACKEND=simlirc)\n");
        return 1;
    }
    sim.Remote_Set_Auto(0);
    sim.Remote_Set_Delay_Ns(0);
    std::mutex mutex;
    std::condition_variable heard_cv;
    std::vector<Clock::time_point> heard;
    listener.Start(
        [&](const THeard_Signal& signal) {
            std::lock_guard lock(mutex);
            heard.push_back(signal.End);
            heard_cv.notify_all();
        },
        [](const std::string& why) { std::printf("listening failed: %s\n", why.c_str()); });
    std::vector<int64_t> latency_us;
    for (int f = 0; f < options.Frames; ++f) {
        sim.Remote_Set_Nec(0x04, static_cast<unsigned>(f & 0xFF), 0);
        while (waiting() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::unique_lock lock(mutex);
        const std::size_t before = heard.size();
        sim.Remote_Trigger();
        if (!heard_cv.wait_for(lock, std::chrono::seconds(2), [&] { return heard.size() > before; })) continue;
        const Clock::time_point got = Clock::now();
        const long long last_edge_ns = sim.Remote_Start_Ns() + duration();
        latency_us.push_back((got.time_since_epoch().count() - last_edge_ns) / 1000);
    }
    const TSummary latency = Summarize(latency_us);
    std::printf(
        "\nLatency: %zu of %d NEC frames heard; from the frame's last edge to the listener's hand-over: "
        "median %.1f ms, p99 %.1f ms (the 20 ms end gap included)\n",
        latency.Count, options.Frames, latency.Median / 1000.0, latency.P99 / 1000.0);

    sim.Remote_Set_Nec(0, 0, 0);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(options.Idle_Seconds));
    getrusage(RUSAGE_SELF, &after);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu =
        seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    std::printf("Idle: %.1f s of listening with nothing arriving took %.3f s of CPU: %.2f %% of one core\n", wall, cpu,
                100 * cpu / wall);

    std::vector<int64_t> pause_us;
    for (int p = 0; p < options.Frames; ++p) {
        // After the listener's resume delay, at a different point of its
        // wait each time.
        std::this_thread::sleep_for(TListener::Resume_Delay + std::chrono::microseconds(997 * (p % 101)));
        const auto asked = Clock::now();
        const TListener::TPause pause(listener);
        pause_us.push_back(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - asked).count());
    }
    const TSummary pause = Summarize(pause_us);
    std::printf("Pause: a send took the receiver from the listener in %.2f ms median, %.2f ms p99, %.2f ms at most\n",
                pause.Median / 1000.0, pause.P99 / 1000.0, pause.Max / 1000.0);
    listener.Stop();
    return latency.Count == static_cast<std::size_t>(options.Frames) ? 0 : 1;
}

}  // namespace

int Run_Listen(const TListen_Options& options) {
    std::printf("== Listening ==\n\n");
    const int wrong = Recognition(options.Frames);
    return (wrong == 0 ? 0 : 1) + Latency_And_Idle_Cpu(options);
}

}  // namespace qev::bench
