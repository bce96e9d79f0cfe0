// The Command server over real loopback connections: Qt clients driven on
// the test's own thread through its event loop, and plain POSIX clients on
// other threads where many connections or blocking sends are needed.
#include "harness/loopback_client.h"
#include "net/command_server.h"
#include "tests/net/fake_macro_line.h"
#include "tests/net/loopback_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace qev {
namespace {

using namespace std::string_literals;
using harness::Close_With_Reset;
using harness::Connect_Loopback;
using harness::Receive_Count;
using harness::Send_All;
using test::Fake_Run;
using test::Run_Events_Until;
using test::Run_Events_Until_Done;
using test::TClient;
using test::Wait_Ms;

// For the loads: a thousand connections, floods of bytes.
constexpr int Long_Wait_Ms = 60000;
const std::string Greeting = "Welcome to QEV_LPT\r\n# ";
const std::string OK = "Command OK\r\n# ";
const std::string Error = "Command Error\a\r\n# ";

// Control bytes made visible, for failure messages.
std::string Visible(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (u < 32 || u >= 127)
            out += "\\x" + std::string(1, "0123456789abcdef"[u >> 4]) + "0123456789abcdef"[u & 15];
        else
            out += c;
    }
    return out;
}

// Waits until `client` has received as many bytes as `expected` holds, then
// compares everything it received.
::testing::AssertionResult Receives(TClient& client, const std::string& expected) {
    if (!QTest::qWaitFor([&] { return client.received.size() >= expected.size(); }, Wait_Ms))
        return ::testing::AssertionFailure()
               << "only \"" << Visible(client.received) << "\" arrived\n expected \"" << Visible(expected) << "\"";
    if (client.received == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "received \"" << Visible(client.received) << "\"\n expected \""
                                         << Visible(expected) << "\"";
}

// ---- The fixture -----------------------------------------------------------

class Command_Server_Test : public ::testing::Test {
protected:
    bool echo = true;
    std::set<std::string> known = {"POWER"};
    std::vector<std::string> runs;
    std::size_t longest_run = 0;
    std::function<void(const std::string&)> during_run;
    TCommand_Server server{[this](const std::string& line) {
                               runs.push_back(line);
                               longest_run = std::max(longest_run, line.size());
                               if (during_run) during_run(line);
                               return Fake_Run(line, known);
                           },
                           [this] { return echo; }};
    uint16_t port = 0;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Open(0, &error)) << error;
        port = server.Port();
        ASSERT_NE(port, 0);
    }
    // A client that has been greeted, or null.
    std::unique_ptr<TClient> Connect(const QHostAddress& host = QHostAddress(QHostAddress::LocalHost)) {
        auto client = std::make_unique<TClient>();
        if (!client->Connect(port, host)) return nullptr;
        if (!Receives(*client, Greeting)) return nullptr;
        return client;
    }
};

TEST_F(Command_Server_Test, Greets_And_Answers_On_IPv4_And_IPv6) {
    struct Row {
        const char* name;
        QHostAddress address;
    };
    for (const Row& row : {Row{"ipv4 loopback", QHostAddress(QHostAddress::LocalHost)},
                           Row{"ipv6 loopback", QHostAddress(QHostAddress::LocalHostIPv6)}}) {
        SCOPED_TRACE(row.name);
        auto client = Connect(row.address);
        ASSERT_TRUE(client);
        client->Send("POWER\r\n");  // seven bytes in one write
        EXPECT_TRUE(Receives(*client, Greeting + "POWER\r\n" + OK));
    }
    EXPECT_EQ(runs, (std::vector<std::string>{"POWER", "POWER"}));
}

TEST_F(Command_Server_Test, Bytes_Sent_One_At_A_Time_Are_Edited_As_Typed) {
    auto client = Connect();
    ASSERT_TRUE(client);
    struct Step {
        std::string byte;
        std::string answer;
    };
    const std::vector<Step> steps = {
        {"\b", "\a"},           {"P", "P"}, {"L", "L"}, {"A", "A"}, {"X", "X"}, {"\b", "\b \b"}, {"Y", "Y"},
        {"\r", "\r\n" + Error}, {"\n", ""}, {"P", "P"}, {"O", "O"}, {"W", "W"}, {"E", "E"},      {"R", "R"},
        {"\r", "\r\n" + OK},
    };
    std::string expected = Greeting;
    for (const Step& step : steps) {
        SCOPED_TRACE(Visible(step.byte));
        client->Send(step.byte);
        expected += step.answer;
        ASSERT_TRUE(Receives(*client, expected));
    }
    // An LF that had been kept would have begun the second line.
    EXPECT_EQ(runs, (std::vector<std::string>{"PLAY", "POWER"}));
}

