// Replacing a file without ever destroying the previous one.
//
// The new contents go to a temporary file in the target's folder; Commit()
// flushes it to disk and renames it over the target in one step. Until then
// the old file is untouched, and a writer destroyed without a successful
// Commit() removes its temporary file.
#ifndef QEV_ATOMIC_FILE_H
#define QEV_ATOMIC_FILE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace qev {

class TAtomic_File_Writer {
public:
    explicit TAtomic_File_Writer(std::string path);
    ~TAtomic_File_Writer();
    TAtomic_File_Writer(const TAtomic_File_Writer&) = delete;
    TAtomic_File_Writer& operator=(const TAtomic_File_Writer&) = delete;

    bool Is_Open() const { return fd_ >= 0; }  // false: the temporary file could not be created
    bool Write(std::string_view data);         // buffered; false once any write failed
    bool Commit();                             // true when the target now holds everything written

private:
    bool Flush_Buffer();
    void Discard();

    std::string target_;
    std::string temp_;
    std::string buffer_;
    int fd_ = -1;
    bool failed_ = false;
};

// The whole file in one go.
bool Replace_File_Contents(const std::string& path, std::string_view data);

}  // namespace qev

#endif
