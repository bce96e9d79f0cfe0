// The calls the kernel IR backend makes on a LIRC device, behind one small
// interface: the system's (open, ioctl, read, write, ppoll on /dev/lircN and
// CLOCK_MONOTONIC), the simulated IR device of IO_BACKEND=simlirc, and the
// tests' scripted device.
//
// Values are the kernel's 32-bit words: durations in microseconds, and in
// LIRC_MODE_MODE2 a type in the top byte (LIRC_MODE2_PULSE, _SPACE, _TIMEOUT,
// _OVERFLOW, _FREQUENCY) over a 24-bit value. Every call answers as the
// system call would: -1 with errno set on failure.
#ifndef QEV_IO_LIRC_DEVICE_H
#define QEV_IO_LIRC_DEVICE_H

#include <cstddef>
#include <cstdint>

namespace qev::io {

class LircDevice {
public:
    virtual ~LircDevice() = default;

    // Opens the device for reading and writing, not blocking in read(), not
    // inherited by programs the process starts. A descriptor, or -1.
    virtual int open(const char* path) = 0;
    virtual void close(int fd) = 0;

    // One LIRC_* ioctl; every one of them takes a pointer to a 32-bit value.
    virtual int ioctl(int fd, unsigned long request, std::uint32_t* value) = 0;

    // Up to `count` values; -1 with EAGAIN when none is waiting.
    virtual long read(int fd, std::uint32_t* values, std::size_t count) = 0;

    // Sends `count` durations (LIRC_MODE_PULSE), returning once they are out:
    // the count written, or -1.
    virtual long write(int fd, const std::uint32_t* values, std::size_t count) = 0;

    // Waits at most timeout_ns for something to read: the poll events
    // (POLLIN, POLLHUP, POLLERR), 0 when the time ran out or wake_poll was
    // called, or -1.
    virtual int poll(int fd, std::int64_t timeout_ns) = 0;

    // Makes a poll under way in another thread return 0 at once; one that
    // begins later may return 0 early once. False when the device cannot
    // (a poll then waits its time out).
    virtual bool wake_poll() { return false; }

    // CLOCK_MONOTONIC in nanoseconds, and a sleep until such a time.
    virtual std::int64_t now_ns() = 0;
    virtual void sleep_until(std::int64_t t_ns) = 0;

    // What one write() takes at most: the kernel's LIRCBUF_SIZE values, of
    // IR_MAX_DURATION (500 ms) in all.
    virtual std::size_t max_write_values() const { return 1024; }
    virtual std::uint64_t max_write_us() const { return 500'000; }

    // Told when a receive has emptied what came before it and begins to wait
    // for its signal, and when it is over. The simulated device starts its
    // remote control then; a kernel device does nothing.
    virtual void receive_begins() {}
    virtual void receive_ends() {}
};

// The system's device: the real system calls.
LircDevice& system_lirc_device();

}  // namespace qev::io

#endif
