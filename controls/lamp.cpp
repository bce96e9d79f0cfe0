#include "controls/lamp.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

namespace qev {

TLamp::TLamp(QWidget* parent) : QWidget(parent) {}

void TLamp::Set_Brush_Color(const QColor& color) {
    if (color == brush_color_) return;
    brush_color_ = color;
    update();
}

void TLamp::Set_Pen_Color(const QColor& color) {
    if (color == pen_color_) return;
    pen_color_ = color;
    update();
}

void TLamp::paintEvent(QPaintEvent*) {
    const int diameter = std::min(width(), height());
    if (diameter <= 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(pen_color_, 1));
    painter.setBrush(brush_color_);
    // The outline's centre runs half a pixel inside the square, so the whole
    // pen stays within the widget.
    const QRectF square((width() - diameter) / 2, (height() - diameter) / 2, diameter, diameter);
    painter.drawEllipse(square.adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace qev
