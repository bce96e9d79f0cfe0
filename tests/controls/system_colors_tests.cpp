// The desktop colour names read the right roles of the application palette.
#include "controls/system_colors.h"
#include "tests/controls/control_test_support.h"

#include <QApplication>

namespace qev::test {
namespace {

using row_printing::PrintTo;

struct TColor_Row {
    const char* Name;
    TSystem_Color Which;
    QColor Expected;
};

class System_Color_Test : public TControl_Test, public ::testing::WithParamInterface<TColor_Row> {};

TEST_P(System_Color_Test, Reads_Its_Palette_Role) {
    EXPECT_EQ(Hex(System_Color(GetParam().Which)), Hex(GetParam().Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Roles, System_Color_Test,
    ::testing::Values(TColor_Row{"Btn_Face", TSystem_Color::Btn_Face, test_colors::Face},
                      TColor_Row{"Btn_Shadow", TSystem_Color::Btn_Shadow, test_colors::Shadow},
                      TColor_Row{"Btn_Highlight", TSystem_Color::Btn_Highlight, test_colors::Highlight},
                      TColor_Row{"Dk_Shadow_3D", TSystem_Color::Dk_Shadow_3D, test_colors::Dk_Shadow},
                      TColor_Row{"Light_3D", TSystem_Color::Light_3D, test_colors::Light_3D},
                      TColor_Row{"Btn_Text", TSystem_Color::Btn_Text, test_colors::Btn_Text},
                      // Disabled group, not the active WindowText (black in the test palette).
                      TColor_Row{"Gray_Text", TSystem_Color::Gray_Text, test_colors::Gray}),
    [](const ::testing::TestParamInfo<TColor_Row>& info) { return std::string(info.param.Name); });

using System_Color_Change_Test = TControl_Test;

TEST_F(System_Color_Change_Test, Follows_A_Later_Palette_Change) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
    QApplication::setPalette(palette);
    EXPECT_EQ(Hex(System_Color(TSystem_Color::Btn_Face)), Hex(QColor(1, 2, 3)));
}

}  // namespace
}  // namespace qev::test
