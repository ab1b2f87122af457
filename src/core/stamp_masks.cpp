// SPDX-License-Identifier: MIT
#include "core/stamp_masks.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace {

QImage EmptyMask(QSize size) {
    QImage mask(size, QImage::Format_Alpha8);
    mask.fill(0);
    return mask;
}

// Three passes of a box blur of `radius` along rows, then along columns, approximate a
// Gaussian; values outside the buffer count as zero.
void BoxBlur(std::vector<uchar>& alpha, int width, int height, int radius) {
    std::vector<int> line;
    const int window = 2 * radius + 1;
    const auto pass = [&](int count, int length, auto at) {
        line.resize(static_cast<size_t>(length));
        for (int k = 0; k < count; ++k) {
            for (int round = 0; round < 3; ++round) {
                for (int i = 0; i < length; ++i) {
                    line[static_cast<size_t>(i)] = at(k, i);
                }
                int sum = 0;
                for (int i = 0; i < std::min(radius, length); ++i) {
                    sum += line[static_cast<size_t>(i)];
                }
                for (int i = 0; i < length; ++i) {
                    if (i + radius < length) {
                        sum += line[static_cast<size_t>(i + radius)];
                    }
                    if (i - radius - 1 >= 0) {
                        sum -= line[static_cast<size_t>(i - radius - 1)];
                    }
                    // An average of bytes is a byte: the buffer stays one byte a pixel.
                    at(k, i) = static_cast<uchar>((sum + window / 2) / window);
                }
            }
        }
    };
    const auto index = [width](int x, int y) {
        return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    };
    pass(height, width, [&](int row, int i) -> uchar& { return alpha[index(i, row)]; });
    pass(width, height, [&](int column, int i) -> uchar& { return alpha[index(column, i)]; });
}

// Below this width the outline is stroked as a path; wider, the stroker costs several times
// the glyphs' own filling, and the outline is the glyphs' coverage spread over a disc...
constexpr double kStrokedOutlineBelow = 2;
// ...unless spreading, whose cost is the width times the area, would take longer than the
// stroker (an outline of many ems): about a tenth of a second.
constexpr double kMostSpreadWork = 2e8;

