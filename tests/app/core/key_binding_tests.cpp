// Which row each key of the main window sends.
#include "app/core/key_binding.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace qev {
namespace {

TEST(Key_Binding, A_Key_Sends_The_Last_Row_In_Use_Named_Exactly_As_Its_Command) {
    const std::vector<std::string_view> rows_names = {"POWER", "Power", "PLAY", "FR JMP", "FR-JUMP", "PLAY", "DOT"};
    TCommand_Table table;
    table.Allocate(8, 1);
    for (std::size_t i = 0; i < rows_names.size(); ++i) table.Set_Name(static_cast<int32_t>(i), rows_names[i]);
    const std::vector<std::string_view> keys = {"POWER", "PLAY", "FR-JUMP", "DOT", "STOP", "power"};
    struct Row {
        const char* name;
        int32_t rows_in_use;
        std::vector<int32_t> expected;
    };
    const std::vector<Row> rows = {
        {"every row in use: the last PLAY wins", 7, {0, 5, 4, 6, -1, -1}},
        {"five rows in use: the first PLAY, no DOT", 5, {0, 2, 4, -1, -1, -1}},
        {"no row in use", 0, {-1, -1, -1, -1, -1, -1}},
        {"a count beyond the table", 100, {0, 5, 4, 6, -1, -1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        table.Command_Count = row.rows_in_use;
        EXPECT_EQ(Map_Keys(table, keys), row.expected);
    }
}

}  // namespace
}  // namespace qev
