// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"
#include "imageio/heif_planes.h"

#include <QByteArray>

#include <optional>

// Decodes the primary picture of a HEIF file (HEVC or AV1 pictures, through libheif),
// turned and mirrored as the file's irot and imir boxes say, HDR reduced to 8 bits. The
// other pictures of the file (bursts, depth maps, thumbnails) are not decoded. The sides
// are held by libheif's own limit while the file's boxes are read, and the area with the
// decoder's buffers to `byteLimit` (0: none) before any pixel is decoded; decoding is
// strict, so a cut or garbled file fails instead of coming out grey.
DecodedPicture DecodeHeif(const QByteArray& data, qint64 byteLimit);

// The same picture in its own YCbCr planes (HeifPlanes), when they can hold it: a single
// HEVC or AV1 picture (no grid or overlay) of 8 bits, 4:2:0 or 4:4:4, without alpha,
// whose colours are described by no ICC profile and by a matrix CodingOfDescription knows
// or by nothing at all. Held to `byteLimit` as DecodeHeif is. Nothing for any other
// picture and for any fault: DecodeHeif reads it or names what is wrong.
std::optional<HeifPlanes> DecodeHeifPlanes(const QByteArray& data, qint64 byteLimit);

// The EXIF, XMP and ICC profile of the primary picture of a HEIF file, and whether it
// holds AV1 pictures. Whatever cannot be read is left empty; never throws.
PictureFacts ReadHeifFacts(const QByteArray& data);
