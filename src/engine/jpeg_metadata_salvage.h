// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// The APP markers of a JPEG file (XMP, ICC profile, IPTC and the rest) without its EXIF
// blocks, as a JPEG stream that holds nothing else. exiv2 stops reading a file at a
// damaged EXIF block; read from this stream it still finds what came with it. Empty when
// libjpeg cannot read the file's header. Never throws.
QByteArray JpegMarkersWithoutExif(const QString& path);
