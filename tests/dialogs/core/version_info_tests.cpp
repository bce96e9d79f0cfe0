// The version information: the query path, the block, the ELF reader (on
// the built QEV_LPT, on a copy stripped of its version section, on files
// made by hand and broken on purpose) and the texts of the version dialog.
#include "dialogs/core/version_info.h"

#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

extern char** environ;

namespace qev::test {
namespace {

const std::string Program = QEV_TEST_PROGRAM;
const std::string Objcopy = QEV_TEST_OBJCOPY;
const std::string Project_Version = QEV_TEST_PROJECT_VERSION;
const std::string Key = "\\StringFileInfo\\041103A4\\";

// ---- Blocks encoded here, by the layout the header describes ------------------

void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

using TEntries = std::vector<std::pair<std::string, std::string>>;

std::string Encode_Block(const TEntries& entries) {
    std::string body;
    for (const auto& [path, value] : entries) {
        Put(body, static_cast<uint32_t>(path.size()), 2);
        body += path;
        Put(body, static_cast<uint32_t>(value.size()), 2);
        body += value;
    }
    std::string block = "QEVVINF1";
    Put(block, static_cast<uint32_t>(16 + body.size()), 4);
    Put(block, static_cast<uint32_t>(entries.size()), 4);
    return block + body;
}

const std::string Japanese_Translation("\x11\x04\xA4\x03", 4);

TEntries Full_Entries() {
    return {{"\\VarFileInfo\\Translation", Japanese_Translation},
            {Key + "ProductName", "Product"},
            {Key + "FileDescription", "Description"},
            {Key + "Comments", "Comment"},
            {Key + "FileVersion", "9.8.7"},
            {Key + "CompanyName", "Company"},
            {Key + "LegalCopyright", "(C) Someone"}};
}

void Patch(std::string& bytes, std::size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// ---- The query path -----------------------------------------------------------

struct TPath_Row {
    const char* Name;
    TVersion_Translation Translation;
    const char* Field;
    const char* Path;
};
void PrintTo(const TPath_Row& row, std::ostream* out) { *out << row.Name; }

class Query_Path_Test : public ::testing::TestWithParam<TPath_Row> {};

TEST_P(Query_Path_Test, Is_Built_From_The_Translation_Entry) {
    EXPECT_EQ(String_File_Info_Path(GetParam().Translation, GetParam().Field), GetParam().Path);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Query_Path_Test,
    ::testing::Values(
        TPath_Row{"japanese_shift_jis", {0x0411, 0x03A4}, "ProductName", "\\StringFileInfo\\041103A4\\ProductName"},
        TPath_Row{"english_unicode", {0x0409, 0x04B0}, "FileVersion", "\\StringFileInfo\\040904B0\\FileVersion"},
        TPath_Row{"digits_upper_case", {0xabcd, 0xef01}, "Comments", "\\StringFileInfo\\ABCDEF01\\Comments"},
        TPath_Row{"leading_zeros_kept", {0x0001, 0x0020}, "CompanyName", "\\StringFileInfo\\00010020\\CompanyName"},
        TPath_Row{"largest_values", {0xFFFF, 0xFFFF}, "LegalCopyright", "\\StringFileInfo\\FFFFFFFF\\LegalCopyright"}),
    [](const ::testing::TestParamInfo<TPath_Row>& info) { return std::string(info.param.Name); });

// ---- The block ----------------------------------------------------------------

TEST(Version_Block_Test, Query_Finds_Each_Entry_By_Its_Exact_Path) {
    const std::string block = Encode_Block(Full_Entries());
    for (const auto& [path, value] : Full_Entries()) {
        const auto found = Query_Version_Value(block, path);
        ASSERT_TRUE(found.has_value()) << path;
        EXPECT_EQ(*found, value) << path;
    }
    EXPECT_FALSE(Query_Version_Value(block, Key + "ProductVersion").has_value());
    EXPECT_FALSE(Query_Version_Value(block, Key + "productname").has_value());
    EXPECT_FALSE(Query_Version_Value(block, Key + "Product").has_value());
    EXPECT_FALSE(Query_Version_Value(block, "").has_value());
}

TEST(Version_Block_Test, First_Translation_Is_Language_Low_And_Code_Page_High) {
    const auto one = First_Translation(Encode_Block(Full_Entries()));
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->Language, 0x0411);
    EXPECT_EQ(one->Code_Page, 0x03A4);

    const std::string two = Japanese_Translation + std::string("\x09\x04\xB0\x04", 4);
    const auto first = First_Translation(Encode_Block({{"\\VarFileInfo\\Translation", two}}));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->Language, 0x0411);
    EXPECT_EQ(first->Code_Page, 0x03A4);

