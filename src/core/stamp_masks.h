// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPoint>
#include <QPointF>
#include <QRawFont>
#include <QRect>
#include <QRgb>
#include <QString>

#include <functional>

// What a styled stamp's coverage depends on: the same recipe gives the same masks whatever
// the picture and the colours, so a run over pictures of one size rasterises its text once.
struct MaskRecipe {
    QString text;
    // The font's description (QFont::toString) and the em in pixels.
    QString font;
    double em = 0;
    // Where the text's origin falls inside its whole pixel.
    QPointF fraction;
    // The outline's width outside the glyphs in pixels; 0 for none.
    double outline = 0;
    bool shadow = false;
    QPoint shadowOffset;
    // Of each of the three box-blur passes.
    int blurRadius = 0;

    bool operator==(const MaskRecipe&) const = default;
};

// The coverage (0 none .. 255 full) of one stamp's parts, each in a rectangle of whole
// pixels relative to the pixel that holds the text's origin.
struct StampMasks {
    QRect textArea;
    // Format_Alpha8.
    QImage glyphs;
    // The glyphs with their outline, Format_Alpha8; null without an outline.
    QImage outline;
    QRect shadowArea;
    // The blurred shape of the outlined glyphs, Format_Alpha8; null without a shadow.
    QImage shadow;
};

// One glyph of a laid-out text: its font at the size the glyph is designed at, and where
// its origin lies in pixels.
struct PlacedGlyph {
    QRawFont font;
    quint32 index = 0;
    QPointF position;
};

// A text to draw, in pixels, the origin at the recipe's fraction: as glyphs (`scale` times
// the size of their fonts), which are drawn once each and kept, or as one path when the
// glyphs are empty (decorations such as an underline are not glyphs).
struct StampText {
    QPainterPath path;
    QList<PlacedGlyph> glyphs;
    double scale = 1;
};

// The masks of `recipe`. `text` is called only when this thread's last masks were of
// another recipe. The reference stays valid until this thread's next call.
const StampMasks& MasksFor(const MaskRecipe& recipe, const std::function<StampText()>& text);

// Blends `color` (0xAARRGGBB) onto `picture` (Format_RGB32) through `mask`, whose area is
// `area` moved by `anchor`; pixels outside the picture are left out.
void BlendMask(QImage& picture, QPoint anchor, QRect area, const QImage& mask, QRgb color);

// Blends the text and its outline onto `picture` (Format_RGB32) at `anchor`, as if the
// outline were drawn and the glyphs then replaced it where they cover it: a translucent
// text colour shows the picture through the glyphs, not the outline.
void BlendText(QImage& picture, QPoint anchor, const StampMasks& masks, QRgb text, QRgb outline);
