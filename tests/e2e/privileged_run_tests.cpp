// The program as the package installs it: holding cap_sys_nice, run by an
// ordinary user who tries to have it load a plugin of their own through Qt's
// environment variables, Qt's options, a qt.conf or a plugin folder beside
// the program. The plugins (marker_plugin/) leave a file beside themselves
// when loaded, with the capability sets of the process that loaded them.
//
// Each door is tried twice: with a plain copy of QEV_LPT, where the plugin
// must load (so the door is real and the test proves something), and with a
// copy given the capability, where it must not. Needs root (setcap, and
// running as nobody); skipped otherwise.
#include "harness/loopback_client.h"
#include "tests/e2e/program_runner.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_env.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace qev::test {
namespace {

namespace fs = std::filesystem;

constexpr unsigned long long Cap_Sys_Nice = 1ull << 23;

// One way of naming a plugin folder to the program. "@" in a value stands for
// the user's plugin folder.
struct TDoor {
    const char* Name;
    const char* Kind;  // which marker plugin lies in the folder (its subfolder)
    std::vector<std::pair<std::string, std::string>> Environment;
    std::vector<std::string> Arguments;
    bool Background_Image = false;  // BACK_IMAGE names a bitmap with the image plugin's suffix
};

// Test names show the door's name, not its bytes.
void PrintTo(const TDoor& door, std::ostream* out) { *out << door.Name; }

const std::vector<TDoor>& Doors() {
    static const std::vector<TDoor> doors = {
        {"QT_PLUGIN_PATH_platform", "platforms", {{"QT_PLUGIN_PATH", "@"}}, {}},
        {"QT_PLUGIN_PATH_QT_STYLE_OVERRIDE",
         "styles",
         {{"QT_PLUGIN_PATH", "@"}, {"QT_STYLE_OVERRIDE", "qevmarker"}},
         {}},
        {"QT_PLUGIN_PATH_style_option", "styles", {{"QT_PLUGIN_PATH", "@"}}, {"-style", "qevmarker"}},
        {"QT_PLUGIN_PATH_QT_QPA_PLATFORMTHEME",
         "platformthemes",
         {{"QT_PLUGIN_PATH", "@"}, {"QT_QPA_PLATFORMTHEME", "qevmarker"}},
         {}},
        {"QT_PLUGIN_PATH_platformtheme_option",
         "platformthemes",
         {{"QT_PLUGIN_PATH", "@"}},
         {"-platformtheme", "qevmarker"}},
        {"QT_PLUGIN_PATH_QT_IM_MODULE",
         "platforminputcontexts",
         {{"QT_PLUGIN_PATH", "@"}, {"QT_IM_MODULE", "qevmarker"}},
         {}},
        {"QT_PLUGIN_PATH_QT_QPA_GENERIC_PLUGINS",
         "generic",
         {{"QT_PLUGIN_PATH", "@"}, {"QT_QPA_GENERIC_PLUGINS", "qevmarker"}},
         {}},
        {"QT_PLUGIN_PATH_plugin_option", "generic", {{"QT_PLUGIN_PATH", "@"}}, {"--plugin", "qevmarker"}},
        {"QT_PLUGIN_PATH_image_format", "imageformats", {{"QT_PLUGIN_PATH", "@"}}, {}, true},
        // The platform list falls back to Qt's own offscreen plugin when the
        // user's is not found, so the privileged run still starts.
        {"QT_QPA_PLATFORM_PLUGIN_PATH",
         "platforms",
         {{"QT_QPA_PLATFORM_PLUGIN_PATH", "@/platforms"}, {"QT_QPA_PLATFORM", "qevmarker;offscreen"}},
         {}},
        {"platformpluginpath_option",
         "platforms",
         {},
         {"-platformpluginpath", "@/platforms", "-platform", "qevmarker;offscreen"}},
        {"QT_QPA_PLATFORM_PLUGIN_PATH_platform_theme",
         "platformthemes",
         {{"QT_QPA_PLATFORM_PLUGIN_PATH", "@/platformthemes"}, {"QT_QPA_PLATFORMTHEME", "qevmarker"}},
         {}},
    };
    return doors;
}

std::string Replace_At(std::string text, const std::string& folder) {
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + folder.size()))
        text.replace(at, 1, folder);
    return text;
}

