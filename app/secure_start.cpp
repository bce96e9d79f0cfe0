#include "app/secure_start.h"

#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

extern char** environ;

namespace qev {

namespace {

// The environment of a privileged run. A list of what is kept rather than of
// what is dangerous: Qt, Mesa, libglvnd, GTK, GLib, libproxy, libX11 and
// others each read variables that name folders or files of code, several of
// them check only the user IDs (which a capability leaves equal), and a list
// of dangers would miss the next one. Everything kept names data, a display
// or a session, or picks something by name from folders that are now the
// system's alone.
constexpr std::string_view Kept_Names[] = {
    // Whose run it is: the profile folder holds the Settings file.
    "HOME", "USERPROFILE", "USER", "LOGNAME", "PATH", "SHELL", "TERM", "PWD",
    // Language and time.
    "LANG", "LANGUAGE", "TZ",
    // The display and the session.
    "DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "XDG_SESSION_TYPE", "XDG_CONFIG_HOME",
    "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
    // Qt: plugins picked by name (from the system's folder only), scaling,
    // accessibility, and what Qt prints.
    "QT_QPA_PLATFORM", "QT_STYLE_OVERRIDE", "QT_IM_MODULE", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
    "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI", "QT_ACCESSIBILITY", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON",
    "QT_LOGGING_RULES", "QT_DEBUG_PLUGINS"};

// Families kept by their prefix: the locale categories, and the port
// library's own settings (backend, device, simulated remote and its log).
constexpr std::string_view Kept_Prefixes[] = {"LC_", "IO_"};

// Qt's options that take code from elsewhere: a folder of platform plugins
// (and platform themes), a desktop theme plugin (which may bring in another
// toolkit and its modules), generic plugins, and the testability library.
struct TQt_Option {
    std::string_view Name;  // without the leading dash
    bool Takes_Value;
};
constexpr TQt_Option Removed_Options[] = {
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"testability", false},
};

const TQt_Option* Removed_Option(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '-') return nullptr;
    argument.remove_prefix(argument[1] == '-' ? 2 : 1);
    for (const TQt_Option& option : Removed_Options)
        if (argument == option.Name) return &option;
    return nullptr;
}

// Gives up every capability: permitted, effective and inheritable sets
// emptied (which also empties the ambient set). Always allowed.
bool Drop_Capabilities() {
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> data{};
    return ::syscall(SYS_capset, &header, data.data()) == 0;
}

// Indexes of the arguments a privileged run keeps; argument 0 is the
// program's name and always kept. Qt takes the argument after an option that
// takes a value as that value, so it goes too.
std::vector<std::size_t> Kept_Indexes(const std::vector<std::string_view>& arguments) {
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const TQt_Option* option = i == 0 ? nullptr : Removed_Option(arguments[i]);
        if (option == nullptr)
            kept.push_back(i);
        else if (option->Takes_Value)
            ++i;
    }
    return kept;
}

std::string Program_Folder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

}  // namespace

bool Runs_Privileged() { return ::getauxval(AT_SECURE) != 0; }

bool Keeps_Variable(std::string_view name) {
    if (std::ranges::find(Kept_Names, name) != std::end(Kept_Names)) return true;
    return std::ranges::any_of(Kept_Prefixes, [&](std::string_view prefix) {
        return name.size() > prefix.size() && name.starts_with(prefix);
    });
}

std::vector<std::string> Kept_Arguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> kept;
    for (std::size_t i : Kept_Indexes(std::vector<std::string_view>(arguments.begin(), arguments.end())))
        kept.push_back(arguments[i]);
    return kept;
}

bool Root_Only_Folder(const std::string& folder) {
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

TSecure_Start Secure_Start(int& argc, char** argv) {
    TSecure_Start result;
    result.Privileged = Runs_Privileged();
    if (!result.Privileged) return result;

    if (!Root_Only_Folder(Program_Folder())) result.Capabilities_Dropped = Drop_Capabilities();

    // Names first: unsetenv changes environ under the loop.
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        const std::string name = equals ? std::string(*entry, static_cast<std::size_t>(equals - *entry)) : *entry;
        if (!Keeps_Variable(name)) result.Removed_Variables.push_back(name);
    }
    for (const std::string& name : result.Removed_Variables) ::unsetenv(name.c_str());

    // argv keeps its strings; only the kept ones stay in it, in order.
    const std::vector<std::string_view> arguments(argv, argv + std::max(argc, 0));
    const std::vector<std::size_t> kept = Kept_Indexes(arguments);
    for (std::size_t i = 0, next = 0; i < arguments.size(); ++i) {
        if (next < kept.size() && kept[next] == i)
            argv[next++] = argv[i];
        else
            result.Removed_Arguments.emplace_back(arguments[i]);
    }
    argc = static_cast<int>(kept.size());
    argv[argc] = nullptr;
    return result;
}

}  // namespace qev
