// Shared pieces of the control tests: a palette in which every desktop colour
// is distinct (so a mixed-up colour shows), a key of the main window's size,
// and pixel helpers that print colours readably.
#ifndef QEV_TESTS_CONTROLS_CONTROL_TEST_SUPPORT_H
#define QEV_TESTS_CONTROLS_CONTROL_TEST_SUPPORT_H

#include "controls/picture_button.h"

#include <gtest/gtest.h>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>

#include <memory>
#include <ostream>
#include <string>

namespace qev::test {

namespace test_colors {
// Installed as the application palette by TControl_Test.
inline const QColor Face{192, 192, 192};       // QPalette::Button
inline const QColor Shadow{128, 128, 128};     // QPalette::Dark
inline const QColor Highlight{250, 250, 250};  // QPalette::Light
inline const QColor Dk_Shadow{40, 40, 40};     // QPalette::Shadow
inline const QColor Light_3D{224, 224, 200};   // QPalette::Midlight
inline const QColor Btn_Text{0, 0, 160};       // QPalette::ButtonText
inline const QColor Gray{100, 100, 120};       // QPalette::WindowText, disabled group

// Colours the tests give keys.
inline const QColor Out{0, 120, 120};
inline const QColor In{230, 180, 40};
inline const QColor Red{220, 0, 0};
}  // namespace test_colors

// The palette above; everything else from the current one.
QPalette Test_Palette();

namespace row_printing {
// Table rows print as their names in test listings (and so in CTest's names)
// instead of as raw bytes. Each test file brings this into its own namespace.
template <typename TRow>
requires requires(const TRow& row) { row.Name; }
void PrintTo(const TRow& row, std::ostream* os) { *os << row.Name; }
}  // namespace row_printing

// Installs Test_Palette() for the test and restores the previous one after.
class TControl_Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    QPalette saved_palette;
};

// A 57 x 25 key, as on the main window, with Color Out and InColor In.
std::unique_ptr<TPictureButton> Make_Key(QWidget* parent = nullptr);

QImage Solid(int w, int h, const QColor& color);

// "#rrggbb" of a colour or of a pixel, for readable failures.
std::string Hex(const QColor& color);
std::string Pixel(const QImage& image, int x, int y);

// RGB complement: what inverting a pixel of that colour gives.
QColor Inverted(const QColor& color);

// Smallest rectangle holding every pixel of exactly this colour (null when none).
QRect Bounds_Of(const QImage& image, const QColor& color);

}  // namespace qev::test

#endif
