#include "base/parallel_work.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace qev {

void Do_In_Parallel(std::size_t count, const std::function<void(std::size_t)>& work, unsigned most_threads) {
    unsigned threads = std::max(std::thread::hardware_concurrency(), 1u);
    if (most_threads != 0) threads = std::min(threads, most_threads);
    if (count < Parallel_Work_Minimum) threads = 1;
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, count));

    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr first_failure;
    std::mutex failure_lock;
    const auto take_pieces = [&] {
        try {
            for (std::size_t i = next++; i < count && !failed; i = next++) work(i);
        } catch (...) {
            const std::lock_guard<std::mutex> hold(failure_lock);
            if (!first_failure) first_failure = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(take_pieces);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the ones there do it all
        }
    }
    take_pieces();
    for (std::thread& helper : helpers) helper.join();
    if (first_failure) std::rethrow_exception(first_failure);
}

}  // namespace qev
