// Reading and writing Command files.
#include "store/command_file.h"
#include "tests/support/temp_env.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <vector>

namespace qev {
namespace {

using test::Read_File;
using test::TTemp_Dir;
using test::Write_File;

class Command_File_Test : public ::testing::Test {
protected:
    TTemp_Dir dir;
    TCommand_File_Limits limits{256, 128};
    TCommand_Table table;
    std::vector<std::string> messages;  // "text / caption"
    TError_Sink sink = [this](const std::string& text, const std::string& caption) {
        messages.push_back(text + " / " + caption);
    };
    std::string path = dir.File("remote.rmt");

    void SetUp() override { table.Allocate(256, 128); }
    // Writes `text` as the file and reads it; result.Result is the reader's code.
    TCommand_File_Result Read(const std::string& text, bool report = true) {
        Write_File(path, text);
        return Read_Path(path, report);
    }
    TCommand_File_Result Read_Path(const std::string& file, bool report = true) {
        TCommand_File_Reader reader(file, limits, report ? sink : TError_Sink{});
        return reader.Read(table);
    }
    int Load(const std::string& text, bool report = true) { return Read(text, report).Result; }
    std::vector<uint8_t> Bytes(int32_t row) const {
        const auto& r = table.Row(row);
        return {r.Bytes.begin(), r.Bytes.begin() + r.Byte_Count};
    }
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
    ASSERT_TRUE(Save_Command_File(path, 4, table, sink));
    EXPECT_EQ(Read_File(path).substr(0, 41), "@REPEAT = 4\r\nPOWER,FF,01,00\r\nEMPTY\r\nVOL-U");

