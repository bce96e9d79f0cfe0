// SIGTERM, SIGINT and SIGHUP sent to this very process while the capture
// dialog waits for the remote: the capture gives up waiting, the dialog is
// answered with Cancel and the window shuts down in order, writing the
// Settings file.
#include "app/orderly_exit.h"
#include "base/stop_request.h"
#include "controls/qt_feedback.h"
#include "harness/sim_port_controls.h"
#include "learn/ui/capture_command_form.h"
#include "macro/ui/macro_command_form.h"
#include "tests/support/qt/window_fixture.h"
#include "tests/support/wait_until.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace qev::test {
namespace {

class Close_Signal_Test : public Window_Test, public ::testing::WithParamInterface<int> {
protected:
    TEnv_Guard nec{"IO_SIM_REMOTE", "nec:0x04:0x08"};
    // The remote answers long after the signal, even when another test's real-time
    // spin holds the other core and the signal waits for this capture's own core.
    TEnv_Guard delay{"IO_SIM_REMOTE_DELAY_MS", "5000"};
};

TEST_P(Close_Signal_Test, During_A_Capture_s_Wait_Gives_Up_And_Shuts_Down_In_Order) {
    static const bool installed = (Install_Close_Signals(), true);
    (void)installed;
    Start();
    const TSim_Port_Controls controls(form->State().Port);
    controls.Reset();  // take this test's remote settings
    auto* close_on_signal = new TClose_On_Signal(form.get());
    ASSERT_FALSE(close_on_signal->Start_Up_Done());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    QString listing;
    bool dialog_open = false;
    QTimer::singleShot(0, form.get(), [&] {
        auto* dialog = form->findChild<TCapture_Command_Form*>();
        ASSERT_NE(dialog, nullptr);
        dialog_open = dialog->isVisible();
        // The signal comes once the capture polls the receiver line: the
        // simulated remote has armed (and plays only seconds later).
        std::thread sender([&controls, signal = GetParam()] {
            EXPECT_TRUE(Wait_Until([&] { return controls.Remote_Start_Ns() >= 0; }, std::chrono::seconds(10)))
                << "the capture never waited for the remote";
            ::kill(::getpid(), signal);
        });
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Start_Caputure_Button")), Qt::LeftButton);
        sender.join();
        listing = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Data_Memo"))->toPlainText();
    });
    form->CaptureCommandClick();  // the modal dialog, until the signal answers it
    (void)QTest::qWaitFor([&] { return !form->isVisible(); }, 5000);

    EXPECT_TRUE(dialog_open);
    EXPECT_TRUE(messages.empty()) << Texts().front();
    EXPECT_EQ(listing.count('\n'), 0) << "the capture stopped waiting for the remote: " << listing.toStdString();
    EXPECT_FALSE(form->isVisible()) << "the window closed";
    EXPECT_NE(Read_File(Settings_File()).find("ECHO=1\n"), std::string::npos) << "the Settings file was written";
    Clear_Program_Stop();
}

TEST_P(Close_Signal_Test, During_A_Minute_Long_Macro_Wait_Ends_The_Program_Within_A_Second) {
    static const bool installed = (Install_Close_Signals(), true);
    (void)installed;
    const std::string log = profile.File("tx.log");  // read after the port library is gone
    TEnv_Guard tx_log{"IO_SIM_TXLOG", log};
    Start();
    ASSERT_EQ(form->State().Load_Command_File(Command_File("tv.rmt", "POWER,FF\n"), 1), 0);
    auto* close_on_signal = new TClose_On_Signal(form.get());
    ASSERT_FALSE(close_on_signal->Start_Up_Done());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // Waits and event passes as the program has them; the macro's wait has
    // begun once it sleeps.
    std::atomic<bool> sleeping{false};
    feedback.On_Sleep = [&sleeping](int milliseconds) {
        sleeping = true;
        TQt_Feedback().Sleep_Ms(milliseconds);
    };
    feedback.On_Pending_Events = [] { QCoreApplication::processEvents(); };

    using Clock = std::chrono::steady_clock;
    Clock::time_point signalled;
    QTimer::singleShot(0, form.get(), [&] {
        auto* dialog = form->findChild<TMacro_Command_Form*>();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QPlainTextEdit*>(QStringLiteral("Macro_Memo"))->setPlainText("@WAIT 60000\nPOWER");
        std::thread sender([&signalled, &sleeping, signal = GetParam()] {
            EXPECT_TRUE(Wait_Until([&] { return sleeping.load(); }, std::chrono::seconds(10)))
                << "the macro never began its wait";
            signalled = Clock::now();
            ::kill(::getpid(), signal);
        });
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Macro_Execute_Button")), Qt::LeftButton);
        sender.join();
    });
    form->MacroClick();  // the modal dialog, until the signal answers it
    (void)QTest::qWaitFor([&] { return !form->isVisible(); }, 5000);
    const double seconds = std::chrono::duration<double>(Clock::now() - signalled).count();

    EXPECT_FALSE(form->isVisible()) << "the window closed";
    EXPECT_LT(seconds, 1.0);
    EXPECT_EQ(Read_File(log).find(" FF"), std::string::npos) << "the line after the wait did not run";
    EXPECT_NE(Read_File(Settings_File()).find("ECHO=1\n"), std::string::npos) << "the Settings file was written";
    Clear_Program_Stop();
}

INSTANTIATE_TEST_SUITE_P(Signals, Close_Signal_Test, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

}  // namespace
}  // namespace qev::test