TEST_F(Command_Server_Test, With_Echo_Off_Only_The_Greeting_And_The_Replies_Arrive) {
    echo = false;
    auto client = Connect();
    ASSERT_TRUE(client);
    client->Send("POWER\r\n");
    ASSERT_TRUE(Receives(*client, Greeting + OK));
    client->Send("x\b\b");
    client->Send("power\r");
    ASSERT_TRUE(Receives(*client, Greeting + OK + Error));
    echo = true;  // takes effect with the next byte
    client->Send("P");
    EXPECT_TRUE(Receives(*client, Greeting + OK + Error + "P"));
    EXPECT_EQ(runs, (std::vector<std::string>{"POWER", "power"}));
}

TEST_F(Command_Server_Test, Two_Clients_Build_One_Line_And_The_Second_Gets_The_Reply) {
    auto first = Connect();
    auto second = Connect();
    ASSERT_TRUE(first && second);
    first->Send("PO");
    ASSERT_TRUE(Receives(*first, Greeting + "PO"));
    second->Send("WER\r");
    ASSERT_TRUE(Receives(*second, Greeting + "WER\r\n" + OK));
    EXPECT_EQ(first->received, Greeting + "PO");
    EXPECT_EQ(runs, std::vector<std::string>{"POWER"});
}

TEST_F(Command_Server_Test, A_Partial_Line_Outlives_Its_Connection_And_A_Close) {
    struct Row {
        const char* name;
        bool reopen;
    };
    for (const Row& row : {Row{"the client disconnects", false}, Row{"the server is closed and opened", true}}) {
        SCOPED_TRACE(row.name);
        runs.clear();
        {
            auto first = Connect();
            ASSERT_TRUE(first);
            first->Send("PO");
            ASSERT_TRUE(Receives(*first, Greeting + "PO"));
            if (row.reopen) {
                server.Close();
                ASSERT_TRUE(QTest::qWaitFor([&] { return first->Closed(); }, Wait_Ms));
                std::string error;
                ASSERT_TRUE(server.Open(0, &error)) << error;
                port = server.Port();
            }
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.Connection_Count() == 0; }, Wait_Ms));
        EXPECT_EQ(server.Input_Line().Line(), "PO");
        auto second = Connect();
        ASSERT_TRUE(second);
        second->Send("WER\r");
        EXPECT_TRUE(Receives(*second, Greeting + "WER\r\n" + OK));
        EXPECT_EQ(runs, std::vector<std::string>{"POWER"});
    }
}

TEST_F(Command_Server_Test, Opening_A_Port_Another_Socket_Holds_Fails_With_The_Reason) {
    struct Row {
        const char* name;
        QHostAddress holder;
    };
    for (const Row& row : {Row{"held on every address", QHostAddress(QHostAddress::Any)},
                           Row{"held on every ipv4 address", QHostAddress(QHostAddress::AnyIPv4)},
                           Row{"held on every ipv6 address", QHostAddress(QHostAddress::AnyIPv6)},
                           Row{"held on ipv4 loopback", QHostAddress(QHostAddress::LocalHost)}}) {
        SCOPED_TRACE(row.name);
        TCommand_Server other([](const std::string&) { return true; }, [] { return true; });
        uint16_t held = 0;
        {
            QTcpServer holder;
            ASSERT_TRUE(holder.listen(row.holder, 0));
            held = holder.serverPort();
            std::string error;
            EXPECT_FALSE(other.Open(held, &error));
            EXPECT_FALSE(error.empty());
            EXPECT_FALSE(other.Is_Open());
            EXPECT_EQ(other.Port(), 0);
            EXPECT_FALSE(other.Open(held, nullptr));
        }
        std::string error;  // the holder is gone: the port opens
        EXPECT_TRUE(other.Open(held, &error)) << error;
        EXPECT_EQ(other.Port(), held);
    }
    // A second server on the first one's port fails the same way.
    TCommand_Server second([](const std::string&) { return true; }, [] { return true; });
    std::string error;
    EXPECT_FALSE(second.Open(port, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(Command_Server_Test, Close_Ends_Every_Connection_And_Stops_Listening) {
    std::vector<std::unique_ptr<TClient>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(Connect());
        ASSERT_TRUE(clients.back());
    }
    EXPECT_EQ(server.Connection_Count(), 3u);
    server.Close();
    EXPECT_FALSE(server.Is_Open());
    EXPECT_EQ(server.Port(), 0);
    EXPECT_EQ(server.Connection_Count(), 0u);
    for (auto& client : clients) EXPECT_TRUE(QTest::qWaitFor([&] { return client->Closed(); }, Wait_Ms));

    TClient late;
    late.Socket().connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return late.Socket().error() == QAbstractSocket::ConnectionRefusedError && late.Closed(); }, Wait_Ms));

    std::string error;
    ASSERT_TRUE(server.Open(port, &error)) << error;
    EXPECT_TRUE(Connect());
}

