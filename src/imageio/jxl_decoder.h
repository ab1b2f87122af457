// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"

#include <QByteArray>

// Decodes a JPEG XL file (a bare codestream or the container) with libjxl straight into
// the picture's rows, turned by the orientation of its codestream; an animation gives
// its first frame. Lossy pictures with an ICC profile of their own come out in sRGB. The size is
// read from the header and held, with the decoder's own buffers, to `byteLimit` (0: none) before
// the pixels are decoded; a file that ends early or is garbled fails.
DecodedPicture DecodeJxl(const QByteArray& data, qint64 byteLimit);

// The EXIF and XMP boxes of a JPEG XL file (unpacked when compressed) and the ICC profile
// of the colours DecodeJxl gives. Whatever cannot be read is left empty; never throws.
PictureFacts ReadJxlFacts(const QByteArray& data);

// From the first bytes of a file: the "too large" DecodeJxl of the whole file would report
// for its picture's size, or nothing (nothing decoded, no pixel memory taken).
DecodedPicture CheckJxlSize(const QByteArray& head, qint64 byteLimit);
