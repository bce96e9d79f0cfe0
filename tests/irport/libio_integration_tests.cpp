// The real libio.so on its simulated port, driven by the real clock.
#include "harness/sim_port_controls.h"
#include "ir/decoder.h"
#include "irport/receiver.h"
#include "irport/transmitter.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace qev {
namespace {

using test::TEnv_Guard;

class Libio_Test : public ::testing::Test {
protected:
    TEnv_Guard backend{"IO_BACKEND", "sim"};
    TEnv_Guard remote{"IO_SIM_REMOTE", "nec:0x04:0x08"};
    TMonotonic_Counter counter;
    TLinux_Priority priority;
    TSample_Clock clock{counter, priority};
    TPort_Library port;

    void SetUp() override {
        ASSERT_EQ(port.Load_Port_Library(), 0);
        TSim_Port_Controls(port).Reset();
        clock.Calc_Tick_Period();
    }
    // The remote plays against the wall clock: a capture that a busy host
    // held up saw a squeezed frame. Such a capture is repeated; when a
    // busy host held up every one of many, the test cannot judge the
    // program and says so (skipped). The remote arms itself once the capture
    // is polling (and plays Remote_Set_Delay_Ns later), so a hold-up before
    // the polling cannot make the capture miss it; a pause ends the burst
    // of the capture before, so that the remote arms again.
    // `ticks`: how far an edge may have moved (see TSim_Port_Controls::Capture_Was_On_Time).
    std::optional<TReceive_Report> Capture_On_Time(const TReceive_Request& request, std::vector<int32_t>& buffer,
                                                   int64_t ticks = 1) {
        const TSim_Port_Controls sim(port);
        for (int attempt = 1; attempt <= Capture_Attempts; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            const TReceive_Report report =
                Receive_Samples(clock, port, request, buffer.data(), static_cast<int32_t>(buffer.size()));
            if (report.Result != TReceive_Result::Received ||
                sim.Capture_Was_On_Time(report.Start_Counter, report.Max_Lateness, clock.Tick_Period, ticks))
                return report;
            std::fprintf(stderr,
                         "capture %d was held up (start seen %lld ns after the remote's, %lld samples late, up to %lld "
                         "ns); capturing again\n",
                         attempt, static_cast<long long>(report.Start_Counter - sim.Remote_Start_Ns()),
                         static_cast<long long>(report.Late_Samples), static_cast<long long>(report.Max_Lateness));
        }
        return std::nullopt;
    }
    static constexpr int Capture_Attempts = 20;
};

TEST_F(Libio_Test, All_Thirteen_Functions_Resolve_And_Release_Runs_Once) {
    const TPort_Function_Table& f = port.Functions();
    const void* slots[] = {
        reinterpret_cast<const void*>(f.PortOut),          reinterpret_cast<const void*>(f.PortWordOut),
        reinterpret_cast<const void*>(f.PortDWordOut),     reinterpret_cast<const void*>(f.PortIn),
        reinterpret_cast<const void*>(f.PortWordIn),       reinterpret_cast<const void*>(f.PortDWordIn),
        reinterpret_cast<const void*>(f.SetPortBit),       reinterpret_cast<const void*>(f.ClrPortBit),
        reinterpret_cast<const void*>(f.NotPortBit),       reinterpret_cast<const void*>(f.GetPortBit),
        reinterpret_cast<const void*>(f.RightPortShift),   reinterpret_cast<const void*>(f.LeftPortShift),
        reinterpret_cast<const void*>(f.IsDriverInstalled)};
    for (const void* slot : slots) EXPECT_NE(slot, nullptr);
    EXPECT_EQ(f.IsDriverInstalled(), 1);
    EXPECT_EQ(port.Unload_Port_Library(), 0);
    EXPECT_FALSE(port.Loaded());
    EXPECT_EQ(port.Functions().PortOut, nullptr);
    EXPECT_EQ(port.Unload_Port_Library(), 0) << "a second release does nothing";
}

TEST_F(Libio_Test, Preparing_The_Port_Reaches_The_Registers) {
    port.Prepare_Port(0x378);
    EXPECT_EQ(port.Port_In(0x37A), 0x0C) << "power-on 0x2C with the direction bit cleared";
    EXPECT_EQ(port.Port_In(0x378), 0xFE);
}

TEST_F(Libio_Test, No_Sample_Goes_Out_Before_Its_Instant) {
    const TSim_Port_Controls sim(port);
    std::vector<int32_t> samples(64);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = (i % 3 == 0) ? 255 : 0;
    sim.Tx_Clear();
    Transmit_Samples(clock, port, 0x378, samples.data(), 64);
    const std::vector<TSim_Tx_Write> writes = sim.Writes();
    ASSERT_EQ(writes.size(), 64u);
    const int64_t first_due = clock.Tick_Deadline - 64 * clock.Tick_Period;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(writes[i].Value, samples[i] ? 0xFF : 0xFE);
        EXPECT_EQ(writes[i].Port, 0x378);
        // Early is impossible by construction; late can be anything on a busy machine.
        EXPECT_GE(writes[i].Time_Ns, first_due + static_cast<int64_t>(i) * 125'000);
    }
}

TEST_F(Libio_Test, The_Receiver_Learns_The_Simulated_NEC_Frame) {
    const TSim_Port_Controls sim(port);
    sim.Remote_Set_Auto(1);
    sim.Remote_Set_Delay_Ns(2'000'000);
    std::vector<int32_t> buffer(1024);
    TReceive_Request request;
    request.Time_Limit_Seconds = 2.0;
    const std::optional<TReceive_Report> report = Capture_On_Time(request, buffer);
    if (!report) GTEST_SKIP() << "the host held up all " << Capture_Attempts << " captures";
    ASSERT_EQ(report->Result, TReceive_Result::Received);
    // Decode: leader of ~72 samples, space of ~36, then 32 bits whose spaces
    // are ~4.5 samples (0) or ~13.5 samples (1), least significant bit first.
    std::size_t i = 0;
    auto run = [&](int32_t level) {
        std::size_t n = 0;
        while (i < buffer.size() && (buffer[i] != 0) == (level != 0)) ++i, ++n;
        return n;
    };
    EXPECT_NEAR(static_cast<double>(run(255)), 72, 1.5);
    EXPECT_NEAR(static_cast<double>(run(0)), 36, 1.5);
    uint32_t bits = 0;
    for (int b = 0; b < 32; ++b) {
        run(255);
        if (run(0) > 9) bits |= 1u << b;
    }
    EXPECT_EQ(bits, 0x04u | (0xFBu << 8) | (0x08u << 16) | (0xF7u << 24));
}

// What the simulated remote sends, captured by the receiver, is named by
// the decoder: its address, its command and its repeat frames.
TEST_F(Libio_Test, Captures_Of_The_Simulated_Remote_Decode_To_Its_Code) {
    struct TCase {
        const char* Name;
        unsigned Address, Command;
        int Repeats;
        const char* Decoded;
    };
    const TCase cases[] = {
        {"default_remote", 0x04, 0x08, 1, "NEC  address 0x04  command 0x08  (+1 repeat)"},
        {"high_bytes", 0xFF, 0xFE, 0, "NEC  address 0xFF  command 0xFE"},
        {"mixed_bits", 0xA5, 0x5A, 3, "NEC  address 0xA5  command 0x5A  (+3 repeats)"},
    };
    const TSim_Port_Controls sim(port);
    sim.Remote_Set_Auto(1);
    sim.Remote_Set_Delay_Ns(2'000'000);
    TReceive_Request request;
    request.Time_Limit_Seconds = 2.0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(sim.Remote_Set_Nec(c.Address, c.Command, c.Repeats), 0);
        std::vector<int32_t> buffer(4096);  // room for three repeat frames
        request.Samples = static_cast<int32_t>(buffer.size());
        // The decoder's own tolerance is far wider than two samples an edge.
        const std::optional<TReceive_Report> report = Capture_On_Time(request, buffer, 2);
        if (!report) GTEST_SKIP() << "the host held up all " << Capture_Attempts << " captures";
        ASSERT_EQ(report->Result, TReceive_Result::Received)
            << "no signal within 2 s of a remote started " << (sim.Remote_Start_Ns() - report->Start_Counter) << " ns";
        std::vector<uint8_t> levels;
        for (const int32_t sample : buffer) levels.push_back(sample != 0 ? 1 : 0);
        EXPECT_EQ(Describe_Decoded(Decode_Levels(levels)), c.Decoded);
    }
}

}  // namespace
}  // namespace qev
