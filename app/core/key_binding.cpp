#include "app/core/key_binding.h"

namespace qev {

std::vector<int32_t> Map_Keys(const TCommand_Table& table, const std::vector<std::string_view>& command_names) {
    std::vector<int32_t> rows(command_names.size(), -1);
    const int32_t used = table.Rows_In_Use();
    for (int32_t row = 0; row < used; ++row)
        for (std::size_t key = 0; key < command_names.size(); ++key)
            if (table.Row(row).Name == command_names[key]) rows[key] = row;
    return rows;
}

}  // namespace qev
