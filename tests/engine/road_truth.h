// SPDX-License-Identifier: MIT
#pragma once

// What a stamped copy must hold, worked out without the stamping road: libjpeg's own
// quantisation tables for a quality, and where the nine-position rule puts a stamp's ink,
// from the font's metrics alone. The road's tests compare the copies it writes with these,
// so a fault shared by every program that runs the road still shows.

#include "core/ink.h"

#include <QColor>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <optional>

#include <jpeglib.h>

namespace road_truth {

// Quantisation tables 0 (luma) and 1 (chroma), in natural order.
using QuantTables = std::array<std::array<int, DCTSIZE2>, 2>;

struct JpegJump {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
};

inline void JumpOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegJump*>(info->err)->jump, 1);
}

// The tables libjpeg itself picks for `quality` with baseline limits; it takes 0 as 1.
inline QuantTables LibjpegTables(int quality) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    info.in_color_space = JCS_RGB;
    info.input_components = 3;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    QuantTables tables{};
    for (int t = 0; t < 2; ++t) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            tables[t][k] = info.quant_tbl_ptrs[t]->quantval[k];
        }
    }
    jpeg_destroy_compress(&info);
    return tables;
}

// The libjpeg quality whose tables these are, for a failure's message; 0 for none.
inline int QualityOfTables(const QuantTables& tables) {
    for (int quality = 1; quality <= 100; ++quality) {
        if (LibjpegTables(quality) == tables) {
            return quality;
        }
    }
    return 0;
}

// The DQT tables 0 and 1 a JPEG file carries; none when it is no JPEG or lacks either.
inline std::optional<QuantTables> FileTables(const QString& path) {
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    jpeg_decompress_struct info{};
    JpegJump errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JumpOnError;
    std::optional<QuantTables> result;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_stdio_src(&info, file);
        jpeg_read_header(&info, TRUE);
        if (info.quant_tbl_ptrs[0] != nullptr && info.quant_tbl_ptrs[1] != nullptr) {
            QuantTables tables{};
            for (int t = 0; t < 2; ++t) {
                for (int k = 0; k < DCTSIZE2; ++k) {
                    tables[t][k] = info.quant_tbl_ptrs[t]->quantval[k];
                }
            }
            result = tables;
        }
    }
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return result;
}

// One stamp as a user chooses it.
struct Stamp {
    QString text;  // lines parted by CR LF
    QString position;
    QString family;
    double points = 0;
    bool bold = false;
    QColor color;
};

inline QFont FontOf(const Stamp& stamp) {
    QFont font(stamp.family);
    font.setPointSizeF(stamp.points);
    font.setBold(stamp.bold);
    return font;
}

// Where the glyphs of `stamp` go on a picture of `size` pixels, in pixels. The rule works
// in twips (15 to a pixel at 96 DPI) on a picture box with a one-pixel frame: 10 twips
// from the left and top, 70 from the right and 30 from the bottom of the outer box, or
// centred on the inner one. Texts placed as a whole start their later lines at x = 0;
// the others place each line at the block's x.
inline QRectF ExpectedInk(QSize size, const Stamp& stamp) {
    constexpr double kTwips = 15;
    const double innerW = size.width() * kTwips;
    const double innerH = size.height() * kTwips;
    const double outerW = innerW + 2 * kTwips;
    const double outerH = innerH + 2 * kTwips;
    const QFontMetricsF metrics = Metrics96(FontOf(stamp));
    const QStringList lines = stamp.text.split(QStringLiteral("\r\n"));
    double widest = 0;
    for (const QString& line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const double bw = widest * kTwips;
    const double lh = metrics.lineSpacing() * kTwips;
    const double bh = lh * double(lines.size());

    const double left = 10, top = 10;
    const double right = outerW - bw - 70, bottom = outerH - bh - 30;
    const double centreX = innerW / 2 - bw / 2, middleY = innerH / 2 - bh / 2;
    const QString& p = stamp.position;
    const double x = p.endsWith(QLatin1String("left"))    ? left
                     : p.endsWith(QLatin1String("right")) ? right
                                                          : centreX;
    const double y = p.startsWith(QLatin1String("Upper")) || p == QLatin1String("Center-top") ? top
                     : p.startsWith(QLatin1String("Lower")) || p == QLatin1String("Center-bottom")
                         ? bottom
                         : middleY;
    const bool whole = p.endsWith(QLatin1String("left"));

    QRectF ink;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double lineX = (whole && i > 0 ? 0 : x) / kTwips;
        const double baseline = (y + lh * double(i)) / kTwips + metrics.ascent();
        const QRectF glyphs = metrics.tightBoundingRect(lines.at(i));
        if (!glyphs.isEmpty()) {
            ink |= glyphs.translated(lineX, baseline);
        }
    }
    return ink;
}

inline int ChannelDistance(QRgb a, QColor b) {
    return std::max({std::abs(qRed(a) - b.red()), std::abs(qGreen(a) - b.green()),
                     std::abs(qBlue(a) - b.blue())});
}