TEST_F(Command_Server_Test, A_Thousand_Connections_Are_Each_Greeted_And_Answered) {
    constexpr int Count = 1000;
    std::atomic<int> greeted{0}, answered{0}, failed{0};
    std::atomic<bool> all_counted{false}, done{false};
    std::thread clients([&] {
        std::vector<int> fds;
        for (int i = 0; i < Count; ++i) {
            const int fd = Connect_Loopback(port, Wait_Ms);
            if (fd < 0 || Receive_Count(fd, Greeting.size(), Wait_Ms) != Greeting) {
                ++failed;
                if (fd >= 0) close(fd);
                continue;
            }
            fds.push_back(fd);
            ++greeted;
        }
        while (!all_counted) std::this_thread::yield();
        for (const int fd : fds) {
            if (Send_All(fd, "\r") && Receive_Count(fd, 2 + OK.size(), Wait_Ms) == "\r\n" + OK)
                ++answered;
            else
                ++failed;
        }
        for (const int fd : fds) close(fd);
        done = true;
    });
    const bool all_greeted = Run_Events_Until([&] { return greeted + failed == Count; }, Long_Wait_Ms);
    EXPECT_EQ(server.Connection_Count(), static_cast<std::size_t>(greeted.load()));
    all_counted = true;
    const bool finished = Run_Events_Until([&] { return done.load(); }, Long_Wait_Ms);
    clients.join();
    EXPECT_TRUE(all_greeted && finished);
    EXPECT_EQ(greeted, Count);
    EXPECT_EQ(answered, Count);
    EXPECT_EQ(failed, 0);
    EXPECT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == 0; }, Long_Wait_Ms));
}

// A line's run blocks the thread, or lets events through as a macro does:
// other connections' bytes are handled afterwards or meanwhile, and the
// running connection's own later bytes always after its line.
TEST_F(Command_Server_Test, Bytes_Arriving_During_A_Long_Line_Are_Handled_In_Order) {
    struct Row {
        const char* name;
        bool lets_events_through;
        std::vector<std::string> runs;
    };
    for (const Row& row :
         {Row{"the line blocks", false, {}}, Row{"the line lets events through", true, {"SLOW", "X", "NEXT"}}}) {
        SCOPED_TRACE(row.name);
        runs.clear();
        auto a = Connect();
        auto b = Connect();
        ASSERT_TRUE(a && b);
        during_run = [&](const std::string& line) {
            if (line != "SLOW") return;
            a->Send("NEXT\r");
            b->Send("X\r");
            if (row.lets_events_through)
                Run_Events_Until([&] { return b->received.size() >= Greeting.size() + 3; }, Long_Wait_Ms);
        };
        a->Send("SLOW\r");
        ASSERT_TRUE(Receives(*a, Greeting + "SLOW\r\n" + Error + "NEXT\r\n" + Error));
        ASSERT_TRUE(Receives(*b, Greeting + "X\r\n" + Error));
        ASSERT_EQ(runs.size(), 3u);
        EXPECT_EQ(runs[0], "SLOW");
        if (!row.runs.empty()) {
            EXPECT_EQ(runs, row.runs);
        }
        EXPECT_EQ(std::set<std::string>(runs.begin() + 1, runs.end()), (std::set<std::string>{"X", "NEXT"}));
        during_run = nullptr;
    }
}

