#include "tests/controls/control_test_support.h"

#include <QApplication>

namespace qev::test {

QPalette Test_Palette() {
    QPalette palette = QApplication::palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Button, test_colors::Face);
        palette.setColor(group, QPalette::Dark, test_colors::Shadow);
        palette.setColor(group, QPalette::Light, test_colors::Highlight);
        palette.setColor(group, QPalette::Shadow, test_colors::Dk_Shadow);
        palette.setColor(group, QPalette::Midlight, test_colors::Light_3D);
        palette.setColor(group, QPalette::ButtonText, test_colors::Btn_Text);
    }
    palette.setColor(QPalette::Active, QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, test_colors::Gray);
    return palette;
}

void TControl_Test::SetUp() {
    saved_palette = QApplication::palette();
    QApplication::setPalette(Test_Palette());
}

void TControl_Test::TearDown() { QApplication::setPalette(saved_palette); }

std::unique_ptr<TPictureButton> Make_Key(QWidget* parent) {
    auto key = std::make_unique<TPictureButton>(parent);
    key->resize(57, 25);
    key->Set_Color(test_colors::Out);
    key->Set_In_Color(test_colors::In);
    return key;
}

QImage Solid(int w, int h, const QColor& color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

std::string Hex(const QColor& color) { return color.name().toStdString(); }

std::string Pixel(const QImage& image, int x, int y) {
    if (!image.rect().contains(x, y)) return "outside";
    return Hex(QColor(image.pixel(x, y)));
}

QColor Inverted(const QColor& color) { return QColor(255 - color.red(), 255 - color.green(), 255 - color.blue()); }

QRect Bounds_Of(const QImage& image, const QColor& color) {
    const QRgb wanted = color.rgb() & RGB_MASK;
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & RGB_MASK) == wanted) bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

}  // namespace qev::test
