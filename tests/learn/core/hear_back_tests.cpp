// Test hearing the send back: the same samples, a moved edge, nothing heard,
// a port that cannot.
#include "learn/core/hear_back.h"

#include "ir/protocols.h"
#include "ir/sampling.h"
#include "tests/support/state_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qev::test {
namespace {

// A device whose receiver hears what its transmitter sends, changed by
// Change; a receive waits up to its wait for a send.
struct TLoop_Device {
    std::mutex Mutex;
    std::condition_variable Sent;
    std::optional<std::vector<unsigned>> Signal;
    std::function<void(std::vector<unsigned>&)> Change = [](std::vector<unsigned>&) {};
    bool Deaf = false;
    bool Fail = false;
};
TLoop_Device* device = nullptr;

int Features() { return Signal_Send | Signal_Receive; }
int Send(const unsigned* durations, int count, unsigned) {
    std::lock_guard lock(device->Mutex);
    if (!device->Deaf) {
        device->Signal.emplace(durations, durations + count);
        device->Change(*device->Signal);
    }
    device->Sent.notify_all();
    return 0;
}
int Receive(unsigned* durations, int capacity, int wait_ms, unsigned, unsigned) {
    std::unique_lock lock(device->Mutex);
    if (device->Fail) return -1;
    if (!device->Sent.wait_for(lock, std::chrono::milliseconds(wait_ms), [] { return device->Signal.has_value(); }))
        return 0;
    const std::vector<unsigned> signal = *device->Signal;
    device->Signal.reset();
    const int count = std::min(capacity, static_cast<int>(signal.size()));
    std::copy(signal.begin(), signal.begin() + count, durations);
    return count;
}
const char* Error() { return "/dev/lirc0: the device is gone"; }

class Hear_Back_Test : public State_Fixture {
protected:
    void SetUp() override {
        State_Fixture::SetUp();
        device = &loop;
        ASSERT_TRUE(state.Start_Up());
        state.Port.Set_Signal_Table({Features, Send, Receive, Error});
        const TLevels levels = Sample_Timing(Encode({TProtocol::NEC, 0x04, 0x08}), state.Samples.Capacity());
        for (std::size_t i = 0; i < levels.size(); ++i) state.Samples[static_cast<int32_t>(i)] = levels[i] ? 255 : 0;
        state.Samples.Sample_Count = static_cast<int32_t>(levels.size());
    }
    void TearDown() override {
        device = nullptr;
        State_Fixture::TearDown();
    }
    TLoop_Device loop;
};

TEST_F(Hear_Back_Test, Tells_Whether_The_Receiver_Heard_What_Was_Sent) {
    struct TCase {
        const char* Name;
        std::function<void(std::vector<unsigned>&)> Change;
        bool Deaf;
        THear_Back Outcome;
        std::string Text;
    };
    const TCase cases[] = {
        {"the same", [](std::vector<unsigned>&) {}, false, THear_Back::Same,
         "Heard back: the same, every edge within one sample."},
        {"a receiver stretching marks by 100 us",
         [](std::vector<unsigned>& d) {
             for (std::size_t i = 0; i + 1 < d.size(); i += 2) {
                 d[i] += 100;
                 d[i + 1] -= 100;
             }
         },
         false, THear_Back::Same, "Heard back: the same, every edge within one sample."},
        {"the leader space 3 samples short", [](std::vector<unsigned>& d) { d[1] -= 375; }, false,
         THear_Back::Different, "Heard back, but edge 2 is 3 samples off."},
        {"a mark lost", [](std::vector<unsigned>& d) { d.resize(d.size() - 2); }, false, THear_Back::Different,
         "Heard back, but not the same: 33 marks where 34 were sent."},
        {"nothing", [](std::vector<unsigned>&) {}, true, THear_Back::Nothing_Heard, "Nothing heard back within 1 s."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        loop.Change = c.Change;
        loop.Deaf = c.Deaf;
        const THear_Back_Result result = Test_Hear_Back(state);
        EXPECT_EQ(result.Outcome, c.Outcome);
        EXPECT_EQ(result.Text, c.Text);
    }
}

TEST_F(Hear_Back_Test, A_Port_That_Cannot_Hear_Says_So) {
    loop.Fail = true;
    const THear_Back_Result failed = Test_Hear_Back(state);
    EXPECT_EQ(failed.Outcome, THear_Back::Cannot);
    EXPECT_EQ(failed.Text, "The receiver failed: /dev/lirc0: the device is gone");
    state.Port.Set_Signal_Table({});
    EXPECT_FALSE(Can_Hear_Back(state));
    EXPECT_EQ(Test_Hear_Back(state).Outcome, THear_Back::Cannot);
}

}  // namespace
}  // namespace qev::test
