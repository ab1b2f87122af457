// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/metadata_blocks.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

class ResultFile;

// Reads the metadata of a source picture (JPEG, PNG, TIFF or anything else exiv2 reads)
// and corrects it for the copy `written`: Orientation 1, since the copy's pixels are
// upright (a PNG keeps its orientation: the road from a PNG does not turn it); pixel dimensions and resolution of the written picture; no EXIF thumbnail,
// no preview images (they would show the picture without its stamp), no tags that
// describe the source file's own pixel layout. Never throws: a file whose metadata
// cannot be read yields what could be read, or nothing.
PhotoMetadata ReadPhotoMetadata(const QString& sourcePath, const QImage& written);

// Corrects metadata that a format's own library read (EXIF as a TIFF structure, an XMP
// packet, an ICC profile) for the copy `written`, as ReadPhotoMetadata does; `turned`
// tells that the copy's pixels were turned upright, so its Orientation becomes 1. A
// block that cannot be decoded is dropped. Never throws.
PhotoMetadata CorrectPhotoMetadata(const PhotoMetadata& read, const QImage& written, bool turned);

// Writes the metadata into a finished JPEG, PNG or TIFF file, keeping the tags the file's
// writer set for its own pixels. The file is read through a descriptor that refuses
// links and rewritten through a new file and a rename (ResultFile), so a failure leaves
// it exactly as it was. Returns false, and changes nothing, for other formats, a symbolic
// link, or any failure. Never throws.
bool WritePhotoMetadata(const QString& path, const PhotoMetadata& metadata);

// The metadata step of a copy that a writer other than SaveJpeg finished: the source's
// metadata, corrected for `written`, into the file at writtenPath. Never fails the copy.
void KeepPhotoMetadata(const QString& sourcePath, const QString& writtenPath, const QImage& written);
// The same for a copy not yet committed: read through its descriptor, the copy with the
// metadata goes into a new result file for the same path, which then takes its place.
// Without metadata, or on any failure, `written` stays as it is.
void KeepPhotoMetadata(const QString& sourcePath, std::unique_ptr<ResultFile>& written,
                       const QImage& picture);

// Sets up the metadata library's process-wide state; the other routines do it on first use,
// a program that stamps on several threads does it once before they start.
void PreparePhotoMetadata();
