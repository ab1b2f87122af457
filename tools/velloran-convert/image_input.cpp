// SPDX-License-Identifier: MIT
#include "image_input.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "imageio/bitmap_structure.h"
#include "imageio/checked_size.h"
#include "imageio/gif_decoder.h"
#include "imageio/image_limits.h"
#include "imageio/jpeg_decoder.h"
#include "imageio/picture_format.h"
#include "imageio/whole_file.h"
#include "png_check.h"
#include "tiff_check.h"

namespace velloran::convert {

namespace {

QString systemError(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

// The program's one whole-file reader, in the converter's words.
bool readRegularFile(const QString& path, QByteArray* data, QString* error) {
    try {
        *data = ReadWholeFile(path, kImageAllocationLimitBytes);
        return true;
    } catch (const WholeFileError& failure) {
        switch (failure.failure()) {
            case ReadFailure::Folder:
            case ReadFailure::NotRegular:
                *error = QStringLiteral("it is not a regular file");
                break;
            case ReadFailure::TooLarge:
                *error = QStringLiteral("the file is larger than %1 MB").arg(kImageAllocationLimitMb);
                break;
            case ReadFailure::Empty:
                *error = QStringLiteral("the file is empty");
                break;
            case ReadFailure::Missing:
            case ReadFailure::Denied:
            case ReadFailure::System:
                *error = systemError(failure.systemError());
                break;
        }
    }
    return false;
}

// Most tools tag sRGB pixels with gAMA 0.45455 and sRGB chromaticities (or none); Qt
// makes a gamma-2.2 colour space of that, which a later conversion would take for a
// real difference and darken the shadows.
void tagPlainGammaAsSrgb(QImage& image) {
    const QColorSpace space = image.colorSpace();
    // Chromaticities from a cHRM chunk make custom primaries even when they are sRGB's;
    // the comparison is by value.
    if (space.isValid() && space.transferFunction() == QColorSpace::TransferFunction::Gamma &&
        std::abs(space.gamma() - 2.2f) < 0.01f &&
        space == QColorSpace(QColorSpace::Primaries::SRgb, space.gamma())) {
        image.setColorSpace(QColorSpace::SRgb);
    }
}

// Qt decodes with the named plugin only, once the structure check found the file whole.
QImage readWithQt(QByteArray data, const char* format, QString* error) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        *error = QStringLiteral("the file is damaged or truncated (%1)").arg(reader.errorString());
    return image;
}

QImage readJpeg(const QByteArray& data, qint64 budget, QString* error) {
    DecodedJpeg jpeg = DecodeJpeg(data, budget, true);
    if (jpeg.image.isNull()) {
        *error = jpeg.tooLarge ? QStringLiteral("the picture is too large (%1)").arg(jpeg.failure)
                 : jpeg.damaged
                     ? QStringLiteral("the file is damaged or truncated (%1)").arg(jpeg.failure)
                     : QStringLiteral("the JPEG data cannot be read (%1)").arg(jpeg.failure);
        return {};
    }
    if (!jpeg.iccProfile.isEmpty()) {
        const QColorSpace space = QColorSpace::fromIccProfile(jpeg.iccProfile);
        if (space.isValid())
            jpeg.image.setColorSpace(space);
    }
    return std::move(jpeg.image);
}

QImage readGif(const QByteArray& data, qint64 budget, QString* error) {
    DecodedGif gif = DecodeGif(data, budget);
    if (gif.tooLarge)
        *error = QStringLiteral("the picture is too large");
    else if (!gif.damage.isEmpty())
        *error = QStringLiteral("the file is damaged or truncated (%1)").arg(gif.damage);
    return std::move(gif.image);
}

QImage readChecked(const QByteArray& data, const char* format, const QString& problem,
                   QString* error) {
    if (!problem.isEmpty()) {
        *error = problem;
        return {};
    }
    return readWithQt(data, format, error);
}

// A size beyond the limit is named as such, before the rows it declares are found missing.
QString bmpProblem(const QByteArray& data, const QString& damage, qint64 budget) {
    const std::optional<BmpSize> size = BmpDeclaredSize(data);
    if (size && size->width > 0 && size->height > 0 &&
        ExceedsBytes(size->width, size->height, 4, budget)) {
        return QStringLiteral("the picture is too large (%1 x %2 pixels)")
            .arg(size->width)
            .arg(size->height);
    }
    return damage.isEmpty() ? damage
                            : QStringLiteral("the file is damaged or truncated (%1)").arg(damage);
}

QString oneLine(QString text) {
    return text.replace(u'\n', u' ').trimmed();
}

}  // namespace

QImage readImage(const QString& path, QString* error) {
    QByteArray data;
    if (!readRegularFile(path, &data, error))
        return {};
    // The limit is the picture limit of the program that hands over its stamped pictures as
    // bitmaps: every picture it accepts must fit here beside that bitmap's bytes, so those
    // are not taken off the limit.
    const qint64 budget = kImageAllocationLimitBytes;
    QImageReader::setAllocationLimit(kImageAllocationLimitMb);
    QImage image;
    switch (SniffPictureFormat(data)) {
        case PictureFormat::Jpeg:
            image = readJpeg(data, budget, error);
            break;
        case PictureFormat::Gif:
            image = readGif(data, budget, error);
            break;
        case PictureFormat::Bmp: {
            const QString damage = BmpDamage(data);
            image = readChecked(data, "bmp", bmpProblem(data, damage, budget), error);
            break;
        }
        case PictureFormat::Png:
            image = readChecked(data, "png", pngProblem(data, budget), error);
            tagPlainGammaAsSrgb(image);
            break;
        case PictureFormat::Tiff:
            image = readChecked(data, "tiff", tiffProblem(data, budget), error);
            break;
        default:
            *error = QStringLiteral("it is not a JPEG, PNG, TIFF, BMP or GIF picture");
            return {};
    }
    if (image.isNull()) {
        *error = oneLine(*error);
        return {};
    }
    return image;
}

}  // namespace velloran::convert
