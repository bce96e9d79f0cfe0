// The macro dialog over a real main window on the simulated port: its
// layout, a run as the user sees it, and the Macro file menu.
#include "harness/sim_port_controls.h"
#include "macro/ui/macro_command_form.h"
#include "net/command_server.h"
#include "tests/support/qt/window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace qev::test {
namespace {

// Runs `during` once, from inside the first data-register write of a run.
std::function<void()> during_send;
void (*sim_port_out)(unsigned short, unsigned char) = nullptr;
void Observing_Port_Out(unsigned short port, unsigned char value) {
    if (during_send) {
        auto once = std::move(during_send);
        during_send = nullptr;
        once();
    }
    sim_port_out(port, value);
}

class Macro_Form_Test : public Window_Test {
protected:
    std::unique_ptr<TMacro_Command_Form> dialog;

    void SetUp() override {
        Start();
        // One byte per command: 8 data writes per transmission.
        ASSERT_EQ(form->State().Load_Command_File(Command_File("tv.rmt", "POWER,01\nPLAY,03\n"), 1), 0);
        dialog = std::make_unique<TMacro_Command_Form>(form->State(), form.get());
        TPort_Function_Table table = form->State().Port.Functions();
        sim_port_out = table.PortOut;
        table.PortOut = &Observing_Port_Out;
        form->State().Port.Set_Function_Table(table);
        during_send = nullptr;
        Tx_Clear();
    }
    template <typename T>
    T* Child(const char* name) const {
        return Named_Child<T>(*dialog, name);
    }
    QPlainTextEdit* Memo() const { return Child<QPlainTextEdit>("Macro_Memo"); }
    void Trigger(const char* action) { Child<QAction>(action)->trigger(); }
    long long Transmissions() const { return Tx_Count() / 8; }
};

TEST_F(Macro_Form_Test, Opens_With_Its_Controls_And_Menus) {
    EXPECT_EQ(dialog->windowTitle(), "Macro");
    EXPECT_EQ(Child<QWidget>("Client")->size(), QSize(426, 437));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "fixed border";
    EXPECT_EQ(Memo()->size(), QSize(289, 417));
    EXPECT_EQ(Memo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Memo()->toPlainText(), "");
    EXPECT_EQ(Child<QPushButton>("Macro_Execute_Button")->text(), "Macro Execute");
    EXPECT_TRUE(Child<QPushButton>("Macro_Execute_Button")->isEnabled());
    EXPECT_EQ(Child<QPushButton>("Abort_Button")->text(), "Abort");
    EXPECT_FALSE(Child<QPushButton>("Abort_Button")->isEnabled());
    struct Row {
        const char* menu;
        const char* caption;
        std::vector<std::pair<const char*, const char*>> items;
    };
    const std::vector<Row> rows = {
        {"Macro_File", "&File", {{"Macro_Import", "&Import"}, {"Macro_Export", "&Export"}, {"Macro_Close", "&Close"}}},
        {"Macro_Edit", "&Edit", {{"Macro_Copy", "&Copy"}, {"Macro_Paste", "&Paste"}, {"Macro_Clear", "Clear(&X)"}}},
        {"Macro_Command", "&Command", {{"Macro_Execute", "&Execute"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.menu);
        auto* menu = Child<QMenu>(row.menu);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), row.caption);
        ASSERT_EQ(menu->actions().size(), static_cast<qsizetype>(row.items.size()));
        for (std::size_t i = 0; i < row.items.size(); ++i) {
            EXPECT_EQ(menu->actions()[static_cast<qsizetype>(i)]->objectName(), row.items[i].first);
            EXPECT_EQ(menu->actions()[static_cast<qsizetype>(i)]->text(), row.items[i].second);
        }
    }
}

TEST_F(Macro_Form_Test, A_Loop_Sends_Its_Command_Three_Times_Through_The_Port) {
    Memo()->setPlainText(QStringLiteral("@COUNT 3\nPOWER\n@LOOP"));
    QTest::mouseClick(Child<QPushButton>("Macro_Execute_Button"), Qt::LeftButton);
    EXPECT_EQ(Transmissions(), 3);
    const std::vector<uint8_t> once{0xFF, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE};
    std::vector<uint8_t> three_times;
    for (int i = 0; i < 3; ++i) three_times.insert(three_times.end(), once.begin(), once.end());
    EXPECT_EQ(Tx_Values(), three_times);
    EXPECT_TRUE(messages.empty());
    Trigger("Macro_Execute");
    EXPECT_EQ(Transmissions(), 6) << "the menu item runs it as well";
}

TEST_F(Macro_Form_Test, While_A_Line_Runs_It_Is_Highlighted_And_The_Text_Is_Locked) {
    Memo()->setPlainText(QStringLiteral("; first\nPLAY\nPOWER"));
    struct {
        QString selected;
        bool read_only = false, execute = true, abort = false, menu_execute = true, menu_clear = true;
        bool menu_export = false;
    } seen;
    during_send = [&] {
        seen.selected = Memo()->textCursor().selectedText();
        seen.read_only = Memo()->isReadOnly();
        seen.execute = Child<QPushButton>("Macro_Execute_Button")->isEnabled();
        seen.abort = Child<QPushButton>("Abort_Button")->isEnabled();
        seen.menu_execute = Child<QAction>("Macro_Execute")->isEnabled();
        seen.menu_clear = Child<QAction>("Macro_Clear")->isEnabled();
        seen.menu_export = Child<QAction>("Macro_Export")->isEnabled();
        QApplication::clipboard()->setText(QStringLiteral("INSERTED"));
        dialog->Macro_PasteClick();
    };
    dialog->Macro_Execute_ButtonClick();
    EXPECT_EQ(seen.selected, QStringLiteral("PLAY\u2029")) << "the line and its line break";
    EXPECT_TRUE(seen.read_only);
    EXPECT_FALSE(seen.execute);
    EXPECT_TRUE(seen.abort);
    EXPECT_FALSE(seen.menu_execute);
    EXPECT_FALSE(seen.menu_clear);
    EXPECT_TRUE(seen.menu_export);
    EXPECT_EQ(Memo()->toPlainText(), "; first\nPLAY\nPOWER") << "a paste during the run has no effect";
    EXPECT_FALSE(Memo()->isReadOnly());
    EXPECT_TRUE(Child<QPushButton>("Macro_Execute_Button")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("Abort_Button")->isEnabled());
    EXPECT_TRUE(Child<QAction>("Macro_Execute")->isEnabled());
}

// How lines fail and are numbered is the interpreter's own test
// (tests/macro/core); the dialog shows its report in a box and runs on.
TEST_F(Macro_Form_Test, A_Failing_Line_Is_Reported_And_The_Run_Goes_On) {
    Memo()->setPlainText(QStringLiteral("POWER\npower\nPLAY"));
    dialog->Macro_Execute_ButtonClick();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Line 001: Unrecognized Command / Command Error"});
    EXPECT_EQ(Transmissions(), 2);
}

TEST_F(Macro_Form_Test, Abort_Stops_Before_The_Next_Line) {
    Memo()->setPlainText(QStringLiteral("POWER\nPLAY\nPOWER"));
    during_send = [&] { QTest::mouseClick(Child<QPushButton>("Abort_Button"), Qt::LeftButton); };
    dialog->Macro_Execute_ButtonClick();
    EXPECT_EQ(Transmissions(), 1);
}

TEST_F(Macro_Form_Test, A_Close_Request_During_A_Run_Closes_When_It_Ends) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    Memo()->setPlainText(QStringLiteral("POWER\nPLAY"));
    for (const char* how : {"close box", "menu", "reject"}) {
        SCOPED_TRACE(how);
        dialog->show();
        bool visible_after_request = false;
        during_send = [&] {
            if (std::string_view(how) == "close box")
                dialog->close();
            else if (std::string_view(how) == "menu")
                Trigger("Macro_Close");
            else
                dialog->reject();
            visible_after_request = dialog->isVisible();
        };
        Tx_Clear();
        dialog->Macro_Execute_ButtonClick();
        EXPECT_TRUE(visible_after_request);
        EXPECT_EQ(Transmissions(), 2) << "the run went on";
        EXPECT_FALSE(dialog->isVisible());
    }
}

