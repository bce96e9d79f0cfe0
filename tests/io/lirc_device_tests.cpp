// Waking a poll: the system's device (its wake-up counter beside the
// device's descriptor) and the simulated one end a poll under way at once,
// and a wake-up that no poll took ends only the next one early.
#include "io/lirc_device.h"
#include "io/simlirc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace iotest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr std::int64_t kNsPerMs = 1'000'000;

struct DeviceRow {
    const char* name;
    std::function<qev::io::LircDevice&()> device;
};

void PrintTo(const DeviceRow& row, std::ostream* out) { *out << row.name; }

class Lirc_Device_Wake : public ::testing::TestWithParam<DeviceRow> {
protected:
    void SetUp() override { ASSERT_EQ(::pipe(pipe_), 0); }
    void TearDown() override {
        ::close(pipe_[0]);
        ::close(pipe_[1]);
    }
    // How long a poll of `timeout_ms` on the pipe's quiet end took, and what it returned.
    std::pair<Clock::duration, int> Poll(qev::io::LircDevice& device, std::int64_t timeout_ms) {
        const auto start = Clock::now();
        const int events = device.poll(pipe_[0], timeout_ms * kNsPerMs);
        return {Clock::now() - start, events};
    }
    int pipe_[2] = {-1, -1};
};

TEST_P(Lirc_Device_Wake, Ends_A_Poll_Under_Way_And_Only_The_Next_When_None_Was) {
    qev::io::LircDevice& device = GetParam().device();
    auto polling = std::async(std::launch::async, [&] { return Poll(device, 10'000); });
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(device.wake_poll());
    const auto [woken_after, events] = polling.get();
    EXPECT_EQ(events, 0);
    EXPECT_LT(woken_after, 3s) << "not the 10 s it would wait";

    // A wake-up with no poll under way: the next poll returns at once, the
    // one after it waits its time.
    ASSERT_TRUE(device.wake_poll());
    EXPECT_LT(Poll(device, 5'000).first, 3s);
    EXPECT_GE(Poll(device, 50).first, 50ms);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Lirc_Device_Wake,
    ::testing::Values(DeviceRow{"system", []() -> qev::io::LircDevice& { return qev::io::system_lirc_device(); }},
                      DeviceRow{"simulated",
                                []() -> qev::io::LircDevice& {
                                    static qev::io::SimLircDevice device;
                                    return device;
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace iotest
