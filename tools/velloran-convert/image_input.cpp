// SPDX-License-Identifier: MIT
#include "image_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "imageio/bitmap_structure.h"
#include "imageio/gif_decoder.h"
#include "imageio/jpeg_decoder.h"
#include "imageio/image_limits.h"
#include "imageio/picture_format.h"
#include "png_check.h"
#include "tiff_check.h"
#include "util/descriptor_path.h"

namespace velloran::convert {

namespace {

constexpr int kLimitMb = kImageAllocationLimitMb;
constexpr qint64 kLimitBytes = qint64(kLimitMb) * 1024 * 1024;

QString systemError(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

// Opens without blocking and judges the opened file itself, so a FIFO or a device is
// never read, even one put at the path after a check.
// A descriptor path is read through the inherited descriptor itself, from its start
// (the caller may have left its offset anywhere), never through a name.
bool readRegularFile(const QString& path, QByteArray* data, QString* error) {
    const std::optional<int> inherited = DescriptorOfPath(path);
    const int fd = inherited ? fcntl(*inherited, F_DUPFD_CLOEXEC, 0)
                             : open(QFile::encodeName(path).constData(),
                                    O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = systemError(errno);
        return false;
    }
    struct stat status {};
    bool ok = fstat(fd, &status) == 0;
    if (!ok) {
        *error = systemError(errno);
    } else if (!S_ISREG(status.st_mode)) {
        *error = QStringLiteral("it is not a regular file");
        ok = false;
    } else if (status.st_size > kLimitBytes) {
        *error = QStringLiteral("the file is larger than %1 MB").arg(kLimitMb);
        ok = false;
    }
    if (ok) {
        data->resize(qsizetype(status.st_size));
        qsizetype have = 0;
        while (have < data->size()) {
            const ssize_t n = pread(fd, data->data() + have, size_t(data->size() - have), have);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                *error = systemError(errno);
                ok = false;
            }
            if (n <= 0)
                break;
            have += n;
        }
        data->truncate(have);
    }
    close(fd);
    if (ok && data->isEmpty()) {
        *error = QStringLiteral("the file is empty");
        ok = false;
    }
    return ok;
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

QString oneLine(QString text) {
    return text.replace(u'\n', u' ').trimmed();
}

}  // namespace

QImage readImage(const QString& path, QString* error) {
    QByteArray data;
    if (!readRegularFile(path, &data, error))
        return {};
    // The file's bytes are held while it is decoded: the picture and the decoder's buffers
    // get what the limit leaves.
    const qint64 budget = qMax<qint64>(kLimitBytes - data.size(), 1);
    QImageReader::setAllocationLimit(int(qMax<qint64>(budget >> 20, 1)));
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
            image = readChecked(
                data, "bmp",
                damage.isEmpty()
                    ? damage
                    : QStringLiteral("the file is damaged or truncated (%1)").arg(damage),
                error);
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
