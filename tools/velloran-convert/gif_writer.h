// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velloran::convert {

// Encodes `image` as a GIF with at most `maxColors` (2..256) palette entries. An image that
// already has few enough colours keeps them exactly. Otherwise the palette is chosen for the
// picture (libimagequant) and colours are mapped onto it with an 8x8 ordered Bayer dither
// when `dither` is set, to the nearest entry when not. Pixels less than half opaque become
// transparent; the rest are composited onto white. The picture is read row by row: no copy
// of it is made.
bool encodeGif(const QImage& image, int maxColors, bool dither, QByteArray* gif, QString* error);

}  // namespace velloran::convert
