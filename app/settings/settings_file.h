// Reading and writing the Settings record through its INI file, key by key,
// in the fixed order the program has always used.
#ifndef QEV_SETTINGS_FILE_H
#define QEV_SETTINGS_FILE_H

#include "ini_file.h"
#include "settings.h"

#include <functional>
#include <string>

namespace qev {

// Reads the fourteen keys in order. Base_Address is parsed and handed to
// on_base_address as soon as it has been read, before the keys that follow
// it. RMT_DIR defaults to the profile folder.
void Read_Settings(const TIni_File& file, TSettings& settings, const std::string& profile,
                   const std::function<void(int32_t)>& on_base_address);

// Writes the fourteen keys in order, section by section. Stops at the first
// key the file refuses and returns false; keys before it have been written.
bool Write_Settings(TIni_File& file, const TSettings& settings);

}  // namespace qev

#endif
