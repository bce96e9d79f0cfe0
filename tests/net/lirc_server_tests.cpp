// The LIRC listener over real loopback connections: Qt clients on the test's
// own thread, driven through its event loop, and a plain POSIX client on
// another thread for a client that does not read.
#include "base/stop_request.h"
#include "harness/loopback_client.h"
#include "net/lirc_server.h"
#include "tests/net/fake_lirc_program.h"
#include "tests/net/loopback_client.h"
#include "tests/support/temp_env.h"
#include "tests/support/wait_until.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qev {
namespace {

using namespace std::chrono_literals;

using harness::Connect_Loopback;
using harness::Receive_Count;
using harness::Send_All;
using test::Run_Events_For;
using test::Run_Events_Until;
using test::Run_Events_Until_Done;
using test::TClient;
using test::Wait_Ms;

std::string Ok(const std::string& request, const std::vector<std::string>& data = {}) {
    return Lirc_Reply(request, true, data);
}
std::string Err(const std::string& request, const std::string& message) {
    return Lirc_Reply(request, false, {message});
}

class Lirc_Server_Test : public ::testing::Test {
protected:
    test::TFake_Lirc_Program program;
    TLirc_Server server{program};
    uint16_t port = 0;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Open(0, &error)) << error;
        port = server.Port();
        ASSERT_NE(port, 0);
    }
    void TearDown() override { Clear_Program_Stop(); }
    std::unique_ptr<TClient> Connect() {
        auto client = std::make_unique<TClient>();
        if (!client->Connect(port)) return nullptr;
        return client;
    }
};

TEST_F(Lirc_Server_Test, Answers_Each_Request_Of_A_Connection_In_Order_However_The_Bytes_Come) {
    struct Row {
        const char* name;
        std::vector<std::string> writes;
        std::string replies;
    };
    const std::vector<Row> rows = {
        {"one_request", {"VERSION\n"}, Ok("VERSION", {"1.2.3"})},
        {"cr_lf_echoes_the_cr", {"LIST\r\n"}, Ok("LIST\r", {"tv"})},
        {"three_in_one_write",
         {"VERSION\nSEND_ONCE tv POWER\nFOO\n"},
         Ok("VERSION", {"1.2.3"}) + Ok("SEND_ONCE tv POWER") + Err("FOO", "unknown directive: \"FOO\"")},
        {"split_in_the_middle", {"LIST t", "v POW", "ER\n"}, Ok("LIST tv POWER", {"0000000000000000 POWER"})},
        {"too_long_then_served",
         {std::string(3000, 'A'), "\nVERSION\n"},
         Err(std::string(Lirc_Line_Limit, 'A'), "line too long: more than 1024 bytes") + Ok("VERSION", {"1.2.3"})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto client = Connect();
        ASSERT_TRUE(client);
        for (const std::string& bytes : row.writes) {
            client->Send(bytes);
            Run_Events_For(5);
        }
        EXPECT_EQ(client->Receive(row.replies), row.replies);
    }
    EXPECT_EQ(program.Sent, (std::vector<std::pair<std::string, int32_t>>{{"POWER", 1}}));
}

TEST_F(Lirc_Server_Test, Each_Client_Hears_Only_Its_Own_Replies) {
    std::vector<std::unique_ptr<TClient>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(Connect());
        ASSERT_TRUE(clients.back());
    }
    EXPECT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == clients.size(); }));
    // Every client asks for two things at once, the odd ones in another order.
    for (std::size_t i = 0; i < clients.size(); ++i) clients[i]->Send(i % 2 ? "LIST\nVERSION\n" : "VERSION\nLIST\n");
    const std::string list = Ok("LIST", {"tv"}), version = Ok("VERSION", {"1.2.3"});
    for (std::size_t i = 0; i < clients.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string expected = i % 2 ? list + version : version + list;
        EXPECT_EQ(clients[i]->Receive(expected), expected);
    }
    Run_Events_For(20);
    for (auto& client : clients) EXPECT_EQ(client->received, "") << "nothing more for anyone";
}

