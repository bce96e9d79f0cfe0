// The program's send and learn on a kernel IR device whose transmitter loops
// back into its receiver, through the real port library (libio.so):
//   - a send (TQEV_State::Send_Command, REPEAT 2) comes back as the
//     durations of the row's samples, every one within a sample (125 us);
//   - a capture (TQEV_State::Receive_Command) of a send learns the row's
//     samples, every edge within a sample, and decodes to the same code;
//   - each protocol goes out with its carrier (RC5 and RC6 36 kHz, SIRC
//     40 kHz, NEC 38 kHz);
//   - qev-ir send puts out the row's samples, and qev-ir receive prints a
//     send decoded with its durations.
// For NEC, RC5, RC6 and SIRC codes (harness/kernel_ir_loopback.h).
//
// It runs on IO_LIRC_DEVICE (default /dev/lirc0) when that is Linux's
// rc-loopback device: scripts/test-kernel-ir runs it on Debian's kernel
// under QEMU. Elsewhere it exits 77, which CTest counts as skipped. With
// IO_BACKEND=simlirc it runs on the port library's simulated IR device
// instead, as the ordinary suite does to keep these tests themselves sound
// (the qev-ir cases need a device two processes share, and skip there).
#include "harness/kernel_ir_loopback.h"
#include "io/io_api.h"
#include "ir/decoder.h"
#include "ir/sampling.h"
#include "irport/signal_port.h"
#include "tests/support/temp_env.h"
#include "tests/tools/tool_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/lirc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace qev::test {
namespace {

using bench::Edges_Of;
using bench::Largest_Difference;
using bench::Loopback_Codes;
using bench::TLoopback_Program;

std::string Device() {
    const char* device = std::getenv("IO_LIRC_DEVICE");
    return device != nullptr ? device : "/dev/lirc0";
}

std::string Joined(const std::vector<uint32_t>& durations) {
    std::string text;
    for (const uint32_t us : durations) text += (text.empty() ? "" : " ") + std::to_string(us);
    return text;
}

struct TCode_Row {
    int32_t Row;  // of Loopback_Codes() and of the program's table
    unsigned Carrier_Hz;
};

void PrintTo(const TCode_Row& row, std::ostream* out) { *out << Loopback_Codes()[row.Row].Name; }

class Kernel_Ir_Test : public ::testing::TestWithParam<TCode_Row> {
protected:
    TLoopback_Program program;

    void SetUp() override { ASSERT_EQ(program.Problem, ""); }
    const bench::TLoopback_Code& Code() const { return Loopback_Codes()[GetParam().Row]; }
    bool On_Kernel_Device() const { return program.Backend() == "lirc"; }
};

TEST_P(Kernel_Ir_Test, A_Send_Comes_Back_As_The_Durations_Of_Its_Samples) {
    const bench::TLooped_Send send = bench::Send_Looped_Back(program, GetParam().Row, 2);
    ASSERT_EQ(send.Error, "");
    ASSERT_EQ(send.Received.size(), send.Sent.size())
        << "sent:     " << Joined(send.Sent) << "\nreceived: " << Joined(send.Received);
    for (std::size_t i = 0; i < send.Sent.size(); ++i) {
        EXPECT_NEAR(send.Received[i], send.Sent[i], 125) << "duration " << i;
    }
}

TEST_P(Kernel_Ir_Test, A_Capture_Of_A_Send_Learns_Its_Samples_And_Its_Code) {
    TLoopback_Program sender;
    ASSERT_EQ(sender.Problem, "");
    const bench::TLooped_Learn learn = bench::Learn_Looped_Back(program, sender, GetParam().Row);
    ASSERT_EQ(learn.Error, "");
    EXPECT_EQ(learn.Report.Samples, program.State.Settings.MAX_RMTCMD_BIT_LENGTH);
    const std::vector<int32_t> sent = Edges_Of(learn.Sent), learned = Edges_Of(learn.Learned);
    ASSERT_GT(sent.size(), 20u) << "every code has more than ten marks";
    ASSERT_EQ(learned.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_LE(std::abs(learned[i] - sent[i]), 1) << "edge " << i << " at sample " << sent[i];
    }
    TLevels levels(learn.Learned.size());
    for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = learn.Learned[i] != 0 ? 1 : 0;
    const std::optional<TDecoded> decoded = Decode_Levels(levels);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->Code, Code().Code) << Describe_Decoded(decoded);
}

