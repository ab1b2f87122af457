// SPDX-License-Identifier: MIT
#include "batch/bitmap_writer.h"

#include "util/vb_error.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace {

[[noreturn]] void CannotWrite(int number, const QString& path, const QString& reason) {
    Raise(number, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason));
}

[[noreturn]] void OpenFailed(const QString& path, const QSaveFile& file) {
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir()) {
        CannotWrite(vberr::kPathNotFound, path, QStringLiteral("the folder does not exist"));
    }
    if (target.isDir()) {
        CannotWrite(vberr::kPathFileAccess, path, QStringLiteral("it is a folder"));
    }
    if (!folder.isWritable()) {
        CannotWrite(vberr::kPermissionDenied, path,
                    QStringLiteral("the folder may not be written to"));
    }
    CannotWrite(vberr::kPathFileAccess, path, file.errorString());
}

[[noreturn]] void WriteFailed(const QString& path, const QSaveFile& file) {
    // Qt reports a full disk (ENOSPC) as a resource error.
    if (file.error() == QFileDevice::ResourceError) {
        CannotWrite(vberr::kDiskFull, path, QStringLiteral("the disk is full"));
    }
    CannotWrite(vberr::kPathFileAccess, path, file.errorString());
}

}  // namespace

void SavePictureAsBitmap(const QImage& picture, const QString& path) {
    if (picture.isNull()) {
        CannotWrite(vberr::kInvalidPicture, path, QStringLiteral("there is no picture"));
    }
    // Qt writes 24 bits a pixel only for images without alpha and without a palette.
    const QImage pixels = picture.format() == QImage::Format_RGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_RGB32);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        OpenFailed(path, file);
    }
    QImageWriter writer(&file, "bmp");
    if (!writer.write(pixels)) {
        if (file.error() != QFileDevice::NoError) {
            WriteFailed(path, file);
        }
        CannotWrite(vberr::kPathFileAccess, path, writer.errorString());
    }
    if (!file.commit()) {
        WriteFailed(path, file);
    }
}
