// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

namespace velloran::convert {

// Reads the first image of `path` with its orientation applied. Only JPEG, PNG, TIFF, BMP
// and GIF are read, judged by content; nothing that can fetch another file. A path that is
// not a regular file is never read (a FIFO would block the converter for ever). Returns a
// null image and sets `error` when the file is missing, unreadable, of another kind,
// damaged or truncated, or needs more than the memory limit, decoder buffers included.
//
// Pixel values are kept as stored: the image carries the file's colour profile and no
// colour conversion is made. A PNG whose gamma of 1/2.2 with sRGB (or no) chromaticities
// is what nearly every tool writes for sRGB is tagged sRGB.
QImage readImage(const QString& path, QString* error);

}  // namespace velloran::convert
