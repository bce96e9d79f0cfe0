// Start-up of a run that holds more privilege than the user who started it.
//
// The package gives /usr/bin/QEV_LPT the capability cap_sys_nice, so every
// user's run of it holds that capability, and the kernel marks the process
// secure (AT_SECURE). The dynamic loader then ignores LD_PRELOAD,
// LD_LIBRARY_PATH and $ORIGIN; Qt and the libraries under it do not. Their
// environment (QT_PLUGIN_PATH, QT_QPA_PLATFORM_PLUGIN_PATH, LIBGL_DRIVERS_PATH,
// __EGL_VENDOR_LIBRARY_DIRS, GTK_MODULES, ...), Qt's options
// (-platformpluginpath, -platformtheme, -plugin, -testability), a qt.conf or
// a plugin folder beside the program, and a desktop theme that brings in
// another toolkit with its own module settings would all let a user run code
// of their own inside the process, holding the capability.
//
// So a privileged run, before Qt sees anything:
//   - keeps only the environment variables listed in secure_start.cpp (the
//     profile, locale, display and session, Qt's knobs that pick plugins by
//     name or scale the window, and the port library's IO_* settings), which
//     also leaves Qt without a desktop name to choose a theme plugin by;
//   - removes Qt's options that name plugin folders or add plugins;
//   - gives up its capabilities when the program's own folder can be written
//     by anyone but root (a hard link in a user's folder, where a qt.conf or
//     a plugin folder of theirs would be read);
// and main() then points Qt at the system's plugin folder alone.
// A run without privilege is left exactly as it was started.
//
// Display-free: no Qt here, so it runs before the application object exists.
#ifndef QEV_APP_SECURE_START_H
#define QEV_APP_SECURE_START_H

#include <string>
#include <string_view>
#include <vector>

namespace qev {

// The process runs with more privilege than its user: file capabilities,
// set-user-ID or set-group-ID (the kernel's AT_SECURE).
bool Runs_Privileged();

// Whether a privileged run keeps the environment variable `name`.
bool Keeps_Variable(std::string_view name);

// The arguments (argument 0 first) a privileged run hands on to Qt: the
// given ones without Qt's options that load code from a folder or add
// plugins, each with its value. Both "-option" and "--option" are Qt's.
std::vector<std::string> Kept_Arguments(const std::vector<std::string>& arguments);

// `folder` can be changed by root alone: owned by root and writable by no
// group and no one else.
bool Root_Only_Folder(const std::string& folder);

// What Secure_Start did.
struct TSecure_Start {
    bool Privileged = false;
    // The program's folder could be written by others: the capabilities
    // were given up.
    bool Capabilities_Dropped = false;
    std::vector<std::string> Removed_Variables;
    std::vector<std::string> Removed_Arguments;
};

// First thing in main(): in a privileged run, scrubs the environment and
// argc/argv (in place, argv[argc] stays a null pointer) and gives up the
// capabilities when the program's folder is not root's alone. Without
// privilege it changes nothing.
TSecure_Start Secure_Start(int& argc, char** argv);

}  // namespace qev

#endif
