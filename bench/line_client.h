// A blocking TCP client for line servers, for the server benchmark: connect
// with a time limit, send, and read until a reply's last bytes have come.
// POSIX sockets only.
#ifndef QEV_BENCH_LINE_CLIENT_H
#define QEV_BENCH_LINE_CLIENT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace qev::bench {

enum class TClient_Kind {
    Plain,  // the system's defaults: Nagle's algorithm and delayed acknowledgements
    Tuned,  // TCP_NODELAY, and TCP_QUICKACK again after every read
};

enum class TRead_Result { Got, Closed, Timeout };

class TLine_Connection {
public:
    TLine_Connection() = default;
    TLine_Connection(TLine_Connection&& other) noexcept;
    TLine_Connection& operator=(TLine_Connection&& other) noexcept;
    TLine_Connection(const TLine_Connection&) = delete;
    TLine_Connection& operator=(const TLine_Connection&) = delete;
    ~TLine_Connection();

    // Connects to 127.0.0.1:port within timeout_ms. false on failure.
    bool Open(uint16_t port, TClient_Kind kind, int timeout_ms);
    bool Is_Open() const { return fd_ >= 0; }
    void Close();

    // One write of all the bytes (as one send() call when the kernel takes them).
    bool Send(std::string_view bytes);
    // Reads until `end` has arrived, and drops everything up to and
    // including it. Bytes after it stay for the next read.
    TRead_Result Read_Until(std::string_view end, int timeout_ms);
    int Fd() const { return fd_; }
    // Takes what is waiting without blocking, for many connections polled at
    // once: Got once `end` is in (and drops it, as Read_Until does), Closed at
    // the end of the stream, Timeout when it has not come yet.
    TRead_Result Take_Waiting(std::string_view end);

private:
    bool Found(std::string_view end);

    int fd_ = -1;
    TClient_Kind kind_ = TClient_Kind::Plain;
    std::string buffer_;
};

// Raises this process's soft limit of open files to its hard limit.
void Raise_Open_File_Limit();

}  // namespace qev::bench

#endif
