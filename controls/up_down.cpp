#include "controls/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace qev {

TUp_Down::TUp_Down(QWidget* parent) : QWidget(parent) {
    up_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("Up"));
    up_->setArrowType(Qt::UpArrow);
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setObjectName(QStringLiteral("Down"));
    down_->setArrowType(Qt::DownArrow);
    down_->setAutoRepeat(true);
    for (QToolButton* button : {up_, down_}) button->setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    setFixedWidth(16);
}

void TUp_Down::Set_Associate(QLineEdit* edit) {
    if (edit_) edit_->removeEventFilter(this);
    disconnect(finished_);
    edit_ = edit;
    if (!edit_) return;
    edit_->installEventFilter(this);
    finished_ = connect(edit_, &QLineEdit::editingFinished, this, &TUp_Down::Editing_Finished);
}

void TUp_Down::Set_Range(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    position_ = std::clamp(position_, min_, max_);
}

void TUp_Down::Set_Position(int position) {
    position_ = std::clamp(position, min_, max_);
    Write_Text();
    emit Changed(position_);
}

int TUp_Down::Position() const {
    if (strict_)
        if (const auto typed = Valid_Text()) return *typed;
    return position_;
}

void TUp_Down::Set_Strict(bool on) { strict_ = on; }

void TUp_Down::Step(int delta) {
    long long from = position_;
    if (strict_) {
        // A strict spinner steps from its position, which valid text sets.
        Take_Text();
        from = position_;
    } else if (edit_) {
        // A number in the edit, in or out of the range, is where the step starts.
        const QString text = edit_->text().trimmed();
        bool ok = false;
        const int typed = QLocale().toInt(text, &ok);
        const int plain = ok ? typed : text.toInt(&ok);
        if (ok) from = plain;
    }
    Set_Position(static_cast<int>(std::clamp<long long>(from + delta, min_, max_)));
}

QString TUp_Down::Number_Text(int value, bool thousands) {
    QString digits = QString::number(value);
    if (!thousands) return digits;
    const qsizetype first = value < 0 ? 1 : 0;
    for (qsizetype at = digits.size() - 3; at > first; at -= 3) digits.insert(at, QLatin1Char(','));
    return digits;
}

std::optional<int> TUp_Down::Whole_Number(const QString& text) {
    const QString number = text.trimmed();
    qsizetype at = 0;
    bool negative = false;
    if (!number.isEmpty() && (number[0] == QLatin1Char('-') || number[0] == QLatin1Char('+'))) {
        negative = number[0] == QLatin1Char('-');
        ++at;
    }
    const qsizetype first_digit = at;
    long long value = 0;
    qsizetype run = 0;     // digits since the start or the last comma
    bool grouped = false;  // a comma was seen: every later run must be three digits
    for (; at < number.size(); ++at) {
        const QChar c = number[at];
        if (c == QLatin1Char(',')) {
            // The first group holds one to three digits, every later one three.
            if (run == 0 || run > 3 || (grouped && run != 3)) return std::nullopt;
            grouped = true;
            run = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return std::nullopt;
        ++run;
    }
    if (at == first_digit || (grouped && run != 3)) return std::nullopt;
    if (negative) value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> TUp_Down::Valid_Text() const {
    if (!edit_) return std::nullopt;
    const auto typed = Whole_Number(edit_->text());
    if (!typed || *typed < min_ || *typed > max_) return std::nullopt;
    return typed;
}

void TUp_Down::Take_Text() {
    const auto typed = Valid_Text();
    if (!typed || *typed == position_) return;
    position_ = *typed;
    emit Changed(position_);
}

// A strict spinner shows the number that counts once the user is done with
// the field: what was typed, written in the spinner's way, or the last valid
// position when the text was not taken.
void TUp_Down::Editing_Finished() {
    if (!strict_) return;
    Take_Text();
    Write_Text();
}

void TUp_Down::Write_Text() {
    if (!edit_) return;
    edit_->setText(Number_Text(position_, thousands_));
}

void TUp_Down::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

// Up and Down in the edit step like the arrow buttons (with or without the
// keypad); every other key goes on to the edit.
//
// The event type is tested first: the edit also sends events while it is
// being destroyed, and edit_ must not be looked at then (it no longer is a
// QLineEdit).
bool TUp_Down::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isEnabled() && watched == edit_.data()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qev
