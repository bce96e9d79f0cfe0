// The File menu's Import and Export: the code files of other infrared tools.
#include "io/sim_remote.h"
#include "ir/code_files.h"
#include "tests/support/qt/window_fixture.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <filesystem>

namespace qev::test {
namespace {

const char* const Nec_Remote =
    "Filetype: IR signals file\n"
    "Version: 1\n"
    "#\n"
    "name: POWER\n"
    "type: parsed\n"
    "protocol: NEC\n"
    "address: 04 00 00 00\n"
    "command: 08 00 00 00\n"
    "#\n"
    "name: VOL-UP\n"
    "type: parsed\n"
    "protocol: NEC\n"
    "address: 04 00 00 00\n"
    "command: 02 00 00 00\n";

class Code_Exchange_Test : public Window_Test {
protected:
    void Trigger(const char* item) { Named_Child<QAction>(*form, item)->trigger(); }
    // What the port writes for the simulated remote's own NEC command: one
    // data-register value per sample (0xFF the LED on), for one frame period.
    static std::vector<uint8_t> Simulated_Remote_Writes(unsigned address, unsigned command) {
        const io::Waveform waveform = io::Waveform::nec(address, command, 0);
        io::WaveformCursor cursor;
        cursor.attach(&waveform);
        std::vector<uint8_t> writes;
        for (int64_t i = 0; i < 864; ++i) writes.push_back(cursor.level(i * io::kCellNs) ? 0xFF : 0xFE);
        return writes;
    }
};

TEST_F(Code_Exchange_Test, Import_And_Export_Follow_Save_To_File) {
    Start();
    const QList<QAction*> items = Named_Child<QMenu>(*form, "File")->actions();
    QStringList names;
    for (const QAction* item : items) names << item->objectName();
    EXPECT_EQ(names, (QStringList{"ReadfromFile", "SavetoFile", "Import", "Export", "SetUp", "Exit"}));
    EXPECT_EQ(Named_Child<QAction>(*form, "Import")->text(), QString::fromUtf8("&Import\u2026"));
    EXPECT_EQ(Named_Child<QAction>(*form, "Export")->text(), QString::fromUtf8("Ex&port\u2026"));
}

// A remote brought in from a Flipper file sends what the real remote sends.
TEST_F(Code_Exchange_Test, An_Imported_Nec_Code_Sends_The_Remotes_Own_Waveform) {
    Start();
    const std::string file = profile.File("tv.ir");
    Write_File(file, Nec_Remote);
    chosen_files = {file};
    Trigger("Import");
    ASSERT_EQ(file_requests.size(), 1u);
    EXPECT_FALSE(file_requests[0].Save);
    EXPECT_EQ(file_requests[0].Filter, Import_Filter);
    EXPECT_TRUE(messages.empty()) << Texts().front();
    EXPECT_EQ(Combo()->count(), 2);
    EXPECT_TRUE(Key("Power_PictureButton")->isEnabled()) << "keys named like the commands light up";
    EXPECT_TRUE(Key("VOL_Up_PictureButton")->isEnabled());
    EXPECT_EQ(form->Status_Text(), "tv.ir");

    form->State().Settings.REPEAT = 1;
    Tx_Clear();
    QTest::mouseClick(Key("Power_PictureButton"), Qt::LeftButton);
    EXPECT_EQ(Tx_Values(), Simulated_Remote_Writes(0x04, 0x08));
}

TEST_F(Code_Exchange_Test, Import_Adds_After_The_Rows_And_Says_What_It_Left_Out) {
    Start();
    form->State().Load_Command_File(Command_File("old.rmt", "POWER,FF\n"), 1);
    const std::string file = profile.File("tv.ir");
    Write_File(file, std::string(Nec_Remote) +
                         "#\nname: BAD\ntype: parsed\nprotocol: NEC\naddress: 04 01 00 00\ncommand: 01 00 00 00\n");
    chosen_files = {file};
    Trigger("Import");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Caption, "Import");
    EXPECT_EQ(messages[0].Text,
              "tv.ir, line 19: address 0x104 is beyond NEC's 0xFF\n"
              "1 command was not added: the name is already in the table (first: POWER)");
    ASSERT_EQ(Combo()->count(), 2);
    EXPECT_EQ(Combo()->itemText(0), "POWER");
    EXPECT_EQ(form->State().Table.Row(0).Byte_Count, 1) << "the old POWER is kept";
    EXPECT_EQ(Combo()->itemText(1), "VOL-UP");
}

TEST_F(Code_Exchange_Test, Files_That_Cannot_Be_Imported_Change_Nothing) {
    struct TCase {
        const char* Name;
        const char* File;
        const char* Text;  // nullptr: the file is not written
        const char* Message;
    };
    const TCase cases[] = {
        {"missing", "gone.ir", nullptr, "gone.ir: No such file or directory"},
        {"not_flipper", "x.ir", "hello\n", "x.ir, line 1: "},
        {"unknown_extension", "x.txt", "0000 006D 0001 0000 0015 0016\n", "x.txt: not a .ir, .conf or .pronto file"},
        {"empty_pronto", "x.pronto", "", "x.pronto: the file holds no commands"},
    };
    Start();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        messages.clear();
        const std::string path = profile.File(c.File);
        if (c.Text != nullptr) Write_File(path, c.Text);
        chosen_files = {path};
        Trigger("Import");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].Text.rfind(c.Message, 0), 0u) << messages[0].Text;
        EXPECT_EQ(Combo()->count(), 0);
    }
}

