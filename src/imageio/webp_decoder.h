// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"

#include <QByteArray>

// Decodes a WebP file with libwebp straight into the picture's rows (an animation: its
// first frame on its canvas). The size is read from the file's header and held, with
// the decoder's own buffers, to `byteLimit` (0: none) before any pixel memory is taken;
// a file that ends early or is garbled fails. WebP defines no orientation of its own, so
// the pixels are left as they are stored, like a PNG's.
DecodedPicture DecodeWebP(const QByteArray& data, qint64 byteLimit);

// The EXIF, XMP and ICC chunks of a WebP file, and whether its picture is coded
// losslessly. Whatever cannot be read is left empty; never throws.
PictureFacts ReadWebPFacts(const QByteArray& data);

// From the first bytes of a file: the "too large" DecodeWebP of the whole file would report
// for its picture's (or animation's canvas') size, or nothing.
DecodedPicture CheckWebPSize(const QByteArray& head, qint64 byteLimit);
