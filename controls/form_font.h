// The font of the program's windows: the Japanese UI face the forms were
// designed with, falling back to the Japanese fonts of a Linux desktop
// (IPA, Noto CJK, VL) so Japanese names and paths never show as boxes.
#ifndef QEV_CONTROLS_FORM_FONT_H
#define QEV_CONTROLS_FORM_FONT_H

#include <QFont>

namespace qev {

QFont Form_Font(int pixel_size = 12, bool bold = false);

}  // namespace qev

#endif
