// Work spread over threads: every piece done once, failures brought back.
#include "base/parallel_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace qev {
namespace {

TEST(Parallel_Work, Does_Every_Piece_Once) {
    struct Row {
        const char* name;
        std::size_t count;
        unsigned most_threads;
    };
    const std::vector<Row> rows = {
        {"nothing", 0, 0},
        {"one piece", 1, 0},
        {"too few to share", Parallel_Work_Minimum - 1, 0},
        {"enough to share", Parallel_Work_Minimum, 0},
        {"many", 10'000, 0},
        {"many, one thread", 10'000, 1},
        {"many, more threads than cores", 10'000, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::atomic<int>> done(row.count);
        Do_In_Parallel(
            row.count, [&](std::size_t i) { done[i].fetch_add(1); }, row.most_threads);
        for (std::size_t i = 0; i < row.count; ++i) ASSERT_EQ(done[i].load(), 1) << "piece " << i;
    }
}

TEST(Parallel_Work, Few_Pieces_Or_One_Thread_Stay_On_The_Callers_Thread) {
    for (const auto& [count, most_threads] : {std::pair<std::size_t, unsigned>{Parallel_Work_Minimum - 1, 0u},
                                              std::pair<std::size_t, unsigned>{1000, 1u}}) {
        std::mutex lock;
        std::set<std::thread::id> threads;
        Do_In_Parallel(
            count,
            [&](std::size_t) {
                const std::lock_guard<std::mutex> hold(lock);
                threads.insert(std::this_thread::get_id());
            },
            most_threads);
        EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()}) << count << " pieces";
    }
}

// A failing piece's exception reaches the caller once every thread has
// stopped: no piece runs after the call has returned. On one thread the
// pieces after the failing one are left out.
TEST(Parallel_Work, A_Failure_Reaches_The_Caller) {
    for (const unsigned most_threads : {0u, 1u}) {
        SCOPED_TRACE(most_threads == 1 ? "one thread" : "all cores");
        std::atomic<std::size_t> started{0};
        EXPECT_THROW(Do_In_Parallel(
                         1000,
                         [&](std::size_t i) {
                             started.fetch_add(1);
                             if (i == 100) throw std::runtime_error("piece 100");
                         },
                         most_threads),
                     std::runtime_error);
        const std::size_t after_return = started.load();
        if (most_threads == 1) {
            EXPECT_EQ(after_return, 101u);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(started.load(), after_return);
    }
}

}  // namespace
}  // namespace qev
