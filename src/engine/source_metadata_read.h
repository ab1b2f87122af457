// SPDX-License-Identifier: MIT
#pragma once

#include "engine/photo_metadata.h"

#include <QByteArray>
#include <QDateTime>

#include <exiv2/exiv2.hpp>

// What ReadSourceMetadata read, decoded once: exiv2's own data for EXIF and XMP (corrected
// per copy, read for the stamp text's facts), the IPTC and ICC blocks as they travel.
struct SourceMetadata::Read {
    Exiv2::ExifData exif;
    Exiv2::ByteOrder order = Exiv2::invalidByteOrder;
    Exiv2::XmpData xmp;
    QByteArray iptc;
    QByteArray icc;
    // The copies' pixels are upright where the source's orientation said otherwise.
    bool turned = true;
    PictureFacts coding;
    QDateTime changed;
};