// What the device reports of the next signal in its measure-carrier mode
// (LIRC_SET_MEASURE_CARRIER_MODE): rc-loopback gives the carrier it was sent
// with as a LIRC_MODE2_FREQUENCY value, which no ioctl reads back. The mode
// is the device's, not the descriptor's: it is on only for this signal.
std::vector<unsigned> Measured_Carriers(const std::function<void()>& send) {
    const int fd = ::open(Device().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    uint32_t on = 1, off = 0;
    std::vector<unsigned> carriers;
    if (::ioctl(fd, LIRC_SET_MEASURE_CARRIER_MODE, &on) == 0) {
        uint32_t values[512];
        while (::read(fd, values, sizeof values) > 0) {
        }
        send();
        const auto end = std::chrono::steady_clock::now() + bench::Loopback_Limit;
        while (carriers.empty() && std::chrono::steady_clock::now() < end) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0) continue;
            const ssize_t got = ::read(fd, values, sizeof values);
            for (ssize_t i = 0; i < got / static_cast<ssize_t>(sizeof values[0]); ++i) {
                if (LIRC_IS_FREQUENCY(values[i])) carriers.push_back(LIRC_VALUE(values[i]));
            }
        }
        ::ioctl(fd, LIRC_SET_MEASURE_CARRIER_MODE, &off);
    }
    ::close(fd);
    return carriers;
}

TEST_P(Kernel_Ir_Test, Each_Protocol_Goes_Out_With_Its_Carrier) {
    const auto send = [&] { program.State.Send_Command(GetParam().Row, 1); };
    if (On_Kernel_Device()) {
        const std::vector<unsigned> carriers = Measured_Carriers(send);
        ASSERT_FALSE(carriers.empty()) << "no carrier report";
        EXPECT_EQ(carriers.front(), GetParam().Carrier_Hz);
    } else {
        // The simulated device logs each signal with its carrier.
        const auto count =
            reinterpret_cast<decltype(&IoSimSignalCount)>(program.State.Port.Resolve("IoSimSignalCount"));
        const auto entry =
            reinterpret_cast<decltype(&IoSimSignalEntry)>(program.State.Port.Resolve("IoSimSignalEntry"));
        ASSERT_TRUE(count && entry);
        send();
        unsigned carrier = 0;
        ASSERT_GT(entry(count() - 1, nullptr, &carrier, nullptr, 0), 0);
        EXPECT_EQ(carrier, GetParam().Carrier_Hz);
    }
    EXPECT_TRUE(program.Feedback.Messages.empty());
}

// ---- qev-ir on the device ----------------------------------------------------

class Kernel_Ir_Tool_Test : public Kernel_Ir_Test {
protected:
    TTemp_Dir dir;

    void SetUp() override {
        Kernel_Ir_Test::SetUp();
        if (!On_Kernel_Device()) GTEST_SKIP() << "the simulated IR device lives inside one process";
    }
    // The program's table in a Command file, @REPEAT = 1.
    std::string Command_File() {
        const std::string path = dir.File("remote.rmt");
        program.State.Settings.REPEAT = 1;
        EXPECT_TRUE(program.State.Save_Command_File(path));
        return path;
    }
};

