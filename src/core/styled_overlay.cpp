// SPDX-License-Identifier: MIT
#include "core/styled_overlay.h"

#include "core/auto_text_color.h"
#include "core/overlay_text.h"
#include "core/stamp_masks.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QTextLayout>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Text is laid out once at this pixel size and scaled to the size each picture needs, so
// the glyphs' shapes and the block's proportions are the same on every picture.
constexpr double kReferenceEm = 256;

constexpr double kDefaultOutlineEm = 0.06;
// The outline an automatic colour adds on its own: enough to separate the glyphs from a
// busy background without changing the stamp's look.
constexpr double kThinOutlineEm = 0.04;
constexpr double kDefaultShadowEm = 0.06;
constexpr double kDefaultPaddingEm = 0.3;
constexpr int kShadowAlpha = 0xB3;
constexpr int kBoxAlpha = 0x99;
// Below this WCAG 2 ratio text is not reliably readable (level AA for normal text).
constexpr double kReadableContrast = 4.5;
constexpr double kMaxMarginShare = 0.25;

// The window's margins inside the picture, in pixels: 10 twips left and top, 70 and 30
// twips right and bottom less the canvas's one-pixel frame.
constexpr double kWindowLeft = 10.0 / Canvas::kTwipsPerPixel;
constexpr double kWindowTop = 10.0 / Canvas::kTwipsPerPixel;
constexpr double kWindowRight = (70.0 - 2 * Canvas::kFrameTwips) / Canvas::kTwipsPerPixel;
constexpr double kWindowBottom = (30.0 - 2 * Canvas::kFrameTwips) / Canvas::kTwipsPerPixel;

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

// Where a position puts the stamp across and down: near edge, far edge or middle.
enum class Side { Near, Far, Middle };
struct Anchor {
    Side across;
    Side down;
};

std::optional<Anchor> AnchorOf(const QString& position) {
    using namespace stamp_position;
    const struct {
        const char16_t* name;
        Anchor anchor;
    } anchors[] = {
        {kUpperLeft, {Side::Near, Side::Near}},      {kUpperRight, {Side::Far, Side::Near}},
        {kLowerLeft, {Side::Near, Side::Far}},       {kLowerRight, {Side::Far, Side::Far}},
        {kCenterTop, {Side::Middle, Side::Near}},    {kCenterLeft, {Side::Near, Side::Middle}},
        {kCenterRight, {Side::Far, Side::Middle}},   {kCenterBottom, {Side::Middle, Side::Far}},
        {kCenter, {Side::Middle, Side::Middle}},
    };
    for (const auto& entry : anchors) {
        if (position == QStringView(entry.name)) {
            return entry.anchor;
        }
    }
    return std::nullopt;
}

QRgb WithAlpha(QRgb color, int alpha) {
    return qRgba(qRed(color), qGreen(color), qBlue(color), alpha);
}

// White or black, whichever stands out more from `color`.
QRgb Opposite(QRgb color) {
    const double luminance = RelativeLuminance(color);
    return ContrastRatio(luminance, 1) >= ContrastRatio(luminance, 0) ? kWhite : kBlack;
}

QRectF Scaled(const QRectF& rect, double factor) {
    return QRectF(rect.x() * factor, rect.y() * factor, rect.width() * factor,
                  rect.height() * factor);
}

// The text's glyphs and its layout box at the reference size, the first line's top at 0:
// as one path, and as single glyphs unless the font draws lines that are not glyphs.
struct TextShape {
    QPainterPath glyphs;
    QList<PlacedGlyph> placed;
    QRectF layout;
    double capHeight = 0;
};

// The glyphs of `line` as Qt shapes them, the baseline at `baseline`.
void PlaceGlyphs(const QFont& font, const QString& line, double baseline,
                 QList<PlacedGlyph>& placed) {
    QTextLayout layout(line, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (!textLine.isValid()) {
        layout.endLayout();
        return;
    }
    textLine.setLineWidth(std::numeric_limits<int>::max() / 2);
    layout.endLayout();
    const double shift = baseline - (textLine.y() + textLine.ascent());
    const QList<QGlyphRun> runs = layout.glyphRuns();
    for (const QGlyphRun& run : runs) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            placed.append({raw, indexes.at(i), positions.at(i) + QPointF(0, shift)});
        }
    }
}

