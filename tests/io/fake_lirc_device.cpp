#include "tests/io/fake_lirc_device.h"

#include <poll.h>
#include <algorithm>
#include <cerrno>

namespace iotest {

constexpr int kFd = 7;

void FakeLircDevice::Arrive(std::int64_t at, const std::vector<std::uint32_t>& values) {
    for (const std::uint32_t value : values) pending_.emplace(kFakeStartNs + at, value);
}

std::vector<std::uint32_t> FakeLircDevice::IoctlValues(unsigned long request) const {
    std::vector<std::uint32_t> values;
    for (const Ioctl& call : ioctls) {
        if (call.request == request) values.push_back(call.value);
    }
    return values;
}

int FakeLircDevice::open(const char*) {
    ++opens;
    if (open_errno != 0) {
        errno = open_errno;
        return -1;
    }
    return kFd;
}

void FakeLircDevice::close(int) { ++closes; }

int FakeLircDevice::ioctl(int, unsigned long request, std::uint32_t* value) {
    const auto refused = refuse.find(request);
    if (refused != refuse.end()) {
        ioctls.push_back({request, *value});
        errno = refused->second;
        return -1;
    }
    const bool sends = (features & LIRC_CAN_SEND_PULSE) != 0;
    const bool receives = (features & LIRC_CAN_REC_MODE2) != 0;
    const auto answer = [&](bool supported, bool valid) {
        ioctls.push_back({request, *value});
        if (supported && valid) return 0;
        errno = supported ? EINVAL : ENOTTY;
        return -1;
    };
    switch (request) {
        case LIRC_GET_FEATURES:
            *value = features;
            return answer(true, true);
        case LIRC_SET_SEND_MODE:
            return answer(sends, *value == LIRC_MODE_PULSE);
        case LIRC_SET_REC_MODE:
            return answer(receives, *value == LIRC_MODE_MODE2);
        case LIRC_SET_SEND_CARRIER:
            return answer((features & LIRC_CAN_SET_SEND_CARRIER) != 0, *value != 0);
        case LIRC_GET_MIN_TIMEOUT:
            *value = min_timeout_us;
            return answer((features & LIRC_CAN_SET_REC_TIMEOUT) != 0, true);
        case LIRC_GET_MAX_TIMEOUT:
            *value = max_timeout_us;
            return answer((features & LIRC_CAN_SET_REC_TIMEOUT) != 0, true);
        case LIRC_GET_REC_TIMEOUT:
            *value = rec_timeout_us;
            return answer(receives, true);
        case LIRC_SET_REC_TIMEOUT: {
            const bool valid = *value >= min_timeout_us && *value <= max_timeout_us;
            if ((features & LIRC_CAN_SET_REC_TIMEOUT) != 0 && valid) rec_timeout_us = *value;
            return answer((features & LIRC_CAN_SET_REC_TIMEOUT) != 0, valid);
        }
        default:
            return answer(false, false);
    }
}

long FakeLircDevice::read(int, std::uint32_t* values, std::size_t count) {
    const bool any = !pending_.empty() && pending_.begin()->first <= now;
    if (read_errno != 0 && any) {
        errno = read_errno;
        return -1;
    }
    std::size_t got = 0;
    while (got < count && !pending_.empty() && pending_.begin()->first <= now) {
        values[got++] = pending_.begin()->second;
        pending_.erase(pending_.begin());
    }
    if (got == 0) {
        errno = EAGAIN;
        return -1;
    }
    return static_cast<long>(got);
}

long FakeLircDevice::write(int, const std::uint32_t* values, std::size_t count) {
    if (write_errno != 0) {
        errno = write_errno;
        return -1;
    }
    const std::size_t taken = write_limit >= 0 ? std::min<std::size_t>(count, write_limit) : count;
    writes.push_back({now - kFakeStartNs, std::vector<std::uint32_t>(values, values + taken)});
    std::int64_t us = 0;
    for (std::size_t i = 0; i < taken; ++i) us += values[i];
    now += Us(us);  // the kernel returns once the signal is out
    return static_cast<long>(taken);
}

int FakeLircDevice::poll(int, std::int64_t timeout_ns) {
    if (hangup_at_ns >= 0 && now >= kFakeStartNs + hangup_at_ns) return POLLHUP | POLLERR;
    if (!pending_.empty() && pending_.begin()->first <= now) return POLLIN;
    const std::int64_t until = now + std::max<std::int64_t>(timeout_ns, 0);
    std::int64_t next = pending_.empty() ? until + 1 : pending_.begin()->first;
    if (hangup_at_ns >= 0) next = std::min(next, kFakeStartNs + hangup_at_ns);
    if (next <= until) {
        now = next;
        return hangup_at_ns >= 0 && now >= kFakeStartNs + hangup_at_ns ? POLLHUP | POLLERR : POLLIN;
    }
    now = until;
    return 0;
}

void FakeLircDevice::sleep_until(std::int64_t t_ns) {
    sleeps.push_back(t_ns - kFakeStartNs);
    now = std::max(now, t_ns);
}

std::string IoctlName(unsigned long request) {
    switch (request) {
        case LIRC_GET_FEATURES:
            return "LIRC_GET_FEATURES";
        case LIRC_SET_SEND_MODE:
            return "LIRC_SET_SEND_MODE";
        case LIRC_SET_REC_MODE:
            return "LIRC_SET_REC_MODE";
        case LIRC_SET_SEND_CARRIER:
            return "LIRC_SET_SEND_CARRIER";
        case LIRC_GET_MIN_TIMEOUT:
            return "LIRC_GET_MIN_TIMEOUT";
        case LIRC_GET_MAX_TIMEOUT:
            return "LIRC_GET_MAX_TIMEOUT";
        case LIRC_GET_REC_TIMEOUT:
            return "LIRC_GET_REC_TIMEOUT";
        case LIRC_SET_REC_TIMEOUT:
            return "LIRC_SET_REC_TIMEOUT";
        default:
            return "ioctl " + std::to_string(request);
    }
}

}  // namespace iotest