// The largest coverage within `radius` of each pixel: the glyphs' coverage spread over a
// disc, which keeps their anti-aliased edge. A disc is, row by row, a centred run of
// pixels; the maximum over a run of half-width k comes from the one of k - 1 in two shifted
// reads, so the cost is the radius times the area, in loops over plain bytes.
QImage Dilated(const QImage& mask, double radius) {
    const int width = mask.width();
    const int height = mask.height();
    const int reach = static_cast<int>(std::floor(radius));
    std::vector<int> half(static_cast<size_t>(reach) + 1);
    for (int dy = 0; dy <= reach; ++dy) {
        half[static_cast<size_t>(dy)] =
            static_cast<int>(std::floor(std::sqrt(radius * radius - double(dy) * dy)));
    }
    const size_t area = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uchar> runs(area);
    std::vector<uchar> wider(area);
    std::vector<uchar> spread(area, 0);
    for (int y = 0; y < height; ++y) {
        const uchar* row = mask.constScanLine(y);
        std::copy(row, row + width, runs.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    const auto at = [width](int x, int y) {
        return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    };
    for (int k = 0; k <= reach; ++k) {
        if (k > 0) {
            for (int y = 0; y < height; ++y) {
                const uchar* from = runs.data() + at(0, y);
                uchar* to = wider.data() + at(0, y);
                // Branch-free inner loops, so the compiler can take many bytes at once.
                to[0] = width > 1 ? from[1] : 0;
                for (int x = 1; x + 1 < width; ++x) {
                    to[x] = std::max(from[x - 1], from[x + 1]);
                }
                if (width > 1) {
                    to[width - 1] = from[width - 2];
                }
                if (k == 1) {
                    for (int x = 0; x < width; ++x) {
                        to[x] = std::max(to[x], from[x]);
                    }
                }
            }
            std::swap(runs, wider);
        }
        for (int dy = 0; dy <= reach; ++dy) {
            if (half[static_cast<size_t>(dy)] != k) {
                continue;
            }
            for (int y = 0; y < height; ++y) {
                uchar* to = spread.data() + at(0, y);
                for (const int source : {y - dy, y + dy}) {
                    if (source < 0 || source >= height) {
                        continue;
                    }
                    const uchar* from = runs.data() + at(0, source);
                    for (int x = 0; x < width; ++x) {
                        to[x] = std::max(to[x], from[x]);
                    }
                }
            }
        }
    }
    QImage dilated(mask.size(), QImage::Format_Alpha8);
    for (int y = 0; y < height; ++y) {
        std::copy(spread.begin() + static_cast<std::ptrdiff_t>(at(0, y)),
                  spread.begin() + static_cast<std::ptrdiff_t>(at(0, y)) + width,
                  dilated.scanLine(y));
    }
    return dilated;
}

// The coverage of some glyphs and of their outline, in a rectangle of whole pixels.
struct Coverage {
    QRect area;
    QImage glyphs;
    QImage outline;
};

Coverage Rasterise(const QPainterPath& glyphs, double outline) {
    Coverage coverage;
    // One pixel more on every side for the anti-aliased edge.
    const double reach = outline + 1;
    coverage.area = glyphs.boundingRect().adjusted(-reach, -reach, reach, reach).toAlignedRect();
    if (coverage.area.isEmpty() || glyphs.isEmpty()) {
        return coverage;
    }
    // Qt fills a path into 32-bit pixels in half the time it takes for 8-bit ones, so the
    // coverage is drawn there and its alpha taken out.
    const auto paint = [&](QImage& mask, const QPen& pen) {
        QImage drawn(coverage.area.size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        {
            QPainter painter(&drawn);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(-QPointF(coverage.area.topLeft()));
            painter.setPen(pen);
            painter.setBrush(Qt::black);
            painter.drawPath(glyphs);
        }
        const int width = drawn.width();
        for (int y = 0; y < drawn.height(); ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
            uchar* to = mask.scanLine(y);
            for (int x = 0; x < width; ++x) {
                to[x] = static_cast<uchar>(qAlpha(from[x]));
            }
        }
    };
    coverage.glyphs = EmptyMask(coverage.area.size());
    paint(coverage.glyphs, Qt::NoPen);
    const double spreadWork = outline * coverage.area.width() * coverage.area.height();
    if (outline >= kStrokedOutlineBelow && spreadWork <= kMostSpreadWork) {
        coverage.outline = Dilated(coverage.glyphs, outline);
    } else if (outline > 0) {
        coverage.outline = EmptyMask(coverage.area.size());
        paint(coverage.outline,
              QPen(Qt::black, 2 * outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    return coverage;
}

// Glyph positions are kept to a quarter pixel: closer than the eye sees, few enough that
// the digits of dates and counters are drawn once each.
constexpr int kGlyphSteps = 4;
// The glyphs kept on one thread, at most: all are let go when more are held.
constexpr qint64 kMostGlyphBytes = 32 << 20;

struct GlyphKey {
    QString font;
    quint32 index;
    double scale;
    double outline;
    int stepX;
    int stepY;
    bool operator<(const GlyphKey& other) const {
        return std::tie(font, index, scale, outline, stepX, stepY) <
               std::tie(other.font, other.index, other.scale, other.outline, other.stepX,
                        other.stepY);
    }
};

// Each glyph's coverage is drawn once per thread and size; a text is then put together
// from them, so a run whose texts differ from picture to picture (names, dates, counters)
// draws only the glyphs it has not met yet.
Coverage Compose(const StampText& text, double outline) {
    thread_local std::map<GlyphKey, Coverage> kept;
    thread_local qint64 keptBytes = 0;
    if (keptBytes > kMostGlyphBytes) {
        kept.clear();
        keptBytes = 0;
    }
    std::vector<std::pair<QPoint, const Coverage*>> placed;
    QRect area;
    for (const PlacedGlyph& glyph : text.glyphs) {
        QPoint whole(static_cast<int>(std::floor(glyph.position.x())),
                     static_cast<int>(std::floor(glyph.position.y())));
        int stepX = static_cast<int>(std::lround((glyph.position.x() - whole.x()) * kGlyphSteps));
        int stepY = static_cast<int>(std::lround((glyph.position.y() - whole.y()) * kGlyphSteps));
        if (stepX == kGlyphSteps) {
            stepX = 0;
            whole.rx() += 1;
        }
        if (stepY == kGlyphSteps) {
            stepY = 0;
            whole.ry() += 1;
        }
        const QRawFont& font = glyph.font;
        const GlyphKey key{font.familyName() + QLatin1Char('\n') + font.styleName() +
                               QLatin1Char('\n') + QString::number(font.weight()) +
                               QLatin1Char('\n') + QString::number(int(font.style())) +
                               QLatin1Char('\n') + QString::number(font.pixelSize()),
                           glyph.index, text.scale, outline, stepX, stepY};
        auto found = kept.find(key);
        if (found == kept.end()) {
            QTransform toPixels;
            toPixels.translate(double(stepX) / kGlyphSteps, double(stepY) / kGlyphSteps);
            toPixels.scale(text.scale, text.scale);
            Coverage coverage = Rasterise(toPixels.map(font.pathForGlyph(glyph.index)), outline);
            keptBytes += 2 * qint64(coverage.area.width()) * coverage.area.height();
            found = kept.emplace(key, std::move(coverage)).first;
        }
        if (!found->second.glyphs.isNull()) {
            placed.emplace_back(whole, &found->second);
            area |= found->second.area.translated(whole);
        }
    }
    Coverage coverage;
    coverage.area = area;
    if (area.isEmpty()) {
        return coverage;
    }
    coverage.glyphs = EmptyMask(area.size());
    if (outline > 0) {
        coverage.outline = EmptyMask(area.size());
    }
    for (const auto& [whole, part] : placed) {
        const QPoint at = part->area.topLeft() + whole - area.topLeft();
        for (int y = 0; y < part->area.height(); ++y) {
            const uchar* glyphRow = part->glyphs.constScanLine(y);
            uchar* glyphTo = coverage.glyphs.scanLine(at.y() + y) + at.x();
            // Glyphs that overlap cover at least as much as the two together.
            for (int x = 0; x < part->area.width(); ++x) {
                glyphTo[x] = static_cast<uchar>(std::min(255, glyphTo[x] + glyphRow[x]));
            }
            if (outline > 0) {
                const uchar* outlineRow = part->outline.constScanLine(y);
                uchar* outlineTo = coverage.outline.scanLine(at.y() + y) + at.x();
                for (int x = 0; x < part->area.width(); ++x) {
                    outlineTo[x] = std::max(outlineTo[x], outlineRow[x]);
                }
            }
        }
    }
    return coverage;
}

StampMasks Render(const MaskRecipe& recipe, const StampText& text) {
    StampMasks masks;
    Coverage coverage = text.glyphs.isEmpty() ? Rasterise(text.path, recipe.outline)
                                              : Compose(text, recipe.outline);
    masks.textArea = coverage.area;
    masks.glyphs = std::move(coverage.glyphs);
    masks.outline = std::move(coverage.outline);
    if (masks.glyphs.isNull()) {
        return masks;
    }
    if (!recipe.shadow) {
        return masks;
    }
    const QImage& shape = masks.outline.isNull() ? masks.glyphs : masks.outline;
    const int spread = 3 * recipe.blurRadius + 1;
    masks.shadowArea = masks.textArea.translated(recipe.shadowOffset)
                           .adjusted(-spread, -spread, spread, spread);
    const int width = masks.shadowArea.width();
    const int height = masks.shadowArea.height();
    std::vector<uchar> alpha(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < shape.height(); ++y) {
        const uchar* row = shape.constScanLine(y);
        std::copy(row, row + shape.width(),
                  alpha.begin() + static_cast<std::ptrdiff_t>(y + spread) * width + spread);
    }
    BoxBlur(alpha, width, height, recipe.blurRadius);
    masks.shadow = EmptyMask(masks.shadowArea.size());
    for (int y = 0; y < height; ++y) {
        uchar* row = masks.shadow.scanLine(y);
        const auto start = alpha.begin() + static_cast<std::ptrdiff_t>(y) * width;
        std::copy(start, start + width, row);
    }
    return masks;
}

// Weights are in 255ths of 255ths: 65025 is all.
constexpr int kWhole = 255 * 255;

int Mix(int first, int firstWeight, int second, int secondWeight, int under, int underWeight) {
    return (first * firstWeight + second * secondWeight + under * underWeight + kWhole / 2) /
           kWhole;
}

}  // namespace

const StampMasks& MasksFor(const MaskRecipe& recipe, const std::function<StampText()>& text) {
    // One recipe per thread: a run over pictures of one size and one text draws its text
    // once; the masks are at most three bytes per pixel of a picture's stamp.
    thread_local std::optional<std::pair<MaskRecipe, StampMasks>> last;
    if (!last || !(last->first == recipe)) {
        last.reset();
        last.emplace(recipe, Render(recipe, text()));
    }
    return last->second;
}

void BlendMask(QImage& picture, QPoint anchor, QRect area, const QImage& mask, QRgb color) {
    if (mask.isNull()) {
        return;
    }
    const QRect target = area.translated(anchor).intersected(picture.rect());
    const int alpha = qAlpha(color);
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const uchar* coverage = mask.constScanLine(y - anchor.y() - area.top());
        for (int x = target.left(); x <= target.right(); ++x) {
            const int c = coverage[x - anchor.x() - area.left()];
            if (c == 0) {
                continue;
            }
            const int a = alpha * c;
            const QRgb under = row[x];
            row[x] = qRgb(Mix(qRed(color), a, 0, 0, qRed(under), kWhole - a),
                          Mix(qGreen(color), a, 0, 0, qGreen(under), kWhole - a),
                          Mix(qBlue(color), a, 0, 0, qBlue(under), kWhole - a));
        }
    }
}

void BlendText(QImage& picture, QPoint anchor, const StampMasks& masks, QRgb text, QRgb outline) {
    if (masks.glyphs.isNull()) {
        return;
    }
    const QRect area = masks.textArea;
    const QRect target = area.translated(anchor).intersected(picture.rect());
    const int textAlpha = qAlpha(text);
    const int outlineAlpha = qAlpha(outline);
    const bool outlined = !masks.outline.isNull();
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const int maskY = y - anchor.y() - area.top();
        const uchar* glyphRow = masks.glyphs.constScanLine(maskY);
        const uchar* outlineRow = outlined ? masks.outline.constScanLine(maskY) : nullptr;
        for (int x = target.left(); x <= target.right(); ++x) {
            const int maskX = x - anchor.x() - area.left();
            const int g = glyphRow[maskX];
            const int o = outlined ? outlineRow[maskX] : 0;
            if (g == 0 && o == 0) {
                continue;
            }
            // The glyphs take their coverage's share of the outline's place.
            const int t = textAlpha * g;
            const int r = outlineAlpha * o * (255 - g) / 255;
            const int keep = kWhole - t - r;
            const QRgb under = row[x];
            row[x] = qRgb(Mix(qRed(text), t, qRed(outline), r, qRed(under), keep),
                          Mix(qGreen(text), t, qGreen(outline), r, qGreen(under), keep),
                          Mix(qBlue(text), t, qBlue(outline), r, qBlue(under), keep));
        }
    }
}
