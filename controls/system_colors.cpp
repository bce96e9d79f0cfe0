#include "controls/system_colors.h"

#include <QApplication>
#include <QPalette>

namespace qev {

QColor System_Color(TSystem_Color which) {
    const QPalette palette = QApplication::palette();
    switch (which) {
        case TSystem_Color::Btn_Face:
            return palette.color(QPalette::Active, QPalette::Button);
        case TSystem_Color::Btn_Shadow:
            return palette.color(QPalette::Active, QPalette::Dark);
        case TSystem_Color::Btn_Highlight:
            return palette.color(QPalette::Active, QPalette::Light);
        case TSystem_Color::Dk_Shadow_3D:
            return palette.color(QPalette::Active, QPalette::Shadow);
        case TSystem_Color::Light_3D:
            return palette.color(QPalette::Active, QPalette::Midlight);
        case TSystem_Color::Btn_Text:
            return palette.color(QPalette::Active, QPalette::ButtonText);
        case TSystem_Color::Gray_Text:
            return palette.color(QPalette::Disabled, QPalette::WindowText);
    }
    return palette.color(QPalette::Active, QPalette::Button);
}

}  // namespace qev
