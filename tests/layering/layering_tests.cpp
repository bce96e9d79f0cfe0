// The layer check on small source trees: a sound tree passes, and each kind of
// fault fails with a message that names the file and what it broke. Then the
// check as the build runs it: a project that holds nothing but the check's
// target fails to build on a violation and does nothing when nothing changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TRun {
    int status;  // the exit status, -1 when the program did not exit
    std::string output;
};

std::ostream& operator<<(std::ostream& out, const TRun& run) {
    return out << "exit " << run.status << ":\n" << run.output;
}

// Runs a program with its standard output and error collected.
TRun Run_Program(const std::vector<std::string>& args) {
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) return {-1, "pipe failed"};
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], STDOUT_FILENO);
        dup2(pipe_ends[1], STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipe_ends[1]);
    TRun run{-1, ""};
    char buffer[4096];
    ssize_t count;
    while ((count = read(pipe_ends[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, count);
    close(pipe_ends[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

class TTemp_Folder {
public:
    TTemp_Folder() {
        std::string pattern = (fs::temp_directory_path() / "qev_layers_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TTemp_Folder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TTemp_Folder(const TTemp_Folder&) = delete;
    TTemp_Folder& operator=(const TTemp_Folder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

using TFiles = std::vector<std::pair<std::string, std::string>>;

void Write_Files(const fs::path& root, const TFiles& files) {
    for (const auto& [path, text] : files) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    }
}

// One file in each kind of folder, each including what its row allows: down
// the layers, in quotes and in angle brackets; the port library's interface;
// Qt above the display-free core; a system header named like a project folder
// (<net/if.h>); the tests' generated .moc; folders without code and build trees.
const TFiles Sound_Tree = {
    {"base/leaf.h", "#include <string>\n"},
    {"io/io_api.h", "#include \"base/leaf.h\"\n"},
    {"io/backend.h", "#include \"io/io_api.h\"\n"},
    {"store/table.h", "#include \"base/leaf.h\"\n"},
    {"app/settings/settings.h", "#include \"base/leaf.h\"\n"},
    {"ir/codes.h", "#include <base/leaf.h>\n"},
    {"irport/port.h", "#include \"io/io_api.h\"\n#include \"base/leaf.h\"\n"},
    {"app/core/state.h",
     "#include \"app/settings/settings.h\"\n#include \"store/table.h\"\n#include \"ir/codes.h\"\n"
     "#include \"irport/port.h\"\n"},
    {"macro/core/macro.h", "#include \"app/core/state.h\"\n"},
    {"learn/core/analysis.h", "#include <app/core/state.h>\n"},
    {"net/listener.h", "#include <net/if.h>\n#include <QTcpServer>\n#include \"macro/core/macro.h\"\n"},
    {"controls/button.h", "#include <QWidget>\n#include \"base/leaf.h\"\n"},
    {"learn/ui/form.h", "#include \"learn/core/analysis.h\"\n#include \"controls/button.h\"\n"},
    {"app/window/main.h", "#include \"learn/ui/form.h\"\n#include \"net/listener.h\"\n"},
    {"app/icons/app.xpm", "static const char* app_xpm[] = {};\n"},
    {"app/main.cpp", "#include \"app/window/main.h\"\n#include \"app/icons/app.xpm\"\n"},
    {"tools/tool/tool.cpp", "#include \"ir/codes.h\"\n#include \"app/core/state.h\"\n"},
    {"packaging/make_icons.cpp", "#include \"app/icons/app.xpm\"\n"},
    {"harness/sim.h", "#include \"io/backend.h\"\n"},
    {"bench/bench.cpp", "#include \"harness/sim.h\"\n#include \"app/core/state.h\"\n"},
    {"bench/stats.h", ""},
    {"fuzz/fuzz_table.cpp", "#include \"store/table.h\"\n#include \"harness/sim.h\"\n"},
    {"docs/screenshots/shots.cpp", "#include \"app/window/main.h\"\n"},
    {"tests/support/double.h", "#include \"io/backend.h\"\n"},
    {"tests/bench/stats_tests.cpp", "#include \"bench/stats.h\"\n#include \"tests/support/double.h\"\n"},
    {"tests/app/form_tests.cpp", "#include \"app/window/main.h\"\n#include \"form_tests.moc\"\n"},
    {"cmake/flags.cmake", ""},
    {"scripts/build", ""},
    {"build-asan/generated.cpp", "#include \"nowhere.h\"\n"},
    {"out/CMakeCache.txt", ""},
    {"out/generated.cpp", "#include \"nowhere.h\"\n"},
};

struct TLayer_Row {
    const char* name;
    TFiles added;          // written over the sound tree
    const char* expected;  // what the check reports; nullptr: it passes
};

void PrintTo(const TLayer_Row& row, std::ostream* out) { *out << row.name; }

class Layer_Check_Test : public ::testing::TestWithParam<TLayer_Row> {};

TEST_P(Layer_Check_Test, Passes_A_Sound_Tree_And_Names_Each_Fault) {
    const TLayer_Row& row = GetParam();
    TTemp_Folder tree;
    ASSERT_FALSE(tree.Path().empty());
    Write_Files(tree.Path(), Sound_Tree);
    Write_Files(tree.Path(), row.added);
    const TRun run = Run_Program({QEV_CMAKE, "-DROOT=" + tree.Path().string(), "-P", QEV_LAYER_CHECK_SCRIPT});
    if (row.expected == nullptr) {
        EXPECT_EQ(run.status, 0) << run;
        EXPECT_NE(run.output.find("layers hold"), std::string::npos) << run;
    } else {
        EXPECT_NE(run.status, 0) << run;
        EXPECT_NE(run.output.find(row.expected), std::string::npos) << run;
        EXPECT_NE(run.output.find("1 violation(s)"), std::string::npos) << run;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, Layer_Check_Test,
    ::testing::Values(TLayer_Row{"a_sound_tree_passes", {}, nullptr},
                      TLayer_Row{"an_unknown_top_level_folder_fails",
                                 {{"gadgets/lamp.h", "#include \"base/leaf.h\"\n"}},
                                 "gadgets/: a top-level folder the layer check does not know"},
                      TLayer_Row{"an_unknown_top_level_folder_without_code_fails",
                                 {{"assets/notes.txt", ""}},
                                 "assets/: a top-level folder the layer check does not know"},
                      TLayer_Row{"an_upward_include_in_angle_brackets_fails",
                                 {{"store/table_file.h", "#include <app/core/state.h>\n"}},
                                 "store/table_file.h: store/ may not include app/core/"},
                      TLayer_Row{"store_including_app_window_fails",
                                 {{"store/view.h", "#include \"app/window/main.h\"\n"}},
                                 "store/view.h: store/ may not include app/window/"},
                      TLayer_Row{"ir_including_store_fails",
                                 {{"ir/bridge.h", "#include \"store/table.h\"\n"}},
                                 "ir/bridge.h: ir/ may not include store/"},
                      TLayer_Row{"a_ui_folder_including_another_dialog_s_core_fails",
                                 {{"learn/ui/macro_button.h", "#include \"macro/core/macro.h\"\n"}},
                                 "learn/ui/ may not include macro/core/"},
                      TLayer_Row{"tools_including_widgets_fails",
                                 {{"tools/tool/window.h", "#include \"controls/button.h\"\n"}},
                                 "tools/ may not include controls/"},
                      TLayer_Row{"a_project_include_not_named_from_the_root_fails",
                                 {{"store/table_file.h", "#include \"table.h\"\n"}},
                                 "store/table_file.h: \"table.h\" does not name a file from the source root"},
                      TLayer_Row{
                          "a_project_include_through_a_parent_folder_fails",
                          {{"store/view.h", "#include <store/../app/window/main.h>\n"}},
                          "store/view.h: <store/../app/window/main.h> does not name a file from the source root"},
                      TLayer_Row{"bench_including_tests_fails",
                                 {{"bench/repeat.cpp", "#include \"tests/support/double.h\"\n"}},
                                 "bench/repeat.cpp: bench/ may not include tests/"},
                      TLayer_Row{"fuzz_including_tests_fails",
                                 {{"fuzz/fuzz_macro.cpp", "#include <tests/support/double.h>\n"}},
                                 "fuzz/fuzz_macro.cpp: fuzz/ may not include tests/"},
                      TLayer_Row{"harness_including_tests_fails",
                                 {{"harness/clock.h", "#include \"tests/support/double.h\"\n"}},
                                 "harness/clock.h: harness/ may not include tests/"},
                      TLayer_Row{"a_qt_header_in_the_display_free_core_fails",
                                 {{"app/core/model.h", "#include <QObject>\n"}},
                                 "app/core/model.h: app/core/ builds without Qt but includes <QObject>"},
                      TLayer_Row{"the_port_library_s_insides_outside_io_fail",
                                 {{"irport/direct.h", "#include \"io/backend.h\"\n"}},
                                 "only io/io_api.h of the port library may be included"},
                      TLayer_Row{"a_file_in_no_row_of_its_folder_fails",
                                 {{"learn/helpers.h", "#include \"base/leaf.h\"\n"}},
                                 "learn/helpers.h: in no folder of the layer table"},
                      TLayer_Row{"code_in_a_folder_that_holds_none_fails",
                                 {{"cmake/probe.cpp", ""}},
                                 "cmake/probe.cpp: cmake/ holds no code of the program"}),
    [](const auto& info) { return std::string(info.param.name); });

// A project with nothing but the check's target, set up as the program's own
// CMakeLists.txt sets it up, configured and built like the program.
class Layer_Check_Build_Test : public ::testing::Test {
protected:
    TTemp_Folder folder;
    fs::path source;
    fs::path build;
    fs::path stamp;

    void SetUp() override {
        ASSERT_FALSE(folder.Path().empty());
        source = folder.Path() / "source tree";
        build = folder.Path() / "build tree";
        stamp = build / "layer_check" / "passed.stamp";
        Write_Files(source, Sound_Tree);
        Write_Files(source, {{"CMakeLists.txt", std::string("cmake_minimum_required(VERSION 3.25)\n"
                                                            "project(layers NONE)\n"
                                                            "include(\"") +
                                                    QEV_LAYER_CHECK_MODULE +
                                                    "\")\n"
                                                    "qev_add_layer_check(\"${PROJECT_SOURCE_DIR}\")\n"}});
        const TRun configure =
            Run_Program({QEV_CMAKE, "-S", source.string(), "-B", build.string(), "-G", QEV_CMAKE_GENERATOR,
                         std::string("-DCMAKE_MAKE_PROGRAM=") + QEV_CMAKE_MAKE_PROGRAM});
        ASSERT_EQ(configure.status, 0) << configure;
    }
    TRun Build() { return Run_Program({QEV_CMAKE, "--build", build.string()}); }
};

TEST_F(Layer_Check_Build_Test, Runs_In_The_Default_Build_Once_And_Again_After_A_Change) {
    const TRun first = Build();
    ASSERT_EQ(first.status, 0) << first;
    ASSERT_TRUE(fs::exists(stamp));
    const auto passed_at = fs::last_write_time(stamp);

    const TRun again = Build();
    EXPECT_EQ(again.status, 0) << again;
    EXPECT_EQ(fs::last_write_time(stamp), passed_at) << "the check ran again with nothing changed";

    Write_Files(source, {{"store/table.h", "#include \"app/window/main.h\"\n"}});
    const TRun edited = Build();
    EXPECT_NE(edited.status, 0) << edited;
    EXPECT_NE(edited.output.find("store/ may not include app/window/"), std::string::npos) << edited;

    Write_Files(source, {{"store/table.h", "#include \"base/leaf.h\"\n"}});
    const TRun mended = Build();
    EXPECT_EQ(mended.status, 0) << mended;
}

// Even one without a C++ file: no file newer than the last check, only the
// list of top-level folders tells.
TEST_F(Layer_Check_Build_Test, A_New_Top_Level_Folder_Fails_The_Next_Build) {
    const TRun first = Build();
    ASSERT_EQ(first.status, 0) << first;

    Write_Files(source, {{"assets/notes.txt", ""}});
    const TRun added = Build();
    EXPECT_NE(added.status, 0) << added;
    EXPECT_NE(added.output.find("assets/: a top-level folder the layer check does not know"), std::string::npos)
        << added;
}

}  // namespace
