// The code file formats by extension, reading a file whole or record by
// record, and a file that cannot be read.
#include "ir/code_files.h"
#include "ir/flipper_file.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A record as one line, to compare what two reads give.
std::string Record_Text(const TIR_Record& record) {
    std::string text = record.Name + " |";
    if (record.Code) {
        text += " code " + std::to_string(static_cast<int>(record.Code->Protocol)) + " " +
                std::to_string(record.Code->Address) + " " + std::to_string(record.Code->Command);
    }
    for (const int32_t d : record.Timing.Durations_us) text += " " + std::to_string(d);
    return text + " @" + std::to_string(record.Timing.Carrier_Hz);
}

std::vector<std::string> Texts_Of(const TIR_File& file) {
    std::vector<std::string> texts;
    for (const TIR_Record& record : file.Records) texts.push_back(Record_Text(record));
    for (const TFormat_Error& error : file.Errors) texts.push_back(Describe_Error("f", error));
    return texts;
}

// Records handed over one by one as they are read are the records a whole
// read keeps, in order, and the errors are the same: for every format, and
// for a Flipper file read from its file a line at a time as from its text.
TEST(Code_Files_Test, Records_Handed_Over_As_Read_Are_Those_A_Whole_Read_Keeps) {
    std::string long_data = "data:";
    for (int i = 0; i < 30000; ++i) long_data += i % 2 == 0 ? " 560" : " 1690";
    struct Row {
        const char* name;
        const char* file;
        TCode_Format format;
        std::string text;
        std::size_t records;
    };
    const std::vector<Row> rows = {
        {"Flipper", "tv.ir", TCode_Format::Flipper,
         "Filetype: IR signals file\r\nVersion: 1\r\n#\r\nname: Power\r\ntype: parsed\r\nprotocol: NEC\r\n"
         "address: 04 00 00 00\r\ncommand: 08 00 00 00\r\n#\nname: Bad\ntype: raw\nfrequency: 38000\n"
         "duty_cycle: 0.33\ndata: 9000 x9\nname: Long\ntype: raw\nfrequency: 36000\nduty_cycle: 0.33\n" +
             long_data + "\n#\nname: Last\ntype: raw\nfrequency: 38000\nduty_cycle: 0.33\ndata: 100 200 300",
         3},
        {"not a Flipper file", "x.ir", TCode_Format::Flipper, "Filetype: something else\nname: A\n", 0},
        {"lircd.conf", "r.conf", TCode_Format::Lircd,
         "begin remote\n name TV\n bits 8\n flags SPACE_ENC\n header 9000 4500\n one 560 1690\n"
         " zero 560 560\n ptrail 560\n gap 40000\n begin codes\n  KEY_A 0x10\n  KEY_B 0x20\n end codes\n"
         "end remote\n",
         2},
        {"Pronto", "p.pronto", TCode_Format::Pronto,
         "A: 0000 006D 0002 0000 0157 00AC 0015 0689\nB: 0000 006D 0001 0000 0157 00AC\nC: zz\n", 2},
    };
    test::TTemp_Dir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.File(row.file);
        test::Write_File(path, row.text);
        const TIR_File whole = Read_Code_File(path, row.format);
        EXPECT_EQ(whole.Records.size(), row.records);
        std::vector<std::string> handed;
        const TIR_File rest =
            Read_Code_File(path, row.format, [&](TIR_Record&& record) { handed.push_back(Record_Text(record)); });
        EXPECT_TRUE(rest.Records.empty());
        std::vector<std::string> together = handed;
        for (const std::string& error : Texts_Of(rest)) together.push_back(error);
        EXPECT_EQ(together, Texts_Of(whole));
        if (row.format == TCode_Format::Flipper) {
            EXPECT_EQ(Texts_Of(whole), Texts_Of(Read_Flipper_File(row.text)));
        }
    }
}

}  // namespace
}  // namespace qev
