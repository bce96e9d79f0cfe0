// Live keys read and look live in every face mode: without see-through keys,
// see-through over a bitmap (bright, mid, black; both darkening modes), and
// see-through with no usable background (none set, or a JPEG); in a light and
// a dark palette. Each key is rendered with its font made crisp, so caption
// pixels carry exactly the caption colour, and the caption colour is measured
// against every pixel that touches the caption.
#include "app/window/key_table.h"
#include "controls/system_colors.h"
#include "tests/support/qt/window_fixture.h"

#include <QApplication>
#include <QPalette>

#include <cmath>

namespace qev::test {
namespace {

// WCAG 2: relative luminance of an sRGB colour, and the contrast ratio.
double Luminance(QRgb rgb) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
}

double Contrast(QRgb a, QRgb b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The lowest contrast between the caption colour and any pixel next to a
// caption pixel (8 neighbours) inside the key's 2-pixel frame: what the
// caption is read against. (The frame is drawn over the face's edge; a
// caption as wide as "VOL Dwn" reaches it.) 0 when the rendering shows no
// caption pixel at all.
double Caption_Contrast(TPictureButton& key) {
    QFont crisp = key.font();
    crisp.setStyleStrategy(QFont::NoAntialias);
    key.setFont(crisp);
    const QImage face = key.Render();
    const QRgb ink = key.Font_Color().rgb();
    const auto is_ink = [&](int x, int y) { return (face.pixel(x, y) & RGB_MASK) == (ink & RGB_MASK); };
    double worst = 0;
    bool found = false;
    for (int y = 0; y < face.height(); ++y) {
        for (int x = 0; x < face.width(); ++x) {
            if (!is_ink(x, y)) continue;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    constexpr int Frame = 2;
                    if (nx < Frame || ny < Frame || nx >= face.width() - Frame || ny >= face.height() - Frame ||
                        is_ink(nx, ny))
                        continue;
                    const double ratio = Contrast(ink, face.pixel(nx, ny));
                    worst = found ? std::min(worst, ratio) : ratio;
                    found = true;
                }
            }
        }
    }
    return worst;
}

// Mean luminance of what the key's picture shows (its transparent black
// pixels show the face colour).
double Face_Luminance(const TPictureButton& key) {
    const QImage& picture = key.Picture();
    double sum = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y) & RGB_MASK;
            sum += Luminance(p == 0 ? key.Face_Color().rgb() : p);
        }
    }
    return sum / (picture.width() * picture.height());
}

QPalette Dark_Palette() {
    QPalette dark = QApplication::palette();
    const auto set = [&](QPalette::ColorRole role, QColor color) { dark.setColor(role, color); };
    set(QPalette::Window, QColor(53, 53, 53));
    set(QPalette::WindowText, Qt::white);
    set(QPalette::Button, QColor(60, 60, 60));
    set(QPalette::ButtonText, Qt::white);
    set(QPalette::Base, QColor(42, 42, 42));
    set(QPalette::Text, Qt::white);
    set(QPalette::Light, QColor(90, 90, 90));
    set(QPalette::Midlight, QColor(74, 74, 74));
    set(QPalette::Dark, QColor(35, 35, 35));
    set(QPalette::Shadow, QColor(20, 20, 20));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    return dark;
}

enum class TLook {
    Darker,     // see-through: the background darkened, or a dark face without one
    Different,  // plain keys: the face colour against the shadow colour
    Same,       // over black, both show the face colour through the picture
};

struct TMode {
    const char* Name;
    const char* Transparency;  // BUTTON_TRANSPARENCY
    int Mode;                  // TRANSPARENCY_MODE
    const char* Format;        // the background file's format; nullptr for none
    QRgb Colour;               // its one colour
    TLook Live_Face;           // how a live key's face compares with a dead one's
};

class Key_Contrast_Test : public Window_Test {
protected:
    QPalette saved = QApplication::palette();
    void TearDown() override {
        form.reset();
        QApplication::setPalette(saved);
    }

