// A plain TCP client for the end-to-end tests: connects to a port on the
// loopback address, writes bytes and reads exactly as many as expected.
#ifndef QEV_TEST_LINE_CLIENT_H
#define QEV_TEST_LINE_CLIENT_H

#include "tests/support/free_port.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qev::test {

class TLine_Client {
public:
    TLine_Client() = default;
    ~TLine_Client();
    TLine_Client(const TLine_Client&) = delete;
    TLine_Client& operator=(const TLine_Client&) = delete;

    // Tries until `seconds` have passed (the program may still be starting).
    bool Connect(uint16_t port, double seconds = 20);
    bool Send(std::string_view bytes);
    // Exactly `count` bytes, or what came before `seconds` passed.
    std::string Receive(std::size_t count, double seconds = 10);
    // Until what arrived ends with `ending`, or `seconds` passed.
    std::string Receive_Until(std::string_view ending, double seconds = 10);
    // Whatever arrives within `seconds` (for checking that nothing does).
    std::string Receive_For(double seconds);

    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace qev::test

#endif
