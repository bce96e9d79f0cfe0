#include "ini_file.h"

#include "atomic_file.h"
#include "settings.h"

#include <cerrno>
#include <cstdio>

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace qev {

namespace {

enum class TLoad_Result { Loaded, Missing, Unreadable };

// A case-insensitive INI document, without spaces around '='.
struct TIni_Document {
    CSimpleIniA ini{false, false, false};
    TIni_Document() { ini.SetSpaces(false); }
};

TLoad_Result Load(const std::string& path, TIni_Document& doc) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return errno == ENOENT ? TLoad_Result::Missing : TLoad_Result::Unreadable;
    std::string data;
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.append(chunk, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return TLoad_Result::Unreadable;
    return doc.ini.LoadData(data) < 0 ? TLoad_Result::Unreadable : TLoad_Result::Loaded;
}

}  // namespace

std::string TIni_File::Read_String(const char* section, const char* key, const std::string& default_value) const {
    TIni_Document doc;
    if (Load(path_, doc) != TLoad_Result::Loaded) return default_value;
    const char* value = doc.ini.GetValue(section, key, nullptr);
    return value ? std::string(value) : default_value;
}

int32_t TIni_File::Read_Integer(const char* section, const char* key, int32_t default_value) const {
    TIni_Document doc;
    if (Load(path_, doc) != TLoad_Result::Loaded) return default_value;
    const char* value = doc.ini.GetValue(section, key, nullptr);
    return value ? Parse_Ini_Integer(value, default_value) : default_value;
}

bool TIni_File::Write_String(const char* section, const char* key, const std::string& value) {
    TIni_Document doc;
    // A file that exists but cannot be read is not overwritten: its other
    // entries would be lost.
    if (Load(path_, doc) == TLoad_Result::Unreadable) return false;
    if (doc.ini.SetValue(section, key, value.c_str()) < 0) return false;
    std::string text;
    if (doc.ini.Save(text) < 0) return false;
    return Replace_File_Contents(path_, text);
}

bool TIni_File::Write_Integer(const char* section, const char* key, int32_t value) {
    return Write_String(section, key, std::to_string(value));
}

}  // namespace qev
