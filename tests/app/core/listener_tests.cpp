// The receiver thread: heard signals reach the window's side, a send or a
// capture takes the receiver from it, and a failing port ends it.
#include "app/core/listener.h"

#include "ir/decoder.h"
#include "ir/protocols.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qev {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A device stand-in: signals queued by the test arrive one per receive; an
// empty queue waits a little, as a slice with nothing in it would.
struct TDevice {
    std::mutex Mutex;
    std::deque<std::vector<unsigned>> Arriving;
    int Receives = 0;
    bool Fail = false;
    std::atomic<bool> Paused{false};
    int Receives_While_Paused = 0;
    std::vector<Clock::time_point> Receive_Times;
};
TDevice* device = nullptr;

int Features() { return Signal_Send | Signal_Receive; }
int Receive(unsigned* durations, int capacity, int, unsigned, unsigned) {
    {
        std::lock_guard lock(device->Mutex);
        ++device->Receives;
        device->Receive_Times.push_back(Clock::now());
        if (device->Paused) ++device->Receives_While_Paused;
        if (device->Fail) return -1;
        if (!device->Arriving.empty()) {
            const std::vector<unsigned> next = device->Arriving.front();
            device->Arriving.pop_front();
            const int count = std::min(capacity, static_cast<int>(next.size()));
            std::copy(next.begin(), next.begin() + count, durations);
            return count;
        }
    }
    std::this_thread::sleep_for(2ms);
    return 0;
}
const char* Error() { return "/dev/lirc0: No such device"; }

std::vector<unsigned> Signal(const TIR_Code& code) {
    std::vector<int32_t> d = Encode(code).Durations_us;
    d.pop_back();  // the device ends a signal on its last mark
    return {d.begin(), d.end()};
}

class Listener_Test : public ::testing::Test {
protected:
    void SetUp() override {
        device = &state;
        port.Set_Signal_Table({Features, nullptr, Receive, Error});
    }
    void TearDown() override {
        listener.Stop();
        device = nullptr;
    }
    void Queue(const TIR_Code& code) {
        std::lock_guard lock(state.Mutex);
        state.Arriving.push_back(Signal(code));
    }
    bool Start() {
        return listener.Start(
            [this](THeard_Signal heard) {
                std::lock_guard lock(mutex);
                heard_.push_back(std::move(heard));
            },
            [this](const std::string& why) {
                std::lock_guard lock(mutex);
                failures.push_back(why);
            });
    }
    std::size_t Heard_Count() {
        std::lock_guard lock(mutex);
        return heard_.size();
    }

    TDevice state;
    TPort_Library port;
    TListener listener{port};
    std::mutex mutex;
    std::vector<THeard_Signal> heard_;
    std::vector<std::string> failures;
};

TEST_F(Listener_Test, Heard_Signals_Arrive_In_Order_As_Levels) {
    ASSERT_TRUE(Start());
    EXPECT_TRUE(listener.Listening());
    Queue({TProtocol::NEC, 0x04, 0x08});
    Queue({TProtocol::RC5, 0x05, 0x10});
    ASSERT_TRUE(test::Wait_Until([&] { return Heard_Count() == 2; }, 5s));
    std::lock_guard lock(mutex);
    const auto first = Decode_Levels(heard_[0].Levels);
    const auto second = Decode_Levels(heard_[1].Levels);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->Code, (TIR_Code{TProtocol::NEC, 0x04, 0x08}));
    // Its last half is idle: the end gap the receive ended on holds it.
    EXPECT_EQ(second->Code, (TIR_Code{TProtocol::RC5, 0x05, 0x10}));
    EXPECT_LE(heard_[0].End, heard_[1].End);
}

TEST_F(Listener_Test, A_Pause_Holds_The_Receiver_Until_It_Ends_And_A_While_After) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(test::Wait_Until([&] { return std::lock_guard(state.Mutex), state.Receives > 3; }, 5s));
    Clock::time_point resumed;
    for (int round = 0; round < 5; ++round) {
        {
            const TListener::TPause outer(listener);
            const TListener::TPause inner(listener);  // pauses nest
            state.Paused = true;
            std::this_thread::sleep_for(10ms);  // a send under way
            state.Paused = false;
        }
        resumed = Clock::now();
    }
    ASSERT_TRUE(
        test::Wait_Until([&] { return std::lock_guard(state.Mutex), state.Receive_Times.back() > resumed; }, 5s));
    std::lock_guard lock(state.Mutex);
    EXPECT_EQ(state.Receives_While_Paused, 0);
    Clock::time_point first_after = state.Receive_Times.back();
    for (const Clock::time_point t : state.Receive_Times) {
        if (t > resumed) {
            first_after = t;
            break;
        }
    }
    EXPECT_GE(first_after - resumed, TListener::Resume_Delay) << "what came in meanwhile is read away first";
}

TEST_F(Listener_Test, A_Failing_Port_Ends_Listening_And_Says_Why_Once) {
    ASSERT_TRUE(Start());
    {
        std::lock_guard lock(state.Mutex);
        state.Fail = true;
    }
    ASSERT_TRUE(test::Wait_Until([&] { return !listener.Listening(); }, 5s));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(failures, std::vector<std::string>{"/dev/lirc0: No such device"});
    }
    {
        std::lock_guard lock(state.Mutex);
        state.Fail = false;
    }
    ASSERT_TRUE(Start()) << "listening starts again";
    Queue({TProtocol::NEC, 0x01, 0x02});
    EXPECT_TRUE(test::Wait_Until([&] { return Heard_Count() == 1; }, 5s));
}

TEST_F(Listener_Test, A_Port_Without_A_Receiver_Cannot_Listen) {
    TPort_Library register_port;
    TListener on_registers(register_port);
    EXPECT_FALSE(on_registers.Can_Listen());
    EXPECT_FALSE(on_registers.Start([](const THeard_Signal&) {}, [](const std::string&) {}));
    EXPECT_FALSE(on_registers.Listening());
    const TListener::TPause pause(on_registers);  // nothing to wait for
}

}  // namespace
}  // namespace qev