// The capability set named `line` ("CapEff", "CapPrm") in a marker file or a
// /proc status file; ~0 when it is not there.
unsigned long long Capability_Set(const std::string& status_text, const std::string& line) {
    std::istringstream in(status_text);
    for (std::string text; std::getline(in, text);)
        if (text.rfind(line + ":", 0) == 0) return std::stoull(text.substr(line.size() + 1), nullptr, 16);
    return ~0ull;
}

// A tiny 24-bit bitmap, whatever its file name says.
std::string Bitmap_Bytes() {
    const unsigned char header[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0,  0,
                                    2,   0,   0,  0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0,  0, 16, 0,
                                    0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0,  0};
    std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
    bytes += std::string(16, '\x40');
    return bytes;
}

class Privileged_Run : public ::testing::Test {
protected:
    TTemp_Dir root;  // the folders below, reachable by nobody
    std::string plain, privileged;

    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root: setcap on a copy of QEV_LPT, and running it as nobody";
        fs::permissions(root.Path(), fs::perms(0755));
        plain = Copy_Program("plain");
        privileged = Copy_Program("privileged");
        const auto [output, status] = Run_Shell("setcap cap_sys_nice+ep '" + privileged + "'", true);
        if (status != 0) GTEST_SKIP() << "setcap cannot give the copy the capability here: " << output;
    }

    // A copy of QEV_LPT in a folder of root's that nobody can enter.
    std::string Copy_Program(const std::string& folder_name) {
        const std::string folder = root.File(folder_name);
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms(0755));
        const std::string program = folder + "/QEV_LPT";
        fs::copy_file(Binary_Folder() + "/QEV_LPT", program);
        return program;
    }

    // A folder of nobody's, as an ordinary user would make one.
    std::string User_Folder(const std::string& name) {
        const std::string folder = root.File(name);
        fs::create_directories(folder);
        Give_To_Test_User(folder);
        return folder;
    }

    // Puts the marker plugin of `kind` into <folder>/<kind>/ and returns the
    // file its loading would write.
    std::string Place_Plugin(const std::string& folder, const std::string& kind) {
        fs::create_directory(folder + "/" + kind);
        fs::copy_file(Binary_Folder() + "/marker_plugins/" + kind + "/libqevmarker.so",
                      folder + "/" + kind + "/libqevmarker.so");
        Give_To_Test_User(folder + "/" + kind);
        return folder + "/" + kind + "/libqevmarker.so.loaded";
    }

    struct TRun {
        bool Started = false;                     // reached its event loop with the Command server open
        unsigned long long Capabilities = ~0ull;  // CapEff while it ran, when it started
        std::string Errors;                       // standard error
    };

    // Runs `program` as nobody until it has started (or ended by itself),
    // then ends it.
    TRun Run(const std::string& program, const std::string& name, const std::vector<std::string>& arguments,
             const std::vector<std::pair<std::string, std::string>>& environment, const std::string& back_image) {
        const std::string profile = User_Folder("profile-" + name);
        const uint16_t port = Free_Loopback_Port();
        std::string ini = "[SERVER]\nSTARTUP=1\nPORT=" + std::to_string(port) + "\n";
        if (!back_image.empty()) ini += "[FORM]\nBACK_IMAGE=" + back_image + "\n";
        Write_File(profile + "/QEV_LPT.INI", ini);
        Give_To_Test_User(profile + "/QEV_LPT.INI");
        TProgram_Runner runner(program, profile);
        runner.Ordinary_User = true;
        runner.Stderr_Path = root.File("stderr-" + name);
        runner.Arguments = arguments;
        for (const auto& [variable, value] : environment) runner.Environment[variable] = value;
        TRun run;
        if (!runner.Start()) return run;
        for (int tries = 0; tries < 600; ++tries) {
            if (runner.Wait_For_Exit(0) != -1) break;
            harness::TLoopback_Client client;
            if (client.Connect(port, 0.05)) {
                run.Started = true;
                run.Capabilities =
                    Capability_Set(Read_File("/proc/" + std::to_string(runner.Pid()) + "/status"), "CapEff");
                runner.Terminate();
                break;
            }
        }
        run.Errors = Read_File(runner.Stderr_Path);
        return run;
    }
};

