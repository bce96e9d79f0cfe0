#include "net/unix_socket_file.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qev {

namespace {

static_assert(sizeof(sockaddr_un::sun_path) == Unix_Socket_Path_Limit + 1);

std::string System_Error(int error_number) { return std::strerror(error_number); }

sockaddr_un Address_Of(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

// What a connect() to the socket file at `path` finds: 0 when a process
// accepts (or would: its backlog is full), ECONNREFUSED when nobody listens,
// else the errno.
int Probe(const std::string& path) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) return errno;
    const sockaddr_un address = Address_Of(path);
    const int result = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
    ::close(probe);
    return result == EAGAIN || result == EINPROGRESS ? 0 : result;
}

// Clears the way for a new socket at `path`: nothing there, or a stale
// socket removed. false, with the reason, for anything else.
bool Clear_Stale(const std::string& path, std::string* error) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) return true;
        *error = path + ": " + System_Error(errno);
        return false;
    }
    if (!S_ISSOCK(status.st_mode)) {
        *error = path + " exists and is not a socket; it is left alone";
        return false;
    }
    const int probe = Probe(path);
    if (probe == 0) {
        *error = "another program listens on " + path;
        return false;
    }
    if (probe != ECONNREFUSED) {
        *error = path + ": " + System_Error(probe);
        return false;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        *error = "the stale socket " + path + " cannot be removed: " + System_Error(errno);
        return false;
    }
    return true;
}

}  // namespace

bool Unix_Socket_Path(std::string_view setting, const char* runtime_folder, std::string* path, std::string* error) {
    if (setting.empty() || setting.front() == '/') {
        path->assign(setting);
        return true;
    }
    // A runtime folder that is not absolute is to be ignored, as if unset.
    if (!runtime_folder || runtime_folder[0] != '/') {
        if (error) *error = "XDG_RUNTIME_DIR is not set: give the socket's path from the root (/...)";
        return false;
    }
    std::string folder(runtime_folder);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    *path = (folder == "/" ? "" : folder) + "/" + std::string(setting);
    return true;
}

int Listen_Unix_Socket(const std::string& path, int backlog, TSocket_File_Identity* identity, std::string* error) {
    std::string reason;
    const auto fail = [&](std::string why, int descriptor) {
        if (descriptor >= 0) ::close(descriptor);
        if (error) *error = std::move(why);
        return -1;
    };
    if (path.empty()) return fail("no socket path", -1);
    if (path.size() > Unix_Socket_Path_Limit || path.find('\0') != std::string::npos)
        return fail(path + ": a socket's path holds at most " + std::to_string(Unix_Socket_Path_Limit) + " bytes", -1);
    if (!Clear_Stale(path, &reason)) return fail(reason, -1);

    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0) return fail(System_Error(errno), -1);
    const sockaddr_un address = Address_Of(path);
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // EADDRINUSE: another run made its socket there since the look above.
        const int bind_error = errno;
        return fail(
            bind_error == EADDRINUSE ? "another program listens on " + path : path + ": " + System_Error(bind_error),
            descriptor);
    }
    // The file made is looked at (not followed) and its mode set before the
    // socket listens: until then every connect() to it is refused.
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode))
        return fail(path + " was replaced while it was being made", descriptor);
    const TSocket_File_Identity made{.Device = status.st_dev, .Inode = status.st_ino};
    if (::fchmodat(AT_FDCWD, path.c_str(), Unix_Socket_Mode, 0) != 0) {
        const int mode_error = errno;
        Remove_Socket_File(path, made);
        return fail(path + ": " + System_Error(mode_error), descriptor);
    }
    if (::listen(descriptor, backlog) != 0) {
        const int listen_error = errno;
        Remove_Socket_File(path, made);
        return fail(path + ": " + System_Error(listen_error), descriptor);
    }
    if (identity) *identity = made;
    return descriptor;
}

void Remove_Socket_File(const std::string& path, const TSocket_File_Identity& identity) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) return;
    if (status.st_dev != identity.Device || status.st_ino != identity.Inode) return;
    ::unlink(path.c_str());
}

}  // namespace qev
