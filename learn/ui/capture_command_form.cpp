#include "learn/ui/capture_command_form.h"

#include "controls/form_font.h"
#include "controls/local_text.h"
#include "controls/up_down.h"
#include "learn/core/capture_analysis.h"
#include "learn/core/hear_back.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QValueAxis>

#include <algorithm>

namespace qev {

namespace {

// The waveform as steps: each sample holds its level from its index up to
// the next one, so the edges are vertical and only they need points (the
// start, both ends of every change of level, the end of the last sample).
QList<QPointF> Step_Points(const int32_t* samples, int32_t count) {
    QList<QPointF> points;
    if (count <= 0) return points;
    points.append(QPointF(0, samples[0]));
    for (int32_t i = 1; i < count; ++i) {
        if (samples[i] == samples[i - 1]) continue;
        points.append(QPointF(i, samples[i - 1]));
        points.append(QPointF(i, samples[i]));
    }
    points.append(QPointF(count, samples[count - 1]));
    return points;
}

// 1, 2 or 5 times a power of ten: the smallest such step that puts no more
// than eight steps on an axis of `length` samples.
int32_t Tick_Interval(int32_t length) {
    for (int64_t decade = 1;; decade *= 10)
        for (const int64_t factor : {1, 2, 5})
            if (length / (factor * decade) <= 8) return static_cast<int32_t>(factor * decade);
}

}  // namespace

TCapture_Command_Form::TCapture_Command_Form(TQEV_State& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("Capture_Command_Form"));
    setWindowTitle(QStringLiteral("Capture Command "));
    setFont(Form_Font());
    setFixedSize(Form_Width, Form_Height);
    Create_Components();
    Create_Chart();
    // The length starts at the full capture length.
    length_up_down_->Set_Range(1, Capture_Length(state_));
    length_up_down_->Set_Position(Capture_Length(state_));
    Clear_Chart();
    Set_Time_Axis(Capture_Length(state_));
    // Not moved: a dialog with a parent is centred on it when shown.
}

void TCapture_Command_Form::Create_Components() {
    auto* name_label = new QLabel(QStringLiteral("Command Name"), this);
    name_label->move(8, 10);
    name_edit_ = new QLineEdit(this);
    name_edit_->setObjectName(QStringLiteral("Command_Name_Edit"));
    name_edit_->setGeometry(8, 26, 161, 21);

    auto* length_label = new QLabel(QStringLiteral("Data Length"), this);
    length_label->move(8, 56);
    length_edit_ = new QLineEdit(this);
    length_edit_->setObjectName(QStringLiteral("Data_Length_Edit"));
    length_edit_->setGeometry(8, 72, 145, 21);
    length_up_down_ = new TUp_Down(this);
    length_up_down_->setObjectName(QStringLiteral("Data_Length_Edit_UpDown"));
    length_up_down_->setGeometry(153, 72, 16, 21);
    length_up_down_->Set_Associate(length_edit_);

    const struct {
        QPushButton*& button;
        const char* name;
        const char* caption;
        int top;
        void (TCapture_Command_Form::*handler)();
    } buttons[] = {
        {start_button_, "Start_Caputure_Button", "Start Caputure", 112,
         &TCapture_Command_Form::Start_Caputure_ButtonClick},
        {test_button_, "Test_Button", "Test", 148, &TCapture_Command_Form::Test_ButtonClick},
        {registration_button_, "Registration_Button", "Registration", 184,
         &TCapture_Command_Form::Registration_ButtonClick},
        {ok_button_, "OK_Button", "OK", 412, &TCapture_Command_Form::OK_ButtonClick},
    };
    for (const auto& b : buttons) {
        b.button = new QPushButton(QString::fromLatin1(b.caption), this);
        b.button->setObjectName(QString::fromLatin1(b.name));
        b.button->setGeometry(8, b.top, 161, 28);
        b.button->setAutoDefault(false);
        connect(b.button, &QPushButton::clicked, this, b.handler);
    }

    // What to do while a capture waits for the remote; empty otherwise.
    prompt_label_ = new QLabel(this);
    prompt_label_->setObjectName(QStringLiteral("Capture_Prompt_Label"));
    prompt_label_->setGeometry(8, 224, 161, 48);
    prompt_label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    prompt_label_->setWordWrap(true);

    hear_back_box_ = new QCheckBox(QStringLiteral("Hear it back"), this);
    hear_back_box_->setObjectName(QStringLiteral("Hear_Back_CheckBox"));
    hear_back_box_->setGeometry(8, 280, 161, 21);
    hear_back_box_->setToolTip(QStringLiteral(
        "Test listens while it sends and tells whether the receiver heard the same samples (a kernel IR device "
        "that hears its own transmitter)"));
    hear_back_box_->setVisible(Can_Hear_Back(state_));

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Data_Memo"));
    memo_->setGeometry(176, 8, 145, Form_Height - 16);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setReadOnly(false);
}

