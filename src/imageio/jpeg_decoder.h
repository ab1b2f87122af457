// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "imageio/jpeg_coefficients.h"
#include "imageio/jpeg_planes.h"

#include <optional>

// A JPEG file decoded by libjpeg.
struct DecodedJpeg {
    QImage image;           // Format_RGB32, upright, with the JFIF resolution; null on failure
    QByteArray iccProfile;  // the embedded colour profile, when asked for and present
    QString failure;        // libjpeg's text, or the limit that was reached
    bool damaged = false;   // data missing or garbled, or more scans than any encoder writes
    bool tooLarge = false;  // the picture or the decoder's buffers exceed the byte limit
};

// Decodes straight into a Format_RGB32 image: BGRX is that format's byte order on a
// little-endian machine, so no row is converted afterwards. CMYK files (Adobe's inverted
// kind) are converted to RGB. EXIF orientation is applied. The picture and libjpeg's own
// buffers (all coefficients of a progressive file) together stay within `byteLimit`
// (0: no limit), and decoding stops at the first sign of damage.
DecodedJpeg DecodeJpeg(const QByteArray& data, qint64 byteLimit, bool wantProfile = false);

// The size check of DecodeJpeg alone, from a file's first bytes: `tooLarge` and `failure`
// as DecodeJpeg would set them when those bytes hold the whole header; otherwise (a head
// cut before the header ends, a damaged header, a picture that fits) neither is set.
DecodedJpeg CheckJpegSize(const QByteArray& head, qint64 byteLimit);

// Decodes a JPEG whose planes are YCbCr (4:4:4, 4:2:2, 4:2:0, 4:4:0) or greyscale to those
// planes, without colour conversion or chroma upsampling, the planes and libjpeg's own
// buffers together within `byteLimit` (0: no limit). Gives nothing for any other file:
// CMYK or YCCK, other samplings, a picture its EXIF orientation would turn, a damaged file
// or one beyond the limit. DecodeJpeg reads those (or refuses them, with its reasons).
std::optional<JpegPlanes> DecodeJpegPlanes(const QByteArray& data, qint64 byteLimit);

// Reads a YCbCr JPEG that DecodeJpegPlanes would take (greyscale aside) as its quantised
// blocks, entropy-decoded only, the blocks and libjpeg's own buffers together within
// `byteLimit` (0: no limit). Gives nothing for any other file, as DecodeJpegPlanes does.
std::optional<JpegCoefficients> DecodeJpegCoefficients(const QByteArray& data, qint64 byteLimit);