TextShape ShapeText(QFont font, const QStringList& lines) {
    font.setPixelSize(static_cast<int>(kReferenceEm));
    const QFontMetricsF metrics(font);
    TextShape shape;
    double widest = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double baseline = metrics.ascent() + metrics.lineSpacing() * static_cast<double>(i);
        shape.glyphs.addText(QPointF(0, baseline), font, lines.at(i));
        if (!font.underline() && !font.strikeOut()) {
            PlaceGlyphs(font, lines.at(i), baseline, shape.placed);
        }
        widest = std::max(widest, metrics.horizontalAdvance(lines.at(i)));
    }
    shape.layout = QRectF(0, 0, widest, metrics.lineSpacing() * static_cast<double>(lines.size()));
    // The height of "H" is what the eye reads as the text's size (without an underline or
    // strike-out line, which would count as part of it); a font without one falls back to
    // its declared cap height, then to most of its ascent.
    QFont letters = font;
    letters.setUnderline(false);
    letters.setStrikeOut(false);
    QPainterPath capital;
    capital.addText(QPointF(0, 0), letters, QStringLiteral("H"));
    shape.capHeight = capital.boundingRect().height();
    if (shape.capHeight <= 0) {
        shape.capHeight = metrics.capHeight() > 0 ? metrics.capHeight() : metrics.ascent() * 0.7;
    }
    return shape;
}

// Every extent of one stamp in pixels, relative to the text's origin (its first line's top
// left), for one text size.
struct Geometry {
    double em = 0;
    double outline = 0;
    double shadowOffset = 0;
    double padding = 0;
    bool box = false;
    bool shadow = false;
    QRectF text;   // layout box and ink together
    QRectF drawn;  // the glyphs with their outline
    QRectF boxRect;
    QRectF frame;  // everything drawn

    // The shadow's blur radius of each of the three box-blur passes, and how far it
    // spreads beyond the shape.
    int BlurRadius() const { return std::max(1, static_cast<int>(std::lround(shadowOffset / 3))); }
    double ShadowSpread() const { return 3.0 * BlurRadius() + 1; }

    void Frame() {
        drawn = text.adjusted(-outline, -outline, outline, outline);
        boxRect = box ? text.adjusted(-padding, -padding, padding, padding) : QRectF();
        frame = drawn | boxRect;
        if (shadow) {
            const double spread = ShadowSpread();
            frame |= drawn.translated(shadowOffset, shadowOffset)
                         .adjusted(-spread, -spread, spread, spread);
        }
    }
};

Geometry Measure(const TextShape& shape, double em, const StampStyle& style,
                 double shorterSide, double outline) {
    Geometry g;
    g.em = em;
    const double factor = em / kReferenceEm;
    g.text = Scaled(shape.layout | shape.glyphs.boundingRect(), factor);
    g.outline = outline;
    if (style.shadow) {
        g.shadow = true;
        g.shadowOffset = style.shadow->length
                             ? std::max(0.0, style.shadow->length->InPixels(shorterSide, em))
                             : std::max(1.0, kDefaultShadowEm * em);
    }
    if (style.box) {
        g.box = true;
        g.padding = style.box->length
                        ? std::max(0.0, style.box->length->InPixels(shorterSide, em))
                        : kDefaultPaddingEm * em;
    }
    g.Frame();
    return g;
}

// The same stamp `factor` times as large.
Geometry ScaledGeometry(Geometry g, double factor) {
    g.em *= factor;
    g.outline *= factor;
    g.shadowOffset *= factor;
    g.padding *= factor;
    g.text = Scaled(g.text, factor);
    g.Frame();
    return g;
}

double OutlineWidth(const StampStyle& style, double shorterSide, double em) {
    if (!style.outline) {
        return 0;
    }
    return style.outline->length
               ? std::max(0.0, style.outline->length->InPixels(shorterSide, em))
               : std::max(1.0, kDefaultOutlineEm * em);
}

struct Margins {
    double left, top, right, bottom;
};

Margins MarginsOf(const StampStyle& style, QSize picture, double em) {
    Margins m{kWindowLeft, kWindowTop, kWindowRight, kWindowBottom};
    if (style.margin) {
        const double each = std::max(0.0, style.margin->InPixels(std::min(picture.width(),
                                                                          picture.height()),
                                                                 em));
        m = {each, each, each, each};
    }
    const double across = picture.width() * kMaxMarginShare;
    const double down = picture.height() * kMaxMarginShare;
    return {std::min(m.left, across), std::min(m.top, down), std::min(m.right, across),
            std::min(m.bottom, down)};
}

