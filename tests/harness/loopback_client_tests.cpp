// The loopback client the end-to-end tests, the socket tests and the server
// benchmark share, against a plain listening socket of the test's own.
#include "harness/loopback_client.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace qev::harness {
namespace {

// A listening socket on a free loopback port and the one connection it took.
class Loopback_Client_Test : public ::testing::Test {
protected:
    void SetUp() override {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(listener_, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ASSERT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), size), 0);
        ASSERT_EQ(listen(listener_, 4), 0);
        ASSERT_EQ(getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size), 0);
        port_ = ntohs(address.sin_port);
        ASSERT_TRUE(client_.Open(port_, 5000));
        server_ = accept(listener_, nullptr, nullptr);
        ASSERT_GE(server_, 0);
    }
    void TearDown() override {
        if (server_ >= 0) close(server_);
        if (listener_ >= 0) close(listener_);
    }
    void Server_Sends(const std::string& bytes) const { ASSERT_TRUE(Send_All(server_, bytes)); }

    int listener_ = -1;
    int server_ = -1;
    uint16_t port_ = 0;
    TLoopback_Client client_;
};

TEST_F(Loopback_Client_Test, A_Buffered_Read_Drops_Through_Its_End_And_Keeps_The_Rest) {
    Server_Sends("one\r\ntwo\r\nthr");
    EXPECT_EQ(client_.Read_Until("\r\n", 5000), TRead_Result::Got);
    EXPECT_EQ(client_.Read_Until("\r\n", 5000), TRead_Result::Got) << "the second line came with the first";
    EXPECT_EQ(client_.Take_Waiting("\r\n"), TRead_Result::Timeout) << "only part of the third has come";
    Server_Sends("ee\r\n");
    EXPECT_EQ(client_.Read_Until("\r\n", 5000), TRead_Result::Got);
    EXPECT_EQ(client_.Read_Until("\r\n", 50), TRead_Result::Timeout);
    close(server_);
    server_ = -1;
    EXPECT_EQ(client_.Read_Until("\r\n", 5000), TRead_Result::Closed);
}

TEST_F(Loopback_Client_Test, A_Counted_Receive_Takes_No_Byte_Beyond_Its_Count) {
    Server_Sends("abcdef");
    EXPECT_EQ(client_.Receive(4), "abcd");
    EXPECT_EQ(Receive_Count(client_.Fd(), 10, 200), "ef") << "the rest stays in the socket";
}

TEST_F(Loopback_Client_Test, Receives_Until_An_Ending_Or_For_A_Time) {
    Server_Sends("200 OK\r\n> ");
    EXPECT_EQ(client_.Receive_Until("> "), "200 OK\r\n> ");
    EXPECT_EQ(client_.Receive_For(0.05), "") << "nothing more came";
    Server_Sends("late");
    EXPECT_EQ(client_.Receive_For(0.2), "late");
}

TEST_F(Loopback_Client_Test, A_Closed_Port_Refuses_At_Once) {
    close(listener_);
    listener_ = -1;
    TLoopback_Client other;
    EXPECT_FALSE(other.Open(port_, 5000));
    EXPECT_FALSE(other.Is_Open());
    EXPECT_EQ(Connect_Loopback(port_, 5000), -1);
}

}  // namespace
}  // namespace qev::harness
