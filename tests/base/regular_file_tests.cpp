// Only a readable regular file opens for reading.
#include "base/regular_file.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

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

// A file read whole must fit the limit it is read with: one larger is
// refused with EFBIG before a byte is read (a sparse file of 20 GB is
// refused at once).
TEST(Regular_File, A_File_Larger_Than_The_Limit_Is_Refused_Unread) {
    TTemp_Dir dir;
    const std::string path = dir.File("file");
    struct Row {
        const char* name;
        off_t size;
        std::size_t limit;
        int error;
    };
    const std::vector<Row> rows = {
        {"at the limit", 1000, 1000, 0},
        {"one byte over", 1001, 1000, EFBIG},
        {"20 GB under the default limit", off_t{20} << 30, Default_Read_Limit, EFBIG},
        {"the default limit itself", static_cast<off_t>(Default_Read_Limit), Default_Read_Limit, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write_File(path, "head");
        ASSERT_EQ(::truncate(path.c_str(), row.size), 0);
        int error = 0;
        std::string contents;
        EXPECT_EQ(Read_Regular_File(path, contents, &error, row.limit), row.error == 0);
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(contents.size(), row.error == 0 ? static_cast<std::size_t>(row.size) : 0u);
        if (row.error == 0) {
            EXPECT_EQ(contents.substr(0, 4), "head");
        }
    }
}

TEST(Regular_File, Sizes_Read_As_People_Write_Them) {
    EXPECT_EQ(Size_Text(512), "512 bytes");
    EXPECT_EQ(Size_Text((std::uint64_t{16} << 20) + (std::uint64_t{1} << 19)), "16.5 MB");
    EXPECT_EQ(Size_Text(std::uint64_t{20} << 30), "20.0 GB");
}

}  // namespace
}  // namespace qev
