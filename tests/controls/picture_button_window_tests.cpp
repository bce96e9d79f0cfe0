// A key inside a shown, active window: which changes repaint it, how focus
// shows, and the caption's accelerator.
#include "tests/controls/control_test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <functional>

namespace qev::test {
namespace {

using row_printing::PrintTo;

using namespace test_colors;
using TPB = TPictureButton;

// A neighbour that counts its paints. Asking it to repaint and waiting for
// that shows when the window has flushed every pending update, ours included.
class TPaint_Counter : public QWidget {
public:
    using QWidget::QWidget;
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++Paints; }
};

class TWindow_Test : public TControl_Test {
protected:
    void SetUp() override {
        TControl_Test::SetUp();
        window = std::make_unique<QWidget>();
        window->resize(200, 100);
        key = Make_Key(window.get());
        key->move(10, 10);
        key->Set_Tab_Stop(true);
        neighbour = new TPaint_Counter(window.get());
        neighbour->setGeometry(100, 10, 40, 20);
        neighbour->setFocusPolicy(Qt::StrongFocus);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return key->Paint_Count() > 0 && neighbour->Paints > 0; }));
    }

    void TearDown() override {
        key.reset();
        window.reset();
        TControl_Test::TearDown();
    }

    // Paints of the key until the window has caught up with every update.
    int Key_Paints_After_Flush() {
        const int other = neighbour->Paints;
        neighbour->update();
        EXPECT_TRUE(QTest::qWaitFor([&] { return neighbour->Paints > other; }));
        return key->Paint_Count();
    }

    std::unique_ptr<QWidget> window;
    std::unique_ptr<TPictureButton> key;
    TPaint_Counter* neighbour = nullptr;
};

// ---- Which setters repaint --------------------------------------------------------

struct TRepaint_Row {
    const char* Name;
    std::function<void(TPictureButton&)> Change;
    bool Repaints;
};

class Repaint_Test : public TWindow_Test, public ::testing::WithParamInterface<TRepaint_Row> {};

TEST_P(Repaint_Test, Repaints_Only_When_It_Should) {
    const int before = Key_Paints_After_Flush();
    GetParam().Change(*key);
    const int after = Key_Paints_After_Flush();
    if (GetParam().Repaints)
        EXPECT_GT(after, before);
    else
        EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Repaint_Test,
    ::testing::Values(TRepaint_Row{"in_color_does_not", [](TPB& k) { k.Set_In_Color(Red); }, false},
                      TRepaint_Row{"new_color", [](TPB& k) { k.Set_Color(Red); }, true},
                      TRepaint_Row{"same_color_does_not", [](TPB& k) { k.Set_Color(Out); }, false},
                      TRepaint_Row{"color_change_off", [](TPB& k) { k.Set_Color_Change(false); }, true},
                      TRepaint_Row{"same_color_change_does_not", [](TPB& k) { k.Set_Color_Change(true); }, false},
                      TRepaint_Row{"focus_style", [](TPB& k) { k.Set_Focus_Style(TPB::bfsInColor); }, true},
                      TRepaint_Row{"stretch", [](TPB& k) { k.Set_Stretch(true); }, true},
                      TRepaint_Row{"picture_left", [](TPB& k) { k.Set_Picture_Left(3); }, true},
                      TRepaint_Row{"same_picture_top_does_not", [](TPB& k) { k.Set_Picture_Top(-1); }, false},
                      TRepaint_Row{"caption_top", [](TPB& k) { k.Set_Caption_Top(0); }, true},
                      TRepaint_Row{"picture", [](TPB& k) { k.Set_Picture(Solid(5, 5, Red)); }, true},
                      TRepaint_Row{"caption", [](TPB& k) { k.Set_Caption("REC"); }, true},
                      TRepaint_Row{"font_color", [](TPB& k) { k.Set_Font_Color(Qt::yellow); }, true},
                      TRepaint_Row{"tag_does_not", [](TPB& k) { k.Set_Tag(12); }, false},
                      TRepaint_Row{"style_changing_a_bevel", [](TPB& k) { k.Set_Button_Style(TPB::bsRaised); }, true},
                      // Both styles have no bevels: nothing visible changes.
                      TRepaint_Row{"style_keeping_the_bevels_does_not",
                                   [](TPB& k) { k.Set_Button_Style(TPB::bsIELike); }, false}),
    [](const ::testing::TestParamInfo<TRepaint_Row>& info) { return std::string(info.param.Name); });

