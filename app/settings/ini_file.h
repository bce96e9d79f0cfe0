// One INI file, accessed one key at a time.
//
// Every read loads the file afresh and every write reaches the disk before it
// returns, so the file on disk is always the truth. Section and key names match
// without regard to case; values are bytes, unchanged. A write goes to a
// temporary file beside the original which then replaces it, so a failed write
// never destroys the previous file.
#ifndef QEV_INI_FILE_H
#define QEV_INI_FILE_H

#include <cstdint>
#include <string>

namespace qev {

class TIni_File {
public:
    explicit TIni_File(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // A missing file or key gives the default; a key present with an empty
    // value gives the empty text.
    std::string Read_String(const char* section, const char* key, const std::string& default_value) const;
    int32_t Read_Integer(const char* section, const char* key, int32_t default_value) const;

    // false when the file could not be written; the old file is then intact.
    bool Write_String(const char* section, const char* key, const std::string& value);
    bool Write_Integer(const char* section, const char* key, int32_t value);

private:
    std::string path_;
};

}  // namespace qev

#endif
