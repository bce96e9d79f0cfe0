// Save to File and Export to a path that cannot even be examined (a name
// too long, a loop of links, a folder that may not be searched): a failed
// save like any other. The window says so and goes on, and closing it still
// writes the Settings file.
#include "tests/support/qt/window_fixture.h"

#include <unistd.h>
#include <QAction>

#include <filesystem>

namespace qev::test {
namespace {

TEST_F(Window_Test, A_Path_That_Cannot_Be_Examined_Is_A_Failed_Save_And_The_Window_Goes_On) {
    Start();
    form->State().Load_Command_File(Command_File("in.rmt", "@REPEAT = 3\nPOWER,FF,01\n"), 1);
    form->show();
    std::filesystem::create_symlink("loop.ir", profile.File("loop.ir"));
    std::filesystem::create_directory(profile.File("closed"));
    struct Row {
        const char* name;
        std::string path;
    };
    std::vector<Row> rows = {
        {"a name over 255 bytes", profile.File(std::string(300, 'n') + ".ir")},
        {"a loop of links", profile.File("loop.ir")},
    };
    // Root may search any folder.
    if (::geteuid() != 0) rows.push_back({"a folder that may not be searched", profile.File("closed/x.ir")});
    std::filesystem::permissions(profile.File("closed"), std::filesystem::perms::owner_write);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const char* item : {"SavetoFile", "Export"}) {
            SCOPED_TRACE(item);
            messages.clear();
            chosen_files = {row.path};
            feedback.Chosen_Filter = 0;  // Flipper: the name keeps its ".ir"
            Named_Child<QAction>(*form, item)->trigger();
            EXPECT_EQ(Texts(), std::vector<std::string>{"Can't Create File / File Open Error"});
        }
    }
    std::filesystem::permissions(profile.File("closed"), std::filesystem::perms::owner_all);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->close());
    EXPECT_NE(Read_File(Settings_File()).find("REPEAT=3"), std::string::npos);
}

}  // namespace
}  // namespace qev::test
