#include "net/lirc_program.h"

#include <algorithm>

namespace qev {

std::string TLirc_State_Program::Remote_Name() const { return Lirc_Remote_Name(state_.Origin.Command_File_Path()); }

std::vector<std::string> TLirc_State_Program::Command_Names() const {
    std::vector<std::string> names;
    const int32_t rows = state_.Table.Rows_In_Use();
    for (int32_t row = 0; row < rows; ++row) names.push_back(state_.Table.Row(row).Name);
    return names;
}

bool TLirc_State_Program::Send(const std::string& name, int32_t times, bool held) {
    const int32_t row = state_.Find_Command(name);
    if (row < 0 || times < 1 || !state_.Port.Functions().PortOut) return false;
    state_.Send_Command(row, times, held ? TPress::Held : TPress::New);
    return true;
}

}  // namespace qev
