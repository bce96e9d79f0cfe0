#include "controls/drop_down_list.h"

#include <QApplication>
#include <QProxyStyle>

namespace qev {

namespace {

// The application's style, except that a combo box's list opens as a list.
class TList_Popup_Style : public QProxyStyle {
public:
    // A fresh instance of the application's style by its name (the proxy
    // owns its base, so the application's own object cannot be handed over);
    // a style the factory does not know gives the desktop's default.
    TList_Popup_Style() : QProxyStyle(QApplication::style()->name()) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == QStyle::SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

}  // namespace

TDrop_Down_List::TDrop_Down_List(QWidget* parent)
    : QComboBox(parent), list_style_(std::make_unique<TList_Popup_Style>()) {
    setEditable(false);
    setStyle(list_style_.get());
}

// A widget does not own its style: hand the box back to the application's
// style before this one goes.
TDrop_Down_List::~TDrop_Down_List() { setStyle(nullptr); }

}  // namespace qev
