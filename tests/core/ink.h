// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cstdlib>

// Pixel helpers shared by the canvas and overlay tests.

// 96 dots per inch in dots per metre.
inline constexpr int kDpm96 = 3780;

// Font metrics at 96 DPI, the resolution stamps are laid out at.
inline QFontMetricsF Metrics96(const QFont& font) {
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(kDpm96);
    probe.setDotsPerMeterY(kDpm96);
    return QFontMetricsF(font, &probe);
}

// A plain picture at 96 DPI.
inline QImage PlainImage(int width, int height, QColor color = QColor(128, 128, 128)) {
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(kDpm96);
    image.setDotsPerMeterY(kDpm96);
    image.fill(color);
    return image;
}

// The bounding box of the pixels that differ between `after` and `before`, within
// `region` (the whole image when null). Null when nothing differs.
inline QRect InkBox(const QImage& after, const QImage& before, QRect region = QRect()) {
    const QImage a = after.convertToFormat(QImage::Format_RGB32);
    const QImage b = before.convertToFormat(QImage::Format_RGB32);
    region = region.isNull() ? a.rect() : region.intersected(a.rect());
    int left = a.width(), top = a.height(), right = -1, bottom = -1;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = region.left(); x <= region.right(); ++x) {
            if (pa[x] != pb[x]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Rows [top, top + height) across the whole image.
inline QRect Band(const QImage& image, double top, double height) {
    const int y0 = static_cast<int>(top + 0.5);
    const int y1 = static_cast<int>(top + height + 0.5);
    return QRect(0, y0, image.width(), y1 - y0);
}

// The largest difference of any colour channel between two images of one size.
inline int MaxChannelDifference(const QImage& first, const QImage& second) {
    const QImage a = first.convertToFormat(QImage::Format_RGB32);
    const QImage b = second.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            worst = std::max({worst, std::abs(qRed(pa[x]) - qRed(pb[x])),
                              std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                              std::abs(qBlue(pa[x]) - qBlue(pb[x]))});
        }
    }
    return worst;
}
