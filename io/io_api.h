// The port library's exported interface.
//
// libio.so is loaded at run time by the program (dlopen by bare name) and its
// functions are looked up by name; nothing links against it at build time
// except its own tests. Every function has C linkage.
//
// Ports are 16-bit I/O addresses. A parallel port occupies three of them:
//   base     data register    (written: LED on data line 0)
//   base + 1 status register  (read: bit 0x10 is the IR receiver line, set = infrared)
//   base + 2 control register (bit 0x20 is the data-direction bit; 0 = output)
//
// The library picks a backend when it is loaded (see README, "Port library"):
//   sim      a simulated port inside the process (default without a device)
//   ppdev    /dev/parportN through the Linux ppdev driver
//   direct   ioperm + inb/outb (root, x86 only; only when IO_BACKEND=direct)
//   lirc     a kernel IR device, /dev/lircN (IO_LIRC_DEVICE): whole signals
//            (see "Whole signals" below); its registers read 0 (an idle
//            receiver line) and take writes without effect
//   simlirc  a simulated kernel IR device inside the process (only when
//            IO_BACKEND=simlirc); registers as on lirc
// Left to choose, it takes ppdev when the parallel port device (IO_DEVICE,
// default /dev/parport0) opens and can be claimed; otherwise lirc when the
// kernel IR device (IO_LIRC_DEVICE, default /dev/lirc0) opens and sends or
// receives pulses; otherwise the simulated port. A device that exists but
// cannot be used (no permission, held by another driver, not that kind of
// device) is named in one line on stderr each,
// "libio: /dev/parport0: Permission denied (...): using the simulated port".
//
// The port functions never allocate, lock or sleep; PortIn and PortOut cost
// well under a microsecond on the sim backend (about 30 ns, most of it one
// clock_gettime) and about 1.2 us on ppdev (one ioctl). When a forced backend
// cannot start (IoBackendName() is "none") reads give 0xFF and writes are
// ignored. Wider accesses touch consecutive ports, wrapping from 0xFFFF to 0.
#ifndef QEV_IO_IO_API_H
#define QEV_IO_IO_API_H

