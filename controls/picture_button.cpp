#include "controls/picture_button.h"

#include "controls/system_colors.h"

#include <QCursor>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QShortcutEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qev {

namespace {

// Runs a step when the scope ends, also when a click handler throws.
template <typename F>
class TFinally {
public:
    explicit TFinally(F f) : f_(std::move(f)) {}
    ~TFinally() { f_(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F f_;
};

// A rectangle with exclusive right and bottom edges, as the drawing steps
// shrink it ring by ring.
struct TEdges {
    int Left;
    int Top;
    int Right;
    int Bottom;

    void Shrink(int n) {
        Left += n;
        Top += n;
        Right -= n;
        Bottom -= n;
    }
    bool Empty() const { return Right <= Left || Bottom <= Top; }
};

// v rounded to the nearest integer, halves to the even neighbour
// (3.5 -> 4, 1.5 -> 2, 0.5 -> 0, -1.5 -> -2), independent of the FPU's mode.
int Round_Half_Even(double v) {
    const double low = std::floor(v);
    const double rest = v - low;
    if (rest > 0.5) return static_cast<int>(low) + 1;
    if (rest < 0.5) return static_cast<int>(low);
    const int n = static_cast<int>(low);
    return (n % 2 == 0) ? n : n + 1;
}

// A 1-pixel three-dimensional frame on r, then r shrinks by one pixel. The top
// row and left column take top_left; the right column and bottom row, with
// the top-right and bottom-left corner pixels, take bottom_right.
void Frame_3D(QPainter& p, TEdges& r, const QColor& top_left, const QColor& bottom_right) {
    if (!r.Empty()) {
        const int last_x = r.Right - 1;
        const int last_y = r.Bottom - 1;
        const int w = r.Right - r.Left;
        const int h = r.Bottom - r.Top;
        if (w > 1) p.fillRect(QRect(r.Left, r.Top, w - 1, 1), top_left);
        if (h > 1) p.fillRect(QRect(r.Left, r.Top, 1, h - 1), top_left);
        p.fillRect(QRect(last_x, r.Top, 1, h), bottom_right);
        p.fillRect(QRect(r.Left, last_y, w, 1), bottom_right);
    }
    r.Shrink(1);
}

// The focus mark: every other pixel along the border of r inverted, in a
// checkerboard from r's top-left pixel (which is inverted). Inverting twice
// restores, so each border pixel is visited once.
void Invert_Dotted_Frame(QPainter& p, const TEdges& r) {
    if (r.Empty()) return;
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const auto dot = [&](int x, int y) {
        if (((x - r.Left) + (y - r.Top)) % 2 == 0) p.fillRect(QRect(x, y, 1, 1), Qt::white);
    };
    const int last_x = r.Right - 1;
    const int last_y = r.Bottom - 1;
    for (int x = r.Left; x <= last_x; ++x) {
        dot(x, r.Top);
        if (last_y > r.Top) dot(x, last_y);
    }
    for (int y = r.Top + 1; y < last_y; ++y) {
        dot(r.Left, y);
        if (last_x > r.Left) dot(last_x, y);
    }
    p.restore();
}

// Relative luminance of an sRGB colour (WCAG 2).
double Relative_Luminance(const QColor& color) {
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

}  // namespace

double Contrast_Ratio(const QColor& a, const QColor& b) {
    const double la = Relative_Luminance(a);
    const double lb = Relative_Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TPictureButton::TPictureButton(QWidget* parent)
    : QWidget(parent),
      in_color_(System_Color(TSystem_Color::Light_3D)),
      out_color_(System_Color(TSystem_Color::Btn_Face)),
      face_color_(out_color_) {
    // Every pixel is painted from the off-screen copy: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    resize(36, 36);
}

TPictureButton::~TPictureButton() = default;

QSize TPictureButton::sizeHint() const { return QSize(36, 36); }

// ---- Properties ---------------------------------------------------------------

void TPictureButton::Set_Button_Style(TButtonStyle style) {
    if (style == button_style_) return;
    button_style_ = style;
    switch (style) {
        case bsNone:
            Set_Bevel_Inner(bvNone);
            Set_Bevel_Outer(bvNone);
            break;
        case bsLowered:
            Set_Bevel_Inner(bvNone);
            Set_Bevel_Outer(bvLowered);
            break;
        case bsRaised:
            Set_Bevel_Inner(bvNone);
            Set_Bevel_Outer(bvRaised);
            break;
        case bsFrame:
            Set_Bevel_Inner(bvLowered);
            Set_Bevel_Outer(bvRaised);
            break;
        case bsGroove:
            Set_Bevel_Inner(bvRaised);
            Set_Bevel_Outer(bvLowered);
            break;
        case bsIELike:
        case bsSpBtnLike:
        case bsStdButton:
            Set_Bevel_Inner(bvNone);
            Set_Bevel_Outer(bvNone);
            break;
    }
}

void TPictureButton::Set_Color_Change(bool on) {
    if (on == color_change_) return;
    color_change_ = on;
    update();
}

void TPictureButton::Set_Focus_Style(TFocusStyle style) {
    if (style == focus_style_) return;
    focus_style_ = style;
    update();
}

void TPictureButton::Set_Picture(const QImage& picture) {
    picture_ = picture;
    Picture_Changed();
}

void TPictureButton::Set_Transparent_Color(const QColor& color) {
    if (color == transparent_color_) return;
    transparent_color_ = color;
    Picture_Changed();
}

void TPictureButton::Set_In_Color(const QColor& color) { in_color_ = color; }

void TPictureButton::Set_Color(const QColor& color) {
    if (color == out_color_) return;
    out_color_ = color;
    face_color_ = color;
    update();
}

void TPictureButton::Set_Picture_Left(int left) {
    if (left == picture_left_) return;
    picture_left_ = left;
    update();
}

void TPictureButton::Set_Picture_Top(int top) {
    if (top == picture_top_) return;
    picture_top_ = top;
    update();
}

void TPictureButton::Set_Caption_Left(int left) {
    if (left == caption_left_) return;
    caption_left_ = left;
    update();
}

void TPictureButton::Set_Caption_Top(int top) {
    if (top == caption_top_) return;
    caption_top_ = top;
    update();
}

void TPictureButton::Set_Stretch(bool on) {
    if (on == stretch_) return;
    stretch_ = on;
    update();
}

void TPictureButton::Set_Caption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Update_Accelerator();
    update();
}

QColor TPictureButton::Font_Color() const {
    return font_color_.isValid() ? font_color_ : palette().color(QPalette::Active, QPalette::ButtonText);
}

void TPictureButton::Set_Font_Color(const QColor& color) {
    if (color == font_color_) return;
    font_color_ = color;
    update();
}

void TPictureButton::Set_Legible_Caption(bool on) {
    if (on == legible_caption_) return;
    legible_caption_ = on;
    update();
}

void TPictureButton::Set_Bevel_Inner(TBevelCut cut) {
    if (cut == bevel_inner_) return;
    bevel_inner_ = cut;
    update();
}

void TPictureButton::Set_Bevel_Outer(TBevelCut cut) {
    if (cut == bevel_outer_) return;
    bevel_outer_ = cut;
    update();
}

void TPictureButton::Set_Tab_Stop(bool on) {
    tab_stop_ = on;
    setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

// The current face colour changes like a widget's own colour: a change repaints.
void TPictureButton::Set_Face_Color(const QColor& color) {
    if (color == face_color_) return;
    face_color_ = color;
    update();
}

// Prepares the picture for drawing: pixels of the transparent colour get alpha 0.
void TPictureButton::Picture_Changed() {
    if (picture_.isNull()) {
        picture_drawn_ = QImage();
    } else {
        QImage drawn = picture_.convertToFormat(QImage::Format_ARGB32);
        drawn.setDevicePixelRatio(1.0);
        if (transparent_color_.isValid()) {
            const QRgb see_through = transparent_color_.rgb() & RGB_MASK;
            for (int y = 0; y < drawn.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(drawn.scanLine(y));
                for (int x = 0; x < drawn.width(); ++x) {
                    if ((line[x] & RGB_MASK) == see_through) line[x] = 0;
                }
            }
        }
        picture_drawn_ = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    update();
}

// ---- Geometry -------------------------------------------------------------------

QColor TPictureButton::Fill_Color() const {
    QColor fill = pressed_ == 0 ? face_color_ : (outside_offset_ != 0 ? out_color_ : in_color_);
    if (focus_style_ == bfsInColor && hasFocus()) fill = in_color_;
    return fill;
}

QPoint TPictureButton::Picture_Origin(int W, int H, int pw, int ph) const {
    const int x = picture_left_ != -1 ? picture_left_ : Round_Half_Even((W - pw) * 0.5);
    const int y = picture_top_ != -1 ? picture_top_ : Round_Half_Even((H - ph) * 0.5);
    return QPoint(x, y);
}

QPoint TPictureButton::Caption_Origin(int W, int H, int tw, int th) const {
    // Integer division truncates toward zero: (57 - 60) / 2 == -1.
    const int x = caption_left_ != -1 ? caption_left_ : (W - tw) / 2;
    const int y = caption_top_ != -1 ? caption_top_ : (H - th) / 2;
    return QPoint(x, y);
}

QSize TPictureButton::Caption_Size() const { return QFontMetrics(font(), this).size(Qt::TextShowMnemonic, caption_); }

// ---- Painting -------------------------------------------------------------------

void TPictureButton::paintEvent(QPaintEvent*) {
    ++paint_count_;
    const qreal dpr = devicePixelRatioF();
    QPixmap face(QSize(qRound(width() * dpr), qRound(height() * dpr)));
    face.setDevicePixelRatio(dpr);
    face.fill(Fill_Color());
    {
        QPainter p(&face);
        Draw_Face(p, width(), height());
    }
    QPainter(this).drawPixmap(0, 0, face);
}

QImage TPictureButton::Render() {
    if (width() <= 0 || height() <= 0) return QImage();
    QPixmap face(size());
    face.fill(Fill_Color());
    {
        QPainter p(&face);
        Draw_Face(p, width(), height());
    }
    return face.toImage();
}

void TPictureButton::Draw_Backdrop(QPainter& p, int W, int H) {
    const int d = Draw_Offset();

    TEdges r{0, 0, W, H};
    for (const TBevelCut cut : {bevel_outer_, bevel_inner_}) {
        if (cut == bvLowered) {
            Frame_3D(p, r, System_Color(TSystem_Color::Btn_Shadow), System_Color(TSystem_Color::Btn_Highlight));
        } else if (cut == bvRaised) {
            Frame_3D(p, r, System_Color(TSystem_Color::Btn_Highlight), System_Color(TSystem_Color::Btn_Shadow));
        }
    }

    const QColor fill = Fill_Color();
    if (!r.Empty()) p.fillRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), fill);

    if (!picture_drawn_.isNull()) {
        const int pw = picture_drawn_.width();
        const int ph = picture_drawn_.height();
        if (stretch_) {
            // The picture goes onto a backdrop of its own size first, then the
            // backdrop is scaled (nearest pixel) into the face. Until a caption
            // has been painted the key's own background, the current face
            // colour, covers that backdrop; afterwards the fill colour shows.
            QImage backdrop(pw, ph, QImage::Format_RGB32);
            backdrop.fill(background_clear_ ? fill : face_color_);
            {
                QPainter bp(&backdrop);
                bp.drawImage(0, 0, picture_drawn_);
            }
            const TEdges target{2 + d, 2 + d, W - 4, H - 4};
            if (!target.Empty()) {
                p.drawImage(QRect(target.Left, target.Top, target.Right - target.Left, target.Bottom - target.Top),
                            backdrop);
            }
        } else {
            const QPoint origin = Picture_Origin(W, H, pw, ph);
            p.drawImage(origin.x() + d, origin.y() + d, picture_drawn_);
        }
    }
}

QRect TPictureButton::Caption_Box(const QFontMetrics& metrics, int W, int H, QSize* text) const {
    const int d = Draw_Offset();
    *text = metrics.size(Qt::TextShowMnemonic, caption_);
    const QPoint origin = Caption_Origin(W, H, text->width(), text->height());
    return QRect(origin.x() + d, origin.y() + d, W - (origin.x() + d), H - (origin.y() + d));
}

// The face as drawn so far, looked at under the caption's text and one pixel
// around it: the outline is needed when the caption colour reads worse than
// Legible_Contrast against any of those pixels.
QColor TPictureButton::Outline_Color(int W, int H) {
    if (!legible_caption_ || !isEnabled() || caption_.isEmpty() || W <= 0 || H <= 0) return QColor();
    QSize text;
    const QRect box = Caption_Box(QFontMetrics(font(), this), W, H, &text);
    const QRect under = QRect(box.topLeft(), text).adjusted(-1, -1, 1, 1) & QRect(0, 0, W, H);
    if (under.isEmpty()) return QColor();
    QImage backdrop(W, H, QImage::Format_RGB32);
    backdrop.fill(Fill_Color());
    {
        QPainter bp(&backdrop);
        Draw_Backdrop(bp, W, H);
    }
    const QColor ink = Font_Color();
    double worst = 21.0;
    for (int y = under.top(); y <= under.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(backdrop.constScanLine(y));
        for (int x = under.left(); x <= under.right(); ++x) worst = std::min(worst, Contrast_Ratio(ink, line[x]));
    }
    if (worst >= Legible_Contrast) return QColor();
    const QColor black(Qt::black), white(Qt::white);
    return Contrast_Ratio(ink, black) >= Contrast_Ratio(ink, white) ? black : white;
}

QColor TPictureButton::Caption_Outline_Color() { return Outline_Color(width(), height()); }

void TPictureButton::Draw_Face(QPainter& p, int W, int H) {
    const int d = Draw_Offset();
    Draw_Backdrop(p, W, H);

    if (!caption_.isEmpty()) {
        const QColor outline = Outline_Color(W, H);
        p.setFont(font());
        background_clear_ = true;
        QSize text;
        const QRect box = Caption_Box(p.fontMetrics(), W, H, &text);
        if (box.width() > 0 && box.height() > 0) {
            constexpr int Flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic;
            if (outline.isValid()) {
                p.setPen(outline);
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        if (dx != 0 || dy != 0) p.drawText(box.translated(dx, dy), Flags, caption_);
                    }
                }
            }
            p.setPen(Font_Color());
            p.drawText(box, Flags, caption_);
        }
    }

