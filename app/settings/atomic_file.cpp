#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace qev {

namespace {

constexpr std::size_t Buffer_Limit = 1 << 20;

// Writes through a symbolic link replace the file it points to, not the link.
std::string Resolve_Target(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(path.c_str(), resolved)) return resolved;
    return path;
}

bool Write_All(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

TAtomic_File_Writer::TAtomic_File_Writer(std::string path) : target_(Resolve_Target(path)) {
    temp_ = target_ + ".XXXXXX";
    fd_ = mkstemp(temp_.data());
    if (fd_ < 0) {
        temp_.clear();
        return;
    }
    struct stat st {};
    mode_t mode = 0644;
    if (stat(target_.c_str(), &st) == 0) mode = st.st_mode & 07777;
    fchmod(fd_, mode);
    buffer_.reserve(Buffer_Limit);
}

TAtomic_File_Writer::~TAtomic_File_Writer() { Discard(); }

bool TAtomic_File_Writer::Write(std::string_view data) {
    if (fd_ < 0 || failed_) return false;
    if (buffer_.size() + data.size() > Buffer_Limit) {
        if (!Flush_Buffer()) return false;
        if (data.size() > Buffer_Limit) {
            failed_ = !Write_All(fd_, data.data(), data.size());
            return !failed_;
        }
    }
    buffer_.append(data);
    return true;
}

bool TAtomic_File_Writer::Flush_Buffer() {
    if (!buffer_.empty()) {
        failed_ = failed_ || !Write_All(fd_, buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    return !failed_;
}

bool TAtomic_File_Writer::Commit() {
    if (fd_ < 0 || !Flush_Buffer() || fsync(fd_) != 0) {
        Discard();
        return false;
    }
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
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

bool Replace_File_Contents(const std::string& path, std::string_view data) {
    TAtomic_File_Writer writer(path);
    return writer.Write(data) && writer.Commit();
}

}  // namespace qev
