#include "settings_file.h"

#include <algorithm>
#include <cctype>

namespace qev {

namespace {

std::string Upper_Case(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

void Read_Settings(const TIni_File& file, TSettings& s, const std::string& profile,
                   const std::function<void(int32_t)>& on_base_address) {
    const TSettings d;  // defaults
    s.BACK_IMAGE = file.Read_String("FORM", "BACK_IMAGE", d.BACK_IMAGE);
    s.BUTTON_TRANSPARENCY = Upper_Case(file.Read_String("FORM", "BUTTON_TRANSPARENCY", d.BUTTON_TRANSPARENCY));
    s.TRANSPARENCY_MODE = file.Read_Integer("FORM", "TRANSPARENCY_MODE", d.TRANSPARENCY_MODE);
    s.MAX_RMTCMD_NUM = file.Read_Integer("COMMAND", "MAX_RMTCMD_NUM", d.MAX_RMTCMD_NUM);
    s.REPEAT = file.Read_Integer("COMMAND", "REPEAT", d.REPEAT);
    s.MAX_RMTCMD_BIT_LENGTH = file.Read_Integer("WAVEFORM", "MAX_RMTCMD_BIT_LENGTH", d.MAX_RMTCMD_BIT_LENGTH);
    s.MIN_LEADER_LENGTH = file.Read_Integer("WAVEFORM", "MIN_LEADER_LENGTH", d.MIN_LEADER_LENGTH);
    s.DEV_LEADER_LENGTH = file.Read_Integer("WAVEFORM", "DEV_LEADER_LENGTH", d.DEV_LEADER_LENGTH);
    s.Base_Address = Parse_Base_Address(file.Read_String("LPT", "Base_Address", Format_Base_Address(d.Base_Address)));
    if (on_base_address) on_base_address(s.Base_Address);
    s.RMT_DIR = file.Read_String("DIR", "RMT_DIR", profile);
    s.RMT_FILE = file.Read_String("DIR", "RMT_FILE", d.RMT_FILE);
    s.PORT = file.Read_Integer("SERVER", "PORT", d.PORT);
    s.STARTUP = file.Read_Integer("SERVER", "STARTUP", d.STARTUP);
    s.ECHO = file.Read_Integer("SERVER", "ECHO", d.ECHO);
}

bool Write_Settings(TIni_File& file, const TSettings& s) {
    return file.Write_String("FORM", "BACK_IMAGE", s.BACK_IMAGE) &&
           file.Write_String("FORM", "BUTTON_TRANSPARENCY", s.BUTTON_TRANSPARENCY) &&
           file.Write_Integer("FORM", "TRANSPARENCY_MODE", s.TRANSPARENCY_MODE) &&
           file.Write_Integer("COMMAND", "MAX_RMTCMD_NUM", s.MAX_RMTCMD_NUM) &&
           file.Write_Integer("COMMAND", "REPEAT", s.REPEAT) &&
           file.Write_Integer("WAVEFORM", "MAX_RMTCMD_BIT_LENGTH", s.MAX_RMTCMD_BIT_LENGTH) &&
           file.Write_Integer("WAVEFORM", "MIN_LEADER_LENGTH", s.MIN_LEADER_LENGTH) &&
           file.Write_Integer("WAVEFORM", "DEV_LEADER_LENGTH", s.DEV_LEADER_LENGTH) &&
           file.Write_String("LPT", "Base_Address", Format_Base_Address(s.Base_Address)) &&
           file.Write_String("DIR", "RMT_DIR", s.RMT_DIR) && file.Write_String("DIR", "RMT_FILE", s.RMT_FILE) &&
           file.Write_Integer("SERVER", "PORT", s.PORT) && file.Write_Integer("SERVER", "STARTUP", s.STARTUP) &&
           file.Write_Integer("SERVER", "ECHO", s.ECHO);
}

}  // namespace qev
