// TPerformanceInfo_Form: shows how fine the machine's timing is.
//
// Measure reads the counter's frequency, the counter units in one 125 us
// tick, and how many turns of an empty counting loop fit into one tick at
// the priority of the timed runs; the labels keep the values until the next
// measurement. While the loop runs (some tens of milliseconds) the window
// does not respond. The dialog keeps nothing between openings.
#ifndef QEV_DIALOGS_UI_PERFORMANCE_INFO_FORM_H
#define QEV_DIALOGS_UI_PERFORMANCE_INFO_FORM_H

#include "app/core/qev_state.h"
#include "dialogs/core/performance.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace qev {

class TPerformanceInfo_Form : public QDialog {
    Q_OBJECT

public:
    static constexpr int Form_Width = 303;
    static constexpr int Form_Height = 201;

    TPerformanceInfo_Form(qev::TQEV_State& state, QWidget* parent);

    void Measure_ButtonClick();
    void OK_ButtonClick();

private:
    void Create_Components();

    qev::TPerformance_Info info_;
    QLabel* frequency_label_ = nullptr;
    QLabel* load_value_label_ = nullptr;
    QLabel* loop_count_label_ = nullptr;
    QPushButton* measure_button_ = nullptr;
    QPushButton* ok_button_ = nullptr;
};

}  // namespace qev

#endif
