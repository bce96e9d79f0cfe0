// The debug tool over a real main window on the simulated port: its face,
// the lamps against the port's lines, the LED buttons and the timer's life.
#include "controls/lamp.h"
#include "dialogs/ui/debug_tool_form.h"
#include "harness/sim_port_controls.h"
#include "tests/support/qt/window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qev::test {
namespace {

const QColor Red(255, 0, 0);
const QColor Yellow(255, 255, 0);
const QColor White(255, 255, 255);

class Debug_Tool_Form_Test : public Window_Test {
protected:
    std::unique_ptr<TDebug_Tool_Form> dialog;
    decltype(&IoSimPeek) peek = nullptr;
    decltype(&IoSimSetLoopback) set_loopback = nullptr;
    int ticks = 0;  // timer events the dialog has had

    void SetUp() override {
        Start();
        TSim_Port_Controls(form->State().Port).Reset();
        peek = reinterpret_cast<decltype(&IoSimPeek)>(form->State().Port.Resolve("IoSimPeek"));
        set_loopback = reinterpret_cast<decltype(&IoSimSetLoopback)>(form->State().Port.Resolve("IoSimSetLoopback"));
        ASSERT_NE(peek, nullptr) << "the simulated port";
        ASSERT_NE(set_loopback, nullptr);
        form->State().Set_LPT_Address(0x378);  // the LED off, as start-up leaves it
    }
    void TearDown() override {
        if (set_loopback) set_loopback(0);
    }
    void Make_Dialog() {
        dialog = std::make_unique<TDebug_Tool_Form>(form->State(), form.get());
        ticks = 0;
        // Connected after the dialog's own handler, so it counts refreshes done.
        QObject::connect(Timer(), &QTimer::timeout, [this] { ++ticks; });
    }
    void Open() {
        Make_Dialog();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    template <typename T>
    T* Child(const char* name) const {
        return Named_Child<T>(*dialog, name);
    }
    QTimer* Timer() const { return Child<QTimer>("Debug_Timer"); }
    QColor TX() const { return Child<TLamp>("TX_LED_Shape")->Brush_Color(); }
    QColor RX() const { return Child<TLamp>("RX_LED_Shape")->Brush_Color(); }
    void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }
    // Waits for the next refresh of the RX lamp.
    bool Next_Tick() {
        const int before = ticks;
        return QTest::qWaitFor([&] { return ticks > before; }, 2000);
    }
    unsigned short Base() const { return static_cast<unsigned short>(form->State().Port_Base()); }
};

TEST_F(Debug_Tool_Form_Test, Is_A_Fixed_Dialog_With_Its_Caption_And_Components) {
    Open();
    EXPECT_EQ(dialog->objectName(), "Debug_Tool_Form");
    EXPECT_EQ(dialog->windowTitle(), "Debug Tool");
    EXPECT_EQ(dialog->size(), QSize(362, 235));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "fixed size";

    struct Row {
        const char* name;
        const char* caption;  // nullptr: a lamp
        const char* parent;
        QRect geometry;  // an empty size: a label, sized by its text
    };
    const std::vector<Row> rows = {
        {"TX_Control_GroupBox", "TX Control", "Debug_Tool_Form", {24, 24, 145, 105}},
        {"IR_LED_ON_Button", "IR LED ON", "TX_Control_GroupBox", {24, 24, 97, 25}},
        {"IR_LED_OFF_Button", "IR LED OFF", "TX_Control_GroupBox", {24, 64, 97, 25}},
        {"Cancel_Button", "Cancel", "Debug_Tool_Form", {128, 152, 105, 33}},
        {"Status_GroupBox", "Status", "Debug_Tool_Form", {192, 24, 137, 105}},
        {"TX_LED_Shape", nullptr, "Status_GroupBox", {16, 27, 17, 17}},
        {"TX_LED_Label", "TX LED", "Status_GroupBox", {48, 29, 0, 0}},
        {"RX_LED_Shape", nullptr, "Status_GroupBox", {16, 68, 17, 17}},
        {"RX_LED_Label", "RX LED", "Status_GroupBox", {48, 70, 0, 0}},
        {"Port_Label", "Port: simulated port", "Debug_Tool_Form", {24, 194, 314, 32}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* widget = Child<QWidget>(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), row.parent);
        if (row.geometry.isEmpty()) {
            auto* label = qobject_cast<QLabel*>(widget);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->pos(), row.geometry.topLeft());
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << "the whole text shows";
        } else {
            EXPECT_EQ(widget->geometry(), row.geometry);
        }
        QString caption;
        if (auto* group = qobject_cast<QGroupBox*>(widget)) caption = group->title();
        if (auto* button = qobject_cast<QPushButton*>(widget)) caption = button->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) caption = label->text();
        if (row.caption) {
            EXPECT_EQ(caption.toStdString(), row.caption);
        } else {
            EXPECT_NE(qobject_cast<TLamp*>(widget), nullptr) << "a round lamp";
        }
    }
    EXPECT_EQ(Timer()->interval(), 100);
    EXPECT_TRUE(Timer()->isActive()) << "running from construction";
    EXPECT_EQ(Timer()->parent(), dialog.get());
}