TEST_F(Lirc_Server_Test, Listens_On_127_0_0_1_Only) {
    TClient other_loopback;
    EXPECT_FALSE(other_loopback.Connect(port, QHostAddress(QStringLiteral("127.0.0.2")))) << "127.0.0.2 is refused";
    TClient ipv6;
    EXPECT_FALSE(ipv6.Connect(port, QHostAddress(QHostAddress::LocalHostIPv6))) << "::1 is refused";
    auto client = Connect();
    ASSERT_TRUE(client);
    client->Send("LIST\n");
    EXPECT_EQ(client->Receive(Ok("LIST", {"tv"})), Ok("LIST", {"tv"}));
}

TEST_F(Lirc_Server_Test, Send_Start_Repeats_From_The_Event_Loop_Until_Send_Stop_From_Another_Client) {
    program.Send_Time = 10ms;  // as a transmission takes time
    auto starter = Connect(), stopper = Connect();
    ASSERT_TRUE(starter && stopper);
    starter->Send("SEND_START tv VOL-UP\n");
    EXPECT_EQ(starter->Receive(Ok("SEND_START tv VOL-UP")), Ok("SEND_START tv VOL-UP"));
    // Other events are served between the repetitions.
    int ticks = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] { ++ticks; });
    other.start(1);
    ASSERT_TRUE(Run_Events_Until([&] { return program.Sent.size() >= 6; }));
    EXPECT_TRUE(server.Protocol().Repeating());
    EXPECT_GE(ticks, 3) << "the event loop kept running";
    stopper->Send("SEND_ONCE tv POWER\n");
    EXPECT_EQ(stopper->Receive(Err("SEND_ONCE tv POWER", "busy: repeating")),
              Err("SEND_ONCE tv POWER", "busy: repeating"));
    stopper->Send("SEND_STOP tv VOL-UP\n");
    EXPECT_EQ(stopper->Receive(Ok("SEND_STOP tv VOL-UP")), Ok("SEND_STOP tv VOL-UP"));
    const std::size_t sent = program.Sent.size();
    Run_Events_For(100);
    EXPECT_EQ(program.Sent.size(), sent) << "no repetition after SEND_STOP";
    EXPECT_EQ(program.Sent.front(), std::make_pair(std::string("VOL-UP"), 1));
    EXPECT_EQ(starter->received, "") << "the starter hears nothing of the stop";
}

