// SPDX-License-Identifier: MIT
#include "imageio/flatten_on_white.h"

#include <utility>

QImage FlattenOntoWhite(QImage image) {
    if (!image.hasAlphaChannel()) {
        return image.format() == QImage::Format_RGB32
                   ? image
                   : std::move(image).convertToFormat(QImage::Format_RGB32);
    }
    // With premultiplied colour, "over white" is simply colour + (255 - alpha) per channel.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int white = 255 - qAlpha(line[x]);
            line[x] = qRgb(qRed(line[x]) + white, qGreen(line[x]) + white, qBlue(line[x]) + white);
        }
    }
    // Every pixel is opaque now, so the same bytes are valid RGB32.
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}
