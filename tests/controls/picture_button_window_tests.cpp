// A key inside a shown, active window: which changes repaint it, how focus
// shows, and the caption's accelerator.
#include "tests/controls/control_test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <functional>

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
        m_Window = std::make_unique<QWidget>();
        m_Window->resize(200, 100);
        m_Key = Make_Key(m_Window.get());
        m_Key->move(10, 10);
        m_Key->setTabStop(true);
        m_Other = new TPaint_Counter(m_Window.get());
        m_Other->setGeometry(100, 10, 40, 20);
        m_Other->setFocusPolicy(Qt::StrongFocus);
        m_Window->show();
        m_Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_Window.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_Key->Paint_Count() > 0 && m_Other->Paints > 0; }));
    }

    void TearDown() override {
        m_Key.reset();
        m_Window.reset();
        TControl_Test::TearDown();
    }

    // Paints of the key until the window has caught up with every update.
    int Key_Paints_After_Flush() {
        const int other = m_Other->Paints;
        m_Other->update();
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_Other->Paints > other; }));
        return m_Key->Paint_Count();
    }

    std::unique_ptr<QWidget> m_Window;
    std::unique_ptr<TPictureButton> m_Key;
    TPaint_Counter* m_Other = nullptr;
};

// ---- Which setters repaint --------------------------------------------------------

struct TRepaint_Row {
    const char* Name;
    std::function<void(TPictureButton&)> Change;
    bool Repaints;
};

class Repaint_Test : public TWindow_Test, public ::testing::WithParamInterface<TRepaint_Row> {};

TEST_P(Repaint_Test, RepaintsOnlyWhenItShould) {
    const int before = Key_Paints_After_Flush();
    GetParam().Change(*m_Key);
    const int after = Key_Paints_After_Flush();
    if (GetParam().Repaints)
        EXPECT_GT(after, before);
    else
        EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Repaint_Test,
    ::testing::Values(TRepaint_Row{"InColorDoesNot", [](TPB& k) { k.setInColor(Red); }, false},
                      TRepaint_Row{"NewColor", [](TPB& k) { k.setColor(Red); }, true},
                      TRepaint_Row{"SameColorDoesNot", [](TPB& k) { k.setColor(Out); }, false},
                      TRepaint_Row{"ColorChangeOff", [](TPB& k) { k.setColorChange(false); }, true},
                      TRepaint_Row{"SameColorChangeDoesNot", [](TPB& k) { k.setColorChange(true); }, false},
                      TRepaint_Row{"FocusStyle", [](TPB& k) { k.setFocusStyle(TPB::bfsInColor); }, true},
                      TRepaint_Row{"Stretch", [](TPB& k) { k.setStretch(true); }, true},
                      TRepaint_Row{"PictureLeft", [](TPB& k) { k.setPictureLeft(3); }, true},
                      TRepaint_Row{"SamePictureTopDoesNot", [](TPB& k) { k.setPictureTop(-1); }, false},
                      TRepaint_Row{"CaptionTop", [](TPB& k) { k.setCaptionTop(0); }, true},
                      TRepaint_Row{"Picture", [](TPB& k) { k.setPicture(Solid(5, 5, Red)); }, true},
                      TRepaint_Row{"Caption", [](TPB& k) { k.setCaption("REC"); }, true},
                      TRepaint_Row{"FontColor", [](TPB& k) { k.setFontColor(Qt::yellow); }, true},
                      TRepaint_Row{"TagDoesNot", [](TPB& k) { k.setTag(12); }, false},
                      TRepaint_Row{"StyleChangingABevel", [](TPB& k) { k.setButtonStyle(TPB::bsRaised); }, true},
                      // Both styles have no bevels: nothing visible changes.
                      TRepaint_Row{"StyleKeepingTheBevelsDoesNot", [](TPB& k) { k.setButtonStyle(TPB::bsIELike); },
                                   false}),
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

TEST_P(Focus_Test, FocusShownAsTheStyleSays) {
    const TFocus_Row& row = GetParam();
    m_Key->setButtonStyle(row.Style);
    m_Key->setFocusStyle(row.Focus_Style);
    if (row.Focused)
        m_Key->setFocus(Qt::OtherFocusReason);
    else
        m_Other->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(m_Key->hasFocus(), row.Focused);

    const QImage face = m_Key->Render();
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
    ::testing::Values(TFocus_Row{"StdButtonFocused", TPB::bsStdButton, TPB::bfsStdButton, true, Out, {4, 4}, true},
                      TFocus_Row{"StdButtonUnfocused", TPB::bsStdButton, TPB::bfsStdButton, false, Out, {4, 4}, false},
                      TFocus_Row{"RaisedStyleFocused", TPB::bsRaised, TPB::bfsStdButton, true, Out, {2, 2}, true},
                      TFocus_Row{"InColorFocused", TPB::bsStdButton, TPB::bfsInColor, true, In, {4, 4}, false},
                      TFocus_Row{"InColorUnfocused", TPB::bsStdButton, TPB::bfsInColor, false, Out, {4, 4}, false},
                      TFocus_Row{"NoneFocused", TPB::bsStdButton, TPB::bfsNone, true, Out, {4, 4}, false}),
    [](const ::testing::TestParamInfo<TFocus_Row>& info) { return std::string(info.param.Name); });

using Focus_Change_Test = TWindow_Test;

TEST_F(Focus_Change_Test, EnterAndExitSignalsWithARepaint) {
    // The window's first focus stop (the key) takes the focus when shown.
    m_Other->setFocus(Qt::OtherFocusReason);
    ASSERT_FALSE(m_Key->hasFocus());
    int enters = 0, exits = 0;
    QObject::connect(m_Key.get(), &TPictureButton::Enter, [&] { ++enters; });
    QObject::connect(m_Key.get(), &TPictureButton::Exit, [&] { ++exits; });

    int paints = Key_Paints_After_Flush();
    m_Key->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 0);
    EXPECT_GT(Key_Paints_After_Flush(), paints);

    paints = m_Key->Paint_Count();
    m_Other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 1);
    EXPECT_GT(Key_Paints_After_Flush(), paints);
}