    TCommand_Table copy;
    copy.Allocate(256, 128);
    TCommand_File_Reader reader(path, limits, sink);
    const TCommand_File_Result read = reader.Read(copy);
    EXPECT_EQ(read.Result, 0);
    EXPECT_EQ(read.Repeat, 4);
    ASSERT_EQ(copy.Command_Count, 3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copy.Row(i).Name, table.Row(i).Name);
        ASSERT_EQ(copy.Row(i).Byte_Count, table.Row(i).Byte_Count);
        for (int32_t j = 0; j < copy.Row(i).Byte_Count; ++j) EXPECT_EQ(copy.Row(i).Bytes[j], table.Row(i).Bytes[j]);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Command_File_Test, Record_Lines_Are_Read_Field_By_Field) {
    struct Row {
        const char* name;
        std::string line;
        std::string record_name;
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
        {"digits after other text do not count", "A,x5,1 2", "A", {0x00, 0x01}},
        {"lower-case keyword is a name", "@repeat = 5", "@repeat = 5", {}},
        {"CR LF line end", "MUTE,0F\r", "MUTE", {0x0F}},
        {"a NUL byte ends the text like a comment", std::string("AB\0C,01", 7), "AB", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(Load(row.line + "\n"), 0);
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
        std::optional<int32_t> repeat;
    };
    const std::vector<Row> rows = {
        {"spaced", "@REPEAT = 3\n", 0, 3},
        {"no spaces", "@REPEAT=5\n", 0, 5},
        {"anywhere in the line", "x @REPEAT y = 6 tail\n", 0, 6},
        {"in a record's fields", "A,01,@REPEAT=8\n", 0, 8},
        {"last one wins", "@REPEAT = 2\nA\n@REPEAT = 7\n", 0, 7},
        {"negative", "@REPEAT = -2\n", 0, -2},
        {"saturates", "@REPEAT = 99999999999\n", 0, INT32_MAX},
        {"after a comment it does not count", "A ;@REPEAT = 4\n", 0, std::nullopt},
        {"a second keyword changes nothing", "@REPEAT @REPEAT = 9\n", 0, 9},
        {"no equals sign", "@REPEAT 5\n", -1, std::nullopt},
        {"no number", "@REPEAT = x\n", -1, std::nullopt},
        {"a blank after the sign", "@REPEAT = - 5\n", -1, std::nullopt},
        {"at the end of the file", "@REPEAT = 3", 0, 3},
        {"the good value before a bad line stays", "@REPEAT = 2\n@REPEAT\n", -1, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages.clear();
        const TCommand_File_Result read = Read(row.text);
        EXPECT_EQ(read.Result, row.result);
        EXPECT_EQ(read.Repeat, row.repeat);
        if (row.result < 0) {
            EXPECT_EQ(messages, std::vector<std::string>{"Can't Read REPEAT Value / File Syntax Error"});
        }
    }
}

TEST_F(Command_File_Test, The_Repetition_Rule_Is_That_Of_Parse_Keyword_Value) {
    for (const char* line : {"@REPEAT = 3", "@REPEAT=+12abc", "a@REPEAT b=c", "@REPEAT\t=\t-7 8", "@REPEAT = ",
                             "@@REPEAT=4", "@REPEA@REPEAT=5", "@REPEAT = 2147483648", "@REPEAT = -2147483649"}) {
        SCOPED_TRACE(line);
        int32_t value = 0;
        const int parsed = Parse_Keyword_Value(line, "@REPEAT", value);
        const TCommand_File_Result read = Read(std::string(line) + "\n");
        EXPECT_EQ(read.Result, parsed == 0 ? 0 : -1);
        if (parsed == 0) {
            EXPECT_EQ(read.Repeat, value);
        }
    }
}

TEST_F(Command_File_Test, Only_A_Repetition_Line_Empties_The_Table) {
    Add("OLD", {1});
    const TCommand_File_Result read = Read("@REPEAT = 3\r\n");
    EXPECT_EQ(read.Result, 0);
    EXPECT_EQ(read.Repeat, 3);
    EXPECT_EQ(table.Command_Count, 0);
}

TEST_F(Command_File_Test, A_Bad_Repetition_Line_Leaves_The_Table_As_It_Was) {
    Add("OLD0", {0x10});
    Add("OLD1", {0x11});
    const TCommand_File_Result read = Read("@REPEAT = 2\nNEW0,AA\nNEW1,BB\n@REPEAT = oops\n");
    EXPECT_EQ(read.Result, -1);
    EXPECT_EQ(read.Repeat, 2) << "a value read before the error stays";
    EXPECT_EQ(table.Command_Count, 2);
    EXPECT_EQ(table.Row(0).Name, "OLD0");
    EXPECT_EQ(Bytes(0), std::vector<uint8_t>{0x10});
}

TEST_F(Command_File_Test, Too_Many_Records_Keep_The_First_Ones) {
    limits.Rows = 2;
    EXPECT_EQ(Load("A,01\nB,02\nC,03\nD,04\n"), 1);
    EXPECT_EQ(table.Command_Count, 2);
    EXPECT_EQ(table.Row(1).Name, "B");
    EXPECT_EQ(messages, std::vector<std::string>{"Unexpected Data Size / File Read Error"});
}

TEST_F(Command_File_Test, Reading_Stops_At_The_First_Record_That_Does_Not_Fit) {
    limits.Rows = 1;
    const TCommand_File_Result read = Read("A,01\nB,02\n@REPEAT = oops\n");
    EXPECT_EQ(read.Result, 1) << "the bad repetition line after the stop is never read";
    EXPECT_EQ(table.Command_Count, 1);
}

TEST_F(Command_File_Test, Rows_Beyond_The_Allocation_Are_Never_Used) {
    limits.Rows = 100000;  // raised while running: the table keeps its size
    table.Allocate(3, 128);
    std::string text;
    for (int i = 0; i < 5; ++i) text.append("R").append(std::to_string(i)).append(",01\n");
    EXPECT_EQ(Load(text), 0) << "the limits given say 100000 rows";
    EXPECT_EQ(table.Command_Count, 3);
}

TEST_F(Command_File_Test, Records_Longer_Than_A_Row_Keep_Their_First_Bytes) {
    limits.Row_Bytes = 2;
    EXPECT_EQ(Load("A,01,02,03\nB,04\nC,05,06,07,08\n"), 1);
    EXPECT_EQ(table.Command_Count, 3);
    EXPECT_EQ(Bytes(0), (std::vector<uint8_t>{0x01, 0x02}));
    EXPECT_EQ(Bytes(1), (std::vector<uint8_t>{0x04}));
    EXPECT_EQ(Bytes(2), (std::vector<uint8_t>{0x05, 0x06}));
    EXPECT_EQ(messages, std::vector<std::string>{"Command Buffer Overflow\n2 records, the first at line 1: each keeps "
                                                 "its first 2 bytes. / File Read Error"});
}

TEST_F(Command_File_Test, Each_Kind_Of_Fault_Is_Reported_Once_With_Its_First_Line) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> messages;
    };
    const std::string long_name(80, 'N');
    const std::vector<Row> rows = {
        {"one long name",
         "A\n" + long_name + ",01\n",
         {"Command Name is too long (79 characters at most)\nLine 2: its first 79 characters are kept. / File "
          "Read Error"}},
        {"many long names",
         "\n" + long_name + "\n" + long_name + "\n",
         {"Command Name is too long (79 characters at most)\n2 records, the first at line 2: each keeps its first "
          "79 characters. / File Read Error"}},
        {"overflow first, then a long name",
         "A,1,2,3,4,5\n" + long_name + "\n",
         {"Command Buffer Overflow\nLine 1: its first 4 bytes are kept. / File Read Error",
          "Command Name is too long (79 characters at most)\nLine 2: its first 79 characters are kept. / File "
          "Read Error"}},
        {"faults, then the table is full",
         long_name + ",1,2,3,4,5\nB\nC\n",
         {"Command Name is too long (79 characters at most)\nLine 1: its first 79 characters are kept. / File "
          "Read Error",
          "Command Buffer Overflow\nLine 1: its first 4 bytes are kept. / File Read Error",
          "Unexpected Data Size / File Read Error"}},
    };
    limits = {2, 4};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages.clear();
        EXPECT_EQ(Load(row.text), 1);
        EXPECT_EQ(messages, row.messages);
    }
}

TEST_F(Command_File_Test, Random_Bytes_Raise_At_Most_One_Box_Per_Kind) {
    std::string noise;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        noise.push_back(static_cast<char>(x >> 24));
    }
    Load(noise);
    EXPECT_LE(messages.size(), 3u);
    EXPECT_LE(table.Command_Count, 256);
    for (int32_t i = 0; i < table.Command_Count; ++i) EXPECT_LE(table.Row(i).Name.size(), 79u);
}

