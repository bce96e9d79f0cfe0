// TPictureButton: the push button the remote-control face is built from.
//
// A key paints, in this order: its bevels, a fill in the face colour, an
// optional picture (pixels of the transparent colour, black by default, are
// not drawn, so the fill shows through them), its caption, its frame and the
// focus mark. Everything is drawn into an off-screen pixmap of the key's size
// and copied to the screen in one operation, so a key never flickers.
//
// Looks and states:
//   idle        pointer outside, not pressed: fill Color
//   hovered     pointer inside: fill InColor (when ColorChange)
//   held        left button or Space down with the pointer on the key: the
//               contents move 1 pixel right and down, fill InColor, and the
//               standard-button frame turns flat
//   held, off   the pointer dragged off while held: normal look, fill Color;
//               releasing there gives no click
//   focused     dotted inverted rectangle (bfsStdButton) or InColor fill
//               (bfsInColor), or nothing (bfsNone)
// Clicks: left button released over the key; Space released after it pressed
// the key (any other key while Space is down cancels); Enter or Return at
// once; the caption's accelerator (Alt + the character after '&') while the
// key is enabled and shown. A disabled key gets no mouse or key input and
// paints as an enabled one (the owner gives it a disabled picture), except
// for the legible-caption outline, which only an enabled key needs.
//
// Each property keeps its own name in Qt's property system (ButtonStyle,
// InColor); its accessors are named like every operation of the program: the
// getter Button_Style(), the setter Set_Button_Style(). Setters that repaint
// do nothing when the value is unchanged.
#ifndef QEV_CONTROLS_PICTURE_BUTTON_H
#define QEV_CONTROLS_PICTURE_BUTTON_H

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

class QFontMetrics;
class QPainter;

namespace qev {

// WCAG 2 contrast ratio of two colours, 1 to 21: (L1 + 0.05) / (L2 + 0.05)
// with L the relative luminance of the lighter and the darker one.
double Contrast_Ratio(const QColor& a, const QColor& b);

class TPictureButton : public QWidget {
    Q_OBJECT

public:
    // Bevel scheme and pressed look.
    enum TButtonStyle { bsNone, bsLowered, bsRaised, bsFrame, bsGroove, bsIELike, bsSpBtnLike, bsStdButton };
    Q_ENUM(TButtonStyle)

    // How keyboard focus is shown.
    enum TFocusStyle { bfsNone, bfsStdButton, bfsInColor };
    Q_ENUM(TFocusStyle)

    // One bevel ring. bvSpace draws nothing.
    enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
    Q_ENUM(TBevelCut)

private:
    Q_PROPERTY(TButtonStyle ButtonStyle READ Button_Style WRITE Set_Button_Style)
    Q_PROPERTY(bool ColorChange READ Color_Change WRITE Set_Color_Change)
    Q_PROPERTY(TFocusStyle FocusStyle READ Focus_Style WRITE Set_Focus_Style)
    Q_PROPERTY(QImage Picture READ Picture WRITE Set_Picture)
    Q_PROPERTY(QColor TransparentColor READ Transparent_Color WRITE Set_Transparent_Color)
    Q_PROPERTY(QColor InColor READ In_Color WRITE Set_In_Color)
    Q_PROPERTY(QColor Color READ Color WRITE Set_Color)
    Q_PROPERTY(int PictureLeft READ Picture_Left WRITE Set_Picture_Left)
    Q_PROPERTY(int PictureTop READ Picture_Top WRITE Set_Picture_Top)
    Q_PROPERTY(int CaptionLeft READ Caption_Left WRITE Set_Caption_Left)
    Q_PROPERTY(int CaptionTop READ Caption_Top WRITE Set_Caption_Top)
    Q_PROPERTY(bool Stretch READ Stretch WRITE Set_Stretch)
    Q_PROPERTY(QString Caption READ Caption WRITE Set_Caption)
    Q_PROPERTY(QColor FontColor READ Font_Color WRITE Set_Font_Color)
    Q_PROPERTY(bool LegibleCaption READ Legible_Caption WRITE Set_Legible_Caption)
    Q_PROPERTY(TBevelCut BevelInner READ Bevel_Inner WRITE Set_Bevel_Inner)
    Q_PROPERTY(TBevelCut BevelOuter READ Bevel_Outer WRITE Set_Bevel_Outer)
    Q_PROPERTY(int Tag READ Tag WRITE Set_Tag)
    Q_PROPERTY(bool TabStop READ Tab_Stop WRITE Set_Tab_Stop)

public:
    // 36 x 36, bsStdButton, ColorChange on, InColor = 3-D light, Color = button
    // face, focus shown as a dotted rectangle, picture and caption centred,
    // not reached by Tab (Set_Tab_Stop(true) for that).
    explicit TPictureButton(QWidget* parent = nullptr);
    ~TPictureButton() override;

