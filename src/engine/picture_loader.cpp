// SPDX-License-Identifier: MIT
#include "engine/picture_loader.h"

#include "imageio/bitmap_structure.h"
#include "imageio/checked_size.h"
#include "imageio/flatten_on_white.h"
#include "imageio/gif_decoder.h"
#include "imageio/heif_declared_size.h"
#include "imageio/heif_decoder.h"
#include "imageio/icon_head.h"
#include "imageio/jpeg_decoder.h"
#include "imageio/jxl_decoder.h"
#include "imageio/modern_picture_loader.h"
#include "imageio/picture_format.h"
#include "imageio/pixel_buffer_pool.h"
#include "imageio/webp_decoder.h"
#include "imageio/whole_file.h"
#include "util/paths.h"
#include "util/vb_error.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>

namespace {

[[noreturn]] void CannotRead(int number, const QString& path, const QString& reason) {
    Raise(number, QStringLiteral("Cannot read \"%1\": %2").arg(path, reason));
}

// Qt's allocation limit (raised at start-up) is the one bound on a picture's size, for
// the JPEG road as for every other format.
qint64 AllocationLimitBytes() {
    return qint64(QImageReader::allocationLimit()) * 1024 * 1024;
}

// What `limit` leaves for decoding once the file's bytes are held; 0: no limit.
qint64 DecodingBudget(qint64 fileBytes, qint64 limit) {
    return limit > 0 ? std::max<qint64>(limit - fileBytes, 1) : 0;
}
qint64 DecodingBudget(const QByteArray& data, qint64 limit) {
    return DecodingBudget(data.size(), limit);
}

// Refuses a picture whose pixels, with `extraBytesPerPixel` for the decoder's own copy,
// would not fit the budget. The sizes may come straight from a hostile header.
void CheckSize(const QString& path, qint64 budget, qint64 width, qint64 height,
               qint64 extraBytesPerPixel) {
    if (budget > 0 && ExceedsBytes(width, height, 4 + extraBytesPerPixel, budget)) {
        CannotRead(vberr::kOutOfMemory, path,
                   QStringLiteral("the picture is too large (%1 x %2 pixels; at most %3 MB "
                                  "of pixels can be held)")
                       .arg(width)
                       .arg(height)
                       .arg(QImageReader::allocationLimit()));
    }
}

[[noreturn]] void Damaged(const QString& path, const QString& why) {
    CannotRead(vberr::kInvalidPicture, path,
               QStringLiteral("the file is damaged or truncated (%1)").arg(why));
}

// ---- JPEG ----

[[noreturn]] void JpegTooLarge(const QString& path, const QString& why) {
    CannotRead(vberr::kOutOfMemory, path,
               QStringLiteral("the picture is too large (%1; at most %2 MB can be held)")
                   .arg(why)
                   .arg(QImageReader::allocationLimit()));
}

QImage LoadJpeg(const QString& path, const QByteArray& data, qint64 limit) {
    DecodedJpeg jpeg = DecodeJpeg(data, DecodingBudget(data, limit));
    if (jpeg.tooLarge) {
        JpegTooLarge(path, jpeg.failure);
    }
    if (jpeg.damaged) {
        Damaged(path, jpeg.failure);
    }
    if (jpeg.image.isNull()) {
        CannotRead(vberr::kInvalidPicture, path,
                   QStringLiteral("the JPEG data is damaged or of a kind that cannot be read (%1)")
                       .arg(jpeg.failure));
    }
    return std::move(jpeg.image);
}

// ---- GIF ----

[[noreturn]] void GifTooLarge(const QString& path) {
    CannotRead(vberr::kOutOfMemory, path,
               QStringLiteral("the picture is too large (at most %1 MB of pixels can be held)")
                   .arg(QImageReader::allocationLimit()));
}

QImage LoadGif(const QString& path, const QByteArray& data, qint64 limit) {
    DecodedGif gif = DecodeGif(data, DecodingBudget(data, limit));
    if (gif.tooLarge) {
        GifTooLarge(path);
    }
    if (!gif.damage.isEmpty()) {
        Damaged(path, gif.damage);
    }
    return FlattenOntoWhite(std::move(gif.image));
}

// ---- Bitmaps and icons ----

// Qt decodes these once the structure check has found the file whole. Pictures of up to
// 8 bits a pixel are decoded into an index image first, then widened.
QImage LoadBitmapWithQt(const QString& path, QByteArray data, const char* format,
                        const QString& damage, qint64 limit) {
    if (!damage.isEmpty()) {
        Damaged(path, damage);
    }
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (size.isValid()) {
        CheckSize(path, DecodingBudget(data, limit), size.width(), size.height(),
                  reader.imageFormat() == QImage::Format_RGB32 ? 0 : 4);
    }
    QImage image = reader.read();
    if (image.isNull()) {
        Damaged(path, reader.errorString());
    }
    return FlattenOntoWhite(std::move(image));
}

// ---- Formats never read here ----

[[noreturn]] void Metafile(const QString& path) {
    CannotRead(vberr::kInvalidPicture, path,
               QStringLiteral("it is a Windows metafile (WMF or EMF), which cannot be "
                              "read on this system"));
}

[[noreturn]] void NotReadable(const QString& path) {
    CannotRead(vberr::kInvalidPicture, path,
               QStringLiteral("it is not a picture in a format that can be read (JPEG, Windows "
                              "bitmap, GIF, icon or cursor)"));
}

// ---- Refusal from the head of a large file ----

// A file larger than this is looked at by its first bytes before it is read whole.
constexpr qint64 kHeadBytes = qint64(1) * 1024 * 1024;

// Raises, from a file's first bytes, the "too large" that loading the whole file would
// raise for a JPEG, a bitmap, a GIF, an icon, a HEIF, a WebP or a JPEG XL picture, so a
// huge file declaring a picture beyond the limit costs its head, not its size. Anything
// else is left to the whole load, but a file whose first bytes name a format never read
// here is refused as the whole load would refuse it.
void RefuseFromHead(const QString& path, const QByteArray& head, qint64 fileBytes, qint64 limit) {
    const qint64 budget = DecodingBudget(fileBytes, limit);
    if (const std::optional<ModernFormat> modern = ModernFormatOfName(path)) {
        // A file whose content is what its name says; the whole load names any other as
        // such.
        if (!ContentMatchesFormat(head, *modern)) {
            return;
        }
        const DecodedPicture declared = *modern == ModernFormat::WebP ? CheckWebPSize(head, budget)
                                        : *modern == ModernFormat::Jxl
                                            ? CheckJxlSize(head, budget)
                                            : CheckHeifSize(head, budget);
        if (declared.tooLarge) {
            CannotRead(vberr::kOutOfMemory, path,
                       QStringLiteral("the picture is too large (%1; at most %2 MB can be held)")
                           .arg(declared.failure)
                           .arg(QImageReader::allocationLimit()));
        }
        return;
    }
    switch (SniffPictureFormat(head)) {
        case PictureFormat::Jpeg:
            if (const DecodedJpeg jpeg = CheckJpegSize(head, budget); jpeg.tooLarge) {
                JpegTooLarge(path, jpeg.failure);
            }
            break;
        case PictureFormat::Bmp:
            if (const auto declared = BmpDeclaredSize(head);
                declared && declared->width > 0 && declared->height > 0) {
                CheckSize(path, budget, declared->width, declared->height, 0);
            }
            break;
        case PictureFormat::Gif:
            if (GifHeadShowsTooLarge(head, budget)) {
                GifTooLarge(path);
            }
            break;
        case PictureFormat::Icon:
            if (const auto declared = IconHeadTooLarge(head, budget)) {
                CheckSize(path, budget, declared->width, declared->height, 0);
            }
            break;
        case PictureFormat::Metafile:
            Metafile(path);
        case PictureFormat::Png:
        case PictureFormat::Tiff:
        case PictureFormat::Unknown:
            NotReadable(path);
    }
}

// Decodes a file's bytes as LoadPicture does.
QImage DecodePictureData(const QString& path, QByteArray data, qint64 byteLimit);

}  // namespace

