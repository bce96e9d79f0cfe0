// The Settings record: twenty process-wide values kept in the Settings file
// (an INI file in the profile folder), read once at start-up and written once
// at shutdown. Field names are the INI keys; the keys of [LIRC] carry the
// section's name in front (LIRC_PORT), since [SERVER] has a PORT too.
#ifndef QEV_APP_SETTINGS_SETTINGS_H
#define QEV_APP_SETTINGS_SETTINGS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qev {

struct TSettings {
    // [FORM]
    std::string BACK_IMAGE;                  // background bitmap of the main window; empty = none
    std::string BUTTON_TRANSPARENCY = "NO";  // upper-cased when read; "YES" = see-through keys
    int32_t TRANSPARENCY_MODE = 1;           // 0 = live keys at half brightness, else three quarters
    // [COMMAND]
    int32_t MAX_RMTCMD_NUM = 256;  // rows of the Command table
    int32_t REPEAT = 1;            // transmissions per send
    // [WAVEFORM]
    int32_t MAX_RMTCMD_BIT_LENGTH = 1024;  // samples (1/8000 s each) per capture and buffer
    int32_t MIN_LEADER_LENGTH = 8;         // samples of infrared that confirm a leader
    int32_t DEV_LEADER_LENGTH = 2;         // tolerance (samples) of the capture's length search
    int32_t CARRIER = 0;  // Hz a kernel IR device modulates with; 0 = the command's protocol's (38 kHz when unknown)
    int32_t TOGGLE = 0;  // non-zero: each press of an RC5, RC5X or RC6 command flips its toggle bit, as its remote does
    // [LPT]
    int32_t Base_Address = 0x378;  // port base address; low 16 bits are used
    // [DIR]
    std::string RMT_DIR;   // first folder of the file dialogs
    std::string RMT_FILE;  // Command file loaded at start-up; empty = none
    // [SERVER]
    int32_t PORT = 9999;  // TCP port of the Command server
    int32_t STARTUP = 0;  // non-zero: server starts with the program
    int32_t ECHO = 1;     // non-zero: server echoes typed characters
    // [LIRC]
    int32_t LIRC_ENABLE = 0;   // ENABLE, non-zero: the LIRC listener is open while the program runs
    int32_t LIRC_PORT = 8765;  // PORT, TCP port of the LIRC listener (lircd's own port by default)
    // SOCKET, the LIRC listener's Unix-domain socket, as lircd's: empty = none; a relative
    // path lies in $XDG_RUNTIME_DIR ("lircd": $XDG_RUNTIME_DIR/lircd). Apart from ENABLE.
    std::string LIRC_SOCKET;
    // [LISTEN]
    int32_t LISTEN_ENABLE = 0;  // ENABLE, non-zero: the receiver listens for keys while the program is idle

    bool See_Through() const { return BUTTON_TRANSPARENCY == "YES"; }
    friend bool operator==(const TSettings&, const TSettings&) = default;
};

// Integer as stored in the Settings file: decimal with optional sign, or
// hexadecimal after "0x", "0X" or "$". Anything else (and empty) gives the default.
int32_t Parse_Ini_Integer(std::string_view text, int32_t default_value);

// Base_Address text: a literal "0x" followed by a hexadecimal number (the
// rules of scanf's "0x%X"); anything else gives 0x378.
int32_t Parse_Base_Address(std::string_view text);
std::string Format_Base_Address(int32_t base);  // "0x%03X"

// The profile folder: USERPROFILE when set and not empty, else HOME; none
// when neither is set.
std::optional<std::string> Profile_Folder();

// The executable the Settings file is named after: `invoked_as` (argv[0],
// or a bare name found along PATH) when it names the running executable, so
// a link Kitchen -> QEV_LPT uses Kitchen.INI; otherwise, or without it, the
// running executable itself (/proc/self/exe).
std::string Started_Executable_Path(const char* invoked_as);

// <profile>/<executable's file name with its extension replaced by ".INI">
std::string Settings_File_Path(const std::string& profile, const std::string& executable_path);

}  // namespace qev

#endif