    // Sets both bevels from the style (bsIELike, bsSpBtnLike and bsStdButton
    // start with none); the bevels then change as the key is pressed.
    TButtonStyle Button_Style() const { return button_style_; }
    void Set_Button_Style(TButtonStyle style);

    // Pointer entering and leaving switches the face colour between InColor and Color.
    bool Color_Change() const { return color_change_; }
    void Set_Color_Change(bool on);

    TFocusStyle Focus_Style() const { return focus_style_; }
    void Set_Focus_Style(TFocusStyle style);

    // The image on the face, owned (copied) by the key. Drawn at its own size
    // at PictureLeft/PictureTop (centred on an axis whose value is -1), or
    // scaled into the face with Stretch. Setting it always repaints.
    const QImage& Picture() const { return picture_; }
    void Set_Picture(const QImage& picture);

    // Picture pixels of this colour (alpha ignored) are not drawn. Black by
    // default; an invalid colour makes every pixel opaque.
    QColor Transparent_Color() const { return transparent_color_; }
    void Set_Transparent_Color(const QColor& color);

    // Face colour for pointer inside (with ColorChange), held down on the key,
    // and focused with bfsInColor. A plain value: setting it does not repaint.
    QColor In_Color() const { return in_color_; }
    void Set_In_Color(const QColor& color);

    // The out colour: face colour with the pointer outside. Its setter also
    // makes it the current face colour and repaints.
    QColor Color() const { return out_color_; }
    void Set_Color(const QColor& color);

    // Positions in pixels; -1 centres on that axis.
    int Picture_Left() const { return picture_left_; }
    void Set_Picture_Left(int left);
    int Picture_Top() const { return picture_top_; }
    void Set_Picture_Top(int top);
    int Caption_Left() const { return caption_left_; }
    void Set_Caption_Left(int left);
    int Caption_Top() const { return caption_top_; }
    void Set_Caption_Top(int top);

    // Scale the picture into (2 + d, 2 + d) - (W - 4, H - 4) instead of
    // drawing it at its own size.
    bool Stretch() const { return stretch_; }
    void Set_Stretch(bool on);

    // '&' marks the accelerator character, drawn underlined; "&&" is a plain '&'.
    QString Caption() const { return caption_; }
    void Set_Caption(const QString& caption);

    // Caption colour. Until one is set (or after an invalid colour) it is the
    // ButtonText colour of the widget's palette, active group, so a disabled
    // key's caption looks the same as an enabled one's.
    QColor Font_Color() const;
    void Set_Font_Color(const QColor& color);

    // Keeps an enabled key's caption readable whatever its picture shows:
    // where the caption colour has less than Legible_Contrast against any
    // pixel of the face under the caption (and one pixel around it), the
    // caption gets a one-pixel outline in black or white, whichever differs
    // more from it. Off by default: the caption is drawn as it is.
    bool Legible_Caption() const { return legible_caption_; }
    void Set_Legible_Caption(bool on);
    // The contrast a legible caption keeps: WCAG 2's 4.5:1 for text.
    static constexpr double Legible_Contrast = 4.5;
    // The outline colour the caption gets now; invalid when it needs none.
    QColor Caption_Outline_Color();

    TBevelCut Bevel_Inner() const { return bevel_inner_; }
    void Set_Bevel_Inner(TBevelCut cut);
    TBevelCut Bevel_Outer() const { return bevel_outer_; }
    void Set_Bevel_Outer(TBevelCut cut);

    // Free for the owner; the main window keeps a Command table row in it.
    int Tag() const { return tag_; }
    void Set_Tag(int tag) { tag_ = tag; }

    // Whether Tab reaches the key (Qt::StrongFocus) or only a click does
    // (Qt::ClickFocus).
    bool Tab_Stop() const { return tab_stop_; }
    void Set_Tab_Stop(bool on);

    // Releases the press and fires Clicked(). The keyboard, mouse and
    // accelerator paths all click through here; it may be called directly.
    virtual void Click();

