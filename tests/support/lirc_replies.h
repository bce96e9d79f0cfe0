// lircd's replies as a client reads them, written out here on their own so
// the tests compare the listener's replies with the protocol's form rather
// than with the listener's own formatting.
#ifndef QEV_TESTS_SUPPORT_LIRC_REPLIES_H
#define QEV_TESTS_SUPPORT_LIRC_REPLIES_H

#include <string>
#include <vector>

namespace qev::test::lirc {

// A success, with its DATA lines when there are any.
inline std::string Ok(const std::string& request, const std::vector<std::string>& data = {}) {
    std::string reply = "BEGIN\n" + request + "\nSUCCESS\n";
    if (!data.empty()) {
        reply += "DATA\n" + std::to_string(data.size()) + "\n";
        for (const std::string& line : data) reply += line + "\n";
    }
    return reply + "END\n";
}

// An error, its message the one DATA line.
inline std::string Err(const std::string& request, const std::string& message) {
    return "BEGIN\n" + request + "\nERROR\nDATA\n1\n" + message + "\nEND\n";
}

}  // namespace qev::test::lirc

#endif
