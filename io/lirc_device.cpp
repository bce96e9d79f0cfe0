#include "io/lirc_device.h"

#include <new>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>
#include <ctime>

namespace qev::io {
namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

class SystemLircDevice final : public LircDevice {
public:
    int open(const char* path) override { return ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC); }

    void close(int fd) override { ::close(fd); }

    int ioctl(int fd, unsigned long request, std::uint32_t* value) override { return ::ioctl(fd, request, value); }

    long read(int fd, std::uint32_t* values, std::size_t count) override {
        const ssize_t got = ::read(fd, values, count * sizeof *values);
        return got < 0 ? -1 : static_cast<long>(static_cast<std::size_t>(got) / sizeof *values);
    }

    long write(int fd, const std::uint32_t* values, std::size_t count) override {
        const ssize_t put = ::write(fd, values, count * sizeof *values);
        return put < 0 ? -1 : static_cast<long>(static_cast<std::size_t>(put) / sizeof *values);
    }

    // The device and the wake-up counter (when there is one).
    int poll(int fd, std::int64_t timeout_ns) override {
        if (timeout_ns < 0) timeout_ns = 0;
        pollfd entries[2] = {{fd, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        const timespec timeout{static_cast<time_t>(timeout_ns / kNsPerSecond),
                               static_cast<long>(timeout_ns % kNsPerSecond)};
        const int ready = ::ppoll(entries, wake_fd_ >= 0 ? 2 : 1, &timeout, nullptr);
        if (ready <= 0) return ready;
        if (entries[1].revents != 0) {
            std::uint64_t count = 0;
            while (::read(wake_fd_, &count, sizeof count) < 0 && errno == EINTR) {
            }
            return 0;
        }
        return entries[0].revents;
    }

    bool wake_poll() override {
        if (wake_fd_ < 0) return false;
        const std::uint64_t one = 1;
        ssize_t put;
        while ((put = ::write(wake_fd_, &one, sizeof one)) < 0 && errno == EINTR) {
        }
        // A full counter (EAGAIN) already wakes the poll.
        return put == sizeof one || errno == EAGAIN;
    }

    std::int64_t now_ns() override {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
    }

    void sleep_until(std::int64_t t_ns) override {
        if (t_ns < 0) return;
        const timespec until{static_cast<time_t>(t_ns / kNsPerSecond), static_cast<long>(t_ns % kNsPerSecond)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }

private:
    // Written by wake_poll, read away by the poll it wakes. Every backend
    // shares it; a wake-up that reaches another's poll only makes it look
    // again.
    int wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
};

}  // namespace

LircDevice& system_lirc_device() {
    // Never destroyed: the library's exit-time destructor may still close
    // through it. Built in the library's own storage rather than on the heap,
    // so unloading the library leaves nothing behind.
    alignas(SystemLircDevice) static unsigned char storage[sizeof(SystemLircDevice)];
    static SystemLircDevice& device = *new (storage) SystemLircDevice;
    return device;
}

}  // namespace qev::io
