// TLamp: a round lamp, the way a circle shape shows a state on a form.
//
// The circle is as wide as the smaller side of the widget and centred in it,
// drawn with a one-pixel dark outline and filled with the brush colour; the
// corners outside it stay the parent's background. Setting the brush colour
// repaints the lamp.
#ifndef QEV_CONTROLS_LAMP_H
#define QEV_CONTROLS_LAMP_H

#include <QColor>
#include <QWidget>

namespace qev {

class TLamp : public QWidget {
    Q_OBJECT

public:
    explicit TLamp(QWidget* parent = nullptr);

    void Set_Brush_Color(const QColor& color);
    QColor Brush_Color() const { return brush_color_; }
    void Set_Pen_Color(const QColor& color);
    QColor Pen_Color() const { return pen_color_; }

    QSize sizeHint() const override { return {17, 17}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_color_{Qt::white};
    QColor pen_color_{Qt::black};
};

}  // namespace qev

#endif