TEST_F(Command_File_Test, Long_Lines_Are_Read_Whole) {
    limits.Row_Bytes = 2000;
    table.Allocate(4, 2000);
    std::string line = "LONG";
    for (int i = 0; i < 2000; ++i) line += ",A5";
    ASSERT_EQ(Load(line + "\r\nNEXT,01\r\n"), 0);
    EXPECT_EQ(table.Row(0).Byte_Count, 2000);
    EXPECT_EQ(table.Row(1).Name, "NEXT");
}

TEST_F(Command_File_Test, Text_Fed_In_Any_Pieces_Reads_The_Same) {
    const std::string text = "@REPEAT = 12\r\nPOWER,FF,01\r\n; note\r\nVOL ,1f ,x\rY\r\nLAST,0";
    TCommand_Table whole;
    whole.Allocate(8, 16);
    const TCommand_File_Result expected = Read_Command_Text(text, {8, 16}, whole, sink);
    for (const std::size_t piece : {1u, 2u, 3u, 7u}) {
        SCOPED_TRACE(piece);
        TCommand_Table parts;
        parts.Allocate(8, 16);
        TCommand_File_Parser parser({8, 16});
        for (std::size_t at = 0; at < text.size(); at += piece) parser.Feed(std::string_view(text).substr(at, piece));
        const TCommand_File_Result read = parser.Finish(parts, sink);
        EXPECT_EQ(read.Result, expected.Result);
        EXPECT_EQ(read.Repeat, expected.Repeat);
        ASSERT_EQ(parts.Command_Count, whole.Command_Count);
        for (int32_t i = 0; i < whole.Command_Count; ++i) {
            EXPECT_EQ(parts.Row(i).Name, whole.Row(i).Name);
            EXPECT_EQ(parts.Row(i).Byte_Count, whole.Row(i).Byte_Count);
        }
    }
    EXPECT_EQ(whole.Command_Count, 4);
    EXPECT_EQ(whole.Row(1).Name, "VOL ");
    EXPECT_EQ(whole.Row(1).Byte_Count, 2) << "1f and x";
    EXPECT_EQ(whole.Row(2).Name, "Y") << "after a CR alone";
}

