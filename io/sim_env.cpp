#include "io/sim_env.h"

#include "base/text_case.h"
#include "base/text_scan.h"
#include "io/env_util.h"
#include "io/rmt_row.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qev::io {
namespace {

constexpr const char* kDefaultRemote = "nec:0x04:0x08";
constexpr unsigned kDefaultNecAddress = 0x04;
constexpr unsigned kDefaultNecCommand = 0x08;
constexpr int kDefaultRepeats = 1;
constexpr int kMaxRepeats = 10000;
constexpr std::int64_t kDefaultDelayNs = 50'000'000;

int repeats_from_env() {
    const char* text = env_value("IO_SIM_REMOTE_REPEATS");
    if (text == nullptr) return kDefaultRepeats;
    const std::optional<std::uint64_t> value = Scan_Unsigned(text, kMaxRepeats);
    if (!value) {
        warn("IO_SIM_REMOTE_REPEATS=%s: expected 0..%d; using %d", text, kMaxRepeats, kDefaultRepeats);
        return kDefaultRepeats;
    }
    return static_cast<int>(*value);
}

bool parse_byte(std::string_view text, unsigned* out) {
    const std::optional<std::uint64_t> value = Scan_Unsigned(text, 0xFF);
    if (!value) return false;
    *out = static_cast<unsigned>(*value);
    return true;
}

// The waveform named by an IO_SIM_REMOTE value; false (after one line on
// stderr) when it names nothing usable.
bool waveform_from_text(const char* text, int repeats, Waveform* out) {
    const std::string_view value(text);
    const char* fallback = "; playing the default remote nec:0x04:0x08";

    if (Same_Ignoring_Case(text, "off")) {
        *out = Waveform();
        return true;
    }
    if (Same_Ignoring_Case(text, "nec")) {
        *out = Waveform::nec(kDefaultNecAddress, kDefaultNecCommand, repeats);
        return true;
    }
    if (Starts_With_Ignoring_Case(value, "nec:")) {
        const std::size_t colon = value.find(':', 4);
        unsigned address = 0;
        unsigned command = 0;
        if (colon == std::string_view::npos || !parse_byte(value.substr(4, colon - 4), &address) ||
            !parse_byte(value.substr(colon + 1), &command)) {
            warn("IO_SIM_REMOTE=%s: expected nec:ADDR:CMD with numbers 0..255 (decimal or 0x hex)%s", text, fallback);
            return false;
        }
        *out = Waveform::nec(address, command, repeats);
        return true;
    }

    // PATH.rmt or PATH.rmt:NAME (the extension in any case).
    std::string path;
    std::string name;
    for (std::size_t at = value.size(); at >= 4; --at) {
        if (!Same_Ignoring_Case(value.substr(at - 4, 4), ".rmt")) continue;
        if (at == value.size()) {
            path = value;
            break;
        }
        if (value[at] == ':') {
            path = value.substr(0, at);
            name = value.substr(at + 1);
            break;
        }
    }
    if (path.empty()) {
        warn("IO_SIM_REMOTE=%s: expected nec:ADDR:CMD, PATH.rmt, PATH.rmt:NAME or off%s", text, fallback);
        return false;
    }
    std::string why;
    if (!load_remote_row(path.c_str(), name, out, &why)) {
        warn("IO_SIM_REMOTE=%s: %s%s", text, why.c_str(), fallback);
        return false;
    }
    return true;
}

}  // namespace

RemoteSettings remote_settings_from_env() {
    RemoteSettings settings;
    const char* source = env_value("IO_SIM_REMOTE");
    if (source == nullptr) source = kDefaultRemote;
    const int repeats = repeats_from_env();
    if (!waveform_from_text(source, repeats, &settings.waveform)) {
        settings.waveform = Waveform::nec(kDefaultNecAddress, kDefaultNecCommand, repeats);
    }

    settings.delay_ns = kDefaultDelayNs;
    if (const char* text = env_value("IO_SIM_REMOTE_DELAY_MS")) {
        if (!parse_milliseconds(text, &settings.delay_ns)) {
            warn("IO_SIM_REMOTE_DELAY_MS=%s: expected a number of milliseconds >= 0; using 50", text);
            settings.delay_ns = kDefaultDelayNs;
        }
    }
    return settings;
}

bool load_remote_row(const char* path, const std::string& name, Waveform* out, std::string* why) {
    std::vector<unsigned char> bytes;
    switch (read_rmt_row(path, name, &bytes)) {
        case RmtRowResult::Found:
            *out = Waveform::from_packed(bytes);
            return true;
        case RmtRowResult::CannotOpen:
            *why = std::string("cannot open ") + path + ": " + std::strerror(errno);
            return false;
        case RmtRowResult::NoSuchRow:
            *why = name.empty() ? std::string("no command in ") + path
                                : std::string("no command named \"") + name + "\" in " + path;
            return false;
    }
    return false;
}

bool flag_from_env(const char* name, bool fallback) {
    const char* text = env_value(name);
    if (text == nullptr) return fallback;
    for (const char* on : {"1", "yes", "on", "true"}) {
        if (Same_Ignoring_Case(text, on)) return true;
    }
    for (const char* off : {"0", "no", "off", "false"}) {
        if (Same_Ignoring_Case(text, off)) return false;
    }
    warn("%s=%s: expected 1 or 0; taken as %d", name, text, fallback ? 1 : 0);
    return fallback;
}

std::uint64_t log_capacity_from_env(std::uint64_t fallback, std::uint64_t max) {
    const char* text = env_value("IO_SIM_TXLOG_CAPACITY");
    if (text == nullptr) return fallback;
    const std::optional<std::uint64_t> value = Scan_Unsigned(text, max);
    if (!value || *value < 1) {
        warn("IO_SIM_TXLOG_CAPACITY=%s: expected 1..%llu; using %llu", text, static_cast<unsigned long long>(max),
             static_cast<unsigned long long>(fallback));
        return fallback;
    }
    return *value;
}

}  // namespace qev::io
