// Option ▸ Listen on the simulated IR device: a remote's key is named in the
// status bar and runs its macro from the KEYS file, the program's own sends
// are not heard, and a port that cannot listen says so.
#include "app/core/busy_section.h"
#include "app/core/table_codes.h"
#include "harness/loopback_client.h"
#include "io/io_api.h"
#include "ir/protocols.h"
#include "ir/sampling.h"
#include "net/lirc_server.h"
#include "tests/support/free_port.h"
#include "tests/support/qt/window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <string>

namespace qev::test {
namespace {

class Listening_Test : public Window_Test {
protected:
    TEnv_Guard device{"IO_BACKEND", "simlirc"};

    template <typename F>
    F* Sim(const char* name) {
        auto* f = reinterpret_cast<F*>(form->State().Port.Resolve(name));
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
    // Row `row` holds `code` sampled, under `name`.
    void Put(int32_t row, const std::string& name, const TIR_Code& code) {
        TQEV_State& state = form->State();
        Store_Levels(state.Table, row, Sample_Timing(Encode(code), state.Samples.Capacity()));
        state.Table.Set_Name(row, name);
        state.Table.Command_Count = std::max(state.Table.Command_Count, row + 1);
    }
    QString Heard() const {
        auto* label = form->findChild<QLabel*>(QStringLiteral("Heard_Label"));
        return label ? label->text() : QString();
    }
    QString Heard_Details() const {
        auto* label = form->findChild<QLabel*>(QStringLiteral("Heard_Label"));
        return label ? label->toolTip() : QString();
    }
    // The remote sends one NEC frame, once, when the listener waits for it
    // (what arrives before that is read away, as before a capture).
    void Press(unsigned address, unsigned command) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return Sim<decltype(IoSimSignalWaiting)>("IoSimSignalWaiting")() == 1; }, 5000));
        Sim<decltype(IoSimRemoteSetAuto)>("IoSimRemoteSetAuto")(0);
        ASSERT_EQ(Sim<decltype(IoSimRemoteSetNec)>("IoSimRemoteSetNec")(address, command, 0), 0);
        Sim<decltype(IoSimRemoteTrigger)>("IoSimRemoteTrigger")();
    }
    long long Sent() { return Sim<decltype(IoSimSignalCount)>("IoSimSignalCount")(); }
};

TEST_F(Listening_Test, A_Key_Is_Named_And_Runs_Its_Macro_But_Own_Sends_Are_Not_Heard) {
    Write_File(profile.File("QEV_LPT.KEYS"), "# what the remote's keys do\nPOWER = AMP\n");
    Start();
    Put(0, "POWER", {TProtocol::NEC, 0x04, 0x08});
    Put(1, "AMP", {TProtocol::NEC, 0x10, 0x20});
    QAction* item = Named_Child<QAction>(*form, "Listen");
    item->trigger();
    ASSERT_TRUE(item->isChecked());
    EXPECT_EQ(form->State().Settings.LISTEN_ENABLE, 1);

    const long long before = Sent();
    Press(0x04, 0x08);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Heard() == "Heard POWER"; }, 5000)) << Heard().toStdString();
    EXPECT_EQ(Heard_Details().toStdString(), "Heard POWER: POWER ran AMP");
    EXPECT_EQ(Sent(), before + 1) << "the macro sent AMP";

    // The device hears its own transmitter from now on: a send of POWER
    // must not be taken for the remote's key (which would run AMP again).
    Sim<decltype(IoSimSetLoopback)>("IoSimSetLoopback")(1);
    form->Send_Command(0);
    EXPECT_EQ(Sent(), before + 2);
    Press(0x04, 0x09);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Heard() == "Heard NEC_0x04_0x09"; }, 5000)) << Heard().toStdString();
    EXPECT_EQ(Sent(), before + 2) << "the loopback of the own send ran no macro";

    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(form->State().Listener.Listening());
    EXPECT_EQ(form->State().Settings.LISTEN_ENABLE, 0);
}

// A key heard while another action holds the program (here a busy section,
// as a macro's @WAIT or a capture keeps one) is still named, but its macro
// waits for no one: it is not run, and the tooltip says so.
TEST_F(Listening_Test, A_Key_Heard_During_Another_Action_Is_Named_But_Runs_No_Macro) {
    Write_File(profile.File("QEV_LPT.KEYS"), "POWER = AMP\n");
    Start();
    Put(0, "POWER", {TProtocol::NEC, 0x04, 0x08});
    Put(1, "AMP", {TProtocol::NEC, 0x10, 0x20});
    Named_Child<QAction>(*form, "Listen")->trigger();
    const long long before = Sent();
    {
        const TBusy_Section busy(form->State());
        Press(0x04, 0x08);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Heard() == "Heard POWER"; }, 5000)) << Heard().toStdString();
        EXPECT_EQ(Heard_Details().toStdString(),
                  "Heard POWER: POWER's macro was not run, as another action was under way");
        EXPECT_EQ(Sent(), before);
    }
    Press(0x04, 0x09);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Heard() == "Heard NEC_0x04_0x09"; }, 5000)) << Heard().toStdString();
    Press(0x04, 0x08);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Heard() == "Heard POWER"; }, 5000)) << Heard().toStdString();
    EXPECT_EQ(Heard_Details().toStdString(), "Heard POWER: POWER ran AMP");
    EXPECT_EQ(Sent(), before + 1);
}

