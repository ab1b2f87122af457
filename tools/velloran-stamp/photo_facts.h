// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>

// The facts a stamp-text template may ask of a photo: when it was taken and any EXIF or
// XMP tag. The file is read once, on the first question; a file exiv2 cannot read
// answers with nothing.
class PhotoFacts {
public:
    explicit PhotoFacts(QByteArray path);
    ~PhotoFacts();
    PhotoFacts(const PhotoFacts&) = delete;
    PhotoFacts& operator=(const PhotoFacts&) = delete;

    // EXIF DateTimeOriginal, else the creation date (EXIF DateTimeDigitized, XMP
    // CreateDate), else the file's time of last change; invalid when none can be read.
    QDateTime Taken();
    // The tag by its exiv2 short name ("Model", "FNumber", "creator") or full key
    // ("Exif.Image.Model"), as exiv2 prints it for people; "" when absent.
    QString Tag(const QString& name);

private:
    struct Read;
    const Read& Facts();

    QByteArray path_;
    std::unique_ptr<Read> read_;
};
