#include "app/settings/settings_file.h"

#include "base/text_case.h"

#include <algorithm>

namespace qev {

namespace {

using TKind = TSettings_Key::TKind;

std::string Upper_Case(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), Upper_Ascii);
    return text;
}

}  // namespace

const std::array<TSettings_Key, 20> Settings_Keys = {{
    {"FORM", "BACK_IMAGE", TKind::Text, &TSettings::BACK_IMAGE},
    {"FORM", "BUTTON_TRANSPARENCY", TKind::Upper_Text, &TSettings::BUTTON_TRANSPARENCY},
    {"FORM", "TRANSPARENCY_MODE", TKind::Integer, nullptr, &TSettings::TRANSPARENCY_MODE},
    {"COMMAND", "MAX_RMTCMD_NUM", TKind::Integer, nullptr, &TSettings::MAX_RMTCMD_NUM},
    {"COMMAND", "REPEAT", TKind::Integer, nullptr, &TSettings::REPEAT},
    {"WAVEFORM", "MAX_RMTCMD_BIT_LENGTH", TKind::Integer, nullptr, &TSettings::MAX_RMTCMD_BIT_LENGTH},
    {"WAVEFORM", "MIN_LEADER_LENGTH", TKind::Integer, nullptr, &TSettings::MIN_LEADER_LENGTH},
    {"WAVEFORM", "DEV_LEADER_LENGTH", TKind::Integer, nullptr, &TSettings::DEV_LEADER_LENGTH},
    {"WAVEFORM", "CARRIER", TKind::Integer, nullptr, &TSettings::CARRIER},
    {"WAVEFORM", "TOGGLE", TKind::Integer, nullptr, &TSettings::TOGGLE},
    {"LPT", "Base_Address", TKind::Base_Address, nullptr, &TSettings::Base_Address},
    {"DIR", "RMT_DIR", TKind::Folder, &TSettings::RMT_DIR},
    {"DIR", "RMT_FILE", TKind::Text, &TSettings::RMT_FILE},
    {"SERVER", "PORT", TKind::Integer, nullptr, &TSettings::PORT},
    {"SERVER", "STARTUP", TKind::Integer, nullptr, &TSettings::STARTUP},
    {"SERVER", "ECHO", TKind::Integer, nullptr, &TSettings::ECHO},
    {"LIRC", "ENABLE", TKind::Integer, nullptr, &TSettings::LIRC_ENABLE},
    {"LIRC", "PORT", TKind::Integer, nullptr, &TSettings::LIRC_PORT},
    {"LIRC", "SOCKET", TKind::Text, &TSettings::LIRC_SOCKET},
    {"LISTEN", "ENABLE", TKind::Integer, nullptr, &TSettings::LISTEN_ENABLE},
}};

void Read_Settings(const TIni_File& file, TSettings& s, const std::string& profile,
                   const std::function<void(int32_t)>& on_base_address) {
    const TSettings defaults;
    for (const TSettings_Key& k : Settings_Keys) {
        switch (k.Kind) {
            case TKind::Text:
                s.*k.Text = file.Read_String(k.Section, k.Key, defaults.*k.Text);
                break;
            case TKind::Upper_Text:
                s.*k.Text = Upper_Case(file.Read_String(k.Section, k.Key, defaults.*k.Text));
                break;
            case TKind::Folder:
                s.*k.Text = file.Read_String(k.Section, k.Key, profile);
                break;
            case TKind::Integer:
                s.*k.Number = file.Read_Integer(k.Section, k.Key, defaults.*k.Number);
                break;
            case TKind::Base_Address:
                s.*k.Number =
                    Parse_Base_Address(file.Read_String(k.Section, k.Key, Format_Base_Address(defaults.*k.Number)));
                if (on_base_address) on_base_address(s.*k.Number);
                break;
        }
    }
}

bool Write_Settings(TIni_File& file, const TSettings& s) {
    for (const TSettings_Key& k : Settings_Keys) {
        const bool written = k.Kind == TKind::Integer ? file.Write_Integer(k.Section, k.Key, s.*k.Number)
                             : k.Kind == TKind::Base_Address
                                 ? file.Write_String(k.Section, k.Key, Format_Base_Address(s.*k.Number))
                                 : file.Write_String(k.Section, k.Key, s.*k.Text);
        if (!written) return false;
    }
    return true;
}

}  // namespace qev
