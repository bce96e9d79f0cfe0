// The real program's Command server under load, over loopback: a thousand
// clients at once, a megabyte without a line end, random and zero bytes,
// ten thousand connects and disconnects, and a client that never reads its
// replies. Throughout, a well-behaved client keeps asking and must always be
// answered; at the end the program must still be there, its memory bounded.
// Each phase is bounded in count and time; the figures are printed.
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_env.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace qev::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string Prompt = "# ";
const std::size_t Greeting_Size = std::string("Welcome to QEV_LPT\r\n# ").size();

double Seconds_Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A field of /proc/PID/status in kB (VmRSS, VmHWM), or -1.
long Status_Kb(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// Asks a line every few milliseconds and keeps the slowest answer.
class TProbe {
public:
    explicit TProbe(uint16_t port) {
        ok_ = client_.Connect(port) && client_.Receive(Greeting_Size).size() == Greeting_Size;
        if (ok_) thread_ = std::thread([this] { Run(); });
    }
    ~TProbe() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Ok() const { return ok_; }
    int Answers() const { return answers_; }
    int Failures() const { return failures_; }
    double Worst_Ms() const { return worst_ms_; }

private:
    void Run() {
        while (!stop_) {
            const auto start = Clock::now();
            if (!client_.Send("PROBE\r") || !client_.Receive_Until(Prompt, 10).ends_with(Prompt)) {
                ++failures_;
                return;
            }
            ++answers_;
            worst_ms_ = std::max(worst_ms_.load(), Seconds_Since(start) * 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    harness::TLoopback_Client client_;
    bool ok_ = false;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answers_{0}, failures_{0};
    std::atomic<double> worst_ms_{0};
};

// Sends `bytes` while reading whatever comes back (the echo), so the server
// never holds the sender back; returns the bytes received.
// Sends `bytes` while reading what comes back, for at most `seconds`; once
// everything is sent, reading stops after `quiet` without a byte (a second
// is long enough for a slow build, sanitizers on, on a busy host to answer).
std::size_t Send_While_Reading(harness::TLoopback_Client& client, const std::string& bytes, double seconds,
                               std::chrono::milliseconds quiet = std::chrono::milliseconds(1000)) {
    std::atomic<std::size_t> received{0};
    std::atomic<bool> sent{false};
    std::thread reader([&] {
        char chunk[65536];
        const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
        auto last_byte = Clock::now();
        while (Clock::now() < limit) {
            pollfd ready{client.Fd(), POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) {
                if (sent && Clock::now() - last_byte >= quiet) break;
                continue;
            }
            const ssize_t n = ::recv(client.Fd(), chunk, sizeof chunk, 0);
            if (n <= 0) break;
            received += static_cast<std::size_t>(n);
            last_byte = Clock::now();
        }
    });
    client.Send(bytes);
    sent = true;
    reader.join();
    return received;
}

TEST(Command_Server_Load, Stays_Up_Answers_Throughout_And_Keeps_Its_Memory_Bounded) {
    // Room for a thousand clients in this process; the program raises its own limit.
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    ::setrlimit(RLIMIT_NOFILE, &files);
    const int clients = static_cast<int>(std::min<rlim_t>(1000, files.rlim_cur - 64));

    TTemp_Dir profile;
    const uint16_t port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    Write_File(profile.File("QEV_LPT.INI"), "[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(port) + "\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    // In a sanitizer build freed memory waits in a 256 MB quarantine, which
    // would measure the sanitizer rather than the server (ignored otherwise).
    const char* asan = std::getenv("ASAN_OPTIONS");
    program.Environment["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":quarantine_size_mb=16";
    ASSERT_TRUE(program.Start());
    TProbe probe(port);
    ASSERT_TRUE(probe.Ok());
    const long rss_at_start = Status_Kb(program.Pid(), "VmRSS");

    // A thousand clients at once: each greeted, each answered.
    auto start = Clock::now();
    {
        // Each waits for its greeting before the next connects: the server
        // listens with a backlog of 5, so a burst of connects faster than it
        // accepts would only measure the kernel's 1 s SYN retransmission.
        std::vector<std::unique_ptr<harness::TLoopback_Client>> many;
        int greeted = 0, answered = 0;
        for (int i = 0; i < clients; ++i) {
            many.push_back(std::make_unique<harness::TLoopback_Client>());
            ASSERT_TRUE(many.back()->Connect(port, 5)) << i;
            greeted += many.back()->Receive(Greeting_Size, 10).size() == Greeting_Size;
        }
        for (auto& client : many) client->Send("NOPE\r");
        for (auto& client : many) answered += client->Receive_Until(Prompt, 10).ends_with(Prompt);
        EXPECT_EQ(greeted, clients);
        EXPECT_EQ(answered, clients);
    }
    std::printf("load: %d clients at once greeted and answered in %.2f s\n", clients, Seconds_Since(start));

    // A megabyte without a line end, then its line end: the overlong line is refused.
    start = Clock::now();
    {
        harness::TLoopback_Client flood;
        ASSERT_TRUE(flood.Connect(port));
        ASSERT_EQ(flood.Receive(Greeting_Size).size(), Greeting_Size);
        const std::size_t echoed = Send_While_Reading(flood, std::string(1 << 20, 'x'), 60);
        EXPECT_GT(echoed, 0u);
        flood.Send("\r");
        EXPECT_TRUE(flood.Receive_Until(Prompt, 10).ends_with(Prompt));
    }
    std::printf("load: 1 MB without a line end handled in %.2f s\n", Seconds_Since(start));

    // Random bytes and zero bytes from a few clients.
    start = Clock::now();
    {
        std::mt19937 random(20261209);
        std::vector<std::unique_ptr<harness::TLoopback_Client>> noisy(4);
        for (auto& client : noisy) {
            client = std::make_unique<harness::TLoopback_Client>();
            ASSERT_TRUE(client->Connect(port));
        }
        for (int round = 0; round < 16; ++round) {
            std::string bytes(16384, '\0');
            if (round % 2 == 0)
                for (char& c : bytes) c = static_cast<char>(random());
            Send_While_Reading(*noisy[static_cast<std::size_t>(round) % noisy.size()], bytes, 10,
                               std::chrono::milliseconds(50));
        }
    }
    std::printf("load: 256 kB of random and zero bytes handled in %.2f s\n", Seconds_Since(start));

    // Ten thousand connects and disconnects: every other client leaves at
    // once without reading a byte, the others after their greeting (which
    // keeps the backlog from overflowing, as above).
    start = Clock::now();
    int connected = 0;
    for (int i = 0; i < 10000; ++i) {
        harness::TLoopback_Client brief;
        connected += brief.Connect(port, 5);
        if (i % 2 == 1) brief.Receive(Greeting_Size, 5);
    }
    EXPECT_EQ(connected, 10000);
    std::printf("load: 10000 connects and disconnects in %.2f s\n", Seconds_Since(start));

    // A client that never reads its replies while the probe keeps talking:
    // it is held back, the server does not buffer its replies without end.
    start = Clock::now();
    std::size_t pushed = 0;
    {
        harness::TLoopback_Client deaf;
        ASSERT_TRUE(deaf.Connect(port));
        ::fcntl(deaf.Fd(), F_SETFL, ::fcntl(deaf.Fd(), F_GETFL) | O_NONBLOCK);
        const std::string lines(4096, '\r');  // each CR asks for a reply
        while (Seconds_Since(start) < 3) {
            const ssize_t n = ::send(deaf.Fd(), lines.data(), lines.size(), MSG_NOSIGNAL);
            if (n > 0)
                pushed += static_cast<std::size_t>(n);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::printf("load: a client that never reads got %zu line ends in before it was held back\n", pushed);

    probe.Stop();
    const long peak = Status_Kb(program.Pid(), "VmHWM");
    std::printf(
        "load: well-behaved client answered %d times, worst reply %.1f ms; peak RSS %.1f MB (%.1f MB at start)\n",
        probe.Answers(), probe.Worst_Ms(), static_cast<double>(peak) / 1024, static_cast<double>(rss_at_start) / 1024);
    EXPECT_EQ(probe.Failures(), 0);
    EXPECT_GT(probe.Answers(), 50);
    EXPECT_LT(probe.Worst_Ms(), 5000) << "the well-behaved client waited too long";
    EXPECT_LT(pushed, 64u << 20) << "the server kept reading a client that never reads";
    EXPECT_LT(peak - rss_at_start, 256 * 1024) << "memory grew with the load";
    EXPECT_EQ(program.Wait_For_Exit(0.1), -1) << "the program is gone";
    EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
}  // namespace qev::test
