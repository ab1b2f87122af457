// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

#include "imageio/heif_planes.h"
#include "imageio/jpeg_coefficients.h"
#include "imageio/jpeg_planes.h"

#include <optional>

// Reads the picture file that is to be stamped.
//
// Judged by content, whatever the name, exactly these are read: JPEG (libjpeg, straight
// into a Format_RGB32 image, turned upright by its EXIF orientation, keeping the
// resolution of its JFIF header), GIF (giflib, first frame), Windows bitmap with or
// without RLE, icon and cursor (Qt, after a check of their structure). Transparent parts
// come out white. Every other content fails, and so does a file that is damaged or
// shorter than it declares: no picture with missing rows is returned. Pictures, the
// decoder's own buffers included, are held to the image allocation limit, and a JPEG to
// a sane number of scans. A path that is not a regular file is never read. Safe to call
// from several threads at once.
//
// Files named .heic, .heif, .avif, .webp or .jxl are read by their own libraries, and
// only when their content is what the name says.
//
// Throws VbError: 53 for a missing file, 70 or 75 when the file cannot be read, 481 for
// an unknown format or a damaged or truncated file, 7 for a picture larger than the image
// allocation limit. Each description names the file and what is wrong.
QImage LoadPicture(const QString& path);

// The same within `byteLimit` bytes instead of the image allocation limit: the file's
// bytes, the picture and the decoder's own buffers together (0: no limit).
QImage LoadPicture(const QString& path, qint64 byteLimit);

// A picture to stamp: its pixels, or for a JPEG copied as JPEG or a HEIC, HEIF or AVIF
// copied in its own format its own colour planes.
struct LoadedPicture {
    QImage image;
    std::optional<JpegPlanes> planes;
    std::optional<HeifPlanes> heifPlanes;
    // A JPEG copied as JPEG, as its quantised blocks.
    std::optional<JpegCoefficients> coefficients;

    bool HasPlanes() const { return planes || heifPlanes || coefficients; }
};

// Whether the copy of the source at `path` is a JPEG that may be stamped in the source's
// planes: its name says JPEG (a copy keeps its source's name).
bool CopiesAsJpeg(const QString& path);

// Whether the copy of the source at `path` may be stamped in the source's planes: a JPEG
// (CopiesAsJpeg), or a HEIC, HEIF or AVIF, whose copy is written in its own format.
bool CopiesInPlanes(const QString& path);

// LoadPicture within `byteLimit`, except that when `wantPlanes` is set a JPEG whose planes
// can be held (DecodeJpegPlanes) comes as those planes, and a HEIC, HEIF or AVIF picture
// whose planes can be held (DecodeHeifPlanes) as its planes. With `wantCoefficients` as
// well, a JPEG whose blocks can be held (DecodeJpegCoefficients) comes as those blocks
// before anything else. Throws what LoadPicture throws.
LoadedPicture LoadPictureOrPlanes(const QString& path, qint64 byteLimit, bool wantPlanes,
                                  bool wantCoefficients = false);
LoadedPicture LoadPictureOrPlanes(const QString& path, bool wantPlanes);

// What the road of a copy loads: with `inOwnForm` (CopiesInPlanes), a JPEG as its blocks or
// planes and a HEIC, HEIF or AVIF as its planes when they can hold it, else the picture.
LoadedPicture LoadForCopy(const QString& path, qint64 byteLimit, bool inOwnForm);
LoadedPicture LoadForCopy(const QString& path, bool inOwnForm);