TEST_F(Command_Server_Test, A_Connection_Or_The_Server_Closing_During_A_Line_Is_Safe) {
    struct Row {
        const char* name;
        bool close_server;
    };
    for (const Row& row : {Row{"the client leaves", false}, Row{"the server is closed", true}}) {
        SCOPED_TRACE(row.name);
        auto a = Connect();
        auto b = Connect();
        ASSERT_TRUE(a && b);
        during_run = [&](const std::string& line) {
            if (line != "BYE") return;
            if (row.close_server) {
                server.Close();
            } else {
                a->Socket().abort();
                Run_Events_Until([&] { return server.Connection_Count() == 1; }, Wait_Ms);
            }
            QTest::qWait(0);  // lets deferred deletions run, as a macro's pending events would
        };
        a->Send("BYE\r\nPOWER\r");
        ASSERT_TRUE(
            Run_Events_Until([&] { return std::find(runs.begin(), runs.end(), "BYE") != runs.end(); }, Wait_Ms));
        during_run = nullptr;
        if (row.close_server) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return a->Closed() && b->Closed(); }, Wait_Ms));
            EXPECT_FALSE(server.Is_Open());
            std::string error;
            ASSERT_TRUE(server.Open(0, &error)) << error;
            port = server.Port();
            b = Connect();
            ASSERT_TRUE(b);
        }
        b->Send("POWER\r");
        EXPECT_TRUE(Receives(*b, Greeting + "POWER\r\n" + OK));
        EXPECT_EQ(runs.back(), "POWER");
        runs.clear();
        a.reset();
        b.reset();
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.Connection_Count() == 0; }, Wait_Ms));
    }
}

TEST_F(Command_Server_Test, Connections_That_Reset_Leave_The_Server_Serving) {
    std::vector<int> fds;
    for (std::size_t i = 0; i < 20; ++i) {
        const int fd = Connect_Loopback(port, Wait_Ms);
        ASSERT_GE(fd, 0);
        fds.push_back(fd);
        if (i % 2) Send_All(fd, "\r");  // half of them with a reply on its way
        // Accept it before the next one: the backlog holds only five.
        ASSERT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == i + 1; }, Wait_Ms));
    }
    ASSERT_TRUE(Run_Events_Until([&] { return runs.size() == 10; }, Wait_Ms));
    for (const int fd : fds) Close_With_Reset(fd);
    EXPECT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == 0; }, Long_Wait_Ms));
    EXPECT_TRUE(server.Is_Open());
    auto client = Connect();
    ASSERT_TRUE(client);
    client->Send("POWER\r");
    EXPECT_TRUE(Receives(*client, Greeting + "POWER\r\n" + OK));
}

// A client that sends without reading its echo is no longer read once its
// output backs up: TCP holds it back, and the server's memory stays bounded.
// When it reads again, everything it sent is handled.
TEST_F(Command_Server_Test, A_Client_That_Does_Not_Read_Is_Held_Back) {
    constexpr std::size_t Offered = 64u << 20;
    std::atomic<std::size_t> sent{0};
    std::atomic<bool> stalled{false}, done{false};
    std::string echoed;
    std::thread client([&] {
        const int fd = Connect_Loopback(port, Wait_Ms, {.Send_Buffer = 16 * 1024, .Receive_Buffer = 16 * 1024});
        timeval stall{0, 300'000};  // a send that cannot go on for this long: the server stopped reading
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
        const std::string block(64 * 1024, 'x');
        while (sent < Offered) {
            const ssize_t n = send(fd, block.data(), block.size(), MSG_NOSIGNAL);
            if (n > 0) sent += static_cast<std::size_t>(n);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n < 0 && errno != EINTR) break;
        }
        stalled = sent < Offered;
        // Now read it all back: the greeting, one byte per byte sent, and the reply.
        timeval none{0, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none);
        std::thread reader([&] { echoed = Receive_Count(fd, Greeting.size() + sent + 2 + Error.size(), Wait_Ms); });
        Send_All(fd, "\r");
        reader.join();
        close(fd);
        done = true;
    });
    std::size_t peak = 0;
    const bool finished = Run_Events_Until_Done(
        done, [&] { return server.Output_Backlog(); }, &peak, 120000);
    client.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(stalled) << "the client sent all " << Offered << " bytes without reading";
    EXPECT_LE(peak, TCommand_Server::Output_Limit + 4096);
    const std::size_t count = sent;
    ASSERT_EQ(echoed.size(), Greeting.size() + count + 2 + Error.size());
    EXPECT_EQ(echoed.substr(Greeting.size(), 127), std::string(127, 'x'));
    EXPECT_EQ(echoed.find_first_not_of('\a', Greeting.size() + 127), Greeting.size() + count);
    EXPECT_EQ(echoed.substr(Greeting.size() + count), "\r\n" + Error);
    EXPECT_TRUE(runs.empty());  // the overlong line was refused, not run
}

