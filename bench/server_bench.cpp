// qev_server_bench: a running QEV_LPT's Command server beside LIRC's lircd,
// both on loopback, measured the same way in the same run.
//
//   qev_server_bench --qev=PORT --lirc=PORT [--lirc-name=TEXT] [--quick]
//   qev_server_bench --free-port      prints a TCP port that was free just now
//
// Each server gets a request that changes nothing: for QEV_LPT a CR on an
// empty line (answered, with echo on, CR LF "Command OK" CR LF "# "), for
// lircd VERSION (answered BEGIN ... END). Measured:
//   - reply latency of one connection, one request at a time, for a plain
//     client (the system's defaults: Nagle's algorithm, delayed ACKs) and
//     for one with TCP_NODELAY and TCP_QUICKACK;
//   - throughput, requests per second, with 1, 10 and 100 plain clients,
//     each sending its next request when its reply is in;
//   - how many of 1,000 connections, opened one after another and all kept
//     open, answer a request, each when it opens and then all at once;
//   - a line sent one byte per write: QEV_LPT's after each byte's echo,
//     lircd's 50 ms apart (it sends nothing back to wait for), and whether
//     the connection still answers a whole request afterwards.
// Either server may be left out. The script scripts/bench-server starts
// both and runs this.
#include "harness/loopback_client.h"
#include "harness/stats.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qev::bench {
namespace {

using harness::TLoopback_Client;
using harness::TRead_Result;

enum class TClient_Kind {
    Plain,  // the system's defaults: Nagle's algorithm and delayed acknowledgements
    Tuned,  // TCP_NODELAY, and TCP_QUICKACK again after every read
};

using Clock = std::chrono::steady_clock;

constexpr int Reply_Timeout_Ms = 5000;

struct TServer {
    std::string Name;
    uint16_t Port = 0;
    std::string Greeting_End;  // the last bytes of the greeting; empty: no greeting
    std::string Request;
    std::string Request_Name;
    std::string Reply_End;  // the last bytes of the request's reply
    std::string Bytewise_Line;
    bool Echoes = false;  // each byte of a line comes back before the next is sent
};

struct TOptions {
    int Latency_Requests = 20000;
    double Latency_Seconds = 5.0;
    double Throughput_Seconds = 3.0;
    int Capacity = 1000;
    int Bytewise_Rounds = 5;
};

int64_t Ns(Clock::duration d) { return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count(); }

std::optional<TLoopback_Client> Open_Client(const TServer& server, TClient_Kind kind, int timeout_ms = 3000) {
    TLoopback_Client connection;
    if (!connection.Open(server.Port, timeout_ms, {.No_Delay = kind == TClient_Kind::Tuned})) return std::nullopt;
    if (!server.Greeting_End.empty() && connection.Read_Until(server.Greeting_End, timeout_ms) != TRead_Result::Got)
        return std::nullopt;
    return connection;
}

// ---- Latency ----------------------------------------------------------------

struct TLatency {
    std::vector<int64_t> Ns;
    int Failures = 0;
};

TLatency Measure_Latency(const TServer& server, TClient_Kind kind, const TOptions& options) {
    TLatency result;
    auto connection = Open_Client(server, kind);
    if (!connection) {
        result.Failures = 1;
        return result;
    }
    for (int i = 0; i < 20; ++i) {  // warm up both ends
        if (!connection->Send(server.Request) ||
            connection->Read_Until(server.Reply_End, Reply_Timeout_Ms) != TRead_Result::Got) {
            result.Failures = 1;
            return result;
        }
    }
    const Clock::time_point stop = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>(options.Latency_Seconds));
    while (static_cast<int>(result.Ns.size()) < options.Latency_Requests && Clock::now() < stop) {
        const Clock::time_point start = Clock::now();
        if (!connection->Send(server.Request) ||
            connection->Read_Until(server.Reply_End, Reply_Timeout_Ms) != TRead_Result::Got) {
            ++result.Failures;
            break;
        }
        result.Ns.push_back(Ns(Clock::now() - start));
    }
    return result;
}

// ---- Throughput ---------------------------------------------------------------

struct TThroughput {
    double Per_Second = 0;
    int Opened = 0;
    int Failures = 0;
    int64_t Median_Ns = 0;
};

