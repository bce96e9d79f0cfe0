// The desktop colours the remote-control face is painted with.
//
// The key faces, frames and captions are described in terms of the classic
// desktop colour scheme (button face, button shadow, 3-D light, ...). Here each
// of those names is one role of the application's palette, read at the moment
// it is asked for, so a palette change reaches everything painted afterwards.
// The picture button and the main window both take their colours from here.
#ifndef QEV_CONTROLS_SYSTEM_COLORS_H
#define QEV_CONTROLS_SYSTEM_COLORS_H

#include <QColor>

namespace qev {

enum class TSystem_Color {
    Btn_Face,       // button face               -> QPalette::Button
    Btn_Shadow,     // button shadow             -> QPalette::Dark
    Btn_Highlight,  // button highlight          -> QPalette::Light
    Dk_Shadow_3D,   // 3-D dark shadow           -> QPalette::Shadow
    Light_3D,       // 3-D light                 -> QPalette::Midlight
    Btn_Text,       // text on buttons           -> QPalette::ButtonText
    Gray_Text,      // text of disabled controls -> QPalette::WindowText, disabled group
};

// The colour of `which` in the application's palette (QApplication::palette()).
// All but Gray_Text come from the active colour group.
QColor System_Color(TSystem_Color which);

// Cream, the caption colour of disabled keys over a background picture.
inline const QColor clCream{255, 251, 240};

}  // namespace qev

#endif
