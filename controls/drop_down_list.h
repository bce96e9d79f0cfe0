// TDrop_Down_List: a drop-down list (a combo box without typing) whose open
// list shows at most maxVisibleItems() rows and scrolls through the rest.
//
// Styles that open a non-editable combo box as a menu (Fusion among them,
// through QStyle::SH_ComboBox_Popup) make the list as tall as the screen and
// ignore maxVisibleItems(). This box draws with a style of its own, the
// application's style at the time the box is made, that answers only that
// hint differently: the box looks as before, and its list honours the limit.
#ifndef QEV_CONTROLS_DROP_DOWN_LIST_H
#define QEV_CONTROLS_DROP_DOWN_LIST_H

#include <QComboBox>

#include <memory>

class QStyle;

namespace qev {

class TDrop_Down_List : public QComboBox {
    Q_OBJECT

public:
    explicit TDrop_Down_List(QWidget* parent = nullptr);
    ~TDrop_Down_List() override;

private:
    std::unique_ptr<QStyle> list_style_;
};

}  // namespace qev

#endif