QImage LoadPicture(const QString& path) {
    return LoadPicture(path, AllocationLimitBytes());
}

QImage LoadPicture(const QString& path, qint64 byteLimit) {
    return LoadPictureOrPlanes(path, byteLimit, false).image;
}

bool CopiesAsJpeg(const QString& path) {
    const QString extension = LowerExtension(path);
    return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg");
}

bool CopiesInPlanes(const QString& path) {
    const std::optional<ModernFormat> modern = ModernFormatOfName(path);
    return modern ? *modern == ModernFormat::Heic || *modern == ModernFormat::Heif ||
                        *modern == ModernFormat::Avif
                  : CopiesAsJpeg(path);
}

LoadedPicture LoadPictureOrPlanes(const QString& path, bool wantPlanes) {
    return LoadPictureOrPlanes(path, AllocationLimitBytes(), wantPlanes);
}

LoadedPicture LoadForCopy(const QString& path, bool inOwnForm) {
    return LoadForCopy(path, AllocationLimitBytes(), inOwnForm);
}

LoadedPicture LoadForCopy(const QString& path, qint64 byteLimit, bool inOwnForm) {
    return LoadPictureOrPlanes(path, byteLimit, inOwnForm, inOwnForm);
}

LoadedPicture LoadPictureOrPlanes(const QString& path, qint64 byteLimit, bool wantPlanes,
                                  bool wantCoefficients) {
    QByteArray data =
        ReadWholeFile(path, byteLimit, kHeadBytes, [&](const QByteArray& head, qint64 fileBytes) {
            RefuseFromHead(path, head, fileBytes, byteLimit);
        });
    if (wantPlanes && !ModernFormatOfName(path) &&
        SniffPictureFormat(data) == PictureFormat::Jpeg) {
        // Anything the blocks or planes cannot hold is read as a picture below, which names
        // any fault.
        if (wantCoefficients) {
            if (std::optional<JpegCoefficients> blocks =
                    DecodeJpegCoefficients(data, DecodingBudget(data, byteLimit))) {
                pixel_buffer_pool::DropSpare();
                return {QImage(), std::nullopt, std::nullopt, std::move(blocks)};
            }
        }
        if (std::optional<JpegPlanes> planes =
                DecodeJpegPlanes(data, DecodingBudget(data, byteLimit))) {
            pixel_buffer_pool::DropSpare();
            return {QImage(), std::move(planes), std::nullopt, std::nullopt};
        }
    }
    if (const std::optional<ModernFormat> modern = ModernFormatOfName(path);
        wantPlanes && CopiesInPlanes(path) && modern && ContentMatchesFormat(data, *modern)) {
        // As for a JPEG, anything the planes cannot hold is read as a picture below.
        if (std::optional<HeifPlanes> planes =
                DecodeHeifPlanes(data, DecodingBudget(data, byteLimit))) {
            pixel_buffer_pool::DropSpare();
            return {QImage(), std::nullopt, std::move(planes), std::nullopt};
        }
    }
    return {DecodePictureData(path, std::move(data), byteLimit), std::nullopt, std::nullopt,
            std::nullopt};
}

