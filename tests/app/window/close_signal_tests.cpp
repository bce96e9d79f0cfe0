// SIGTERM, SIGINT and SIGHUP sent to this very process while the capture
// dialog waits for the remote: the capture gives up waiting, the dialog is
// answered with Cancel and the window shuts down in order, writing the
// Settings file.
#include "app/orderly_exit.h"
#include "base/stop_request.h"
#include "learn/ui/capture_command_form.h"
#include "tests/support/qt/window_fixture.h"
#include "tests/support/sim_port_controls.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace qev::test {
namespace {

class Close_Signal_Test : public Window_Test, public ::testing::WithParamInterface<int> {
protected:
    TEnv_Guard nec{"IO_SIM_REMOTE", "nec:0x04:0x08"};
    TEnv_Guard delay{"IO_SIM_REMOTE_DELAY_MS", "400"};  // the remote answers well after the signal
};

TEST_P(Close_Signal_Test, During_A_Capture_s_Wait_Gives_Up_And_Shuts_Down_In_Order) {
    static const bool installed = (Install_Close_Signals(), true);
    (void)installed;
    Start();
    TSim_Port_Controls(form->State().Port).Reset();  // take this test's remote settings
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
        std::thread sender([signal = GetParam()] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::kill(::getpid(), signal);
        });
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Start_Caputure_Button")), Qt::LeftButton);
        sender.join();
        listing = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Data_Memo"))->toPlainText();
    });
    form->CaptureCommandClick();  // the modal dialog, until the signal answers it
    for (int i = 0; i < 20 && form->isVisible(); ++i) QTest::qWait(10);

    EXPECT_TRUE(dialog_open);
    EXPECT_TRUE(messages.empty()) << Texts().front();
    EXPECT_EQ(listing.count('\n'), 0) << "the capture stopped waiting for the remote: " << listing.toStdString();
    EXPECT_FALSE(form->isVisible()) << "the window closed";
    EXPECT_NE(Read_File(Settings_File()).find("ECHO=1\n"), std::string::npos) << "the Settings file was written";
    Clear_Program_Stop();
}

INSTANTIATE_TEST_SUITE_P(Signals, Close_Signal_Test, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

}  // namespace
}  // namespace qev::test
