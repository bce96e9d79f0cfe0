// How many clients a Unix-domain listener has: the kernel lists the listening
// socket and each connection it accepted under its path in /proc/net/unix,
// the accepted ones connected (state 03). Tests and benchmarks wait on it for
// a client such as irw to have connected before they send.
#ifndef QEV_HARNESS_UNIX_SOCKET_PEERS_H
#define QEV_HARNESS_UNIX_SOCKET_PEERS_H

#include <fstream>
#include <sstream>
#include <string>

namespace qev {

inline int Accepted_Connections(const std::string& path) {
    std::ifstream table("/proc/net/unix");
    std::string line;
    int count = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, references, protocol, flags, type, state, inode, name;
        if (fields >> slot >> references >> protocol >> flags >> type >> state >> inode >> name && name == path &&
            state == "03")
            ++count;
    }
    return count;
}

}  // namespace qev

#endif