// CR LF as written, LF alone, and CR alone as older Macintosh editors wrote:
// each ends a line, and a CR LF is one line end, not two.
TEST_F(Command_File_Test, Every_Kind_Of_Line_End_Ends_A_Line) {
    struct Row {
        const char* name;
        std::string text;
        int line_of_fault;  // of the one record too long for a row
    };
    const std::vector<Row> rows = {
        {"CR LF", "@REPEAT = 3\r\nA,01\r\n\r\nB,02,03\r\nC\r\n", 4},
        {"LF", "@REPEAT = 3\nA,01\n\nB,02,03\nC\n", 4},
        {"CR", "@REPEAT = 3\rA,01\r\rB,02,03\rC\r", 4},
        {"mixed, no end at the end", "@REPEAT = 3\r\nA,01\r\rB,02,03\n\r\nC", 4},
    };
    limits.Row_Bytes = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages.clear();
        const TCommand_File_Result read = Read(row.text);
        EXPECT_EQ(read.Repeat, 3);
        ASSERT_EQ(table.Command_Count, 3);
        EXPECT_EQ(table.Row(0).Name, "A");
        EXPECT_EQ(table.Row(1).Name, "B");
        EXPECT_EQ(table.Row(2).Name, "C");
        EXPECT_EQ(Bytes(1), std::vector<uint8_t>{0x02});
        EXPECT_EQ(messages,
                  std::vector<std::string>{"Command Buffer Overflow\nLine " + std::to_string(row.line_of_fault) +
                                           ": its first 1 bytes are kept. / File Read Error"});
    }
}

TEST_F(Command_File_Test, Silent_Mode_Shows_Nothing_But_Returns_The_Same) {
    limits.Rows = 1;
    EXPECT_EQ(Load("A\nB\n", false), 1);
    EXPECT_EQ(Load("@REPEAT\n", false), -1);
    TCommand_File_Reader missing(dir.File("missing.rmt"), limits, TError_Sink{});
    EXPECT_FALSE(missing.Is_Open());
    EXPECT_TRUE(messages.empty());
}

TEST_F(Command_File_Test, Only_A_Readable_Regular_File_Opens) {
    std::filesystem::create_directory(dir.File("folder.rmt"));
    ASSERT_EQ(mkfifo(dir.File("pipe.rmt").c_str(), 0600), 0);
    for (const std::string& file : {dir.File("missing.rmt"), dir.File("folder.rmt"), dir.File("pipe.rmt")}) {
        SCOPED_TRACE(file);
        messages.clear();
        TCommand_File_Reader reader(file, limits, sink);
        EXPECT_FALSE(reader.Is_Open());
        EXPECT_EQ(messages, std::vector<std::string>{"Can't Open File / File Open Error"});
    }
}

