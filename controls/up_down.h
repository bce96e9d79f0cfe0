// TUp_Down: a pair of arrow buttons that step the number in an associated
// one-line edit, the way an up-down spinner sits beside a text field.
//
// By default the edit stays free text: the spinner only reads it when an
// arrow is pressed. The arrows (the buttons, and the Up and Down keys while
// the edit has the keyboard) step by one from the number shown, kept within
// Min .. Max, so 5000 in a field of 1 .. 1024 steps down to 1024; text that
// is no number steps from the spinner's own position.
//
// A strict spinner holds a number of its range at all times. Its position
// is the edit's text while that is a whole number within Min .. Max, in plain
// digits ("2048") or grouped by commas in threes ("2,048"); while the text is
// anything else, the position is the last such number the spinner took. It
// takes the text when an arrow is pressed (and steps from it) and when the
// edit finishes editing (Return, or the keyboard moving elsewhere), which
// also writes the position back, so the field shows the number that counts.
// Typing never takes a part of a number: 40000 typed into a field of
// 1 .. 32767 is not taken, and neither is the 4000 on the way to it.
//
// The position is written as plain decimal or, with Set_Thousands, grouped by
// commas in threes (1,024; 32,767). The grouping is fixed rather than the
// locale's, so a field reads the same on every desktop.
#ifndef QEV_CONTROLS_UP_DOWN_H
#define QEV_CONTROLS_UP_DOWN_H

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QLineEdit;
class QToolButton;

namespace qev {

class TUp_Down : public QWidget {
    Q_OBJECT

public:
    explicit TUp_Down(QWidget* parent = nullptr);

    void Set_Associate(QLineEdit* edit);
    void Set_Range(int min, int max);  // the position is brought into the range
    int Min() const { return min_; }
    int Max() const { return max_; }
    // Sets the position (clamped to the range) and writes it into the edit.
    void Set_Position(int position);
    // The position; for a strict spinner the edit's text when that is a
    // whole number within the range.
    int Position() const;
    void Set_Thousands(bool on) { thousands_ = on; }
    bool Thousands() const { return thousands_; }
    void Set_Strict(bool on);
    bool Strict() const { return strict_; }

    void Step(int delta);  // what the arrows do

    // A number as the spinner writes it: plain, or grouped by commas in threes.
    static QString Number_Text(int value, bool thousands);
    // A whole number written in plain digits or grouped by commas in threes,
    // with an optional sign and blanks around it; nothing for other text or
    // a number beyond int.
    static std::optional<int> Whole_Number(const QString& text);

signals:
    void Changed(int position);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<int> Valid_Text() const;
    void Take_Text();
    void Editing_Finished();
    void Write_Text();

    QPointer<QLineEdit> edit_;
    QMetaObject::Connection finished_;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    bool thousands_ = false;
    bool strict_ = false;
};

}  // namespace qev

#endif
