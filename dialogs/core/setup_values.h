// What the setup dialog computes without a window: the values its fields
// show when it opens, the ranges of its spinners, the order in which OK
// stores the fields into the running program's Settings, and the file and
// folder choices of its Browse buttons.
//
// The dialog edits every setting but Base_Address (the port address dialog
// has it) and STARTUP (edited in the Settings file only). Nothing here writes
// the Settings file: the shutdown does; nor opens the LIRC listener: the
// main window makes it follow LIRC_ENABLE and LIRC_PORT after OK.
#ifndef QEV_DIALOGS_CORE_SETUP_VALUES_H
#define QEV_DIALOGS_CORE_SETUP_VALUES_H

#include "app/core/qev_state.h"
#include "app/settings/settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qev {

// The settings the dialog edits, in the order of its fields.
enum class TSetup_Field {
    BACK_IMAGE,
    BUTTON_TRANSPARENCY,
    TRANSPARENCY_MODE,
    MAX_RMTCMD_NUM,
    REPEAT,
    MAX_RMTCMD_BIT_LENGTH,
    MIN_LEADER_LENGTH,
    DEV_LEADER_LENGTH,
    RMT_DIR,
    RMT_FILE,
    PORT,
    ECHO,
    LIRC_ENABLE,
    LIRC_PORT,
    LISTEN_ENABLE,
};

// The range of a number field's spinner. The spinners hold 16-bit numbers;
// every range lies within them.
struct TSetup_Range {
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t Clamp(int32_t value) const { return value < Min ? Min : value > Max ? Max : value; }
    friend bool operator==(const TSetup_Range&, const TSetup_Range&) = default;
};

// The spinner range of a number field; nothing for the text fields
// (BACK_IMAGE, BUTTON_TRANSPARENCY, RMT_DIR, RMT_FILE) and the check boxes
// (LIRC_ENABLE, LISTEN_ENABLE).
std::optional<TSetup_Range> Setup_Range(TSetup_Field field);

// The items of the BUTTON_TRANSPARENCY box.
constexpr int Transparency_No_Item = 0;        // "NO"
constexpr int Transparency_Yes_Item = 1;       // "YES"
constexpr int Transparency_No_Selection = -1;  // text typed into the box

// The item shown for a BUTTON_TRANSPARENCY value: "NO" when the value in
// upper case is NO, "YES" for anything else, the empty value included.
int Transparency_Item(std::string_view value);
// The value stored for a selection: "NO" for item 0, "YES" for every other
// selection or none.
std::string Transparency_Value(int item);

// The dialog's fields as plain values: what it shows, and what OK stores.
// Left alone, each holds the Settings record's own default.
struct TSetup_Values {
    std::string BACK_IMAGE = Defaults().BACK_IMAGE;
    int BUTTON_TRANSPARENCY_Item = Transparency_Item(Defaults().BUTTON_TRANSPARENCY);  // or Transparency_No_Selection
    int32_t TRANSPARENCY_MODE = Defaults().TRANSPARENCY_MODE;
    int32_t MAX_RMTCMD_NUM = Defaults().MAX_RMTCMD_NUM;
    int32_t REPEAT = Defaults().REPEAT;
    int32_t MAX_RMTCMD_BIT_LENGTH = Defaults().MAX_RMTCMD_BIT_LENGTH;
    int32_t MIN_LEADER_LENGTH = Defaults().MIN_LEADER_LENGTH;
    int32_t DEV_LEADER_LENGTH = Defaults().DEV_LEADER_LENGTH;
    std::string RMT_DIR = Defaults().RMT_DIR;
    std::string RMT_FILE = Defaults().RMT_FILE;
    int32_t PORT = Defaults().PORT;
    int32_t ECHO = Defaults().ECHO;
    bool LIRC_ENABLE = Defaults().LIRC_ENABLE != 0;
    int32_t LIRC_PORT = Defaults().LIRC_PORT;
    bool LISTEN_ENABLE = Defaults().LISTEN_ENABLE != 0;
    friend bool operator==(const TSetup_Values&, const TSetup_Values&) = default;

private:
    static const TSettings& Defaults() {
        static const TSettings defaults;
        return defaults;
    }
};

// What the dialog shows when it opens: the Settings, each number brought to
// the nearest limit of its spinner's range (a PORT of 80 shows 1024), the
// check boxes ticked for any LIRC_ENABLE or LISTEN_ENABLE but 0.
TSetup_Values Setup_Values(const TSettings& settings);

// OK: stores the values into the Settings in this order: BACK_IMAGE,
// BUTTON_TRANSPARENCY, TRANSPARENCY_MODE; then the main window loads the
// background (its result is not looked at: a picture that cannot be read
// has been reported and the rest is stored all the same) and binds and
// paints the keys; then MAX_RMTCMD_NUM, REPEAT, MAX_RMTCMD_BIT_LENGTH,
// MIN_LEADER_LENGTH, DEV_LEADER_LENGTH, RMT_DIR, RMT_FILE, PORT, ECHO,
// LIRC_ENABLE (1 or 0), LIRC_PORT, LISTEN_ENABLE (1 or 0). No value is
// checked beyond the spinner ranges.
void Setup_OK(const TSetup_Values& values, TQEV_State& state);

// The Browse buttons. Each dialog starts in the stored RMT_DIR, not in what
// the folder field shows now; the chosen path, or nothing when the user
// cancelled.
//   Form_Browse: a bitmap for BACK_IMAGE (bitmap files first, then all).
//   RMT_File_Browe: a Command file for RMT_FILE (any file).
//   DIR_Browse: the folder for RMT_DIR.
std::optional<std::string> Setup_Form_Browse(TQEV_State& state);
std::optional<std::string> Setup_RMT_File_Browe(TQEV_State& state);
std::optional<std::string> Setup_DIR_Browse(TQEV_State& state);

inline constexpr const char* Back_Image_Filter = "BMPファイル(*.bmp)|*.bmp|All(*.*)|*.*";
inline constexpr const char* Folder_Browser_Title = "Select Folder";

}  // namespace qev

#endif