TEST_F(Debug_Tool_Form_Test, Names_The_Port_The_Program_Uses) {
    // The library loaded again as on a machine whose device cannot be used.
    TEnv_Guard backend{"IO_BACKEND", std::nullopt};
    const std::string long_name = profile.File("a_parallel_port_device_file");
    Write_File(long_name, "");
    struct Row {
        const char* name;
        std::string device;  // IO_DEVICE as the library loads
        std::string caption;
        bool wraps;  // takes the label's second line
    };
    const std::vector<Row> rows = {
        {"no_parallel_port", "/nonexistent/parport0", "Port: simulated port", false},
        {"a_device_that_is_no_port", "/dev/null", "Port: simulated port (/dev/null: not a ppdev device)", false},
        {"two_lines", long_name, "Port: simulated port (" + long_name + ": not a ppdev device)", true},
    };
    TPort_Library& port = form->State().Port;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TEnv_Guard device{"IO_DEVICE", row.device};
        // Their library is unloaded by the load below.
        peek = nullptr;
        set_loopback = nullptr;
        ASSERT_EQ(port.Load_Port_Library(form->State().Port_Library_Name.c_str()), 0) << port.Load_Error();
        Open();
        auto* label = Child<QLabel>("Port_Label");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text().toStdString(), row.caption);
        EXPECT_EQ(label->toolTip(), label->text()) << "the whole text, should it not fit";
        EXPECT_TRUE(label->isVisible());
        const int height = label->heightForWidth(label->width());
        EXPECT_LE(height, label->height()) << "the whole text shows";
        EXPECT_EQ(height > label->fontMetrics().height() + label->fontMetrics().leading(), row.wraps) << height;
        EXPECT_EQ(Child<QPushButton>("Cancel_Button")->geometry(), QRect(128, 152, 105, 33)) << "left where it was";
        dialog.reset();
    }
}

TEST_F(Debug_Tool_Form_Test, The_TX_Lamp_Opens_With_The_LED_Line_As_It_Was_Left) {
    // A transmission of these samples, or a direct write when the list is empty.
    struct Row {
        const char* name;
        std::vector<int32_t> samples;
        int data;  // written when there are no samples; -1: nothing
        QColor tx;
    };
    const std::vector<Row> rows = {
        {"transmission_ended_active", {255, 0, 255, 255}, -1, Red},
        {"transmission_ended_idle", {255, 255, 255, 0}, -1, White},
        {"port_prepared", {}, -1, White},
        {"all_lines_low", {}, 0x00, White},
        {"only_line_0", {}, 0x01, Red},
        {"lines_1_to_7_high", {}, 0xFE, White},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TQEV_State& state = form->State();
        state.Set_LPT_Address(0x378);
        if (!row.samples.empty()) {
            std::copy(row.samples.begin(), row.samples.end(), state.Samples.Data());
            state.Samples.Sample_Count = static_cast<int32_t>(row.samples.size());
            state.Transmit_Command();
        } else if (row.data >= 0) {
            state.Port.Port_Out(0x378, static_cast<uint8_t>(row.data));
        }
        Make_Dialog();
        EXPECT_EQ(TX(), row.tx) << TX().name().toStdString();
        EXPECT_EQ(RX(), White);
    }
}

