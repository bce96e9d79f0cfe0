#include "learn/ui/capture_command_form.h"

#include "controls/form_font.h"
#include "controls/local_text.h"
#include "controls/up_down.h"
#include "learn/core/capture_analysis.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValueAxis>

using namespace qev;

TCapture_Command_Form::TCapture_Command_Form(TQEV_State& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("Capture_Command_Form"));
    setWindowTitle(QStringLiteral("Capture Command "));
    setFont(Form_Font());
    setFixedSize(Form_Width, Form_Height);
    Create_Components();
    Create_Chart();
    // The length starts at the full capture length.
    length_up_down_->setRange(1, state_.Settings.MAX_RMTCMD_BIT_LENGTH);
    length_up_down_->setPosition(state_.Settings.MAX_RMTCMD_BIT_LENGTH);
    upper_->clear();
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
    length_up_down_->setAssociate(length_edit_);

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
    chart->addAxis(bottom_axis_, Qt::AlignBottom);
    series_->attachAxis(bottom_axis_);

    chart_view_ = new QChartView(chart, this);
    chart_view_->setObjectName(QStringLiteral("DataView_Chart"));
    chart_view_->setGeometry(328, 8, Form_Width - 336, Form_Height - 16);
}

// ---- Handlers ---------------------------------------------------------------

void TCapture_Command_Form::Start_Caputure_ButtonClick() {
    Disable_Buttons();
    upper_->clear();
    memo_->clear();
    state_.Calc_Tick_Period();
    const TReceive_Report report = state_.Receive_Command();
    if (report.Result == TReceive_Result::Received)
        Show_Capture(report.Samples);
    else if (report.Result == TReceive_Result::No_Signal)
        state_.Feedback.Show_Error("No IR signal was received within " +
                                       std::to_string(static_cast<int>(state_.Receive_Time_Limit_Seconds)) +
                                       " seconds. Point the remote at the receiver and try again.",
                                   "Capture Error");
    else
        state_.Feedback.Show_Error("No port library (libio.so) is loaded: nothing can be received.", "Capture Error");
    Enable_Buttons();
}

void TCapture_Command_Form::Test_ButtonClick() {
    Disable_Buttons();
    const int32_t length = Data_Length();
    if (Check_Data_Length(state_, length)) {
        state_.Samples.Sample_Count = length;
        state_.Transmit_Command();
    }
    Enable_Buttons();
}

void TCapture_Command_Form::Registration_ButtonClick() {
    Disable_Buttons();
    const std::string name = From_Q(name_edit_->text());
    const TRegistration registration = Register_Command(state_, name, Data_Length());
    if (registration.Result == TRegistration_Result::Registered)
        memo_->appendPlainText(To_Q(Byte_Dump(state_.Table.Row(registration.Row))));
    Enable_Buttons();
}

void TCapture_Command_Form::OK_ButtonClick() { accept(); }

// ---- Steps --------------------------------------------------------------------

void TCapture_Command_Form::Show_Capture(int32_t count) {
    const int32_t* samples = state_.Samples.Data();
    QList<QPointF> points;
    points.reserve(count);
    for (int32_t i = 0; i < count; ++i) points.append(QPointF(i, samples[i]));
    upper_->replace(points);
    bottom_axis_->setRange(0, std::max(1, count - 1));
    memo_->setPlainText(QString::fromLatin1(Sample_Listing(samples, count)));
    if (const auto length = Propose_Data_Length(samples, count, state_.Settings.DEV_LEADER_LENGTH))
        length_edit_->setText(QString::number(*length));
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
