#include "base/atomic_file.h"

#include "base/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <random>

namespace qev {

namespace {

constexpr std::size_t Buffer_Limit = 1 << 20;
constexpr int Max_Link_Depth = 40;  // the kernel's own limit for a path
constexpr std::size_t Temporary_Letters = 8;
constexpr std::string_view Letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::string Folder_Of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// While SIGXFSZ would end the program, it is ignored instead: a write past
// the file-size limit then fails with EFBIG. Checked at every save, so a
// process that set the default back (a child before exec) is covered too.
void Keep_Size_Limit_From_Ending_The_Program() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

// 0 when the kernel's rule for shared folders lets this process follow the
// link `link` (status `st`): outside a sticky, world-writable folder always;
// inside one only a link of this user's or of the folder's owner. EACCES,
// as the kernel says, for any other.
int Link_Refusal(const std::string& link, const struct stat& st) {
    struct stat folder {};
    if (::stat(Folder_Of(link).c_str(), &folder) != 0) return errno;
    const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    if (!shared || st.st_uid == ::geteuid() || st.st_uid == folder.st_uid) return 0;
    return EACCES;
}

// The file a save writes: symbolic links followed to the end, also when the
// last one points at a file that does not exist yet (a save creates it).
// A path that cannot be examined (a folder that may not be searched, a name
// too long, a loop of links) fails here with its errno.
bool Follow_Links(const std::string& path, std::string& target, int& error) {
    target = path;
    for (int depth = 0; depth <= Max_Link_Depth; ++depth) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0) {
            // Nothing of that name yet: the save creates it, and a missing
            // folder shows when it tries.
            if (errno == ENOENT) return true;
            error = errno;
            return false;
        }
        if (!S_ISLNK(st.st_mode)) return true;
        if (depth == Max_Link_Depth) break;
        if ((error = Link_Refusal(target, st)) != 0) return false;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link);
        if (n < 0 || static_cast<std::size_t>(n) >= sizeof link) {
            error = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        const std::string next(link, static_cast<std::size_t>(n));
        target = !next.empty() && next.front() == '/' ? next : Folder_Of(target) + "/" + next;
    }
    error = ELOOP;
    return false;
}

bool Write_All(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Whether the existing file `target` may be written, as the kernel decides
// (mode bits, ACLs, read-only mounts, immutable files): opening it without
// O_TRUNC leaves it untouched. 0 or the errno of the refusal.
int Writable_Error(const std::string& target, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    // O_NOFOLLOW: the links have been followed; one that appeared since is
    // not trusted.
    const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (probe < 0) return errno;
    ::close(probe);
    return 0;
}

// Removes the temporary file `name` in `folder` when a killed save left it:
// a regular file of this user's (never another user's in a shared folder)
// that no save holds locked.
void Remove_If_Stale(int folder, const char* name) {
    constexpr int Flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    int fd = ::openat(folder, name, O_RDONLY | Flags);
    if (fd < 0 && errno == EACCES) fd = ::openat(folder, name, O_WRONLY | Flags);  // a write-only file
    if (fd < 0) return;
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() && held.st_nlink == 1 &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino)
        ::unlinkat(folder, name, 0);
    ::close(fd);
}

void Remove_Stale_Temporaries(const std::string& folder, std::string_view own) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (Is_Temporary_File_Name(name) && name != own) Remove_If_Stale(::dirfd(dir), entry->d_name);
    }
    ::closedir(dir);
}

