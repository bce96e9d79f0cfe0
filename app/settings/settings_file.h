// Reading and writing the Settings record through its INI file, key by key,
// in the fixed order the program has always used. The keys are listed once,
// in Settings_Keys; reading, writing and the defaults all follow it.
#ifndef QEV_APP_SETTINGS_SETTINGS_FILE_H
#define QEV_APP_SETTINGS_SETTINGS_FILE_H

#include "app/settings/ini_file.h"
#include "app/settings/settings.h"

#include <array>
#include <functional>
#include <string>

namespace qev {

struct TSettings_Key {
    enum class TKind {
        Text,          // stored as it is
        Upper_Text,    // upper-cased when read
        Integer,       // read as decimal or hexadecimal, written in decimal
        Base_Address,  // read as "0x%X", written as "0x%03X"
        Folder,        // a text whose default is the profile folder
    };
    const char* Section;
    const char* Key;
    TKind Kind;
    std::string TSettings::*Text = nullptr;  // Text, Upper_Text and Folder
    int32_t TSettings::*Number = nullptr;    // Integer and Base_Address
};

// The twenty keys in the order they are read and written. Defaults are
// those of a default-constructed TSettings.
extern const std::array<TSettings_Key, 20> Settings_Keys;

// Reads the twenty keys in order. Base_Address is parsed and handed to
// on_base_address as soon as it has been read, before the keys that follow
// it. RMT_DIR defaults to the profile folder.
void Read_Settings(const TIni_File& file, TSettings& settings, const std::string& profile,
                   const std::function<void(int32_t)>& on_base_address);

// Writes the twenty keys in order, section by section. Stops at the first
// key the file refuses and returns false; keys before it have been written.
bool Write_Settings(TIni_File& file, const TSettings& settings);

}  // namespace qev

#endif
