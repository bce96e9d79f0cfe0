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
//
// When the device cannot be used, ppdev_start says why in words a user can
// act on: which group to join (read from the device file's owner group and
// the user database), which module to load, which driver may hold the port.
#include "io/backend.h"
#include "io/device_access.h"

#include <fcntl.h>
#include <linux/major.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace qev::io {
namespace {

int g_fd = -1;
int g_reverse = 0;  // last PPDATADIR argument: 0 forward (output), 1 reverse
bool g_direction_set = false;

constexpr unsigned char kDirectionBit = 0x20;

constexpr const char* kNoGroupAdvice =
    "no group you could join may read and write it; the udev rule 60-qev-lpt-parport.rules opens it to group lp";

std::string open_advice(const char* device, int err) {
    switch (err) {
        case EACCES:
            return access_advice(device, kNoGroupAdvice);
        case ENXIO:
        case ENODEV:
            // A character device without a driver behind its number.
            return "is the ppdev module loaded? sudo modprobe ppdev";
        case EBUSY:
            return "another program or driver holds it";
        default:
            return {};
    }
}

// PPCLAIM registers the process with the parallel-port layer and claims the
// port, waiting while a sharing driver such as lp prints. It fails at once
// when the device file is no ppdev device, when there is no port behind its
// number, or when a driver holds the port for itself.
void describe_claim_failure(const char* device, int err, DeviceFailure* failure) {
    const std::string words = std::string("PPCLAIM: ") + std::strerror(err);
    switch (err) {
        case ENOTTY:
        case EINVAL:
            failure->reason = std::string(device) + ": not a ppdev device";
            failure->detail = words;
            return;
        case ENXIO:
        case ENODEV:
            failure->reason = std::string(device) + ": no port to claim";
            failure->detail =
                words + "; no parallel port behind it, or a driver holds it exclusively (dmesg tells which)";
            return;
        case EBUSY:
        case EAGAIN:
            failure->reason = std::string(device) + ": in use by another driver";
            failure->detail = words;
            return;
        default:
            failure->reason = std::string(device) + ": cannot claim the port";
            failure->detail = words;
            return;
    }
}

// The parallel-port layer names the device that has the port in
// /proc/sys/dev/parport/parportN/devices/active ("none" when it is free).
// Claiming a port that another device has waits until it lets go, which for
// a printing lp or a second program holding the port may be never; so the
// holder is read first. "" when the port is free or the file cannot be read.
std::string port_holder(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || major(st.st_rdev) != PP_MAJOR) return {};
    const std::string path = "/proc/sys/dev/parport/parport" + std::to_string(minor(st.st_rdev)) + "/devices/active";
    const int proc = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (proc < 0) return {};
    char text[64];
    const ssize_t got = ::read(proc, text, sizeof text - 1);
    ::close(proc);
    if (got <= 0) return {};
    std::string name(text, static_cast<std::size_t>(got));
    while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
    return name == "none" ? std::string() : name;
}

void describe_holder(const char* device, const std::string& holder, DeviceFailure* failure) {
    failure->reason = std::string(device) + ": in use by " + holder;
    if (holder == "lp") {
        failure->detail = "the printer driver is printing; try again when it is done, or unload it with sudo rmmod lp";
    } else if (holder.rfind("ppdev", 0) == 0) {
        failure->detail = "another program has claimed the port; is one already running?";
    } else {
        failure->detail = "another driver has the port";
    }
}

}  // namespace

bool ppdev_start(const char* device, DeviceFailure* failure) {
    *failure = DeviceFailure{};
    // O_CLOEXEC: a program started from ours must not inherit the claimed port.
    const int fd = ::open(device, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        failure->device_missing = (err == ENOENT || err == ENOTDIR);
        failure->reason = std::string(device) + ": " + std::strerror(err);
        failure->detail = open_advice(device, err);
        return false;
    }
    const std::string holder = port_holder(fd);
    if (!holder.empty()) {
        describe_holder(device, holder, failure);
        ::close(fd);
        return false;
    }
    if (::ioctl(fd, PPCLAIM) != 0) {
        const int err = errno;
        describe_claim_failure(device, err, failure);
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
