// A counter that knows when the thread runs raised: it moves by a fixed step
// per read while the priority recorder's last call raised the thread, and by
// a whole second per read otherwise, so readings taken outside the raised
// section show as a loop of about a second. Records its calls.
#ifndef QEV_TESTS_SUPPORT_RAISED_STEP_COUNTER_H
#define QEV_TESTS_SUPPORT_RAISED_STEP_COUNTER_H

#include "harness/priority_recorder.h"
#include "irport/counter.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qev::test {

class TRaised_Step_Counter final : public TCounter {
public:
    TRaised_Step_Counter(TPriority_Recorder& recorder, int64_t frequency, int64_t raised_step)
        : recorder_(recorder), frequency_(frequency), raised_step_(raised_step) {}

    bool Query_Counter(int64_t& value) override {
        value = now_;
        return true;
    }
    int64_t Query_Frequency() override {
        Calls.push_back("frequency");
        return frequency_;
    }
    int64_t Read() override {
        const bool raised = !recorder_.Calls.empty() && recorder_.Calls.back() == "thread critical";
        Calls.push_back(raised ? "read raised" : "read");
        const int64_t value = now_;
        now_ += raised ? raised_step_ : std::max<int64_t>(frequency_, 1'000'000'000);
        return value;
    }
    void Sleep_Until(int64_t value) override { now_ = std::max(now_, value); }

    std::vector<std::string> Calls;

private:
    TPriority_Recorder& recorder_;
    int64_t frequency_;
    int64_t raised_step_;
    int64_t now_ = 5'000'000;
};

}  // namespace qev::test

#endif
