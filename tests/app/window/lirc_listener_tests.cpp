// The main window's LIRC listener: opened at start-up from [LIRC], moved,
// opened and closed by the setup dialog's OK at once, left alone by its
// cancel, closed at shutdown; a port that cannot be opened is one message and
// the program goes on.
#include "net/lirc_server.h"
#include "tests/support/free_port.h"
#include "tests/support/qt/window_fixture.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qev::test {
namespace {

// One within the setup dialog's range (1,024 to 32,767), which the system's
// choice of a free port lies above: the first free one from a start that
// differs between processes.
uint16_t Free_Dialog_Port() {
    static uint16_t next = static_cast<uint16_t>(20000 + QCoreApplication::applicationPid() % 10000);
    for (; next < 32767; ++next) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, next)) return next++;
    }
    ADD_FAILURE() << "no free port below 32768";
    return 0;
}

class Lirc_Listener_Test : public Window_Test {
protected:
    TLirc_Server& Listener() { return form->Lirc_Server(); }

    // Sends one request on a fresh connection and returns the whole reply.
    std::string Ask(uint16_t port, const std::string& request) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        // A refusal ends the wait at once.
        (void)QTest::qWaitFor(
            [&] {
                return client.state() == QAbstractSocket::ConnectedState ||
                       client.state() == QAbstractSocket::UnconnectedState;
            },
            5000);
        if (client.state() != QAbstractSocket::ConnectedState) return "";
        client.write(QByteArray::fromStdString(request + "\n"));
        std::string reply;
        (void)QTest::qWaitFor(
            [&] {
                reply += client.readAll().toStdString();
                return reply.size() >= 4 && reply.compare(reply.size() - 4, 4, "END\n") == 0;
            },
            5000);
        return reply;
    }
    // Opens the setup dialog from its menu item and lets `edit` change it;
    // `accept` closes it by OK, else by its close box.
    void Set_Up(const std::function<void(QWidget&)>& edit, bool accept) {
        QTimer::singleShot(0, form.get(), [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            edit(*dialog);
            if (accept)
                QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK_Button")), Qt::LeftButton);
            else
                dialog->close();
        });
        form->findChild<QAction*>(QStringLiteral("SetUp"))->trigger();
    }
    static void Type_Port(QWidget& dialog, uint16_t port) {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("LIRC_Port_Edit"));
        edit->setText(QString::number(port));
    }
    static void Tick(QWidget& dialog, bool on) {
        dialog.findChild<QCheckBox*>(QStringLiteral("LIRC_Enable_CheckBox"))->setChecked(on);
    }
};

TEST_F(Lirc_Listener_Test, Enabled_It_Opens_At_Start_Up_With_The_Start_Up_File_As_Its_Remote) {
    const uint16_t port = Free_Loopback_Port();
    const std::string tv = Command_File("tv.rmt", "@REPEAT = 1\r\nPOWER,0F\r\n");
    Write_File(Settings_File(), "[DIR]\nRMT_FILE=" + tv + "\n[LIRC]\nENABLE=1\nPORT=" + std::to_string(port) + "\n");
    Start();
    ASSERT_TRUE(Listener().Is_Open());
    EXPECT_EQ(Listener().Port(), port);
    EXPECT_EQ(Ask(port, "LIST"), "BEGIN\nLIST\nSUCCESS\nDATA\n1\ntv\nEND\n");
    Tx_Clear();
    EXPECT_EQ(Ask(port, "SEND_ONCE tv POWER"), "BEGIN\nSEND_ONCE tv POWER\nSUCCESS\nEND\n");
    EXPECT_EQ(Tx_Values(), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFE, 0xFE, 0xFE}));
    EXPECT_EQ(Ask(port, "VERSION").find("BEGIN\nVERSION\nSUCCESS\nDATA\n1\n"), 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Lirc_Listener_Test, A_Port_That_Cannot_Be_Opened_At_Start_Up_Is_One_Message_And_The_Program_Goes_On) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    struct Row {
        const char* name;
        int32_t port;
        const char* reason;
    };
    const std::vector<Row> rows = {
        {"port_in_use", holder.serverPort(), ""},
        {"port_zero", 0, "PORT 0 is not a TCP port (1 to 65535)"},
        {"port_too_large", 65536, "PORT 65536 is not a TCP port (1 to 65535)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages.clear();
        Write_File(Settings_File(), "[LIRC]\nENABLE=1\nPORT=" + std::to_string(row.port) + "\n");
        Create();
        EXPECT_TRUE(form->Start_Up()) << "the program goes on";
        EXPECT_FALSE(Listener().Is_Open());
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].Caption, "LIRC Listener");
        EXPECT_EQ(
            messages[0].Text.find("The LIRC listener cannot open port " + std::to_string(row.port) + " on 127.0.0.1: "),
            0u)
            << messages[0].Text;
        EXPECT_NE(messages[0].Text.find(row.reason), std::string::npos) << messages[0].Text;
        form.reset();
    }
}

