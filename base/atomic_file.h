// Saving a file so that a failed save never destroys the previous one.
//
// A save may fail only where writing the file itself would fail: a target
// the user may not write (mode 0444, a read-only mount, a folder of that
// name) is refused before anything is touched, even though a rename could
// go around the protection. Otherwise the new contents go to a temporary
// file in the target's folder, which Commit() flushes to disk and renames
// over the target in one step, keeping the target's mode and owner.
//
// A symbolic link is followed: the file it points to is replaced and the
// link stays. Where a rename would change what the user sees (a folder that
// refuses new files while the file itself is writable, a file with several
// hard links, an owner the program cannot give the temporary file), the
// file is rewritten in place instead, and its old contents are put back
// when that write fails.
#ifndef QEV_BASE_ATOMIC_FILE_H
#define QEV_BASE_ATOMIC_FILE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace qev {

class TAtomic_File_Writer {
public:
    explicit TAtomic_File_Writer(const std::string& path);
    ~TAtomic_File_Writer();
    TAtomic_File_Writer(const TAtomic_File_Writer&) = delete;
    TAtomic_File_Writer& operator=(const TAtomic_File_Writer&) = delete;

    // false: the target may not be written; nothing has been touched.
    bool Is_Open() const { return open_; }
    // Buffered; false once anything failed.
    bool Write(std::string_view data);
    // true when the target now holds exactly what was written.
    bool Commit();
    // errno of the first failure (0 while none).
    int Error() const { return error_; }
    // The file that is written: the path with its symbolic links followed.
    const std::string& Target() const { return target_; }

private:
    bool Fail(int error);
    bool Flush_Buffer();
    bool Commit_In_Place();
    void Discard();

    std::string target_;
    std::string temp_;
    std::string buffer_;
    int fd_ = -1;
    bool open_ = false;
    bool in_place_ = false;
    bool failed_ = false;
    int error_ = 0;
};

// true when a save to `path` could go ahead: the file it names (links
// followed) may be written, or does not exist yet. Touches nothing.
bool Check_Writable(const std::string& path, int* error = nullptr);

// The whole file in one go; errno of the failure in *error when given.
bool Replace_File_Contents(const std::string& path, std::string_view data, int* error = nullptr);

}  // namespace qev

#endif