    // ---- State and geometry, for owners and tests --------------------------

    // Held down by the left button or Space.
    bool Pressed() const { return pressed_ != 0; }
    // -1 while the pointer is off the key during a press, else 0.
    int Outside_Offset() const { return outside_offset_; }
    // How far the face contents move right and down: 1 when held down with the
    // pointer on the key, else 0.
    int Draw_Offset() const { return pressed_ + outside_offset_; }
    // The current face colour (switched by hovering).
    QColor Face_Color() const { return face_color_; }
    // The colour the face is filled with by the next paint.
    QColor Fill_Color() const;

    // Top-left of the picture on a W x H face for a pw x ph picture, before the
    // draw offset: PictureLeft/PictureTop, or centred with halves rounded to
    // the even neighbour.
    QPoint Picture_Origin(int W, int H, int pw, int ph) const;
    // Top-left of the caption box for a tw x th caption, before the draw
    // offset: CaptionLeft/CaptionTop, or centred, truncated toward zero.
    QPoint Caption_Origin(int W, int H, int tw, int th) const;
    // Size of the caption in the widget's font; the accelerator '&' takes no room.
    QSize Caption_Size() const;

    // Paints the face exactly as a paint event does and returns it
    // (width() x height(), one pixel per unit). Like a paint event it counts
    // as having painted the caption (see background_clear_).
    QImage Render();
    // Paint events handled so far.
    int Paint_Count() const { return paint_count_; }

    QSize sizeHint() const override;

signals:
    // The key was clicked.
    void Clicked();
    // The pointer entered or left the key, also while a mouse button holds
    // it; fired before the key reacts. x, y in the key's coordinates.
    void Mouse_Entered(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void Mouse_Left(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    // Keyboard focus gained / lost (after a repaint request).
    void Enter();
    void Exit();

protected:
    // The key's reaction to the pointer entering and leaving; each fires its
    // signal first.
    virtual void Mouse_Enter(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    virtual void Mouse_Leave(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    // The bevels for the pressed or released look, by style.
    void Set_Bevel(bool pressed);
    void Set_Bevel(bool pressed, bool pointer_inside);
    // The pointer, taken from the screen, lies on the key.
    bool Mouse_In() const;
    // Release without a click: pressed flag and outside offset to 0, bevels up.
    void Release_Press();
    // Drops a press whose release can no longer arrive (hidden, disabled, or
    // focus lost while Space holds the key).
    void Cancel_Press();
    // Fires Mouse_Enter/Mouse_Leave when the pointer crossed the edge.
    void Track_Pointer(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void Set_Face_Color(const QColor& color);
    void Picture_Changed();
    void Update_Accelerator();
    void Draw_Face(QPainter& p, int W, int H);
    // Bevels, fill and picture: everything the caption is drawn over.
    void Draw_Backdrop(QPainter& p, int W, int H);
    // Where the caption goes on a W x H face: its box (to the face's right
    // and bottom edges) and the size of its text.
    QRect Caption_Box(const QFontMetrics& metrics, int W, int H, QSize* text) const;
    // The legible caption's outline on a W x H face; invalid for none.
    QColor Outline_Color(int W, int H);
    TButtonStyle button_style_ = bsStdButton;
    bool color_change_ = true;
    TFocusStyle focus_style_ = bfsStdButton;
    QImage picture_;
    QImage picture_drawn_;  // picture_ with the transparent colour cleared
    QColor transparent_color_{Qt::black};
    QColor in_color_;
    QColor out_color_;
    QColor face_color_;
    int picture_left_ = -1;
    int picture_top_ = -1;
    int caption_left_ = -1;
    int caption_top_ = -1;
    bool stretch_ = false;
    QString caption_;
    QColor font_color_;  // invalid: the palette's ButtonText
    bool legible_caption_ = false;
    TBevelCut bevel_inner_ = bvNone;
    TBevelCut bevel_outer_ = bvNone;
    int tag_ = 0;
    bool tab_stop_ = false;

    int pressed_ = 0;          // 0 or 1
    int outside_offset_ = 0;   // 0 or -pressed_
    bool mouse_held_ = false;  // a left press on this key awaits its release
    bool pointer_inside_ = false;
    // Set once a caption has been painted: from then on the face's own
    // background no longer fills the stretched picture's backdrop.
    bool background_clear_ = false;
    int accelerator_id_ = 0;
    int paint_count_ = 0;
};

}  // namespace qev

#endif