TEST_F(Macro_Form_Test, Escape_Keeps_The_Dialog_And_Its_Text) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    Memo()->setPlainText(QStringLiteral("POWER"));
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Memo()->toPlainText(), "POWER");
}

TEST_F(Macro_Form_Test, Export_And_Import_Give_Back_The_Same_Lines) {
    std::filesystem::create_directory(profile.File("macros"));
    Memo()->setPlainText(QStringLiteral("@COUNT 2\n  POWER ; tv\n@LOOP\n"));
    chosen_files = {profile.File("macros/evening")};
    Trigger("Macro_Export");
    ASSERT_EQ(file_requests.size(), 1u);
    EXPECT_TRUE(file_requests[0].Save);
    EXPECT_EQ(file_requests[0].Initial_Folder, profile.Path());
    EXPECT_EQ(file_requests[0].Initial_Name, "temp.mcr");
    EXPECT_EQ(file_requests[0].Filter, "Macro Files(*.mcr)|*.mcr|All Files(*.*)|*.*");
    EXPECT_EQ(file_requests[0].Default_Extension, "mcr");
    EXPECT_EQ(Read_File(profile.File("macros/evening.mcr")), "@COUNT 2\r\n  POWER ; tv\r\n@LOOP\r\n");
    EXPECT_EQ(form->State().Settings.RMT_DIR, profile.File("macros"));

    Memo()->clear();
    chosen_files = {profile.File("macros/evening.mcr")};
    Trigger("Macro_Import");
    EXPECT_FALSE(file_requests.back().Save);
    EXPECT_EQ(file_requests.back().Initial_Folder, profile.File("macros"));
    EXPECT_EQ(Memo()->toPlainText(), "@COUNT 2\n  POWER ; tv\n@LOOP\n");
    EXPECT_TRUE(messages.empty());
}