namespace {

QImage DecodePictureData(const QString& path, QByteArray data, qint64 byteLimit) {
    if (const std::optional<ModernFormat> modern = ModernFormatOfName(path)) {
        pixel_buffer_pool::DropSpare();
        return LoadModernPicture(path, data, *modern, DecodingBudget(data, byteLimit));
    }
    const PictureFormat format = SniffPictureFormat(data);
    // Only JPEG pixels come from the pool: a spare buffer kept for them would sit beside
    // any other picture for nothing.
    if (format != PictureFormat::Jpeg) {
        pixel_buffer_pool::DropSpare();
    }
    switch (format) {
        case PictureFormat::Jpeg:
            return LoadJpeg(path, data, byteLimit);
        case PictureFormat::Gif:
            return LoadGif(path, data, byteLimit);
        case PictureFormat::Bmp: {
            // A size beyond the limit is named as such, before the rows it declares are
            // found missing from the file.
            if (const auto declared = BmpDeclaredSize(data);
                declared && declared->width > 0 && declared->height > 0) {
                CheckSize(path, DecodingBudget(data, byteLimit), declared->width,
                          declared->height, 0);
            }
            const QString damage = BmpDamage(data);
            return LoadBitmapWithQt(path, std::move(data), "bmp", damage, byteLimit);
        }
        case PictureFormat::Icon: {
            const QString damage = IconDamage(data);
            return LoadBitmapWithQt(path, std::move(data), "ico", damage, byteLimit);
        }
        case PictureFormat::Metafile:
            Metafile(path);
        case PictureFormat::Png:
        case PictureFormat::Tiff:
        case PictureFormat::Unknown:
            break;
    }
    NotReadable(path);
}

}  // namespace