// Each key heard reaches LIRC's clients as lircd's line: code (address and
// command), repeat count, key, remote.
TEST_F(Listening_Test, A_Heard_Key_Reaches_LIRC_Clients_As_Lircd_Says_It) {
    const uint16_t port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    Write_File(Settings_File(), "[LIRC]\nENABLE=1\nPORT=" + std::to_string(port) + "\n[LISTEN]\nENABLE=1\n");
    Start();
    Put(0, "VOL UP", {TProtocol::NEC, 0x04, 0x08});
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(client.waitForConnected(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Lirc_Server().Connection_Count() == 1; }, 5000));
    std::string lines;
    const auto wait_for_lines = [&](std::ptrdiff_t count) {
        return QTest::qWaitFor(
            [&] {
                lines += client.readAll().toStdString();
                return std::count(lines.begin(), lines.end(), '\n') == count;
            },
            5000);
    };
    Press(0x04, 0x08);
    ASSERT_TRUE(wait_for_lines(1)) << lines;
    Press(0x01, 0x02);  // a new waveform drops one still pending: one at a time
    ASSERT_TRUE(wait_for_lines(2)) << lines;
    EXPECT_EQ(lines, "0000000000040008 00 VOL_UP QEV_LPT\n0000000000010002 00 NEC_0x01_0x02 QEV_LPT\n");
}

// A key's macro may take seconds (a @WAIT holds the window as a plain
// sleep): LIRC's clients get the key's line before it runs, not after.
TEST_F(Listening_Test, LIRC_Clients_Hear_A_Key_Before_Its_Macro_Runs) {
    const uint16_t port = Free_Loopback_Port();
    ASSERT_NE(port, 0);
    Write_File(Settings_File(), "[LIRC]\nENABLE=1\nPORT=" + std::to_string(port) + "\n[LISTEN]\nENABLE=1\n");
    Write_File(profile.File("QEV_LPT.KEYS"), "POWER = @WAIT 1500\n");
    Start();
    Put(0, "POWER", {TProtocol::NEC, 0x04, 0x08});
    const int client = harness::Connect_Loopback(port, 5000);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Lirc_Server().Connection_Count() == 1; }, 5000));
    // What the client has when the macro starts its wait.
    const std::string line = "0000000000040008 00 POWER QEV_LPT\n";
    std::string received_by_then;
    feedback.On_Sleep = [&](int) { received_by_then = harness::Receive_Count(client, line.size(), 1000); };
    Press(0x04, 0x08);
    const bool heard = QTest::qWaitFor([&] { return Heard() == "Heard POWER"; }, 5000);
    feedback.On_Sleep = nullptr;
    ::close(client);
    ASSERT_TRUE(heard) << Heard().toStdString();
    EXPECT_EQ(Heard_Details().toStdString(), "Heard POWER: POWER ran @WAIT 1500");
    EXPECT_EQ(feedback.Sleeps, std::vector<int>{1500});
    EXPECT_EQ(received_by_then, line);
}

// The setup dialog's LISTEN Section: OK starts or stops listening at once.
TEST_F(Listening_Test, The_Setup_Dialog_Starts_And_Stops_Listening) {
    Start();
    QAction* item = Named_Child<QAction>(*form, "Listen");
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        QTimer::singleShot(0, form.get(), [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QCheckBox*>(QStringLiteral("Listen_Enable_CheckBox"))->setChecked(on);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK_Button")), Qt::LeftButton);
        });
        Named_Child<QAction>(*form, "SetUp")->trigger();
        EXPECT_EQ(form->State().Listener.Listening(), on);
        EXPECT_EQ(item->isChecked(), on);
        EXPECT_EQ(form->State().Settings.LISTEN_ENABLE, on ? 1 : 0);
    }
}

TEST_F(Listening_Test, Listening_Comes_Back_At_Start_Up) {
    Write_File(Settings_File(), "[LISTEN]\nENABLE=1\n");
    Start();
    EXPECT_TRUE(Named_Child<QAction>(*form, "Listen")->isChecked());
    EXPECT_TRUE(form->State().Listener.Listening());
}

class Register_Port_Listening_Test : public Window_Test {};

TEST_F(Register_Port_Listening_Test, A_Port_That_Cannot_Listen_Says_So) {
    Start();
    QAction* item = Named_Child<QAction>(*form, "Listen");
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].Text.find("Listening needs a port that receives whole signals"), std::string::npos);
    EXPECT_EQ(form->State().Settings.LISTEN_ENABLE, 0);
}

}  // namespace
}  // namespace qev::test