// Bounded by time only (a short limit here): however many repetitions fit.
TEST_F(Lirc_Server_Test, A_Repetition_Nobody_Stops_Ends_At_Its_Time_Limit_And_Its_Client_May_Leave) {
    constexpr auto Limit = 400ms;
    TLirc_Server limited(program, Limit);
    std::string error;
    ASSERT_TRUE(limited.Open(0, &error)) << error;
    const auto start = std::chrono::steady_clock::now();
    {
        TClient client;
        ASSERT_TRUE(client.Connect(limited.Port()));
        client.Send("SEND_START tv POWER\n");
        EXPECT_EQ(client.Receive(Ok("SEND_START tv POWER")), Ok("SEND_START tv POWER"));
    }  // irsend leaves at once
    ASSERT_TRUE(limited.Protocol().Repeating());
    ASSERT_TRUE(Run_Events_Until([&] { return !limited.Protocol().Repeating(); }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, Limit);
    const std::size_t sent = program.Sent.size();
    EXPECT_GE(sent, 2u);
    Run_Events_For(20);
    EXPECT_EQ(program.Sent.size(), sent);
}

// A SEND_ONCE whose count repeats the key: answered when the repetitions
// end; its client's later lines wait for that reply, other clients are
// served meanwhile and may stop it.
TEST_F(Lirc_Server_Test, A_Send_Once_Count_Answers_At_Its_End_And_Holds_Only_Its_Own_Client) {
    program.Send_Time = 5ms;  // 600 repetitions: 3 s
    auto sender = Connect(), other = Connect();
    ASSERT_TRUE(sender && other);
    sender->Send("SEND_ONCE tv POWER 600\nVERSION\n");
    ASSERT_TRUE(Run_Events_Until([&] { return program.Sent.size() >= 3; }));
    other->Send("LIST\n");
    EXPECT_EQ(other->Receive(Ok("LIST", {"tv"})), Ok("LIST", {"tv"}));
    EXPECT_TRUE(server.Protocol().Repeating()) << "served while the count goes on";
    EXPECT_EQ(sender->received, "") << "neither the reply nor the next line's before the end";
    other->Send("SEND_STOP\n");
    EXPECT_EQ(other->Receive(Ok("SEND_STOP")), Ok("SEND_STOP"));
    const std::string expected = Err("SEND_ONCE tv POWER 600", "repeating interrupted") + Ok("VERSION", {"1.2.3"});
    EXPECT_EQ(sender->Receive(expected), expected);
    EXPECT_LT(program.Sent.size(), 601u);

    // Run to its end, with a client that leaves before it.
    program.Send_Time = 0ms;
    program.Sent.clear();
    {
        auto leaver = Connect();
        ASSERT_TRUE(leaver);
        leaver->Send("SEND_ONCE tv POWER 50\n");
        ASSERT_TRUE(Run_Events_Until([&] { return !program.Sent.empty(); }));
    }
    ASSERT_TRUE(Run_Events_Until([&] { return !server.Protocol().Repeating(); }));
    EXPECT_EQ(program.Sent.size(), 51u);
    sender->Send("SEND_ONCE tv POWER 2\n");
    EXPECT_EQ(sender->Receive(Ok("SEND_ONCE tv POWER 2")), Ok("SEND_ONCE tv POWER 2"));
    EXPECT_EQ(program.Sent.size(), 54u);
}

TEST_F(Lirc_Server_Test, Close_Ends_The_Repetition_And_Every_Connection) {
    program.Send_Time = 5ms;
    auto client = Connect();
    ASSERT_TRUE(client);
    client->Send("SEND_START tv POWER\n");
    EXPECT_EQ(client->Receive(Ok("SEND_START tv POWER")), Ok("SEND_START tv POWER"));
    ASSERT_TRUE(Run_Events_Until([&] { return program.Sent.size() >= 3; }));
    server.Close();
    EXPECT_FALSE(server.Is_Open());
    EXPECT_EQ(server.Port(), 0);
    EXPECT_FALSE(server.Protocol().Repeating());
    const std::size_t sent = program.Sent.size();
    EXPECT_TRUE(Run_Events_Until([&] { return client->Closed(); }));
    Run_Events_For(50);
    EXPECT_EQ(program.Sent.size(), sent);
    EXPECT_EQ(server.Connection_Count(), 0u);
    TClient late;
    EXPECT_FALSE(late.Connect(port)) << "nobody listens any more";
}

TEST_F(Lirc_Server_Test, Apply_Follows_Enable_And_Port) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const uint16_t free_port = probe.serverPort();
    probe.close();
    struct Row {
        const char* name;
        bool enable;
        int32_t port;  // 0: the port open before the row
        bool applied;
        bool open_after;
        bool same_connection;  // the client connected before the row still talks
        const char* error;     // a piece of the error text
    };
    const std::vector<Row> rows = {
        {"same_port_keeps_clients", true, 0, true, true, true, ""},
        {"other_port_reopens", true, free_port, true, true, false, ""},
        {"disabled_closes", false, 0, true, false, false, ""},
        {"port_in_use", true, holder.serverPort(), false, false, false, ""},
        {"port_zero", true, -1, false, false, false, "PORT 0 is not a TCP port (1 to 65535)"},
        {"port_too_large", true, 70000, false, false, false, "PORT 70000 is not a TCP port (1 to 65535)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        ASSERT_TRUE(server.Open(0, &error)) << error;
        const uint16_t before = server.Port();
        TClient client_before;
        auto* client = &client_before;
        ASSERT_TRUE(client->Connect(before));
        client->Send("LIST\n");
        ASSERT_EQ(client->Receive(Ok("LIST", {"tv"})), Ok("LIST", {"tv"}));
        const int32_t port_asked = row.port == 0 ? before : row.port == -1 ? 0 : row.port;
        EXPECT_EQ(server.Apply(row.enable, port_asked, &error), row.applied);
        EXPECT_EQ(server.Is_Open(), row.open_after);
        EXPECT_EQ(server.Port(), row.open_after ? port_asked : 0);
        if (!row.applied) {
            EXPECT_FALSE(error.empty());
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
        }
        client->Send("LIST\n");
        if (row.same_connection) {
            EXPECT_EQ(client->Receive(Ok("LIST", {"tv"})), Ok("LIST", {"tv"}));
        } else {
            EXPECT_TRUE(Run_Events_Until([&] { return client->Closed(); }));
            EXPECT_EQ(client->received, "");
        }
    }
}

TEST_F(Lirc_Server_Test, A_Client_That_Does_Not_Read_Is_Held_Back_And_Still_Answered_In_Full) {
    constexpr std::size_t Requests = 100'000;  // 800 kB of requests, 4.6 MB of replies
    const std::string reply = Ok("VERSION", {"1.2.3"});
    std::atomic<bool> done{false}, held_back{false};
    std::size_t replies = 0;
    std::thread client([&] {
        const int fd = Connect_Loopback(port, Wait_Ms, {.Receive_Buffer = 16 * 1024});
        if (fd >= 0) {
            // Writes everything before reading anything, from a second thread,
            // and starts reading only once the server holds it back (however
            // slowly a busy host lets the server work).
            std::thread writer([&] {
                std::string all;
                for (std::size_t i = 0; i < Requests; ++i) all += "VERSION\n";
                (void)Send_All(fd, all);
            });
            (void)test::Wait_Until([&] { return held_back.load(); }, 30s, 10ms);
            const std::string got = Receive_Count(fd, Requests * reply.size(), 2 * Wait_Ms);
            writer.join();
            for (std::size_t at = 0; at + reply.size() <= got.size(); at += reply.size())
                if (got.compare(at, reply.size(), reply) == 0) ++replies;
            close(fd);
        }
        done = true;
    });
    std::size_t peak = 0;
    const bool finished = Run_Events_Until_Done(
        done,
        [&] {
            const std::size_t backlog = server.Output_Backlog();
            if (backlog > TLirc_Server::Output_Limit / 2) held_back = true;
            return backlog;
        },
        &peak, 60000);
    client.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(replies, Requests) << "every request answered, in order";
    // One piece of input read past the limit adds at most its replies.
    EXPECT_LE(peak, TLirc_Server::Output_Limit + 4096 / 8 * reply.size());
    EXPECT_GT(peak, TLirc_Server::Output_Limit / 2) << "the limit was reached: the client was held back";
}

// A SEND_STOP that ends one client's SEND_ONCE count, followed in the same
// read by a SEND_ONCE count of its own: each waiting client gets its own
// reply, never the other's.
TEST_F(Lirc_Server_Test, Each_Late_Reply_Goes_To_The_Client_That_Waits_For_It) {
    program.Send_Time = 2ms;
    auto first = Connect(), second = Connect(), third = Connect();
    ASSERT_TRUE(first && second && third);
    first->Send("SEND_ONCE tv POWER 600\n");
    ASSERT_TRUE(Run_Events_Until([&] { return program.Sent.size() >= 2; }));
    second->Send("SEND_STOP\nSEND_ONCE tv VOL-UP 600\n");
    EXPECT_EQ(first->Receive(Err("SEND_ONCE tv POWER 600", "repeating interrupted")),
              Err("SEND_ONCE tv POWER 600", "repeating interrupted"));
    EXPECT_EQ(second->Receive(Ok("SEND_STOP")), Ok("SEND_STOP"));
    ASSERT_TRUE(Run_Events_Until([&] { return server.Protocol().Repeating_Key() == "VOL-UP"; }));
    third->Send("SEND_STOP\n");
    EXPECT_EQ(third->Receive(Ok("SEND_STOP")), Ok("SEND_STOP"));
    EXPECT_EQ(second->Receive(Err("SEND_ONCE tv VOL-UP 600", "repeating interrupted")),
              Err("SEND_ONCE tv VOL-UP 600", "repeating interrupted"));
    Run_Events_For(20);
    EXPECT_EQ(first->received, "");
}

// Large replies to many small requests from a client that does not read:
// the output is looked at before each reply, so what waits for the client
// passes the limit by one reply at most, however many lines came in one
// read; every line is still answered, in order, once the client reads.
TEST_F(Lirc_Server_Test, The_Output_Is_Checked_Before_Each_Reply_Of_A_Read) {
    for (int i = 0; i < 4096; ++i) program.Names.push_back("KEY" + std::to_string(10000 + i));
    constexpr std::size_t Requests = 4096 / 8;  // 4 kB of "LIST tv\n", one read
    std::vector<std::string> lines;
    for (const std::string& name : program.Names) lines.push_back(Lirc_Code_Line(name));
    const std::string reply = Ok("LIST tv", lines);
    ASSERT_GT(reply.size(), TLirc_Server::Output_Limit);
    std::atomic<bool> held_back{false}, done{false};
    std::size_t replies = 0;
    std::thread client([&] {
        const int fd = Connect_Loopback(port, Wait_Ms, {.Receive_Buffer = 16 * 1024});
        if (fd >= 0) {
            std::string all;
            for (std::size_t i = 0; i < Requests; ++i) all += "LIST tv\n";
            if (Send_All(fd, all)) {
                // Not reading until the listener has been seen to hold back.
                (void)test::Wait_Until([&] { return held_back.load(); }, 20s, 1ms);
                const std::string got = Receive_Count(fd, Requests * reply.size(), 2 * Wait_Ms);
                for (std::size_t at = 0; at + reply.size() <= got.size(); at += reply.size())
                    if (got.compare(at, reply.size(), reply) == 0) ++replies;
            }
            close(fd);
        }
        done = true;
    });
    std::size_t peak = 0;
    const auto measure = [&] {
        peak = std::max(peak, server.Output_Backlog());
        return server.Output_Backlog();
    };
    const bool reached = Run_Events_Until([&] { return measure() > TLirc_Server::Output_Limit || done; });
    // A while longer without the client reading: nothing more is answered.
    const QDeadlineTimer settle(200);
    (void)Run_Events_Until([&] { return measure(), settle.hasExpired(); });
    held_back = true;
    const bool finished = Run_Events_Until_Done(
        done,
        [&] {
            const std::size_t backlog = server.Output_Backlog();
            if (backlog > TLirc_Server::Output_Limit / 2) held_back = true;
            return backlog;
        },
        &peak, 60000);
    client.join();
    ASSERT_TRUE(reached);
    ASSERT_TRUE(finished);
    EXPECT_LE(peak, TLirc_Server::Output_Limit + reply.size()) << "one reply past the limit at most";
    EXPECT_EQ(replies, Requests) << "every line answered, in order";
}

// Once the program is asked to end, the lines still queued are dropped: the
// send under way finishes and is answered, nothing more is handled or read.
TEST_F(Lirc_Server_Test, A_Stop_Request_Drops_The_Queued_Lines) {
    program.During_Send = [&] {
        if (program.Sent.empty()) Request_Program_Stop();  // during the first send
    };
    auto client = Connect();
    ASSERT_TRUE(client);
    std::string lines;
    for (int i = 0; i < 10; ++i) lines += "SEND_ONCE tv POWER\n";
    client->Send(lines);
    EXPECT_EQ(client->Receive(Ok("SEND_ONCE tv POWER")), Ok("SEND_ONCE tv POWER"));
    client->Send("VERSION\n");
    Run_Events_For(100);
    EXPECT_EQ(program.Sent.size(), 1u) << "only the send under way";
    EXPECT_EQ(client->received, "") << "no later line answered";
}

TEST_F(Lirc_Server_Test, A_Stop_Request_Ends_The_Repetition) {
    program.Send_Time = 2ms;
    auto client = Connect();
    ASSERT_TRUE(client);
    client->Send("SEND_START tv POWER\n");
    EXPECT_EQ(client->Receive(Ok("SEND_START tv POWER")), Ok("SEND_START tv POWER"));
    ASSERT_TRUE(Run_Events_Until([&] { return program.Sent.size() >= 3; }));
    Request_Program_Stop();
    ASSERT_TRUE(Run_Events_Until([&] { return !server.Protocol().Repeating(); }));
    const std::size_t sent = program.Sent.size();
    Run_Events_For(50);
    EXPECT_EQ(program.Sent.size(), sent);
}

// ---- The Unix-domain socket ------------------------------------------------------

// The server of Lirc_Server_Test with its Unix-domain socket open too.
class Lirc_Socket_Test : public Lirc_Server_Test {
protected:
    test::TTemp_Dir folder;
    std::string path = folder.File("lircd");

    void SetUp() override {
        Lirc_Server_Test::SetUp();
        std::string error;
        ASSERT_TRUE(server.Open_Socket(path, &error)) << error;
        ASSERT_EQ(server.Socket_Path(), path);
    }
    std::unique_ptr<TClient> Connect_Local() {
        auto client = std::make_unique<TClient>();
        if (!client->Connect_Local(path)) return nullptr;
        return client;
    }
};

bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

TEST_F(Lirc_Socket_Test, The_Socket_Answers_As_The_Tcp_Listener_And_A_Stop_May_Come_On_Either) {
    auto local = Connect_Local();
    auto tcp = Connect();
    ASSERT_TRUE(local && tcp);
    const std::string requests = "VERSION\nLIST tv POWER\nSEND_ONCE tv POWER\nFOO\n" + std::string(1500, 'A') + "\n";
    const std::string replies = Ok("VERSION", {"1.2.3"}) + Ok("LIST tv POWER", {"0000000000000000 POWER"}) +
                                Ok("SEND_ONCE tv POWER") + Err("FOO", "unknown directive: \"FOO\"") +
                                Err(std::string(Lirc_Line_Limit, 'A'), "line too long: more than 1024 bytes");
    local->Send(requests);
    EXPECT_EQ(local->Receive(replies), replies);
    tcp->Send(requests);
    EXPECT_EQ(tcp->Receive(replies), replies);

    struct Row {
        const char* name;
        TClient* starter;
        TClient* stopper;
    };
    program.Send_Time = 2ms;
    for (const Row& row : {Row{"start_on_socket_stop_on_tcp", local.get(), tcp.get()},
                           Row{"start_on_tcp_stop_on_socket", tcp.get(), local.get()}}) {
        SCOPED_TRACE(row.name);
        row.starter->Send("SEND_START tv VOL-UP\n");
        EXPECT_EQ(row.starter->Receive(Ok("SEND_START tv VOL-UP")), Ok("SEND_START tv VOL-UP"));
        const std::size_t sent = program.Sent.size();
        ASSERT_TRUE(Run_Events_Until([&] { return program.Sent.size() >= sent + 2; }));
        row.stopper->Send("SEND_STOP tv VOL-UP\n");
        EXPECT_EQ(row.stopper->Receive(Ok("SEND_STOP tv VOL-UP")), Ok("SEND_STOP tv VOL-UP"));
        EXPECT_FALSE(server.Protocol().Repeating());
    }
    EXPECT_EQ(server.Connection_Count(), 2u);
}

// Closing one listener leaves the other and what it started; closing both
// ends the repetition and removes the socket file.
TEST_F(Lirc_Socket_Test, Each_Listener_Closes_On_Its_Own_And_Close_Removes_The_File) {
    program.Send_Time = 2ms;
    auto local = Connect_Local();
    auto tcp = Connect();
    ASSERT_TRUE(local && tcp);
    local->Send("SEND_START tv POWER\n");
    EXPECT_EQ(local->Receive(Ok("SEND_START tv POWER")), Ok("SEND_START tv POWER"));
    std::string error;
    EXPECT_TRUE(server.Apply(false, 0, &error));
    EXPECT_FALSE(server.Is_Open());
    EXPECT_TRUE(Run_Events_Until([&] { return tcp->Closed(); }));
    EXPECT_TRUE(server.Protocol().Repeating()) << "the socket is still open: its client may stop it";
    EXPECT_EQ(server.Socket_Path(), path);
    local->Send("SEND_STOP\n");
    EXPECT_EQ(local->Receive(Ok("SEND_STOP")), Ok("SEND_STOP"));

    local->Send("SEND_START tv POWER\n");
    EXPECT_EQ(local->Receive(Ok("SEND_START tv POWER")), Ok("SEND_START tv POWER"));
    server.Close();
    EXPECT_FALSE(server.Protocol().Repeating());
    EXPECT_EQ(server.Socket_Path(), "");
    EXPECT_FALSE(Exists(path)) << "the socket file goes with the socket";
    EXPECT_TRUE(Run_Events_Until([&] { return local->Closed(); }));
    TClient late;
    EXPECT_FALSE(late.Connect_Local(path));
}

TEST_F(Lirc_Socket_Test, Apply_Socket_Follows_The_Setting) {
    test::TTemp_Dir runtime;
    const test::TEnv_Guard runtime_folder("XDG_RUNTIME_DIR", runtime.Path());
    test::Write_File(folder.File("notes"), "mine\n");
    std::string error, meant;
    ASSERT_TRUE(server.Apply_Socket("", &error, &meant));
    ASSERT_FALSE(Exists(path));
    struct Row {
        const char* name;
        std::string setting;
        bool applied;
        std::string open_at;   // empty: closed after the row
        bool same_connection;  // the client connected before the row still talks
        const char* error;     // a piece of it
    };
    const std::vector<Row> rows = {
        {"relative_in_the_runtime_folder", "lircd", true, runtime.File("lircd"), false, ""},
        {"same_setting_keeps_its_clients", "lircd", true, runtime.File("lircd"), true, ""},
        {"absolute_elsewhere_moves", path, true, path, false, ""},
        {"same_absolute_keeps_its_clients", path, true, path, true, ""},
        {"empty_closes", "", true, "", false, ""},
        {"reopened", "lircd", true, runtime.File("lircd"), false, ""},
        {"a_regular_file_is_refused", folder.File("notes"), false, "", false, "exists and is not a socket"},
        {"reopened_again", "lircd", true, runtime.File("lircd"), false, ""},
    };
    std::string before;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TClient client;
        const bool was_open = !before.empty();
        if (was_open) {
            ASSERT_TRUE(client.Connect_Local(before));
            client.Send("LIST\n");
            ASSERT_EQ(client.Receive(Ok("LIST", {"tv"})), Ok("LIST", {"tv"}));
        }
        error.clear();
        EXPECT_EQ(server.Apply_Socket(row.setting, &error, &meant), row.applied) << error;
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_EQ(server.Socket_Path(), row.open_at);
        if (!row.open_at.empty()) {
            EXPECT_TRUE(Exists(row.open_at));
        }
        if (was_open && before != row.open_at) {
            EXPECT_FALSE(Exists(before)) << "the old file is removed";
        }
        if (was_open) {
            client.Send("LIST\n");
            if (row.same_connection) {
                EXPECT_EQ(client.Receive(Ok("LIST", {"tv"})), Ok("LIST", {"tv"}));
            } else {
                EXPECT_TRUE(Run_Events_Until([&] { return client.Closed(); }));
            }
        }
        EXPECT_TRUE(server.Is_Open()) << "the TCP listener is another matter";
        before = row.open_at;
    }
    EXPECT_EQ(test::Read_File(folder.File("notes")), "mine\n");

    const test::TEnv_Guard no_runtime_folder("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_FALSE(server.Apply_Socket("lircd", &error, &meant));
    EXPECT_NE(error.find("XDG_RUNTIME_DIR"), std::string::npos) << error;
    EXPECT_EQ(server.Socket_Path(), "") << "closed";
    EXPECT_FALSE(Exists(runtime.File("lircd")));
}

// ---- Broadcast ---------------------------------------------------------------------

TEST_F(Lirc_Socket_Test, Broadcast_Writes_One_Line_To_Every_Client_Of_Both_Listeners) {
    std::vector<std::unique_ptr<TClient>> clients;
    for (int i = 0; i < 6; ++i) {
        clients.push_back(i % 2 ? Connect_Local() : Connect());
        ASSERT_TRUE(clients.back());
    }
    ASSERT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == clients.size(); }));
    struct Row {
        const char* name;
        std::string line;
        std::string written;
    };
    const std::string key = "0000000000e0e040 00 POWER tv";
    const std::vector<Row> rows = {
        {"with_its_lf", key + "\n", key + "\n"},
        {"lf_added", key, key + "\n"},
        {"cut_at_the_first_lf", key + "\nSEND_ONCE tv POWER\n", key + "\n"},
        {"empty", "", "\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server.Broadcast(row.line);
        for (std::size_t i = 0; i < clients.size(); ++i) EXPECT_EQ(clients[i]->Receive(row.written), row.written) << i;
    }
    EXPECT_EQ(server.Dropped_Lines(), 0u);
    EXPECT_TRUE(program.Sent.empty()) << "a broadcast is no request";
}

