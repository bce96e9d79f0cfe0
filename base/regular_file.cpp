#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qev {

namespace {

void Set_Error(int* error, int value) {
    if (error) *error = value;
}

// Has the kernel make the whole pages of [data, data + size) ready for
// writing in one call, rather than one fault per page as they are first
// written: a quarter of a millisecond less for a megabyte. Nothing happens
// where the kernel cannot (before Linux 5.14).
void Prepare_Pages(char* data, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    constexpr std::size_t Page = 4096;
    const std::size_t skip = (Page - reinterpret_cast<std::uintptr_t>(data) % Page) % Page;
    const std::size_t length = size > skip ? (size - skip) / Page * Page : 0;
    if (length > 0) ::madvise(data + skip, length, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace

int Open_Regular_File(const std::string& path, int* error) {
    // O_NONBLOCK: opening a pipe must not wait for a writer; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        Set_Error(error, errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int reason = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        Set_Error(error, reason);
        return -1;
    }
    // Regular files ignore O_NONBLOCK, but clear it so reads stay plain.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

long Read_Some(int fd, char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

namespace {

// Open_Regular_File's descriptor when the file holds no more than `limit`
// bytes (its status in `st`); -1 with EFBIG when it holds more.
int Open_Within_Limit(const std::string& path, int* error, std::size_t limit, struct stat& st) {
    const int fd = Open_Regular_File(path, error);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > limit) {
        ::close(fd);
        Set_Error(error, EFBIG);
        return -1;
    }
    return fd;
}

}  // namespace

bool Read_Regular_File(const std::string& path, std::string& contents, int* error, std::size_t limit) {
    contents.clear();
    struct stat st {};
    const int fd = Open_Within_Limit(path, error, limit, st);
    if (fd < 0) return false;
    // The size it has now, read straight into place; then whatever it
    // grew by while being read.
    const auto expected = static_cast<std::size_t>(st.st_size);
    contents.reserve(expected);
    if (expected >= (std::size_t{64} << 10)) Prepare_Pages(contents.data(), expected);
    contents.resize(expected);
    std::size_t got = 0;
    long n = 1;
    while (got < expected && (n = Read_Some(fd, contents.data() + got, expected - got)) > 0) {
        got += static_cast<std::size_t>(n);
    }
    contents.resize(got);
    char chunk[65536];
    while (n > 0 && (n = Read_Some(fd, chunk, sizeof chunk)) > 0) {
        if (static_cast<std::size_t>(n) > limit - contents.size()) {  // it grew while being read
            n = -1;
            errno = EFBIG;
            break;
        }
        contents.append(chunk, static_cast<std::size_t>(n));
    }
    if (n < 0) {
        Set_Error(error, errno);
        contents.clear();
    }
    ::close(fd);
    return n == 0;
}

bool Read_Regular_File_Lines(const std::string& path, const std::function<bool(std::string_view)>& take, int* error,
                             std::size_t limit) {
    struct stat st {};
    const int fd = Open_Within_Limit(path, error, limit, st);
    if (fd < 0) return false;
    // Read into the end of the buffer; the complete lines in it are handed
    // over, and the start of a line is moved to the front to be completed
    // by the next read. A line longer than the buffer makes it grow.
    std::vector<char> buffer(std::size_t{64} << 10);
    std::size_t kept = 0;   // bytes of an unfinished line at the front
    std::size_t total = 0;  // bytes read
    bool more = true;       // take still wants lines
    long n = 1;
    while (more && (n = Read_Some(fd, buffer.data() + kept, buffer.size() - kept)) > 0) {
        total += static_cast<std::size_t>(n);
        if (total > limit) {  // it grew while being read
            n = -1;
            errno = EFBIG;
            break;
        }
        const char* const end = buffer.data() + kept + n;
        const char* line = buffer.data();
        // Only the new bytes can hold the next '\n'.
        const char* search = buffer.data() + kept;
        while (more) {
            const auto* newline =
                static_cast<const char*>(std::memchr(search, '\n', static_cast<std::size_t>(end - search)));
            if (newline == nullptr) break;
            more = take(std::string_view(line, static_cast<std::size_t>(newline - line)));
            line = search = newline + 1;
        }
        kept = static_cast<std::size_t>(end - line);
        std::memmove(buffer.data(), line, kept);
        if (kept == buffer.size()) buffer.resize(2 * buffer.size());
    }
    if (n < 0) Set_Error(error, errno);
    if (n == 0 && more && kept > 0) take(std::string_view(buffer.data(), kept));
    ::close(fd);
    return n >= 0;
}

std::string Size_Text(uint64_t bytes) {
    constexpr uint64_t Mega = uint64_t{1} << 20, Giga = uint64_t{1} << 30;
    char text[32];
    if (bytes < Mega)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < Giga)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / Mega);
    else
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / Giga);
    return text;
}

}  // namespace qev
