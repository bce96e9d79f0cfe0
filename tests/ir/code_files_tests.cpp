// The code file formats by extension, and reading a file that cannot be read.
#include "ir/code_files.h"

#include <gtest/gtest.h>

namespace qev {
namespace {

TEST(Code_Files_Test, Formats_Come_From_Extensions) {
    EXPECT_EQ(Format_Of_Path("a/b/tv.RMT"), TCode_Format::Command_File);
    EXPECT_EQ(Format_Of_Path("tv.ir"), TCode_Format::Flipper);
    EXPECT_EQ(Format_Of_Path("/etc/lirc/lircd.conf"), TCode_Format::Lircd);
    EXPECT_EQ(Format_Of_Path("codes.Pronto"), TCode_Format::Pronto);
    EXPECT_FALSE(Format_Of_Path("tv.txt").has_value());
    EXPECT_FALSE(Format_Of_Path("ir").has_value());
}

TEST(Code_Files_Test, A_File_That_Cannot_Be_Read_Says_Why) {
    const TIR_File missing = Read_Code_File("/nonexistent/tv.ir", TCode_Format::Flipper);
    ASSERT_EQ(missing.Errors.size(), 1u);
    EXPECT_EQ(Describe_Error("/nonexistent/tv.ir", missing.Errors[0]), "/nonexistent/tv.ir: No such file or directory");
    const TIR_File folder = Read_Code_File("/", TCode_Format::Pronto);
    ASSERT_EQ(folder.Errors.size(), 1u);
    EXPECT_TRUE(folder.Records.empty());
    EXPECT_EQ(Describe_Error("tv.ir", {12, "bad duration 'x9'"}), "tv.ir, line 12: bad duration 'x9'");
}

}  // namespace
}  // namespace qev
