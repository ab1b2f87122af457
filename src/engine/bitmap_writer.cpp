// SPDX-License-Identifier: MIT
#include "engine/bitmap_writer.h"

#include "imageio/result_file.h"
#include "util/vb_error.h"

#include <QImageWriter>

void WritePictureAsBitmap(const QImage& picture, ResultFile& file) {
    if (picture.isNull()) {
        Raise(vberr::kInvalidPicture,
              QStringLiteral("Cannot write \"%1\": there is no picture").arg(file.path()));
    }
    // Qt writes 24 bits a pixel only for images without alpha and without a palette.
    const QImage pixels = picture.format() == QImage::Format_RGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_RGB32);
    QImageWriter writer(&file, "bmp");
    if (!writer.write(pixels)) {
        if (file.writeError() != 0) {
            file.RaiseWriteError();
        }
        Raise(vberr::kPathFileAccess,
              QStringLiteral("Cannot write \"%1\": %2").arg(file.path(), writer.errorString()));
    }
}

void SavePictureAsBitmap(const QImage& picture, const QString& path) {
    if (picture.isNull()) {
        Raise(vberr::kInvalidPicture,
              QStringLiteral("Cannot write \"%1\": there is no picture").arg(path));
    }
    ResultFile file(path);
    WritePictureAsBitmap(picture, file);
    file.Commit();
}
