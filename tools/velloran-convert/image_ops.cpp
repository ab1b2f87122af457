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

QImage shrinkToFit(const QImage& image, int maxSide) {
    if (image.width() <= maxSide && image.height() <= maxSide)
        return image;
    const QSize size =
        image.size().scaled(maxSide, maxSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace velloran::convert
