// The receiver thread: heard signals reach the window's side, a send or a
// capture takes the receiver from it, and a failing port ends it.
#include "app/core/listener.h"

#include "ir/decoder.h"
#include "ir/protocols.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
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

// A device whose receive waits its whole wait_ms unless cancelled, as a
// kernel IR device does when nothing comes; its cancel, like the port
// library's, reaches only a receive already waiting.
struct TWaiting_Device {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Waiting = false;
    bool Cancelled = false;
    int Cancel_Answer = 1;                        // what a cancel of a waiting receive returns
    std::chrono::milliseconds Before_Waiting{0};  // between the call and its wait
    std::vector<int> Wait_Ms;
};
TWaiting_Device* waiting_device = nullptr;

int Waiting_Receive(unsigned*, int, int wait_ms, unsigned, unsigned) {
    TWaiting_Device& d = *waiting_device;
    std::unique_lock lock(d.Mutex);
    d.Wait_Ms.push_back(wait_ms);
    d.Changed.notify_all();
    d.Changed.wait_for(lock, d.Before_Waiting);  // a cancel now is lost
    d.Waiting = true;
    d.Cancelled = false;
    d.Changed.notify_all();
    d.Changed.wait_for(lock, std::chrono::milliseconds(wait_ms), [&] { return d.Cancelled; });
    d.Waiting = false;
    return 0;
}
int Waiting_Cancel() {
    TWaiting_Device& d = *waiting_device;
    std::lock_guard lock(d.Mutex);
    if (!d.Waiting) return 0;
    if (d.Cancel_Answer < 0) return -1;
    d.Cancelled = true;
    d.Changed.notify_all();
    return 1;
}

class Cancellable_Listener_Test : public ::testing::Test {
protected:
    void SetUp() override {
        waiting_device = &state;
        port.Set_Signal_Table({Features, nullptr, Waiting_Receive, Error, Waiting_Cancel});
    }
    void TearDown() override {
        listener.Stop();
        waiting_device = nullptr;
    }
    void Start_And_Let_It_Wait() {
        ASSERT_TRUE(listener.Start([](const THeard_Signal&) {}, [](const std::string&) {}));
        std::unique_lock lock(state.Mutex);
        ASSERT_TRUE(state.Changed.wait_for(lock, 5s, [&] { return state.Waiting; }));
    }
    int First_Wait_Ms() {
        std::lock_guard lock(state.Mutex);
        return state.Wait_Ms.front();
    }
    // How long taking the receiver from the listener takes.
    Clock::duration Pause_Time() {
        const auto start = Clock::now();
        const TListener::TPause pause(listener);
        return Clock::now() - start;
    }

    TWaiting_Device state;
    TPort_Library port;
    TListener listener{port};
};

TEST_F(Cancellable_Listener_Test, Waits_In_Long_Slices_And_A_Pause_Ends_The_Wait_At_Once) {
    Start_And_Let_It_Wait();
    EXPECT_EQ(First_Wait_Ms(), TListener::Cancellable_Slice_Ms);
    EXPECT_LT(Pause_Time(), 1s) << "a 10 s slice is not waited out";
    Start_And_Let_It_Wait();
    const auto start = Clock::now();
    listener.Stop();
    EXPECT_LT(Clock::now() - start, 1s) << "nor by Stop";
}

TEST_F(Cancellable_Listener_Test, A_Cancel_Before_The_Receive_Waits_Is_Asked_Again) {
    state.Before_Waiting = 50ms;
    Start_And_Let_It_Wait();
    // The next receive begins after the pause; catch it before it waits.
    { const TListener::TPause pause(listener); }
    {
        std::unique_lock lock(state.Mutex);
        ASSERT_TRUE(state.Changed.wait_for(lock, 5s, [&] { return state.Wait_Ms.size() == 2; }));
    }
    EXPECT_LT(Pause_Time(), 1s);
}

TEST_F(Cancellable_Listener_Test, A_Library_That_Cannot_Cancel_Is_Waited_Out_And_Gets_Short_Slices) {
    state.Cancel_Answer = -1;
    Start_And_Let_It_Wait();
    // The long wait under way ends by itself, a little later.
    std::thread end_of_wait([&] {
        std::this_thread::sleep_for(50ms);
        std::lock_guard lock(state.Mutex);
        state.Cancelled = true;
        state.Changed.notify_all();
    });
    const Clock::duration paused_after = Pause_Time();
    end_of_wait.join();
    EXPECT_GE(paused_after, 40ms) << "the pause waited for the receive to end";
    std::unique_lock lock(state.Mutex);
    ASSERT_TRUE(state.Changed.wait_for(lock, 5s, [&] { return state.Wait_Ms.size() >= 2; }));
    EXPECT_EQ(state.Wait_Ms.back(), TListener::Slice_Ms);
}

TEST_F(Cancellable_Listener_Test, Without_A_Cancel_The_Slices_Stay_Short) {
    port.Set_Signal_Table({Features, nullptr, Waiting_Receive, Error});
    Start_And_Let_It_Wait();
    EXPECT_EQ(First_Wait_Ms(), TListener::Slice_Ms);
    EXPECT_LT(Pause_Time(), 1s);
}

}  // namespace
}  // namespace qev
