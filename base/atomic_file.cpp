#include "base/atomic_file.h"

#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

namespace qev {

namespace {

constexpr std::size_t Buffer_Limit = 1 << 20;
constexpr int Max_Link_Depth = 40;  // the kernel's own limit for a path

std::string Folder_Of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save writes: symbolic links followed to the end, also when the
// last one points at a file that does not exist yet (a save creates it).
bool Follow_Links(const std::string& path, std::string& target, int& error) {
    target = path;
    for (int depth = 0; depth < Max_Link_Depth; ++depth) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link - 1);
        if (n < 0) {
            error = errno;
            return false;
        }
        const std::string next(link, static_cast<std::size_t>(n));
        target = next.front() == '/' ? next : Folder_Of(target) + "/" + next;
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
    const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (probe < 0) return errno;
    ::close(probe);
    return 0;
}

// A new file beside `target`, named target.XXXXXX, created with mode 0666
// so the kernel applies the umask as it does for any new file (mkstemp
// would make it 0600). -1 with errno when the folder refuses.
int Create_Temporary(const std::string& target, std::string& temp) {
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target + ".";
        for (int i = 0; i < 6; ++i) temp += Letters[random() % (sizeof Letters - 1)];
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void Sync_Folder(const std::string& path) {
    const int fd = ::open(Folder_Of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

TAtomic_File_Writer::TAtomic_File_Writer(const std::string& path) {
    int error = 0;
    if (!Follow_Links(path, target_, error)) {
        Fail(error);
        return;
    }
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && (error = Writable_Error(target_, st)) != 0) {
        Fail(error);
        return;
    }
    fd_ = Create_Temporary(target_, temp_);
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
    if (!Flush_Buffer() || ::fsync(fd_) != 0) {
        Fail(errno);
        Discard();
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
        Discard();
        return false;
    }
    temp_.clear();
    Sync_Folder(target_);
    return true;
}

bool TAtomic_File_Writer::Commit_In_Place() {
    open_ = false;
    std::string old_contents;
    int error = 0;
    if (!Read_Regular_File(target_, old_contents, &error)) return Fail(error);
    const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Fail(errno);
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
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool Check_Writable(const std::string& path, int* error) {
    std::string target;
    int refused = 0;
    struct stat st {};
    if (Follow_Links(path, target, refused) && ::stat(target.c_str(), &st) == 0) refused = Writable_Error(target, st);
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