TEST_P(Kernel_Ir_Tool_Test, Qev_Ir_Send_Puts_Out_The_Row_s_Samples) {
    const std::string file = Command_File();
    const std::vector<int32_t> samples = program.Row_Samples(GetParam().Row);
    const bench::TLooped_Send send = bench::Receive_While(program, [&] {
        const TTool_Result run = Run_Tool_Process({"send", file, Code().Name, "--device", Device()}, {});
        return run.Exit == 0 && run.Err.empty() ? std::string() : "exit " + std::to_string(run.Exit) + ": " + run.Err;
    });
    ASSERT_EQ(send.Error, "");
    const std::vector<uint32_t> expected = Signal_Of_Samples(samples.data(), static_cast<int32_t>(samples.size()), 1);
    ASSERT_EQ(send.Received.size(), expected.size())
        << "sent:     " << Joined(expected) << "\nreceived: " << Joined(send.Received);
    EXPECT_LE(Largest_Difference(send.Received, expected), 125)
        << "sent:     " << Joined(expected) << "\nreceived: " << Joined(send.Received);
}

TEST_P(Kernel_Ir_Tool_Test, Qev_Ir_Receive_Prints_A_Send_Decoded_With_Its_Durations) {
    TTool_Process receive({"receive", "--device", Device(), "--count", "1", "--timeout", "60"}, {});
    ASSERT_TRUE(receive.Started());
    std::string decoded;
    // A send the receive misses (one that arrives just as it starts its
    // next wait slice) is sent again.
    for (int attempt = 0; attempt < 3 && decoded.empty(); ++attempt) {
        ASSERT_TRUE(bench::Wait_Until_Receiving(receive.Pid(), receive.Pid(), true, bench::Loopback_Limit));
        program.State.Send_Command(GetParam().Row, 1);
        if (!receive.Read_Line(decoded, 10'000)) decoded.clear();
    }
    const TTool_Result run = receive.Wait();
    EXPECT_EQ(run.Exit, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(decoded, Describe_Code(Code().Code));
    const std::vector<int32_t> samples = program.Row_Samples(GetParam().Row);
    EXPECT_EQ(run.Out, decoded + "\n  " +
                           Joined(Signal_Of_Samples(samples.data(), static_cast<int32_t>(samples.size()), 1)) + "\n");
}

const TCode_Row Codes[] = {{0, 38000}, {1, 36000}, {2, 36000}, {3, 40000}};

std::string Code_Name(const ::testing::TestParamInfo<TCode_Row>& info) { return Loopback_Codes()[info.param.Row].Name; }

INSTANTIATE_TEST_SUITE_P(Codes, Kernel_Ir_Test, ::testing::ValuesIn(Codes), Code_Name);
INSTANTIATE_TEST_SUITE_P(Codes, Kernel_Ir_Tool_Test, ::testing::ValuesIn(Codes), Code_Name);

// Why `device` is not a device these tests can run on, or "".
std::string Not_Loopback(const std::string& device) {
    if (::access(device.c_str(), F_OK) != 0) return device + " does not exist";
    const std::string name = device.substr(device.rfind('/') + 1);
    const std::string uevent = Read_File("/sys/class/lirc/" + name + "/device/uevent");
    if (uevent.find("DRV_NAME=rc-loopback\n") != std::string::npos) return "";
    return device + " is not rc-loopback, whose sends come back (" +
           (uevent.empty() ? std::string("no /sys/class/lirc/" + name) : "its " + uevent.substr(0, uevent.find('\n'))) +
           ")";
}

}  // namespace
}  // namespace qev::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* backend = std::getenv("IO_BACKEND");
    if (backend == nullptr || std::string(backend) == "lirc") {
        ::setenv("IO_BACKEND", "lirc", 1);
        ::setenv("IO_LIRC_DEVICE", qev::test::Device().c_str(), 1);
        const std::string why = qev::test::Not_Loopback(qev::test::Device());
        if (!why.empty()) {
            std::printf(
                "kernel_ir_tests: skipped: %s (scripts/test-kernel-ir runs these tests on Debian's kernel "
                "with rc-loopback)\n",
                why.c_str());
            return 77;
        }
    }
    return RUN_ALL_TESTS();
}
