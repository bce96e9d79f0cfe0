// What a key paints, checked on the rendered face: where the picture and the
// caption land, the bevel rings, the stretched picture, the transparent colour.
#include "controls/system_colors.h"
#include "tests/controls/control_test_support.h"

#include <QFont>
#include <QFontMetrics>
#include <QTest>

#include <vector>

namespace qev::test {
namespace {

using row_printing::PrintTo;

using namespace test_colors;

// A font whose text pixels all carry exactly the caption colour.
QFont Crisp_Font() {
    QFont font;
    font.setPixelSize(14);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

using Defaults_Test = TControl_Test;

TEST_F(Defaults_Test, New_Key_Has_The_Described_Defaults) {
    TPictureButton key;
    EXPECT_EQ(key.size(), QSize(36, 36));
    EXPECT_EQ(key.Button_Style(), TPictureButton::bsStdButton);
    EXPECT_EQ(key.Bevel_Inner(), TPictureButton::bvNone);
    EXPECT_EQ(key.Bevel_Outer(), TPictureButton::bvNone);
    EXPECT_TRUE(key.Color_Change());
    EXPECT_EQ(key.Focus_Style(), TPictureButton::bfsStdButton);
    EXPECT_EQ(Hex(key.In_Color()), Hex(Light_3D));
    EXPECT_EQ(Hex(key.Color()), Hex(Face));
    EXPECT_EQ(Hex(key.Face_Color()), Hex(Face));
    EXPECT_EQ(key.Picture_Left(), -1);
    EXPECT_EQ(key.Picture_Top(), -1);
    EXPECT_EQ(key.Caption_Left(), -1);
    EXPECT_EQ(key.Caption_Top(), -1);
    EXPECT_FALSE(key.Stretch());
    EXPECT_EQ(key.Tag(), 0);
    EXPECT_FALSE(key.Pressed());
    EXPECT_EQ(key.Draw_Offset(), 0);
    EXPECT_TRUE(key.Picture().isNull());
    EXPECT_EQ(Hex(key.Font_Color()), Hex(Btn_Text));

    const QImage face = key.Render();
    EXPECT_EQ(Pixel(face, 18, 18), Hex(Face));
    EXPECT_EQ(Pixel(face, 0, 18), Hex(Light_3D));
    EXPECT_EQ(Pixel(face, 35, 18), Hex(Dk_Shadow));
}

TEST_F(Defaults_Test, Tab_Stop_Decides_Whether_Tab_Reaches_The_Key) {
    TPictureButton key;
    EXPECT_FALSE(key.Tab_Stop());
    EXPECT_EQ(key.focusPolicy(), Qt::ClickFocus);
    key.Set_Tab_Stop(true);
    EXPECT_EQ(key.focusPolicy(), Qt::StrongFocus);
    key.Set_Tab_Stop(false);
    EXPECT_EQ(key.focusPolicy(), Qt::ClickFocus);
}

// ---- Picture position -----------------------------------------------------------

struct TPicture_Row {
    const char* Name;
    int W, H, Pw, Ph;
    int Left, Top;
    QPoint Expected;
};

class Picture_Origin_Test : public TControl_Test, public ::testing::WithParamInterface<TPicture_Row> {};

TEST_P(Picture_Origin_Test, Computed_And_Drawn_There) {
    const TPicture_Row& row = GetParam();
    TPictureButton key;
    key.resize(row.W, row.H);
    key.Set_Button_Style(TPictureButton::bsNone);  // no frame over the edges
    key.Set_Color(Out);
    key.Set_Picture_Left(row.Left);
    key.Set_Picture_Top(row.Top);
    key.Set_Picture(Solid(row.Pw, row.Ph, Red));

    EXPECT_EQ(key.Picture_Origin(row.W, row.H, row.Pw, row.Ph), row.Expected);
    const QRect drawn = QRect(row.Expected, QSize(row.Pw, row.Ph)) & QRect(0, 0, row.W, row.H);
    EXPECT_EQ(Bounds_Of(key.Render(), Red), drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Picture_Origin_Test,
    ::testing::Values(TPicture_Row{"width50_centre3p5_rounds_to4", 57, 25, 50, 25, -1, -1, {4, 0}},
                      TPicture_Row{"width54_centre1p5_rounds_to2", 57, 25, 54, 25, -1, -1, {2, 0}},
                      TPicture_Row{"width56_centre0p5_rounds_to0", 57, 25, 56, 25, -1, -1, {0, 0}},
                      TPicture_Row{"width51_centre_exactly3", 57, 25, 51, 25, -1, -1, {3, 0}},
                      TPicture_Row{"height20_centre2p5_rounds_to2", 57, 25, 57, 20, -1, -1, {0, 2}},
                      TPicture_Row{"height22_centre1p5_rounds_to2", 57, 25, 57, 22, -1, -1, {0, 2}},
                      TPicture_Row{"wider_than_key_minus1p5_rounds_to_minus2", 57, 25, 60, 25, -1, -1, {-2, 0}},
                      TPicture_Row{"explicit_position", 57, 25, 10, 5, 7, 3, {7, 3}},
                      TPicture_Row{"zero_left_is_a_position_top_centred", 57, 25, 10, 5, 0, -1, {0, 10}},
                      TPicture_Row{"other_negative_left_is_a_position", 57, 25, 10, 5, -3, 0, {-3, 0}}),
    [](const ::testing::TestParamInfo<TPicture_Row>& info) { return std::string(info.param.Name); });

// ---- Caption position -----------------------------------------------------------

struct TCaption_Row {
    const char* Name;
    int W, H, Tw, Th;
    int Left, Top;
    QPoint Expected;
};

class Caption_Origin_Test : public TControl_Test, public ::testing::WithParamInterface<TCaption_Row> {};

TEST_P(Caption_Origin_Test, Computed) {
    const TCaption_Row& row = GetParam();
    TPictureButton key;
    key.Set_Caption_Left(row.Left);
    key.Set_Caption_Top(row.Top);
    EXPECT_EQ(key.Caption_Origin(row.W, row.H, row.Tw, row.Th), row.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Caption_Origin_Test,
    ::testing::Values(TCaption_Row{"width60_on_key57_truncates_to_minus1", 57, 25, 60, 13, -1, -1, {-1, 6}},
                      TCaption_Row{"width58_on_key57_truncates_to0", 57, 25, 58, 13, -1, -1, {0, 6}},
                      TCaption_Row{"width62_on_key57_truncates_to_minus2", 57, 25, 62, 13, -1, -1, {-2, 6}},
                      TCaption_Row{"odd_spare_width_truncates_down", 57, 25, 50, 12, -1, -1, {3, 6}},
                      TCaption_Row{"explicit_position", 57, 25, 50, 12, 5, 2, {5, 2}},
                      TCaption_Row{"explicit_left_centred_top", 57, 25, 50, 15, 0, -1, {0, 5}}),
    [](const ::testing::TestParamInfo<TCaption_Row>& info) { return std::string(info.param.Name); });

struct TCaption_Size_Row {
    const char* Name;
    QString Caption;
    QString Plain;  // the same text as it shows, measured without accelerator handling
};

class Caption_Size_Test : public TControl_Test, public ::testing::WithParamInterface<TCaption_Size_Row> {};

TEST_P(Caption_Size_Test, Accelerator_Mark_Takes_No_Room) {
    TPictureButton key;
    key.setFont(Crisp_Font());
    key.Set_Caption(GetParam().Caption);
    EXPECT_EQ(key.Caption_Size(), QFontMetrics(key.font()).size(0, GetParam().Plain));
}

INSTANTIATE_TEST_SUITE_P(Rows, Caption_Size_Test,
                         ::testing::Values(TCaption_Size_Row{"accelerator", "&Power", "Power"},
                                           TCaption_Size_Row{"doubled_ampersand_is_one", "R&&B", "R&B"},
                                           TCaption_Size_Row{"line_break_starts_a_new_line", "CH\n&UP", "CH\nUP"}),
                         [](const ::testing::TestParamInfo<TCaption_Size_Row>& info) {
                             return std::string(info.param.Name);
                         });

using Caption_Paint_Test = TControl_Test;

TEST_F(Caption_Paint_Test, Centred_Caption_Is_Drawn_At_The_Computed_Origin) {
    auto key = Make_Key();
    key->setFont(Crisp_Font());
    key->Set_Caption("PLAY");
    const QImage centred = key->Render();

    const QSize text = key->Caption_Size();
    const QPoint origin = key->Caption_Origin(57, 25, text.width(), text.height());
    key->Set_Caption_Left(origin.x() + 3);
    key->Set_Caption_Top(origin.y() + 1);
    const QImage moved = key->Render();

    const QRect ink = Bounds_Of(centred, Btn_Text);
    ASSERT_FALSE(ink.isNull());
    EXPECT_EQ(Bounds_Of(moved, Btn_Text), ink.translated(3, 1));
}

TEST_F(Caption_Paint_Test, Ampersand_Underlines_The_Next_Character) {
    auto plain_key = Make_Key();
    auto marked_key = Make_Key();
    for (TPictureButton* key : {plain_key.get(), marked_key.get()}) {
        key->Set_Button_Style(TPictureButton::bsNone);
        key->setFont(Crisp_Font());
    }
    plain_key->Set_Caption("Power");
    marked_key->Set_Caption("&Power");
    const QImage plain = plain_key->Render();
    const QImage marked = marked_key->Render();

    QRect underline;
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 57; ++x) {
            if (plain.pixel(x, y) != marked.pixel(x, y)) underline |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(underline.isNull()) << "no underline drawn";
    const QRect letters = Bounds_Of(plain, Btn_Text);
    const int p_width = QFontMetrics(Crisp_Font()).horizontalAdvance('P');
    EXPECT_LE(underline.height(), 2);
    EXPECT_GE(underline.top(), letters.top() + letters.height() / 2);
    EXPECT_LE(underline.left(), letters.left() + 1);
    EXPECT_LE(underline.right(), letters.left() + p_width + 1) << "underline runs past the 'P'";
}

struct TCaption_Color_Row {
    const char* Name;
    QColor Set;  // invalid: leave the default
    bool Disabled;
    QColor Expected;
};

class Caption_Color_Test : public TControl_Test, public ::testing::WithParamInterface<TCaption_Color_Row> {};

TEST_P(Caption_Color_Test, Caption_Drawn_In_Font_Color) {
    const TCaption_Color_Row& row = GetParam();
    auto key = Make_Key();
    key->setFont(Crisp_Font());
    key->Set_Caption("VOL");
    QPalette palette = key->palette();
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, Gray);
    key->setPalette(palette);
    if (row.Set.isValid()) key->Set_Font_Color(row.Set);
    key->setEnabled(!row.Disabled);

    EXPECT_EQ(Hex(key->Font_Color()), Hex(row.Expected));
    const QImage face = key->Render();
    EXPECT_FALSE(Bounds_Of(face, row.Expected).isNull()) << "caption not in " << Hex(row.Expected);
    for (const QColor& other : {Btn_Text, Gray, QColor(Qt::yellow), clCream}) {
        if (other != row.Expected) {
            EXPECT_TRUE(Bounds_Of(face, other).isNull()) << "stray " << Hex(other);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Caption_Color_Test,
                         ::testing::Values(TCaption_Color_Row{"default_is_button_text", QColor(), false, Btn_Text},
                                           TCaption_Color_Row{"disabled_key_looks_the_same", QColor(), true, Btn_Text},
                                           TCaption_Color_Row{"yellow", QColor(Qt::yellow), false, QColor(Qt::yellow)},
                                           TCaption_Color_Row{"cream_on_disabled_key", clCream, true, clCream}),
                         [](const ::testing::TestParamInfo<TCaption_Color_Row>& info) {
                             return std::string(info.param.Name);
                         });

// ---- Bevel rings ----------------------------------------------------------------

struct TProbe {
    int X, Y;
    QColor Expected;
};

struct TBevel_Paint_Row {
    const char* Name;
    TPictureButton::TBevelCut Outer, Inner;
    std::vector<TProbe> Probes;
};

class Bevel_Paint_Test : public TControl_Test, public ::testing::WithParamInterface<TBevel_Paint_Row> {};

TEST_P(Bevel_Paint_Test, Rings_In_Their_Colours) {
    auto key = Make_Key();
    key->Set_Button_Style(TPictureButton::bsNone);
    key->Set_Bevel_Outer(GetParam().Outer);
    key->Set_Bevel_Inner(GetParam().Inner);
    const QImage face = key->Render();
    for (const TProbe& probe : GetParam().Probes) {
        SCOPED_TRACE(testing::Message() << "pixel " << probe.X << "," << probe.Y);
        EXPECT_EQ(Pixel(face, probe.X, probe.Y), Hex(probe.Expected));
    }
}

using TPB = TPictureButton;

INSTANTIATE_TEST_SUITE_P(
    Rows, Bevel_Paint_Test,
    ::testing::Values(
        TBevel_Paint_Row{"none", TPB::bvNone, TPB::bvNone, {{0, 12, Out}, {56, 12, Out}, {0, 0, Out}, {56, 24, Out}}},
        TBevel_Paint_Row{"outer_raised",
                         TPB::bvRaised,
                         TPB::bvNone,
                         {{0, 12, Highlight},
                          {12, 0, Highlight},
                          {56, 12, Shadow},
                          {12, 24, Shadow},
                          {0, 0, Highlight},
                          {56, 0, Shadow},
                          {0, 24, Shadow},
                          {56, 24, Shadow},
                          {1, 12, Out}}},
        TBevel_Paint_Row{"outer_lowered",
                         TPB::bvLowered,
                         TPB::bvNone,
                         {{0, 12, Shadow}, {12, 0, Shadow}, {56, 12, Highlight}, {12, 24, Highlight}, {1, 12, Out}}},
        TBevel_Paint_Row{"inner_inside_outer",
                         TPB::bvRaised,
                         TPB::bvLowered,
                         {{0, 12, Highlight},
                          {1, 12, Shadow},
                          {2, 12, Out},
                          {56, 12, Shadow},
                          {55, 12, Highlight},
                          {12, 1, Shadow},
                          {12, 23, Highlight},
                          {54, 12, Out}}},
        TBevel_Paint_Row{"outer_space_takes_no_room", TPB::bvSpace, TPB::bvRaised, {{0, 12, Highlight}, {1, 12, Out}}},
        TBevel_Paint_Row{"inner_space_draws_nothing", TPB::bvLowered, TPB::bvSpace, {{0, 12, Shadow}, {1, 12, Out}}}),
    [](const ::testing::TestParamInfo<TBevel_Paint_Row>& info) { return std::string(info.param.Name); });

// ---- Stretch --------------------------------------------------------------------

struct TStretch_Row {
    const char* Name;
    TPictureButton::TButtonStyle Style;
    bool Held;
    QRect Expected;  // (2 + d, 2 + d) - (W - 4, H - 4), right and bottom exclusive
};

class Stretch_Test : public TControl_Test, public ::testing::WithParamInterface<TStretch_Row> {};

TEST_P(Stretch_Test, Scaled_Into_The_Face) {
    const TStretch_Row& row = GetParam();
    auto key = Make_Key();
    key->Set_Button_Style(row.Style);
    key->Set_Stretch(true);
    key->Set_Picture(Solid(10, 5, Red));
    if (row.Held) QTest::mousePress(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
    ASSERT_EQ(key->Draw_Offset(), row.Held ? 1 : 0);
    const QRect drawn = Bounds_Of(key->Render(), Red);
    if (row.Held) QTest::mouseRelease(key.get(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(drawn, row.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Stretch_Test,
    ::testing::Values(TStretch_Row{"std_button_idle", TPB::bsStdButton, false, QRect(QPoint(2, 2), QPoint(52, 20))},
                      TStretch_Row{"std_button_held", TPB::bsStdButton, true, QRect(QPoint(3, 3), QPoint(52, 20))},
                      TStretch_Row{"frame_idle", TPB::bsFrame, false, QRect(QPoint(2, 2), QPoint(52, 20))},
                      TStretch_Row{"raised_held", TPB::bsRaised, true, QRect(QPoint(3, 3), QPoint(52, 20))},
                      TStretch_Row{"none_idle", TPB::bsNone, false, QRect(QPoint(2, 2), QPoint(52, 20))},
                      TStretch_Row{"groove_held", TPB::bsGroove, true, QRect(QPoint(3, 3), QPoint(52, 20))}),
    [](const ::testing::TestParamInfo<TStretch_Row>& info) { return std::string(info.param.Name); });

// The stretched picture sits on a backdrop of its own size. Until a caption has
// been painted the key's own background (the current face colour) fills it;
// after that the fill colour of the paint does.
struct TBackdrop_Row {
    const char* Name;
    bool Caption_Painted_Before;
    QColor Expected_Under_Black;
};

class Stretch_Backdrop_Test : public TControl_Test, public ::testing::WithParamInterface<TBackdrop_Row> {};

TEST_P(Stretch_Backdrop_Test, Black_Pixels_Show_The_Backdrop) {
    auto key = Make_Key();
    key->Set_Color_Change(false);  // face colour stays Out, held fill is In
    key->Set_Stretch(true);
    QImage picture = Solid(10, 5, Red);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) picture.setPixelColor(x, y, Qt::black);
    }
    key->Set_Picture(picture);
    if (GetParam().Caption_Painted_Before) {
        key->Set_Caption("X");
        key->Set_Caption_Left(200);  // measured and "drawn", but off the face
        key->Render();
    }
    QTest::mousePress(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
    const QImage face = key->Render();
    QTest::mouseRelease(key.get(), Qt::LeftButton, {}, QPoint(100, 100));

    EXPECT_EQ(Pixel(face, 10, 12), Hex(GetParam().Expected_Under_Black));
    EXPECT_EQ(Pixel(face, 40, 12), Hex(Red));
    EXPECT_EQ(Pixel(face, 53, 12), Hex(In)) << "fill beside the picture";
}

INSTANTIATE_TEST_SUITE_P(Rows, Stretch_Backdrop_Test,
                         ::testing::Values(TBackdrop_Row{"before_any_caption_face_colour", false, Out},
                                           TBackdrop_Row{"after_a_caption_fill_colour", true, In}),
                         [](const ::testing::TestParamInfo<TBackdrop_Row>& info) {
                             return std::string(info.param.Name);
                         });

// ---- Transparent colour -----------------------------------------------------------

struct TTransparent_Row {
    const char* Name;
    QColor Transparent;  // invalid: keep the default
    bool Set;
    QColor Black_Shows, Red_Shows, Magenta_Shows;
};

class Transparent_Test : public TControl_Test, public ::testing::WithParamInterface<TTransparent_Row> {};

TEST_P(Transparent_Test, Pixels_Of_The_Transparent_Colour_Show_The_Fill) {
    const TTransparent_Row& row = GetParam();
    auto key = Make_Key();
    key->Set_Button_Style(TPictureButton::bsNone);
    QImage picture = Solid(57, 25, Qt::black);
    for (int y = 0; y < 25; ++y) {
        for (int x = 20; x < 57; ++x) picture.setPixelColor(x, y, x < 40 ? Red : QColor(Qt::magenta));
    }
    key->Set_Picture(picture);
    if (row.Set) key->Set_Transparent_Color(row.Transparent);
    const QImage face = key->Render();
    EXPECT_EQ(Pixel(face, 10, 12), Hex(row.Black_Shows));
    EXPECT_EQ(Pixel(face, 30, 12), Hex(row.Red_Shows));
    EXPECT_EQ(Pixel(face, 50, 12), Hex(row.Magenta_Shows));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Transparent_Test,
    ::testing::Values(TTransparent_Row{"black_by_default", QColor(), false, Out, Red, QColor(Qt::magenta)},
                      TTransparent_Row{"magenta", QColor(Qt::magenta), true, QColor(Qt::black), Red, Out},
                      TTransparent_Row{"invalid_draws_every_pixel", QColor(), true, QColor(Qt::black), Red,
                                       QColor(Qt::magenta)}),
    [](const ::testing::TestParamInfo<TTransparent_Row>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace qev::test
