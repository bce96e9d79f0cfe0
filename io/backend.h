// The backends behind the port functions. One is chosen when the library is
// loaded and stays for the life of the process (or until dlclose).
//
// The ppdev and sim backends decode a port by its offset in a 4-aligned block,
// as a parallel-port card on a 4-aligned base does: port & 3 == 0 data
// register, 1 status register, 2 control register, 3 nothing (reads 0xFF,
// writes ignored). The direct backend hands the port number to the hardware.
#ifndef QEV_IO_BACKEND_H
#define QEV_IO_BACKEND_H

#include "io/device_access.h"

#include <string>

namespace qev::io {

class LircBackend;
class SimLircDevice;

enum class BackendKind : unsigned char { None, Sim, Ppdev, Direct, Lirc, SimLirc };

// The backend chosen at load time.
BackendKind current_backend() noexcept;

// Byte access through the current backend; the wider helpers build on these.
unsigned char port_in(unsigned short port) noexcept;
void port_out(unsigned short port, unsigned char value) noexcept;

enum PortOffset : unsigned { kData = 0, kStatus = 1, kControl = 2, kUnused = 3 };
constexpr unsigned offset_of(unsigned short port) { return port & 3u; }

// ---- ppdev: /dev/parportN ---------------------------------------------------
// Opens and claims the device; on failure fills *failure.
bool ppdev_start(const char* device, DeviceFailure* failure);
void ppdev_stop() noexcept;
unsigned char ppdev_in(unsigned short port) noexcept;
void ppdev_out(unsigned short port, unsigned char value) noexcept;

// ---- direct: ioperm + inb/outb (x86 only) ----------------------------------
bool direct_start(std::string* why);
void direct_stop() noexcept;
unsigned char direct_in(unsigned short port) noexcept;
void direct_out(unsigned short port, unsigned char value) noexcept;

// ---- sim: the simulated port (sim_port.cpp) ---------------------------------
bool sim_start(std::string* why);
void sim_stop() noexcept;
unsigned char sim_in(unsigned short port) noexcept;
void sim_out(unsigned short port, unsigned char value) noexcept;

// ---- lirc and simlirc: whole signals (lirc_backend.h, simlirc.h) ------------
// Their registers do nothing: every read gives 0 (an idle receiver line),
// writes change nothing.
// The signal port of lirc and simlirc; null on the register backends.
LircBackend* signal_backend() noexcept;
// The simulated IR device; null unless the backend is simlirc.
SimLircDevice* simlirc_device() noexcept;
// Takes the simulated IR device's features again (after its settings
// changed); false when the backend could not restart (it is then "none").
bool simlirc_restart();

}  // namespace qev::io

#endif
