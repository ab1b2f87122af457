// SPDX-License-Identifier: MIT
#pragma once

#include "engine/photo_metadata.h"
#include "imageio/jpeg_coefficients.h"
#include "imageio/jpeg_planes.h"

#include <QImage>
#include <QString>

// Dots per inch as a JPEG's JFIF header records a resolution: rounded, within its 16-bit
// field. The copy's EXIF resolution is written the same way, so the two agree.
int JfifDotsPerInch(int dotsPerMetre);

// Writes a picture as a JPEG file (4:2:0 chroma, no Huffman optimisation) with the
// picture's resolution in the JFIF header. The file is written through a ResultFile: a
// failed save leaves any earlier file as it was, and a link of another user at the path is
// refused.
//
// The quality goes to the encoder as ClampQuality gives it: 0 and below write what 1
// writes (libjpeg's own floor), above 100 what 100 writes.
//
// The metadata, when given, is written as APP markers right after the JFIF header.
//
// Throws VbError 5 "Cannot save the image. GDI+ Error:<status>": status 7 when the file
// cannot be created or written (missing folder, no permission), 2 for a null picture, 1
// for any other failure. A full disk is VbError 61 and a link of another user VbError 70,
// each naming the path.
void SaveJpeg(const QImage& picture, const QString& path, int quality,
              const PhotoMetadata& metadata = PhotoMetadata());

// Writes a picture held as JPEG planes as SaveJpeg writes a picture, encoding the planes
// as they stand at their own sampling (the luma's and one chroma block per MCU).
// Throws as SaveJpeg does.
void SaveJpegPlanes(const JpegPlanes& planes, const QString& path, int quality,
                    const PhotoMetadata& metadata = PhotoMetadata());

// A picture of the planes' size and resolution (as a decoded picture of the file would
// carry) over the planes' own luma, for what asks a copy's shape (SourceMetadata::ForCopy).
// Valid while the planes live.
QImage JpegPlanesShape(const JpegPlanes& planes);

// Writes a picture held as its quantised blocks as SaveJpeg writes a picture: its blocks
// put into the quality's steps (JpegCoefficients::Requantise, in place, with the blocks a
// stamp redrew), at the source's own sampling. Throws as SaveJpeg does.
void SaveJpegCoefficients(JpegCoefficients& picture, const QString& path, int quality,
                          const PhotoMetadata& metadata = PhotoMetadata());

// The size and resolution a decoded picture of the file would carry, for the copy's
// metadata (SourceMetadata::ForCopy).
CopyShape JpegCoefficientsShape(const JpegCoefficients& picture);
