// The file of a listening Unix-domain stream socket, as lircd keeps one for
// LIRC's clients: where it lies, how it is made and how it goes. POSIX only
// (no Qt), so its rules are tested without an event loop.
//
// Where: the [LIRC] SOCKET setting. Empty: no socket. An absolute path is
// taken as it is; any other path lies in the user's runtime folder,
// $XDG_RUNTIME_DIR (/run/user/UID: the user's own, mode 0700, emptied at
// logout), so "lircd" is $XDG_RUNTIME_DIR/lircd. lircd's own place,
// /var/run/lirc/lircd, is root's: a program of the user cannot make it.
//
// Making it (Listen_Unix_Socket):
//   - nothing at the path: the socket is made there;
//   - a socket nobody listens on (a run that crashed left it; a connect()
//     to it is refused): it is removed and the socket made in its place;
//   - a socket another process listens on, a regular file, a folder, a
//     symbolic link (even to a socket) or anything else: left alone, and
//     the listener does not open, with the reason;
//   - a path longer than a socket address holds (107 bytes), or in a folder
//     that does not exist or cannot be written: refused with the system's
//     reason.
// The socket file is the owner's only (mode 0600): whoever connects may
// transmit every learned command, as the TCP listener on 127.0.0.1 allows
// any local user to. The mode is set before the socket listens, so no
// other user's connect() can come between.
//
// Removing it (Remove_Socket_File): only when the path still holds the very
// socket this listener made (same device and inode): a socket another run
// has since put there stays.
#ifndef QEV_NET_UNIX_SOCKET_FILE_H
#define QEV_NET_UNIX_SOCKET_FILE_H

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace qev {

// The longest path a socket address holds (sun_path less its NUL).
inline constexpr std::size_t Unix_Socket_Path_Limit = 107;
// The mode of the socket file.
inline constexpr mode_t Unix_Socket_Mode = 0600;

// The socket's path for a SOCKET setting: empty for an empty setting (no
// socket); the setting when absolute; else `runtime_folder` (the value of
// XDG_RUNTIME_DIR, may be null) '/' the setting. false, with the reason in
// *error, for a relative setting without an absolute runtime folder.
bool Unix_Socket_Path(std::string_view setting, const char* runtime_folder, std::string* path, std::string* error);

// Which file a listener made, to remove that one only.
struct TSocket_File_Identity {
    dev_t Device = 0;
    ino_t Inode = 0;
};

// Makes a listening, non-blocking, close-on-exec Unix-domain stream socket
// at `path` with `backlog` (see the header for a path that is taken).
// Returns its descriptor, or -1 with the reason in *error.
int Listen_Unix_Socket(const std::string& path, int backlog, TSocket_File_Identity* identity, std::string* error);

// Removes the socket file at `path` when it is still the one `identity`
// names.
void Remove_Socket_File(const std::string& path, const TSocket_File_Identity& identity);

}  // namespace qev

#endif
