// The listener both servers stand on, over real loopback connections: its
// connection limits (its own and the process's, which keeps descriptors for
// the rest of the program), and a stop request ending its reading.
#include "base/stop_request.h"
#include "net/command_server.h"
#include "net/lirc_server.h"
#include "net/tcp_listener.h"
#include "tests/net/fake_lirc_program.h"
#include "tests/net/loopback_client.h"

#include <dirent.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qev {
namespace {

using test::Run_Events_For;
using test::Run_Events_Until;
using test::TClient;

// A listener on 127.0.0.1 that records what each connection sends.
class Tcp_Listener_Test : public ::testing::Test {
protected:
    std::map<TTcp_Connection*, std::string> received;
    std::unique_ptr<TTcp_Listener> listener;

    void Open(std::size_t max_connections) {
        listener = std::make_unique<TTcp_Listener>(
            TTcp_Listener_Setup{.Address = QHostAddress(QHostAddress::LocalHost),
                                .Backlog = 16,
                                .Read_Piece = 4096,
                                .Make_Connection = nullptr,
                                .Accepted = nullptr,
                                .Received = [this](TTcp_Connection& connection,
                                                   std::string_view bytes) { received[&connection].append(bytes); },
                                .Max_Connections = max_connections});
        std::string error;
        ASSERT_TRUE(listener->Open(0, &error)) << error;
    }
    void TearDown() override { Clear_Program_Stop(); }
    std::string All_Received() const {
        std::string all;
        for (const auto& [connection, bytes] : received) all += bytes;
        return all;
    }
};

// Connects a client and waits until the listener has either taken it or
// closed it: true when taken.
bool Connect_And_Settle(TClient& client, uint16_t port, const std::function<std::size_t()>& count, std::size_t before) {
    if (!client.Connect(port)) return false;
    (void)Run_Events_Until([&] { return count() > before || client.Closed(); });
    return !client.Closed() && count() > before;
}

TEST_F(Tcp_Listener_Test, A_Connection_Beyond_Its_Maximum_Is_Closed_At_Once) {
    Open(3);
    const auto count = [&] { return listener->Connection_Count(); };
    std::vector<std::unique_ptr<TClient>> clients;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        clients.push_back(std::make_unique<TClient>());
        EXPECT_EQ(Connect_And_Settle(*clients.back(), listener->Port(), count, count()), i < 3);
    }
    EXPECT_EQ(listener->Connection_Count(), 3u);
    for (int i = 3; i < 5; ++i) EXPECT_TRUE(clients[i]->Closed()) << i << " heard the end at once";
    for (int i = 0; i < 3; ++i) clients[i]->Send(std::to_string(i));
    ASSERT_TRUE(Run_Events_Until([&] { return All_Received().size() == 3; }));
    // One leaves: room for the next.
    clients[0].reset();
    ASSERT_TRUE(Run_Events_Until([&] { return listener->Connection_Count() == 2; }));
    TClient late;
    EXPECT_TRUE(Connect_And_Settle(late, listener->Port(), count, 2));
}

// The number of descriptors open in this process.
std::size_t Open_Descriptors() {
    std::size_t count = 0;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (readdir(folder)) ++count;
        closedir(folder);
    }
    return count > 2 ? count - 3 : 0;  // ".", ".." and the folder's own
}

// With the soft RLIMIT_NOFILE lowered to the reserve plus four, the Command
// server and the LIRC listener together take four connections; a fifth, on
// either, is closed at once.
TEST(Tcp_Listener_Limits, Both_Listeners_Together_Leave_The_Descriptor_Reserve) {
    TCommand_Server command_server([](const std::string&) { return true; }, [] { return false; });
    test::TFake_Lirc_Program program;
    TLirc_Server lirc_server(program);
    std::string error;
    ASSERT_TRUE(command_server.Open(0, &error)) << error;  // raises the soft limit first
    ASSERT_TRUE(lirc_server.Open(0, &error)) << error;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    ASSERT_LT(Open_Descriptors() + 20, TTcp_Listener::Descriptor_Reserve) << "room for the clients of this test";
    // The limit comes back however the test ends.
    const std::unique_ptr<rlimit, void (*)(rlimit*)> restore(&saved,
                                                             [](rlimit* limit) { setrlimit(RLIMIT_NOFILE, limit); });
    rlimit lowered = saved;
    lowered.rlim_cur = TTcp_Listener::Descriptor_Reserve + 4;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    EXPECT_EQ(TTcp_Listener::Process_Connection_Limit(), 4u);

    const auto total = [&] { return command_server.Connection_Count() + lirc_server.Connection_Count(); };
    std::vector<std::unique_ptr<TClient>> clients;
    std::vector<bool> taken;
    for (int i = 0; i < 6; ++i) {
        clients.push_back(std::make_unique<TClient>());
        const uint16_t port = i % 2 ? lirc_server.Port() : command_server.Port();
        taken.push_back(Connect_And_Settle(*clients.back(), port, total, total()));
    }
    EXPECT_EQ(taken, (std::vector<bool>{true, true, true, true, false, false}));
    EXPECT_EQ(command_server.Connection_Count(), 2u);
    EXPECT_EQ(lirc_server.Connection_Count(), 2u);
    EXPECT_EQ(TTcp_Listener::Process_Connection_Count(), 4u);
    // Those taken are served: the Command server greets, the LIRC listener answers.
    EXPECT_TRUE(Run_Events_Until([&] { return clients[0]->received.starts_with("Welcome to QEV_LPT"); }));
    clients[1]->Send("LIST\n");
    EXPECT_TRUE(Run_Events_Until([&] { return clients[1]->received.ends_with("END\n"); }));
    EXPECT_EQ(clients[4]->received, "") << "a refused client hears nothing, only the end";

    // One leaves: the next one fits again.
    clients[0].reset();
    ASSERT_TRUE(Run_Events_Until([&] { return total() == 3; }));
    TClient late;
    EXPECT_TRUE(Connect_And_Settle(late, lirc_server.Port(), total, 3));
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(TTcp_Listener::Process_Connection_Limit(),
              saved.rlim_cur == RLIM_INFINITY ? SIZE_MAX : saved.rlim_cur - TTcp_Listener::Descriptor_Reserve);
}

TEST_F(Tcp_Listener_Test, A_Stop_Request_Ends_All_Reading) {
    Open(10);
    TClient first, second;
    ASSERT_TRUE(first.Connect(listener->Port()) && second.Connect(listener->Port()));
    first.Send("abc");
    ASSERT_TRUE(Run_Events_Until([&] { return All_Received() == "abc"; }));
    Request_Program_Stop();
    first.Send("def");
    second.Send("ghi");
    Run_Events_For(100);
    EXPECT_EQ(All_Received(), "abc") << "nothing read after the stop request";
}

}  // namespace
}  // namespace qev
