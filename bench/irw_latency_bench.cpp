// qev_irw_latency_bench: the time from a frame sent through a kernel IR
// device whose transmitter loops back into its receiver (Linux's
// rc-loopback) to the line a running `irw` prints for it, whoever the
// receiver on the device is (the program listening, or lircd).
//
//   qev_irw_latency_bench --socket=PATH [--device=/dev/lirc0] [--frames=200]
//                         [--code=NEC:0x04:0x08] [--interval-ms=500]
//                         [--irw=irw] [--label=TEXT]
//
// irw connects to the receiver's socket PATH; a thread of this process reads
// its output and stamps each line as it arrives. Each frame (the code's one
// frame as the program encodes it, e.g. NEC address 0x04, command 0x08: 9 ms
// + 4.5 ms, 32 bits of 560 us marks, 560 or 1690 us spaces, a 560 us mark;
// at its protocol's carrier) is one write() to the device, one at a time,
// the next once the last one's line arrived and `interval` has passed since
// it was sent: 500 ms leaves over 400 ms of silence between frames, more
// than a held key's repeat window (250 ms in the program; lircd's is
// shorter), so every frame is a new press. Frames are sent until a first
// line arrives before timing begins: a receiver may start its wait late.
//
// The kernel holds a write to a LIRC device until the frame's duration has
// passed since the write began (as a transmitter takes that long), while
// rc-loopback hands the whole frame, followed by a silence of the device's
// receive timeout, to every reader at once, as the write begins. So two
// figures per frame:
//   - from the write's return: the frame's end in real time;
//   - from the write's start: when the receivers had all of it, the end of
//     frame as a receiver on rc-loopback sees it. A receiver on a real
//     device sees the frame's end only when its receive timeout has passed
//     after the last mark, which this loopback gives away at once.
// Prints median, p99 and max of each, the frames lost (no line within 5 s),
// the first line irw printed and how long the writes took.
#include "base/text_scan.h"
#include "harness/irw_output.h"
#include "harness/stats.h"
#include "harness/unix_socket_peers.h"
#include "ir/decoder.h"
#include "ir/protocols.h"

#include <fcntl.h>
#include <linux/lirc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qev::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The code's one frame as the program encodes it, ending on its last mark
// (a LIRC device takes pulses and spaces that start and end with a pulse);
// nothing for a code of no protocol or out of its protocol's range.
std::optional<TIR_Code> Code_Of(const std::string& text) {
    const std::vector<std::string> parts = [&] {
        std::vector<std::string> words;
        std::stringstream in(text);
        for (std::string word; std::getline(in, word, ':');) words.push_back(word);
        return words;
    }();
    if (parts.size() != 3) return std::nullopt;
    const std::optional<TProtocol> protocol = Find_Protocol(parts[0]);
    const std::optional<uint64_t> address = Scan_Unsigned(parts[1], UINT32_MAX);
    const std::optional<uint64_t> command = Scan_Unsigned(parts[2], UINT32_MAX);
    if (!protocol || !address || !command) return std::nullopt;
    const TIR_Code code{*protocol, static_cast<uint32_t>(*address), static_cast<uint32_t>(*command)};
    if (Code_Problem(code)) return std::nullopt;
    return code;
}

std::vector<unsigned> Frame_Of(const TIR_Code& code) {
    std::vector<int32_t> durations = Encode(code).Durations_us;
    if (durations.size() % 2 == 0) durations.pop_back();
    return {durations.begin(), durations.end()};
}

std::string Option(int argc, char** argv, const std::string& name, const std::string& fallback) {
    const std::string prefix = "--" + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) return argv[i] + prefix.size();
    }
    return fallback;
}

void Print(const char* what, std::vector<int64_t> nanoseconds) {
    const TSummary s = Summarize(std::move(nanoseconds));
    std::printf("  %-28s median %8.2f ms  p99 %8.2f ms  max %8.2f ms  (%zu frames)\n", what, s.Median / 1e6,
                s.P99 / 1e6, s.Max / 1e6, s.Count);
}

