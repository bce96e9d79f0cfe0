// Which learned command each key of the main window sends.
#ifndef QEV_APP_CORE_KEY_BINDING_H
#define QEV_APP_CORE_KEY_BINDING_H

#include "store/command_table.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace qev {

// For each key's command name, the row the key sends: the last row in use
// named exactly so (byte for byte, case and spaces count), or -1 when none
// is, and the key stays disabled. Unlike Find_Command, the last row of a
// name wins.
std::vector<int32_t> Map_Keys(const TCommand_Table& table, const std::vector<std::string_view>& command_names);

}  // namespace qev

#endif
