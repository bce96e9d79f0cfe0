// The INI editor: reading takes the first section and key of a name, and a
// write changes one value and not a byte more.
#include "app/settings/ini_file.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev {
namespace {

TEST(Ini_Text, Reads_The_First_Section_And_Key_Of_A_Name) {
    struct Row {
        const char* name;
        const char* text;
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const std::vector<Row> rows = {
        {"plain", "[FORM]\nKEY=value\n", "FORM", "KEY", "value"},
        {"names ignore case", "[form]\nkey=value\n", "FORM", "KEY", "value"},
        {"blanks around names and value", "  [ FORM ]  \n  KEY  =  a value  \n", "FORM", "KEY", "a value"},
        {"empty value", "[FORM]\nKEY=\n", "FORM", "KEY", ""},
        {"the first key wins", "[FORM]\nKEY=1\nKEY=2\n", "FORM", "KEY", "1"},
        {"the first section wins", "[FORM]\nA=1\n[FORM]\nKEY=2\n", "FORM", "KEY", std::nullopt},
        {"a key in another section", "[OTHER]\nKEY=1\n", "FORM", "KEY", std::nullopt},
        {"before any section", "KEY=1\n[FORM]\n", "FORM", "KEY", std::nullopt},
        {"a commented key is another key", "[FORM]\n;KEY=1\n", "FORM", "KEY", std::nullopt},
        {"CR LF", "[FORM]\r\nKEY=v\r\n", "FORM", "KEY", "v"},
        {"no line end at the end", "[FORM]\nKEY=v", "FORM", "KEY", "v"},
        {"text after the header", "[FORM] ; the face\nKEY=v\n", "FORM", "KEY", "v"},
        {"an unclosed header is no header", "[FORM]\n[OTHER\nKEY=v\n", "FORM", "KEY", "v"},
        {"equals signs in the value", "[FORM]\nKEY=a=b\n", "FORM", "KEY", "a=b"},
        {"a CR alone ends a line", "[FORM]\nKEY=a\rb\r\n", "FORM", "KEY", "a"},
        {"CR alone throughout", "[OTHER]\rKEY=1\r[FORM]\rA=2\rKEY=v\r", "FORM", "KEY", "v"},
        {"CR LF is one line end", "[FORM]\r\n\r\nKEY=v\r\n", "FORM", "KEY", "v"},
        {"a byte order mark", "\xEF\xBB\xBF[FORM]\nKEY=v\n", "FORM", "KEY", "v"},
        {"empty file", "", "FORM", "KEY", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TIni_Text(row.text).Value(row.section, row.key), row.value);
    }
}

TEST(Ini_Text, A_Write_Changes_Only_Its_Value) {
    struct Row {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    };
    const std::vector<Row> rows = {
        {"in place, spelling kept", "; c\n[server]\nport = 1234\nNOTE=x\n", "SERVER", "PORT", "4321",
         "; c\n[server]\nport = 4321\nNOTE=x\n"},
        {"the same value leaves trailing blanks", "[S]\nK=v   \r\n", "S", "K", "v", "[S]\nK=v   \r\n"},
        {"an empty value is filled", "[S]\nK=\nL=1\n", "S", "K", "v", "[S]\nK=v\nL=1\n"},
        {"the first of duplicate keys", "[S]\nK=1\nK=2\n", "S", "K", "9", "[S]\nK=9\nK=2\n"},
        {"a missing key after the section's last key", "[S]\nA=1\n\n; next\n[T]\n", "S", "K", "v",
         "[S]\nA=1\nK=v\n\n; next\n[T]\n"},
        {"a missing key in an empty section", "[S]\n[T]\nA=1\n", "S", "K", "v", "[S]\nK=v\n[T]\nA=1\n"},
        {"a missing key in the first of two sections", "[S]\nA=1\n[S]\nK=old\n", "S", "K", "v",
         "[S]\nA=1\nK=v\n[S]\nK=old\n"},
        {"a missing section at the end", "[S]\nA=1\n", "T", "K", "v", "[S]\nA=1\n[T]\nK=v\n"},
        {"the file's own line ends", "[S]\r\nA=1\r\n", "T", "K", "v", "[S]\r\nA=1\r\n[T]\r\nK=v\r\n"},
        {"a last line without its line end", "[S]\nA=1", "S", "K", "v", "[S]\nA=1\nK=v\n"},
        {"an empty file", "", "S", "K", "v", "[S]\nK=v\n"},
        {"a value cannot break the file", "[S]\nK=1\n", "S", "K", "a\n[T]\nX=1", "[S]\nK=a\n"},
        {"a CR ends a value too", "[S]\nK=1\n", "S", "K", "a\rb", "[S]\nK=a\n"},
        {"CR alone: in place", "[S]\rK=1\rL=2\r", "S", "K", "9", "[S]\rK=9\rL=2\r"},
        {"CR alone: a missing key", "[S]\rA=1\r[T]\r", "S", "K", "v", "[S]\rA=1\rK=v\r[T]\r"},
        {"CR alone: a missing section", "[S]\rA=1\r", "T", "K", "v", "[S]\rA=1\r[T]\rK=v\r"},
        {"CR alone: a last line without its line end", "[S]\rA=1", "S", "K", "v", "[S]\rA=1\rK=v\r"},
        {"CR alone: an empty LF line after the new key stays", "[S]\rA=1\n\n[T]\r", "S", "K", "v",
         "[S]\rA=1\nK=v\r\n\n[T]\r"},
        {"odd lines stay", "junk\n[S]\nnot a key\nK=1\n", "S", "K", "2", "junk\n[S]\nnot a key\nK=2\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TIni_Text ini(row.before);
        ini.Set_Value(row.section, row.key, row.value);
        EXPECT_EQ(ini.Text(), row.after);
    }
}

TEST(Ini_File, Unchanged_Values_Leave_The_File_Alone) {
    test::TTemp_Dir dir;
    const std::string path = dir.File("x.ini");
    test::Write_File(path, "[S]\r\nK = 0x10 \r\n");
    TIni_File file(path);
    EXPECT_EQ(file.Read_Integer("s", "k", 0), 16);
    ASSERT_TRUE(file.Write_String("S", "K", "0x10"));
    EXPECT_EQ(test::Read_File(path), "[S]\r\nK = 0x10 \r\n");
    ASSERT_TRUE(file.Write_Integer("S", "K", 16));
    EXPECT_EQ(test::Read_File(path), "[S]\r\nK = 16 \r\n") << "the blanks around the value stay";
    EXPECT_EQ(file.Read_String("S", "MISSING", "default"), "default");
    EXPECT_EQ(TIni_File(dir.File("missing.ini")).Read_String("S", "K", "d"), "d");
}

}  // namespace
}  // namespace qev