    EXPECT_FALSE(First_Translation(Encode_Block({{"\\VarFileInfo\\Translation", "\x11\x04\xA4"}})).has_value());
    EXPECT_FALSE(First_Translation(Encode_Block({{Key + "ProductName", "x"}})).has_value());
}

struct TBroken_Block_Row {
    const char* Name;
    std::function<void(std::string&)> Break;
};
void PrintTo(const TBroken_Block_Row& row, std::ostream* out) { *out << row.Name; }

class Broken_Block_Test : public ::testing::TestWithParam<TBroken_Block_Row> {};

// Each row breaks an otherwise good block: no look-up may then answer, and
// none may read outside the bytes given.
TEST_P(Broken_Block_Test, Answers_No_Query) {
    std::string block = Encode_Block(Full_Entries());
    ASSERT_TRUE(Query_Version_Value(block, Key + "ProductName").has_value());
    GetParam().Break(block);
    // Copied to a buffer of exactly its size, so a read past its end is caught
    // by the sanitizer build.
    const std::vector<char> bytes(block.begin(), block.end());
    const std::string_view view(bytes.data(), bytes.size());
    EXPECT_FALSE(Query_Version_Value(view, Key + "ProductName").has_value());
    EXPECT_FALSE(Query_Version_Value(view, Key + "LegalCopyright").has_value());
    EXPECT_FALSE(First_Translation(view).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Broken_Block_Test,
    ::testing::Values(TBroken_Block_Row{"empty", [](std::string& b) { b.clear(); }},
                      TBroken_Block_Row{"header_cut_short", [](std::string& b) { b.resize(15); }},
                      TBroken_Block_Row{"wrong_magic", [](std::string& b) { b[7] = '2'; }},
                      TBroken_Block_Row{"size_below_the_header", [](std::string& b) { Patch(b, 8, 15, 4); }},
                      TBroken_Block_Row{"size_past_the_bytes", [](std::string& b) { Patch(b, 8, b.size() + 1, 4); }},
                      TBroken_Block_Row{"size_far_past_the_bytes", [](std::string& b) { Patch(b, 8, 0xFFFFFFFF, 4); }},
                      TBroken_Block_Row{"bytes_cut_off_the_end", [](std::string& b) { b.pop_back(); }},
                      TBroken_Block_Row{"more_entries_than_stored", [](std::string& b) { Patch(b, 12, 8, 4); }},
                      TBroken_Block_Row{"fewer_entries_than_stored", [](std::string& b) { Patch(b, 12, 6, 4); }},
                      TBroken_Block_Row{"first_path_past_the_end", [](std::string& b) { Patch(b, 16, 0xFFFF, 2); }},
                      TBroken_Block_Row{"first_value_past_the_end", [](std::string& b) { Patch(b, 16 + 2 + 24, 0xFFFF, 2); }},
                      TBroken_Block_Row{"empty_first_path", [](std::string& b) { Patch(b, 16, 0, 2); }},
                      TBroken_Block_Row{"over_the_limit",
                                        [](std::string& b) {
                                            // Well-formed but one byte over 64 KiB.
                                            b = Encode_Block({{Key + "ProductName", std::string(65536 - 16 - 4 - 36 + 1, 'v')}});
                                        }},
                      TBroken_Block_Row{"bytes_after_the_entries",
                                        [](std::string& b) {
                                            b += "xy";
                                            Patch(b, 8, b.size(), 4);
                                        }}),
    [](const ::testing::TestParamInfo<TBroken_Block_Row>& info) { return std::string(info.param.Name); });

// ---- The dialog's texts -------------------------------------------------------

TEST(Version_Fields_Test, Prefixes_Are_Fourteen_Characters_And_Design_Texts_As_Drawn) {
    const std::pair<const char*, const char*> expected[] = {
        {"Product Name: ", "ProductNameLabel "}, {"Description:  ", "FileDescriptionLabel"},
        {"Comments:     ", "CommentsLabel"},     {"File Version: ", "FileVersionLabel"},
        {"Auther Name:  ", "CompanyNameLabel"},  {"Copyright:    ", "LegalCopyrightLabel"}};
    for (std::size_t i = 0; i < Version_Field_Count; ++i) {
        EXPECT_EQ(std::strlen(Version_Fields[i].Prefix), 14u) << i;
        EXPECT_STREQ(Version_Fields[i].Prefix, expected[i].first);
        EXPECT_STREQ(Version_Fields[i].Design_Text, expected[i].second);
    }
}

struct TTexts_Row {
    const char* Name;
    std::function<std::string()> Block;
    TVersion_Label_Texts Texts;
};
void PrintTo(const TTexts_Row& row, std::ostream* out) { *out << row.Name; }

class Label_Texts_Test : public ::testing::TestWithParam<TTexts_Row> {};

TEST_P(Label_Texts_Test, Are_The_Prefixes_And_The_Values) {
    EXPECT_EQ(Version_Label_Texts_Of_Block(GetParam().Block()), GetParam().Texts);
}

TEntries Without(const std::string& path) {
    TEntries entries = Full_Entries();
    std::erase_if(entries, [&](const auto& entry) { return entry.first == path; });
    return entries;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Label_Texts_Test,
    ::testing::Values(TTexts_Row{"every_field",
                                 [] { return Encode_Block(Full_Entries()); },
                                 {"Product Name: Product", "Description:  Description", "Comments:     Comment",
                                  "File Version: 9.8.7", "Auther Name:  Company", "Copyright:    (C) Someone"}},
                      TTexts_Row{"no_version_information",
                                 [] { return std::string(); },
                                 {"ProductNameLabel ", "FileDescriptionLabel", "CommentsLabel", "FileVersionLabel",
                                  "CompanyNameLabel", "LegalCopyrightLabel"}},
                      TTexts_Row{"missing_field_shows_its_prefix_alone",
                                 [] { return Encode_Block(Without(Key + "Comments")); },
                                 {"Product Name: Product", "Description:  Description", "Comments:     ",
                                  "File Version: 9.8.7", "Auther Name:  Company", "Copyright:    (C) Someone"}},
                      TTexts_Row{"missing_translation_shows_every_prefix_alone",
                                 [] { return Encode_Block(Without("\\VarFileInfo\\Translation")); },
                                 {"Product Name: ", "Description:  ", "Comments:     ", "File Version: ",
                                  "Auther Name:  ", "Copyright:    "}},
                      TTexts_Row{"fields_looked_up_under_the_first_translation_only",
                                 [] {
                                     TEntries entries = Full_Entries();
                                     entries[0].second = std::string("\x09\x04\xB0\x04", 4) + Japanese_Translation;
                                     entries.push_back({"\\StringFileInfo\\040904B0\\ProductName", "English"});
                                     return Encode_Block(entries);
                                 },
                                 {"Product Name: English", "Description:  ", "Comments:     ", "File Version: ",
                                  "Auther Name:  ", "Copyright:    "}},
                      TTexts_Row{"empty_value",
                                 [] {
                                     TEntries entries = Full_Entries();
                                     entries[4].second.clear();
                                     return Encode_Block(entries);
                                 },
                                 {"Product Name: Product", "Description:  Description", "Comments:     Comment",
                                  "File Version: ", "Auther Name:  Company", "Copyright:    (C) Someone"}}),
    [](const ::testing::TestParamInfo<TTexts_Row>& info) { return std::string(info.param.Name); });

// ---- The executable -------------------------------------------------------------

// Runs a program and waits for it: its exit status, or -1.
int Run_Program(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string Block_Of(const std::string& executable) {
    std::string block(Version_Info_Size(executable), '\0');
    if (!block.empty() && !Read_Version_Info(executable, block.data(), block.size())) return "(not read)";
    return block;
}

class Version_Executable_Test : public ::testing::Test {
protected:
    TTemp_Dir folder;
};

struct TField_Row {
    const char* Name;
    const char* Field;
    std::string Value;
};
void PrintTo(const TField_Row& row, std::ostream* out) { *out << row.Name; }

class Built_Program_Test : public ::testing::TestWithParam<TField_Row> {};

TEST_P(Built_Program_Test, Holds_The_Field) {
    const std::string block = Block_Of(Program);
    ASSERT_FALSE(block.empty()) << Program;
    const auto translation = First_Translation(block);
    ASSERT_TRUE(translation.has_value());
    const auto value = Query_Version_Value(block, String_File_Info_Path(*translation, GetParam().Field));
    ASSERT_TRUE(value.has_value()) << GetParam().Field;
    EXPECT_EQ(*value, GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Built_Program_Test,
    ::testing::Values(TField_Row{"product_name", "ProductName", "QEV_LPT"},
                      TField_Row{"file_description", "FileDescription", "Learns and replays IR remote commands"},
                      TField_Row{"comments", "Comments", "IR receiver and LED on a PC parallel port"},
                      TField_Row{"file_version_is_the_project_version", "FileVersion", Project_Version},
                      TField_Row{"company_name", "CompanyName", "the QEV_LPT developers"},
                      TField_Row{"legal_copyright", "LegalCopyright", "(C) 2026 the QEV_LPT developers"}),
    [](const ::testing::TestParamInfo<TField_Row>& info) { return std::string(info.param.Name); });

TEST_F(Version_Executable_Test, Built_Program_Has_The_Japanese_Translation_And_Fills_Every_Label) {
    const std::string block = Block_Of(Program);
    const auto translation = First_Translation(block);
    ASSERT_TRUE(translation.has_value());
    EXPECT_EQ(translation->Language, 0x0411);
    EXPECT_EQ(translation->Code_Page, 0x03A4);
    const TVersion_Label_Texts texts = Version_Label_Texts(Program);
    EXPECT_EQ(texts[0], "Product Name: QEV_LPT");
    EXPECT_EQ(texts[3], "File Version: " + Project_Version);
    EXPECT_EQ(texts[4], "Auther Name:  the QEV_LPT developers");
    for (std::size_t i = 0; i < Version_Field_Count; ++i)
        EXPECT_GT(texts[i].size(), std::strlen(Version_Fields[i].Prefix)) << "no value for " << Version_Fields[i].Field;
}

TEST_F(Version_Executable_Test, A_Short_Buffer_Takes_The_Start_Of_The_Block) {
    const std::string block = Block_Of(Program);
    ASSERT_GT(block.size(), 20u);
    std::string start(20, '\0');
    ASSERT_TRUE(Read_Version_Info(Program, start.data(), start.size()));
    EXPECT_EQ(start, block.substr(0, 20));
    // Cut short, the block answers no look-up.
    EXPECT_FALSE(First_Translation(start).has_value());
}

TEST_F(Version_Executable_Test, A_Copy_Stripped_Of_The_Section_Has_None) {
    const std::string stripped = folder.File("QEV_LPT_stripped");
    ASSERT_EQ(Run_Program({Objcopy, "--remove-section=" + std::string(Version_Info_Section), Program, stripped}), 0);
    // Still a whole ELF executable, only without the block.
    const std::string bytes = Read_File(stripped);
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.substr(0, 4),
              "\x7f"
              "ELF");
    EXPECT_EQ(Version_Info_Size(stripped), 0u);
    char untouched[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(Read_Version_Info(stripped, untouched, sizeof untouched));
    EXPECT_EQ(std::string(untouched, 4), "abcd");
    EXPECT_EQ(Version_Label_Texts(stripped),
              (TVersion_Label_Texts{"ProductNameLabel ", "FileDescriptionLabel", "CommentsLabel", "FileVersionLabel",
                                    "CompanyNameLabel", "LegalCopyrightLabel"}));
}

TEST_F(Version_Executable_Test, A_Plain_Copy_Reads_As_The_Original) {
    const std::string copy = folder.File("Living_Room");
    Write_File(copy, Read_File(Program));
    EXPECT_EQ(Block_Of(copy), Block_Of(Program));
}

TEST_F(Version_Executable_Test, The_Test_Program_Itself_Has_None) {
    // This test binary links the reader but not the block.
    EXPECT_EQ(Version_Info_Size(Running_Executable), 0u);
    EXPECT_EQ(Version_Label_Texts()[0], "ProductNameLabel ");
}

TEST_F(Version_Executable_Test, A_Program_Cut_Short_Has_None) {
    // The section table lies at the end of the file: cut short, the file holds
    // no whole table and so no version information.
    const std::string bytes = Read_File(Program);
    ASSERT_GT(Version_Info_Size(Program), 0u);
    for (const std::size_t keep :
         {bytes.size() - 1, bytes.size() - 64, bytes.size() / 2, std::size_t{64}, std::size_t{63}}) {
        const std::string cut = folder.File("cut");
        Write_File(cut, bytes.substr(0, keep));
        EXPECT_EQ(Version_Info_Size(cut), 0u) << keep << " bytes";
    }
}

// ---- Files made by hand -----------------------------------------------------------

// A minimal 64-bit little-endian ELF file: the header, the section names, the
// block, and a table of three sections (none, the names, the block).
struct TElf_Image {
    static constexpr std::size_t Names_At = 64;
    static constexpr char Names[] = "\0.shstrtab\0.qev_version";  // names at 1 and 11
    std::string Bytes;
    std::size_t Block_At = 0;
    std::size_t Block_Size = 0;
    std::size_t Table_At = 0;

    TElf_Image() {
        const std::string block = Encode_Block(Full_Entries());
        Bytes.assign(64, '\0');
        Bytes.replace(0, 7,
                      "\x7f"
                      "ELF\x02\x01\x01");
        Patch(Bytes, 0x10, 2, 2);   // executable
        Patch(Bytes, 0x12, 62, 2);  // x86-64
        Patch(Bytes, 0x14, 1, 4);   // version
        Patch(Bytes, 0x34, 64, 2);  // header size
        Patch(Bytes, 0x3A, 64, 2);  // section header size
        Patch(Bytes, 0x3C, 3, 2);   // sections
        Patch(Bytes, 0x3E, 1, 2);   // names in section 1
        Bytes.append(Names, sizeof Names);
        Block_At = Bytes.size();
        Block_Size = block.size();
        Bytes += block;
        Bytes.resize((Bytes.size() + 7) / 8 * 8, '\0');
        Table_At = Bytes.size();
        Patch(Bytes, 0x28, Table_At, 8);
        Bytes.append(3 * 64, '\0');
        Section(1, 1, 3, Names_At, sizeof Names);
        Section(2, 11, 1, Block_At, Block_Size);
    }
    std::size_t Entry(std::size_t index) const { return Table_At + 64 * index; }
    void Section(std::size_t index, uint32_t name, uint32_t type, uint64_t offset, uint64_t size) {
        Patch(Bytes, Entry(index) + 0, name, 4);
        Patch(Bytes, Entry(index) + 4, type, 4);
        Patch(Bytes, Entry(index) + 24, offset, 8);
        Patch(Bytes, Entry(index) + 32, size, 8);
    }
};

TEST_F(Version_Executable_Test, A_Hand_Made_File_Is_Read) {
    const TElf_Image image;
    const std::string path = folder.File("hand_made");
    Write_File(path, image.Bytes);
    EXPECT_EQ(Version_Info_Size(path), image.Block_Size);
    EXPECT_EQ(Block_Of(path), Encode_Block(Full_Entries()));
}

TEST_F(Version_Executable_Test, Many_Sections_Counted_In_Entry_Zero_Are_Read) {
    // With 0xFFFF sections or more, the header keeps the count and the names'
    // index in the table's entry 0.
    TElf_Image image;
    Patch(image.Bytes, 0x3C, 0, 2);
    Patch(image.Bytes, 0x3E, 0xFFFF, 2);
    Patch(image.Bytes, image.Entry(0) + 32, 3, 8);
    Patch(image.Bytes, image.Entry(0) + 40, 1, 4);
    const std::string path = folder.File("many_sections");
    Write_File(path, image.Bytes);
    EXPECT_EQ(Version_Info_Size(path), image.Block_Size);
}

TEST_F(Version_Executable_Test, Every_Cut_Of_A_Hand_Made_File_Has_None) {
    const TElf_Image image;
    const std::string path = folder.File("cut");
    for (std::size_t keep = 0; keep < image.Bytes.size(); ++keep) {
        Write_File(path, image.Bytes.substr(0, keep));
        ASSERT_EQ(Version_Info_Size(path), 0u) << keep << " bytes";
    }
}

struct TBroken_File_Row {
    const char* Name;
    std::function<void(TElf_Image&)> Break;
};
void PrintTo(const TBroken_File_Row& row, std::ostream* out) { *out << row.Name; }

class Broken_File_Test : public ::testing::TestWithParam<TBroken_File_Row> {
protected:
    TTemp_Dir folder;
};

// Each row breaks the hand-made file (which reads well as it is): the reader
// answers 0, copies nothing, and the dialog keeps its design texts.
TEST_P(Broken_File_Test, Has_No_Version_Information) {
    TElf_Image image;
    const std::string path = folder.File("broken");
    Write_File(path, image.Bytes);
    ASSERT_GT(Version_Info_Size(path), 0u);
    GetParam().Break(image);
    Write_File(path, image.Bytes);
    EXPECT_EQ(Version_Info_Size(path), 0u);
    char untouched = 'x';
    EXPECT_FALSE(Read_Version_Info(path, &untouched, 1));
    EXPECT_EQ(untouched, 'x');
    EXPECT_EQ(Version_Label_Texts(path)[0], "ProductNameLabel ");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Broken_File_Test,
    ::testing::Values(
        TBroken_File_Row{"empty_file", [](TElf_Image& e) { e.Bytes.clear(); }},
        TBroken_File_Row{"text_file", [](TElf_Image& e) { e.Bytes = "QEV_LPT\nProduct Name: QEV_LPT\n"; }},
        TBroken_File_Row{"truncated_elf_header", [](TElf_Image& e) { e.Bytes.resize(40); }},
        TBroken_File_Row{"not_elf", [](TElf_Image& e) { e.Bytes[1] = 'e'; }},
        TBroken_File_Row{"thirty_two_bit", [](TElf_Image& e) { e.Bytes[4] = 1; }},
        TBroken_File_Row{"big_endian", [](TElf_Image& e) { e.Bytes[5] = 2; }},
        TBroken_File_Row{"unknown_elf_version", [](TElf_Image& e) { e.Bytes[6] = 2; }},
        TBroken_File_Row{"no_section_table", [](TElf_Image& e) { Patch(e.Bytes, 0x28, 0, 8); }},
        TBroken_File_Row{"section_table_past_the_end",
                         [](TElf_Image& e) { Patch(e.Bytes, 0x28, e.Bytes.size() + 64, 8); }},
        TBroken_File_Row{"section_table_running_off_the_end",
                         [](TElf_Image& e) { Patch(e.Bytes, 0x28, e.Bytes.size() - 100, 8); }},
        TBroken_File_Row{"section_table_offset_wrapping_around",
                         [](TElf_Image& e) { Patch(e.Bytes, 0x28, 0xFFFFFFFFFFFFFFC0, 8); }},
        TBroken_File_Row{"more_sections_than_the_file_holds", [](TElf_Image& e) { Patch(e.Bytes, 0x3C, 0xFFFE, 2); }},
        TBroken_File_Row{"section_entries_too_small", [](TElf_Image& e) { Patch(e.Bytes, 0x3A, 40, 2); }},
        TBroken_File_Row{"names_index_out_of_range", [](TElf_Image& e) { Patch(e.Bytes, 0x3E, 3, 2); }},
        TBroken_File_Row{"names_past_the_end",
                         [](TElf_Image& e) { Patch(e.Bytes, e.Entry(1) + 24, e.Bytes.size(), 8); }},
        TBroken_File_Row{"names_too_long", [](TElf_Image& e) { Patch(e.Bytes, e.Entry(1) + 32, 0x7FFFFFFF, 8); }},
        TBroken_File_Row{"names_take_no_room", [](TElf_Image& e) { Patch(e.Bytes, e.Entry(1) + 4, 8, 4); }},
        TBroken_File_Row{"name_offset_past_the_names",
                         [](TElf_Image& e) { Patch(e.Bytes, e.Entry(2), 0xFFFFFFF0, 4); }},
        TBroken_File_Row{"name_cut_by_the_end_of_the_names",
                         [](TElf_Image& e) { Patch(e.Bytes, e.Entry(1) + 32, sizeof TElf_Image::Names - 1, 8); }},
        TBroken_File_Row{"other_section_name", [](TElf_Image& e) { e.Bytes[TElf_Image::Names_At + 15] = 'W'; }},
        TBroken_File_Row{"longer_section_name",
                         [](TElf_Image& e) {
                             // ".qev_version" followed by more letters: not the same name.
                             Patch(e.Bytes, e.Entry(1) + 32, sizeof TElf_Image::Names + 2, 8);
                             e.Bytes[TElf_Image::Names_At + sizeof TElf_Image::Names - 1] = 's';
                         }},
        TBroken_File_Row{"block_past_the_end",
                         [](TElf_Image& e) { Patch(e.Bytes, e.Entry(2) + 24, e.Bytes.size() - 8, 8); }},
        TBroken_File_Row{"block_size_wrapping_around",
                         [](TElf_Image& e) { Patch(e.Bytes, e.Entry(2) + 32, 0xFFFFFFFFFFFFFFFF, 8); }},
        TBroken_File_Row{"block_takes_no_room", [](TElf_Image& e) { Patch(e.Bytes, e.Entry(2) + 4, 8, 4); }},
        TBroken_File_Row{"section_smaller_than_the_block",
                         [](TElf_Image& e) { Patch(e.Bytes, e.Entry(2) + 32, e.Block_Size - 1, 8); }},
        TBroken_File_Row{"block_with_wrong_magic", [](TElf_Image& e) { e.Bytes[e.Block_At] = 'X'; }},
        TBroken_File_Row{"block_entry_running_past_its_end",
                         [](TElf_Image& e) { Patch(e.Bytes, e.Block_At + 16, 0x7FFF, 2); }},
        TBroken_File_Row{"block_over_the_limit",
                         [](TElf_Image& e) {
                             // A section of 64 KiB + 1 whose block says so.
                             const std::string big = Encode_Block({{"p", std::string(65536 - 16 - 5 + 1, 'v')}});
                             e.Bytes += big;
                             Patch(e.Bytes, e.Entry(2) + 24, e.Bytes.size() - big.size(), 8);
                             Patch(e.Bytes, e.Entry(2) + 32, big.size(), 8);
                         }}),
    [](const ::testing::TestParamInfo<TBroken_File_Row>& info) { return std::string(info.param.Name); });

TEST_F(Version_Executable_Test, A_Folder_Or_A_Missing_File_Has_None) {
    EXPECT_EQ(Version_Info_Size(folder.Path()), 0u);
    EXPECT_EQ(Version_Info_Size(folder.File("missing")), 0u);
    EXPECT_EQ(Version_Info_Size(""), 0u);
}

}  // namespace
}  // namespace qev::test
