#include "base/stop_request.h"

#include <atomic>

namespace qev {

namespace {

std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

}  // namespace

void Request_Program_Stop() noexcept { stop_requested.store(true, std::memory_order_relaxed); }

bool Program_Stop_Requested() noexcept { return stop_requested.load(std::memory_order_relaxed); }

void Clear_Program_Stop() noexcept { stop_requested.store(false, std::memory_order_relaxed); }

}  // namespace qev