void TCapture_Command_Form::Create_Chart() {
    upper_ = new QLineSeries(this);
    series_ = new QAreaSeries(upper_);
    series_->setObjectName(QStringLiteral("Series1"));
    series_->setColor(Qt::red);
    series_->setBorderColor(Qt::red);
    series_->setPointsVisible(false);
    series_->setPointLabelsVisible(false);

    auto* chart = new QChart;
    chart->addSeries(series_);
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setBackgroundVisible(false);
    chart->setPlotAreaBackgroundVisible(false);
    chart->setMargins(QMargins(0, 0, 0, 0));

    auto* left_axis = new QValueAxis;
    left_axis->setObjectName(QStringLiteral("LeftAxis"));
    left_axis->setRange(0, 300);
    left_axis->setLabelsVisible(false);
    left_axis->setMinorTickCount(5);
    chart->addAxis(left_axis, Qt::AlignLeft);
    series_->attachAxis(left_axis);
    bottom_axis_ = new QValueAxis;
    bottom_axis_->setObjectName(QStringLiteral("BottomAxis"));
    bottom_axis_->setLabelFormat(QStringLiteral("%d"));
    bottom_axis_->setTickType(QValueAxis::TicksDynamic);
    bottom_axis_->setTickAnchor(0);
    chart->addAxis(bottom_axis_, Qt::AlignBottom);
    series_->attachAxis(bottom_axis_);

    chart_view_ = new QChartView(chart, this);
    chart_view_->setObjectName(QStringLiteral("DataView_Chart"));
    chart_view_->setGeometry(328, 8, Form_Width - 336, Form_Height - 16 - Decoded_Height);

    decoded_label_ = new QLabel(this);
    decoded_label_->setObjectName(QStringLiteral("Decoded_Label"));
    decoded_label_->setGeometry(336, Form_Height - 8 - Decoded_Height, Form_Width - 344, Decoded_Height);
    decoded_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

// ---- Handlers ---------------------------------------------------------------

void TCapture_Command_Form::Start_Caputure_ButtonClick() {
    const TBusy_Section busy(state_);
    Disable_Buttons();
    Clear_Chart();
    memo_->clear();
    Show_Prompt(QStringLiteral("Press a key on the remote now (%1 s)\u2026")
                    .arg(QString::number(state_.Receive_Time_Limit_Seconds)));
    state_.Calc_Tick_Period();
    const TReceive_Report report = state_.Receive_Command();
    Show_Prompt(QString());
    Show_Receive_Result(report);
    Enable_Buttons();
}

void TCapture_Command_Form::Test_ButtonClick() {
    const TBusy_Section busy(state_);
    Disable_Buttons();
    const int32_t length = Data_Length();
    if (Check_Data_Length(state_, length)) {
        state_.Samples.Sample_Count = length;
        if (!hear_back_box_->isHidden() && hear_back_box_->isChecked()) {
            Show_Prompt(To_Q(Test_Hear_Back(state_).Text));
        } else {
            state_.Transmit_Command();
        }
    }
    Enable_Buttons();
}

void TCapture_Command_Form::Registration_ButtonClick() {
    const TBusy_Section busy(state_);
    Disable_Buttons();
    const std::string name = From_Q(name_edit_->text());
    const TRegistration registration = Register_Command(state_, name, Data_Length());
    if (registration.Result == TRegistration_Result::Registered)
        Show_Dump(Byte_Dump(state_.Table.Row(registration.Row)));
    Enable_Buttons();
}

void TCapture_Command_Form::OK_ButtonClick() { accept(); }

// Escape would reject the dialog and throw the listing away: the dialog
// closes by OK or its close box only (both still reach accept and reject).
void TCapture_Command_Form::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- Steps --------------------------------------------------------------------

void TCapture_Command_Form::Show_Capture(int32_t count) {
    const int32_t* samples = state_.Samples.Data();
    upper_->replace(Step_Points(samples, count));
    series_->setVisible(count > 0);
    Set_Time_Axis(count);
    memo_->setPlainText(QString::fromLatin1(Sample_Listing(samples, count)));
    decoded_label_->setText(QString::fromLatin1(Decoded_Text(samples, count)));
    if (const auto length = Propose_Data_Length(samples, count, state_.Settings.DEV_LEADER_LENGTH))
        length_edit_->setText(QString::number(*length));
}

// Empties Series1. An area series whose points were removed still draws a
// line at the left edge, so the empty series is hidden as well.
void TCapture_Command_Form::Clear_Chart() {
    upper_->clear();
    series_->setVisible(false);
    decoded_label_->clear();
}

// The bottom axis spans `samples` whole samples, labelled at round numbers.
void TCapture_Command_Form::Set_Time_Axis(int32_t samples) {
    const int32_t length = std::max(1, samples);
    bottom_axis_->setRange(0, length);
    bottom_axis_->setTickInterval(Tick_Interval(length));
}

// The prompt is painted at once, and with it the cleared listing and chart: a
// capture holds the thread right after it, and nothing would be painted until
// the capture is over. User input stays queued, as in Disable_Buttons.
void TCapture_Command_Form::Show_Prompt(const QString& text) {
    prompt_label_->setText(text);
    prompt_label_->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TCapture_Command_Form::Show_Receive_Result(const TReceive_Report& report) {
    if (report.Result == TReceive_Result::Received)
        Show_Capture(report.Samples);
    else if (report.Result == TReceive_Result::No_Signal)
        state_.Feedback.Show_Error("No IR signal was received within " +
                                       std::to_string(static_cast<int>(state_.Receive_Time_Limit_Seconds)) +
                                       " seconds. Point the remote at the receiver and try again.",
                                   "Capture Error");
    else if (report.Result == TReceive_Result::No_Port)
        state_.Feedback.Show_Error("No port library (libio.so) is loaded: nothing can be received.", "Capture Error");
    else if (report.Result == TReceive_Result::Port_Failed)
        state_.Feedback.Show_Error(report.Error + "\nNothing can be received through " + state_.Port_Summary() + ".",
                                   "Capture Error");
    // Stopped: the program is ending; nothing to say.
}

// Appends the packed-byte dump and scrolls to it: to its end first, then to
// its first line, so that a dump longer than the pane shows from its start.
void TCapture_Command_Form::Show_Dump(const std::string& dump) {
    const int first = memo_->document()->isEmpty() ? 0 : memo_->blockCount();
    memo_->appendPlainText(To_Q(dump));
    memo_->moveCursor(QTextCursor::End);
    memo_->ensureCursorVisible();
    memo_->setTextCursor(QTextCursor(memo_->document()->findBlockByNumber(first)));
    memo_->ensureCursorVisible();
}

int32_t TCapture_Command_Form::Data_Length() const { return Leading_Digits_Value(From_Q(length_edit_->text())); }

void TCapture_Command_Form::Set_Buttons_Enabled(bool enabled) {
    for (QPushButton* button : {start_button_, test_button_, registration_button_, ok_button_})
        button->setEnabled(enabled);
}

void TCapture_Command_Form::Disable_Buttons() {
    Set_Buttons_Enabled(false);
    // Let the disabled look reach the screen before the thread is held by a
    // capture or a transmission; user input stays queued until it is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TCapture_Command_Form::Enable_Buttons() { Set_Buttons_Enabled(true); }

}  // namespace qev
