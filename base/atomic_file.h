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
// link stays. Links are followed only where the kernel's own rule for
// shared folders (fs.protected_symlinks) would follow them, whatever that
// setting is on this machine: in a sticky, world-writable folder such as
// /tmp, a link is followed only when it belongs to this user or to the
// folder's owner. Any other link there may have been planted by another
// user to make this program overwrite one of its files; the save is
// refused with EACCES and nothing is touched.
//
// Where a rename would change what the user sees (a folder that refuses new
// files while the file itself is writable, a file with several hard links,
// an owner the program cannot give the temporary file), the file is
// rewritten in place instead, and its old contents are put back when that
// write fails.
//
// Temporary files are named ".qev-save-" and eight letters or digits: short,
// so they fit beside a target of any legal name, and recognisably this
// program's. A save holds an flock on its temporary file until it ends; a
// save that was killed leaves an unlocked one behind, and the next save in
// that folder removes every such file of this user's that no save holds.
//
// A file-size limit (RLIMIT_FSIZE) would end the program with SIGXFSZ in the
// middle of a save. While that signal has its default action, a writer
// switches it to "ignore" for the whole process (once, and for good), so the
// write fails with EFBIG and the save fails like any other. A handler
// installed by someone else is left alone.
#ifndef QEV_BASE_ATOMIC_FILE_H
#define QEV_BASE_ATOMIC_FILE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace qev {

// The name every temporary file of a save begins with.
constexpr std::string_view Temporary_File_Prefix = ".qev-save-";

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
// followed as a save follows them) may be written, or does not exist yet.
// Touches nothing.
bool Check_Writable(const std::string& path, int* error = nullptr);

// The whole file in one go; errno of the failure in *error when given.
bool Replace_File_Contents(const std::string& path, std::string_view data, int* error = nullptr);

// Whether `name` (a name within a folder) is that of a save's temporary file.
bool Is_Temporary_File_Name(std::string_view name);

}  // namespace qev

#endif