TEST_F(Focus_Change_Test, MouseDownTakesTheFocus) {
    m_Other->setFocus(Qt::OtherFocusReason);
    QTest::mousePress(m_Key.get(), Qt::LeftButton);
    EXPECT_TRUE(m_Key->hasFocus());
    QTest::mouseRelease(m_Key.get(), Qt::LeftButton);
}

// Space's release goes to whichever widget has the focus then: a key that
// loses the focus while Space holds it lets go without a click.
TEST_F(Focus_Change_Test, FocusLostWhileSpaceHeldReleasesWithoutClick) {
    int clicks = 0;
    QObject::connect(m_Key.get(), &TPictureButton::Clicked, [&] { ++clicks; });
    m_Key->setFocus(Qt::OtherFocusReason);
    QTest::keyPress(m_Key.get(), Qt::Key_Space);
    ASSERT_TRUE(m_Key->Pressed());
    m_Other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(m_Key->Pressed());
    EXPECT_EQ(m_Key->Draw_Offset(), 0);
    QTest::keyRelease(m_Other, Qt::Key_Space);
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

TEST_P(Accelerator_Test, AltCharacterClicksAUsableKeyOnly) {
    const TAccelerator_Row& row = GetParam();
    auto next = Make_Key(m_Window.get());
    next->move(10, 50);
    next->setCaption("&Pause");
    m_Key->setCaption("&Power");
    int key_clicks = 0, next_clicks = 0;
    QObject::connect(m_Key.get(), &TPictureButton::Clicked, [&] { ++key_clicks; });
    QObject::connect(next.get(), &TPictureButton::Clicked, [&] { ++next_clicks; });
    // Only one of the two may offer 'p' at a time, or the character is ambiguous.
    m_Key->setEnabled(row.Enabled);
    m_Key->setVisible(row.Visible);
    next->setVisible(!(row.Enabled && row.Visible));
    m_Other->setFocus(Qt::OtherFocusReason);

    QTest::keyClick(m_Window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(key_clicks, row.Key_Clicks);
    EXPECT_EQ(next_clicks, row.Next_Clicks);
}

INSTANTIATE_TEST_SUITE_P(Rows, Accelerator_Test,
                         ::testing::Values(TAccelerator_Row{"EnabledAndShownClicks", true, true, 1, 0},
                                           TAccelerator_Row{"DisabledPassesItOn", false, true, 0, 1},
                                           TAccelerator_Row{"HiddenPassesItOn", true, false, 0, 1}),
                         [](const ::testing::TestParamInfo<TAccelerator_Row>& info) {
                             return std::string(info.param.Name);
                         });

using Accelerator_Change_Test = TWindow_Test;

TEST_F(Accelerator_Change_Test, OtherCharacterOrOldCaptionDoesNotClick) {
    int clicks = 0;
    QObject::connect(m_Key.get(), &TPictureButton::Clicked, [&] { ++clicks; });
    m_Key->setCaption("&Power");
    QTest::keyClick(m_Window.get(), Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(clicks, 0);
    m_Key->setCaption("&Stop");
    QTest::keyClick(m_Window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(clicks, 0) << "old accelerator still active";
    QTest::keyClick(m_Window.get(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
}

// A caption's old accelerator is given up, so it cannot stand in the way of
// another key that now owns the character.
TEST_F(Accelerator_Change_Test, OldAcceleratorLeavesTheCharacterToAnotherKey) {
    auto next = Make_Key(m_Window.get());
    next->move(10, 50);
    next->setCaption("&Pause");
    next->show();
    int key_clicks = 0, next_clicks = 0;
    QObject::connect(m_Key.get(), &TPictureButton::Clicked, [&] { ++key_clicks; });
    QObject::connect(next.get(), &TPictureButton::Clicked, [&] { ++next_clicks; });
    m_Key->setCaption("&Power");
    m_Key->setCaption("&Stop");
    for (int i = 0; i < 3; ++i) QTest::keyClick(m_Window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(key_clicks, 0);
    EXPECT_EQ(next_clicks, 3);
}

}  // namespace