// A file far larger than any table of the limits can take is refused
// before a byte is read, as a file that does not open, and the table stays
// as it was. The files are sparse: the test writes almost nothing.
TEST_F(Command_File_Test, A_File_Larger_Than_The_Table_Can_Take_Is_Refused_Unread) {
    const uint64_t limit = Command_File_Size_Limit(limits);
    EXPECT_EQ(limit, (uint64_t{16} << 20) + 2 * 256 * (79 + 3 * 128 + 2)) << "twice the longest file, and 16 MB";
    Add("OLD", {1});
    struct Row {
        const char* name;
        uint64_t size;
        const char* size_text;
    };
    const std::vector<Row> rows = {
        {"20 GB of zeros", uint64_t{20} << 30, "20.0 GB"},
        {"one byte over", limit + 1, "16.2 MB"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write_File(path, "A,01\n");
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(row.size)), 0);
        messages.clear();
        TCommand_File_Reader reader(path, limits, sink);
        EXPECT_FALSE(reader.Is_Open());
        EXPECT_EQ(messages, std::vector<std::string>{"Can't Open File\nThe file is " + std::string(row.size_text) +
                                                     ", more than 256 commands of 128 bytes can take (16.2 MB "
                                                     "at most). / File Open Error"});
        EXPECT_EQ(table.Command_Count, 1);
        EXPECT_EQ(table.Row(0).Name, "OLD");
    }
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(limit)), 0);
    messages.clear();
    EXPECT_EQ(Read_Path(path).Result, 0) << "a file of the limit is read";
    ASSERT_EQ(table.Command_Count, 1);
    EXPECT_EQ(table.Row(0).Name, "A");
    EXPECT_TRUE(messages.empty());
}

TEST_F(Command_File_Test, Names_With_Separators_Do_Not_Survive_A_Round_Trip) {
    Add("A,B", {1});
    Add("C;D", {2});
    Add("E@REPEAT", {3});
    ASSERT_TRUE(Save_Command_File(path, 1, table, sink));
    EXPECT_EQ(Read_Path(path, false).Result, -1) << "the @REPEAT name breaks the file";
    Write_File(path, Read_File(path).substr(0, Read_File(path).find("E@")));
    ASSERT_EQ(Read_Path(path, false).Result, 0);
    EXPECT_EQ(table.Row(0).Name, "A");
    EXPECT_EQ(table.Row(1).Name, "C");
}

TEST_F(Command_File_Test, A_Failed_Save_Reports_And_Keeps_The_Old_File) {
    Write_File(path, "@REPEAT = 9\r\n");
    std::filesystem::create_directory(dir.File("blocked.rmt"));  // cannot be replaced by a file
    Add("A", {1});
    EXPECT_FALSE(Save_Command_File(dir.File("blocked.rmt"), 1, table, sink));
    EXPECT_EQ(messages, std::vector<std::string>{"Can't Create File / File Open Error"});
    EXPECT_FALSE(Save_Command_File("/nonexistent-qev-folder/x.rmt", 1, table, sink));
    EXPECT_EQ(Read_File(path), "@REPEAT = 9\r\n");
}

TEST_F(Command_File_Test, A_Write_Protected_File_Is_Not_Replaced) {
    // As an ordinary user: root may write any file, so the save would rightly succeed.
    Write_File(path, "@REPEAT = 9\r\nOLD,01\r\n");
    test::Give_To_Test_User(dir.Path());
    test::Give_To_Test_User(path);
    ::chmod(path.c_str(), 0444);
    Add("NEW", {2});
    const int result = test::Run_Unprivileged([&] {
        messages.clear();
        const bool saved = Save_Command_File(path, 1, table, sink);
        return saved ? 1 : messages == std::vector<std::string>{"Can't Create File / File Open Error"} ? 0 : 2;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Read_File(path), "@REPEAT = 9\r\nOLD,01\r\n");
    EXPECT_EQ(
        std::filesystem::status(path).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::group_read | std::filesystem::perms::others_read);
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
    struct Row {
        const char* name;
        const char* line;
        int result;
        int32_t value;
    };
    const std::vector<Row> rows = {
        {"no keyword", "nothing here", -1, -99},
        {"no equals sign", "@REPEAT 5", 1, -99},
        {"no number", "@REPEAT = ", 2, -99},
        {"sign and trailing text", "@REPEAT =\t+12abc", 0, 12},
        {"the first equals sign after the keyword", "= 1 @REPEAT x = 2 = 3", 0, 2},
        {"saturates upward", "@REPEAT = 99999999999", 0, INT32_MAX},
        {"saturates downward", "@REPEAT = -99999999999", 0, INT32_MIN},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int32_t value = -99;
        EXPECT_EQ(Parse_Keyword_Value(row.line, "@REPEAT", value), row.result);
        EXPECT_EQ(value, row.value);
    }
}

}  // namespace
}  // namespace qev
