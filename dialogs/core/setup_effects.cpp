#include "dialogs/core/setup_effects.h"

#include <algorithm>

namespace qev {

namespace {

// Grouped by commas in threes, as the dialog's number fields show numbers.
std::string Grouped(int32_t value) {
    const std::string digits = std::to_string(value);
    const std::size_t first = value < 0 ? 1 : 0;
    std::string grouped;
    for (std::size_t at = 0; at < digits.size(); ++at) {
        if (at > first && (digits.size() - at) % 3 == 0) grouped.push_back(',');
        grouped.push_back(digits[at]);
    }
    return grouped;
}

}  // namespace

TSetup_Allocation Setup_Allocation(const TQEV_State& state) {
    TSetup_Allocation allocation;
    allocation.Rows = state.Table.Rows();
    allocation.Row_Bytes = state.Table.Row_Capacity();
    allocation.Samples = state.Samples.Capacity();
    allocation.Row_Samples = std::min(allocation.Samples, 8 * allocation.Row_Bytes);
    return allocation;
}

bool Takes_Effect_At_Next_Start(TSetup_Field field) {
    return field == TSetup_Field::MAX_RMTCMD_NUM || field == TSetup_Field::MAX_RMTCMD_BIT_LENGTH ||
           field == TSetup_Field::RMT_FILE;
}

std::string Setup_Effect_Text(TSetup_Field field, const TQEV_State& state) {
    const TSetup_Allocation allocation = Setup_Allocation(state);
    switch (field) {
        case TSetup_Field::BACK_IMAGE:
        case TSetup_Field::BUTTON_TRANSPARENCY:
        case TSetup_Field::TRANSPARENCY_MODE:
            return "Takes effect at once: OK redraws the background and the keys.";
        case TSetup_Field::MAX_RMTCMD_NUM: {
            std::string text =
                "Takes effect at the next start, when the Command table is sized with it. Until then Command "
                "file loads and registrations take at most this many commands, but never more than the ";
            text += Grouped(allocation.Rows);
            text += " rows the table has.";
            return text;
        }
        case TSetup_Field::REPEAT:
            return "Takes effect at the next send.";
        case TSetup_Field::MAX_RMTCMD_BIT_LENGTH: {
            std::string text =
                "Takes effect at the next start, when the Sample buffer and each command's storage are sized "
                "with it. Until then a capture stores this many samples, but at most the ";
            text += Grouped(allocation.Samples);
            text +=
                " the Sample buffer holds; a Command file load keeps one byte per 8 samples of each command, "
                "but at most the ";
            text += Grouped(allocation.Row_Bytes);
            text += " bytes a row holds; a registered command holds at most ";
            text += Grouped(allocation.Row_Samples);
            text += " samples.";
            return text;
        }
        case TSetup_Field::MIN_LEADER_LENGTH:
        case TSetup_Field::DEV_LEADER_LENGTH:
            return "Takes effect at the next capture.";
        case TSetup_Field::RMT_DIR:
            return "Takes effect at once: the first folder of the file dialogs, and the folder of @LOAD names "
                   "without one.";
        case TSetup_Field::RMT_FILE:
            return "Takes effect at the next start, when this Command file is loaded. Until then it is not read.";
        case TSetup_Field::PORT:
            return "Takes effect the next time the Command server is started.";
        case TSetup_Field::ECHO:
            return "Takes effect at once, from the next character the Command server receives.";
        case TSetup_Field::LIRC_ENABLE:
            return "Takes effect at once: OK opens the LIRC listener on its PORT (127.0.0.1 only) for irsend and "
                   "other LIRC clients, or closes it and its connections.";
        case TSetup_Field::LIRC_PORT:
            return "Takes effect at once: OK reopens an enabled LIRC listener on the new port (its clients are "
                   "disconnected); a port that cannot be opened is reported and the listener stays closed.";
        case TSetup_Field::LISTEN_ENABLE:
            return "Takes effect at once: OK starts or stops listening for a remote's keys on a kernel IR device, "
                   "as Option > Listen does; a port that cannot listen is reported.";
    }
    return std::string();
}

}  // namespace qev
