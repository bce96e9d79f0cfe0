// Reading and writing Flipper Zero infrared files.
#include "ir/flipper_file.h"

#include "ir/protocols.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace qev {
namespace {

constexpr const char* Header = "Filetype: IR signals file\nVersion: 1\n";

constexpr const char* Example =
    "Filetype: IR signals file\n"
    "Version: 1\n"
    "#\n"
    "name: Button_1\n"
    "type: parsed\n"
    "protocol: NECext\n"
    "address: EE 87 00 00\n"
    "command: 5D A0 00 00\n"
    "#\n"
    "name: Button_2\n"
    "type: raw\n"
    "frequency: 38000\n"
    "duty_cycle: 0.330000\n"
    "data: 504 3432 502 483 500 484 510 502 502 482 501 485 509 1452 504 1458 509 1452 504 481 501 474 509 3420 "
    "503\n";

const std::vector<int32_t> Example_Data = {504,  3432, 502,  483, 500,  484, 510, 502, 502, 482, 501,  485, 509,
                                           1452, 504,  1458, 509, 1452, 504, 481, 501, 474, 509, 3420, 503};

std::vector<std::string> Names(const TIR_File& file) {
    std::vector<std::string> names;
    for (const TIR_Record& record : file.Records) names.push_back(record.Name);
    return names;
}

void Expect_Same(const TIR_Record& actual, const TIR_Record& expected) {
    EXPECT_EQ(actual.Name, expected.Name);
    EXPECT_EQ(actual.Code, expected.Code);
    EXPECT_EQ(actual.Timing.Durations_us, expected.Timing.Durations_us);
    if (!expected.Code) {
        EXPECT_EQ(actual.Timing.Carrier_Hz, expected.Timing.Carrier_Hz);
    }
}

void Expect_Example(const TIR_File& file) {
    EXPECT_TRUE(file.Errors.empty());
    ASSERT_EQ(file.Records.size(), 2u);
    Expect_Same(file.Records[0], {"Button_1", TIR_Code{TProtocol::NECext, 0x87EE, 0xA05D}, {}});
    EXPECT_TRUE(file.Records[0].Timing.Durations_us.empty());
    Expect_Same(file.Records[1], {"Button_2", std::nullopt, {Example_Data, 38000}});
}

TEST(Flipper_Read, Reads_The_Example_File) { Expect_Example(Read_Flipper_File(Example)); }

TEST(Flipper_Read, Reads_Cr_Lf_Line_Ends_Alike) {
    std::string text;
    for (const char* c = Example; *c; ++c) text += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    Expect_Example(Read_Flipper_File(text));
}

TEST(Flipper_Read, Reads_Library_Files_Comments_Blanks_And_Split_Data) {
    const TIR_File file = Read_Flipper_File(
        "# a comment before the header\n"
        "\n"
        "Filetype: IR library file\n"
        "  Version:   1  \n"
        "# Model: none\n"
        "name:   Long name: with colon  \n"
        "type: raw\n"
        "\n"
        "frequency: 36000\n"
        "duty_cycle: 1\n"
        "data: 10 20\n"
        "data:\n"
        "data: 30\t40   50\n"
        "#\n"
        "name: Power\n"
        "type: parsed\n"
        "protocol: rc5\n"
        "address: 1F 0 00 00\n"
        "command: 3f 00 00 00");
    EXPECT_TRUE(file.Errors.empty()) << file.Errors[0].Message;
    ASSERT_EQ(file.Records.size(), 2u);
    Expect_Same(file.Records[0], {"Long name: with colon", std::nullopt, {{10, 20, 30, 40, 50}, 36000}});
    Expect_Same(file.Records[1], {"Power", TIR_Code{TProtocol::RC5, 0x1F, 0x3F}, {}});
}

TEST(Flipper_Read, Address_And_Command_Bytes_Are_Least_Significant_First) {
    struct Row {
        const char* bytes;
        uint32_t value;
    };
    const std::vector<Row> rows = {
        {"04 00 00 00", 0x4},    {"EE 87 00 00", 0x87EE},     {"00 00 01 00", 0x10000},
        {"ff ff 00 00", 0xFFFF}, {"12 34 56 78", 0x78563412}, {"0 1 0 0", 0x100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        const std::string text = std::string(Header) +
                                 "name: A\ntype: parsed\nprotocol: NECext\naddress: " + row.bytes +
                                 "\ncommand: " + row.bytes + "\n";
        const TIR_File file = Read_Flipper_File(text);
        if (row.value > 0xFFFF) {
            // Beyond NECext's 16 bits: the message shows the value the bytes were read as.
            char expected[32];
            std::snprintf(expected, sizeof expected, "address 0x%X is beyond", row.value);
            ASSERT_EQ(file.Errors.size(), 1u);
            EXPECT_NE(file.Errors[0].Message.find(expected), std::string::npos) << file.Errors[0].Message;
            continue;
        }
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Code->Address, row.value);
        EXPECT_EQ(file.Records[0].Code->Command, row.value);
    }
}

TEST(Flipper_Read, Limits_Of_A_Raw_Record_Are_Accepted) {
    std::string data;
    for (int i = 0; i < 65536; ++i) data += i == 0 ? "10000000" : " 1";
    const TIR_File file =
        Read_Flipper_File(std::string(Header) + "name: Big\ntype: raw\nfrequency: 1\nduty_cycle: 0\ndata: " + data);
    EXPECT_TRUE(file.Errors.empty());
    ASSERT_EQ(file.Records.size(), 1u);
    EXPECT_EQ(file.Records[0].Timing.Durations_us.size(), 65536u);
    EXPECT_EQ(file.Records[0].Timing.Durations_us[0], 10000000);
    EXPECT_EQ(file.Records[0].Timing.Carrier_Hz, 1);
}

// A bad record between two good ones: the header is lines 1-2, "Before" lines
// 3-8, and the row's text starts at line 9 with its '#'.
TEST(Flipper_Read, A_Bad_Record_Is_Reported_And_Left_Out_Whole) {
    struct Row {
        std::string name;
        std::string text;
        int64_t line;
        std::string message_part;
    };
    const std::string raw = "#\nname: Bad\ntype: raw\nfrequency: 38000\nduty_cycle: 0.33\n";  // data at line 14
    const std::string parsed = "#\nname: Bad\ntype: parsed\nprotocol: NEC\n";                 // address at line 13
    std::string too_many = "data:";
    for (int i = 0; i < 65537; ++i) too_many += " 500";
    const std::vector<Row> rows = {
        {"unknown key", raw + "colour: red\ndata: 1 2\n", 14, "unknown key 'colour'"},
        {"only the first fault is told", raw + "colour: red\nshade\ntype: learned\ndata: x\n", 14, "'colour'"},
        {"duplicate key", raw + "frequency: 36000\ndata: 1 2\n", 14, "'frequency' is given twice"},
        {"duplicate type", "#\nname: Bad\ntype: raw\ntype: raw\n", 12, "'type' is given twice"},
        {"unknown type", "#\nname: Bad\ntype: learned\n", 11, "unknown type 'learned'"},
        {"no type", "#\nname: Bad\nfrequency: 38000\nduty_cycle: 0.33\ndata: 1 2\n", 10, "has no type"},
        {"no frequency", "#\nname: Bad\ntype: raw\nduty_cycle: 0.33\ndata: 1 2\n", 10, "no 'frequency'"},
        {"no duty cycle", "#\nname: Bad\ntype: raw\nfrequency: 38000\ndata: 1 2\n", 10, "no 'duty_cycle'"},
        {"no data", raw, 10, "no 'data'"},
        {"empty data", raw + "data:\n", 14, "no durations"},
        {"no protocol", "#\nname: Bad\ntype: parsed\naddress: 00 00 00 00\ncommand: 00 00 00 00\n", 10,
         "no 'protocol'"},
        {"no address", parsed + "command: 00 00 00 00\n", 10, "no 'address'"},
        {"no command", parsed + "address: 00 00 00 00\n", 10, "no 'command'"},
        {"parsed field in a raw record", raw + "protocol: NEC\ndata: 1 2\n", 14, "'protocol' does not belong"},
        {"raw field in a parsed record", parsed + "address: 00 00 00 00\ncommand: 00 00 00 00\ndata: 1\n", 15,
         "'data' does not belong"},
        {"unknown protocol", "#\nname: Bad\ntype: parsed\nprotocol: Panasonic\n", 12, "unknown protocol 'Panasonic'"},
        {"three bytes", parsed + "address: 00 00 00\ncommand: 00 00 00 00\n", 13, "bad address '00 00 00'"},
        {"five bytes", parsed + "address: 00 00 00 00 00\ncommand: 00 00 00 00\n", 13, "bad address"},
        {"three hex digits", parsed + "address: 100 00 00 00\ncommand: 00 00 00 00\n", 13, "bad address"},
        {"not hex", parsed + "address: 00 00 00 00\ncommand: 0G 00 00 00\n", 14, "bad command '0G 00 00 00'"},
        {"address beyond the protocol", parsed + "address: 00 01 00 00\ncommand: 00 00 00 00\n", 13,
         "address 0x100 is beyond NEC's 0xFF"},
        {"command beyond the protocol", parsed + "address: FF 00 00 00\ncommand: 00 01 00 00\n", 14,
         "command 0x100 is beyond NEC's 0xFF"},
        {"zero frequency", "#\nname: Bad\ntype: raw\nfrequency: 0\n", 12, "bad frequency '0'"},
        {"negative frequency", "#\nname: Bad\ntype: raw\nfrequency: -38000\n", 12, "bad frequency"},
        {"frequency with a unit", "#\nname: Bad\ntype: raw\nfrequency: 38kHz\n", 12, "bad frequency"},
        {"frequency beyond 32 bits", "#\nname: Bad\ntype: raw\nfrequency: 2147483648\n", 12, "bad frequency"},
        {"duty cycle above 1", raw.substr(0, raw.size() - 5) + "1.01\n", 13, "bad duty_cycle '1.01'"},
        {"duty cycle negative", raw.substr(0, raw.size() - 5) + "-0.3\n", 13, "bad duty_cycle"},
        {"duty cycle of two points", raw.substr(0, raw.size() - 5) + "0.3.3\n", 13, "bad duty_cycle"},
        {"duty cycle a lone point", raw.substr(0, raw.size() - 5) + ".\n", 13, "bad duty_cycle"},
        {"duty cycle a percentage", raw.substr(0, raw.size() - 5) + "33%\n", 13, "bad duty_cycle"},
        {"duration not a number", raw + "data: 500 x9 500\n", 14, "bad duration 'x9'"},
        {"duration negative", raw + "data: 500 -500\n", 14, "bad duration '-500'"},
        {"duration zero", raw + "data: 500 0\n", 14, "duration '0' is outside"},
        {"duration too long", raw + "data: 10000001\n", 14, "duration '10000001' is outside"},
        {"duration far too long", raw + "data: 99999999999999999999999\n", 14, "is outside"},
        {"duration far too long, then a letter", raw + "data: 500 99999999999x\n", 14, "bad duration '99999999999x'"},
        {"bad duration on a later data line", raw + "data: 500 500\ndata: 500 5x\n", 15, "bad duration '5x'"},
        {"too many durations", raw + too_many + "\n", 14, "more than 65536 durations"},
        {"line without a colon", raw + "data 500 500\n", 14, "expected 'key: value'"},
        {"empty name", "#\nname:\ntype: raw\nfrequency: 38000\nduty_cycle: 0.33\ndata: 1 2\n", 10, "name is empty"},
    };
    const std::string before =
        "#\nname: Before\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\ncommand: 08 00 00 00\n";
    const std::string after = "#\nname: After\ntype: raw\nfrequency: 38000\nduty_cycle: 0.33\ndata: 9000 4500\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Flipper_File(Header + before + row.text + after);
        EXPECT_EQ(Names(file), (std::vector<std::string>{"Before", "After"}));
        ASSERT_EQ(file.Errors.size(), 1u);
        EXPECT_EQ(file.Errors[0].Line, row.line);
        EXPECT_NE(file.Errors[0].Message.find(row.message_part), std::string::npos) << file.Errors[0].Message;
    }
}

