// SPDX-License-Identifier: MIT
#include "image_input.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "imageio/bitmap_structure.h"
#include "imageio/checked_size.h"
#include "imageio/gif_decoder.h"
#include "imageio/image_limits.h"
#include "imageio/jpeg_decoder.h"
#include "imageio/picture_format.h"
#include "imageio/tiff_head.h"
#include "imageio/whole_file.h"
#include "png_check.h"
#include "tiff_check.h"
#include "tiff_reader.h"

namespace velloran::convert {

namespace {

QString systemError(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

// A file larger than this is looked at by its first bytes before it is read whole.
constexpr qint64 kHeadBytes = qint64(1) * 1024 * 1024;

// How every size refusal begins, whichever check makes it.
constexpr char kTooLarge[] = "the picture is too large";

// Every file whose first bytes name no format read here.
constexpr char kNotAPicture[] = "it is not a JPEG, PNG, TIFF, BMP or GIF picture";

QString tooLargeProblem(const QString& what) {
    return QStringLiteral("%1 (%2)").arg(QLatin1String(kTooLarge), what);
}

// What a file's first bytes (and a TIFF directory past them) show to be too large for
// `budget`, or not a picture read here at all, in the words the checks of the whole file
// would use; empty when the head shows nothing of the kind.
QString problemOfHead(const QByteArray& head, const FileRangeReader& file, qint64 budget);

// Thrown out of the whole-file reader when the head already refuses the file.
struct RefusedByHead {
    QString problem;
};

// The program's one whole-file reader, in the converter's words. A large file whose
// header declares a picture beyond the limit is refused for the cost of its head.
bool readRegularFile(const QString& path, QByteArray* data, QString* error) {
    try {
        *data = ReadWholeFile(path, kImageAllocationLimitBytes, kHeadBytes,
                              [](const QByteArray& head, const FileRangeReader& file) {
                                  QString problem =
                                      problemOfHead(head, file, kImageAllocationLimitBytes);
                                  if (!problem.isEmpty())
                                      throw RefusedByHead{std::move(problem)};
                              });
        return true;
    } catch (const RefusedByHead& refused) {
        *error = refused.problem;
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
        *error = jpeg.tooLarge ? tooLargeProblem(jpeg.failure)
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
        *error = QLatin1String(kTooLarge);
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

// A bitmap's declared size beyond the limit; empty when it fits or declares none.
QString bmpSizeProblem(const QByteArray& data, qint64 budget) {
    const std::optional<BmpSize> size = BmpDeclaredSize(data);
    if (size && size->width > 0 && size->height > 0 &&
        ExceedsBytes(size->width, size->height, 4, budget)) {
        return tooLargeProblem(QStringLiteral("%1 x %2 pixels").arg(size->width).arg(size->height));
    }
    return {};
}

// A size beyond the limit is named as such, before the rows it declares are found missing.
QString bmpProblem(const QByteArray& data, const QString& damage, qint64 budget) {
    if (QString problem = bmpSizeProblem(data, budget); !problem.isEmpty())
        return problem;
    return damage.isEmpty() ? damage
                            : QStringLiteral("the file is damaged or truncated (%1)").arg(damage);
}

quint32 littleEndianAt(const QByteArray& data, qsizetype at, int bytes) {
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | uchar(data[at + i]);
    return value;
}

// The rows of an uncompressed 24-bit bitmap (what the program hands over its stamped
// pictures as) made into a picture in the file's own buffer: moved to its start and put
// top down, so that the file's bytes and a decoded copy of them are never held together
// (a 16000 x 16000 bitmap: 768 MB instead of 1.8 GB). A null picture for any other
// bitmap, which Qt decodes as before.
QImage adoptBitmapRows(QByteArray& data) {
    const std::optional<BmpSize> size = BmpDeclaredSize(data);
    if (!size || size->width <= 0 || size->height <= 0 || data.size() < 54 ||
        littleEndianAt(data, 14, 4) < 40 || littleEndianAt(data, 26, 2) != 1 ||
        littleEndianAt(data, 28, 2) != 24 || littleEndianAt(data, 30, 4) != 0)
        return {};
    const qint64 stride = (size->width * 3 + 3) / 4 * 4;
    const qint64 offset = littleEndianAt(data, 10, 4);
    if (stride > std::numeric_limits<int>::max() || size->height > std::numeric_limits<int>::max() ||
        offset < 54 || offset > data.size() || (data.size() - offset) / stride < size->height)
        return {};
    const qint64 pixels = stride * size->height;
    const qint32 xDotsPerMeter = qint32(littleEndianAt(data, 38, 4));
    const qint32 yDotsPerMeter = qint32(littleEndianAt(data, 42, 4));
    data.detach();
    char* rows = data.data();
    std::memmove(rows, rows + offset, size_t(pixels));
    if (!size->topDown) {
        std::vector<char> spare(static_cast<size_t>(stride));
        for (qint64 top = 0, bottom = size->height - 1; top < bottom; ++top, --bottom) {
            std::memcpy(spare.data(), rows + top * stride, size_t(stride));
            std::memcpy(rows + top * stride, rows + bottom * stride, size_t(stride));
            std::memcpy(rows + bottom * stride, spare.data(), size_t(stride));
        }
    }
    auto* owner = new QByteArray(std::move(data));
    QImage image(reinterpret_cast<uchar*>(owner->data()), int(size->width), int(size->height),
                 qsizetype(stride), QImage::Format_BGR888,
                 [](void* held) { delete static_cast<QByteArray*>(held); }, owner);
    // As Qt's reader does; it ignores values that are not positive.
    image.setDotsPerMeterX(xDotsPerMeter);
    image.setDotsPerMeterY(yDotsPerMeter);
    return image;
}

QString problemOfHead(const QByteArray& head, const FileRangeReader& file, qint64 budget) {
    switch (SniffPictureFormat(head)) {
        case PictureFormat::Jpeg: {
            const DecodedJpeg jpeg = CheckJpegSize(head, budget);
            return jpeg.tooLarge ? tooLargeProblem(jpeg.failure) : QString();
        }
        case PictureFormat::Bmp:
            return bmpSizeProblem(head, budget);
        case PictureFormat::Gif:
            return GifHeadShowsTooLarge(head, budget) ? QLatin1String(kTooLarge) : QString();
        case PictureFormat::Tiff: {
            // Only a size refusal: a head cut before the first directory, or inside the
            // strips, is no damage of the whole file.
            const QString problem = tiffProblem(head, budget);
            if (problem.isEmpty() || problem.startsWith(QLatin1String(kTooLarge)))
                return problem;
            // The first directory may lie past the head: its sides are read where it is.
            const std::optional<TiffDeclaredSize> size = TiffFirstDirectorySize(file);
            return size && ExceedsBytes(size->width, size->height, size->bitsPerSample > 8 ? 8 : 4,
                                        budget)
                       ? tooLargeProblem(
                             QStringLiteral("%1 x %2 pixels").arg(size->width).arg(size->height))
                       : QString();
        }
        case PictureFormat::Png: {
            // The chunk walk decides chunk by chunk: a refusal among the chunks the head
            // holds whole is the one the whole file gets; a chunk cut by the head is not.
            const QString problem = pngProblem(head, budget);
            return problem.startsWith(QLatin1String(kTooLarge)) ? problem : QString();
        }
        default:
            return QLatin1String(kNotAPicture);
    }
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
    RaiseImageAllocationLimit();
    QImage image;
    switch (SniffPictureFormat(data)) {
        case PictureFormat::Jpeg:
            image = readJpeg(data, budget, error);
            break;
        case PictureFormat::Gif:
            image = readGif(data, budget, error);
            break;
        case PictureFormat::Bmp: {
            const QString problem = bmpProblem(data, BmpDamage(data), budget);
            if (problem.isEmpty())
                image = adoptBitmapRows(data);
            if (image.isNull())
                image = readChecked(data, "bmp", problem, error);
            break;
        }
        case PictureFormat::Png:
            image = readChecked(data, "png", pngProblem(data, budget), error);
            tagPlainGammaAsSrgb(image);
            break;
        case PictureFormat::Tiff: {
            // The common kinds go straight into the picture; the rest, and any file libtiff
            // cannot decode that way, through Qt's reader with its own refusals.
            const QString problem = tiffProblem(data, budget);
            if (problem.isEmpty())
                image = readPlainTiff(data, budget);
            if (image.isNull())
                image = readChecked(data, "tiff", problem, error);
            break;
        }
        default:
            *error = QLatin1String(kNotAPicture);
            return {};
    }
    if (image.isNull()) {
        *error = oneLine(*error);
        return {};
    }
    return image;
}

}  // namespace velloran::convert
