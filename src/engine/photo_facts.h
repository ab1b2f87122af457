// SPDX-License-Identifier: MIT
#pragma once

#include "engine/photo_metadata.h"

#include <QDateTime>
#include <QString>

// The facts a stamp-text template may ask of a photo, taken from the metadata its road
// read once (ReadSourceMetadata): when it was taken and any EXIF or XMP tag. Nothing is
// read again; metadata that could not be read answers with nothing.
class PhotoFacts {
public:
    explicit PhotoFacts(SourceMetadata metadata);

    // EXIF DateTimeOriginal, else the creation date (EXIF DateTimeDigitized, XMP
    // DateTimeOriginal, XMP CreateDate), else the file's time of last change; invalid when
    // none can be read.
    QDateTime Taken() const;
    // The tag by its exiv2 short name ("Model", "FNumber", "creator") or full key
    // ("Exif.Image.Model"), as exiv2 prints it for people; "" when absent.
    QString Tag(const QString& name) const;

private:
    SourceMetadata metadata_;
};