#ifdef __cplusplus
extern "C" {
#endif

// ---- The thirteen port functions -------------------------------------------

void PortOut(unsigned short port, unsigned char value);
void PortWordOut(unsigned short port, unsigned short value);  // low byte to port, high byte to port + 1
void PortDWordOut(unsigned short port, unsigned int value);   // bytes to port .. port + 3, low first
unsigned char PortIn(unsigned short port);
unsigned short PortWordIn(unsigned short port);  // port is the low byte
unsigned int PortDWordIn(unsigned short port);
void SetPortBit(unsigned short port, unsigned char bit);  // bit: 0..7; larger bits are ignored
void ClrPortBit(unsigned short port, unsigned char bit);
void NotPortBit(unsigned short port, unsigned char bit);
int GetPortBit(unsigned short port, unsigned char bit);  // 0 or 1 (0 for bits above 7)
void RightPortShift(unsigned short port, int in_bit);    // value >> 1, in_bit (non-zero = 1) enters bit 7
void LeftPortShift(unsigned short port, int in_bit);     // value << 1, in_bit (non-zero = 1) enters bit 0
int IsDriverInstalled(void);                             // 1 when the chosen backend works

// ---- The port in use -------------------------------------------------------
// Fixed when the library is loaded; the strings stay valid until it is unloaded.

// "sim", "ppdev", "direct", "lirc", "simlirc", or "none" when a forced backend
// could not start.
const char* IoBackendName(void);

// Where the port is, in words for people: "simulated port", "/dev/parport0
// (ppdev)" (the device in use), "direct I/O", "/dev/lirc0 (kernel IR
// device)", "simulated IR device", "no port (IO_BACKEND=ppdev could not
// start)" or "no port (IO_BACKEND=x is not one of sim, ppdev, direct, lirc,
// simlirc)"; and when the automatic choice fell back to the simulated port
// from devices that exist but cannot be used: "simulated port (/dev/parport0:
// Permission denied)", "simulated port (/dev/lirc0: Permission denied)",
// both reasons with "; " between them when both devices failed.
const char* IoPortDescription(void);

// Why the automatic choice passed over a device that exists, the device and
// what went wrong: "/dev/parport0: Permission denied", "/dev/parport0: in use
// by lp", "/dev/parport0: not a ppdev device", "/dev/lirc0: not a LIRC
// device"; "; " between two. "" when it passed over none: the first device
// in use, no device file at all, or IO_BACKEND set. The line the library
// writes on stderr at load adds what would help.
const char* IoFallbackReason(void);

// ---- Introspection and control of the simulated port ------------------------
// Used by tests and benchmarks; the program itself never calls these.
// All times are CLOCK_MONOTONIC in nanoseconds, the program's own counter.
// IoSimReset and the remote's controls (IoSimRemote*, IoSimSetLoopback) work
// on the simulated port and the simulated IR device (simlirc), IoSimPeek and
// IoSimTx* on the simulated port only, IoSimSignal* on simlirc only.
// On any other backend they do nothing and return 0 (-1 where noted).
// Call them from the thread that uses the port, not while it is in a timed
// loop (configuring the remote allocates); IoSimTxCount, IoSimTxEntry,
// IoSimRemoteTrigger and IoSimRemoteStartNs may be called from any thread.

// Power-on state: data registers 0x00, control registers 0x2C, log emptied,
// remote re-armed with the waveform chosen by the environment. Every IO_SIM_*
// variable is read again: the log file named by IO_SIM_TXLOG is reopened and
// truncated (pending entries go to the previous file first), the ring gets
// IO_SIM_TXLOG_CAPACITY entries, automatic arming is on again. On simlirc:
// the signal log emptied, nothing waiting in the receiver, carrier and
// receive timeout at their defaults, IO_SIMLIRC_FEATURES read again; not
// while a send or receive is under way.
void IoSimReset(void);

// Raw register value at a port without side effects (no log entry, no arming).
unsigned char IoSimPeek(unsigned short port);

// Data-register write log: every PortOut (and byte of a wider write) to a
// data register (port & 3 == 0) is recorded with its time. The log is a ring
// of IO_SIM_TXLOG_CAPACITY entries; index counts from the last clear.
// The count goes on past the capacity; the ring holds the newest entries.
long long IoSimTxCount(void);
// 1 = held (null pointers are skipped); 0 = not written yet or overwritten.
int IoSimTxEntry(long long index, long long* t_ns, unsigned short* port, unsigned char* value);
void IoSimTxClear(void);  // the file keeps what it has: pending entries are written first
void IoSimTxFlush(void);  // append pending entries to the IO_SIM_TXLOG file now

// The simulated remote control drives status bit 0x10 of every port.
// It plays its waveform once per polling burst: status reads that follow each
// other within 2 ms arm it after 16 reads, the signal starts the configured
// delay later, and a new burst starts after 20 ms without status reads.
// On simlirc it plays into the receiver instead, once for every
// IoSignalReceive that begins to wait while it is silent (see io/simlirc.h).
// The IoSimRemoteSet* functions return 0 when the waveform was replaced and
// -1 when the arguments were rejected (the waveform is then unchanged). A new
// waveform drops any pending or playing signal.
// address, command: 0..255; repeat_frames: 0..10000, each 108 ms after the last.
int IoSimRemoteSetNec(unsigned address, unsigned command, int repeat_frames);
// levels: one byte per 125 us cell, non-zero = infrared; count 0 = silent.
int IoSimRemoteSetSamples(const unsigned char* levels, int count);
// A row of a command file (first row when name is null or empty); 0 = loaded.
int IoSimRemoteSetFile(const char* path, const char* name);
void IoSimRemoteOff(void);  // the line stays idle; nothing arms
void IoSimRemoteSetDelayNs(long long delay_ns);
void IoSimRemoteSetAuto(int on);        // 0: only IoSimRemoteTrigger starts it
void IoSimRemoteTrigger(void);          // start the waveform at now + delay (moves a pending start)
long long IoSimRemoteStartNs(void);     // start time of the last signal, -1 if none
long long IoSimRemoteDurationNs(void);  // length of the current waveform, 0 when silent
void IoSimSetLoopback(int on);          // status 0x10 also follows data bit 0; simlirc: sends reach the receiver

// The signals sent on simlirc, numbered from the last clear; the newest
// IO_SIM_TXLOG_CAPACITY are kept (the count goes on past it). Any thread.
long long IoSimSignalCount(void);
// Signal `index`: when it began (t_ns), the carrier the device had
// (carrier_hz: the last one set, 38000 until then) and up to `capacity` of
// its durations. Returns its count of durations, 0 when not kept. Null
// pointers are skipped.
int IoSimSignalEntry(long long index, long long* t_ns, unsigned* carrier_hz, unsigned* durations_us, int capacity);
void IoSimSignalClear(void);
// How many IoSignalReceive calls wait for their signal now: a signal sent
// from another thread once this is 1 reaches that receive. Any thread.
int IoSimSignalWaiting(void);
// What simlirc offers from now on, IO_SIGNAL_* bits (at least one of SEND
// and RECEIVE; CARRIER only with SEND). 0 when taken, -1 when refused or not
// on simlirc. Not while a send or receive is under way.
int IoSimSignalSetFeatures(int features);

// ---- Whole signals ----------------------------------------------------------
// Offered by backends that take and give whole signals rather than register
// writes: the kernel IR device (IO_BACKEND=lirc, /dev/lircN) and its stand-in
// (IO_BACKEND=simlirc). The program looks these up like the optional
// functions above and uses them where IoSignalFeatures says they work;
// elsewhere it keeps to the register functions. On the other backends
// IoSignalFeatures answers 0 and the others -1.
//
// A signal is a list of durations in microseconds, alternately infrared on
// (a mark, the carrier modulated by the device) and off (a space), starting
// and ending with a mark: an odd count.

#define IO_SIGNAL_SEND 1    /* IoSignalSend puts signals out */
#define IO_SIGNAL_RECEIVE 2 /* IoSignalReceive takes signals in */
#define IO_SIGNAL_CARRIER 4 /* IoSignalSend's carrier_hz is obeyed */

// Which of the IO_SIGNAL_* the port offers; 0 for a register port.
int IoSignalFeatures(void);

// Sends durations_us[0 .. count-1] (count odd, at most IO_SIGNAL_MAX
// durations, none 0) with the carrier `carrier_hz` (0: the carrier the device
// has, its default unless an earlier send set another; the default cannot be
// read back from the kernel), and returns once the device has put it out.
// 0 when sent, -1 when not (IoSignalError says why; nothing or only part
// went out).
int IoSignalSend(const unsigned* durations_us, int count, unsigned carrier_hz);

// Waits up to wait_ms for a signal to begin (its first mark). Then takes its
// durations until the line has stayed off for end_gap_us, or the signal has
// lasted max_total_us, or `capacity` durations are held; what came before
// the first mark is skipped, a last space is not stored. Returns the count
// of durations (odd), 0 when nothing began within wait_ms, -1 on an error
// (IoSignalError says why). Blocks for at most wait_ms + max_total_us +
// end_gap_us, whatever arrives. What the device took in while nobody was
// receiving is not this signal: it is read away first, so a signal sent
// from another thread is received when the receive is already waiting. A
// receive called within 50 ms of the last one's return continues it: what
// arrived in between is kept, so waiting in short slices loses no signal.
// One receive at a time: a second one while another waits fails at once.
int IoSignalReceive(unsigned* durations_us, int capacity, int wait_ms, unsigned end_gap_us, unsigned max_total_us);

// Makes an IoSignalReceive under way in another thread return 0 at once; what
// it took in is dropped. Returns 1 when a receive was under way, 0 when none
// was (nothing changes: a receive that begins later waits as usual), -1 when
// the port cannot end a receive early (a register port; a receive then ends
// at its own time). For a program that keeps a receive waiting while idle
// and needs the receiver at once. Any thread.
int IoSignalCancel(void);

// Why the last IoSignalSend or IoSignalReceive of this thread failed, for
// people: "/dev/lirc0: the device has no transmitter". Valid until this
// thread's next call.
const char* IoSignalError(void);

#define IO_SIGNAL_MAX 65536 /* durations of one IoSignalSend at most */

#ifdef __cplusplus
}
#endif

#endif