// The box of the pixels that differ from a flat `background` by more than `threshold`
// in some channel; null when there are none.
inline QRect MeasuredInk(const QImage& copy, QColor background, int threshold) {
    const QImage image = copy.convertToFormat(QImage::Format_RGB32);
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (ChannelDistance(row[x], background) > threshold) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The largest distance, in pixels, between an edge of the measured ink (whole pixels)
// and the same edge of the expected glyph box.
inline double EdgeError(const QRect& measured, const QRectF& expected) {
    return std::max({std::abs(measured.left() - expected.left()),
                     std::abs(measured.right() + 1 - expected.right()),
                     std::abs(measured.top() - expected.top()),
                     std::abs(measured.bottom() + 1 - expected.bottom())});
}

// How many pixels inside `box` are within `tolerance` of `color` in every channel.
inline int PixelsNear(const QImage& copy, const QRect& box, QColor color, int tolerance) {
    const QImage image = copy.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    const QRect inside = box.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            count += ChannelDistance(row[x], color) <= tolerance ? 1 : 0;
        }
    }
    return count;
}

// The height of the family's capital letters at `points` on a 96-DPI picture, in pixels,
// from the font's own cap height.
inline double CapHeightPixels(const Stamp& stamp) {
    QFont font = FontOf(stamp);
    font.setPixelSize(1000);
    return Metrics96(font).capHeight() / 1000 * stamp.points * 96 / 72;
}

// The flat picture every placement is measured on, in each format the road writes its
// own way: a bitmap as it stands, PNG through the converter both ways, JPEG by the
// encoder. They declare 300 DPI, as camera files do, while a point stays 96/72 pixels.
// Returns the sources' paths.
inline const QColor kBackground(24, 64, 112);
inline const QSize kPictureSize(400, 220);
inline constexpr int kDpm300 = 11811;

inline QStringList WriteFlatSources(const QString& folder) {
    QImage picture(kPictureSize, QImage::Format_RGB32);
    picture.fill(kBackground);
    picture.setDotsPerMeterX(kDpm300);
    picture.setDotsPerMeterY(kDpm300);
    QStringList paths;
    for (const char* name : {"flat.bmp", "flat.png", "flat.jpg"}) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        if (picture.save(path, nullptr, 100)) {
            paths << path;
        }
    }
    return paths;
}

// Empty when the copy at `path` shows `stamp` where the placement rule puts it, in its
// colour and at its size; otherwise what is wrong. A pixel counts as ink when it is a
// third of the way from the background to the stamp's colour; JPEG copies are allowed
// their ringing and colour error.
inline QString StampFault(const QString& path, const Stamp& stamp) {
    const QImage copy(path);
    if (copy.isNull() || copy.size() != kPictureSize) {
        return QStringLiteral("%1: no picture of the source's size").arg(path);
    }
    const bool lossy = path.endsWith(QLatin1String(".jpg"));
    const int threshold = ChannelDistance(stamp.color.rgb(), kBackground) / 3;
    const QRect ink = MeasuredInk(copy, kBackground, threshold);
    const QRectF expected = ExpectedInk(kPictureSize, stamp);
    const auto box = [](const auto& r) {
        return QStringLiteral("(%1, %2)-(%3, %4)")
            .arg(r.left())
            .arg(r.top())
            .arg(r.left() + r.width())
            .arg(r.top() + r.height());
    };
    const double edgeTolerance = lossy ? 2.0 : 1.5;
    if (ink.isNull() || EdgeError(ink, expected) > edgeTolerance) {
        return QStringLiteral("%1: ink at %2, the rule puts the glyphs at %3")
            .arg(path, box(ink), box(expected));
    }
    // Fully inked pixels carry the colour itself.
    const int near = PixelsNear(copy, ink, stamp.color, lossy ? 28 : 0);
    const int wanted = std::max(8, int(ink.width() * ink.height() * (lossy ? 0.04 : 0.08)));
    if (near < wanted) {
        return QStringLiteral("%1: %2 pixels of the colour %3 in the ink, %4 expected")
            .arg(path)
            .arg(near)
            .arg(stamp.color.name())
            .arg(wanted);
    }
    return {};
}

// Empty when the capitals of `stamp` (a text of letters with flat tops and bottoms) stand
// in the copy as tall as the family's cap height at the point size; otherwise the sizes.
inline QString CapHeightFault(const QString& path, const Stamp& stamp) {
    const int threshold = ChannelDistance(stamp.color.rgb(), kBackground) / 3;
    const QRect ink = MeasuredInk(QImage(path), kBackground, threshold);
    const double expected = CapHeightPixels(stamp);
    if (std::abs(ink.height() - expected) <= 1.5) {
        return {};
    }
    return QStringLiteral("%1: capitals %2 px tall, %3 pt of %4 gives %5 px")
        .arg(path)
        .arg(ink.height())
        .arg(stamp.points)
        .arg(stamp.family)
        .arg(expected);
}

}  // namespace road_truth