TEST_F(Command_Server_Test, Floods_Of_Random_Bytes_From_Many_Connections_Leave_It_Serving) {
    constexpr int Clients = 8;
    constexpr std::size_t Per_Client = 256 * 1024;
    std::atomic<bool> done{false};
    std::atomic<int> ended{0};
    std::thread flood([&] {
        std::mt19937 random(12345);
        std::vector<int> fds;
        std::vector<std::string> data;
        std::vector<std::size_t> offset(Clients, 0);
        for (int i = 0; i < Clients; ++i) {
            fds.push_back(Connect_Loopback(port, Wait_Ms));
            std::string bytes(Per_Client, '\0');
            for (char& c : bytes) {
                // Mostly letters, with every special byte well represented.
                const unsigned r = random() % 64;
                const char special[] = {'\r', '\n', '\b', 0x7f, '\0', '\x80', '\xff'};
                c = r < 7 ? special[r] : static_cast<char>('A' + r % 26);
            }
            data.push_back(std::move(bytes));
        }
        std::vector<bool> open(Clients, true), shut(Clients, false);
        char buffer[65536];
        int still_open = Clients;
        while (still_open > 0) {
            std::vector<pollfd> polls;
            for (int i = 0; i < Clients; ++i) {
                short events = open[i] ? POLLIN : 0;
                if (!shut[i]) events |= POLLOUT;
                polls.push_back({fds[i], events, 0});
            }
            if (poll(polls.data(), polls.size(), 10000) <= 0) break;
            for (int i = 0; i < Clients; ++i) {
                if (polls[i].revents & POLLOUT && !shut[i]) {
                    const ssize_t n =
                        send(fds[i], data[i].data() + offset[i], std::min<std::size_t>(4096, Per_Client - offset[i]),
                             MSG_DONTWAIT | MSG_NOSIGNAL);
                    if (n > 0) offset[i] += static_cast<std::size_t>(n);
                    if (offset[i] == Per_Client) {
                        shutdown(fds[i], SHUT_WR);  // the server ends the connection after the last byte
                        shut[i] = true;
                    }
                }
                if (polls[i].revents & (POLLIN | POLLHUP | POLLERR) && open[i]) {
                    const ssize_t n = recv(fds[i], buffer, sizeof buffer, MSG_DONTWAIT);
                    if (n == 0 || (n < 0 && errno != EAGAIN)) {
                        open[i] = false;
                        --still_open;
                        if (offset[i] == Per_Client) ++ended;
                    }
                }
            }
        }
        for (const int fd : fds) close(fd);
        done = true;
    });
    std::size_t peak = 0;
    const bool finished = Run_Events_Until_Done(
        done, [&] { return server.Output_Backlog(); }, &peak, 120000);
    flood.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(ended, Clients);  // each sent everything and was ended by the server in turn
    EXPECT_GT(runs.size(), 1000u);
    EXPECT_LE(longest_run, 127u);
    EXPECT_LE(peak, TCommand_Server::Output_Limit + 4096);
    EXPECT_LE(server.Input_Line().Line().size(), 127u);
    EXPECT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == 0; }, Long_Wait_Ms));

    auto client = Connect();
    ASSERT_TRUE(client);
    echo = false;
    client->Send("\r\r");  // ends whatever the floods left, then an empty line
    ASSERT_TRUE(QTest::qWaitFor([&] { return client->received.size() >= Greeting.size() + 2 * OK.size(); }, Wait_Ms));
    EXPECT_EQ(client->received.substr(client->received.size() - OK.size()), OK);
    EXPECT_EQ(runs.back(), "");
}

}  // namespace
}  // namespace qev