// A new temporary file in `folder`, created with mode 0666 so the kernel
// applies the umask as it does for any new file (mkstemp would make it
// 0600), and locked for as long as it is open. -1 with errno when the folder
// refuses.
int Create_Temporary(const std::string& folder, std::string& temp) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(Temporary_File_Prefix);
        for (std::size_t i = 0; i < Temporary_Letters; ++i) name += Letters[random() % Letters.size()];
        temp = folder + "/" + name;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        // Between creating and locking, another save may have taken the file
        // for a stale one: it is gone (or going), and another name is tried.
        // A file system without locks has no stale files removed either.
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        struct stat st {};
        if ((locked || errno != EWOULDBLOCK) && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            Remove_Stale_Temporaries(folder, name);
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

void Sync_Folder(const std::string& path) {
    const int fd = ::open(Folder_Of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool Is_Temporary_File_Name(std::string_view name) {
    if (name.size() != Temporary_File_Prefix.size() + Temporary_Letters ||
        name.substr(0, Temporary_File_Prefix.size()) != Temporary_File_Prefix)
        return false;
    return name.find_first_not_of(Letters, Temporary_File_Prefix.size()) == std::string_view::npos;
}

TAtomic_File_Writer::TAtomic_File_Writer(const std::string& path) {
    Keep_Size_Limit_From_Ending_The_Program();
    int error = 0;
    if (!Follow_Links(path, target_, error)) {
        Fail(error);
        return;
    }
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        Fail(errno);
        return;
    }
    if (exists && (error = Writable_Error(target_, st)) != 0) {
        Fail(error);
        return;
    }
    fd_ = Create_Temporary(Folder_Of(target_), temp_);
    if (fd_ < 0) {
        const int refused = errno;
        temp_.clear();
        // The folder takes no new file, but the file itself is writable.
        if (exists && (refused == EACCES || refused == EPERM)) {
            in_place_ = open_ = true;
            return;
        }
        Fail(refused);
        return;
    }
    if (exists) {
        // Another owner, or other names for the same file: a rename would
        // change what they see, so the file is rewritten where it is.
        const bool same_owner = ::fchown(fd_, st.st_uid, st.st_gid) == 0;
        ::fchmod(fd_, st.st_mode & 07777);
        if (!same_owner || st.st_nlink > 1) {
            Discard();
            in_place_ = open_ = true;
            return;
        }
    }
    buffer_.reserve(Buffer_Limit);
    open_ = true;
}

TAtomic_File_Writer::~TAtomic_File_Writer() { Discard(); }

bool TAtomic_File_Writer::Fail(int error) {
    if (!failed_) error_ = error;
    failed_ = true;
    return false;
}

bool TAtomic_File_Writer::Write(std::string_view data) {
    if (!open_ || failed_) return false;
    // In place, nothing may touch the file before Commit: keep it all.
    if (!in_place_ && buffer_.size() + data.size() > Buffer_Limit) {
        if (!Flush_Buffer()) return false;
        if (data.size() > Buffer_Limit) return Write_All(fd_, data.data(), data.size()) || Fail(errno);
    }
    buffer_.append(data);
    return true;
}

bool TAtomic_File_Writer::Flush_Buffer() {
    if (!buffer_.empty()) {
        if (!Write_All(fd_, buffer_.data(), buffer_.size())) return Fail(errno);
        buffer_.clear();
    }
    return true;
}

bool TAtomic_File_Writer::Commit() {
    if (!open_ || failed_) {
        Discard();
        return false;
    }
    if (in_place_) return Commit_In_Place();
    if (!Flush_Buffer() || ::fsync(fd_) != 0 || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
        Discard();
        return false;
    }
    // Closed only now, so the lock keeps other saves off the temporary file
    // until it has its final name; fsync has put the data on the disk.
    temp_.clear();
    ::close(fd_);
    fd_ = -1;
    Sync_Folder(target_);
    return true;
}

bool TAtomic_File_Writer::Commit_In_Place() {
    open_ = false;
    // O_NOFOLLOW: the links have been followed; one that appeared since is
    // not trusted.
    const int fd = ::open(target_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return Fail(errno);
    std::string old_contents;
    char chunk[65536];
    long n;
    while ((n = Read_Some(fd, chunk, sizeof chunk)) > 0) old_contents.append(chunk, static_cast<std::size_t>(n));
    if (n < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        Fail(errno);
        ::close(fd);
        return false;
    }
    const auto size = static_cast<off_t>(buffer_.size());
    bool ok = Write_All(fd, buffer_.data(), buffer_.size()) && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
    if (!ok) {
        Fail(errno);
        // Put the old contents back: they fitted before, so they fit again.
        if (::lseek(fd, 0, SEEK_SET) == 0 && Write_All(fd, old_contents.data(), old_contents.size()))
            (void)!::ftruncate(fd, static_cast<off_t>(old_contents.size()));
        ::fsync(fd);
    }
    ok = ::close(fd) == 0 && ok;
    return ok || Fail(errno);
}

void TAtomic_File_Writer::Discard() {
    // Unlinked before it is closed: while the lock holds, no other save
    // takes the file for a stale one.
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool Check_Writable(const std::string& path, int* error) {
    std::string target;
    int refused = 0;
    struct stat st {};
    if (Follow_Links(path, target, refused)) {
        if (::stat(target.c_str(), &st) == 0)
            refused = Writable_Error(target, st);
        else if (errno != ENOENT)
            refused = errno;
    }
    if (error) *error = refused;
    return refused == 0;
}

bool Replace_File_Contents(const std::string& path, std::string_view data, int* error) {
    TAtomic_File_Writer writer(path);
    const bool ok = writer.Write(data) && writer.Commit();
    if (error) *error = writer.Error();
    return ok;
}

}  // namespace qev
