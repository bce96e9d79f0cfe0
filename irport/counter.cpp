#include "irport/counter.h"

#include <cerrno>
#include <ctime>

namespace qev {

namespace {

constexpr int64_t Nanoseconds_Per_Second = 1'000'000'000;

}  // namespace

bool TMonotonic_Counter::Query_Counter(int64_t& value) {
    timespec t{};
    if (clock_gettime(CLOCK_MONOTONIC, &t) != 0) return false;
    value = t.tv_sec * Nanoseconds_Per_Second + t.tv_nsec;
    return true;
}

int64_t TMonotonic_Counter::Read() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * Nanoseconds_Per_Second + t.tv_nsec;
}

void TMonotonic_Counter::Sleep_Until(int64_t value) {
    if (value <= 0) return;
    timespec t{static_cast<time_t>(value / Nanoseconds_Per_Second), static_cast<long>(value % Nanoseconds_Per_Second)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

}  // namespace qev
