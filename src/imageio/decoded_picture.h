// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/checked_size.h"
#include "imageio/metadata_blocks.h"

#include <QImage>
#include <QString>

// A picture decoded by one of the modern formats' libraries.
struct DecodedPicture {
    QImage image;           // Format_RGB32, or Format_ARGB32 with transparency; null on failure
    QString failure;        // the library's text, or the limit that was reached
    bool damaged = false;   // data missing, cut or garbled, or a kind the library cannot read
    bool tooLarge = false;  // the picture and the decoder's buffers exceed the byte limit
};

// What a source file says about itself besides its pixels, read by its own library,
// with the choices its copy follows.
struct PictureFacts {
    PhotoMetadata metadata;  // as stored: EXIF as a TIFF block, the XMP packet, the ICC profile
    bool lossless = false;   // a WebP in its lossless coding (VP8L)
    bool av1 = false;        // a HEIF container holding AV1 pictures
    // A HEIF picture's colours named by code points (ITU-T H.273) rather than a profile;
    // 0 when the file names none.
    int colourPrimaries = 0;
    int transferCharacteristics = 0;
};

// True when a picture of width x height, with `extraBytesPerPixel` of the decoder's own
// buffers beside the 4 bytes a pixel of the result, fits `byteLimit` (0: no limit).
// Headers may declare up to 2^32 on a side: the product is checked.
inline bool FitsByteLimit(qint64 width, qint64 height, qint64 extraBytesPerPixel,
                          qint64 byteLimit) {
    return byteLimit <= 0 || !ExceedsBytes(width, height, 4 + extraBytesPerPixel, byteLimit);
}
