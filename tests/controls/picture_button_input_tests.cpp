// How a key answers the mouse and the keyboard: pressed look, drag off and
// back, clicks, Space and Enter, bevels per style, hover colours.
#include "tests/controls/control_test_support.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

#include <functional>
#include <stdexcept>
#include <vector>

namespace qev::test {
namespace {

using row_printing::PrintTo;

using namespace test_colors;
using TPB = TPictureButton;

void Send_Enter(TPictureButton& key, QPoint at) {
    QEnterEvent e(at, at, key.mapToGlobal(at));
    QApplication::sendEvent(&key, &e);
}

void Send_Leave(TPictureButton& key) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&key, &e);
}

void Send_Key(TPictureButton& key, int code, bool press, bool auto_repeat = false) {
    const QString text = code == Qt::Key_Space ? QStringLiteral(" ") : QString();
    QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, code, Qt::NoModifier, text, auto_repeat);
    QApplication::sendEvent(&key, &e);
}

struct TClick_Counter {
    explicit TClick_Counter(TPictureButton& key) {
        QObject::connect(&key, &TPictureButton::Clicked, [this] { ++Clicks; });
        QObject::connect(&key, &TPictureButton::Mouse_Entered, [this](auto...) { ++Enters; });
        QObject::connect(&key, &TPictureButton::Mouse_Left, [this](auto...) { ++Leaves; });
    }
    int Clicks = 0;
    int Enters = 0;
    int Leaves = 0;
};

// ---- Held down, dragged off and back ----------------------------------------------

enum class TFrame { Raised, Flat };

struct TDrag_Step {
    const char* Name;
    std::function<void(TPictureButton&)> Act;
    int Draw_Offset;
    bool Pressed;
    QColor Fill;
    TFrame Frame;
    QPoint Picture_At;
    int Enters, Leaves, Clicks;
};

void Expect_Frame(const QImage& face, TFrame frame) {
    const QColor outer_tl = frame == TFrame::Flat ? Shadow : Light_3D;
    const QColor outer_br = frame == TFrame::Flat ? Shadow : Dk_Shadow;
    const QColor inner_tl = frame == TFrame::Flat ? Face : Highlight;
    const QColor inner_br = frame == TFrame::Flat ? Face : Shadow;
    EXPECT_EQ(Pixel(face, 0, 12), Hex(outer_tl));
    EXPECT_EQ(Pixel(face, 30, 0), Hex(outer_tl));
    EXPECT_EQ(Pixel(face, 56, 12), Hex(outer_br));
    EXPECT_EQ(Pixel(face, 30, 24), Hex(outer_br));
    EXPECT_EQ(Pixel(face, 1, 12), Hex(inner_tl));
    EXPECT_EQ(Pixel(face, 30, 1), Hex(inner_tl));
    EXPECT_EQ(Pixel(face, 55, 12), Hex(inner_br));
    EXPECT_EQ(Pixel(face, 30, 23), Hex(inner_br));
}

using Drag_Test = TControl_Test;

