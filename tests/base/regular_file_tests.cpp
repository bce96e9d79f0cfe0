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

// Read in pieces, a file gives the lines it gives split whole: lines across
// the pieces' ends and longer than a piece come whole, a last line without
// its newline comes too, and an empty file gives none.
TEST(Regular_File, Lines_Read_In_Pieces_Come_Whole) {
    TTemp_Dir dir;
    const std::string path = dir.File("file");
    std::string many;
    for (int i = 0; many.size() < 300000; ++i) many += std::string(static_cast<std::size_t>(i % 97), 'x') + "\n";
    struct Row {
        const char* name;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"empty", ""},
        {"one line", "one\n"},
        {"no last newline", "one\ntwo"},
        {"empty lines", "\n\n\n"},
        {"carriage returns stay", "a\r\nb\r\n"},
        {"a line longer than two pieces", "head\n" + std::string(200000, 'y') + "\ntail"},
        {"many lines across the pieces", many},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write_File(path, row.text);
        std::vector<std::string> lines;
        int error = -1;
        ASSERT_TRUE(Read_Regular_File_Lines(
            path,
            [&](std::string_view line) {
                lines.emplace_back(line);
                return true;
            },
            &error));
        std::vector<std::string> expected;
        for (std::size_t at = 0; at < row.text.size();) {
            const std::size_t end = std::min(row.text.find('\n', at), row.text.size());
            expected.push_back(row.text.substr(at, end - at));
            at = end + 1;
        }
        EXPECT_EQ(lines, expected);
    }
}

// Lines stop when asked; a file that cannot be read or is over the limit
// gives no line and says why.
TEST(Regular_File, Lines_Stop_When_Asked_And_Refuse_As_A_Whole_Read_Does) {
    TTemp_Dir dir;
    Write_File(dir.File("file"), "1\n2\n3\n");
    std::vector<std::string> lines;
    EXPECT_TRUE(Read_Regular_File_Lines(dir.File("file"), [&](std::string_view line) {
        lines.emplace_back(line);
        return lines.size() < 2;
    }));
    EXPECT_EQ(lines, (std::vector<std::string>{"1", "2"}));
    struct Row {
        const char* name;
        std::string path;
        std::size_t limit;
        int error;
    };
    for (const Row& row :
         {Row{"missing", dir.File("none"), Default_Read_Limit, ENOENT},
          Row{"folder", dir.Path(), Default_Read_Limit, EISDIR}, Row{"over the limit", dir.File("file"), 5, EFBIG}}) {
        SCOPED_TRACE(row.name);
        int error = 0;
        int taken = 0;
        EXPECT_FALSE(Read_Regular_File_Lines(
            row.path, [&](std::string_view) { return ++taken > 0; }, &error, row.limit));
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(taken, 0);
    }
}

TEST(Regular_File, Sizes_Read_As_People_Write_Them) {
    EXPECT_EQ(Size_Text(512), "512 bytes");
    EXPECT_EQ(Size_Text((std::uint64_t{16} << 20) + (std::uint64_t{1} << 19)), "16.5 MB");
    EXPECT_EQ(Size_Text(std::uint64_t{20} << 30), "20.0 GB");
}

}  // namespace
}  // namespace qev
