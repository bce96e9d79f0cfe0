// What went wrong when a device file could not be used, and what would help.
// Shared by the backends that open a device (ppdev, the kernel IR device).
#ifndef QEV_IO_DEVICE_ACCESS_H
#define QEV_IO_DEVICE_ACCESS_H

#include <string>

namespace qev::io {

// Why a device could not be used. `reason` names the device and what went
// wrong in a few words ("/dev/parport0: Permission denied"); `detail` says
// what would help, or what the driver answered ("" when there is nothing to
// add); `device_missing` is set when the device file does not exist.
struct DeviceFailure {
    bool device_missing = false;
    std::string reason;
    std::string detail;
};

// "<reason> (<detail>)", or the reason alone when there is no detail.
std::string with_detail(const DeviceFailure& failure);

// What a user can do about a device that refused to open with EACCES. The
// device file's group is the one to join when it may read and write the
// device; `no_group_advice` is said when no group may (a device open to
// nobody but root needs a udev rule first). "" when the group may use it and
// the process has it: something else refuses (an ACL, a security module),
// and the system's words are all there is to say.
std::string access_advice(const char* device, const char* no_group_advice);

}  // namespace qev::io

#endif