TEST_F(Drag_Test, Held_Look_Follows_The_Pointer_And_Release_Off_Gives_No_Click) {
    auto key = Make_Key();
    key->Set_Picture(Solid(4, 4, Red));
    key->Set_Picture_Left(10);
    key->Set_Picture_Top(8);
    TClick_Counter count(*key);

    const auto press = [](QPoint at) {
        return [at](TPictureButton& k) { QTest::mousePress(&k, Qt::LeftButton, {}, at); };
    };
    const auto move = [](QPoint at) { return [at](TPictureButton& k) { QTest::mouseMove(&k, at); }; };
    const auto release = [](QPoint at) {
        return [at](TPictureButton& k) { QTest::mouseRelease(&k, Qt::LeftButton, {}, at); };
    };
    const std::vector<TDrag_Step> steps{
        {"Idle", [](TPictureButton&) {}, 0, false, Out, TFrame::Raised, {10, 8}, 0, 0, 0},
        {"held_on_key", press({28, 12}), 1, true, In, TFrame::Flat, {11, 9}, 0, 0, 0},
        {"dragged_off_right", move({80, 12}), 0, true, Out, TFrame::Raised, {10, 8}, 0, 1, 0},
        {"dragged_back", move({28, 12}), 1, true, In, TFrame::Flat, {11, 9}, 1, 1, 0},
        {"dragged_off_below", move({28, 40}), 0, true, Out, TFrame::Raised, {10, 8}, 1, 2, 0},
        {"released_off", release({28, 40}), 0, false, Out, TFrame::Raised, {10, 8}, 1, 2, 0},
        // Qt reports the leave once the button is up; it was reported already.
        {"late_leave_ignored",
         [](TPictureButton& k) { Send_Leave(k); },
         0,
         false,
         Out,
         TFrame::Raised,
         {10, 8},
         1,
         2,
         0},
    };
    for (const TDrag_Step& step : steps) {
        SCOPED_TRACE(step.Name);
        step.Act(*key);
        EXPECT_EQ(key->Draw_Offset(), step.Draw_Offset);
        EXPECT_EQ(key->Pressed(), step.Pressed);
        const QImage face = key->Render();
        EXPECT_EQ(Pixel(face, 40, 12), Hex(step.Fill));
        Expect_Frame(face, step.Frame);
        EXPECT_EQ(Bounds_Of(face, Red), QRect(step.Picture_At, QSize(4, 4)));
        EXPECT_EQ(count.Enters, step.Enters);
        EXPECT_EQ(count.Leaves, step.Leaves);
        EXPECT_EQ(count.Clicks, step.Clicks);
    }
}

