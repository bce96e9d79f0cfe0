// Only a readable regular file opens for reading.
#include "base/regular_file.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace qev {
namespace {

using test::TTemp_Dir;
using test::Write_File;

TEST(Regular_File, Opens_Only_A_Regular_File) {
    TTemp_Dir dir;
    Write_File(dir.File("file"), "bytes");
    std::filesystem::create_directory(dir.File("folder"));
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);  // opening must not wait for a writer
    std::filesystem::create_symlink("file", dir.File("link"));
    struct Row {
        const char* name;
        std::string path;
        int error;
    };
    for (const Row& row : {Row{"file", dir.File("file"), 0}, Row{"link to a file", dir.File("link"), 0},
                           Row{"missing", dir.File("none"), ENOENT}, Row{"folder", dir.File("folder"), EISDIR},
                           Row{"pipe", dir.File("pipe"), EINVAL}, Row{"device", "/dev/null", EINVAL}}) {
        SCOPED_TRACE(row.name);
        int error = 0;
        std::string contents;
        EXPECT_EQ(Read_Regular_File(row.path, contents, &error), row.error == 0);
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(contents, row.error == 0 ? "bytes" : "");
    }
}

}  // namespace
}  // namespace qev
