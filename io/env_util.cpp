#include "io/env_util.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace qev::io {

const char* env_value(const char* name) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

bool parse_milliseconds(const char* text, std::int64_t* out_ns) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    const double ms = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(ms) || ms < 0.0 || ms > 1e9) {
        return false;
    }
    *out_ns = static_cast<std::int64_t>(std::llround(ms * 1e6));
    return true;
}

void warn(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // One fprintf call so the line is not interleaved with other output.
    std::fprintf(stderr, "libio: %s\n", line);
}

std::int64_t monotonic_ns() noexcept {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace qev::io
