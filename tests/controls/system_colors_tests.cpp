// The desktop colours are read when asked for, so a palette change reaches
// everything painted afterwards. Which colour each part of a face takes is
// checked where it is painted: the picture button's frames in its geometry
// tests, the keys' fills and captions in the main window's tests.
#include "controls/system_colors.h"
#include "tests/controls/control_test_support.h"

#include <QApplication>

namespace qev::test {
namespace {

using System_Color_Change_Test = TControl_Test;

TEST_F(System_Color_Change_Test, Follows_A_Later_Palette_Change) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
    QApplication::setPalette(palette);
    EXPECT_EQ(Hex(System_Color(TSystem_Color::Btn_Face)), Hex(QColor(1, 2, 3)));
}

}  // namespace
}  // namespace qev::test
