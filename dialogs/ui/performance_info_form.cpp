#include "dialogs/ui/performance_info_form.h"

#include "controls/form_font.h"
#include "controls/local_text.h"

#include <QLabel>
#include <QPushButton>

namespace qev {

namespace {

// The labels size themselves to their text, as they grow from "-" to a value.
void Set_Label_Text(QLabel* label, const std::string& text) {
    label->setText(To_Q(text));
    label->adjustSize();
}

}  // namespace

TPerformanceInfo_Form::TPerformanceInfo_Form(TQEV_State& state, QWidget* parent) : QDialog(parent), info_(state) {
    setObjectName(QStringLiteral("PerformanceInfo_Form"));
    setWindowTitle(QStringLiteral("Performance Info"));
    setFont(Form_Font());
    setFixedSize(Form_Width, Form_Height);
    Create_Components();
    // Not moved: a dialog with a parent is centred on it when shown.
}

void TPerformanceInfo_Form::Create_Components() {
    const struct {
        QLabel** label;  // kept when the label shows a value
        const char* name;
        const char* caption;
        int left;
        int top;
    } labels[] = {
        {nullptr, "Frequency_Accuracy_Label", "Frequency Accuracy:", 32, 16},
        {&frequency_label_, "Frequency_Value_Label", "-", 160, 16},
        {nullptr, "Timer_Load_Value_Label", "Timer Load Value(125us):", 8, 48},
        {&load_value_label_, "Load_Value_Label", "-", 160, 48},
        {nullptr, "Timer_Value_Label", "Soft Loop Count(125us):", 16, 80},
        {&loop_count_label_, "Timer_Value_Var_Label", "-", 160, 80},
    };
    for (const auto& l : labels) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(l.name));
        label->move(l.left, l.top);
        Set_Label_Text(label, l.caption);
        if (l.label) *l.label = label;
    }

    const struct {
        QPushButton*& button;
        const char* name;
        const char* caption;
        int left;
        void (TPerformanceInfo_Form::*handler)();
    } buttons[] = {
        {measure_button_, "Measure_Button", "Measure", 40, &TPerformanceInfo_Form::Measure_ButtonClick},
        {ok_button_, "OK_Button", "OK", 168, &TPerformanceInfo_Form::OK_ButtonClick},
    };
    for (const auto& b : buttons) {
        b.button = new QPushButton(QString::fromLatin1(b.caption), this);
        b.button->setObjectName(QString::fromLatin1(b.name));
        b.button->setGeometry(b.left, 120, 83, 25);
        connect(b.button, &QPushButton::clicked, this, b.handler);
    }
}

void TPerformanceInfo_Form::Measure_ButtonClick() {
    const TPerformance_Result result = info_.Measure_ButtonClick();
    Set_Label_Text(frequency_label_, result.Frequency_Value);
    Set_Label_Text(load_value_label_, result.Load_Value);
    Set_Label_Text(loop_count_label_, result.Timer_Value_Var);
}

void TPerformanceInfo_Form::OK_ButtonClick() { accept(); }

}  // namespace qev
