// qev_lirc_broadcast_bench: the LIRC listener's broadcast of a heard key
// over its Unix-domain socket, in this process, to LIRC's own irw.
//
//   qev_lirc_broadcast_bench [--lines=N] [--clients=N] [--irw=PATH]
//
// Measured:
//   - latency from the call of TLirc_Server::Broadcast to the line printed
//     by a running `irw SOCKET` arriving on its standard output (a pipe read
//     by a thread of this process), median, p99 and max over N lines (200),
//     one line at a time;
//   - the time one Broadcast call takes with N more clients (1,000)
//     connected to the socket that never read (their lines go to the kernel's
//     buffers, then are dropped at the output limit), median and p99 over
//     the same lines, and the lines dropped.
// The socket lies in a scratch folder under $TMPDIR (or /tmp). irw is found
// along PATH unless given.
#include "harness/irw_output.h"
#include "harness/stats.h"
#include "net/lirc_protocol.h"
#include "net/lirc_server.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qev::bench {
namespace {

using Clock = std::chrono::steady_clock;

// A remote with one key that sends nothing: only the broadcast is measured.
class TQuiet_Program : public TLirc_Program {
public:
    std::string Remote_Name() const override { return "tv"; }
    std::vector<std::string> Command_Names() const override { return {"POWER"}; }
    std::string Version() const override { return "bench"; }
    int32_t Repeat() const override { return 1; }
    bool Send(const std::string&, int32_t, bool) override { return true; }
};

// Sleeps in the event loop between events (the other threads wake it), so
// this thread leaves the cores to irw and the reader.
bool Run_Events_Until(const std::function<bool()>& done, int timeout_ms) {
    QTimer tick;  // a deadline's last look
    tick.start(10);
    const QDeadlineTimer deadline(timeout_ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Wakes the event loop of the main thread from another thread.
void Wake_Main_Thread() {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

int Connect_Unix(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void Print(const char* what, std::vector<int64_t> nanoseconds) {
    const TSummary s = Summarize(std::move(nanoseconds));
    std::printf("%-44s median %8.1f us  p99 %8.1f us  max %8.1f us  (%zu)\n", what, s.Median / 1e3, s.P99 / 1e3,
                s.Max / 1e3, s.Count);
    std::fflush(stdout);
}

int Run(int lines, int clients, const std::string& irw) {
    // A socket's path holds at most 107 bytes: a long TMPDIR gives way to /tmp.
    const char* tmp = std::getenv("TMPDIR");
    std::string folder_pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qev_lirc_bench_XXXXXX";
    if (folder_pattern.size() > 80) folder_pattern = "/tmp/qev_lirc_bench_XXXXXX";
    if (!mkdtemp(folder_pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = folder_pattern;
    const std::string path = folder + "/lircd";
    TQuiet_Program program;
    TLirc_Server server(program);
    std::string error;
    if (!server.Open_Socket(path, &error)) {
        std::fprintf(stderr, "socket: %s\n", error.c_str());
        return 1;
    }

    // irw, its output read by a thread that stamps each line's arrival.
    harness::TIrw_Output irw_output(irw, path, Wake_Main_Thread);
    if (!irw_output.Started() || !Run_Events_Until([&] { return server.Connection_Count() == 1; }, 10000)) {
        std::fprintf(stderr, "irw did not connect to %s\n", path.c_str());
        return 1;
    }

    const auto measure = [&](std::vector<int64_t>& latency, std::vector<int64_t>& call, int first) {
        for (int i = 0; i < lines; ++i) {
            const std::string line = Lirc_Key_Line(static_cast<uint64_t>(first + i), 0, "POWER", "tv");
            const Clock::time_point start = Clock::now();
            server.Broadcast(line);
            call.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
            const auto index = static_cast<std::size_t>(first + i);
            if (!Run_Events_Until([&] { return irw_output.Count() > index; }, 10000)) return false;
            latency.push_back(
                std::chrono::duration_cast<std::chrono::nanoseconds>(irw_output.Line(index).Arrival - start).count());
        }
        return true;
    };
    std::vector<int64_t> latency, call;
    bool ok = measure(latency, call, 0);
    if (ok) {
        Print("Broadcast -> irw's output, 1 client", latency);
        Print("Broadcast call, 1 client", call);
    }

    // Many more clients that never read.
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    // Connected from another thread: a connect() waits while the backlog is
    // full, until this thread's event loop accepts.
    std::vector<int> sleepers;
    std::atomic<bool> connected{false};
    std::thread connector([&] {
        for (int i = 0; i < clients; ++i) {
            const int fd = Connect_Unix(path);
            if (fd < 0) break;
            sleepers.push_back(fd);
        }
        connected = true;
        Wake_Main_Thread();
    });
    ok = ok && Run_Events_Until([&] { return connected.load(); }, 60000);
    connector.join();
    ok = ok && Run_Events_Until([&] { return server.Connection_Count() == 1 + sleepers.size(); }, 20000);
    if (ok) {
        std::vector<int64_t> crowded_latency, crowded_call;
        const std::size_t dropped = server.Dropped_Lines();
        ok = measure(crowded_latency, crowded_call, lines);
        if (ok) {
            const std::string label = std::to_string(sleepers.size()) + " more clients";
            Print(("Broadcast -> irw's output, " + label).c_str(), crowded_latency);
            Print(("Broadcast call, " + label).c_str(), crowded_call);
            std::printf("lines dropped for clients that do not read: %zu\n", server.Dropped_Lines() - dropped);
        }
    }
    for (const int fd : sleepers) ::close(fd);
    server.Close();
    std::filesystem::remove_all(folder);
    if (!ok) std::fprintf(stderr, "a line did not reach irw within 10 s\n");
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace qev::bench

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int lines = 200, clients = 1000;
    std::string irw = "irw";
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--lines=", 0) == 0)
            lines = std::atoi(argument.c_str() + 8);
        else if (argument.rfind("--clients=", 0) == 0)
            clients = std::atoi(argument.c_str() + 10);
        else if (argument.rfind("--irw=", 0) == 0)
            irw = argument.substr(6);
        else {
            std::fprintf(stderr, "usage: %s [--lines=N] [--clients=N] [--irw=PATH]\n", argv[0]);
            return 2;
        }
    }
    return qev::bench::Run(lines, clients, irw);
}
