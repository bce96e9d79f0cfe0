// Spreading independent pieces of work over the machine's cores.
//
// Reading a large code file decodes and samples each of its thousands of
// records on its own; this runs them side by side.
#ifndef QEV_BASE_PARALLEL_WORK_H
#define QEV_BASE_PARALLEL_WORK_H

#include <cstddef>
#include <functional>

namespace qev {

// Below this many pieces a second thread costs more than it saves.
constexpr std::size_t Parallel_Work_Minimum = 32;

// Calls work(0) ... work(count - 1), each once, on this thread and up to
// one helper thread a further core (never more than `most_threads` in
// all), each taking the next piece not yet taken. The pieces must be
// independent of each other. Returns when all are done; an exception thrown
// by a piece is thrown here once the others have stopped (pieces not yet
// started are then left out).
void Do_In_Parallel(std::size_t count, const std::function<void(std::size_t)>& work, unsigned most_threads = 0);

}  // namespace qev

#endif
