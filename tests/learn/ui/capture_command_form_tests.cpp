// The capture dialog on the simulated port: learn, list, propose, test,
// register and send, as a user does it.
#include "controls/up_down.h"
#include "harness/sim_port_controls.h"
#include "ir/protocols.h"
#include "ir/sampling.h"
#include "learn/core/capture_analysis.h"
#include "learn/ui/capture_command_form.h"
#include "tests/support/qt/window_fixture.h"

#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

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
        return Named_Child<T>(*dialog, name);
    }
    void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }
    // The simulated remote plays against the wall clock, so a capture that
    // was held up (a busy host) saw a squeezed waveform. Captures again until
    // one saw the remote as it played; false when a busy host held up every
    // one of many (the caller then skips: it cannot judge the program).
    bool Capture_On_Time() {
        const TSim_Port_Controls sim(form->State().Port);
        const TSample_Clock& clock = form->State().Clock;
        for (int attempt = 1; attempt <= Capture_Attempts; ++attempt) {
            messages.clear();
            Click("Start_Caputure_Button");
            if (sim.Capture_Was_On_Time(clock.Last_Start, clock.Max_Lateness, clock.Tick_Period)) return true;
            std::fprintf(stderr, "capture %d was held up (up to %lld ns late); capturing again\n", attempt,
                         static_cast<long long>(clock.Max_Lateness));
            QTest::qSleep(30);  // a pause in the polling ends the burst, so the next one arms the remote
        }
        return false;
    }
    static constexpr int Capture_Attempts = 20;
    QString Memo() const { return Child<QPlainTextEdit>("Data_Memo")->toPlainText(); }
    std::vector<int32_t> Buffer(int32_t count) const {
        const int32_t* data = form->State().Samples.Data();
        return {data, data + count};
    }
    void Show() {
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    // The texts the chart's bottom axis shows, left to right, blank-separated.
    std::string Bottom_Labels() const {
        QApplication::processEvents();
        QChart* chart = dialog->Series1()->chart();
        std::vector<std::pair<qreal, QString>> labels;
        for (QGraphicsItem* item : chart->scene()->items()) {
            auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            if (!text || !text->isVisible() || text->toPlainText().isEmpty()) continue;
            const QPointF at = text->mapToScene(text->boundingRect().center());
            if (at.y() > chart->plotArea().bottom()) labels.emplace_back(at.x(), text->toPlainText());
        }
        std::sort(labels.begin(), labels.end());
        QStringList texts;
        for (const auto& label : labels) texts.append(label.second);
        return texts.join(' ').toStdString();
    }
};

// The chart's waveform read back as steps: from x = 0 to x = count the points
// alternate between a level held over whole samples (a horizontal run) and
// an edge (a vertical jump between 0 and 255 at a sample boundary), so only
// the edges carry points. Each run's level must be the samples it covers.
::testing::AssertionResult Drawn_As_Steps(const QList<QPointF>& points, const std::vector<int32_t>& samples) {
    const auto count = static_cast<qreal>(samples.size());
    if (points.size() < 2 || points.size() % 2 != 0)
        return ::testing::AssertionFailure() << points.size() << " points: not runs joined by edges";
    if (points.front().x() != 0 || points.back().x() != count)
        return ::testing::AssertionFailure() << "runs from " << points.front().x() << " to " << points.back().x();
    std::vector<int32_t> drawn;
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QPointF a = points[i];
        const QPointF b = points[i + 1];
        if (a.x() != std::floor(a.x()) || (a.y() != 0 && a.y() != 255))
            return ::testing::AssertionFailure() << "point " << i << " at " << a.x() << ", " << a.y();
        const bool run = a.y() == b.y() && b.x() > a.x();
        const bool edge = a.x() == b.x() && a.y() != b.y();
        if (run != (i % 2 == 0) || edge != (i % 2 == 1))
            return ::testing::AssertionFailure()
                   << "points " << i << " and " << i + 1 << " (" << a.x() << ", " << a.y() << ") (" << b.x() << ", "
                   << b.y() << ") are not the " << (i % 2 ? "edge" : "run") << " expected";
        if (run) drawn.insert(drawn.end(), static_cast<std::size_t>(b.x() - a.x()), static_cast<int32_t>(a.y()));
    }
    if (drawn != samples) {
        std::size_t first = 0;
        while (first < std::min(drawn.size(), samples.size()) && drawn[first] == samples[first]) ++first;
        return ::testing::AssertionFailure() << "the drawn levels differ from the samples at index " << first;
    }
    return ::testing::AssertionSuccess();
}

