// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>

namespace velloran::convert {

// Reads the first picture of a TIFF whose samples go into a picture as they are: 8 bits a
// sample, interleaved, upright (no orientation other than top-left), unsigned, stored
// uncompressed or with LZW, Deflate or PackBits, in strips or tiles, as grey (black is 0),
// RGB, or RGB with associated or unassociated alpha. libtiff decodes each strip straight
// into the picture's rows, so no other copy of the picture is made and no image plugin is
// loaded. The pixels, resolution and colour profile are those Qt's TIFF reader gives
// (alpha premultiplied as it does).
//
// Returns a null picture for every other kind of TIFF and for any decoding failure: the
// caller then reads the file as before, with that reader's own refusals. The file must
// have passed tiffProblem() with `byteLimit`; throws std::bad_alloc when the picture's
// memory cannot be had.
QImage readPlainTiff(const QByteArray& data, qint64 byteLimit);

}  // namespace velloran::convert