    void Settings_For(const TMode& mode) {
        std::string back_image;
        if (mode.Format) {
            QImage image(305, 457, QImage::Format_RGB32);
            image.fill(mode.Colour);
            back_image = profile.File(std::string("back.") + mode.Format);
            ASSERT_TRUE(image.save(QString::fromStdString(back_image), mode.Format));
        }
        Write_File(Settings_File(), "[FORM]\nBACK_IMAGE=" + back_image + "\nBUTTON_TRANSPARENCY=" + mode.Transparency +
                                        "\nTRANSPARENCY_MODE=" + std::to_string(mode.Mode) + "\n");
    }

    std::string Every_Key_File() const {
        std::string rows;
        for (const TKey_Layout& layout : Key_Layouts) rows += std::string(layout.Command_Name) + ",01\n";
        return Command_File("all.rmt", rows);
    }
};

TEST_F(Key_Contrast_Test, Live_Keys_Read_And_Look_Live_In_Every_Face_Mode) {
    const TMode modes[] = {
        {"plain_keys", "NO", 0, nullptr, 0, TLook::Different},
        {"plain_keys_over_a_bitmap", "NO", 0, "bmp", qRgb(255, 255, 255), TLook::Different},
        {"see_through_white_bitmap_half", "YES", 0, "bmp", qRgb(255, 255, 255), TLook::Darker},
        {"see_through_white_bitmap_three_quarters", "YES", 1, "bmp", qRgb(255, 255, 255), TLook::Darker},
        {"see_through_mid_bitmap", "YES", 1, "bmp", qRgb(200, 100, 51), TLook::Darker},
        {"see_through_black_bitmap", "YES", 0, "bmp", qRgb(0, 0, 0), TLook::Same},
        {"see_through_without_background", "YES", 0, nullptr, 0, TLook::Darker},
        {"see_through_without_background_three_quarters", "YES", 1, nullptr, 0, TLook::Darker},
        {"see_through_over_a_jpeg", "YES", 0, "jpg", qRgb(255, 255, 255), TLook::Darker},
    };
    const struct {
        const char* Name;
        QPalette Palette;
    } palettes[] = {{"light", saved}, {"dark", Dark_Palette()}};
    for (const auto& palette : palettes) {
        for (const TMode& mode : modes) {
            SCOPED_TRACE(std::string(palette.Name) + " palette, " + mode.Name);
            QApplication::setPalette(palette.Palette);
            Settings_For(mode);
            form.reset();
            Start();
            // Every key dead, then every key live.
            std::vector<double> dead_faces;
            std::vector<QColor> dead_captions;
            for (TPictureButton* key : form->Keys()) {
                dead_faces.push_back(Face_Luminance(*key));
                dead_captions.push_back(key->Font_Color());
            }
            ASSERT_EQ(form->State().Load_Command_File(Every_Key_File(), 1), 0);
            double worst = 21;
            std::vector<TPictureButton*> live = form->Keys();
            live.push_back(Key("Send_Button"));
            for (std::size_t i = 0; i < live.size(); ++i) {
                TPictureButton* key = live[i];
                SCOPED_TRACE(key->objectName().toStdString());
                ASSERT_TRUE(key->isEnabled());
                const double contrast = Caption_Contrast(*key);
                worst = std::min(worst, contrast);
                EXPECT_GE(contrast, 4.5);
                if (i == form->Keys().size()) continue;  // Send is never dead
                EXPECT_NE(key->Font_Color(), dead_captions[i]) << "live and dead captions look alike";
                const double face = Face_Luminance(*key);
                switch (mode.Live_Face) {
                    case TLook::Darker:
                        EXPECT_LT(face, dead_faces[i]) << "a live key looks lighter than a dead one";
                        break;
                    case TLook::Different:
                        EXPECT_NE(face, dead_faces[i]) << "a live key looks like a dead one";
                        break;
                    case TLook::Same:
                        EXPECT_EQ(face, dead_faces[i]);
                        break;
                }
            }
            RecordProperty(std::string(palette.Name) + "_" + mode.Name, std::to_string(worst));
        }
    }
}

}  // namespace
}  // namespace qev::test
