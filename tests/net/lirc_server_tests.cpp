// The LIRC listener over real loopback connections: Qt clients on the test's
// own thread, driven through its event loop, and a plain POSIX client on
// another thread for a client that does not read.
#include "net/lirc_server.h"
#include "tests/net/fake_lirc_program.h"
#include "tests/net/loopback_client.h"

#include <unistd.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qev {
namespace {

using namespace std::chrono_literals;

using test::Raw_Connect;
using test::Raw_Receive;
using test::Raw_Send;
using test::Run_Events_For;
using test::Run_Events_Until;
using test::Run_Events_Until_Done;
using test::TClient;

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
        {"cr_lf", {"LIST\r\n"}, Ok("LIST", {"tv"})},
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

TEST_F(Lirc_Server_Test, A_Repetition_Nobody_Stops_Ends_At_Its_Bound_And_Its_Client_May_Leave) {
    {
        auto client = Connect();
        ASSERT_TRUE(client);
        client->Send("SEND_START tv POWER\n");
        EXPECT_EQ(client->Receive(Ok("SEND_START tv POWER")), Ok("SEND_START tv POWER"));
    }  // irsend leaves at once
    ASSERT_TRUE(Run_Events_Until([&] { return !server.Protocol().Repeating(); }));
    EXPECT_EQ(program.Sent.size(), 1u + Lirc_Max_Repetitions) << "the first send and 100 repetitions";
    Run_Events_For(20);
    EXPECT_EQ(program.Sent.size(), 1u + Lirc_Max_Repetitions);
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
    std::atomic<bool> done{false};
    std::size_t replies = 0;
    std::thread client([&] {
        const int fd = Raw_Connect(port, 0, 16 * 1024, 20);
        if (fd >= 0) {
            // Writes everything before reading anything, from a second thread.
            std::thread writer([&] {
                std::string all;
                for (std::size_t i = 0; i < Requests; ++i) all += "VERSION\n";
                (void)Raw_Send(fd, all);
            });
            std::this_thread::sleep_for(500ms);  // not reading meanwhile
            const std::string got = Raw_Receive(fd, Requests * reply.size());
            writer.join();
            for (std::size_t at = 0; at + reply.size() <= got.size(); at += reply.size())
                if (got.compare(at, reply.size(), reply) == 0) ++replies;
            close(fd);
        }
        done = true;
    });
    std::size_t peak = 0;
    const bool finished = Run_Events_Until_Done(
        done, [&] { return server.Output_Backlog(); }, &peak, 60000);
    client.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(replies, Requests) << "every request answered, in order";
    // One piece of input read past the limit adds at most its replies.
    EXPECT_LE(peak, TLirc_Server::Output_Limit + 4096 / 8 * reply.size());
    EXPECT_GT(peak, TLirc_Server::Output_Limit / 2) << "the limit was reached: the client was held back";
}

}  // namespace
}  // namespace qev