// Level changes of a waveform: each is one edge of the chart.
int32_t Edges(const std::vector<int32_t>& samples) {
    int32_t edges = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) edges += samples[i] != samples[i - 1];
    return edges;
}

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
    edit->setText("5000");
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "1024") << "the Down key steps from the number shown, kept in the range";
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
    if (!Capture_On_Time()) GTEST_SKIP() << "the host held up all " << Capture_Attempts << " captures";
    ASSERT_TRUE(messages.empty()) << Texts().front();

    // Listing and chart: one line and one point per sample.
    const QStringList lines = Memo().split('\n');
    ASSERT_EQ(lines.size(), 1024 + 2);
    EXPECT_EQ(lines.front(), "===== IR Receive Start Here =====");
    EXPECT_EQ(lines[1], "000: FF");
    EXPECT_EQ(lines.back(), "******** IR Receive End *********");
    EXPECT_EQ(dialog->Series1()->color(), QColor(Qt::red));

    // Under the chart: what the capture decodes to, the remote's own code.
    const auto* decoded = Child<QLabel>("Decoded_Label");
    EXPECT_EQ(decoded->text(), "NEC  address 0x04  command 0x08  (+1 repeat)");
    const QRect chart = Child<QWidget>("DataView_Chart")->geometry();
    EXPECT_GE(decoded->geometry().top(), chart.bottom());
    EXPECT_LE(decoded->geometry().bottom(), dialog->height());
    EXPECT_EQ(decoded->geometry().left(), chart.left() + 8);

    // The NEC frame: a 9 ms leader (72 samples); the repeat frame's leader
    // starts 108 ms (864 samples) after the first edge.
    const std::vector<int32_t> samples = Buffer(1024);
    EXPECT_TRUE(Drawn_As_Steps(dialog->Series1()->upperSeries()->points(), samples));
    EXPECT_EQ(dialog->Series1()->upperSeries()->count(), 2 + 2 * Edges(samples));
    EXPECT_GT(Edges(samples), 60) << "a command frame and a repeat frame";
    int32_t leader = 0;
    while (samples[static_cast<std::size_t>(leader)]) ++leader;
    EXPECT_NEAR(leader, 72, 1);
    const int32_t proposed = dialog->Data_Length();
    ASSERT_NEAR(proposed, 864, 1);
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

    // Saved, the learned command is the remote's own code to the command-line tool.
    const std::string saved = profile.File("learned.rmt");
    ASSERT_TRUE(form->State().Save_Command_File(saved));
    FILE* tool = popen((Shell_Quoted(QEV_IR_PATH) + " decode " + Shell_Quoted(saved)).c_str(), "r");
    ASSERT_NE(tool, nullptr);
    std::string printed;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, tool) != nullptr) printed += buffer;
    EXPECT_EQ(pclose(tool), 0);
    EXPECT_EQ(printed, "POWER  NEC  address 0x04  command 0x08\n");
}

// Through a kernel IR device (the library's stand-in, which plays the same
// simulated remote as durations): the capture learns the remote's code, and
// Registration and Test work as on the parallel port.
class Signal_Device_Capture_Test : public Capture_Test {
protected:
    TEnv_Guard backend{"IO_BACKEND", "simlirc"};
};

TEST_F(Signal_Device_Capture_Test, Learns_The_Remote_Through_The_Device_s_Receiver) {
    ASSERT_NE(form->State().Port.Signal_Features() & Signal_Receive, 0) << form->State().Port_Summary();
    Click("Start_Caputure_Button");
    ASSERT_TRUE(messages.empty()) << Texts().front();
    EXPECT_EQ(Child<QLabel>("Decoded_Label")->text(), "NEC  address 0x04  command 0x08  (+1 repeat)");
    const std::vector<int32_t> samples = Buffer(1024);
    const auto first_idle = std::find(samples.begin(), samples.end(), 0);
    EXPECT_NEAR(static_cast<double>(first_idle - samples.begin()), 72, 1) << "the 9 ms leader";
}

// On the simulated IR device, which hears its own sends, Test with "Hear it
// back" says whether the receiver heard the samples sent; the box is not
// offered on the simulated parallel port.
TEST_F(Signal_Device_Capture_Test, Test_Hears_The_Send_Back) {
    auto* box = Child<QCheckBox>("Hear_Back_CheckBox");
    ASSERT_FALSE(box->isHidden());
    Click("Start_Caputure_Button");
    ASSERT_TRUE(messages.empty()) << Texts().front();
    TSim_Port_Controls(form->State().Port).Remote_Set_Auto(0);  // only the send reaches the receiver
    box->setChecked(true);
    Child<QLineEdit>("Data_Length_Edit")->setText("600");
    Click("Test_Button");
    EXPECT_EQ(Child<QLabel>("Capture_Prompt_Label")->text(), "Heard back: the same, every edge within one sample.");
    EXPECT_TRUE(messages.empty());
}

