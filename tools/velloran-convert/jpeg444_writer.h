// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

namespace velloran::convert {

// Encodes `image` as a JPEG that is visually lossless: full-resolution colour (4:4:4) at the
// highest quality. Qt's own JPEG writer always halves the colour resolution (4:2:0), which on
// a noisy colour test image gave 21 dB against the source where this gives 50 dB. Pixel
// values are written as they are, 16-bit samples rounded to 8 bits; a colour profile other
// than sRGB travels along in the file instead of being applied. Transparency is
// composited onto white. Rows are converted one at a time (or taken as they are when they hold
// R, G, B bytes), so no copy of the picture is made.
bool encodeJpeg444(const QImage& image, QByteArray* jpeg, QString* error);

// Takes the next piece of an encoded file; false, with the reason, when it cannot.
using JpegSink = std::function<bool(const char* bytes, qsizetype size, QString* failure)>;

// The same JPEG handed to `sink` in pieces of a fixed buffer as it is encoded, so that it
// can go straight to its file; the sink's failure is the encoder's.
bool encodeJpeg444(const QImage& image, const JpegSink& sink, QString* error);

}  // namespace velloran::convert
