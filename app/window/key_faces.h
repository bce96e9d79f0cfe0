// The pictures painted on the remote-control keys.
//
// With see-through keys the background bitmap shows through every key: at
// full brightness on a disabled key, darkened on a live one. Pictures use
// black as their transparent colour, so black pixels let the key's face
// colour show. Without a usable bitmap a disabled key is the shadow colour
// and a live one the face colour at a quarter of its brightness: dark, so
// the live keys' yellow captions read on them (at least 9.8:1, whatever the
// face colour) and the live keys look darker, as over a bitmap.
#ifndef QEV_APP_WINDOW_KEY_FACES_H
#define QEV_APP_WINDOW_KEY_FACES_H

#include <QColor>
#include <QImage>
#include <QRect>

#include <cstdint>

namespace qev {

// Darkens one colour value (red in the lowest byte, then green, then blue, and
// a top byte kept as it is): each channel becomes half of itself, plus a
// quarter of itself when transparency_mode is non-zero, each part rounded down.
uint32_t Darken_Color_Value(uint32_t value, int32_t transparency_mode);

// Each channel of `color` at a quarter, rounded down; never black, which
// would be the pictures' transparent colour.
QColor Quarter_Brightness(QColor color);

// A picture of one colour.
QImage Solid_Picture(QSize size, QColor color);

// A key-sized black picture: fully transparent.
QImage Blank_Picture(QSize size);

// The part of `background` under `rect`; where the background does not reach,
// the copy is black.
QImage Copy_Background(const QImage& background, QRect rect);

// Picture of a live key: the face colour with see-through off; the darkened
// background under the key with see-through on; with see-through on and no
// background, the face colour at a quarter of its brightness.
QImage Enabled_Face(const QImage& background, QRect rect, bool see_through, int32_t transparency_mode,
                    QColor face_color);

// Picture of a disabled key: the background under the key, unchanged, with
// see-through on and a background; otherwise the shadow colour.
QImage Disabled_Face(const QImage& background, QRect rect, bool see_through, QColor shadow_color);

}  // namespace qev

#endif
