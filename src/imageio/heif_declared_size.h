// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"

#include <QByteArray>

// Beside the 4 bytes a pixel of the result: the decoder's planes and its reference
// picture, libheif's interleaved copy and the turned copy, each up to 4 bytes a pixel;
// twice that for pictures of more than 8 bits.
inline constexpr qint64 kHeifExtraBytesPerPixel = 12;
inline constexpr qint64 kHeifExtraBytesPerDeepPixel = 24;

// Refuses, from a HEIF file's first bytes, a primary picture whose ispe (or, for a grid,
// whose declared output) would not fit `byteLimit` by the decoder's own rule. A head
// without the whole meta box is not judged. `tooLarge` and `failure` are set as the
// decoder sets them; nothing else is.
DecodedPicture CheckHeifSize(const QByteArray& head, qint64 byteLimit);

// Refuses, before libheif hands them to a decoder, coded streams of the primary picture
// (its tiles, its alpha) whose own headers (an HEVC SPS, an AV1 sequence header, in the
// configuration property or in the picture's data) declare more than the picture's ispe
// allows with the coding's padding, or more than the decoder's buffers may take of
// `byteLimit`: the HEVC and AV1 decoders allocate by those headers with no bound of
// their own. A grid whose data declares an output beyond `byteLimit` is refused too, and
// pictures whose data together exceed the file (overlapping, so read again and again)
// are reported as damaged.
DecodedPicture CheckHeifStreams(const QByteArray& data, qint64 byteLimit);
