// The performance counter behind the sample clock.
//
// The real counter is CLOCK_MONOTONIC in nanoseconds (frequency 1,000,000,000,
// about 25 ns per read through the vDSO). Tests substitute a scripted counter
// to drive the clock's edge cases.
#ifndef QEV_IRPORT_COUNTER_H
#define QEV_IRPORT_COUNTER_H

#include <cstdint>

namespace qev {

class TCounter {
public:
    virtual ~TCounter() = default;
    // false when the platform offers no counter.
    virtual bool Query_Counter(int64_t& value) = 0;
    // Counts per second; 0 when unknown.
    virtual int64_t Query_Frequency() = 0;
    // The current count; only called once Query_Counter has succeeded.
    virtual int64_t Read() = 0;
    // Sleeps until the count reaches `value` (or returns at once when past).
    virtual void Sleep_Until(int64_t value) = 0;
};

// CLOCK_MONOTONIC, nanoseconds.
class TMonotonic_Counter final : public TCounter {
public:
    bool Query_Counter(int64_t& value) override;
    int64_t Query_Frequency() override { return 1'000'000'000; }
    int64_t Read() override;
    void Sleep_Until(int64_t value) override;
};

}  // namespace qev

#endif
