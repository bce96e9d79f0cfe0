// The capture dialog on the simulated port: learn, list, propose, test,
// register and send, as a user does it.
#include "controls/up_down.h"
#include "learn/core/capture_analysis.h"
#include "learn/ui/capture_command_form.h"
#include "tests/support/qt/window_fixture.h"
#include "tests/support/sim_port_controls.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QValueAxis>

namespace qev::test {
namespace {

class Capture_Test : public Window_Test {
protected:
    TEnv_Guard nec{"IO_SIM_REMOTE", "nec:0x04:0x08"};
    TEnv_Guard delay{"IO_SIM_REMOTE_DELAY_MS", "5"};
    std::unique_ptr<TCapture_Command_Form> dialog;

    void SetUp() override {
        Start();
        TSim_Port_Controls(form->State().Port).Reset();  // take this test's remote settings
        dialog = std::make_unique<TCapture_Command_Form>(form->State(), form.get());
    }
    template <typename T>
    T* Child(const char* name) const {
        auto* child = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }
    QString Memo() const { return Child<QPlainTextEdit>("Data_Memo")->toPlainText(); }
    std::vector<int32_t> Buffer(int32_t count) const {
        const int32_t* data = form->State().Samples.Data();
        return {data, data + count};
    }
};

TEST_F(Capture_Test, Opens_With_The_Full_Length_And_Its_Controls) {
    EXPECT_EQ(dialog->windowTitle(), "Capture Command ");
    EXPECT_EQ(dialog->size(), QSize(752, 452));
    EXPECT_EQ(Child<QLineEdit>("Data_Length_Edit")->text(), "1024");
    EXPECT_EQ(Child<QLineEdit>("Command_Name_Edit")->text(), "");
    EXPECT_EQ(Child<QPushButton>("Start_Caputure_Button")->text(), "Start Caputure");
    for (const char* name :
         {"Test_Button", "Registration_Button", "OK_Button", "Data_Length_Edit_UpDown", "DataView_Chart"})
        Child<QWidget>(name);
    EXPECT_EQ(dialog->Data_Length(), 1024);
}

TEST_F(Capture_Test, The_Spinner_Steps_Within_One_And_The_Capture_Length) {
    auto* edit = Child<QLineEdit>("Data_Length_Edit");
    auto* spinner = Child<TUp_Down>("Data_Length_Edit_UpDown");
    spinner->Step(1);
    EXPECT_EQ(edit->text(), "1024") << "already at the top";
    spinner->Step(-1);
    EXPECT_EQ(edit->text(), "1023");
    edit->setText("2");
    spinner->Step(-1);
    spinner->Step(-1);
    EXPECT_EQ(edit->text(), "1");
    edit->setText("junk");
    spinner->Step(1);
    EXPECT_EQ(edit->text(), "2") << "free text leaves the spinner's own position";
}

TEST_F(Capture_Test, The_Chart_Has_A_Fixed_Hidden_Left_Axis) {
    const auto axes = dialog->Series1()->attachedAxes();
    ASSERT_EQ(axes.size(), 2);
    auto* left = qobject_cast<QValueAxis*>(axes[0]->alignment() == Qt::AlignLeft ? axes[0] : axes[1]);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->min(), 0);
    EXPECT_EQ(left->max(), 300);
    EXPECT_FALSE(left->labelsVisible());
    EXPECT_EQ(left->minorTickCount(), 5);
    EXPECT_FALSE(dialog->Series1()->chart()->legend()->isVisible());
}

TEST_F(Capture_Test, Learns_Proposes_Registers_And_Sends_The_Simulated_Remote) {
    Click("Start_Caputure_Button");
    ASSERT_TRUE(messages.empty()) << Texts().front();

    // Listing and chart: one line and one point per sample.
    const QStringList lines = Memo().split('\n');
    ASSERT_EQ(lines.size(), 1024 + 2);
    EXPECT_EQ(lines.front(), "===== IR Receive Start Here =====");
    EXPECT_EQ(lines[1], "000: FF");
    EXPECT_EQ(lines.back(), "******** IR Receive End *********");
    EXPECT_EQ(dialog->Series1()->upperSeries()->count(), 1024);
    EXPECT_EQ(dialog->Series1()->color(), QColor(Qt::red));

    // The NEC frame: a 9 ms leader (72 samples); the repeat frame's leader
    // starts 108 ms (864 samples) after the first edge.
    const std::vector<int32_t> samples = Buffer(1024);
    int32_t leader = 0;
    while (samples[static_cast<std::size_t>(leader)]) ++leader;
    EXPECT_NEAR(leader, 72, 1);
    const int32_t proposed = dialog->Data_Length();
    EXPECT_NEAR(proposed, 864, 1);
    EXPECT_EQ(samples[static_cast<std::size_t>(proposed - 1)], 0);
    for (int32_t i = proposed; i < proposed + 70; ++i) ASSERT_EQ(samples[static_cast<std::size_t>(i)], 255) << i;

    // Registration under POWER enables the POWER key and dumps the bytes.
    Child<QLineEdit>("Command_Name_Edit")->setText("POWER");
    Click("Registration_Button");
    ASSERT_EQ(form->State().Table.Command_Count, 1);
    EXPECT_TRUE(Key("Power_PictureButton")->isEnabled());
    const int32_t bytes = (proposed + 7) / 8;
    EXPECT_EQ(form->State().Table.Row(0).Byte_Count, bytes);
    EXPECT_EQ(Memo().split('\n').size(), 1024 + 2 + bytes + 2);
    EXPECT_TRUE(Memo().contains(">>>>>>> File Data Start <<<<<<<\n000: FF\n"));
    EXPECT_TRUE(Memo().endsWith(">>>>>>> File Data END <<<<<<<"));

    // Clicking the key sends exactly the learned samples, idle-padded to a byte.
    dialog->accept();
    Tx_Clear();
    QTest::mouseClick(Key("Power_PictureButton"), Qt::LeftButton);
    std::vector<uint8_t> expected;
    for (int32_t i = 0; i < bytes * 8; ++i)
        expected.push_back(i < proposed && samples[static_cast<std::size_t>(i)] ? 0xFF : 0xFE);
    EXPECT_EQ(Tx_Values(), expected);
}

TEST_F(Capture_Test, Test_Sends_The_Length_Once_Whatever_Repeat_Says) {
    form->State().Settings.REPEAT = 3;
    std::fill(form->State().Samples.Data(), form->State().Samples.Data() + 40, 255);
    Child<QLineEdit>("Data_Length_Edit")->setText("37 samples");
    Tx_Clear();
    Click("Test_Button");
    EXPECT_EQ(Tx_Values(), std::vector<uint8_t>(37, 0xFF));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Capture_Test, Lengths_Outside_The_Buffer_Are_Refused) {
    for (const char* text : {"0", "-4", "1025", "abc"}) {
        SCOPED_TRACE(text);
        messages.clear();
        Child<QLineEdit>("Data_Length_Edit")->setText(QString::fromLatin1(text));
        Tx_Clear();
        Click("Test_Button");
        EXPECT_EQ(Tx_Count(), 0);
        EXPECT_EQ(Texts(), std::vector<std::string>{"Data Length must be between 1 and 1024 / Data Length Error"});
        EXPECT_TRUE(Child<QPushButton>("Test_Button")->isEnabled());
    }
}

TEST_F(Capture_Test, Registration_Refuses_Empty_And_Duplicate_Names) {
    Child<QLineEdit>("Data_Length_Edit")->setText("13");
    Click("Registration_Button");
    Child<QLineEdit>("Command_Name_Edit")->setText("PLAY");
    Click("Registration_Button");
    Click("Registration_Button");
    Child<QLineEdit>("Command_Name_Edit")->setText("play");
    Click("Registration_Button");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Command Name is not presented !! / Duplicated Error",
                                                 "Duplicated Command Name is detected !!: PLAY / Command Name Error"}));
    EXPECT_EQ(form->State().Table.Command_Count, 2);
    EXPECT_EQ(Memo().count(QStringLiteral("File Data Start")), 2);
    EXPECT_EQ(form->State().Samples.Sample_Count, 13);
}