TEST(Flipper_Read, Lines_Before_The_First_Name_Are_Reported) {
    const TIR_File file = Read_Flipper_File(std::string(Header) +
                                            "type: raw\n"
                                            "stray text\n"
                                            "colour: red\n"
                                            "name: A\ntype: raw\nfrequency: 38000\nduty_cycle: 0.5\ndata: 1 2\n");
    EXPECT_EQ(Names(file), (std::vector<std::string>{"A"}));
    ASSERT_EQ(file.Errors.size(), 3u);
    EXPECT_EQ(file.Errors[0].Line, 3);
    EXPECT_NE(file.Errors[0].Message.find("before any 'name:'"), std::string::npos);
    EXPECT_EQ(file.Errors[1].Line, 4);
    EXPECT_EQ(file.Errors[2].Line, 5);
}

TEST(Flipper_Read, A_File_Without_The_Header_Gives_One_Error_And_No_Records) {
    struct Row {
        std::string name;
        std::string text;
        int64_t line;
        std::string message_part;
    };
    // A sound record, not read when the header before it is wrong.
    const std::string record = "#\nname: A\ntype: raw\nfrequency: 38000\nduty_cycle: 0.5\ndata: 1 2\n";
    const std::vector<Row> rows = {
        {"empty", "", 1, "empty"},
        {"comments only", "# nothing\n\n#\n", 4, "empty"},
        {"another file type", "Filetype: Flipper SubGhz Key File\nVersion: 1\n" + record, 1, "not an IR signals file"},
        {"file type in another case", "filetype: IR signals file\nVersion: 1\n" + record, 1, "not an IR signals file"},
        {"header lines swapped", "Version: 1\nFiletype: IR signals file\n" + record, 1, "not an IR signals file"},
        {"a record first", record, 2, "not an IR signals file"},
        {"a line without a colon", "IR signals file\nVersion: 1\n" + record, 1, "not an IR signals file"},
        {"another version", "Filetype: IR signals file\nVersion: 2\n" + record, 2, "version '2' is not supported"},
        {"no version", "Filetype: IR signals file\n" + record, 3, "expected 'Version: 1'"},
        {"ends after the file type", "Filetype: IR signals file\n", 2, "ends before"},
        {"ends after the file type, no line end", "# x\r\nFiletype: IR signals file", 3, "ends before"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file = Read_Flipper_File(row.text);
        EXPECT_TRUE(file.Records.empty());
        ASSERT_EQ(file.Errors.size(), 1u);
        EXPECT_EQ(file.Errors[0].Line, row.line);
        EXPECT_NE(file.Errors[0].Message.find(row.message_part), std::string::npos) << file.Errors[0].Message;
    }
}

TEST(Flipper_Write, Writes_The_Example_File) {
    const std::vector<TIR_Record> records = {
        {"Button_1", TIR_Code{TProtocol::NECext, 0x87EE, 0xA05D}, {}},
        {"Button_2", std::nullopt, {Example_Data, 38000}},
    };
    EXPECT_EQ(Write_Flipper_File(records), Example);
}

TEST(Flipper_Write, Reading_Back_Gives_The_Same_Records) {
    std::vector<TIR_Record> records;
    for (const TProtocol_Info& info : All_Protocols()) {
        records.push_back(
            {std::string("Max ") + info.Name, TIR_Code{info.Protocol, info.Address_Max, info.Command_Max}, {}});
        records.push_back({std::string("Zero ") + info.Name, TIR_Code{info.Protocol, 0, 0}, {}});
    }
    records.push_back({"Even", std::nullopt, {{9000, 4500, 560, 40000}, 38000}});
    records.push_back({"Odd", std::nullopt, {{889, 889, 1778}, 36000}});
    records.push_back({"Extremes", std::nullopt, {{1, 10000000}, 455000}});
    records.push_back({"Name: with colon # and hash", std::nullopt, {{100, 200}, 40000}});
    const TIR_File file = Read_Flipper_File(Write_Flipper_File(records));
    EXPECT_TRUE(file.Errors.empty()) << file.Errors[0].Message;
    ASSERT_EQ(file.Records.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(records[i].Name);
        TIR_Record expected = records[i];
        // RC5X without its extension bit is the plain RC5 frame, and the
        // Flipper has no other name for it.
        if (expected.Code && expected.Code->Protocol == TProtocol::RC5X && expected.Code->Command < 0x40) {
            expected.Code->Protocol = TProtocol::RC5;
        }
        Expect_Same(file.Records[i], expected);
    }
}

// The Flipper sends an RC5X record as the extended frame whatever its
// command (it sends the low six bits), and its files write the low six bits.
TEST(Flipper_Rc5x, Commands_Mean_What_The_Flipper_Sends) {
    struct Row {
        const char* name;
        const char* protocol;
        const char* command;
        TIR_Code code;        // as read
        const char* written;  // the command as written back
        const char* protocol_written;
    };
    const std::vector<Row> rows = {
        {"rc5x_up_is_extended", "RC5X", "10 00 00 00", {TProtocol::RC5X, 0x05, 0x50}, "10 00 00 00", "RC5X"},
        {"rc5_vol_up_is_plain", "RC5", "10 00 00 00", {TProtocol::RC5, 0x05, 0x10}, "10 00 00 00", "RC5"},
        {"rc5x_zero", "RC5X", "00 00 00 00", {TProtocol::RC5X, 0x05, 0x40}, "00 00 00 00", "RC5X"},
        {"rc5x_top_of_six_bits", "RC5X", "3F 00 00 00", {TProtocol::RC5X, 0x05, 0x7F}, "3F 00 00 00", "RC5X"},
        {"rc5x_bit_6_given_too", "RC5X", "50 00 00 00", {TProtocol::RC5X, 0x05, 0x50}, "10 00 00 00", "RC5X"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string record = std::string("#\nname: Up\ntype: parsed\nprotocol: ") + row.protocol +
                                   "\naddress: 05 00 00 00\ncommand: " + row.command + "\n";
        const TIR_File file = Read_Flipper_File(Header + record);
        ASSERT_TRUE(file.Errors.empty()) << file.Errors[0].Message;
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Code, row.code);
        EXPECT_EQ(Write_Flipper_File(file.Records), std::string(Header) +
                                                        "#\nname: Up\ntype: parsed\nprotocol: " + row.protocol_written +
                                                        "\naddress: 05 00 00 00\ncommand: " + row.written + "\n");
    }
}

// In a file where Up is RC5X 10 and Vol_up RC5 10, the two send different
// frames: the second start bit tells them apart.
TEST(Flipper_Rc5x, Up_And_Vol_Up_Send_Different_Frames) {
    const TIR_File file = Read_Flipper_File(std::string(Header) +
                                            "#\nname: Up\ntype: parsed\nprotocol: RC5X\naddress: 00 00 00 00\n"
                                            "command: 10 00 00 00\n"
                                            "#\nname: Vol_up\ntype: parsed\nprotocol: RC5\naddress: 00 00 00 00\n"
                                            "command: 10 00 00 00\n");
    ASSERT_EQ(file.Records.size(), 2u);
    ASSERT_TRUE(file.Records[0].Code && file.Records[1].Code);
    EXPECT_NE(Encode(*file.Records[0].Code).Durations_us, Encode(*file.Records[1].Code).Durations_us);
}

// Every protocol the Flipper names, in the Flipper's words: its name in any
// case, address and command four bytes least significant first, three or
// four of them significant (Kaseikyo's and NEC42ext's addresses). Written
// back, each is the same record with the name spelled as the Flipper does.
TEST(Flipper_Protocols, Are_Read_And_Written_Back_As_The_Flipper_Has_Them) {
    struct Row {
        const char* name;
        const char* protocol;
        const char* address;
        const char* command;
        TIR_Code code;
        const char* protocol_written;
    };
    const std::vector<Row> rows = {
        {"kaseikyo_panasonic_power_three_byte_address",
         "Kaseikyo",
         "80 02 20 00",
         "D0 03 00 00",
         {TProtocol::Kaseikyo, 0x200280, 0x3D0},
         "Kaseikyo"},
        {"kaseikyo_four_byte_address_with_id",
         "Kaseikyo",
         "A5 A5 A5 02",
         "55 01 00 00",
         {TProtocol::Kaseikyo, 0x2A5A5A5, 0x155},
         "Kaseikyo"},
        {"kaseikyo_top", "kaseikyo", "FF FF FF 03", "FF 03 00 00", {TProtocol::Kaseikyo, 0x3FFFFFF, 0x3FF}, "Kaseikyo"},
        {"rca", "RCA", "05 00 00 00", "16 00 00 00", {TProtocol::RCA, 0x5, 0x16}, "RCA"},
        {"rca_any_case", "rca", "0F 00 00 00", "FF 00 00 00", {TProtocol::RCA, 0xF, 0xFF}, "RCA"},
        {"pioneer", "Pioneer", "A5 00 00 00", "44 00 00 00", {TProtocol::Pioneer, 0xA5, 0x44}, "Pioneer"},
        {"pioneer_any_case", "PIONEER", "FF 00 00 00", "00 00 00 00", {TProtocol::Pioneer, 0xFF, 0x00}, "Pioneer"},
        {"nec42ext_four_byte_address",
         "NEC42ext",
         "67 45 23 01",
         "EF BE 00 00",
         {TProtocol::NEC42ext, 0x1234567, 0xBEEF},
         "NEC42ext"},
        {"nec42ext_any_case",
         "nec42EXT",
         "FF FF FF 03",
         "FF FF 00 00",
         {TProtocol::NEC42ext, 0x3FFFFFF, 0xFFFF},
         "NEC42ext"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto record = [&](const char* protocol) {
            return std::string("#\nname: Key\ntype: parsed\nprotocol: ") + protocol + "\naddress: " + row.address +
                   "\ncommand: " + row.command + "\n";
        };
        const TIR_File file = Read_Flipper_File(Header + record(row.protocol));
        ASSERT_TRUE(file.Errors.empty()) << file.Errors[0].Message;
        ASSERT_EQ(file.Records.size(), 1u);
        EXPECT_EQ(file.Records[0].Code, row.code);
        EXPECT_EQ(Write_Flipper_File(file.Records), Header + record(row.protocol_written));
    }
}

// The Flipper refuses a record whose address or command is wider than its
// protocol's fields, RC5's commands from 0x40 among them (its RC5 encoder
// would drop bit 6 and send another key): so does the reader, and for RC5
// it says which protocol such a command belongs to.
TEST(Flipper_Protocols, Fields_Beyond_The_Flippers_Ranges_Are_Refused) {
    struct Row {
        const char* name;
        const char* protocol;
        const char* address;
        const char* command;
        int64_t line;
        const char* message;
    };
    const std::vector<Row> rows = {
        {"rc5_command_0x40", "RC5", "05 00 00 00", "40 00 00 00", 8,
         "command 0x40 is beyond RC5's 0x3F (an extended command is protocol RC5X, command 0x00)"},
        {"rc5_command_0x7f", "RC5", "05 00 00 00", "7F 00 00 00", 8,
         "command 0x7F is beyond RC5's 0x3F (an extended command is protocol RC5X, command 0x3F)"},
        {"rc5_command_0x80", "RC5", "05 00 00 00", "80 00 00 00", 8, "command 0x80 is beyond RC5's 0x3F"},
        {"kaseikyo_address_bit_26", "Kaseikyo", "00 00 00 04", "00 00 00 00", 7,
         "address 0x4000000 is beyond Kaseikyo's 0x3FFFFFF"},
        {"kaseikyo_command_bit_10", "Kaseikyo", "00 00 00 00", "00 04 00 00", 8,
         "command 0x400 is beyond Kaseikyo's 0x3FF"},
        {"rca_address_of_five_bits", "RCA", "10 00 00 00", "00 00 00 00", 7, "address 0x10 is beyond RCA's 0xF"},
        {"pioneer_command_of_two_bytes", "Pioneer", "00 00 00 00", "00 01 00 00", 8,
         "command 0x100 is beyond Pioneer's 0xFF"},
        {"nec42ext_command_of_three_bytes", "NEC42ext", "00 00 00 00", "00 00 01 00", 8,
         "command 0x10000 is beyond NEC42ext's 0xFFFF"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TIR_File file =
            Read_Flipper_File(std::string(Header) + "#\nname: Key\ntype: parsed\nprotocol: " + row.protocol +
                              "\naddress: " + row.address + "\ncommand: " + row.command + "\n");
        EXPECT_TRUE(file.Records.empty());
        ASSERT_EQ(file.Errors.size(), 1u);
        EXPECT_EQ(file.Errors[0].Line, row.line);
        EXPECT_EQ(file.Errors[0].Message, row.message);
    }
}

// A code made here as RC5X without the extension bit is the plain RC5
// frame, and is written as the Flipper names that frame.
TEST(Flipper_Rc5x, Unextended_Rc5x_Is_Written_As_Rc5) {
    EXPECT_EQ(
        Write_Flipper_File({{"A", TIR_Code{TProtocol::RC5X, 0x01, 0x05}, {}}}),
        std::string(Header) + "#\nname: A\ntype: parsed\nprotocol: RC5\naddress: 01 00 00 00\ncommand: 05 00 00 00\n");
}

TEST(Flipper_Write, Fills_In_What_The_Reader_Needs) {
    struct Row {
        const char* name;
        TIR_Record record;
        const char* text;  // what follows the header
    };
    const std::vector<Row> rows = {
        {"no carrier means 38 kHz",
         {"A", std::nullopt, {{1, 2}, 0}},
         "#\nname: A\ntype: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata: 1 2\n"},
        {"durations are clamped",
         {"B", std::nullopt, {{0, 20000000, -5}, 38000}},
         "#\nname: B\ntype: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata: 1 10000000 1\n"},
        {"an empty name is numbered",
         {"  ", TIR_Code{TProtocol::SIRC, 1, 2}, {}},
         "#\nname: Code_001\ntype: parsed\nprotocol: SIRC\naddress: 01 00 00 00\ncommand: 02 00 00 00\n"},
        {"line ends in a name become blanks",
         {"a\r\nb", TIR_Code{TProtocol::RC6, 0xAB, 0xCD}, {}},
         "#\nname: a  b\ntype: parsed\nprotocol: RC6\naddress: AB 00 00 00\ncommand: CD 00 00 00\n"},
        {"raw without durations is left out", {"C", std::nullopt, {{}, 38000}}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Write_Flipper_File({row.record}), std::string(Header) + row.text);
    }
}

}  // namespace
}  // namespace qev