// A key heard while requests are answered (here: during each transmission):
// its line goes whole between whole replies, also to a client whose
// SEND_ONCE count is still under way and to a client that waits for nothing.
TEST_F(Lirc_Socket_Test, A_Broadcast_During_The_Answers_Never_Lands_Inside_A_Reply) {
    const std::string line = Lirc_Key_Line(0x40, 0, "POWER", "tv");
    program.During_Send = [&] { server.Broadcast(line); };
    auto asker = Connect_Local();
    auto idle = Connect();
    ASSERT_TRUE(asker && idle);
    ASSERT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == 2; }));
    asker->Send("VERSION\nSEND_ONCE tv POWER\nLIST\n");
    const std::string expected = line + Ok("VERSION", {"1.2.3"}) + Ok("SEND_ONCE tv POWER") + Ok("LIST", {"tv"});
    EXPECT_EQ(asker->Receive(expected), expected);
    EXPECT_EQ(idle->Receive(line), line);

    // A count of 3: the click and three repetitions, each heard; the reply
    // after the last.
    asker->Send("SEND_ONCE tv POWER 3\nVERSION\n");
    const std::string counted = line + line + line + line + Ok("SEND_ONCE tv POWER 3") + Ok("VERSION", {"1.2.3"});
    EXPECT_EQ(asker->Receive(counted), counted);
    EXPECT_EQ(idle->Receive(line + line + line + line), line + line + line + line);
}

