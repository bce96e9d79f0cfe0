#include "controls/form_font.h"

#include <QStringList>

namespace qev {

QFont Form_Font(int pixel_size, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")});
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    return font;
}

}  // namespace qev
