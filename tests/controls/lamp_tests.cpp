// The round lamp: a circle as wide as the smaller side, centred, with a dark
// outline and the brush colour inside, the corners left to the background.
#include "controls/lamp.h"

#include "tests/controls/control_test_support.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPalette>

#include <algorithm>
#include <vector>

namespace qev::test {
namespace {

const QColor Background{0, 128, 0};

QImage Render(TLamp& lamp) {
    QPalette palette = lamp.palette();
    palette.setColor(QPalette::Window, Background);
    lamp.setPalette(palette);
    return lamp.grab().toImage();
}

struct TShape_Row {
    const char* name;
    int width;
    int height;
};

const std::vector<TShape_Row> Shape_Rows = {
    {"square_as_on_the_debug_tool", 17, 17},
    {"wide", 41, 17},
    {"tall", 17, 41},
    {"large", 60, 60},
};

TEST(Lamp, Is_A_Centred_Circle_Filled_With_Its_Colour_Inside_A_Dark_Outline) {
    for (const TShape_Row& row : Shape_Rows) {
        SCOPED_TRACE(row.name);
        TLamp lamp;
        lamp.resize(row.width, row.height);
        lamp.Set_Brush_Color(QColor(255, 0, 0));
        const QImage image = Render(lamp);
        ASSERT_EQ(image.size(), QSize(row.width, row.height));
        const int d = std::min(row.width, row.height);
        const int left = (row.width - d) / 2;
        const int top = (row.height - d) / 2;
        const int cx = left + d / 2;
        const int cy = top + d / 2;

        EXPECT_EQ(Pixel(image, cx, cy), Hex(QColor(255, 0, 0))) << "filled";
        EXPECT_EQ(Pixel(image, cx - d / 4, cy + d / 4), Hex(QColor(255, 0, 0))) << "filled off the centre";
        for (const QPoint corner : {QPoint(0, 0), QPoint(row.width - 1, 0), QPoint(0, row.height - 1),
                                    QPoint(row.width - 1, row.height - 1), QPoint(left, top)})
            EXPECT_EQ(Pixel(image, corner.x(), corner.y()), Hex(Background)) << "outside the circle";
        // The outline on the circle's four extreme points.
        for (const QPoint edge :
             {QPoint(cx, top), QPoint(cx, top + d - 1), QPoint(left, cy), QPoint(left + d - 1, cy)}) {
            const QColor pixel = image.pixelColor(edge);
            EXPECT_LT(pixel.lightness(), 100)
                << "dark outline at " << edge.x() << ", " << edge.y() << ": " << Hex(pixel);
        }
        // Beside a wide or tall circle the background shows.
        if (left > 0) {
            EXPECT_EQ(Pixel(image, left - 1, cy), Hex(Background));
        }
        if (top > 0) {
            EXPECT_EQ(Pixel(image, cx, top - 1), Hex(Background));
        }
    }
}

TEST(Lamp, A_New_Colour_Shows_At_The_Next_Paint) {
    TLamp lamp;
    lamp.resize(17, 17);
    EXPECT_EQ(lamp.Brush_Color(), QColor(Qt::white)) << "white until told";
    EXPECT_EQ(lamp.Pen_Color(), QColor(Qt::black));
    EXPECT_EQ(Pixel(Render(lamp), 8, 8), Hex(QColor(255, 255, 255)));
    for (const QColor color : {QColor(255, 255, 0), QColor(255, 0, 0), QColor(255, 255, 255)}) {
        lamp.Set_Brush_Color(color);
        EXPECT_EQ(lamp.Brush_Color(), color);
        EXPECT_EQ(Pixel(Render(lamp), 8, 8), Hex(color));
    }
    lamp.Set_Pen_Color(QColor(0, 0, 255));
    // The outline is smoothed into its surroundings, so it is mostly, not purely, blue.
    const QColor outline = Render(lamp).pixelColor(8, 0);
    EXPECT_GT(outline.blue(), 160) << Hex(outline);
    EXPECT_LT(outline.red(), outline.blue() / 2) << Hex(outline);
    EXPECT_LT(outline.green(), outline.blue() / 2) << Hex(outline);
}

}  // namespace
}  // namespace qev::test