TEST_F(Capture_Test, A_Capture_Without_A_Signal_Ends_With_A_Message) {
    TSim_Port_Controls sim(form->State().Port);
    sim.Remote_Set_Auto(0);
    form->State().Receive_Time_Limit_Seconds = 0.05;
    Child<QLineEdit>("Data_Length_Edit")->setText("500");
    Click("Start_Caputure_Button");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].Caption, "Capture Error");
    EXPECT_EQ(Child<QLineEdit>("Data_Length_Edit")->text(), "500");
    EXPECT_TRUE(Child<QPushButton>("Start_Caputure_Button")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("OK_Button")->isEnabled());
}

// Records, at each data write, whether the dialog's buttons were enabled.
QPushButton* observed_button = nullptr;
std::vector<bool> enabled_during_send;
void Observing_Port_Out(unsigned short, unsigned char) {
    enabled_during_send.push_back(observed_button && observed_button->isEnabled());
}

TEST_F(Capture_Test, Buttons_Are_Disabled_While_Sending) {
    observed_button = Child<QPushButton>("OK_Button");
    enabled_during_send.clear();
    TPort_Function_Table table = form->State().Port.Functions();
    table.PortOut = &Observing_Port_Out;
    form->State().Port.Set_Function_Table(table);
    Child<QLineEdit>("Data_Length_Edit")->setText("16");
    Click("Test_Button");
    EXPECT_EQ(enabled_during_send, std::vector<bool>(16, false));
    EXPECT_TRUE(observed_button->isEnabled());
}

TEST_F(Capture_Test, A_Long_Capture_Is_Shown_Quickly) {
    dialog.reset();
    form.reset();
    Write_File(Settings_File(), "[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=32767\n");
    Start();
    dialog = std::make_unique<TCapture_Command_Form>(form->State(), form.get());
    int32_t* data = form->State().Samples.Data();
    for (int32_t i = 0; i < 32767; ++i) data[i] = (i % 100) < 40 ? 255 : 0;
    QElapsedTimer timer;
    timer.start();
    dialog->Show_Capture(32767);
    const qint64 elapsed = timer.elapsed();
    RecordProperty("show_capture_ms", static_cast<int>(elapsed));
    timer.restart();
    dialog->show();
    dialog->grab();
    const qint64 painting = timer.elapsed();
    RecordProperty("paint_ms", static_cast<int>(painting));
    EXPECT_LT(painting, 1500) << "drawing 32767 samples took " << painting << " ms";
    EXPECT_LT(elapsed, 1500) << "showing 32767 samples took " << elapsed << " ms";
    EXPECT_EQ(Memo().count('\n'), 32767 + 1);
    EXPECT_EQ(dialog->Series1()->upperSeries()->count(), 32767);
    EXPECT_EQ(dialog->Data_Length(), 100) << "proposed from the repeating bursts";
}

}  // namespace
}  // namespace qev::test
