// Macro files' line ends and names.
#include "macro/core/macro_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev {
namespace {

TEST(Macro_File, Line_Ends_Become_One_Kind_And_Go_Back_As_CR_LF) {
    struct Row {
        const char* name;
        std::string file;
        std::string text;
        std::string written;  // the text exported again
    };
    const std::vector<Row> rows = {
        {"CR LF", "A\r\nB\r\n", "A\nB\n", "A\r\nB\r\n"},
        {"no line end at the end", "A\r\nB", "A\nB", "A\r\nB"},
        {"lone CR", "A\rB\r", "A\nB\n", "A\r\nB\r\n"},
        {"lone LF", "A\nB", "A\nB", "A\r\nB"},
        {"CR CR LF is an empty line and a line end", "A\r\r\nB", "A\n\nB", "A\r\n\r\nB"},
        {"other bytes unchanged", "\x81\xFE\t;x", "\x81\xFE\t;x", "\x81\xFE\t;x"},
        {"empty", "", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Macro_Text_From_File(row.file), row.text);
        EXPECT_EQ(Macro_File_From_Text(row.text), row.written);
    }
}

TEST(Macro_File, A_Bare_Name_Gets_The_Macro_Extension) {
    EXPECT_EQ(With_Macro_Extension("/m/evening"), "/m/evening.mcr");
    EXPECT_EQ(With_Macro_Extension("/m/evening.txt"), "/m/evening.txt");
    EXPECT_EQ(With_Macro_Extension("/m.d/evening"), "/m.d/evening.mcr") << "a dot in the folder does not count";
    EXPECT_EQ(With_Macro_Extension("evening.mcr"), "evening.mcr");
}

TEST(Macro_File, A_Leading_Byte_Order_Mark_Is_Taken_Aside) {
    struct Row {
        const char* name;
        std::string text;
        bool had_mark;
        std::string rest;
    };
    const std::vector<Row> rows = {
        {"at_the_start", "\xEF\xBB\xBFPOWER\n", true, "POWER\n"},
        {"only_a_mark", "\xEF\xBB\xBF", true, ""},
        {"in_the_middle", "A\xEF\xBB\xBF", false, "A\xEF\xBB\xBF"},
        {"half_a_mark", "\xEF\xBBX", false, "\xEF\xBBX"},
        {"none", "PLAY", false, "PLAY"},
    };
    for (Row row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Take_Byte_Order_Mark(row.text), row.had_mark);
        EXPECT_EQ(row.text, row.rest);
    }
}

}  // namespace
}  // namespace qev