int Run(int argc, char** argv) {
    const std::string socket = Option(argc, argv, "socket", "");
    const std::string device = Option(argc, argv, "device", "/dev/lirc0");
    const std::string irw = Option(argc, argv, "irw", "irw");
    const std::string label = Option(argc, argv, "label", socket);
    const int frames = std::atoi(Option(argc, argv, "frames", "200").c_str());
    const auto interval = std::chrono::milliseconds(std::atoi(Option(argc, argv, "interval-ms", "500").c_str()));
    const std::string code_text = Option(argc, argv, "code", "NEC:0x04:0x08");
    const std::optional<TIR_Code> code = Code_Of(code_text);
    if (socket.empty() || frames < 1 || !code) {
        std::fprintf(stderr,
                     "usage: qev_irw_latency_bench --socket=PATH [--device=/dev/lirc0] [--frames=200] "
                     "[--code=PROTOCOL:ADDRESS:COMMAND] [--interval-ms=500] [--irw=irw] [--label=TEXT]\n");
        return 2;
    }
    const int fd = ::open(device.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s\n", device.c_str(), std::strerror(errno));
        return 1;
    }
    auto carrier = static_cast<unsigned>(Protocol_Info(code->Protocol).Carrier_Hz);
    ::ioctl(fd, LIRC_SET_SEND_CARRIER, &carrier);  // a device that cannot set it sends its own

    harness::TIrw_Output irw_output(irw, socket);
    const auto finish = [&](int status) {
        ::close(fd);
        return status;
    };
    if (!irw_output.Started()) {
        std::fprintf(stderr, "%s could not be started\n", irw.c_str());
        return finish(1);
    }
    const Clock::time_point connect_end = Clock::now() + std::chrono::seconds(30);
    while (Accepted_Connections(socket) < 1) {
        if (Clock::now() > connect_end) {
            std::fprintf(stderr, "irw did not connect to %s\n", socket.c_str());
            return finish(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    const std::vector<unsigned> frame = Frame_Of(*code);
    const std::size_t bytes = frame.size() * sizeof frame[0];
    // Sends one frame; whether a line arrived within `limit`, and when the
    // write started and returned.
    struct TSent {
        Clock::time_point Start, Return, Arrival;
        bool Heard = false;
    };
    const auto send = [&](std::chrono::milliseconds limit) {
        TSent sent;
        const std::size_t seen = irw_output.Count();
        sent.Start = Clock::now();
        const ssize_t written = ::write(fd, frame.data(), bytes);
        sent.Return = Clock::now();
        if (written != static_cast<ssize_t>(bytes)) {
            std::fprintf(stderr, "%s: write: %s\n", device.c_str(), written < 0 ? std::strerror(errno) : "short write");
            return sent;
        }
        if (const auto line = irw_output.Wait_Beyond(seen, limit)) {
            sent.Heard = true;
            sent.Arrival = line->Arrival;
        }
        return sent;
    };

    bool ready = false;
    for (int attempt = 0; attempt < 10 && !ready; ++attempt) {
        ready = send(std::chrono::seconds(5)).Heard;
        std::this_thread::sleep_for(interval);
    }
    if (!ready) {
        std::fprintf(stderr, "%s: no line for 10 frames\n", label.c_str());
        return finish(1);
    }
    const std::size_t first_timed = irw_output.Count();
    std::vector<int64_t> from_return, from_start, write_time;
    int lost = 0;
    for (int i = 0; i < frames; ++i) {
        const TSent sent = send(std::chrono::seconds(5));
        write_time.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(sent.Return - sent.Start).count());
        if (sent.Heard) {
            from_return.push_back(
                std::chrono::duration_cast<std::chrono::nanoseconds>(sent.Arrival - sent.Return).count());
            from_start.push_back(
                std::chrono::duration_cast<std::chrono::nanoseconds>(sent.Arrival - sent.Start).count());
        } else {
            ++lost;
        }
        std::this_thread::sleep_until(sent.Start + interval);
    }
    int64_t frame_us = 0;
    for (const unsigned us : frame) frame_us += us;
    std::string first_line, other_line;
    const std::size_t line_count = irw_output.Count() - first_timed;
    if (line_count > 0) first_line = irw_output.Line(first_timed).Text;
    for (std::size_t i = first_timed; i < first_timed + line_count && other_line.empty(); ++i) {
        if (irw_output.Line(i).Text != first_line) other_line = irw_output.Line(i).Text;
    }
    std::printf("%s: %d frames of %s (%.1f ms each) through %s to irw, one every %lld ms\n", label.c_str(), frames,
                Describe_Code(*code).c_str(), static_cast<double>(frame_us) / 1e3, device.c_str(),
                static_cast<long long>(interval.count()));
    std::printf("  irw printed %zu lines, the first: \"%s\"%s%s%s\n", line_count, first_line.c_str(),
                other_line.empty() ? "" : " (another: \"", other_line.c_str(), other_line.empty() ? "" : "\")");
    Print("write's return to irw's line", from_return);
    Print("write's start to irw's line", from_start);
    Print("the write itself", write_time);
    std::printf("  lost (no line within 5 s): %d\n", lost);
    std::fflush(stdout);
    return finish(lost == frames ? 1 : 0);
}

}  // namespace
}  // namespace qev::bench

int main(int argc, char** argv) { return qev::bench::Run(argc, argv); }
