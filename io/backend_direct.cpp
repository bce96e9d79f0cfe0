// The direct backend: inb/outb on the I/O ports themselves (x86 only).
//
// Needs CAP_SYS_RAWIO (root). Access is granted per 4-port block on first use:
// ioperm for ports below 0x400, iopl(3) for the ports above, which ioperm does
// not cover on older kernels. A block that cannot be granted is reported once
// on stderr and then reads 0xFF and ignores writes; an I/O instruction is never
// executed without permission (it would raise SIGSEGV).
#include "io/backend.h"
#include "io/env_util.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#include <cerrno>
#include <cstring>
#endif

namespace qev::io {

#if defined(__x86_64__) || defined(__i386__)
namespace {

enum BlockAccess : unsigned char { kUnknown = 0, kGranted = 1, kRefused = 2 };

constexpr unsigned kBlocks = 0x10000 / 4;
constexpr unsigned kIopermLimit = 0x400;      // ioperm covers ports below this
constexpr unsigned short kProbeBase = 0x378;  // LPT1, the program's default base

unsigned char g_access[kBlocks];
bool g_iopl_raised = false;

bool grant_block(unsigned block) {
    const unsigned base = block * 4;
    int rc = 0;
    if (base + 4 <= kIopermLimit) {
        rc = ioperm(base, 4, 1);
    } else if (!g_iopl_raised) {
        rc = iopl(3);
        if (rc == 0) g_iopl_raised = true;
    }
    if (rc != 0) {
        const int err = errno;
        g_access[block] = kRefused;
        warn("no access to ports 0x%04X-0x%04X: %s; they read 0xFF", base, base + 3, std::strerror(err));
        return false;
    }
    g_access[block] = kGranted;
    return true;
}

bool accessible(unsigned short port) {
    const unsigned block = port >> 2;
    if (g_access[block] == kGranted) return true;
    if (g_access[block] == kRefused) return false;
    return grant_block(block);
}

}  // namespace

bool direct_start(std::string* why) {
    std::memset(g_access, kUnknown, sizeof g_access);
    g_iopl_raised = false;
    // Asking for the default port's block tells at once whether the process
    // may use port I/O at all (CAP_SYS_RAWIO, no kernel lockdown).
    if (ioperm(kProbeBase, 4, 1) != 0) {
        *why = std::string("ioperm: ") + std::strerror(errno) + " (needs root / CAP_SYS_RAWIO)";
        return false;
    }
    g_access[kProbeBase >> 2] = kGranted;
    return true;
}

void direct_stop() noexcept {
    for (unsigned block = 0; block < kBlocks; ++block) {
        if (g_access[block] == kGranted && block * 4 + 4 <= kIopermLimit) ioperm(block * 4, 4, 0);
        g_access[block] = kUnknown;
    }
    if (g_iopl_raised) {
        iopl(0);
        g_iopl_raised = false;
    }
}

unsigned char direct_in(unsigned short port) noexcept {
    if (!accessible(port)) return 0xFF;
    return inb(port);
}

void direct_out(unsigned short port, unsigned char value) noexcept {
    if (!accessible(port)) return;
    outb(value, port);
}

#else  // not x86: there are no I/O port instructions

bool direct_start(std::string* why) {
    *why = "direct port access needs an x86 processor";
    return false;
}
void direct_stop() noexcept {}
unsigned char direct_in(unsigned short) noexcept { return 0xFF; }
void direct_out(unsigned short, unsigned char) noexcept {}

#endif

}  // namespace qev::io