TEST_F(Capture_Test, Hearing_Back_Is_Not_Offered_On_The_Parallel_Port) {
    EXPECT_TRUE(Child<QCheckBox>("Hear_Back_CheckBox")->isHidden());
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

// Which lengths the core refuses is its own test (tests/learn/core); Test
// hands it the length typed and shows its refusal instead of sending.
TEST_F(Capture_Test, Test_Shows_The_Refusal_Of_A_Length_Beyond_The_Buffer) {
    Child<QLineEdit>("Data_Length_Edit")->setText("1025");
    Tx_Clear();
    Click("Test_Button");
    EXPECT_EQ(Tx_Count(), 0);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Data Length must be between 1 and 1024 / Data Length Error"});
    EXPECT_TRUE(Child<QPushButton>("Test_Button")->isEnabled());
}

// Which names the core refuses is its own test (tests/learn/core);
// Registration hands it the name and length typed, shows the dump of what it
// stored, and shows a refusal instead.
TEST_F(Capture_Test, Registration_Stores_The_Name_And_Length_Typed_Or_Shows_The_Refusal) {
    Child<QLineEdit>("Data_Length_Edit")->setText("13");
    Child<QLineEdit>("Command_Name_Edit")->setText("PLAY");
    Click("Registration_Button");
    EXPECT_TRUE(messages.empty()) << Texts().front();
    EXPECT_EQ(form->State().Table.Command_Count, 1);
    EXPECT_EQ(form->State().Find_Command("PLAY"), 0);
    EXPECT_EQ(form->State().Samples.Sample_Count, 13);
    EXPECT_EQ(Memo().count(QStringLiteral("File Data Start")), 1);
    Click("Registration_Button");  // the same name again
    EXPECT_EQ(Texts(), std::vector<std::string>{"Duplicated Command Name is detected !!: PLAY / Command Name Error"});
    EXPECT_EQ(form->State().Table.Command_Count, 1);
    EXPECT_EQ(Memo().count(QStringLiteral("File Data Start")), 1) << "no dump for a refused registration";
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
    const std::vector<int32_t> samples = Buffer(32767);
    EXPECT_TRUE(Drawn_As_Steps(dialog->Series1()->upperSeries()->points(), samples));
    EXPECT_EQ(dialog->Series1()->upperSeries()->count(), 2 + 2 * 655) << "two points per edge";
    EXPECT_EQ(dialog->Data_Length(), 100) << "proposed from the repeating bursts";
}

TEST_F(Capture_Test, The_Chart_Draws_Each_Sample_As_A_Step) {
    struct Row {
        const char* name;
        std::vector<int32_t> samples;
        int32_t edges;
    };
    const std::vector<Row> rows = {
        {"all_idle", {0, 0, 0, 0}, 0},
        {"all_active", {255, 255, 255}, 0},
        {"one_sample_pulse", {0, 255, 0, 0}, 2},
        {"alternating_samples", {255, 0, 255, 0, 255}, 4},
        {"a_burst_at_the_end", {0, 0, 255, 255}, 1},
        {"a_single_sample", {255}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::copy(row.samples.begin(), row.samples.end(), form->State().Samples.Data());
        const auto count = static_cast<int32_t>(row.samples.size());
        dialog->Show_Capture(count);
        const QList<QPointF> points = dialog->Series1()->upperSeries()->points();
        EXPECT_TRUE(Drawn_As_Steps(points, row.samples));
        EXPECT_EQ(points.size(), 2 + 2 * row.edges);
        auto* bottom = qobject_cast<QValueAxis*>(dialog->Series1()->attachedAxes().value(1));
        ASSERT_NE(bottom, nullptr);
        EXPECT_EQ(bottom->min(), 0);
        EXPECT_EQ(bottom->max(), count) << "the last sample ends at its index + 1";
    }
}

// The line under the chart names the code the samples carry, whatever the
// listing shows, and is emptied with the chart.
TEST_F(Capture_Test, The_Decoded_Line_Names_What_Was_Heard) {
    struct Row {
        const char* name;
        std::vector<int32_t> samples;
        const char* text;
    };
    const auto sampled = [](const TIR_Code& code) {
        std::vector<int32_t> samples;
        for (const uint8_t level : Sample_Timing(Encode(code), 4096)) samples.push_back(level != 0 ? 255 : 0);
        return samples;
    };
    const std::vector<Row> rows = {
        {"rc5", sampled({TProtocol::RC5, 0x00, 0x0C}), "RC5  address 0x00  command 0x0C"},
        {"sony", sampled({TProtocol::SIRC, 0x01, 0x15}), "SIRC  address 0x01  command 0x15"},
        {"noise", {255, 0, 255, 255, 0, 0, 0, 255}, "Unknown protocol"},
        {"nothing", {0}, "Unknown protocol"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::copy(row.samples.begin(), row.samples.end(), form->State().Samples.Data());
        dialog->Show_Capture(static_cast<int32_t>(row.samples.size()));
        EXPECT_EQ(Child<QLabel>("Decoded_Label")->text(), row.text);
        EXPECT_EQ(Memo().split('\n').size(), static_cast<qsizetype>(row.samples.size()) + 2) << "the listing unchanged";
    }
    // A new capture empties it, and one that hears nothing leaves it empty.
    TSim_Port_Controls(form->State().Port).Remote_Set_Auto(0);
    form->State().Receive_Time_Limit_Seconds = 0.05;
    Click("Start_Caputure_Button");
    EXPECT_EQ(Child<QLabel>("Decoded_Label")->text(), "");
}

TEST_F(Capture_Test, The_Bottom_Axis_Reads_Whole_Sample_Numbers_Before_And_After_A_Capture) {
    Show();
    auto* bottom = qobject_cast<QValueAxis*>(dialog->Series1()->attachedAxes().value(1));
    ASSERT_NE(bottom, nullptr);
    ASSERT_EQ(bottom->alignment(), Qt::AlignBottom);
    struct Row {
        const char* name;
        std::function<void()> action;
    };
    const std::vector<Row> rows = {
        {"before_a_capture", [] {}},
        {"after_a_capture", [this] { Click("Start_Caputure_Button"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.action();
        EXPECT_EQ(bottom->min(), 0);
        EXPECT_EQ(bottom->max(), 1024) << "the whole capture length";
        EXPECT_EQ(Bottom_Labels(), "0 200 400 600 800 1000");
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Capture_Test, Escape_Leaves_It_Open_With_Its_Listing) {
    Click("Start_Caputure_Button");
    const QString listing = Memo();
    Show();
    struct Row {
        const char* name;
        QWidget* target;
    };
    for (const Row& row : {Row{"on_the_dialog", dialog.get()}, Row{"in_the_name", Child<QWidget>("Command_Name_Edit")},
                           Row{"in_the_length", Child<QWidget>("Data_Length_Edit")},
                           Row{"in_the_listing", Child<QWidget>("Data_Memo")}}) {
        SCOPED_TRACE(row.name);
        row.target->setFocus();
        QTest::keyClick(row.target, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(Memo(), listing);
    }
}

TEST_F(Capture_Test, Closes_By_Ok_Its_Close_Box_Or_A_Reject) {
    struct Row {
        const char* name;
        std::function<void(TCapture_Command_Form&)> close;
        int result;
    };
    const std::vector<Row> rows = {
        {"ok_button",
         [](TCapture_Command_Form& d) {
             QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("OK_Button")), Qt::LeftButton);
         },
         QDialog::Accepted},
        {"close_box", [](TCapture_Command_Form& d) { d.close(); }, QDialog::Rejected},
        {"reject", [](TCapture_Command_Form& d) { d.reject(); }, QDialog::Rejected},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialog = std::make_unique<TCapture_Command_Form>(form->State(), form.get());
        Show();
        dialog->setResult(-1);
        row.close(*dialog);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), row.result);
    }
}

// Records, at the first read of the receiver line, the prompt's text and what
// the screen shows where the prompt is; then the simulated port answers.
struct TPrompt_Observer {
    QWidget* window = nullptr;
    QLabel* prompt = nullptr;
    unsigned char (*port_in)(unsigned short) = nullptr;
    bool seen = false;
    QString text;
    QImage on_screen;

    QImage Screen() const {
        const QRect area(prompt->mapTo(window, QPoint(0, 0)), prompt->size());
        return window->screen()->grabWindow(window->winId(), area.x(), area.y(), area.width(), area.height()).toImage();
    }
} prompt_observer;

unsigned char Observing_Port_In(unsigned short port) {
    TPrompt_Observer& o = prompt_observer;
    if (!o.seen) {
        o.seen = true;
        o.text = o.prompt->text();
        o.on_screen = o.Screen();
    }
    return o.port_in(port);
}

TEST_F(Capture_Test, Says_What_To_Do_While_It_Waits_For_The_Remote) {
    struct Row {
        const char* name;
        bool remote;
        double time_limit;
        const char* prompt;
        std::size_t messages;
    };
    const std::vector<Row> rows = {
        {"a_command_arrives", true, 10, "Press a key on the remote now (10 s)\u2026", 0},
        {"nothing_arrives", false, 0.05, "Press a key on the remote now (0.05 s)\u2026", 1},
    };
    Show();
    TPrompt_Observer& o = prompt_observer;
    o = TPrompt_Observer{};
    o.window = dialog.get();
    o.prompt = Child<QLabel>("Capture_Prompt_Label");
    ASSERT_NE(o.prompt, nullptr);
    EXPECT_EQ(o.prompt->text(), "");
    const QImage idle = o.Screen();
    ASSERT_FALSE(idle.isNull());
    TPort_Function_Table table = form->State().Port.Functions();
    o.port_in = table.PortIn;
    table.PortIn = &Observing_Port_In;
    form->State().Port.Set_Function_Table(table);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages.clear();
        o.seen = false;
        TSim_Port_Controls(form->State().Port).Remote_Set_Auto(row.remote ? 1 : 0);
        form->State().Receive_Time_Limit_Seconds = row.time_limit;
        Click("Start_Caputure_Button");
        ASSERT_TRUE(o.seen);
        EXPECT_EQ(o.text, QString::fromUtf8(row.prompt));
        EXPECT_NE(o.on_screen, idle) << "the prompt was painted before the wait";
        EXPECT_EQ(o.prompt->text(), "") << "cleared when the capture ends";
        EXPECT_EQ(messages.size(), row.messages);
        QApplication::processEvents();
        EXPECT_EQ(o.Screen(), idle) << "and gone from the screen";
    }
}

TEST_F(Capture_Test, Registration_Scrolls_To_The_Byte_Dump) {
    struct Row {
        const char* name;
        const char* length;
        bool end_in_view;
    };
    Show();
    Click("Start_Caputure_Button");
    auto* memo = Child<QPlainTextEdit>("Data_Memo");
    for (const Row& row : {Row{"a_long_dump", "864", false}, Row{"a_short_dump", "13", true}}) {
        SCOPED_TRACE(row.name);
        Child<QLineEdit>("Data_Length_Edit")->setText(QString::fromLatin1(row.length));
        Child<QLineEdit>("Command_Name_Edit")->setText(QString::fromLatin1(row.name));
        memo->verticalScrollBar()->setValue(0);
        Click("Registration_Button");
        QApplication::processEvents();
        const int first_seen = memo->cursorForPosition(QPoint(1, 1)).blockNumber();
        const int last_seen = memo->cursorForPosition(QPoint(1, memo->viewport()->height() - 2)).blockNumber();
        const int start = memo->document()
                              ->find(">>>>>>> File Data Start <<<<<<<", memo->document()->characterCount(),
                                     QTextDocument::FindBackward)
                              .blockNumber();
        const int end = memo->blockCount() - 1;
        ASSERT_EQ(memo->document()->findBlockByNumber(end).text(), ">>>>>>> File Data END <<<<<<<");
        EXPECT_GE(start, first_seen);
        EXPECT_LT(start + 1, last_seen) << "the marker and the first byte are in view";
        EXPECT_EQ(end <= last_seen, row.end_in_view)
            << "seen " << first_seen << ".." << last_seen << ", dump " << start << ".." << end;
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Capture_Test, An_Emptied_Chart_Draws_No_Waveform) {
    struct Row {
        const char* name;
        std::function<void()> action;
        bool drawn;
    };
    const std::vector<Row> rows = {
        {"a_new_dialog", [] {}, false},
        {"a_burst",
         [this] {
             int32_t* data = form->State().Samples.Data();
             std::fill(data, data + 1024, 0);
             std::fill(data + 100, data + 200, 255);
             dialog->Show_Capture(1024);
         },
         true},
        {"a_capture_without_a_signal",
         [this] {
             TSim_Port_Controls(form->State().Port).Remote_Set_Auto(0);
             form->State().Receive_Time_Limit_Seconds = 0.05;
             Click("Start_Caputure_Button");
         },
         false},
    };
    Show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.action();
        QApplication::processEvents();
        const QImage chart = Child<QWidget>("DataView_Chart")->grab().toImage();
        int red = 0;
        for (int y = 0; y < chart.height(); ++y)
            for (int x = 0; x < chart.width(); ++x) {
                const QColor c = chart.pixelColor(x, y);
                red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
            }
        EXPECT_EQ(red > 0, row.drawn) << red << " red pixels";
    }
}

}  // namespace
}  // namespace qev::test
