// What the kernel IR measurement compares: the edges of sampled levels and
// the largest difference between two lists; and the codes it sends.
#include "harness/kernel_ir_loopback.h"

#include "ir/protocols.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace qev::bench {
namespace {

TEST(Kernel_Ir_Loopback, Edges_Are_Where_The_Level_Changes) {
    struct Row {
        const char* name;
        std::vector<int32_t> samples;
        std::vector<int32_t> edges;
    };
    const std::vector<Row> rows = {
        {"nothing", {}, {}},
        {"one_level_throughout", {255, 255, 255}, {}},
        {"a_mark_then_idle", {255, 255, 0, 0}, {2}},
        {"idle_then_a_mark", {0, 0, 255}, {2}},
        {"every_sample_a_run", {255, 0, 255, 0}, {1, 2, 3}},
        {"any_non_zero_is_on", {16, 255, 1, 0, 0, 7}, {3, 5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Edges_Of(row.samples), row.edges);
    }
}

TEST(Kernel_Ir_Loopback, Largest_Difference_Of_Lists_Of_One_Length) {
    struct Row {
        const char* name;
        std::vector<uint32_t> a, b;
        int64_t largest;
    };
    const std::vector<Row> rows = {
        {"both_empty", {}, {}, 0},
        {"equal", {9000, 4500, 562}, {9000, 4500, 562}, 0},
        {"a_larger", {9000, 4501, 562}, {9000, 4500, 562}, 1},
        {"b_larger_by_more_than_a_uint32_holds_below_zero", {0, 10}, {4000000000u, 10}, 4000000000},
        {"the_largest_of_several", {100, 200, 300}, {110, 150, 301}, 50},
        {"lengths_differ", {1, 2}, {1, 2, 3}, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Largest_Difference(row.a, row.b), row.largest);
    }
}

TEST(Kernel_Ir_Loopback, The_Codes_Cover_The_Three_Carriers) {
    std::vector<int32_t> carriers;
    for (const TLoopback_Code& code : Loopback_Codes()) {
        EXPECT_FALSE(Code_Problem(code.Code).has_value()) << code.Name;
        carriers.push_back(Protocol_Info(code.Code.Protocol).Carrier_Hz);
    }
    EXPECT_EQ(carriers, (std::vector<int32_t>{38000, 36000, 36000, 40000}));
}

}  // namespace
}  // namespace qev::bench
