// Waiting for a condition with a deadline instead of sleeping for a fixed
// time: for tests that watch another thread or process (a child program's
// state in /proc, a file it writes, a flag a thread sets). Tests on Qt's
// event loop use QTest::qWaitFor instead, which lets events through.
#ifndef QEV_TESTS_SUPPORT_WAIT_UNTIL_H
#define QEV_TESTS_SUPPORT_WAIT_UNTIL_H

#include <chrono>
#include <thread>

namespace qev::test {

// Looks at `done` every `step` until it holds (true) or `limit` has passed
// (false, after one last look).
template <typename Condition, typename Rep, typename Period>
bool Wait_Until(Condition&& done, std::chrono::duration<Rep, Period> limit,
                std::chrono::milliseconds step = std::chrono::milliseconds(5)) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit);
    while (!done()) {
        if (Clock::now() > deadline) return done();
        std::this_thread::sleep_for(step);
    }
    return true;
}

}  // namespace qev::test

#endif
