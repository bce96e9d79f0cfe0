// Reading and writing Command files.
#include "command_file.h"
#include "recording_feedback.h"
#include "temp_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace qev {
namespace {

using test::Read_File;
using test::TRecording_Feedback;
using test::TTemp_Dir;
using test::Write_File;

class Command_File_Test : public ::testing::Test {
protected:
    TTemp_Dir dir;
    TSettings settings;
    TCommand_Table table;
    TRecording_Feedback feedback;
    std::string path = dir.File("remote.rmt");

    void SetUp() override { table.Allocate(settings.MAX_RMTCMD_NUM, Row_Capacity_For(settings.MAX_RMTCMD_BIT_LENGTH)); }
    int Load(const std::string& text, int report = 1) {
        Write_File(path, text);
        return Load_Command_File(path, report, settings, table, feedback);
    }
    std::vector<uint8_t> Bytes(int32_t row) const {
        const auto& r = table.Row(row);
        return {r.Bytes.begin(), r.Bytes.begin() + r.Byte_Count};
    }
    std::vector<std::string> Captions() const { return feedback.Texts(); }
    void Add(const std::string& name, std::vector<uint8_t> bytes) {
        const int32_t row = table.Command_Count++;
        table.Set_Name(row, name);
        std::copy(bytes.begin(), bytes.end(), table.Row_Bytes(row));
        table.Row(row).Byte_Count = static_cast<int32_t>(bytes.size());
    }
};

TEST_F(Command_File_Test, Saving_And_Reading_Back_Reproduces_The_Table) {
    Add("POWER", {0xFF, 0x01, 0x00});
    Add("EMPTY", {});
    std::vector<uint8_t> full(128);
    for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<uint8_t>(i * 37);
    Add("VOL-UP long name with spaces", full);
    settings.REPEAT = 4;
    ASSERT_TRUE(Save_Command_File(path, settings, table, feedback));
    EXPECT_EQ(Read_File(path).substr(0, 41), "@REPEAT = 4\r\nPOWER,FF,01,00\r\nEMPTY\r\nVOL-U");
    EXPECT_EQ(feedback.Status_Texts.back(), "remote.rmt");

    TCommand_Table copy;
    copy.Allocate(256, 128);
    settings.REPEAT = 1;
    ASSERT_EQ(Load_Command_File(path, 1, settings, copy, feedback), 0);
    EXPECT_EQ(settings.REPEAT, 4);
    ASSERT_EQ(copy.Command_Count, 3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copy.Row(i).Name, table.Row(i).Name);
        ASSERT_EQ(copy.Row(i).Byte_Count, table.Row(i).Byte_Count);
        for (int32_t j = 0; j < copy.Row(i).Byte_Count; ++j) EXPECT_EQ(copy.Row(i).Bytes[j], table.Row(i).Bytes[j]);
    }
    EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(Command_File_Test, Record_Lines_Are_Read_Field_By_Field) {
    struct Row {
        const char* name;
        const char* line;
        const char* record_name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Row> rows = {
        {"plain", "POWER,FF,01,00", "POWER", {0xFF, 0x01, 0x00}},
        {"comment keeps the blank before it", "POWER ; learned today", "POWER ", {}},
        {"empty fields vanish", "POWER,,FF,,01,", "POWER", {0xFF, 0x01}},
        {"leading commas", ",,POWER,FF", "POWER", {0xFF}},
        {"blanks are a name", "   ", "   ", {}},
        {"two digits at most", "A,1ff", "A", {0x1F}},
        {"leading blank before a digit", "A, 7", "A", {0x07}},
        {"lower-case digits", "A,ab", "A", {0xAB}},
        {"no digit reads as zero", "A,zz,01", "A", {0x00, 0x01}},
        {"lower-case keyword is a name", "@repeat = 5", "@repeat = 5", {}},
        {"CR LF line end", "MUTE,0F\r", "MUTE", {0x0F}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(Load(std::string(row.line) + "\n"), 0);
        ASSERT_EQ(table.Command_Count, 1);
        EXPECT_EQ(table.Row(0).Name, row.record_name);
        EXPECT_EQ(Bytes(0), row.bytes);
    }
}

TEST_F(Command_File_Test, Comment_And_Comma_Only_Lines_Are_Skipped) {
    ASSERT_EQ(Load("; header\n\n,,,\nA,01\n;B,02\nC"), 0);  // last line without a line end
    ASSERT_EQ(table.Command_Count, 2);
    EXPECT_EQ(table.Row(0).Name, "A");
    EXPECT_EQ(table.Row(1).Name, "C");
}

TEST_F(Command_File_Test, Repetition_Lines) {
    struct Row {
        const char* name;
        const char* text;
        int result;
        int32_t repeat;
    };
    const std::vector<Row> rows = {
        {"spaced", "@REPEAT = 3\n", 0, 3},
        {"no spaces", "@REPEAT=5\n", 0, 5},
        {"anywhere in the line", "x @REPEAT y = 6 tail\n", 0, 6},
        {"last one wins", "@REPEAT = 2\nA\n@REPEAT = 7\n", 0, 7},
        {"negative", "@REPEAT = -2\n", 0, -2},
        {"no equals sign", "@REPEAT 5\n", -1, 1},
        {"no number", "@REPEAT = x\n", -1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        settings.REPEAT = 1;
        feedback.Messages.clear();
        EXPECT_EQ(Load(row.text), row.result);
        EXPECT_EQ(settings.REPEAT, row.repeat);
        if (row.result < 0) {
            EXPECT_EQ(Captions(), std::vector<std::string>{"Can't Read REPEAT Value / File Syntax Error"});
        }
    }
}

TEST_F(Command_File_Test, Only_A_Repetition_Line_Empties_The_Table) {
    Add("OLD", {1});
    const int refreshes = feedback.Refreshes;
    ASSERT_EQ(Load("@REPEAT = 3\r\n"), 0);
    EXPECT_EQ(table.Command_Count, 0);
    EXPECT_EQ(settings.REPEAT, 3);
    EXPECT_EQ(feedback.Refreshes, refreshes + 1);
}

TEST_F(Command_File_Test, A_Bad_Repetition_Line_Leaves_The_Table_As_It_Was) {
    Add("OLD0", {0x10});
    Add("OLD1", {0x11});
    const int refreshes = feedback.Refreshes;
    EXPECT_EQ(Load("@REPEAT = 2\nNEW0,AA\nNEW1,BB\n@REPEAT = oops\n"), -1);
    EXPECT_EQ(settings.REPEAT, 2) << "a value read before the error stays";
    EXPECT_EQ(table.Command_Count, 2);
    EXPECT_EQ(table.Row(0).Name, "OLD0");
    EXPECT_EQ(Bytes(0), std::vector<uint8_t>{0x10});
    EXPECT_EQ(feedback.Refreshes, refreshes);
}

TEST_F(Command_File_Test, Too_Many_Records_Keep_The_First_Ones) {
    settings.MAX_RMTCMD_NUM = 2;
    EXPECT_EQ(Load("A,01\nB,02\nC,03\nD,04\n"), 1);
    EXPECT_EQ(table.Command_Count, 2);
    EXPECT_EQ(table.Row(1).Name, "B");
    EXPECT_EQ(Captions(), std::vector<std::string>{"Unexpected Data Size / File Read Error"});
    EXPECT_EQ(feedback.Refreshes, 1);
}

TEST_F(Command_File_Test, Rows_Beyond_The_Allocation_Are_Never_Used) {
    settings.MAX_RMTCMD_NUM = 100000;  // raised while running: the table keeps its size
    table.Allocate(3, 128);
    std::string text;
    for (int i = 0; i < 5; ++i) text.append("R").append(std::to_string(i)).append(",01\n");
    EXPECT_EQ(Load(text), 1);
    EXPECT_EQ(table.Command_Count, 3);
}

TEST_F(Command_File_Test, Records_Longer_Than_A_Row_Keep_Their_First_Bytes) {
    settings.MAX_RMTCMD_BIT_LENGTH = 16;  // two bytes per row
    EXPECT_EQ(Load("A,01,02,03\nB,04\nC,05,06,07,08\n"), 1);
    EXPECT_EQ(table.Command_Count, 3);
    EXPECT_EQ(Bytes(0), (std::vector<uint8_t>{0x01, 0x02}));
    EXPECT_EQ(Bytes(1), (std::vector<uint8_t>{0x04}));
    EXPECT_EQ(Bytes(2), (std::vector<uint8_t>{0x05, 0x06}));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Command Buffer Overflow / File Read Error",
                                                    "Command Buffer Overflow / File Read Error"}));
}

TEST_F(Command_File_Test, Long_Lines_Are_Read_Whole) {
    settings.MAX_RMTCMD_BIT_LENGTH = 16000;
    table.Allocate(4, Row_Capacity_For(16000));
    std::string line = "LONG";
    for (int i = 0; i < 2000; ++i) line += ",A5";
    ASSERT_EQ(Load(line + "\r\nNEXT,01\r\n"), 0);
    EXPECT_EQ(table.Row(0).Byte_Count, 2000);
    EXPECT_EQ(table.Row(1).Name, "NEXT");
}

TEST_F(Command_File_Test, Over_Long_Names_Are_Cut_And_Reported) {
    EXPECT_EQ(Load(std::string(100, 'N') + ",01\n"), 1);
    EXPECT_EQ(table.Row(0).Name, std::string(79, 'N'));
    ASSERT_EQ(feedback.Messages.size(), 1u);
    EXPECT_EQ(feedback.Messages[0].Caption, "File Read Error");
}

TEST_F(Command_File_Test, Silent_Mode_Shows_Nothing_But_Returns_The_Same) {
    settings.MAX_RMTCMD_NUM = 1;
    EXPECT_EQ(Load("A\nB\n", 0), 1);
    EXPECT_EQ(Load("@REPEAT\n", 0), -1);
    EXPECT_EQ(Load_Command_File(dir.File("missing.rmt"), 0, settings, table, feedback), -1);
    EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(Command_File_Test, Opening_Sets_The_Folder_And_Status_Text) {
    std::filesystem::create_directory(dir.File("sub"));
    path = dir.File("sub/tv.rmt");
    Load("A\n");
    EXPECT_EQ(settings.RMT_DIR, dir.File("sub"));
    EXPECT_EQ(feedback.Status_Texts, std::vector<std::string>{"tv.rmt"});
}

TEST_F(Command_File_Test, A_Missing_File_Changes_Nothing) {
    Add("KEEP", {1});
    settings.RMT_DIR = "/before";
    EXPECT_EQ(Load_Command_File(dir.File("missing.rmt"), 1, settings, table, feedback), -1);
    EXPECT_EQ(Captions(), std::vector<std::string>{"Can't Open File / File Open Error"});
    EXPECT_EQ(settings.RMT_DIR, "/before");
    EXPECT_TRUE(feedback.Status_Texts.empty());
    EXPECT_EQ(table.Command_Count, 1);
}

TEST_F(Command_File_Test, Names_With_Separators_Do_Not_Survive_A_Round_Trip) {
    Add("A,B", {1});
    Add("C;D", {2});
    Add("E@REPEAT", {3});
    ASSERT_TRUE(Save_Command_File(path, settings, table, feedback));
    TCommand_Table copy;
    copy.Allocate(8, 128);
    EXPECT_EQ(Load_Command_File(path, 0, settings, copy, feedback), -1) << "the @REPEAT name breaks the file";
    Write_File(path, Read_File(path).substr(0, Read_File(path).find("E@")));
    ASSERT_EQ(Load_Command_File(path, 0, settings, copy, feedback), 0);
    EXPECT_EQ(copy.Row(0).Name, "A");
    EXPECT_EQ(copy.Row(1).Name, "C");
}

TEST_F(Command_File_Test, A_Failed_Save_Reports_And_Keeps_The_Old_File) {
    Write_File(path, "@REPEAT = 9\r\n");
    std::filesystem::create_directory(dir.File("blocked.rmt"));  // cannot be replaced by a file
    Add("A", {1});
    EXPECT_FALSE(Save_Command_File(dir.File("blocked.rmt"), settings, table, feedback));
    EXPECT_EQ(Captions(), std::vector<std::string>{"Can't Create File / File Open Error"});
    EXPECT_TRUE(feedback.Status_Texts.empty());
    EXPECT_FALSE(Save_Command_File("/nonexistent-qev-folder/x.rmt", settings, table, feedback));
    EXPECT_EQ(Read_File(path), "@REPEAT = 9\r\n");
}

TEST(Paths, Folder_And_File_Name_Parts) {
    struct Row {
        const char* path;
        const char* folder;
        const char* file;
    };
    for (const Row& row : std::vector<Row>{{"/a/b/x.rmt", "/a/b", "x.rmt"},
                                           {"/x.rmt", "/", "x.rmt"},
                                           {"x.rmt", "", "x.rmt"},
                                           {"rel/x.rmt", "rel", "x.rmt"}}) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(Folder_Of(row.path), row.folder);
        EXPECT_EQ(File_Name_Of(row.path), row.file);
    }
}

TEST(Keyword_Value, Result_Codes) {
    int32_t value = -99;
    EXPECT_EQ(Parse_Keyword_Value("nothing here", "@REPEAT", value), -1);
    EXPECT_EQ(Parse_Keyword_Value("@REPEAT 5", "@REPEAT", value), 1);
    EXPECT_EQ(Parse_Keyword_Value("@REPEAT = ", "@REPEAT", value), 2);
    EXPECT_EQ(value, -99);
    EXPECT_EQ(Parse_Keyword_Value("@REPEAT =\t+12abc", "@REPEAT", value), 0);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(Parse_Keyword_Value("@REPEAT = 99999999999", "@REPEAT", value), 0);
    EXPECT_EQ(value, INT32_MAX);
}

}  // namespace
}  // namespace qev
