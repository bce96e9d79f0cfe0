// Fuzzes the Settings file's INI editor from memory: any bytes as the file,
// every key of the program read, one of them (picked by the last byte)
// written back with the value read and with a new one. Writing back the value read must change no byte, and a
// new value must read back while every other key keeps its value.
// Also the integer and base-address parsers on the raw bytes.
#include "app/settings/ini_file.h"
#include "app/settings/settings.h"
#include "app/settings/settings_file.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::optional<std::string>> Values(const qev::TIni_Text& ini) {
    std::vector<std::optional<std::string>> values;
    for (const auto& key : qev::Settings_Keys) values.push_back(ini.Value(key.Section, key.Key));
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)qev::Parse_Ini_Integer(text, 7);
    (void)qev::Parse_Base_Address(text);

    if (size == 0) return 0;
    const auto before = Values(qev::TIni_Text(text));
    // One key per input, picked by its last byte, keeps every input cheap.
    const std::size_t k = static_cast<unsigned char>(text.back()) % qev::Settings_Keys.size();
    const auto& key = qev::Settings_Keys[k];
    // Writing back what was read changes nothing at all.
    qev::TIni_Text same(text);
    if (before[k]) same.Set_Value(key.Section, key.Key, *before[k]);
    if (same.Text() != text) std::abort();
    // A new value reads back, and no other key changes.
    qev::TIni_Text changed(text);
    const std::string value = "v" + std::to_string(k) + " x";
    changed.Set_Value(key.Section, key.Key, value);
    if (changed.Value(key.Section, key.Key) != value) std::abort();
    auto after = Values(changed);
    after[k] = before[k];
    if (after != before) std::abort();
    return 0;
}