TThroughput Measure_Throughput(const TServer& server, int connections, const TOptions& options) {
    TThroughput result;
    std::vector<TLoopback_Client> clients;
    for (int i = 0; i < connections; ++i) {
        auto client = Open_Client(server, TClient_Kind::Plain);
        if (!client) {
            ++result.Failures;
            continue;
        }
        clients.push_back(std::move(*client));
    }
    result.Opened = static_cast<int>(clients.size());
    std::atomic<bool> go{false};
    std::atomic<int64_t> done{0};
    std::atomic<int> failures{0};
    std::vector<std::vector<int64_t>> times(clients.size());
    const auto length =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.Throughput_Seconds));
    Clock::time_point start, stop;
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    for (std::size_t i = 0; i < clients.size(); ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (!go) std::this_thread::yield();
            int64_t count = 0;
            for (;;) {
                const Clock::time_point sent = Clock::now();
                if (sent >= stop) break;
                if (!clients[i].Send(server.Request) ||
                    clients[i].Read_Until(server.Reply_End, Reply_Timeout_Ms) != TRead_Result::Got) {
                    ++failures;
                    break;
                }
                const Clock::time_point got = Clock::now();
                if (got > stop) break;  // only replies that came within the run count
                ++count;
                times[i].push_back(Ns(got - sent));
            }
            done += count;
        });
    }
    while (ready < static_cast<int>(threads.size())) std::this_thread::yield();
    start = Clock::now();
    stop = start + length;
    go = true;
    for (std::thread& t : threads) t.join();
    result.Per_Second = static_cast<double>(done.load()) / options.Throughput_Seconds;
    result.Failures += failures;
    std::vector<int64_t> all;
    for (const auto& t : times) all.insert(all.end(), t.begin(), t.end());
    result.Median_Ns = Summarize(all).Median;
    return result;
}

// ---- Many connections -----------------------------------------------------------

struct TCapacity {
    int Opened = 0;
    int Answered = 0;        // when opened, the earlier ones still open
    int Closed = 0;          // by the server, at any point
    int Answered_Again = 0;  // then all at once
    int Silent = 0;          // no answer within the time limit
    double Open_Seconds = 0;
};

// Opens the connections one after another, each answering a request before
// the next is opened (lircd stops accepting for a second at a time when
// idle connections pile up in its backlog of 3), keeps them all open, then
// sends one more request on every connection still open at once.
TCapacity Measure_Capacity(const TServer& server, const TOptions& options) {
    TCapacity result;
    std::vector<TLoopback_Client> clients;
    const Clock::time_point begin = Clock::now();
    for (int i = 0; i < options.Capacity; ++i) {
        auto client = Open_Client(server, TClient_Kind::Plain);
        if (!client) continue;
        ++result.Opened;
        const bool sent = client->Send(server.Request);
        const TRead_Result read = sent ? client->Read_Until(server.Reply_End, 2000) : TRead_Result::Closed;
        if (read == TRead_Result::Got) {
            ++result.Answered;
            clients.push_back(std::move(*client));
        } else if (read == TRead_Result::Closed) {
            ++result.Closed;
        } else {
            ++result.Silent;
        }
    }
    result.Open_Seconds = std::chrono::duration<double>(Clock::now() - begin).count();

    std::vector<int> state(clients.size(), 0);  // 0 waiting, 1 answered, 2 closed
    for (std::size_t i = 0; i < clients.size(); ++i)
        if (!clients[i].Send(server.Request)) state[i] = 2;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        std::vector<pollfd> waits;
        std::vector<std::size_t> which;
        for (std::size_t i = 0; i < clients.size(); ++i) {
            if (state[i] != 0) continue;
            waits.push_back({clients[i].Fd(), POLLIN, 0});
            which.push_back(i);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (waits.empty() || left <= 0) break;
        if (poll(waits.data(), waits.size(), static_cast<int>(left)) <= 0) continue;
        for (std::size_t k = 0; k < waits.size(); ++k) {
            if (waits[k].revents == 0) continue;
            const TRead_Result read = clients[which[k]].Take_Waiting(server.Reply_End);
            if (read == TRead_Result::Got) state[which[k]] = 1;
            if (read == TRead_Result::Closed) state[which[k]] = 2;
        }
    }
    for (const int s : state) {
        if (s == 1) ++result.Answered_Again;
        if (s == 2) ++result.Closed;
        if (s == 0) ++result.Silent;
    }
    return result;
}

// ---- One byte at a time -------------------------------------------------------------

struct TBytewise {
    int Rounds = 0;
    int Answered = 0;
    int Closed = 0;
    int Still_Answering = 0;
};

