// SPDX-License-Identifier: MIT
#include "tiff_check.h"

#include "tiff_memory.h"

#include "imageio/checked_size.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace velloran::convert {

namespace {

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

QString tiffProblem(const QByteArray& data, qint64 byteLimit) {
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(byteLimit));
    TiffMemoryFile file{&data};
    const TiffHandle tiff = openTiffReader(&file, options.get());
    if (!tiff)
        return QStringLiteral(
            "the file is damaged or truncated (its first picture cannot be read)");
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    if (width == 0 || height == 0)
        return QStringLiteral("the file is damaged or truncated (it declares an empty picture)");
    // Qt holds 16-bit pictures at 8 bytes a pixel, all others at up to 4; libtiff holds a
    // strip or tile besides. Sides up to 2^32 - 1 make products past 2^63: all are checked.
    const bool tiled = TIFFIsTiled(tiff.get());
    const uint64_t bufferBytes = tiled ? TIFFTileSize64(tiff.get()) : TIFFStripSize64(tiff.get());
    if (bufferBytes > uint64_t(byteLimit) ||
        ExceedsBytes(width, height, bitsPerSample > 8 ? 8 : 4, byteLimit - qint64(bufferBytes))) {
        return QStringLiteral("the picture is too large (%1 x %2 pixels)").arg(width).arg(height);
    }
    const qint64 size = data.size();
    const uint32_t pieces = tiled ? TIFFNumberOfTiles(tiff.get()) : TIFFNumberOfStrips(tiff.get());
    for (uint32_t i = 0; i < pieces; ++i) {
        int error = 0;
        const qint64 offset = qint64(TIFFGetStrileOffsetWithErr(tiff.get(), i, &error));
        const qint64 bytes = qint64(TIFFGetStrileByteCountWithErr(tiff.get(), i, &error));
        if (error || bytes <= 0 || offset < 0 || offset > size || bytes > size - offset) {
            return QStringLiteral(
                       "the file is damaged or truncated (its %1 %2 of %3 lies outside it)")
                .arg(tiled ? QStringLiteral("tile") : QStringLiteral("strip"))
                .arg(i + 1)
                .arg(pieces);
        }
    }
    return QString();
}

}  // namespace velloran::convert
