// A scripted performance counter: time moves only when the code under test
// reads or sleeps, by a fixed step per read.
#ifndef QEV_HARNESS_FAKE_COUNTER_H
#define QEV_HARNESS_FAKE_COUNTER_H

#include "irport/counter.h"

#include <vector>

namespace qev::test {

class TFake_Counter final : public TCounter {
public:
    explicit TFake_Counter(int64_t frequency = 1'000'000'000, int64_t start = 1'000'000, int64_t step = 1)
        : Frequency(frequency), Now(start), Step(step) {}

    bool Query_Counter(int64_t& value) override {
        if (!Present) return false;
        value = Now;
        return true;
    }
    int64_t Query_Frequency() override { return Frequency; }
    int64_t Read() override {
        ++Reads;
        int64_t value = Now;
        Now += Step;
        return value;
    }
    void Sleep_Until(int64_t value) override {
        Sleeps.push_back(value);
        if (value > Now) Now = value;
    }

    int64_t Frequency;
    int64_t Now;
    int64_t Step;
    bool Present = true;
    int64_t Reads = 0;
    std::vector<int64_t> Sleeps;
};

}  // namespace qev::test

#endif