TBytewise Measure_Bytewise(const TServer& server, const TOptions& options) {
    TBytewise result;
    for (int round = 0; round < options.Bytewise_Rounds; ++round) {
        ++result.Rounds;
        auto client = Open_Client(server, TClient_Kind::Plain);
        if (!client) {
            ++result.Closed;
            continue;
        }
        bool alive = true;
        const std::string& line = server.Bytewise_Line;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const std::string_view byte(line.data() + i, 1);
            if (!client->Send(byte)) {
                alive = false;
                break;
            }
            if (i + 1 == line.size()) break;
            if (server.Echoes) {
                if (client->Read_Until(byte, Reply_Timeout_Ms) != TRead_Result::Got) {
                    alive = false;
                    break;
                }
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));  // lets each byte be a read of its own
            }
        }
        const TRead_Result reply = alive ? client->Read_Until(server.Reply_End, 2000) : TRead_Result::Closed;
        if (reply == TRead_Result::Got) ++result.Answered;
        if (reply == TRead_Result::Closed) {
            ++result.Closed;
            continue;
        }
        if (client->Send(server.Request) && client->Read_Until(server.Reply_End, 2000) == TRead_Result::Got)
            ++result.Still_Answering;
        else
            ++result.Closed;
    }
    return result;
}

// ---- Report -------------------------------------------------------------------------

std::string Cell(std::optional<double> value, const char* format) {
    if (!value) return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

void Print_Latency(const std::vector<TServer>& servers, const TOptions& options) {
    std::printf(
        "\nReply latency: one connection, one request at a time (%d at most, %.0f s at most), after 20 to warm "
        "up. Times in us.\n\n",
        options.Latency_Requests, options.Latency_Seconds);
    std::printf("| %-8s | %-26s | %-19s | %7s | %10s | %10s | %10s | %8s |\n", "server", "client", "request", "replies",
                "median", "p99", "max", "failures");
    std::printf(
        "|----------|----------------------------|---------------------|---------|------------|------------|---"
        "---------|----------|\n");
    for (const TClient_Kind kind : {TClient_Kind::Plain, TClient_Kind::Tuned}) {
        for (const TServer& server : servers) {
            const TLatency latency = Measure_Latency(server, kind, options);
            const TSummary s = Summarize(latency.Ns);
            std::printf("| %-8s | %-26s | %-19s | %7zu | %10.1f | %10.1f | %10.1f | %8d |\n", server.Name.c_str(),
                        kind == TClient_Kind::Plain ? "plain (system defaults)" : "TCP_NODELAY + TCP_QUICKACK",
                        server.Request_Name.c_str(), s.Count, s.Median / 1000.0, s.P99 / 1000.0, s.Max / 1000.0,
                        latency.Failures);
            std::fflush(stdout);
        }
    }
}

void Print_Throughput(const std::vector<TServer>& servers, const TOptions& options) {
    std::printf(
        "\nThroughput: plain clients, each on its own connection and thread, sending its next request when its reply "
        "is in; %.0f s per run. Requests per second (median reply time in us).\n\n",
        options.Throughput_Seconds);
    std::printf("| connections |");
    for (const TServer& server : servers) std::printf(" %-24s |", server.Name.c_str());
    if (servers.size() == 2) std::printf(" %s / %s |", servers[0].Name.c_str(), servers[1].Name.c_str());
    std::printf("\n|-------------|");
    for (std::size_t i = 0; i < servers.size(); ++i) std::printf("--------------------------|");
    if (servers.size() == 2) std::printf("-----------------|");
    std::printf("\n");
    for (const int connections : {1, 10, 100}) {
        std::printf("| %11d |", connections);
        std::vector<double> rates;
        for (const TServer& server : servers) {
            const TThroughput t = Measure_Throughput(server, connections, options);
            char cell[64];
            std::snprintf(cell, sizeof cell, "%.0f (%.1f)", t.Per_Second, t.Median_Ns / 1000.0);
            std::string text = cell;
            if (t.Failures > 0 || t.Opened < connections)
                text += " [" + std::to_string(t.Opened) + " open, " + std::to_string(t.Failures) + " failed]";
            std::printf(" %-24s |", text.c_str());
            std::fflush(stdout);
            rates.push_back(t.Per_Second);
        }
        if (rates.size() == 2)
            std::printf(" %15s |",
                        Cell(rates[1] > 0 ? std::optional(rates[0] / rates[1]) : std::nullopt, "%.1f").c_str());
        std::printf("\n");
    }
}

void Print_Capacity(const std::vector<TServer>& servers, const TOptions& options) {
    std::printf(
        "\nMany connections: %d opened one after another, each answering a request before the next opens (after its "
        "greeting, where the server greets), all kept open; then one more request on every one still open, all at "
        "once, replies awaited 10 s.\n\n",
        options.Capacity);
    std::printf("| %-8s | %6s | %11s | %16s | %16s | %16s | %9s |\n", "server", "opened", "opening (s)",
                "answered, opened", "answered at once", "closed by server", "no answer");
    std::printf(
        "|----------|--------|-------------|------------------|------------------|------------------|-----------|\n");
    for (const TServer& server : servers) {
        const TCapacity c = Measure_Capacity(server, options);
        std::printf("| %-8s | %6d | %11.2f | %16d | %16d | %16d | %9d |\n", server.Name.c_str(), c.Opened,
                    c.Open_Seconds, c.Answered, c.Answered_Again, c.Closed, c.Silent);
        std::fflush(stdout);
    }
}

void Print_Bytewise(const std::vector<TServer>& servers, const TOptions& options) {
    std::printf(
        "\nOne byte per write: a line sent a byte at a time (QEV_LPT: each after the previous one's echo; lircd: 50 ms "
        "apart), %d times, each on a new connection, then the ordinary request in one write.\n\n",
        options.Bytewise_Rounds);
    std::printf("| %-8s | %-12s | %8s | %16s | %28s |\n", "server", "line", "answered", "closed by server",
                "answers the next request too");
    std::printf("|----------|--------------|----------|------------------|------------------------------|\n");
    for (const TServer& server : servers) {
        const TBytewise b = Measure_Bytewise(server, options);
        std::string line;
        for (const char c : server.Bytewise_Line) line += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
        std::printf("| %-8s | %-12s | %5d/%-2d | %16d | %25d/%-2d |\n", server.Name.c_str(), line.c_str(), b.Answered,
                    b.Rounds, b.Closed, b.Still_Answering, b.Rounds);
        std::fflush(stdout);
    }
}

uint16_t Free_Port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace
}  // namespace qev::bench