    TEdges r{0, 0, W, H};
    if (button_style_ == bsStdButton) {
        if (d == 1) {
            // Held down on the key: flat.
            const QColor shadow = System_Color(TSystem_Color::Btn_Shadow);
            const QColor face = System_Color(TSystem_Color::Btn_Face);
            Frame_3D(p, r, shadow, shadow);
            Frame_3D(p, r, face, face);
        } else {
            Frame_3D(p, r, System_Color(TSystem_Color::Light_3D), System_Color(TSystem_Color::Dk_Shadow_3D));
            Frame_3D(p, r, System_Color(TSystem_Color::Btn_Highlight), System_Color(TSystem_Color::Btn_Shadow));
        }
    } else {
        r.Shrink(d);
    }

    if (focus_style_ == bfsStdButton && hasFocus()) {
        r.Shrink(2);
        Invert_Dotted_Frame(p, r);
    }
}

// ---- Pressed look -----------------------------------------------------------------

void TPictureButton::Set_Bevel(bool pressed) {
    Set_Bevel(pressed, !pressed && button_style_ == bsIELike && Mouse_In());
}

void TPictureButton::Set_Bevel(bool pressed, bool pointer_inside) {
    switch (button_style_) {
        case bsNone:
            Set_Bevel_Outer(pressed ? bvLowered : bvNone);
            break;
        case bsLowered:
            Set_Bevel_Inner(pressed ? bvLowered : bvNone);
            break;
        case bsRaised:
            Set_Bevel_Outer(pressed ? bvLowered : bvRaised);
            break;
        case bsFrame:
            Set_Bevel_Outer(pressed ? bvNone : bvRaised);
            break;
        case bsGroove:
            Set_Bevel_Inner(pressed ? bvNone : bvRaised);
            break;
        case bsIELike:
            Set_Bevel_Outer(pressed ? bvLowered : (pointer_inside ? bvRaised : bvNone));
            break;
        case bsSpBtnLike:
            if (pressed)
                Set_Bevel_Outer(bvLowered);
            else
                Set_Bevel_Outer(bevel_outer_ == bvRaised ? bvNone : bvRaised);
            break;
        case bsStdButton:
            break;
    }
}

bool TPictureButton::Mouse_In() const { return rect().contains(mapFromGlobal(QCursor::pos())); }

// The outside offset only means something while pressed, so it drops with the
// pressed flag: the draw offset stays 0 or 1 whichever way a press ends.
void TPictureButton::Release_Press() {
    pressed_ = 0;
    outside_offset_ = 0;
    Set_Bevel(false);
}

void TPictureButton::Cancel_Press() {
    mouse_held_ = false;
    if (pressed_ == 0 && outside_offset_ == 0) return;
    Release_Press();
    update();
}

void TPictureButton::Click() {
    Release_Press();
    update();
    emit Clicked();
}

// ---- Pointer -----------------------------------------------------------------------

void TPictureButton::Mouse_Enter(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y) {
    emit Mouse_Entered(buttons, modifiers, x, y);
    switch (button_style_) {
        case bsIELike:
        case bsSpBtnLike:
            Set_Bevel_Outer(buttons.testFlag(Qt::LeftButton) ? bvLowered : bvRaised);
            outside_offset_ = 0;
            repaint();
            break;
        case bsStdButton:
            if (mouse_held_) {
                outside_offset_ = 0;
                repaint();
            }
            break;
        default:
            break;
    }
    if (color_change_) Set_Face_Color(in_color_);
}

void TPictureButton::Mouse_Leave(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y) {
    emit Mouse_Left(buttons, modifiers, x, y);
    switch (button_style_) {
        case bsIELike:
        case bsSpBtnLike:
        case bsStdButton:
            if (button_style_ == bsIELike) Set_Bevel_Outer(bvNone);
            if (button_style_ == bsSpBtnLike) Set_Bevel_Outer(buttons.testFlag(Qt::LeftButton) ? bvRaised : bvNone);
            outside_offset_ = -pressed_;
            repaint();
            break;
        default:
            break;
    }
    if (color_change_) Set_Face_Color(out_color_);
}

// While a button holds the key, Qt delivers every move to it but no enter or
// leave events, so crossings are found here from the move positions. Both
// paths go through pointer_inside_, so each crossing is reported once.
void TPictureButton::Track_Pointer(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    const bool inside = rect().contains(pos);
    if (inside == pointer_inside_) return;
    pointer_inside_ = inside;
    if (inside)
        Mouse_Enter(buttons, modifiers, pos.x(), pos.y());
    else
        Mouse_Leave(buttons, modifiers, pos.x(), pos.y());
}

void TPictureButton::enterEvent(QEnterEvent* e) {
    if (pointer_inside_) return;
    pointer_inside_ = true;
    const QPoint pos = e->position().toPoint();
    Mouse_Enter(QGuiApplication::mouseButtons(), QGuiApplication::queryKeyboardModifiers(), pos.x(), pos.y());
}

void TPictureButton::leaveEvent(QEvent*) {
    if (!pointer_inside_) return;
    pointer_inside_ = false;
    const QPoint pos = mapFromGlobal(QCursor::pos());
    Mouse_Leave(QGuiApplication::mouseButtons(), QGuiApplication::queryKeyboardModifiers(), pos.x(), pos.y());
}

void TPictureButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    mouse_held_ = true;
    pointer_inside_ = true;
    Set_Bevel(true);
    pressed_ = 1;
    repaint();
    e->accept();
}

