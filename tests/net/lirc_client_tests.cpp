// LIRC's own clients from Debian's lirc package against the LIRC listener's
// Unix-domain socket, in a scratch folder: irw prints each broadcast line,
// irexec runs what its lircrc file binds to a broadcast key, and irsend -d
// sends through the socket. A client that is not installed skips its test.
#include "net/lirc_protocol.h"
#include "net/lirc_server.h"
#include "tests/net/fake_lirc_program.h"
#include "tests/net/loopback_client.h"
#include "tests/support/temp_env.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qev {
namespace {

using test::Run_Events_Until;

// A client of Debian's lirc, along PATH or in /usr/bin; empty when missing.
QString Lirc_Client(const char* name) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    return found.isEmpty() ? QStandardPaths::findExecutable(QString::fromLatin1(name), {QStringLiteral("/usr/bin")})
                           : found;
}

#define SKIP_WITHOUT(client)                                                                               \
    if ((client).isEmpty())                                                                                \
    GTEST_SKIP() << "not installed: LIRC's clients come with Debian's lirc package (scripts/install-deps " \
                    "adds it)"

// The server with its socket in a scratch folder; the clients' environment
// keeps their logs there too.
class Lirc_Client_Test : public ::testing::Test {
protected:
    test::TTemp_Dir folder;
    std::string path = folder.File("lircd");
    test::TFake_Lirc_Program program;
    TLirc_Server server{program};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Open_Socket(path, &error)) << error;
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(folder.Path()));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromStdString(folder.File("cache")));
        environment.insert(QStringLiteral("LIRC_SOCKET_PATH"), QString::fromStdString(path));
    }
    // Starts a client that stays, and waits until it has connected.
    bool Start(QProcess& process, const QString& program_path, const QStringList& arguments) {
        process.setProcessEnvironment(environment);
        process.start(program_path, arguments);
        if (!process.waitForStarted()) return false;
        return Run_Events_Until(
                   [&] { return server.Connection_Count() == 1 || process.state() == QProcess::NotRunning; }) &&
               server.Connection_Count() == 1;
    }
    static void Stop(QProcess& process) {
        process.terminate();
        if (!process.waitForFinished()) process.kill();
    }
    std::pair<std::string, int> Run(const QString& program_path, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program_path, arguments);
        if (!process.waitForStarted()) return {"not started", -1};
        // The server answers from this thread's event loop.
        (void)Run_Events_Until([&] { return process.state() == QProcess::NotRunning; });
        if (process.state() != QProcess::NotRunning) Stop(process);
        return {process.readAll().toStdString(),
                process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1};
    }
};

TEST_F(Lirc_Client_Test, Irw_Prints_Each_Broadcast_Line_As_It_Is) {
    const QString irw = Lirc_Client("irw");
    SKIP_WITHOUT(irw);
    QProcess process;
    ASSERT_TRUE(Start(process, irw, {QString::fromStdString(path)}));
    const std::vector<std::string> lines = {Lirc_Key_Line(0x20DF10EF, 0, "POWER", "tv"),
                                            Lirc_Key_Line(0x20DF10EF, 1, "POWER", "tv"),
                                            Lirc_Key_Line(0x40, 0, "VOL UP", "tv")};
    std::string expected, printed;
    for (const std::string& line : lines) {
        server.Broadcast(line);
        expected += line;
        ASSERT_TRUE(Run_Events_Until([&] {
            printed += process.readAllStandardOutput().toStdString();
            return printed.size() >= expected.size();
        })) << printed;
    }
    EXPECT_EQ(printed, "0000000020df10ef 00 POWER tv\n0000000020df10ef 01 POWER tv\n0000000000000040 00 VOL_UP tv\n");
    Stop(process);
}

// irexec matches "remote" and "button" of its lircrc file and acts on the
// press (repeat count 0) only, as lircrc entries without "repeat" do.
TEST_F(Lirc_Client_Test, Irexec_Runs_The_Command_Its_Lircrc_Binds_To_A_Broadcast_Key) {
    const QString irexec = Lirc_Client("irexec");
    SKIP_WITHOUT(irexec);
    const std::string log = folder.File("ran.log");
    const auto entry = [&](const std::string& remote, const std::string& button, const std::string& word) {
        return "begin\n    prog = irexec\n    remote = " + remote + "\n    button = " + button +
               "\n    config = echo " + word + " >> " + log + "\nend\n";
    };
    test::Write_File(folder.File("lircrc"),
                     entry("tv", "POWER", "power") + entry("tv", "VOL_UP", "volume") + entry("radio", "MUTE", "mute"));
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    ASSERT_TRUE(Start(process, irexec, {QString::fromStdString(folder.File("lircrc"))}));
    const auto logged = [&](const std::string& text) {
        return Run_Events_Until([&] { return test::File_Exists(log) && test::Read_File(log) == text; });
    };
    server.Broadcast(Lirc_Key_Line(1, 0, "POWER", "radio"));  // another remote: nothing
    server.Broadcast(Lirc_Key_Line(1, 0, "MUTE", "tv"));      // another remote's button: nothing
    server.Broadcast(Lirc_Key_Line(2, 0, "VOL UP", "tv"));    // heard as VOL_UP
    EXPECT_TRUE(logged("volume\n")) << (test::File_Exists(log) ? test::Read_File(log) : "nothing ran");
    server.Broadcast(Lirc_Key_Line(3, 1, "POWER", "tv"));  // a repetition: nothing
    server.Broadcast(Lirc_Key_Line(3, 0, "POWER", "tv"));
    EXPECT_TRUE(logged("volume\npower\n")) << (test::File_Exists(log) ? test::Read_File(log) : "nothing ran");
    Stop(process);
}

TEST_F(Lirc_Client_Test, Irsend_Sends_And_Lists_Through_The_Socket) {
    const QString irsend = Lirc_Client("irsend");
    SKIP_WITHOUT(irsend);
    const QString device = QString::fromStdString(path);
    const auto [sent, sent_status] = Run(irsend, {QStringLiteral("-d"), device, QStringLiteral("SEND_ONCE"),
                                                  QStringLiteral("tv"), QStringLiteral("POWER")});
    EXPECT_EQ(sent_status, 0) << sent;
    const auto [counted, counted_status] =
        Run(irsend, {QStringLiteral("--device=") + device, QStringLiteral("--count=2"), QStringLiteral("SEND_ONCE"),
                     QStringLiteral("tv"), QStringLiteral("VOL-UP")});
    EXPECT_EQ(counted_status, 0) << counted;
    EXPECT_EQ(program.Sent, (std::vector<std::pair<std::string, int32_t>>{
                                {"POWER", 1}, {"VOL-UP", 1}, {"VOL-UP", 1}, {"VOL-UP", 1}}));
    const auto [listed, listed_status] =
        Run(irsend, {QStringLiteral("-d"), device, QStringLiteral("LIST"), QStringLiteral("tv"), QString()});
    EXPECT_EQ(listed_status, 0) << listed;
    EXPECT_NE(listed.find("0000000000000000 VOL-UP\n"), std::string::npos) << listed;
    const auto [unknown, unknown_status] = Run(irsend, {QStringLiteral("-d"), device, QStringLiteral("SEND_ONCE"),
                                                        QStringLiteral("tv"), QStringLiteral("MUTE")});
    EXPECT_NE(unknown_status, 0);
    EXPECT_NE(unknown.find("unknown command: \"MUTE\""), std::string::npos) << unknown;
}

}  // namespace
}  // namespace qev
