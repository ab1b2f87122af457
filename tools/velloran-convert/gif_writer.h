// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velloran::convert {

// Encodes `image` as a GIF with at most `maxColors` (2..256) palette entries. An image that
// already has few enough colours keeps them exactly. Otherwise colours are mapped onto an evenly
// spaced colour cube (a grey ramp below 8 colours), with an 8x8 ordered Bayer dither when
// `dither` is set and nearest-level rounding when not. Pixels less than half opaque become
// transparent; the rest are composited onto white.
bool encodeGif(const QImage& image, int maxColors, bool dither, QByteArray* gif, QString* error);

}  // namespace velloran::convert
