// The performance dialog: its face, the values a scripted counter gives, and
// one real measurement on this machine's counter at the program's priority.
#include "dialogs/ui/performance_info_form.h"
#include "harness/priority_recorder.h"
#include "tests/support/qt/window_fixture.h"
#include "tests/support/raised_step_counter.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qev::test {
namespace {

template <typename T>
T* Child(const QWidget& dialog, const char* name) {
    auto* child = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

std::string Text(const QWidget& dialog, const char* label) {
    return Child<QLabel>(dialog, label)->text().toStdString();
}

void Click(const QWidget& dialog, const char* button) {
    QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
}

TEST(Performance_Info_Form, Shows_What_The_Counter_Gives) {
    struct Row {
        const char* name;
        int64_t frequency;
        int64_t raised_step;
        const char* frequency_text;
        const char* load_text;
        const char* loop_text;
    };
    const std::vector<Row> rows = {
        {"acpi_timer_twenty_ms", 3'579'545, 71'591, "3579545 Hz", "447 Count", "104857 Count"},
        {"no_counter", 0, 71'591, "0 Hz", "0 Count", "-"},
        {"loop_shorter_than_a_tick", 3'579'545, 446, "3579545 Hz", "447 Count", "> 16777215 Count"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TPriority_Recorder priority;
        TRaised_Step_Counter counter(priority, row.frequency, row.raised_step);
        TRecording_Feedback feedback;
        TQEV_State state(counter, priority, feedback, feedback);
        TPerformanceInfo_Form dialog(state, nullptr);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

        Click(dialog, "Measure_Button");

        EXPECT_EQ(Text(dialog, "Frequency_Value_Label"), row.frequency_text);
        EXPECT_EQ(Text(dialog, "Load_Value_Label"), row.load_text);
        EXPECT_EQ(Text(dialog, "Timer_Value_Var_Label"), row.loop_text);
        for (const char* name : {"Frequency_Value_Label", "Load_Value_Label", "Timer_Value_Var_Label"}) {
            auto* label = Child<QLabel>(dialog, name);
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << name << ": the label grew with its text";
            EXPECT_LE(label->geometry().right(), dialog.width()) << name << ": inside the window";
        }
        EXPECT_EQ(priority.Calls.size(), 5u) << "raised and restored once";
        EXPECT_TRUE(dialog.isVisible()) << "Measure leaves the dialog open";
    }
}

class Performance_Info_Form_Test : public Window_Test {
protected:
    std::unique_ptr<TPerformanceInfo_Form> dialog;

    void SetUp() override { Start(); }
    void Open() {
        dialog = std::make_unique<TPerformanceInfo_Form>(form->State(), form.get());
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
};

TEST_F(Performance_Info_Form_Test, Is_A_Fixed_Dialog_With_Its_Caption_And_Components) {
    Open();
    EXPECT_EQ(dialog->objectName(), "PerformanceInfo_Form");
    EXPECT_EQ(dialog->windowTitle(), "Performance Info");
    EXPECT_EQ(dialog->size(), QSize(303, 201));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "fixed size";

    struct Row {
        const char* name;
        const char* caption;
        QRect geometry;  // an empty size: a label, sized by its text
    };
    const std::vector<Row> rows = {
        {"Frequency_Accuracy_Label", "Frequency Accuracy:", {32, 16, 0, 0}},
        {"Frequency_Value_Label", "-", {160, 16, 0, 0}},
        {"Timer_Load_Value_Label", "Timer Load Value(125us):", {8, 48, 0, 0}},
        {"Load_Value_Label", "-", {160, 48, 0, 0}},
        {"Timer_Value_Label", "Soft Loop Count(125us):", {16, 80, 0, 0}},
        {"Timer_Value_Var_Label", "-", {160, 80, 0, 0}},
        {"Measure_Button", "Measure", {40, 120, 83, 25}},
        {"OK_Button", "OK", {168, 120, 83, 25}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* widget = Child<QWidget>(*dialog, row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), dialog.get());
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_TRUE(row.geometry.isEmpty());
            EXPECT_EQ(label->pos(), row.geometry.topLeft());
            EXPECT_EQ(label->text().toStdString(), row.caption);
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << "the whole text shows";
            if (label->x() < 160) {
                EXPECT_LT(label->geometry().right(), 160) << "a caption ends before the values";
            }
        } else {
            auto* button = qobject_cast<QPushButton*>(widget);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->geometry(), row.geometry);
            EXPECT_EQ(button->text().toStdString(), row.caption);
        }
    }
}

// This thread's policy, its priority and its number of allowed CPUs, and the
// process's nice value.
std::vector<int> Priority_Now() {
    sched_param param{};
    sched_getparam(0, &param);
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    sched_getaffinity(0, sizeof cpus, &cpus);
    return {sched_getscheduler(0), param.sched_priority, CPU_COUNT(&cpus), getpriority(PRIO_PROCESS, 0)};
}

TEST_F(Performance_Info_Form_Test, Measures_This_Machine_And_Restores_The_Priority) {
    Open();
    const std::vector<int> before = Priority_Now();
    Click(*dialog, "Measure_Button");
    EXPECT_EQ(Priority_Now(), before);

    // The program's counter counts nanoseconds.
    EXPECT_EQ(Text(*dialog, "Frequency_Value_Label"), "1000000000 Hz");
    EXPECT_EQ(Text(*dialog, "Load_Value_Label"), "125000 Count");
    const QString loop = Child<QLabel>(*dialog, "Timer_Value_Var_Label")->text();
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^(\\d+) Count$")).match(loop);
    ASSERT_TRUE(match.hasMatch()) << loop.toStdString();
    const long long turns = match.captured(1).toLongLong();
    // A tick holds some thousands of turns on any machine this runs on; far
    // fewer would mean the loop is slowed by more than work, far more that
    // it does not run.
    EXPECT_GT(turns, 100);
    EXPECT_LT(turns, 16'777'215);
    std::printf("[ measured ] %s  %s  %s\n", Text(*dialog, "Frequency_Value_Label").c_str(),
                Text(*dialog, "Load_Value_Label").c_str(), loop.toStdString().c_str());
}

TEST_F(Performance_Info_Form_Test, Values_Stay_Until_The_Dialog_Closes_And_A_New_One_Starts_Blank) {
    Open();
    Click(*dialog, "Measure_Button");
    const std::string loop = Text(*dialog, "Timer_Value_Var_Label");
    ASSERT_NE(loop, "-");
    QApplication::processEvents();
    EXPECT_EQ(Text(*dialog, "Timer_Value_Var_Label"), loop) << "kept until the next measurement";
    Click(*dialog, "OK_Button");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);

    Open();
    for (const char* name : {"Frequency_Value_Label", "Load_Value_Label", "Timer_Value_Var_Label"})
        EXPECT_EQ(Text(*dialog, name), "-") << name;
}

TEST_F(Performance_Info_Form_Test, Runs_Modally_Centred_On_The_Main_Window) {
    TPerformanceInfo_Form modal_dialog(form->State(), form.get());
    const TModal_Run run = Run_Modal(modal_dialog, "OK_Button");
    EXPECT_EQ(run.Result, QDialog::Accepted);
    EXPECT_EQ(run.Name, "PerformanceInfo_Form");
    EXPECT_TRUE(run.Modal);
    EXPECT_LE(run.Off_Centre, 2);
}

}  // namespace
}  // namespace qev::test