// How each kind of line end reads is the macro file's own test
// (tests/macro/core); Import shows the file as it reads it.
TEST_F(Macro_Form_Test, Import_Shows_The_File_With_Its_Line_Ends_Made_One_Kind) {
    Write_File(profile.File("in.mcr"), "A\r\nB\rC\nD");
    chosen_files = {profile.File("in.mcr")};
    Trigger("Macro_Import");
    EXPECT_EQ(Memo()->toPlainText(), "A\nB\nC\nD");
}

// A Macro file goes through the text widget and back byte for byte, as a
// Command file keeps its names: bytes that are not UTF-8, control bytes,
// a no-break space, a byte-order mark.
TEST_F(Macro_Form_Test, Import_And_Export_Keep_Every_Byte) {
    std::string every_byte;  // each value but the two line ends, 16 to a line
    for (int b = 0, in_line = 0; b < 256; ++b) {
        if (b == '\r' || b == '\n') continue;
        every_byte += static_cast<char>(b);
        if (++in_line % 16 == 0) every_byte += "\r\n";
    }
    struct Row {
        const char* name;
        std::string bytes;
    };
    const std::vector<Row> rows = {
        {"every_byte_value", every_byte + "\r\n"},
        {"latin1_name", "CAF\xC9\r\n@WAIT 10\r\n"},
        {"shift_jis_name", "\x93\x64\x8C\xB9\r\n"},
        {"utf8_with_no_break_space", "TV\xC2\xA0ON ; caf\xC3\xA9\r\n"},
        {"byte_order_mark", "\xEF\xBB\xBFPOWER\r\nPLAY"},
        {"utf8_of_the_byte_characters", "\xEF\x9F\x89\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write_File(profile.File("in.mcr"), row.bytes);
        const std::string out = profile.File(std::string(row.name) + ".mcr");
        chosen_files = {profile.File("in.mcr"), out};
        Trigger("Macro_Import");
        Trigger("Macro_Export");
        EXPECT_EQ(Read_File(out), row.bytes);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Macro_Form_Test, A_Name_That_Is_Not_Utf8_Reaches_Its_Command) {
    ASSERT_EQ(form->State().Load_Command_File(Command_File("cafe.rmt", "CAF\xC9,01\n"), 1), 0);
    Write_File(profile.File("cafe.mcr"), "CAF\xC9\r\n");
    chosen_files = {profile.File("cafe.mcr")};
    Trigger("Macro_Import");
    QTest::mouseClick(Child<QPushButton>("Macro_Execute_Button"), Qt::LeftButton);
    EXPECT_TRUE(messages.empty()) << Texts().front();
    EXPECT_EQ(Transmissions(), 1);
}

TEST_F(Macro_Form_Test, A_File_Without_Extension_Opens_As_It_Is) {
    Write_File(profile.File("evening"), "PLAY\r\n");
    Write_File(profile.File("morning.mcr"), "POWER\r\n");
    chosen_files = {profile.File("evening"), profile.File("morning")};
    Trigger("Macro_Import");
    EXPECT_EQ(Memo()->toPlainText().toStdString(), "PLAY\n");
    Trigger("Macro_Import");  // a typed name without extension gets .mcr
    EXPECT_EQ(Memo()->toPlainText().toStdString(), "POWER\n");
    EXPECT_TRUE(messages.empty());
}

TEST_F(Macro_Form_Test, File_Dialogs_Offer_The_Name_Chosen_Last) {
    Write_File(profile.File("one.mcr"), "POWER\r\n");
    chosen_files = {profile.File("one.mcr"), "", profile.File("two.mcr"), ""};
    Trigger("Macro_Import");
    Trigger("Macro_Import");  // cancelled
    Trigger("Macro_Export");
    Trigger("Macro_Export");  // cancelled
    ASSERT_EQ(file_requests.size(), 4u);
    EXPECT_EQ(file_requests[0].Initial_Name, "temp.mcr");
    EXPECT_EQ(file_requests[1].Initial_Name, "one.mcr");
    EXPECT_EQ(file_requests[2].Initial_Name, "temp.mcr") << "each dialog keeps its own";
    EXPECT_EQ(file_requests[3].Initial_Name, "two.mcr");
    TMacro_Command_Form again(form->State(), form.get());
    chosen_files = {""};
    again.Macro_ImportClick();
    EXPECT_EQ(file_requests.back().Initial_Name, "temp.mcr") << "a new opening starts afresh";
}

TEST_F(Macro_Form_Test, A_Missing_File_Or_A_Refused_Overwrite_Changes_Nothing) {
    Memo()->setPlainText(QStringLiteral("KEEP"));
    form->State().Settings.RMT_DIR = "/before";
    chosen_files = {profile.File("none.mcr")};
    Trigger("Macro_Import");
    EXPECT_EQ(Texts(), std::vector<std::string>{"File doesn't Exists. / File Read Error"});
    EXPECT_EQ(Memo()->toPlainText(), "KEEP");
    EXPECT_EQ(form->State().Settings.RMT_DIR, "/before");

    messages.clear();
    Write_File(profile.File("old.mcr"), "OLD\r\n");
    chosen_files = {profile.File("old.mcr")};
    answers = {TMessage_Answer::Cancel};
    Trigger("Macro_Export");
    EXPECT_EQ(Texts(), std::vector<std::string>{"Specified File Already Exists. Overwrite OK? / File Exists"});
    EXPECT_EQ(messages[0].Kind, TMessage_Kind::Question);
    EXPECT_EQ(Read_File(profile.File("old.mcr")), "OLD\r\n");
    EXPECT_EQ(form->State().Settings.RMT_DIR, "/before");
    chosen_files = {profile.File("old.mcr")};
    Trigger("Macro_Export");  // answered OK
    EXPECT_EQ(Read_File(profile.File("old.mcr")), "KEEP");
}

TEST_F(Macro_Form_Test, Clear_Asks_First_And_Copy_And_Paste_Use_The_Clipboard) {
    Memo()->setPlainText(QStringLiteral("POWER\nPLAY"));
    answers = {TMessage_Answer::Cancel};
    Trigger("Macro_Clear");
    EXPECT_EQ(Texts(), std::vector<std::string>{"Are You Sure? / Clear All Data"});
    EXPECT_EQ(Memo()->toPlainText(), "POWER\nPLAY");

    QTextCursor cursor(Memo()->document());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    Memo()->setTextCursor(cursor);
    Trigger("Macro_Copy");
    EXPECT_EQ(QApplication::clipboard()->text(), "POWER");
    Memo()->moveCursor(QTextCursor::End);
    Trigger("Macro_Paste");
    EXPECT_EQ(Memo()->toPlainText(), "POWER\nPLAYPOWER");

    Trigger("Macro_Clear");  // answered OK
    EXPECT_EQ(Memo()->toPlainText(), "");
}

TEST_F(Macro_Form_Test, The_Server_Answers_Between_Two_Lines_Of_A_Run) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    form->State().Settings.PORT = probe.serverPort();
    probe.close();
    form->ServerClick();
    ASSERT_TRUE(form->Server().Is_Open());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, form->State().Settings.PORT);
    QByteArray got;
    const auto read_until = [&](const QByteArray& end) {
        return QTest::qWaitFor(
            [&] {
                got += client.readAll();
                return got.endsWith(end);
            },
            5000);
    };
    ASSERT_TRUE(read_until("# "));
    got.clear();
    // The client's line is sent when the run's first line transmits; it is
    // answered at the event pass before the second line.
    Memo()->setPlainText(QStringLiteral("@COUNT 2\nPOWER\n@LOOP"));
    during_send = [&] {
        client.write("PLAY\r");
        client.flush();  // into the kernel at once; the server sees it at the next event pass
    };
    dialog->Macro_Execute_ButtonClick();
    ASSERT_TRUE(read_until("# "));
    EXPECT_EQ(got, QByteArray("PLAY\r\nCommand OK\r\n# "));
    EXPECT_EQ(Transmissions(), 3) << "POWER, the client's PLAY, POWER";
    EXPECT_EQ(Tx_Values().at(8 + 1), 0xFF) << "the second transmission is PLAY (two samples on)";
    EXPECT_TRUE(messages.empty()) << "the loop ran both passes undisturbed";
}

TEST_F(Macro_Form_Test, Closing_The_Program_During_A_Run_Stops_It_And_Then_Shuts_Down) {
    form->show();
    Memo()->setPlainText(QStringLiteral("POWER\nPLAY\nPOWER"));
    bool open_after_request = false;
    during_send = [&] {
        form->close();  // as SIGTERM does, through the run's event pass
        open_after_request = form->isVisible() && form->State().Table.Rows() > 0;
    };
    dialog->Macro_Execute_ButtonClick();
    EXPECT_TRUE(open_after_request) << "nothing is released under the running line";
    EXPECT_EQ(Transmissions(), 1) << "the run stopped before its next line";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000)) << "and the window closed after it";
    EXPECT_TRUE(File_Exists(Settings_File()));
}

}  // namespace
}  // namespace qev::test