// Qt's own enter and leave events and the crossings found from moves during
// a press describe the same pointer: each crossing is reported once.
TEST_F(Drag_Test, Each_Crossing_Reported_Once) {
    auto key = Make_Key();
    TClick_Counter count(*key);
    Send_Enter(*key, QPoint(5, 5));
    QTest::mousePress(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
    QTest::mouseRelease(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
    Send_Enter(*key, QPoint(28, 12));
    EXPECT_EQ(count.Enters, 1);
    Send_Leave(*key);
    Send_Leave(*key);
    EXPECT_EQ(count.Leaves, 1);
    EXPECT_EQ(count.Clicks, 1);
}

// A release that lands off the key with no move reported before it still
// counts as leaving: the key drops its hover colour.
TEST_F(Drag_Test, Release_Off_Without_Moves_Reports_The_Leave) {
    auto key = Make_Key();
    TClick_Counter count(*key);
    Send_Enter(*key, QPoint(5, 5));
    QTest::mousePress(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
    QTest::mouseRelease(key.get(), Qt::LeftButton, {}, QPoint(28, 60));
    EXPECT_EQ(count.Leaves, 1);
    EXPECT_EQ(count.Clicks, 0);
    EXPECT_EQ(Hex(key->Face_Color()), Hex(Out));
}

TEST_F(Drag_Test, Held_Contents_Move_One_Pixel_Right_And_Down) {
    auto key = Make_Key();
    key->Set_Color_Change(false);
    key->Set_In_Color(Out);  // same fill held and idle: only the position differs
    key->Set_Button_Style(TPictureButton::bsNone);
    QFont font;
    font.setPixelSize(13);
    key->setFont(font);
    key->Set_Caption("PLAY");
    QImage picture = Solid(57, 25, Qt::black);
    for (int x = 5; x < 50; x += 7) picture.setPixelColor(x, 3, Red);
    key->Set_Picture(picture);

    const QImage idle = key->Render();
    QTest::mousePress(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
    const QImage held = key->Render();
    QTest::mouseRelease(key.get(), Qt::LeftButton, {}, QPoint(100, 100));

    ASSERT_NE(idle, held);
    // bsNone lowers its outer bevel while held: compare inside that ring.
    EXPECT_EQ(held.copy(2, 2, 53, 21), idle.copy(1, 1, 53, 21));
}

// ---- Which gestures click ---------------------------------------------------------

struct TClick_Row {
    const char* Name;
    std::function<void(TPictureButton&)> Gesture;
    int Clicks;
};

class Mouse_Click_Test : public TControl_Test, public ::testing::WithParamInterface<TClick_Row> {};

TEST_P(Mouse_Click_Test, Clicks) {
    auto key = Make_Key();
    TClick_Counter count(*key);
    GetParam().Gesture(*key);
    EXPECT_EQ(count.Clicks, GetParam().Clicks);
    EXPECT_FALSE(key->Pressed());
    EXPECT_EQ(key->Draw_Offset(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Mouse_Click_Test,
    ::testing::Values(TClick_Row{"left_released_on_key",
                                 [](TPictureButton& k) { QTest::mouseClick(&k, Qt::LeftButton); }, 1},
                      TClick_Row{"left_released_on_key_edge",
                                 [](TPictureButton& k) {
                                     QTest::mousePress(&k, Qt::LeftButton, {}, QPoint(1, 1));
                                     QTest::mouseRelease(&k, Qt::LeftButton, {}, QPoint(56, 24));
                                 },
                                 1},
                      TClick_Row{"left_released_just_off_key",
                                 [](TPictureButton& k) {
                                     QTest::mousePress(&k, Qt::LeftButton, {}, QPoint(28, 12));
                                     QTest::mouseRelease(&k, Qt::LeftButton, {}, QPoint(57, 12));
                                 },
                                 0},
                      TClick_Row{"dragged_off_and_back_then_released",
                                 [](TPictureButton& k) {
                                     QTest::mousePress(&k, Qt::LeftButton, {}, QPoint(28, 12));
                                     QTest::mouseMove(&k, QPoint(28, -5));
                                     QTest::mouseMove(&k, QPoint(28, 12));
                                     QTest::mouseRelease(&k, Qt::LeftButton, {}, QPoint(28, 12));
                                 },
                                 1},
                      TClick_Row{"right_button", [](TPictureButton& k) { QTest::mouseClick(&k, Qt::RightButton); }, 0},
                      TClick_Row{"disabled_key",
                                 [](TPictureButton& k) {
                                     k.setEnabled(false);
                                     QTest::mouseClick(&k, Qt::LeftButton);
                                 },
                                 0},
                      TClick_Row{"disabled_while_held",
                                 [](TPictureButton& k) {
                                     QTest::mousePress(&k, Qt::LeftButton);
                                     k.setEnabled(false);
                                     EXPECT_FALSE(k.Pressed());
                                     k.setEnabled(true);
                                     QTest::mouseRelease(&k, Qt::LeftButton);
                                 },
                                 0},
                      TClick_Row{"hidden_while_held",
                                 [](TPictureButton& k) {
                                     k.show();
                                     QTest::mousePress(&k, Qt::LeftButton);
                                     k.hide();
                                     EXPECT_FALSE(k.Pressed());
                                     k.show();
                                     QTest::mouseRelease(&k, Qt::LeftButton);
                                 },
                                 0},
                      TClick_Row{"every_press_of_a_double_click",
                                 [](TPictureButton& k) {
                                     QTest::mouseClick(&k, Qt::LeftButton);
                                     QTest::mouseDClick(&k, Qt::LeftButton);
                                     QTest::mouseRelease(&k, Qt::LeftButton);
                                 },
                                 2}),
    [](const ::testing::TestParamInfo<TClick_Row>& info) { return std::string(info.param.Name); });

// ---- Keyboard ----------------------------------------------------------------------

struct TKey_Step {
    int Key;
    bool Press;
    bool Auto_Repeat;
    bool Pressed_After;
    int Clicks_After;
};

struct TKey_Row {
    const char* Name;
    bool Enabled;
    std::vector<TKey_Step> Steps;
};

class Key_Test : public TControl_Test, public ::testing::WithParamInterface<TKey_Row> {};

TEST_P(Key_Test, Presses_And_Clicks) {
    auto key = Make_Key();
    key->setEnabled(GetParam().Enabled);
    TClick_Counter count(*key);
    int n = 0;
    for (const TKey_Step& step : GetParam().Steps) {
        SCOPED_TRACE(testing::Message() << "step " << n++);
        Send_Key(*key, step.Key, step.Press, step.Auto_Repeat);
        EXPECT_EQ(key->Pressed(), step.Pressed_After);
        EXPECT_EQ(key->Draw_Offset(), step.Pressed_After ? 1 : 0);
        EXPECT_EQ(count.Clicks, step.Clicks_After);
    }
}

constexpr bool Down = true;
constexpr bool Up = false;
constexpr bool Repeat = true;

INSTANTIATE_TEST_SUITE_P(
    Rows, Key_Test,
    ::testing::Values(TKey_Row{"space_release_clicks",
                               true,
                               {{Qt::Key_Space, Down, false, true, 0}, {Qt::Key_Space, Up, false, false, 1}}},
                      TKey_Row{"space_auto_repeat_presses_once",
                               true,
                               {{Qt::Key_Space, Down, false, true, 0},
                                {Qt::Key_Space, Up, Repeat, true, 0},
                                {Qt::Key_Space, Down, Repeat, true, 0},
                                {Qt::Key_Space, Up, Repeat, true, 0},
                                {Qt::Key_Space, Down, Repeat, true, 0},
                                {Qt::Key_Space, Up, false, false, 1}}},
                      TKey_Row{"other_key_cancels_space",
                               true,
                               {{Qt::Key_Space, Down, false, true, 0},
                                {Qt::Key_A, Down, false, false, 0},
                                {Qt::Key_A, Up, false, false, 0},
                                {Qt::Key_Space, Up, false, false, 0}}},
                      TKey_Row{"shift_cancels_space",
                               true,
                               {{Qt::Key_Space, Down, false, true, 0},
                                {Qt::Key_Shift, Down, false, false, 0},
                                {Qt::Key_Space, Up, false, false, 0}}},
                      TKey_Row{"return_clicks_at_once",
                               true,
                               {{Qt::Key_Return, Down, false, false, 1}, {Qt::Key_Return, Up, false, false, 1}}},
                      TKey_Row{"keypad_enter_clicks_at_once", true, {{Qt::Key_Enter, Down, false, false, 1}}},
                      TKey_Row{"return_repeats_click",
                               true,
                               {{Qt::Key_Return, Down, false, false, 1}, {Qt::Key_Return, Down, Repeat, false, 2}}},
                      TKey_Row{"space_up_without_down", true, {{Qt::Key_Space, Up, false, false, 0}}},
                      TKey_Row{"other_key_alone_does_nothing",
                               true,
                               {{Qt::Key_B, Down, false, false, 0}, {Qt::Key_B, Up, false, false, 0}}},
                      TKey_Row{"disabled_key_ignores_keys",
                               false,
                               {{Qt::Key_Space, Down, false, false, 0},
                                {Qt::Key_Space, Up, false, false, 0},
                                {Qt::Key_Return, Down, false, false, 0}}}),
    [](const ::testing::TestParamInfo<TKey_Row>& info) { return std::string(info.param.Name); });

// A Space press survives the pointer leaving the key (the key just looks up);
// its release still clicks and leaves no offset behind.
TEST_F(Drag_Test, Space_Released_After_Pointer_Left_Clicks_And_Leaves_No_Offset) {
    auto key = Make_Key();
    TClick_Counter count(*key);
    Send_Enter(*key, QPoint(28, 12));
    Send_Key(*key, Qt::Key_Space, true);
    EXPECT_EQ(key->Draw_Offset(), 1);
    Send_Leave(*key);
    EXPECT_EQ(key->Outside_Offset(), -1);
    EXPECT_EQ(key->Draw_Offset(), 0);
    Send_Key(*key, Qt::Key_Space, false);
    EXPECT_EQ(count.Clicks, 1);
    EXPECT_EQ(key->Outside_Offset(), 0);
    EXPECT_EQ(key->Draw_Offset(), 0);
    Expect_Frame(key->Render(), TFrame::Raised);
}

// ---- Order around the click, and a failing click handler -------------------------

class TProbe_Key : public TPictureButton {
public:
    using TPictureButton::keyPressEvent;
    using TPictureButton::keyReleaseEvent;
    using TPictureButton::mousePressEvent;
    using TPictureButton::mouseReleaseEvent;

    void Click() override {
        Pressed_At_Click = Pressed();
        Offset_At_Click = Draw_Offset();
        if (Throw_Before) throw std::runtime_error("click failed before releasing");
        TPictureButton::Click();
        if (Throw) throw std::runtime_error("click handler failed");
    }

    bool Throw = false;
    bool Throw_Before = false;
    bool Pressed_At_Click = false;
    int Offset_At_Click = -9;
};

void Key_Event(TProbe_Key& key, int code, bool press) {
    QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, code, Qt::NoModifier);
    if (press)
        key.keyPressEvent(&e);
    else
        key.keyReleaseEvent(&e);
}

void Mouse_Event(TProbe_Key& key, bool press) {
    const QPointF at(28, 12);
    QMouseEvent e(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at, key.mapToGlobal(at),
                  Qt::LeftButton, press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    if (press)
        key.mousePressEvent(&e);
    else
        key.mouseReleaseEvent(&e);
}

struct TOrder_Row {
    const char* Name;
    std::function<void(TProbe_Key&)> Before;  // steps up to the one that clicks
    std::function<void(TProbe_Key&)> Clicking;
    bool Pressed_At_Click;
};

class Click_Order_Test : public TControl_Test, public ::testing::WithParamInterface<TOrder_Row> {};

TEST_P(Click_Order_Test, Pressed_State_Around_The_Click) {
    TProbe_Key key;
    key.resize(57, 25);
    bool pressed_in_handler = true;
    int clicks = 0;
    QObject::connect(&key, &TPictureButton::Clicked, [&] {
        ++clicks;
        pressed_in_handler = key.Pressed();
    });
    GetParam().Before(key);
    GetParam().Clicking(key);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(key.Pressed_At_Click, GetParam().Pressed_At_Click);
    EXPECT_EQ(key.Offset_At_Click, GetParam().Pressed_At_Click ? 1 : 0);
    // The click releases the key before its handler runs.
    EXPECT_FALSE(pressed_in_handler);
    EXPECT_FALSE(key.Pressed());
    EXPECT_EQ(key.Draw_Offset(), 0);
}

TEST_P(Click_Order_Test, Failing_Handler_Still_Releases_The_Key) {
    TProbe_Key key;
    key.resize(57, 25);
    key.Set_Button_Style(TPictureButton::bsRaised);
    int clicks = 0;
    QObject::connect(&key, &TPictureButton::Clicked, [&] { ++clicks; });
    GetParam().Before(key);
    key.Throw = true;
    EXPECT_THROW(GetParam().Clicking(key), std::runtime_error);
    key.Throw = false;
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(key.Pressed());
    EXPECT_EQ(key.Draw_Offset(), 0);
    EXPECT_EQ(key.Bevel_Outer(), TPictureButton::bvRaised);
    // Nothing is left half-done: a stray release clicks nothing more.
    Mouse_Event(key, false);
    Key_Event(key, Qt::Key_Space, false);
    EXPECT_EQ(clicks, 1);
}

// Whatever the click does first, the press that led to it is over afterwards.
TEST_P(Click_Order_Test, Click_Failing_Before_It_Releases_Still_Releases_The_Key) {
    TProbe_Key key;
    key.resize(57, 25);
    key.Set_Button_Style(TPictureButton::bsRaised);
    GetParam().Before(key);
    key.Throw_Before = true;
    EXPECT_THROW(GetParam().Clicking(key), std::runtime_error);
    key.Throw_Before = false;
    EXPECT_FALSE(key.Pressed());
    EXPECT_EQ(key.Draw_Offset(), 0);
    EXPECT_EQ(key.Bevel_Outer(), TPictureButton::bvRaised);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Click_Order_Test,
    ::testing::Values(TOrder_Row{"return", [](TProbe_Key&) {},
                                 [](TProbe_Key& k) { Key_Event(k, Qt::Key_Return, true); }, true},
                      TOrder_Row{"space_release", [](TProbe_Key& k) { Key_Event(k, Qt::Key_Space, true); },
                                 [](TProbe_Key& k) { Key_Event(k, Qt::Key_Space, false); }, false},
                      TOrder_Row{"mouse_release_on_key", [](TProbe_Key& k) { Mouse_Event(k, true); },
                                 [](TProbe_Key& k) { Mouse_Event(k, false); }, true}),
    [](const ::testing::TestParamInfo<TOrder_Row>& info) { return std::string(info.param.Name); });

// ---- Bevels per style while pressed -----------------------------------------------

struct TBevels {
    TPictureButton::TBevelCut Inner, Outer;
};

struct TStyle_Row {
    const char* Name;
    TPictureButton::TButtonStyle Style;
    TBevels Initial, Held, Released_On, Dragged_Off, Released_Off;
};

class Style_Bevel_Test : public TControl_Test, public ::testing::WithParamInterface<TStyle_Row> {};

void Expect_Bevels(const TPictureButton& key, TBevels expected, const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(key.Bevel_Inner(), expected.Inner);
    EXPECT_EQ(key.Bevel_Outer(), expected.Outer);
}

TEST_P(Style_Bevel_Test, Bevels_Follow_The_Press) {
    const TStyle_Row& row = GetParam();
    {
        auto key = Make_Key();
        key->Set_Button_Style(row.Style);
        Expect_Bevels(*key, row.Initial, "initial");
        QTest::mousePress(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
        Expect_Bevels(*key, row.Held, "held");
        QTest::mouseRelease(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
        Expect_Bevels(*key, row.Released_On, "released on the key");
    }
    {
        auto key = Make_Key();
        key->Set_Button_Style(row.Style);
        QTest::mousePress(key.get(), Qt::LeftButton, {}, QPoint(28, 12));
        QTest::mouseMove(key.get(), QPoint(90, 12));
        Expect_Bevels(*key, row.Dragged_Off, "dragged off");
        QTest::mouseRelease(key.get(), Qt::LeftButton, {}, QPoint(90, 12));
        Expect_Bevels(*key, row.Released_Off, "released off the key");
    }
}

constexpr auto N = TPB::bvNone;
constexpr auto L = TPB::bvLowered;
constexpr auto R = TPB::bvRaised;

INSTANTIATE_TEST_SUITE_P(Rows, Style_Bevel_Test,
                         ::testing::Values(
                             //          name           style             initial held    rel.on  dragged rel.off
                             TStyle_Row{"none", TPB::bsNone, {N, N}, {N, L}, {N, N}, {N, L}, {N, N}},
                             TStyle_Row{"lowered", TPB::bsLowered, {N, L}, {L, L}, {N, L}, {L, L}, {N, L}},
                             TStyle_Row{"raised", TPB::bsRaised, {N, R}, {N, L}, {N, R}, {N, L}, {N, R}},
                             TStyle_Row{"frame", TPB::bsFrame, {L, R}, {L, N}, {L, R}, {L, N}, {L, R}},
                             TStyle_Row{"groove", TPB::bsGroove, {R, L}, {N, L}, {R, L}, {N, L}, {R, L}},
                             TStyle_Row{"ie_like", TPB::bsIELike, {N, N}, {N, L}, {N, R}, {N, N}, {N, N}},
                             // The click and the button-up each release the bevel, and this style
                             // toggles on release: raised, then none.
                             TStyle_Row{"sp_btn_like", TPB::bsSpBtnLike, {N, N}, {N, L}, {N, N}, {N, R}, {N, N}},
                             TStyle_Row{
                                 "std_button_never_changes", TPB::bsStdButton, {N, N}, {N, N}, {N, N}, {N, N}, {N, N}}),
                         [](const ::testing::TestParamInfo<TStyle_Row>& info) { return std::string(info.param.Name); });

// ---- Hover --------------------------------------------------------------------------

struct THover_Row {
    const char* Name;
    TPictureButton::TButtonStyle Style;
    bool Color_Change;
    QColor Face_In, Face_Out;
    TPictureButton::TBevelCut Outer_In, Outer_Out;
};

class Hover_Test : public TControl_Test, public ::testing::WithParamInterface<THover_Row> {};

TEST_P(Hover_Test, Enter_And_Leave) {
    const THover_Row& row = GetParam();
    auto key = Make_Key();
    key->Set_Button_Style(row.Style);
    key->Set_Color_Change(row.Color_Change);
    QColor face_at_enter_signal, face_at_leave_signal;
    QPoint enter_at;
    QObject::connect(key.get(), &TPictureButton::Mouse_Entered,
                     [&](Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) {
                         face_at_enter_signal = key->Face_Color();
                         enter_at = QPoint(x, y);
                     });
    QObject::connect(key.get(), &TPictureButton::Mouse_Left,
                     [&](auto...) { face_at_leave_signal = key->Face_Color(); });

    Send_Enter(*key, QPoint(20, 7));
    EXPECT_EQ(enter_at, QPoint(20, 7));
    EXPECT_EQ(Hex(face_at_enter_signal), Hex(Out)) << "signal fires before the key reacts";
    EXPECT_EQ(Hex(key->Face_Color()), Hex(row.Face_In));
    EXPECT_EQ(Pixel(key->Render(), 28, 12), Hex(row.Face_In));
    EXPECT_EQ(key->Bevel_Outer(), row.Outer_In);

    Send_Leave(*key);
    EXPECT_EQ(Hex(face_at_leave_signal), Hex(row.Face_In)) << "signal fires before the key reacts";
    EXPECT_EQ(Hex(key->Face_Color()), Hex(row.Face_Out));
    EXPECT_EQ(Pixel(key->Render(), 28, 12), Hex(row.Face_Out));
    EXPECT_EQ(key->Bevel_Outer(), row.Outer_Out);
}

INSTANTIATE_TEST_SUITE_P(Rows, Hover_Test,
                         ::testing::Values(THover_Row{"std_button", TPB::bsStdButton, true, In, Out, N, N},
                                           THover_Row{"color_change_off_keeps_color", TPB::bsStdButton, false, Out, Out,
                                                      N, N},
                                           THover_Row{"ie_like", TPB::bsIELike, true, In, Out, R, N},
                                           THover_Row{"sp_btn_like", TPB::bsSpBtnLike, true, In, Out, R, N},
                                           THover_Row{"raised_keeps_its_bevel", TPB::bsRaised, true, In, Out, R, R}),
                         [](const ::testing::TestParamInfo<THover_Row>& info) { return std::string(info.param.Name); });

using Color_Test = TControl_Test;

// Color is the out colour and the current face colour at once; InColor only
// takes effect at the next hover.
TEST_F(Color_Test, Color_Sets_The_Face_In_Color_Waits_For_The_Next_Hover) {
    auto key = Make_Key();
    Send_Enter(*key, QPoint(10, 10));
    ASSERT_EQ(Hex(key->Face_Color()), Hex(In));
    key->Set_In_Color(Red);
    EXPECT_EQ(Hex(key->Face_Color()), Hex(In));
    key->Set_Color(QColor(1, 2, 3));
    EXPECT_EQ(Hex(key->Face_Color()), Hex(QColor(1, 2, 3)));
    Send_Leave(*key);
    Send_Enter(*key, QPoint(10, 10));
    EXPECT_EQ(Hex(key->Face_Color()), Hex(Red));
}

}  // namespace
}  // namespace qev::test
