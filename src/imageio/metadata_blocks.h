// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// What a photo carries besides its pixels (EXIF, XMP, IPTC, ICC profile), held as the byte
// blocks a file stores: the decoders fill it as they read, the JPEG encoder writes the
// blocks as markers and the other writers hand them to their libraries or to exiv2.
struct PhotoMetadata {
    QByteArray exif;  // a TIFF-structured EXIF block, what follows "Exif\0\0" in a JPEG
    QByteArray xmp;   // an XMP packet
    QByteArray iptc;  // IPTC-IIM datasets
    QByteArray icc;   // an ICC colour profile, travelling with unconverted pixels

    bool isEmpty() const { return exif.isEmpty() && xmp.isEmpty() && iptc.isEmpty() && icc.isEmpty(); }
};