// Shrinks the stamp until it fits the picture less its margins.
Geometry Fitted(const Geometry& g, QSize picture, const Margins& m) {
    const double roomAcross = picture.width() - m.left - m.right;
    const double roomDown = picture.height() - m.top - m.bottom;
    double factor = 1;
    if (g.frame.width() > roomAcross) {
        factor = std::min(factor, roomAcross / g.frame.width());
    }
    if (g.frame.height() > roomDown) {
        factor = std::min(factor, roomDown / g.frame.height());
    }
    if (factor >= 1) {
        return g;
    }
    // The shadow's blur radius is whole pixels: shrink a little more when rounding grew it.
    Geometry fitted = ScaledGeometry(g, factor);
    for (int attempt = 0; attempt < 4 && (fitted.frame.width() > roomAcross ||
                                          fitted.frame.height() > roomDown);
         ++attempt) {
        factor *= 0.95;
        fitted = ScaledGeometry(g, factor);
    }
    return fitted;
}

// Where the text's origin goes so the frame sits at the anchor, inside the picture.
QPointF Place(const Geometry& g, QSize picture, const Margins& m, Anchor anchor) {
    const auto along = [](Side side, double size, double nearMargin, double farMargin,
                          double low, double high) {
        double origin = 0;
        switch (side) {
        case Side::Near:
            origin = nearMargin - low;
            break;
        case Side::Far:
            origin = size - farMargin - high;
            break;
        case Side::Middle:
            origin = size / 2 - (low + high) / 2;
            break;
        }
        // A whole-pixel baseline keeps horizontal edges crisp, when that stays inside.
        const double rounded = std::round(origin);
        if (rounded + low >= 0 && rounded + high <= size) {
            origin = rounded;
        }
        return std::clamp(origin, -low, std::max(-low, size - high));
    };
    return {along(anchor.across, picture.width(), m.left, m.right, g.frame.left(),
                  g.frame.right()),
            along(anchor.down, picture.height(), m.top, m.bottom, g.frame.top(),
                  g.frame.bottom())};
}

// The stamp's size, place and geometry on a picture of `size`, before any colour is
// chosen.
struct Layout {
    TextShape shape;
    double em = 0;
    double shorterSide = 0;
    Margins margins{};
    Geometry g;
    QPointF origin;
};

std::optional<Layout> LayOut(const Canvas& canvas, const QString& text, QSize size,
                             const StampStyle& style) {
    Layout layout;
    layout.shape = ShapeText(canvas.Font, text.split(QStringLiteral("\r\n")));
    layout.shorterSide = std::min(size.width(), size.height());
    // The window's point size is laid out at 96 DPI: 4/3 pixels per point.
    const double pointEm = canvas.Font.pixelSize() > 0 ? canvas.Font.pixelSize()
                                                       : canvas.Font.pointSizeF() * 96.0 / 72.0;
    layout.em = pointEm;
    if (style.size) {
        layout.em = style.size->InPixels(layout.shorterSide, pointEm) * kReferenceEm /
                    layout.shape.capHeight;
    }
    if (!std::isfinite(layout.em) || layout.em <= 0) {
        return std::nullopt;
    }
    layout.margins = MarginsOf(style, size, layout.em);
    return layout;
}

// Fits and places the stamp with an outline of `outline` pixels.
void Settle(Layout& layout, QSize size, const StampStyle& style, Anchor anchor, double outline) {
    layout.g = Fitted(Measure(layout.shape, layout.em, style, layout.shorterSide, outline), size,
                      layout.margins);
    layout.origin = Place(layout.g, size, layout.margins, anchor);
}

// Whether an automatic colour may add its thin outline, depending on the pixels.
bool MayAddThinOutline(const StampStyle& style) {
    return style.color && style.color->automatic && !style.outline && !style.box;
}

}  // namespace

QRect StyledStampExtent(const Canvas& canvas, const QString& text, const QString& position,
                        const StampStyle& style) {
    const std::optional<Anchor> anchor = AnchorOf(position);
    const QSize size = canvas.PictureSize();
    if (text.isEmpty() || !anchor || size.isEmpty()) {
        return QRect();
    }
    std::optional<Layout> layout = LayOut(canvas, text, size, style);
    if (!layout) {
        return QRect();
    }
    Settle(*layout, size, style, *anchor, OutlineWidth(style, layout->shorterSide, layout->em));
    // The masks are placed at whole pixels and antialiased: a pixel more on every side.
    QRect extent =
        layout->g.frame.translated(layout->origin).toAlignedRect().adjusted(-2, -2, 2, 2);
    if (MayAddThinOutline(style)) {
        Settle(*layout, size, style, *anchor, std::max(1.0, kThinOutlineEm * layout->em));
        extent |= layout->g.frame.translated(layout->origin).toAlignedRect().adjusted(-2, -2, 2, 2);
    }
    return extent.intersected(QRect(QPoint(0, 0), size));
}

