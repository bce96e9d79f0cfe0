// The Settings file as an INI file, read and written one key at a time, and
// kept as its owner wrote it.
//
// A file is lines: "[SECTION]" headers, "KEY=value" lines and anything else
// (comments, blank lines, notes), each with its own line end (CR LF, LF, or
// CR alone as older Macintosh editors wrote).
// Section and key names match without regard to case, with the blanks
// around them ignored, as are the blanks around a value. Reading takes the
// first section of a name and, within it, the first line of the key. Writing
// changes only that value, in place; a missing key is added after the last
// key line of its section, a missing section at the end of the file. Every
// other byte (comments, unknown keys, odd lines, blank lines, their order
// and their line ends) stays as it was.
//
// No library kept for the purpose does this: the common INI parsers load the
// file into a map and write the map back, merging duplicates and moving or
// dropping what they do not understand, so the editor is written here.
#ifndef QEV_APP_SETTINGS_INI_FILE_H
#define QEV_APP_SETTINGS_INI_FILE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qev {

// The text of one INI file, in memory.
class TIni_Text {
public:
    explicit TIni_Text(std::string text = {}) : text_(std::move(text)) {}

    const std::string& Text() const { return text_; }

    // The value of the first `key` line in the first `section`, without the
    // blanks around it; nothing when there is none.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Makes the value of `key` in `section` read back as `value` (cut at a
    // CR or LF, which an INI line cannot hold), changing nothing else. Lines
    // it adds end as the file's first line does.
    void Set_Value(std::string_view section, std::string_view key, std::string_view value);

private:
    struct TFound;
    TFound Find(std::string_view section, std::string_view key) const;
    std::string_view Line_End() const;

    std::string text_;
};

// One INI file on disk. Every read loads the file afresh and every write
// reaches the disk before it returns, so the file is always the truth. A
// write replaces the file through a temporary file (base/atomic_file.h), so
// a failed write never destroys it, and fails where writing the file itself
// would fail (a write-protected file, a read-only folder and file).
class TIni_File {
public:
    explicit TIni_File(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // A missing or unreadable file, or a missing key, gives the default; a
    // key present with an empty value gives the empty text.
    std::string Read_String(const char* section, const char* key, const std::string& default_value) const;
    int32_t Read_Integer(const char* section, const char* key, int32_t default_value) const;

    // false when the file could not be written (Last_Error says why); the
    // file is then as it was.
    bool Write_String(const char* section, const char* key, const std::string& value);
    bool Write_Integer(const char* section, const char* key, int32_t value);
    int Last_Error() const { return last_error_; }

private:
    std::string path_;
    int last_error_ = 0;
};

}  // namespace qev

#endif
