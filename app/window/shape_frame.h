// A rectangle outline in the 3-D dark shadow colour, with a clear inside:
// the frames that group the keys of the remote-control face.
#ifndef QEV_APP_WINDOW_SHAPE_FRAME_H
#define QEV_APP_WINDOW_SHAPE_FRAME_H

#include <QWidget>

namespace qev {

class TShape_Frame : public QWidget {
public:
    explicit TShape_Frame(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace qev

#endif
