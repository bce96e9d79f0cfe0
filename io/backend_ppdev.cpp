// The ppdev backend: the port as /dev/parportN through the Linux ppdev driver.
//
// Each port access is one ioctl (about 1.2 us). The port number only selects
// the register (port & 3); which card is used is decided by the device file.
//   data     PPWDATA / PPRDATA
//   status   PPRSTATUS (read-only: writes are ignored)
//   control  PPRCONTROL / PPWCONTROL for the four control lines. The driver
//            does not pass the direction bit 0x20 through PPWCONTROL nor
//            report it through PPRCONTROL, so it is set with PPDATADIR and
//            read back from the last direction set (forward until then).
//   offset 3 reads 0xFF, writes ignored
// A failing ioctl reads as 0xFF and loses the write; the ports are polled in
// timed loops, so nothing is printed there.
#include "io/backend.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace qev::io {
namespace {

int g_fd = -1;
int g_reverse = 0;  // last PPDATADIR argument: 0 forward (output), 1 reverse
bool g_direction_set = false;

constexpr unsigned char kDirectionBit = 0x20;

}  // namespace

bool ppdev_start(const char* device, std::string* why, bool* device_missing) {
    *device_missing = false;
    // O_CLOEXEC: a program started from ours must not inherit the claimed port.
    const int fd = ::open(device, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        *device_missing = (err == ENOENT);
        *why = std::string(device) + ": " + std::strerror(err);
        return false;
    }
    if (::ioctl(fd, PPCLAIM) != 0) {
        const int err = errno;
        *why = std::string(device) + ": cannot claim the port (PPCLAIM): " + std::strerror(err);
        ::close(fd);
        return false;
    }
    g_fd = fd;
    g_reverse = 0;
    g_direction_set = false;
    return true;
}

void ppdev_stop() noexcept {
    if (g_fd < 0) return;
    ::ioctl(g_fd, PPRELEASE);
    ::close(g_fd);
    g_fd = -1;
}

unsigned char ppdev_in(unsigned short port) noexcept {
    unsigned char value = 0xFF;
    switch (offset_of(port)) {
        case kData:
            if (::ioctl(g_fd, PPRDATA, &value) != 0) value = 0xFF;
            break;
        case kStatus:
            if (::ioctl(g_fd, PPRSTATUS, &value) != 0) value = 0xFF;
            break;
        case kControl:
            if (::ioctl(g_fd, PPRCONTROL, &value) != 0) return 0xFF;
            value = static_cast<unsigned char>((value & ~kDirectionBit) | (g_reverse != 0 ? kDirectionBit : 0));
            break;
        default:
            break;
    }
    return value;
}

void ppdev_out(unsigned short port, unsigned char value) noexcept {
    switch (offset_of(port)) {
        case kData:
            ::ioctl(g_fd, PPWDATA, &value);
            break;
        case kControl: {
            const int reverse = (value & kDirectionBit) != 0 ? 1 : 0;
            if (!g_direction_set || reverse != g_reverse) {
                if (::ioctl(g_fd, PPDATADIR, &reverse) == 0) {
                    g_reverse = reverse;
                    g_direction_set = true;
                }
            }
            unsigned char lines = static_cast<unsigned char>(value & ~kDirectionBit);
            ::ioctl(g_fd, PPWCONTROL, &lines);
            break;
        }
        default:
            break;  // status is read-only; offset 3 decodes to nothing
    }
}

}  // namespace qev::io