// ---- Focus ----------------------------------------------------------------------------

struct TFocus_Row {
    const char* Name;
    TPictureButton::TButtonStyle Style;
    TPictureButton::TFocusStyle Focus_Style;
    bool Focused;
    QColor Centre;
    QPoint Corner;   // top-left pixel of where a focus rectangle would be
    bool Rectangle;  // the focus rectangle is drawn there
};

class Focus_Test : public TWindow_Test, public ::testing::WithParamInterface<TFocus_Row> {};

TEST_P(Focus_Test, Focus_Shown_As_The_Style_Says) {
    const TFocus_Row& row = GetParam();
    key->Set_Button_Style(row.Style);
    key->Set_Focus_Style(row.Focus_Style);
    if (row.Focused)
        key->setFocus(Qt::OtherFocusReason);
    else
        neighbour->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(key->hasFocus(), row.Focused);

    const QImage face = key->Render();
    EXPECT_EQ(Pixel(face, 28, 12), Hex(row.Centre));
    const int x = row.Corner.x();
    const int y = row.Corner.y();
    const QColor dot = row.Rectangle ? Inverted(row.Centre) : row.Centre;
    // A dotted line: every other pixel along each edge is inverted.
    EXPECT_EQ(Pixel(face, x, y), Hex(dot));
    EXPECT_EQ(Pixel(face, x + 1, y), Hex(row.Centre));
    EXPECT_EQ(Pixel(face, x + 2, y), Hex(dot));
    EXPECT_EQ(Pixel(face, x, y + 1), Hex(row.Centre));
    EXPECT_EQ(Pixel(face, x, y + 2), Hex(dot));
    EXPECT_EQ(Pixel(face, 56 - x, 24 - y), Hex(dot)) << "bottom-right corner";
    EXPECT_EQ(Pixel(face, x + 1, y + 1), Hex(row.Centre)) << "inside the rectangle";
    EXPECT_EQ(Pixel(face, x - 1, y), Hex(row.Centre)) << "outside the rectangle";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Focus_Test,
    ::testing::Values(TFocus_Row{"std_button_focused", TPB::bsStdButton, TPB::bfsStdButton, true, Out, {4, 4}, true},
                      TFocus_Row{
                          "std_button_unfocused", TPB::bsStdButton, TPB::bfsStdButton, false, Out, {4, 4}, false},
                      TFocus_Row{"raised_style_focused", TPB::bsRaised, TPB::bfsStdButton, true, Out, {2, 2}, true},
                      TFocus_Row{"in_color_focused", TPB::bsStdButton, TPB::bfsInColor, true, In, {4, 4}, false},
                      TFocus_Row{"in_color_unfocused", TPB::bsStdButton, TPB::bfsInColor, false, Out, {4, 4}, false},
                      TFocus_Row{"none_focused", TPB::bsStdButton, TPB::bfsNone, true, Out, {4, 4}, false}),
    [](const ::testing::TestParamInfo<TFocus_Row>& info) { return std::string(info.param.Name); });

using Focus_Change_Test = TWindow_Test;

TEST_F(Focus_Change_Test, Enter_And_Exit_Signals_With_A_Repaint) {
    // The window's first focus stop (the key) takes the focus when shown.
    neighbour->setFocus(Qt::OtherFocusReason);
    ASSERT_FALSE(key->hasFocus());
    int enters = 0, exits = 0;
    QObject::connect(key.get(), &TPictureButton::Enter, [&] { ++enters; });
    QObject::connect(key.get(), &TPictureButton::Exit, [&] { ++exits; });

    int paints = Key_Paints_After_Flush();
    key->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 0);
    EXPECT_GT(Key_Paints_After_Flush(), paints);

    paints = key->Paint_Count();
    neighbour->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 1);
    EXPECT_GT(Key_Paints_After_Flush(), paints);
}

