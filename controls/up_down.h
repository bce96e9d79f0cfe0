// TUp_Down: a pair of arrow buttons that step the number in an associated
// one-line edit, the way an up-down spinner sits beside a text field.
//
// The edit stays free text: the spinner only reads it when an arrow is
// pressed. The arrows (the buttons, and the Up and Down keys while the edit
// has the keyboard) step by one from the number shown, kept within
// Min .. Max, so 5000 in a field of 1 .. 1024 steps down to 1024; text that
// is no number steps from the spinner's own position. The result is written
// back as plain decimal or with thousands separators.
#ifndef QEV_CONTROLS_UP_DOWN_H
#define QEV_CONTROLS_UP_DOWN_H

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QToolButton;

class TUp_Down : public QWidget {
    Q_OBJECT

public:
    explicit TUp_Down(QWidget* parent = nullptr);

    void setAssociate(QLineEdit* edit);
    void setRange(int min, int max);  // the position is brought into the range
    int Min() const { return min_; }
    int Max() const { return max_; }
    // Sets the position (clamped to the range) and writes it into the edit.
    void setPosition(int position);
    int Position() const { return position_; }
    void setThousands(bool on) { thousands_ = on; }

    void Step(int delta);  // what the arrows do

signals:
    void Changed(int position);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Write_Text();

    QPointer<QLineEdit> edit_;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    bool thousands_ = false;
};

#endif