TEST_F(Code_Exchange_Test, Export_Writes_The_Format_Of_The_Chosen_Filter) {
    Start();
    const std::string in = profile.File("tv.ir");
    Write_File(in, Nec_Remote);
    chosen_files = {in};
    Trigger("Import");
    struct TCase {
        int Filter;
        const char* Chosen;
        const char* Written;
        TCode_Format Format;
    };
    const TCase cases[] = {
        {0, "out", "out.ir", TCode_Format::Flipper},
        {1, "living room.conf", "living room.conf", TCode_Format::Lircd},
        {2, "codes.txt", "codes.txt.pronto", TCode_Format::Pronto},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Written);
        feedback.Chosen_Filter = c.Filter;
        chosen_files = {profile.File(c.Chosen)};
        Trigger("Export");
        EXPECT_TRUE(file_requests.back().Save);
        EXPECT_EQ(file_requests.back().Filter, Export_Filter);
        const TIR_File read = Read_Code_File(profile.File(c.Written), c.Format);
        EXPECT_TRUE(read.Errors.empty());
        ASSERT_EQ(read.Records.size(), 2u);
        EXPECT_EQ(read.Records[0].Name, "POWER");
        EXPECT_EQ(read.Records[1].Name, "VOL-UP");
    }
    // The Flipper export names the codes it recognises.
    EXPECT_EQ(Read_File(profile.File("out.ir")), Nec_Remote);
    EXPECT_NE(Read_File(profile.File("living room.conf")).find("name  living_room"), std::string::npos);

    // An existing file is asked about; Cancel keeps it.
    messages.clear();
    feedback.Chosen_Filter = 0;
    chosen_files = {profile.File("out.ir")};
    answers = {TMessage_Answer::Cancel};
    Trigger("Clear_All_Data");
    answers = {TMessage_Answer::OK, TMessage_Answer::Cancel};
    Trigger("Clear_All_Data");
    chosen_files = {profile.File("out.ir")};
    Trigger("Export");
    EXPECT_EQ(Texts().back(), "Specified File Already Exists. Overwrite OK? / File Exists");
    EXPECT_EQ(Read_File(profile.File("out.ir")), Nec_Remote);
}

}  // namespace
}  // namespace qev::test