class Privileged_Door : public Privileged_Run, public ::testing::WithParamInterface<TDoor> {};

TEST_P(Privileged_Door, Loads_No_Plugin_Of_The_User_With_The_Capability) {
    const TDoor& door = GetParam();
    for (const bool with_capability : {false, true}) {
        SCOPED_TRACE(with_capability ? "copy with the capability" : "plain copy");
        const std::string name = std::string(door.Name) + (with_capability ? "-privileged" : "-plain");
        const std::string folder = User_Folder("plugins-" + name);
        const std::string marker = Place_Plugin(folder, door.Kind);
        std::vector<std::pair<std::string, std::string>> environment;
        for (const auto& [variable, value] : door.Environment)
            environment.emplace_back(variable, Replace_At(value, folder));
        std::vector<std::string> arguments;
        for (const std::string& argument : door.Arguments) arguments.push_back(Replace_At(argument, folder));
        std::string back_image;
        if (door.Background_Image) {
            back_image = folder + "/back.qevm";
            Write_File(back_image, Bitmap_Bytes());
        }

        const TRun run = Run(with_capability ? privileged : plain, name, arguments, environment, back_image);
        if (!with_capability) {
            EXPECT_TRUE(File_Exists(marker)) << "the plain program did not load the plugin: the door is not there\n"
                                             << run.Errors;
            continue;
        }
        ASSERT_TRUE(run.Started) << run.Errors;
        EXPECT_NE(run.Capabilities & Cap_Sys_Nice, 0u) << "the run held the capability";
        EXPECT_FALSE(File_Exists(marker)) << Read_File(marker);
        EXPECT_NE(run.Errors.find("QEV_LPT: running with a capability, ignored:"), std::string::npos) << run.Errors;
    }
}

INSTANTIATE_TEST_SUITE_P(Qt, Privileged_Door, ::testing::ValuesIn(Doors()),
                         [](const ::testing::TestParamInfo<TDoor>& door) { return std::string(door.param.Name); });

// A copy of the program in a folder its user can write to (as a hard link in
// their own folder would be) reads their qt.conf and their plugin folders
// beside it: such a run gives up the capability before anything is loaded.
TEST_F(Privileged_Run, Gives_Up_The_Capability_In_A_Folder_Others_Than_Root_Can_Write) {
    struct TRow {
        const char* Name;
        bool Qt_Conf;  // a qt.conf names the plugin folder; otherwise the plugins lie beside the program
        const char* Kind;
        std::vector<std::pair<std::string, std::string>> Environment;
    };
    const TRow rows[] = {
        {"qt_conf", true, "platforms", {}},
        {"plugin_folder_beside_the_program", false, "styles", {{"QT_STYLE_OVERRIDE", "qevmarker"}}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::string folder = User_Folder(std::string("program-") + row.Name);
        const std::string program = folder + "/QEV_LPT";
        fs::copy_file(privileged, program);  // root's file, in nobody's folder
        ASSERT_EQ(Run_Shell("setcap cap_sys_nice+ep '" + program + "'").second, 0);
        std::string marker;
        if (row.Qt_Conf) {
            const std::string plugins = User_Folder(std::string("plugins-") + row.Name);
            marker = Place_Plugin(plugins, row.Kind);
            Write_File(folder + "/qt.conf", "[Paths]\nPlugins=" + plugins + "\n");
        } else {
            marker = Place_Plugin(folder, row.Kind);
        }
        const TRun run = Run(program, row.Name, {}, row.Environment, "");
        ASSERT_TRUE(File_Exists(marker)) << "the plugin was not loaded at all\n" << run.Errors;
        const std::string loaded_by = Read_File(marker);
        EXPECT_EQ(Capability_Set(loaded_by, "CapEff"), 0u) << loaded_by;
        EXPECT_EQ(Capability_Set(loaded_by, "CapPrm"), 0u) << loaded_by;
        EXPECT_NE(run.Errors.find("running without its capability"), std::string::npos) << run.Errors;
    }
}

}  // namespace
}  // namespace qev::test
