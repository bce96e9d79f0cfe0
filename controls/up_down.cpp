#include "controls/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

#include <algorithm>

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

void TUp_Down::setAssociate(QLineEdit* edit) {
    if (edit_) edit_->removeEventFilter(this);
    edit_ = edit;
    if (edit_) edit_->installEventFilter(this);
}

void TUp_Down::setRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    position_ = std::clamp(position_, min_, max_);
}

void TUp_Down::setPosition(int position) {
    position_ = std::clamp(position, min_, max_);
    Write_Text();
    emit Changed(position_);
}

void TUp_Down::Step(int delta) {
    // A number in the edit, in or out of the range, is where the step starts.
    long long from = position_;
    if (edit_) {
        const QString text = edit_->text().trimmed();
        bool ok = false;
        const int typed = QLocale().toInt(text, &ok);
        const int plain = ok ? typed : text.toInt(&ok);
        if (ok) from = plain;
    }
    setPosition(static_cast<int>(std::clamp<long long>(from + delta, min_, max_)));
}

void TUp_Down::Write_Text() {
    if (!edit_) return;
    edit_->setText(thousands_ ? QLocale().toString(position_) : QString::number(position_));
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