TEST_F(Focus_Change_Test, Mouse_Down_Takes_The_Focus) {
    neighbour->setFocus(Qt::OtherFocusReason);
    QTest::mousePress(key.get(), Qt::LeftButton);
    EXPECT_TRUE(key->hasFocus());
    QTest::mouseRelease(key.get(), Qt::LeftButton);
}

// Space's release goes to whichever widget has the focus then: a key that
// loses the focus while Space holds it lets go without a click.
TEST_F(Focus_Change_Test, Focus_Lost_While_Space_Held_Releases_Without_Click) {
    int clicks = 0;
    QObject::connect(key.get(), &TPictureButton::Clicked, [&] { ++clicks; });
    key->setFocus(Qt::OtherFocusReason);
    QTest::keyPress(key.get(), Qt::Key_Space);
    ASSERT_TRUE(key->Pressed());
    neighbour->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(key->Pressed());
    EXPECT_EQ(key->Draw_Offset(), 0);
    QTest::keyRelease(neighbour, Qt::Key_Space);
    EXPECT_EQ(clicks, 0);
}

// ---- Accelerator ----------------------------------------------------------------------

struct TAccelerator_Row {
    const char* Name;
    bool Enabled;
    bool Visible;
    int Key_Clicks;
    int Next_Clicks;  // a second key with the same accelerator character
};

class Accelerator_Test : public TWindow_Test, public ::testing::WithParamInterface<TAccelerator_Row> {};

TEST_P(Accelerator_Test, Alt_Character_Clicks_A_Usable_Key_Only) {
    const TAccelerator_Row& row = GetParam();
    auto next = Make_Key(window.get());
    next->move(10, 50);
    next->Set_Caption("&Pause");
    key->Set_Caption("&Power");
    int key_clicks = 0, next_clicks = 0;
    QObject::connect(key.get(), &TPictureButton::Clicked, [&] { ++key_clicks; });
    QObject::connect(next.get(), &TPictureButton::Clicked, [&] { ++next_clicks; });
    // Only one of the two may offer 'p' at a time, or the character is ambiguous.
    key->setEnabled(row.Enabled);
    key->setVisible(row.Visible);
    next->setVisible(!(row.Enabled && row.Visible));
    neighbour->setFocus(Qt::OtherFocusReason);

    QTest::keyClick(window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(key_clicks, row.Key_Clicks);
    EXPECT_EQ(next_clicks, row.Next_Clicks);
}

INSTANTIATE_TEST_SUITE_P(Rows, Accelerator_Test,
                         ::testing::Values(TAccelerator_Row{"enabled_and_shown_clicks", true, true, 1, 0},
                                           TAccelerator_Row{"disabled_passes_it_on", false, true, 0, 1},
                                           TAccelerator_Row{"hidden_passes_it_on", true, false, 0, 1}),
                         [](const ::testing::TestParamInfo<TAccelerator_Row>& info) {
                             return std::string(info.param.Name);
                         });

using Accelerator_Change_Test = TWindow_Test;

TEST_F(Accelerator_Change_Test, Other_Character_Or_Old_Caption_Does_Not_Click) {
    int clicks = 0;
    QObject::connect(key.get(), &TPictureButton::Clicked, [&] { ++clicks; });
    key->Set_Caption("&Power");
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(clicks, 0);
    key->Set_Caption("&Stop");
    QTest::keyClick(window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(clicks, 0) << "old accelerator still active";
    QTest::keyClick(window.get(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
}

// A caption's old accelerator is given up, so it cannot stand in the way of
// another key that now owns the character.
TEST_F(Accelerator_Change_Test, Old_Accelerator_Leaves_The_Character_To_Another_Key) {
    auto next = Make_Key(window.get());
    next->move(10, 50);
    next->Set_Caption("&Pause");
    next->show();
    int key_clicks = 0, next_clicks = 0;
    QObject::connect(key.get(), &TPictureButton::Clicked, [&] { ++key_clicks; });
    QObject::connect(next.get(), &TPictureButton::Clicked, [&] { ++next_clicks; });
    key->Set_Caption("&Power");
    key->Set_Caption("&Stop");
    for (int i = 0; i < 3; ++i) QTest::keyClick(window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(key_clicks, 0);
    EXPECT_EQ(next_clicks, 3);
}

}  // namespace
}  // namespace qev::test
