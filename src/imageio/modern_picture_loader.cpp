// SPDX-License-Identifier: MIT
#include "imageio/modern_picture_loader.h"

#include "imageio/decoded_picture.h"
#include "imageio/heif_decoder.h"
#include "imageio/jxl_decoder.h"
#include "imageio/webp_decoder.h"
#include "util/vb_error.h"

#include <QImageReader>

namespace {

[[noreturn]] void CannotRead(int number, const QString& path, const QString& reason) {
    Raise(number, QStringLiteral("Cannot read \"%1\": %2").arg(path, reason));
}

// Transparent parts show on white, as for every other format; done in place.
QImage OnWhite(QImage image) {
    if (image.format() != QImage::Format_ARGB32) {
        return image;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            const int white = 255 * (255 - alpha);
            line[x] = qRgb((qRed(line[x]) * alpha + white + 127) / 255,
                           (qGreen(line[x]) * alpha + white + 127) / 255,
                           (qBlue(line[x]) * alpha + white + 127) / 255);
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

}  // namespace

DecodedPicture DecodeModernPicture(const QByteArray& data, ModernFormat format, qint64 byteLimit) {
    switch (format) {
        case ModernFormat::Heic:
        case ModernFormat::Heif:
        case ModernFormat::Avif:
            return DecodeHeif(data, byteLimit);
        case ModernFormat::WebP:
            return DecodeWebP(data, byteLimit);
        case ModernFormat::Jxl:
            return DecodeJxl(data, byteLimit);
    }
    return {};
}

QImage LoadModernPicture(const QString& path, const QByteArray& data, ModernFormat format,
                         qint64 byteLimit) {
    const QString name = ModernFormatName(format);
    if (!ContentMatchesFormat(data, format)) {
        CannotRead(
            vberr::kInvalidPicture, path,
            QStringLiteral("it is named as a %1 picture, but its content is not one").arg(name));
    }
    DecodedPicture decoded = DecodeModernPicture(data, format, byteLimit);
    if (decoded.tooLarge) {
        CannotRead(vberr::kOutOfMemory, path,
                   QStringLiteral("the picture is too large (%1; at most %2 MB can be held)")
                       .arg(decoded.failure)
                       .arg(QImageReader::allocationLimit()));
    }
    if (decoded.damaged || decoded.image.isNull()) {
        CannotRead(
            vberr::kInvalidPicture, path,
            QStringLiteral("the file is damaged or truncated (%1: %2)").arg(name, decoded.failure));
    }
    return OnWhite(std::move(decoded.image));
}
