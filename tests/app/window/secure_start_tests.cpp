// What a run holding a capability keeps of its environment and arguments, and
// which folders count as root's alone. The whole start, with the real
// capability, is tried end to end in tests/e2e/privileged_run_tests.cpp.
#include "app/secure_start.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace qev {
namespace {

TEST(Secure_Start, Keeps_Only_Variables_That_Load_No_Code) {
    struct TRow {
        const char* Name;
        bool Kept;
    };
    const TRow rows[] = {
        // Qt's plugin folders, and what picks plugins or adds them.
        {"QT_PLUGIN_PATH", false},
        {"QT_QPA_PLATFORM_PLUGIN_PATH", false},
        {"QT_QPA_PLATFORMTHEME", false},
        {"QT_QPA_GENERIC_PLUGINS", false},
        {"QT_XCB_GL_INTEGRATION", false},
        {"QT_QPA_EGLFS_INTEGRATION", false},
        {"QT_WAYLAND_SHELL_INTEGRATION", false},
        // OpenGL, EGL, GBM, video and Vulkan drivers.
        {"LIBGL_DRIVERS_PATH", false},
        {"MESA_LOADER_DRIVER_OVERRIDE", false},
        {"__EGL_VENDOR_LIBRARY_DIRS", false},
        {"__EGL_VENDOR_LIBRARY_FILENAMES", false},
        {"__EGL_EXTERNAL_PLATFORM_CONFIG_DIRS", false},
        {"__GLX_VENDOR_LIBRARY_NAME", false},
        {"GBM_BACKENDS_PATH", false},
        {"LIBVA_DRIVERS_PATH", false},
        {"VK_ICD_FILENAMES", false},
        // GTK, GLib, libproxy and libX11 modules.
        {"GTK_MODULES", false},
        {"GTK_PATH", false},
        {"GDK_PIXBUF_MODULE_FILE", false},
        {"GIO_EXTRA_MODULES", false},
        {"PX_MODULE_PATH", false},
        {"XLOCALEDIR", false},
        // The desktop's name, by which Qt would choose a theme plugin.
        {"XDG_CURRENT_DESKTOP", false},
        {"DESKTOP_SESSION", false},
        {"KDE_FULL_SESSION", false},
        {"XDG_DATA_DIRS", false},
        // The loader's own (it ignores them already).
        {"LD_PRELOAD", false},
        {"LD_LIBRARY_PATH", false},
        // Names are case-sensitive, and a bare prefix is no family member.
        {"home", false},
        {"LC_", false},
        {"IO_", false},
        // What the program and its window need.
        {"HOME", true},
        {"USERPROFILE", true},
        {"PATH", true},
        {"LANG", true},
        {"LC_ALL", true},
        {"LC_MESSAGES", true},
        {"TZ", true},
        {"DISPLAY", true},
        {"XAUTHORITY", true},
        {"WAYLAND_DISPLAY", true},
        {"XDG_RUNTIME_DIR", true},
        {"DBUS_SESSION_BUS_ADDRESS", true},
        {"QT_QPA_PLATFORM", true},
        {"QT_STYLE_OVERRIDE", true},
        {"QT_IM_MODULE", true},
        {"QT_SCALE_FACTOR", true},
        {"QT_DEBUG_PLUGINS", true},
        {"IO_BACKEND", true},
        {"IO_DEVICE", true},
        {"IO_SIM_TXLOG", true},
    };
    for (const TRow& row : rows) EXPECT_EQ(Keeps_Variable(row.Name), row.Kept) << row.Name;
}

TEST(Secure_Start, Drops_Qt_Options_That_Load_Code_With_Their_Values) {
    using TArgs = std::vector<std::string>;
    struct TRow {
        const char* Name;
        TArgs Given;
        TArgs Kept;
    };
    const TRow rows[] = {
        {"platform_plugin_folder", {"QEV_LPT", "-platformpluginpath", "/home/u/p"}, {"QEV_LPT"}},
        {"two_dashes", {"QEV_LPT", "--platformpluginpath", "/home/u/p"}, {"QEV_LPT"}},
        {"platform_theme", {"QEV_LPT", "-platformtheme", "gtk3", "-style", "fusion"}, {"QEV_LPT", "-style", "fusion"}},
        {"generic_plugin", {"QEV_LPT", "-plugin", "evdevtouch"}, {"QEV_LPT"}},
        {"testability_takes_no_value", {"QEV_LPT", "-testability", "-reverse"}, {"QEV_LPT", "-reverse"}},
        {"value_that_looks_like_an_option", {"QEV_LPT", "-platformtheme", "-style", "x"}, {"QEV_LPT", "x"}},
        {"option_last_without_value", {"QEV_LPT", "-reverse", "-plugin"}, {"QEV_LPT", "-reverse"}},
        {"options_naming_plugins_by_name_stay",
         {"QEV_LPT", "-platform", "xcb", "-style", "fusion", "-stylesheet", "a.qss"},
         {"QEV_LPT", "-platform", "xcb", "-style", "fusion", "-stylesheet", "a.qss"}},
        {"near_names_are_not_qt_options",
         {"QEV_LPT", "-plugins", "---plugin", "-platformpluginpathX", "plugin"},
         {"QEV_LPT", "-plugins", "---plugin", "-platformpluginpathX", "plugin"}},
        {"program_name_is_kept", {"-plugin", "-style", "x"}, {"-plugin", "-style", "x"}},
        {"none", {}, {}},
    };
    for (const TRow& row : rows) EXPECT_EQ(Kept_Arguments(row.Given), row.Kept) << row.Name;
}

TEST(Secure_Start, A_Folder_Is_Root_Only_When_Root_Owns_It_And_No_One_Else_Can_Write) {
    namespace fs = std::filesystem;
    test::TTemp_Dir scratch;
    struct TRow {
        const char* Name;
        mode_t Mode;
        bool Owned_By_Nobody;
        bool Root_Only;
    };
    const TRow rows[] = {
        {"root_0755", 0755, false, true},         {"root_0700", 0700, false, true},
        {"group_writable", 0775, false, false},   {"world_writable", 0757, false, false},
        {"sticky_like_tmp", 01777, false, false}, {"owned_by_another_user", 0755, true, false},
    };
    const bool root = ::geteuid() == 0;
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        if (!root && !row.Owned_By_Nobody && row.Root_Only) continue;  // only root makes root's folders
        const std::string folder = scratch.File(row.Name);
        fs::create_directory(folder);
        ASSERT_EQ(::chmod(folder.c_str(), row.Mode), 0);
        if (row.Owned_By_Nobody && root) {
            ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        }
        EXPECT_EQ(Root_Only_Folder(folder), row.Root_Only && root);
    }
    EXPECT_FALSE(Root_Only_Folder(scratch.File("missing")));
    test::Write_File(scratch.File("file"), "");
    EXPECT_FALSE(Root_Only_Folder(scratch.File("file"))) << "not a folder";
    EXPECT_FALSE(Root_Only_Folder(""));
}

TEST(Secure_Start, An_Unprivileged_Run_Is_Left_As_Started) {
    ASSERT_FALSE(Runs_Privileged()) << "the tests run without a capability";
    test::TEnv_Guard variable("QT_PLUGIN_PATH", "/home/u/plugins");
    std::string args[] = {"QEV_LPT", "-platformpluginpath", "/home/u/p"};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), nullptr};
    int argc = 3;
    const TSecure_Start start = Secure_Start(argc, argv);
    EXPECT_FALSE(start.Privileged);
    EXPECT_EQ(argc, 3);
    EXPECT_EQ(argv[1], args[1].data());
    EXPECT_STREQ(std::getenv("QT_PLUGIN_PATH"), "/home/u/plugins");
    EXPECT_TRUE(start.Removed_Variables.empty() && start.Removed_Arguments.empty());
}

}  // namespace
}  // namespace qev
