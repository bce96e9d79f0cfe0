// TCapture_Command_Form: learns a new command from a remote control.
//
// Start Caputure records what the remote sends into the Sample buffer, lists
// every sample, draws the waveform and proposes how many samples make one
// command (up to the remote's repeat leader). Test plays the samples back
// once; Registration stores them under a name in the Command table. The
// dialog keeps nothing of its own: it works on the shared state. It closes
// by OK or its close box; Escape does not throw the listing away.
#ifndef QEV_LEARN_UI_CAPTURE_COMMAND_FORM_H
#define QEV_LEARN_UI_CAPTURE_COMMAND_FORM_H

#include "app/core/qev_state.h"

#include <QDialog>

class QAreaSeries;
class QChart;
class QChartView;
class QKeyEvent;
class QCheckBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPlainTextEdit;
class QPushButton;
class QValueAxis;

namespace qev {

class TUp_Down;

class TCapture_Command_Form : public QDialog {
    Q_OBJECT

public:
    static constexpr int Form_Width = 752;
    static constexpr int Form_Height = 452;
    static constexpr int Decoded_Height = 20;  // the decoded line under the chart

    TCapture_Command_Form(qev::TQEV_State& state, QWidget* parent);

    void Start_Caputure_ButtonClick();
    void Test_ButtonClick();
    void Registration_ButtonClick();
    void OK_ButtonClick();

    // Shows the first `count` samples of the Sample buffer: chart, listing
    // and the proposed length.
    void Show_Capture(int32_t count);
    int32_t Data_Length() const;
    // The chart's one series (the chart owns it, so findChild cannot reach it).
    QAreaSeries* Series1() const { return series_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Create_Components();
    void Create_Chart();
    void Clear_Chart();
    void Set_Time_Axis(int32_t samples);
    void Show_Prompt(const QString& text);
    void Show_Receive_Result(const qev::TReceive_Report& report);
    void Show_Dump(const std::string& dump);
    void Disable_Buttons();
    void Enable_Buttons();
    void Set_Buttons_Enabled(bool enabled);

    qev::TQEV_State& state_;
    QLineEdit* name_edit_ = nullptr;
    QLineEdit* length_edit_ = nullptr;
    TUp_Down* length_up_down_ = nullptr;
    QPushButton* start_button_ = nullptr;
    QPushButton* test_button_ = nullptr;
    QPushButton* registration_button_ = nullptr;
    QPushButton* ok_button_ = nullptr;
    QLabel* prompt_label_ = nullptr;
    // Test hears the send back (a port that sends and receives whole signals).
    QCheckBox* hear_back_box_ = nullptr;
    QLabel* decoded_label_ = nullptr;  // what the capture decodes to, under the chart
    QPlainTextEdit* memo_ = nullptr;
    QChartView* chart_view_ = nullptr;
    QLineSeries* upper_ = nullptr;
    QAreaSeries* series_ = nullptr;
    QValueAxis* bottom_axis_ = nullptr;
};

}  // namespace qev

#endif
