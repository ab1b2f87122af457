// SPDX-License-Identifier: MIT
#pragma once

#include "imageio/decoded_picture.h"
#include "imageio/metadata_blocks.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <memory>

class ResultFile;

// What a copy's metadata tells of its pixels: their size and resolution.
struct CopyShape {
    QSize size;
    int dotsPerMetreX = 0;
    int dotsPerMetreY = 0;

    static CopyShape Of(const QImage& picture);
};

// What one source file says about itself besides its pixels, read once for the road of its
// entry: the metadata every copy of it carries (corrected for that copy by ForCopy), the
// facts a stamp text may ask for (PhotoFacts), and for today's formats the choices their
// copies follow. Cheap to copy: copies share what was read. Safe to use from one thread at
// a time; different sources' metadata on different threads at once.
class SourceMetadata {
public:
    // Nothing read: no metadata, no time.
    SourceMetadata();

    // The metadata for a copy whose pixels are `written`: Orientation 1 where the road
    // turned the source's pixels upright, the copy's pixel dimensions and resolution, no
    // thumbnail, preview or tags of the source file's own pixel layout. Never throws.
    PhotoMetadata ForCopy(const QImage& written) const;
    PhotoMetadata ForCopy(const CopyShape& written) const;

    // How a source of today's formats is coded (lossless WebP, AV1, colour code points);
    // its `metadata` is left empty, since ForCopy gives the copy's. Default for other
    // formats and for a source that could not be read.
    const PictureFacts& coding() const;

    // The file's time of last change; invalid when the file could not be looked at.
    QDateTime changed() const;

    // What was read, decoded; for the readers of this room (photo_facts.cpp).
    struct Read;
    const Read& read() const { return *read_; }

private:
    friend SourceMetadata ReadSourceMetadata(const QString& sourcePath);
    friend SourceMetadata MetadataOfBlocks(const PhotoMetadata& blocks, bool turned);
    friend PhotoMetadata ReadPhotoMetadata(const QString& sourcePath, const QImage& written);
    explicit SourceMetadata(std::shared_ptr<const Read> read);
    std::shared_ptr<const Read> read_;
};

// Reads a source's metadata once, through the reader its road uses: a file named as one of
// today's formats (.heic, .heif, .avif, .webp, .jxl) whose content is what its name says
// through that format's own library; every other file through exiv2 (JPEG, PNG, TIFF,
// GIF, BMP and whatever else exiv2 knows). Only a regular file is read, judged by the file
// opened. Never throws: a file whose metadata cannot be read yields what could be read,
// or nothing.
SourceMetadata ReadSourceMetadata(const QString& sourcePath);

// Metadata as byte blocks that a format's own library read (EXIF as a TIFF structure, an
// XMP packet, IPTC, an ICC profile), for the same use; `turned` tells that the copies'
// pixels are turned upright, so their Orientation becomes 1. Never throws.
SourceMetadata MetadataOfBlocks(const PhotoMetadata& blocks, bool turned);

// Reads the metadata of a source picture through exiv2 (JPEG, PNG, TIFF, the HEIF family
// or anything else exiv2 reads) and corrects it for the copy `written`: Orientation 1, since the copy's pixels are
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
// The same for a copy not yet committed: read through its descriptor, the copy with
// `metadata` (already corrected for it) goes into a new result file for the same path,
// which then takes its place. Without metadata, or on any failure, `written` stays as it is.
void KeepPhotoMetadata(const PhotoMetadata& metadata, std::unique_ptr<ResultFile>& written);
// The same, reading the source's metadata first.
void KeepPhotoMetadata(const QString& sourcePath, std::unique_ptr<ResultFile>& written,
                       const QImage& picture);

// The metadata library's process-wide set-up, a part of StartEngine; the routines here
// also do it on first use.
void SetUpMetadataLibrary();
