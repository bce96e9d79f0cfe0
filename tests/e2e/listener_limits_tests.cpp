// The real program's listeners at their limits: a flood of clients under a
// low descriptor limit still leaves the program the descriptors to load a
// Command file and to write its Settings file at SIGTERM; and lines queued
// on the LIRC listener do not hold the program up once it is asked to end.
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_env.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace qev::test {
namespace {

using namespace std::chrono_literals;

const std::string Greeting = "Welcome to QEV_LPT\r\n# ";

// A plain loopback connection, -1 when refused.
int Connect_Raw(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What a connection shows within `seconds`: the bytes that came, or that it
// ended (the listener closed it at once). true when it ended.
bool Ended(int fd, double seconds, std::string* bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return true;
        bytes->append(buffer, static_cast<std::size_t>(n));
        if (bytes->ends_with("# ") || bytes->ends_with("END\n")) return false;
    }
}

// 300 clients over both listeners of a program limited to 256 descriptors:
// 128 of them (the limit less the reserve of 128) are served, the others
// are closed at once, and the program still loads a Command file and writes
// its Settings file when it is told to end.
TEST(Listener_Limits, A_Flood_Under_A_Low_Descriptor_Limit_Leaves_The_Program_Its_Files) {
    TTemp_Dir profile;
    const uint16_t port = Free_Loopback_Port();
    uint16_t lirc_port = Free_Loopback_Port();
    while (lirc_port == port) lirc_port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    ASSERT_NE(lirc_port, 0);
    Write_File(profile.File("tv.rmt"), "POWER,FF\r\n");
    Write_File(profile.File("other.rmt"), "PLAY,0F\r\n");
    Write_File(profile.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + profile.File("tv.rmt") +
                                                "\n[SERVER]\nSTARTUP=1\nECHO=0\nPORT=" + std::to_string(port) +
                                                "\n[LIRC]\nENABLE=1\nPORT=" + std::to_string(lirc_port) + "\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    harness::TLoopback_Client operator_client;
    ASSERT_TRUE(operator_client.Connect(port));
    ASSERT_EQ(operator_client.Receive(Greeting.size()), Greeting);
    // As `ulimit -n 256` before the start: soft and hard.
    const rlimit low{256, 256};
    ASSERT_EQ(::prlimit(program.Pid(), RLIMIT_NOFILE, &low, nullptr), 0);

    // One after another, each seen served or closed before the next comes,
    // so the listeners' small backlogs never overflow.
    std::vector<int> fds;
    int served = 0, closed = 0;
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE(i);
        const int fd = Connect_Raw(i % 2 ? lirc_port : port);
        ASSERT_GE(fd, 0) << "the kernel takes every connection into the backlog";
        fds.push_back(fd);
        if (i % 2) {
            ASSERT_EQ(::send(fd, "VERSION\n", 8, MSG_NOSIGNAL), 8);
        }
        std::string bytes;
        if (Ended(fd, 10, &bytes)) {
            EXPECT_EQ(bytes, "") << "closed without a word";
            ++closed;
        } else {
            // Neither served nor closed (a listener out of descriptors leaves
            // it in the backlog): the test ends here rather than wait for all.
            ASSERT_TRUE(bytes == Greeting || bytes.ends_with("END\n")) << "neither served nor closed: " << bytes;
            ++served;
        }
    }
    EXPECT_EQ(served + 1, 128) << "the limit less the reserve, the operator's connection counted";
    EXPECT_EQ(closed, 300 - served);

    ASSERT_TRUE(operator_client.Send("@LOAD other.rmt\r"));
    EXPECT_EQ(operator_client.Receive_Until("# "), "Command OK\r\n# ") << "a Command file still loads";
    EXPECT_EQ(program.Terminate(), 0);
    const std::string settings = Read_File(profile.File("QEV_LPT.INI"));
    EXPECT_NE(settings.find("MAX_RMTCMD_NUM="), std::string::npos)
        << "the Settings file was written at SIGTERM: " << settings;
    for (const int fd : fds)
        if (fd >= 0) ::close(fd);
}

// Twenty sends of 1.3 s each in one write to the LIRC listener: SIGTERM
// during the first ends the program once that send is done, not after all
// of them.
TEST(Listener_Limits, Sigterm_Drops_The_Lines_Queued_On_The_Lirc_Listener) {
    TTemp_Dir profile;
    const uint16_t lirc_port = Free_Loopback_Port();
    ASSERT_NE(lirc_port, 0);
    // HOLD: 1,024 samples, 128 ms; REPEAT 10: 1.28 s a send.
    std::string text = "@REPEAT = 10\r\nHOLD";
    for (int i = 0; i < 128; ++i) text += ",0F";
    Write_File(profile.File("tv.rmt"), text + "\r\n");
    Write_File(profile.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + profile.File("tv.rmt") +
                                                "\n[LIRC]\nENABLE=1\nPORT=" + std::to_string(lirc_port) + "\n");
    TProgram_Runner program(Binary_Folder() + "/QEV_LPT", profile.Path());
    program.Environment["IO_SIM_TXLOG"] = profile.File("tx.log");
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    harness::TLoopback_Client client;
    ASSERT_TRUE(client.Connect(lirc_port));
    std::string lines;
    for (int i = 0; i < 20; ++i) lines += "SEND_ONCE tv HOLD\n";
    ASSERT_TRUE(client.Send(lines));
    // The first send is under way once HOLD's samples reach the port's log.
    ASSERT_TRUE(Wait_Until([&] { return Logged_Port_Values(profile.File("tx.log")).size() >= 2; }, 20s))
        << "the first send began";
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(program.Terminate(30), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    // All twenty would take 25 s; the one under way at most 1.3 s.
    EXPECT_LT(seconds, 8.0) << "the queued lines were sent after SIGTERM";
    EXPECT_LE(Logged_Port_Values(profile.File("tx.log")).size(), 1u + 2u * 10u * 1024u)
        << "no more than the send under way (and one more begun before the signal)";
}

}  // namespace
}  // namespace qev::test
