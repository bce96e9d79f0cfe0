// A LIRC client program (irw) started on a socket, its standard output read
// on a thread of this process, each line stamped as it arrives: what the
// benchmarks that time a key's way to irw share.
#ifndef QEV_HARNESS_IRW_OUTPUT_H
#define QEV_HARNESS_IRW_OUTPUT_H

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qev::harness {

class TIrw_Output {
public:
    using Clock = std::chrono::steady_clock;
    struct TLine {
        Clock::time_point Arrival;
        std::string Text;
    };

    // Starts `program socket`. `on_lines`, when given, is called on the
    // reading thread after each read that completed lines (to wake a thread
    // waiting in another way than Wait_Beyond).
    TIrw_Output(const std::string& program, const std::string& socket, std::function<void()> on_lines = {});
    // Ends the program (SIGTERM) and the reading thread.
    ~TIrw_Output();
    TIrw_Output(const TIrw_Output&) = delete;
    TIrw_Output& operator=(const TIrw_Output&) = delete;

    // False when the program could not be started.
    bool Started() const { return child_ > 0; }
    // The lines so far.
    std::size_t Count() const;
    TLine Line(std::size_t index) const;
    // Line `count` (counted from 0), once more than `count` have arrived,
    // waiting at most `limit`; nothing when none came in time.
    std::optional<TLine> Wait_Beyond(std::size_t count, std::chrono::milliseconds limit);

private:
    void Read_Lines();

    pid_t child_ = -1;
    int output_ = -1;
    std::function<void()> on_lines_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<TLine> lines_;
    std::thread reader_;
};

}  // namespace qev::harness

#endif
