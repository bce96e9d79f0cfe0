#include "dialogs/core/setup_values.h"

namespace qev {

std::optional<TSetup_Range> Setup_Range(TSetup_Field field) {
    switch (field) {
        case TSetup_Field::TRANSPARENCY_MODE:
        case TSetup_Field::ECHO:
            return TSetup_Range{0, 1};
        case TSetup_Field::MAX_RMTCMD_NUM:
        case TSetup_Field::REPEAT:
        case TSetup_Field::MAX_RMTCMD_BIT_LENGTH:
        case TSetup_Field::MIN_LEADER_LENGTH:
            return TSetup_Range{1, 32767};
        case TSetup_Field::DEV_LEADER_LENGTH:
            return TSetup_Range{0, 32767};
        case TSetup_Field::PORT:
        case TSetup_Field::LIRC_PORT:
            return TSetup_Range{1024, 32767};
        case TSetup_Field::BACK_IMAGE:
        case TSetup_Field::BUTTON_TRANSPARENCY:
        case TSetup_Field::RMT_DIR:
        case TSetup_Field::RMT_FILE:
        case TSetup_Field::LIRC_ENABLE:
        case TSetup_Field::LISTEN_ENABLE:
            break;
    }
    return std::nullopt;
}

int Transparency_Item(std::string_view value) {
    // Upper case of the ASCII letters only: no other character can make "NO".
    const bool no = value.size() == 2 && (value[0] == 'N' || value[0] == 'n') && (value[1] == 'O' || value[1] == 'o');
    return no ? Transparency_No_Item : Transparency_Yes_Item;
}

std::string Transparency_Value(int item) { return item == Transparency_No_Item ? "NO" : "YES"; }

namespace {

int32_t Clamped(TSetup_Field field, int32_t value) { return Setup_Range(field)->Clamp(value); }

}  // namespace

TSetup_Values Setup_Values(const TSettings& settings) {
    TSetup_Values values;
    values.BACK_IMAGE = settings.BACK_IMAGE;
    values.BUTTON_TRANSPARENCY_Item = Transparency_Item(settings.BUTTON_TRANSPARENCY);
    values.TRANSPARENCY_MODE = Clamped(TSetup_Field::TRANSPARENCY_MODE, settings.TRANSPARENCY_MODE);
    values.MAX_RMTCMD_NUM = Clamped(TSetup_Field::MAX_RMTCMD_NUM, settings.MAX_RMTCMD_NUM);
    values.REPEAT = Clamped(TSetup_Field::REPEAT, settings.REPEAT);
    values.MAX_RMTCMD_BIT_LENGTH = Clamped(TSetup_Field::MAX_RMTCMD_BIT_LENGTH, settings.MAX_RMTCMD_BIT_LENGTH);
    values.MIN_LEADER_LENGTH = Clamped(TSetup_Field::MIN_LEADER_LENGTH, settings.MIN_LEADER_LENGTH);
    values.DEV_LEADER_LENGTH = Clamped(TSetup_Field::DEV_LEADER_LENGTH, settings.DEV_LEADER_LENGTH);
    values.RMT_DIR = settings.RMT_DIR;
    values.RMT_FILE = settings.RMT_FILE;
    values.PORT = Clamped(TSetup_Field::PORT, settings.PORT);
    values.ECHO = Clamped(TSetup_Field::ECHO, settings.ECHO);
    values.LIRC_ENABLE = settings.LIRC_ENABLE != 0;
    values.LIRC_PORT = Clamped(TSetup_Field::LIRC_PORT, settings.LIRC_PORT);
    values.LISTEN_ENABLE = settings.LISTEN_ENABLE != 0;
    return values;
}

void Setup_OK(const TSetup_Values& values, TQEV_State& state) {
    TSettings& settings = state.Settings;
    settings.BACK_IMAGE = values.BACK_IMAGE;
    settings.BUTTON_TRANSPARENCY = Transparency_Value(values.BUTTON_TRANSPARENCY_Item);
    settings.TRANSPARENCY_MODE = values.TRANSPARENCY_MODE;
    // The window's face changes at once; a picture that cannot be read has
    // been reported by the window, which keeps its previous background.
    state.View.Apply_Background();
    state.View.Map_Keys();
    settings.MAX_RMTCMD_NUM = values.MAX_RMTCMD_NUM;
    settings.REPEAT = values.REPEAT;
    settings.MAX_RMTCMD_BIT_LENGTH = values.MAX_RMTCMD_BIT_LENGTH;
    settings.MIN_LEADER_LENGTH = values.MIN_LEADER_LENGTH;
    settings.DEV_LEADER_LENGTH = values.DEV_LEADER_LENGTH;
    settings.RMT_DIR = values.RMT_DIR;
    settings.RMT_FILE = values.RMT_FILE;
    settings.PORT = values.PORT;
    settings.ECHO = values.ECHO;
    settings.LIRC_ENABLE = values.LIRC_ENABLE ? 1 : 0;
    settings.LIRC_PORT = values.LIRC_PORT;
    settings.LISTEN_ENABLE = values.LISTEN_ENABLE ? 1 : 0;
}

namespace {

std::optional<std::string> Choose_Open_File(TQEV_State& state, const std::string& filter) {
    TFile_Request request;
    request.Initial_Folder = state.Settings.RMT_DIR;
    request.Filter = filter;
    return state.Feedback.Choose_File(request);
}

}  // namespace

std::optional<std::string> Setup_Form_Browse(TQEV_State& state) { return Choose_Open_File(state, Back_Image_Filter); }

std::optional<std::string> Setup_RMT_File_Browe(TQEV_State& state) { return Choose_Open_File(state, std::string()); }

std::optional<std::string> Setup_DIR_Browse(TQEV_State& state) {
    return state.Feedback.Choose_Folder(Folder_Browser_Title, state.Settings.RMT_DIR);
}

}  // namespace qev
