#include "app/window/shape_frame.h"

#include "controls/system_colors.h"

#include <QPainter>

namespace qev {

void TShape_Frame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(System_Color(TSystem_Color::Dk_Shadow_3D));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

}  // namespace qev
