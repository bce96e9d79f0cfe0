#include "controls/up_down.h"

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

void TUp_Down::setAssociate(QLineEdit* edit) { edit_ = edit; }

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
    if (edit_) {
        bool ok = false;
        const int typed = QLocale().toInt(edit_->text().trimmed(), &ok);
        const int plain = ok ? typed : edit_->text().trimmed().toInt(&ok);
        if (ok && plain >= min_ && plain <= max_) position_ = plain;
    }
    setPosition(position_ + delta);
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
