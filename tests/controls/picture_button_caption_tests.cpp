// The legible caption: an enabled key whose caption would read worse than
// 4.5:1 against the face under it outlines the caption in black or white;
// otherwise the key paints exactly as without the option.
#include "tests/controls/control_test_support.h"

#include <QFont>

namespace qev::test {
namespace {

using row_printing::PrintTo;

QFont Crisp_Font() {
    QFont font;
    font.setPixelSize(14);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

struct TOutline_Row {
    const char* Name;
    QColor Face;     // the key's out colour, the fill
    QColor Ink;      // the caption colour
    QColor Picture;  // a picture covering the face; invalid for none
    bool Legible;    // LegibleCaption
    bool Enabled;
    QColor Expected;  // the outline; invalid for none
};

class Legible_Caption_Test : public TControl_Test, public ::testing::WithParamInterface<TOutline_Row> {};

TEST_P(Legible_Caption_Test, Outlines_Only_A_Caption_That_Would_Not_Read) {
    const TOutline_Row& row = GetParam();
    auto key = Make_Key();
    key->setFont(Crisp_Font());
    key->Set_Caption("PLAY");
    key->Set_Color(row.Face);
    key->Set_Font_Color(row.Ink);
    if (row.Picture.isValid()) key->Set_Picture(Solid(57, 25, row.Picture));
    key->setEnabled(row.Enabled);
    const QImage plain = key->Render();
    key->Set_Legible_Caption(row.Legible);
    EXPECT_EQ(Hex(key->Caption_Outline_Color()), Hex(row.Expected));
    const QImage face = key->Render();
    if (!row.Expected.isValid()) {
        EXPECT_EQ(face, plain) << "painted as without the option";
        return;
    }
    // Inside the frame, every pixel next to the caption is caption or outline.
    const QRgb ink = row.Ink.rgb(), outline = row.Expected.rgb();
    int ink_pixels = 0;
    for (int y = 2; y < 23; ++y) {
        for (int x = 2; x < 55; ++x) {
            if (face.pixel(x, y) != ink) continue;
            ++ink_pixels;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const QRgb next = face.pixel(x + dx, y + dy);
                    EXPECT_TRUE(next == ink || next == outline) << Pixel(face, x + dx, y + dy);
                }
            }
        }
    }
    EXPECT_GT(ink_pixels, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Legible_Caption_Test,
    ::testing::Values(
        TOutline_Row{"off_by_default", QColor(239, 239, 239), Qt::yellow, QColor(), false, true, QColor()},
        TOutline_Row{"readable_caption_needs_none", Qt::white, QColor(0, 0, 160), QColor(), true, true, QColor()},
        TOutline_Row{"yellow_on_light_grey_gets_black", QColor(239, 239, 239), Qt::yellow, QColor(), true, true,
                     Qt::black},
        TOutline_Row{"dark_blue_on_dark_grey_gets_white", QColor(30, 30, 30), QColor(0, 0, 160), QColor(), true, true,
                     Qt::white},
        TOutline_Row{"just_under_the_bar", QColor(127, 127, 127), Qt::yellow, QColor(), true, true, Qt::black},
        TOutline_Row{"just_over_the_bar", QColor(110, 110, 110), Qt::yellow, QColor(), true, true, QColor()},
        TOutline_Row{"the_picture_under_the_caption_counts", QColor(40, 40, 40), Qt::yellow, QColor(200, 200, 200),
                     true, true, Qt::black},
        TOutline_Row{"a_disabled_key_keeps_its_look", QColor(239, 239, 239), Qt::yellow, QColor(), true, false,
                     QColor()}),
    [](const ::testing::TestParamInfo<TOutline_Row>& info) { return std::string(info.param.Name); });

TEST(Contrast_Ratio, Follows_Wcag) {
    struct TRow {
        const char* Name;
        QColor A, B;
        double Ratio;
    };
    const TRow rows[] = {
        {"black_on_white", Qt::black, Qt::white, 21.0},
        {"same_colour", QColor(10, 200, 30), QColor(10, 200, 30), 1.0},
        {"yellow_on_light_grey", Qt::yellow, QColor(239, 239, 239), 1.0738},
        {"yellow_on_black", Qt::yellow, Qt::black, 19.556},
        {"order_does_not_matter", Qt::black, Qt::yellow, 19.556},
        {"grey_127_on_white", QColor(127, 127, 127), Qt::white, 4.0},
    };
    for (const TRow& row : rows) EXPECT_NEAR(Contrast_Ratio(row.A, row.B), row.Ratio, 0.01) << row.Name;
}

}  // namespace
}  // namespace qev::test