// A client that never reads holds neither the program nor more than the
// output limit of its lines; a client that reads gets every line; the one
// that did not read finds whole lines in order, with a gap, once it reads.
TEST_F(Lirc_Socket_Test, A_Client_That_Does_Not_Read_Loses_Lines_Beyond_Its_Output_Limit) {
    const int sleeper = test::Connect_Unix(path);
    ASSERT_GE(sleeper, 0);
    auto reader = Connect();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(Run_Events_Until([&] { return server.Connection_Count() == 2; }));
    constexpr int Lines = 40'000;  // 1.5 MB: far more than the kernel and the limit hold together
    constexpr int Batch = 200;
    std::size_t peak = 0;
    const auto broadcast = [&](int from, int to) {
        for (int first = from; first < to; first += Batch) {
            std::string batch;
            for (int i = first; i < first + Batch; ++i) {
                const std::string line = Lirc_Key_Line(static_cast<uint64_t>(i), 0, "KEY", "tv");
                batch += line;
                server.Broadcast(line);
            }
            peak = std::max(peak, server.Output_Backlog());
            if (reader->Receive(batch) != batch) return false;
        }
        return true;
    };
    ASSERT_EQ(::fcntl(sleeper, F_SETFL, ::fcntl(sleeper, F_GETFL) | O_NONBLOCK), 0);
    std::string got;
    // Reads all the sleeper has, until nothing waits for it.
    const auto drain = [&] {
        return Run_Events_Until([&] {
            char buffer[65536];
            for (;;) {
                const ssize_t count = ::read(sleeper, buffer, sizeof buffer);
                if (count <= 0) break;
                got.append(buffer, static_cast<std::size_t>(count));
            }
            return server.Output_Backlog() == 0;
        });
    };
    ASSERT_TRUE(broadcast(0, Lines / 2)) << "the reader gets every line";
    const std::size_t dropped_first = server.Dropped_Lines();
    EXPECT_GT(dropped_first, 0u);
    ASSERT_TRUE(drain());
    ASSERT_TRUE(broadcast(Lines / 2, Lines)) << "the reader gets every line";
    EXPECT_GT(server.Dropped_Lines(), dropped_first);
    ASSERT_TRUE(drain());
    ::close(sleeper);
    EXPECT_LE(peak, TLirc_Server::Output_Limit) << "what waits for the sleeper stays within the limit";

    const std::size_t line_size = Lirc_Key_Line(0, 0, "KEY", "tv").size();
    ASSERT_EQ(got.size() % line_size, 0u);
    const std::size_t lines = got.size() / line_size;
    EXPECT_EQ(lines + server.Dropped_Lines(), static_cast<std::size_t>(Lines));
    uint64_t last = 0;
    for (std::size_t i = 0; i < lines; ++i) {
        const std::string line = got.substr(i * line_size, line_size);
        const uint64_t code = std::stoull(line.substr(0, 16), nullptr, 16);
        ASSERT_EQ(line, Lirc_Key_Line(code, 0, "KEY", "tv")) << "line " << i;
        if (i > 0) {
            ASSERT_GT(code, last) << "in order";
        }
        last = code;
    }
    EXPECT_GE(last, static_cast<uint64_t>(Lines / 2)) << "once it has read, lines reach it again";
}

}  // namespace
}  // namespace qev