TEST_F(Lirc_Listener_Test, Setup_OK_Applies_The_LIRC_Settings_At_Once_And_Cancel_Does_Not) {
    Start();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const uint16_t first = Free_Dialog_Port();
    Set_Up(
        [&](QWidget& d) {
            Tick(d, true);
            Type_Port(d, first);
        },
        false);
    EXPECT_FALSE(Listener().Is_Open()) << "closed by its close box: nothing changes";
    EXPECT_EQ(form->State().Settings.LIRC_ENABLE, 0);

    Set_Up(
        [&](QWidget& d) {
            Tick(d, true);
            Type_Port(d, first);
        },
        true);
    ASSERT_TRUE(Listener().Is_Open()) << "enabled by OK: open at once";
    EXPECT_EQ(Listener().Port(), first);
    EXPECT_EQ(Ask(first, "LIST"), "BEGIN\nLIST\nSUCCESS\nDATA\n1\nQEV_LPT\nEND\n");

    const uint16_t second = Free_Dialog_Port();
    Set_Up([&](QWidget& d) { Type_Port(d, second); }, true);
    EXPECT_EQ(Listener().Port(), second) << "moved to the new port";
    EXPECT_EQ(Ask(first, "LIST"), "") << "the old port is closed";

    Set_Up([&](QWidget& d) { Tick(d, false); }, true);
    EXPECT_FALSE(Listener().Is_Open()) << "disabled by OK: closed at once";
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(form->State().Settings.LIRC_ENABLE, 0);
    EXPECT_EQ(form->State().Settings.LIRC_PORT, second);
}

TEST_F(Lirc_Listener_Test, Shutdown_Closes_It_And_Keeps_The_Settings) {
    const uint16_t port = Free_Loopback_Port();
    Write_File(Settings_File(), "[LIRC]\nENABLE=1\nPORT=" + std::to_string(port) + "\n");
    Start();
    ASSERT_TRUE(Listener().Is_Open());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::ConnectedState; }, 5000));
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(Listener().Is_Open());
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));
    const std::string written = Read_File(Settings_File());
    EXPECT_NE(written.find("[LIRC]\nENABLE=1\nPORT=" + std::to_string(port) + "\n"), std::string::npos) << written;
}

// SOCKET opens the Unix-domain socket whatever ENABLE says (ENABLE is the
// TCP listener's); a path that holds something else is one message, and
// shutdown removes the socket file.
TEST_F(Lirc_Listener_Test, The_Socket_Opens_From_Its_Setting_Apart_From_Enable_And_Goes_At_Shutdown) {
    const std::string path = profile.File("lircd");
    const std::string tv = Command_File("tv.rmt", "@REPEAT = 1\r\nPOWER,0F\r\n");
    Write_File(Settings_File(), "[DIR]\nRMT_FILE=" + tv + "\n[LIRC]\nENABLE=0\nSOCKET=" + path + "\n");
    Start();
    EXPECT_FALSE(Listener().Is_Open()) << "ENABLE=0: no TCP listener";
    ASSERT_EQ(Listener().Socket_Path(), path);
    EXPECT_TRUE(messages.empty());
    // Connected by hand: LIRC's clients take the socket as a plain stream.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    QTcpSocket client;
    ASSERT_TRUE(client.setSocketDescriptor(fd));
    client.write("LIST\n");
    std::string reply;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            reply += client.readAll().toStdString();
            return reply == "BEGIN\nLIST\nSUCCESS\nDATA\n1\ntv\nEND\n";
        },
        5000))
        << reply;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(Listener().Socket_Path(), "");
    EXPECT_FALSE(std::filesystem::exists(path)) << "removed at shutdown";
    EXPECT_NE(Read_File(Settings_File()).find("SOCKET=" + path + "\n"), std::string::npos);
    form.reset();

    Write_File(path, "not a socket\n");
    Create();
    EXPECT_TRUE(form->Start_Up()) << "the program goes on";
    EXPECT_EQ(Listener().Socket_Path(), "");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Caption, "LIRC Listener");
    EXPECT_EQ(messages[0].Text.find("The LIRC socket " + path + " cannot be opened: "), 0u) << messages[0].Text;
    EXPECT_NE(messages[0].Text.find("exists and is not a socket"), std::string::npos) << messages[0].Text;
    EXPECT_EQ(Read_File(path), "not a socket\n");
}

}  // namespace
}  // namespace qev::test
