// SPDX-License-Identifier: MIT
#include "image_ops.h"

#include <QColorSpace>

namespace velloran::convert {

QImage toSrgb(const QImage& image) {
    const QColorSpace srgb(QColorSpace::SRgb);
    if (!image.colorSpace().isValid() || image.colorSpace() == srgb)
        return image;
    QImage converted = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                     : QImage::Format_RGB32);
    converted.convertToColorSpace(srgb);
    return converted;
}

QImage flattenOntoWhite(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    // With premultiplied colour, "over white" is simply colour + (255 - alpha) per channel.
    QImage flat = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < flat.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(flat.scanLine(y));
        for (int x = 0; x < flat.width(); ++x) {
            const QRgb pixel = line[x];
            const int white = 255 - qAlpha(pixel);
            line[x] = qRgb(qRed(pixel) + white, qGreen(pixel) + white, qBlue(pixel) + white);
        }
    }
    // Every pixel is opaque now, so the same bytes are valid RGB32.
    flat.reinterpretAsFormat(QImage::Format_RGB32);
    return flat;
}

QImage shrinkToFit(const QImage& image, int maxSide) {
    if (image.width() <= maxSide && image.height() <= maxSide)
        return image;
    const QSize size =
        image.size().scaled(maxSide, maxSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace velloran::convert
