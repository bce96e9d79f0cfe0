// A TCP client on the IPv4 loopback address, POSIX sockets only, for the
// tests and benchmarks that talk to the program's listeners from outside
// Qt's event loop: the end-to-end tests, the socket tests of the listeners
// on other threads, and the server benchmark. Every wait has a deadline,
// so a server that stops answering fails the caller instead of hanging it.
#ifndef QEV_HARNESS_LOOPBACK_CLIENT_H
#define QEV_HARNESS_LOOPBACK_CLIENT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qev::harness {

struct TSocket_Options {
    // TCP_NODELAY, and TCP_QUICKACK again after every read of the buffered
    // reads: small writes and their acknowledgements go at once instead of
    // waiting for Nagle's algorithm and delayed acknowledgements.
    bool No_Delay = false;
    int Send_Buffer = 0;     // bytes (SO_SNDBUF); 0 keeps the system's
    int Receive_Buffer = 0;  // bytes (SO_RCVBUF); 0 keeps the system's
};

// A blocking connection to 127.0.0.1:port made within timeout_ms, or -1.
int Connect_Loopback(uint16_t port, int timeout_ms, const TSocket_Options& options = {});
// Sends all of `bytes`; false when the connection fails first.
bool Send_All(int fd, std::string_view bytes);
// Reads until `count` bytes have arrived; less when the connection ends or
// nothing arrives for `idle_ms` (a long transfer may take longer as a whole).
// Reads no byte beyond `count`.
std::string Receive_Count(int fd, std::size_t count, int idle_ms);
// Closes with a reset instead of an orderly end.
void Close_With_Reset(int fd);
// Raises this process's soft limit of open files to its hard limit.
void Raise_Open_File_Limit();

enum class TRead_Result { Got, Closed, Timeout };

class TLoopback_Client {
public:
    TLoopback_Client() = default;
    TLoopback_Client(TLoopback_Client&& other) noexcept;
    TLoopback_Client& operator=(TLoopback_Client&& other) noexcept;
    TLoopback_Client(const TLoopback_Client&) = delete;
    TLoopback_Client& operator=(const TLoopback_Client&) = delete;
    ~TLoopback_Client();

    // One attempt, within timeout_ms. false on failure.
    bool Open(uint16_t port, int timeout_ms, const TSocket_Options& options = {});
    // Tries again until `seconds` have passed (the program may still be starting).
    bool Connect(uint16_t port, double seconds = 20);
    bool Is_Open() const { return fd_ >= 0; }
    void Close();
    int Fd() const { return fd_; }

    // All of the bytes, in one send() call when the kernel takes them.
    bool Send(std::string_view bytes);

    // Replies as they come, read straight from the socket:
    // exactly `count` bytes, or what came before `seconds` passed;
    std::string Receive(std::size_t count, double seconds = 10);
    // until what arrived ends with `ending`, or `seconds` passed;
    std::string Receive_Until(std::string_view ending, double seconds = 10);
    // whatever arrives within `seconds` (for checking that nothing does).
    std::string Receive_For(double seconds);

    // Buffered reads, for many replies in a stream: reads until `end` has
    // arrived and drops everything up to and including it; bytes after it
    // stay for the next read.
    TRead_Result Read_Until(std::string_view end, int timeout_ms);
    // The same without blocking, for many connections polled at once: Got
    // once `end` is in, Closed at the end of the stream, Timeout when it
    // has not come yet.
    TRead_Result Take_Waiting(std::string_view end);

private:
    bool Found(std::string_view end);

    int fd_ = -1;
    bool no_delay_ = false;
    std::string buffer_;  // what the buffered reads took beyond their `end`
};

}  // namespace qev::harness

#endif