int main(int argc, char* argv[]) {
    using namespace qev::bench;
    TOptions options;
    std::vector<TServer> servers;
    std::string lirc_name = "lircd";
    uint16_t qev_port = 0, lirc_port = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--free-port") {
            std::printf("%u\n", Free_Port());
            return 0;
        }
        if (arg.rfind("--qev=", 0) == 0) qev_port = static_cast<uint16_t>(std::atoi(arg.c_str() + 6));
        if (arg.rfind("--lirc=", 0) == 0) lirc_port = static_cast<uint16_t>(std::atoi(arg.c_str() + 7));
        if (arg.rfind("--lirc-name=", 0) == 0) lirc_name = arg.substr(12);
        if (arg == "--quick") {
            options.Latency_Requests = 2000;
            options.Latency_Seconds = 2.0;
            options.Throughput_Seconds = 1.0;
            options.Bytewise_Rounds = 2;
        }
    }
    if (qev_port != 0)
        servers.push_back(
            {"QEV_LPT", qev_port, "\r\n# ", "\r", "CR on an empty line", "Command OK\r\n# ", "; ping\r", true});
    if (lirc_port != 0)
        servers.push_back({"lircd", lirc_port, "", "VERSION\n", "VERSION", "END\n", "VERSION\n", false});
    if (servers.empty()) {
        std::fprintf(stderr, "usage: qev_server_bench --qev=PORT --lirc=PORT [--lirc-name=TEXT] [--quick]\n");
        return EXIT_FAILURE;
    }
    qev::harness::Raise_Open_File_Limit();

    char when[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", std::localtime(&now));
    std::printf("Command servers on loopback, %s, %u CPUs:", when, std::thread::hardware_concurrency());
    if (qev_port) std::printf(" QEV_LPT on port %u (ECHO=1)", qev_port);
    if (lirc_port) std::printf("%s %s on port %u", qev_port ? "," : "", lirc_name.c_str(), lirc_port);
    std::printf(".\n");
    const Clock::time_point start = Clock::now();
    Print_Latency(servers, options);
    Print_Throughput(servers, options);
    Print_Capacity(servers, options);
    Print_Bytewise(servers, options);
    std::printf("\nqev_server_bench took %.1f s\n", std::chrono::duration<double>(Clock::now() - start).count());
    return EXIT_SUCCESS;
}
