#include "io/device_access.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qev::io {
namespace {

// The name of group `gid`, or "" when the user database does not know it.
std::string group_name(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry;
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
    return found->gr_name;
}

// Whether the process runs with group `gid`, as its own or a supplementary one.
bool process_has_group(gid_t gid) {
    if (::getegid() == gid) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<std::size_t>(i)] == gid) return true;
    }
    return false;
}

// Whether the user database makes the process's user a member of group
// `gid` (primary group or listed member): membership the process lacks then
// was given after the login that started it.
bool user_is_listed_in_group(gid_t gid) {
    std::vector<char> buffer(16384);
    passwd user;
    passwd* found_user = nullptr;
    if (::getpwuid_r(::geteuid(), &user, buffer.data(), buffer.size(), &found_user) != 0 || found_user == nullptr) {
        return false;
    }
    if (found_user->pw_gid == gid) return true;
    const std::string name = found_user->pw_name;
    std::vector<char> group_buffer(16384);
    group entry;
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, group_buffer.data(), group_buffer.size(), &found) != 0 || found == nullptr) {
        return false;
    }
    for (char** member = found->gr_mem; member != nullptr && *member != nullptr; ++member) {
        if (name == *member) return true;
    }
    return false;
}

}  // namespace

std::string with_detail(const DeviceFailure& failure) {
    return failure.detail.empty() ? failure.reason : failure.reason + " (" + failure.detail + ")";
}

std::string access_advice(const char* device, const char* no_group_advice) {
    struct stat st;
    if (::stat(device, &st) != 0) return {};
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    const std::string owner_group = group_name(st.st_gid);
    if ((st.st_mode & kGroupReadWrite) != kGroupReadWrite || st.st_gid == 0 || owner_group.empty()) {
        return no_group_advice;
    }
    if (process_has_group(st.st_gid)) return {};
    if (user_is_listed_in_group(st.st_gid)) {
        return "you are in group " + owner_group + ", but this login session is not yet; log in again";
    }
    return "add yourself to group " + owner_group + " with sudo adduser $USER " + owner_group + ", then log in again";
}

}  // namespace qev::io
