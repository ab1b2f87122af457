// SPDX-License-Identifier: MIT
#pragma once

// What the plane road's tests draw their sources from and measure copies by.

#include <QImage>
#include <QRect>

#include <cmath>
#include <cstdlib>

// A dark picture with detail in luma and chroma at every scale, so a road that moved or
// smeared anything shows, and white ink stands out everywhere.
inline QImage Scene(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int noise = (x * 7919 + y * 104729) % 23;
            image.setPixel(
                x, y, qRgb((x * 3 + noise) % 100, (y * 2 + 30) % 90, (50 + (x ^ y) + noise) % 110));
        }
    }
    return image;
}

// Squared luma and chroma differences over the pixels of `area` (or outside it).
inline double Psnr(const QImage& a, const QImage& b, const QRect& area, bool inside) {
    double sum = 0;
    qint64 count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (area.contains(x, y) != inside) {
                continue;
            }
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += double(d) * d;
            }
            count += 3;
        }
    }
    return count == 0 || sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(count) / sum);
}

// The bounding box of the pixels whose grey in `stamped` is more than `threshold` from
// `plain`'s: the stamp's ink.
inline QRect Ink(const QImage& stamped, const QImage& plain, int threshold) {
    QRect box;
    for (int y = 0; y < stamped.height(); ++y) {
        for (int x = 0; x < stamped.width(); ++x) {
            const bool differs =
                threshold == 0
                    ? stamped.pixel(x, y) != plain.pixel(x, y)
                    : std::abs(qGray(stamped.pixel(x, y)) - qGray(plain.pixel(x, y))) > threshold;
            if (differs) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}