void TPictureButton::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() != Qt::NoButton) Track_Pointer(e->position().toPoint(), e->buttons(), e->modifiers());
    e->accept();
}

void TPictureButton::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !mouse_held_) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    const QPoint pos = e->position().toPoint();
    // A release can arrive without the moves that led there.
    Track_Pointer(pos, e->buttons() | Qt::LeftButton, e->modifiers());
    mouse_held_ = false;
    const bool over = rect().contains(pos);
    e->accept();

    // A click handler may delete the key (it should use deleteLater()).
    const QPointer<TPictureButton> alive(this);
    TFinally release([this, alive, over] {
        if (!alive) return;
        pressed_ = 0;
        outside_offset_ = 0;
        Set_Bevel(false, over);
        repaint();
    });
    if (over) Click();
}

// ---- Keyboard and focus ---------------------------------------------------------------

void TPictureButton::keyPressEvent(QKeyEvent* e) {
    if (!isEnabled()) {
        QWidget::keyPressEvent(e);
        return;
    }
    switch (e->key()) {
        case Qt::Key_Space:
            // Auto-repeat finds the key already pressed and changes nothing.
            if (pressed_ == 0) {
                pressed_ = 1;
                Set_Bevel(true);
                update();
            }
            e->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            Set_Bevel(true);
            pressed_ = 1;
            update();
            const QPointer<TPictureButton> alive(this);
            TFinally release([this, alive] {
                if (!alive) return;
                Release_Press();
                update();
            });
            e->accept();
            Click();
            return;
        }
        default:
            if (pressed_ != 0) {
                Release_Press();
                update();
            }
            QWidget::keyPressEvent(e);
            return;
    }
}

