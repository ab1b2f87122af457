// SPDX-License-Identifier: MIT
#include "tiff_check.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace velloran::convert {

namespace {

struct MemoryFile {
    const QByteArray* data;
    toff_t at = 0;
};

tsize_t readMemory(thandle_t handle, tdata_t buffer, tsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t length = toff_t(file->data->size());
    const toff_t n = file->at >= length ? 0 : std::min<toff_t>(toff_t(size), length - file->at);
    std::memcpy(buffer, file->data->constData() + file->at, size_t(n));
    file->at += n;
    return tsize_t(n);
}
tsize_t writeNothing(thandle_t, tdata_t, tsize_t) {
    return 0;
}
toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR   ? file->at
                        : whence == SEEK_END ? toff_t(file->data->size())
                                             : 0;
    file->at = base + offset;
    return file->at;
}
int closeNothing(thandle_t) {
    return 0;
}
toff_t sizeOfMemory(thandle_t handle) {
    return toff_t(static_cast<MemoryFile*>(handle)->data->size());
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

QString tiffProblem(const QByteArray& data, qint64 byteLimit, bool* tooLarge) {
    *tooLarge = false;
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(byteLimit));
    MemoryFile file{&data};
    // "m": no memory mapping, the callbacks read from the buffer.
    const std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpenExt("input", "rm", &file, readMemory, writeNothing, seekMemory, closeNothing,
                          sizeOfMemory, nullptr, nullptr, options.get()));
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
    // Qt holds 16-bit pictures at 8 bytes a pixel, all others at up to 4.
    const qint64 pictureBytes = qint64(width) * height * (bitsPerSample > 8 ? 8 : 4);
    const bool tiled = TIFFIsTiled(tiff.get());
    const qint64 bufferBytes =
        tiled ? qint64(TIFFTileSize64(tiff.get())) : qint64(TIFFStripSize64(tiff.get()));
    if (pictureBytes + bufferBytes > byteLimit) {
        *tooLarge = true;
        return QStringLiteral("the picture is too large (%1 x %2 pixels)").arg(width).arg(height);
    }
    const qint64 size = data.size();
    const uint32_t pieces = tiled ? TIFFNumberOfTiles(tiff.get()) : TIFFNumberOfStrips(tiff.get());
    for (uint32_t i = 0; i < pieces; ++i) {
        int error = 0;
        const qint64 offset = qint64(TIFFGetStrileOffsetWithErr(tiff.get(), i, &error));
        const qint64 bytes = qint64(TIFFGetStrileByteCountWithErr(tiff.get(), i, &error));
        if (error || bytes <= 0 || offset < 0 || offset + bytes > size) {
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
