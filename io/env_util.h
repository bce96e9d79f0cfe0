// Small helpers for reading the library's environment and reporting problems.
// Used at load time and by IoSimReset only, never in a timed loop. Values are
// compared in any case with base/text_case.h and numbers read with
// base/text_scan.h's Scan_Unsigned (decimal, or hexadecimal after 0x).
#ifndef QEV_IO_ENV_UTIL_H
#define QEV_IO_ENV_UTIL_H

#include <cstdint>

namespace qev::io {

// The value of an environment variable, or nullptr when it is unset or empty.
const char* env_value(const char* name);

// A whole string holding a non-negative decimal number of milliseconds,
// fraction allowed ("0.5"); the result in nanoseconds.
bool parse_milliseconds(const char* text, std::int64_t* out_ns);

// Writes one line "libio: <message>" to stderr.
void warn(const char* format, ...) __attribute__((format(printf, 1, 2)));

// CLOCK_MONOTONIC in nanoseconds, the program's own counter.
std::int64_t monotonic_ns() noexcept;

}  // namespace qev::io

#endif