void OverlayStyledText(Canvas& canvas, const QString& text, const QString& position,
                       const StampStyle& style) {
    const std::optional<Anchor> anchor = AnchorOf(position);
    QImage picture = canvas.Image();
    if (text.isEmpty() || !anchor || picture.isNull()) {
        return;
    }
    // The canvas holds RGB32 pictures; the blending below relies on it.
    if (picture.format() != QImage::Format_RGB32) {
        picture = picture.convertToFormat(QImage::Format_RGB32);
    }
    // The canvas may hold a tile of the picture: everything is placed on the whole picture
    // and drawn shifted by the tile's origin.
    const QSize size = canvas.PictureSize();
    const QPoint tileOrigin = canvas.TileOrigin();
    std::optional<Layout> layout = LayOut(canvas, text, size, style);
    if (!layout) {
        return;
    }
    const TextShape& shape = layout->shape;
    const double em = layout->em;
    Settle(*layout, size, style, *anchor, OutlineWidth(style, layout->shorterSide, em));
    Geometry& g = layout->g;
    QPointF& origin = layout->origin;

    QRgb textColor = ColorFromBgr(canvas.ForeColor).rgba();
    QRgb other = Opposite(textColor);
    if (style.color && !style.color->automatic) {
        textColor = style.color->fixed;
        other = Opposite(textColor);
    } else if (style.color) {
        const QRgb cover = style.box && style.box->color ? *style.box->color : 0;
        const QRect behind = (g.box ? g.boxRect : g.text).translated(origin).toAlignedRect();
        const TextColorChoice choice =
            ChooseTextColor(picture, behind.translated(-tileOrigin), style.color->first,
                            style.color->second, cover);
        textColor = choice.text;
        other = choice.other;
        if (MayAddThinOutline(style) && choice.contrast < kReadableContrast) {
            // The thin outline makes the stamp a little larger: fit and place it again.
            Settle(*layout, size, style, *anchor, std::max(1.0, kThinOutlineEm * em));
        }
    }

    const QRgb outlineColor = style.outline && style.outline->color ? *style.outline->color
                                                                    : WithAlpha(other, 255);
    const QRgb shadowColor = style.shadow && style.shadow->color ? *style.shadow->color
                                                                 : WithAlpha(other, kShadowAlpha);
    const QRgb boxColor = style.box && style.box->color ? *style.box->color
                                                        : WithAlpha(other, kBoxAlpha);

    // The masks are drawn with the origin inside its pixel, then placed at that pixel.
    const QPoint anchorPixel(static_cast<int>(std::floor(origin.x())),
                             static_cast<int>(std::floor(origin.y())));
    MaskRecipe recipe;
    recipe.text = text;
    recipe.font = canvas.Font.toString();
    recipe.em = g.em;
    recipe.fraction = origin - QPointF(anchorPixel);
    recipe.outline = g.outline;
    if (g.shadow) {
        const int offset = static_cast<int>(std::lround(g.shadowOffset));
        recipe.shadow = true;
        recipe.shadowOffset = QPoint(offset, offset);
        recipe.blurRadius = g.BlurRadius();
    }
    const StampMasks& masks = MasksFor(recipe, [&] {
        const double scale = g.em / kReferenceEm;
        QTransform toPixels;
        toPixels.translate(recipe.fraction.x(), recipe.fraction.y());
        toPixels.scale(scale, scale);
        StampText pixels;
        pixels.scale = scale;
        pixels.path = toPixels.map(shape.glyphs);
        for (const PlacedGlyph& glyph : shape.placed) {
            pixels.glyphs.append({glyph.font, glyph.index, toPixels.map(glyph.position)});
        }
        return pixels;
    });

    // The canvas lets go of its picture so drawing does not copy it.
    canvas.ReleasePicture();
    if (g.box) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(g.boxRect.translated(origin - QPointF(tileOrigin)),
                         QColor::fromRgba(boxColor));
    }
    BlendMask(picture, anchorPixel - tileOrigin, masks.shadowArea, masks.shadow, shadowColor);
    BlendText(picture, anchorPixel - tileOrigin, masks, textColor, outlineColor);
    canvas.SetTile(std::move(picture), tileOrigin, size);
}
