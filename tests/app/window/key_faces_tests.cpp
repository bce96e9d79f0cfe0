// The pictures of the keys: darkening and copying the background.
#include "app/window/key_faces.h"

#include <gtest/gtest.h>

namespace qev {
namespace {

TEST(Key_Face, Darkening_Halves_Or_Keeps_Three_Quarters_Of_Each_Channel) {
    struct Row {
        const char* name;
        int32_t mode;
        QRgb expected;
    };
    QImage background(100, 100, QImage::Format_RGB32);
    background.fill(qRgb(200, 100, 51));
    for (const Row& row :
         {Row{"mode 0: half", 0, qRgb(100, 50, 25)}, Row{"mode 1: three quarters", 1, qRgb(150, 75, 37)},
          Row{"other modes as 1", 7, qRgb(150, 75, 37)}}) {
        SCOPED_TRACE(row.name);
        const QImage face = Enabled_Face(background, QRect(10, 10, 57, 25), true, row.mode, Qt::gray);
        EXPECT_EQ(face.pixel(0, 0) & 0xFFFFFF, row.expected & 0xFFFFFF);
        EXPECT_EQ(face.pixel(56, 24) & 0xFFFFFF, row.expected & 0xFFFFFF);
    }
    EXPECT_EQ(Darken_Color_Value(0xAB33'64C8u, 0), 0xAB19'3264u) << "top byte kept";
    EXPECT_EQ(Darken_Color_Value(0x00FF'FFFFu, 1), 0x00BE'BEBEu) << "no channel overflows";
}

TEST(Key_Face, The_Copy_Follows_The_Key_And_Is_Black_Beyond_The_Background) {
    QImage background(60, 30, QImage::Format_RGB32);
    background.fill(Qt::white);
    background.setPixel(20, 10, qRgb(1, 2, 3));
    const QImage copy = Copy_Background(background, QRect(20, 10, 57, 25));
    EXPECT_EQ(copy.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(copy.pixel(39, 19), qRgb(255, 255, 255));
    EXPECT_EQ(copy.pixel(40, 0), qRgb(0, 0, 0));
    EXPECT_EQ(Disabled_Face(QImage(), QRect(0, 0, 57, 25), true, Qt::darkGray).pixel(5, 5), QColor(Qt::darkGray).rgb())
        << "no background: shadow fill even with see-through keys";
}

TEST(Key_Face, A_Live_See_Through_Key_Without_Background_Is_The_Face_Colour_At_A_Quarter) {
    struct Row {
        const char* name;
        QColor face;
        int32_t mode;
        QRgb expected;
    };
    for (const Row& row : {Row{"light face", QColor(239, 239, 239), 0, qRgb(59, 59, 59)},
                           Row{"either mode", QColor(239, 239, 239), 1, qRgb(59, 59, 59)},
                           Row{"each channel on its own", QColor(200, 100, 51), 0, qRgb(50, 25, 12)},
                           Row{"never the transparent black", QColor(3, 3, 3), 0, qRgb(1, 1, 1)}}) {
        SCOPED_TRACE(row.name);
        const QImage face = Enabled_Face(QImage(), QRect(10, 10, 57, 25), true, row.mode, row.face);
        EXPECT_EQ(face.pixel(0, 0), row.expected);
        EXPECT_EQ(face.pixel(56, 24), row.expected);
    }
    EXPECT_EQ(Enabled_Face(QImage(), QRect(0, 0, 57, 25), false, 0, QColor(239, 239, 239)).pixel(5, 5),
              qRgb(239, 239, 239))
        << "see-through off: the face colour itself";
}

}  // namespace
}  // namespace qev
