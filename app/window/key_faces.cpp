#include "app/window/key_faces.h"

#include <QPainter>

namespace qev {

uint32_t Darken_Color_Value(uint32_t v, int32_t transparency_mode) {
    const uint32_t half = (v & 0xFEFEFEu) >> 1;
    const uint32_t quarter = transparency_mode != 0 ? (v & 0xFCFCFCu) >> 2 : 0u;
    return (half + quarter) | (v & 0xFF000000u);
}

QImage Blank_Picture(QSize size) { return Solid_Picture(size, Qt::black); }

QImage Solid_Picture(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QImage Copy_Background(const QImage& background, QRect rect) {
    QImage copy = Blank_Picture(rect.size());
    if (!background.isNull()) {
        QPainter painter(&copy);
        painter.drawImage(QPoint(0, 0), background, rect);
    }
    return copy;
}

QColor Quarter_Brightness(QColor color) {
    const QColor quarter(color.red() >> 2, color.green() >> 2, color.blue() >> 2);
    return quarter == QColor(Qt::black) ? QColor(1, 1, 1) : quarter;
}

QImage Enabled_Face(const QImage& background, QRect rect, bool see_through, int32_t transparency_mode,
                    QColor face_color) {
    if (!see_through) return Solid_Picture(rect.size(), face_color);
    // Nothing to see through: darkening the empty copy would leave it black,
    // that is transparent, and the light face colour would show under the
    // yellow caption.
    if (background.isNull()) return Solid_Picture(rect.size(), Quarter_Brightness(face_color));
    QImage face = Copy_Background(background, rect);
    for (int x = 0; x < face.width(); ++x) {
        for (int y = 0; y < face.height(); ++y) {
            const QRgb p = face.pixel(x, y);
            // QRgb keeps blue lowest; the darkening treats the three channels
            // alike, so only the byte order of the value has to be swapped.
            const uint32_t value = static_cast<uint32_t>(qRed(p)) | static_cast<uint32_t>(qGreen(p)) << 8 |
                                   static_cast<uint32_t>(qBlue(p)) << 16;
            const uint32_t dark = Darken_Color_Value(value, transparency_mode);
            face.setPixel(x, y, qRgb(dark & 0xFF, (dark >> 8) & 0xFF, (dark >> 16) & 0xFF));
        }
    }
    return face;
}

QImage Disabled_Face(const QImage& background, QRect rect, bool see_through, QColor shadow_color) {
    if (see_through && !background.isNull()) return Copy_Background(background, rect);
    return Solid_Picture(rect.size(), shadow_color);
}

}  // namespace qev