TEST_F(Debug_Tool_Form_Test, The_RX_Lamp_Is_White_Until_The_First_Tick_Then_Follows_The_Line) {
    // The receiver sees the LED: status 0x10 follows data line 0.
    set_loopback(1);
    form->State().Port.Port_Out(Base(), 0xFF);
    QElapsedTimer clock;
    clock.start();
    Open();
    EXPECT_EQ(RX(), White) << "the line is active, but no tick has come yet";
    ASSERT_EQ(ticks, 0);
    ASSERT_TRUE(Next_Tick());
    EXPECT_GE(clock.elapsed(), 90) << "the first tick comes 100 ms after opening";
    EXPECT_EQ(RX(), Yellow);
    EXPECT_EQ(TX(), Red);

    // The wiring check: each button's level comes back on the receiver line at the next tick.
    struct Row {
        const char* name;
        const char* button;
        uint8_t data;
        QColor tx;
        QColor rx;
    };
    const std::vector<Row> rows = {
        {"led_off", "IR_LED_OFF_Button", 0x00, White, White},
        {"led_on", "IR_LED_ON_Button", 0xFF, Red, Yellow},
        {"led_on_again", "IR_LED_ON_Button", 0xFF, Red, Yellow},
        {"led_off_again", "IR_LED_OFF_Button", 0x00, White, White},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Click(row.button);
        EXPECT_EQ(TX(), row.tx) << "at once";
        EXPECT_EQ(peek(Base()), row.data);
        ASSERT_TRUE(Next_Tick());
        EXPECT_EQ(RX(), row.rx);
        EXPECT_EQ(TX(), row.tx) << "the timer leaves the TX lamp alone";
    }
}

TEST_F(Debug_Tool_Form_Test, The_RX_Lamp_Shows_The_Receiver_Line_Not_The_LED) {
    // Without the loopback the receiver line stays idle whatever the LED does.
    Open();
    Click("IR_LED_ON_Button");
    ASSERT_TRUE(Next_Tick());
    ASSERT_TRUE(Next_Tick());
    EXPECT_EQ(RX(), White);
    EXPECT_EQ(TX(), Red);
}

// Writing at whichever base is in use is the tool's own test
// (tests/dialogs/core); here one base other than the default shows that the
// dialog writes through the program's port at the base in use.
TEST_F(Debug_Tool_Form_Test, What_The_Buttons_Write_Stays_On_The_Port_After_The_Dialog) {
    struct Row {
        const char* name;
        std::vector<const char*> buttons;
        std::vector<uint8_t> writes;
        QColor tx;
    };
    const std::vector<Row> rows = {
        {"off_after_on_leaves_all_lines_low", {"IR_LED_ON_Button", "IR_LED_OFF_Button"}, {0xFF, 0x00}, White},
        {"on_after_off", {"IR_LED_OFF_Button", "IR_LED_ON_Button"}, {0x00, 0xFF}, Red},
        {"leaving_with_the_led_on", {"IR_LED_ON_Button"}, {0xFF}, Red},
    };
    const int32_t base = 0x3BC;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form->State().Set_LPT_Address(base);
        Tx_Clear();
        Open();
        for (const char* button : row.buttons) Click(button);
        EXPECT_EQ(TX(), row.tx);
        Click("Cancel_Button");
        dialog.reset();
        EXPECT_EQ(Tx_Values(), row.writes);
        for (const TSim_Tx_Write& write : TSim_Port_Controls(form->State().Port).Writes())
            EXPECT_EQ(write.Port, base) << "the data register of the base in use";
        EXPECT_EQ(peek(static_cast<unsigned short>(base)), row.writes.back()) << "not put back to 0xFE";
    }
}

TEST_F(Debug_Tool_Form_Test, Cancel_Stops_The_Timer_And_Closes) {
    Open();
    ASSERT_TRUE(Timer()->isActive());
    Click("Cancel_Button");
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(Debug_Tool_Form_Test, Closing_By_The_Frame_Ends_The_Timer_With_The_Dialog) {
    Open();
    QPointer<QTimer> timer = Timer();
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_FALSE(timer.isNull()) << "the timer lives as long as the dialog";
    dialog.reset();
    EXPECT_TRUE(timer.isNull()) << "and goes with it";
}

TEST_F(Debug_Tool_Form_Test, Runs_Modally_Centred_On_The_Main_Window) {
    TDebug_Tool_Form modal_dialog(form->State(), form.get());
    const TModal_Run run = Run_Modal(modal_dialog, "Cancel_Button");
    EXPECT_EQ(run.Result, QDialog::Rejected);
    EXPECT_EQ(run.Name, "Debug_Tool_Form");
    EXPECT_TRUE(run.Modal);
    EXPECT_LE(run.Off_Centre, 2);
}

}  // namespace
}  // namespace qev::test
