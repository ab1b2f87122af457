// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

class SourceMetadata;
struct HeifPlanes;

// Writes the stamped copy of a source of today's formats (named .heic, .heif, .avif,
// .webp or .jxl) in the source's own format at ClampQuality(quality), as every writer
// takes it: HEIC or AVIF as the source's pictures are coded, WebP lossless when the
// source is, JPEG XL.
// The source's EXIF, XMP and ICC profile as its road read them (ReadSourceMetadata, by
// the format's own library), corrected for the copy (Orientation 1 where the decoder
// turned the pixels, sizes, no thumbnails), go into the copy; a source whose metadata
// could not be read gives a copy without them. The file is written through a ResultFile:
// a failure leaves whatever
// stood at the path as it was.
//
// Throws VbError 5 "Cannot save the image as <format>: <why>" when the encoder fails, and
// the ResultFile's errors (61 disk full, 70, 75, 76) when the file cannot be written.
void SaveModernPicture(const QImage& picture, const SourceMetadata& source,
                       const QString& outputPath, int quality);

// The same for a HEIC, HEIF or AVIF copy from the source's own planes (DecodeHeifPlanes,
// stamped in place): encoded from the planes with the source's colour description, never
// through RGB. Throws as SaveModernPicture does; VbError 5 for a path of another format.
void SaveModernPlanes(const HeifPlanes& planes, const SourceMetadata& source,
                      const QString& outputPath, int quality);