void TPictureButton::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() != Qt::Key_Space) {
        QWidget::keyReleaseEvent(e);
        return;
    }
    e->accept();
    // Auto-repeat sends a release before each repeated press; only the real
    // release ends the press.
    if (e->isAutoRepeat() || pressed_ == 0) return;
    Release_Press();
    update();
    const QPointer<TPictureButton> alive(this);
    TFinally repaint_later([this, alive] {
        if (alive) update();
    });
    Click();
}

void TPictureButton::focusInEvent(QFocusEvent*) {
    update();
    emit Enter();
}

void TPictureButton::focusOutEvent(QFocusEvent*) {
    // The release of a Space that holds the key now goes to another widget.
    if (!mouse_held_) Cancel_Press();
    update();
    emit Exit();
}

void TPictureButton::hideEvent(QHideEvent* e) {
    Cancel_Press();
    pointer_inside_ = false;
    QWidget::hideEvent(e);
}

void TPictureButton::changeEvent(QEvent* e) {
    // A disabled key receives no release: drop a press in progress.
    if (e->type() == QEvent::EnabledChange && !isEnabled()) Cancel_Press();
    QWidget::changeEvent(e);
}

// ---- Accelerator ------------------------------------------------------------------------

void TPictureButton::Update_Accelerator() {
    if (accelerator_id_ != 0) {
        releaseShortcut(accelerator_id_);
        accelerator_id_ = 0;
    }
    const QKeySequence accelerator = QKeySequence::mnemonic(caption_);
    if (!accelerator.isEmpty()) accelerator_id_ = grabShortcut(accelerator);
}

// Qt offers a widget's shortcut only while the widget is enabled and visible
// (so its parents are shown too) in the active window; otherwise the key
// press goes on to whoever else wants it. Arriving here means the key may click.
bool TPictureButton::event(QEvent* e) {
    if (e->type() == QEvent::Shortcut) {
        auto* shortcut = static_cast<QShortcutEvent*>(e);
        if (accelerator_id_ != 0 && shortcut->shortcutId() == accelerator_id_) {
            Click();
            return true;
        }
    }
    return QWidget::event(e);
}

}  // namespace qev
