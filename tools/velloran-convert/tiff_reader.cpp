// SPDX-License-Identifier: MIT
#include "tiff_reader.h"

#include "lzw_decoder.h"
#include "tiff_memory.h"

#include <QColorSpace>
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace velloran::convert {

namespace {

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

enum class Kind { Unsupported, Grey, Rgb, RgbAssociatedAlpha, RgbUnassociatedAlpha };

bool decodedHere(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
        case COMPRESSION_LZW:
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_PACKBITS:
            return true;
        default:
            return false;
    }
}

Kind kindOf(TIFF* tiff) {
    uint16_t bits = 0, samples = 0, photometric = 0, planar = 0, format = 0, orientation = 0;
    uint16_t compression = 0, extraCount = 0;
    uint16_t* extras = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        return Kind::Unsupported;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extras);
    if (bits != 8 || planar != PLANARCONFIG_CONTIG || format != SAMPLEFORMAT_UINT ||
        orientation != ORIENTATION_TOPLEFT || !decodedHere(compression))
        return Kind::Unsupported;
    if (photometric == PHOTOMETRIC_MINISBLACK && samples == 1 && extraCount == 0)
        return Kind::Grey;
    if (photometric != PHOTOMETRIC_RGB)
        return Kind::Unsupported;
    if (samples == 3 && extraCount == 0)
        return Kind::Rgb;
    // An alpha of unspecified meaning Qt leaves as stored, and not premultiplied: left to it.
    if (samples == 4 && extraCount == 1 && extras != nullptr) {
        if (extras[0] == EXTRASAMPLE_ASSOCALPHA)
            return Kind::RgbAssociatedAlpha;
        if (extras[0] == EXTRASAMPLE_UNASSALPHA)
            return Kind::RgbUnassociatedAlpha;
    }
    return Kind::Unsupported;
}

QImage::Format formatOf(Kind kind) {
    switch (kind) {
        case Kind::Grey:
            return QImage::Format_Grayscale8;
        case Kind::Rgb:
            return QImage::Format_RGB888;
        default:
            return QImage::Format_RGBA8888_Premultiplied;
    }
}

// How a strip's bytes are coded, when this file decodes them itself: LZW (with or without
// the horizontal predictor) in the usual bit order. libtiff's own decoder starts every strip
// by clearing a table of 60 KB, which costs more than the decoding of a one-row strip.
struct OwnLzw {
    bool used = false;
    bool predictor = false;
    int samples = 1;
};

OwnLzw ownLzwOf(TIFF* tiff, int samples) {
    uint16_t compression = 0, predictor = 0, fillOrder = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &predictor);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &fillOrder);
    return OwnLzw{compression == COMPRESSION_LZW && fillOrder == FILLORDER_MSB2LSB &&
                      (predictor == PREDICTOR_NONE || predictor == PREDICTOR_HORIZONTAL),
                  predictor == PREDICTOR_HORIZONTAL, samples};
}

// One strip of `rows` rows into `to`: by this file's LZW decoder where it can, else (and
// for any strip it does not take) by libtiff.
bool readStrip(TIFF* tiff, const QByteArray& data, const OwnLzw& lzw, uint32_t strip,
               uchar* to, qsizetype rowBytes, uint32_t rows) {
    const tmsize_t want = tmsize_t(rowBytes) * rows;
    if (lzw.used) {
        int error = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, strip, &error);
        const uint64_t bytes = TIFFGetStrileByteCountWithErr(tiff, strip, &error);
        const uint64_t size = uint64_t(data.size());
        if (!error && offset <= size && bytes <= size - offset &&
            decodeLzwStrip(reinterpret_cast<const uchar*>(data.constData()) + offset,
                           size_t(bytes), to, size_t(want))) {
            for (uint32_t y = 0; lzw.predictor && y < rows; ++y) {
                uchar* row = to + qsizetype(y) * rowBytes;
                for (qsizetype i = lzw.samples; i < rowBytes; ++i)
                    row[i] = uchar(row[i] + row[i - lzw.samples]);
            }
            return true;
        }
    }
    return TIFFReadEncodedStrip(tiff, strip, to, want) == want;
}

// Strips decode straight into the picture's rows when those have no padding; otherwise
// (a width whose row is no multiple of four bytes) each strip goes through one buffer.
bool readStrips(TIFF* tiff, const QByteArray& data, QImage& image, int samples,
                qsizetype rowBytes) {
    const uint32_t height = uint32_t(image.height());
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, height);
    const uint32_t strips = (height - 1) / rowsPerStrip + 1;
    if (TIFFNumberOfStrips(tiff) < strips)
        return false;
    const OwnLzw lzw = ownLzwOf(tiff, samples);
    const qsizetype bytesPerLine = image.bytesPerLine();
    const bool direct = bytesPerLine == rowBytes;
    std::vector<uchar> buffer(direct ? 0 : size_t(rowBytes) * rowsPerStrip);
    for (uint32_t strip = 0; strip < strips; ++strip) {
        const uint32_t first = strip * rowsPerStrip;
        const uint32_t rows = std::min(rowsPerStrip, height - first);
        uchar* to = direct ? image.scanLine(int(first)) : buffer.data();
        if (!readStrip(tiff, data, lzw, strip, to, rowBytes, rows))
            return false;
        for (uint32_t y = 0; !direct && y < rows; ++y) {
            std::memcpy(image.scanLine(int(first + y)), buffer.data() + qsizetype(y) * rowBytes,
                        size_t(rowBytes));
        }
    }
    return true;
}

bool readTiles(TIFF* tiff, QImage& image, int samples, qint64 byteLimit) {
    uint32_t tileWidth = 0, tileHeight = 0;
    if (!TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth) ||
        !TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight) || tileWidth == 0 ||
        tileHeight == 0)
        return false;
    const uint64_t tileRowBytes = uint64_t(tileWidth) * uint64_t(samples);
    const uint64_t tileBytes = tileRowBytes * tileHeight;
    if (tileBytes > uint64_t(byteLimit) || TIFFTileSize64(tiff) != tileBytes)
        return false;
    std::vector<uchar> tile(static_cast<size_t>(tileBytes));
    const uint64_t width = uint64_t(image.width());
    const uint64_t height = uint64_t(image.height());
    for (uint64_t top = 0; top < height; top += tileHeight) {
        const uint64_t rows = std::min<uint64_t>(tileHeight, height - top);
        for (uint64_t left = 0; left < width; left += tileWidth) {
            const uint64_t columns = std::min<uint64_t>(tileWidth, width - left);
            const uint32_t index = TIFFComputeTile(tiff, uint32_t(left), uint32_t(top), 0, 0);
            if (index >= TIFFNumberOfTiles(tiff) ||
                TIFFReadEncodedTile(tiff, index, tile.data(), tmsize_t(tileBytes)) !=
                    tmsize_t(tileBytes))
                return false;
            for (uint64_t y = 0; y < rows; ++y) {
                std::memcpy(image.scanLine(int(top + y)) + left * uint64_t(samples),
                            tile.data() + y * tileRowBytes, size_t(columns) * size_t(samples));
            }
        }
    }
    return true;
}

// libtiff's own rounding of unassociated alpha, which Qt's reader takes over.
void premultiply(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        uchar* pixel = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, pixel += 4) {
            const unsigned alpha = pixel[3];
            for (int c = 0; c < 3; ++c)
                pixel[c] = uchar((pixel[c] * alpha + 127) / 255);
        }
    }
}

// As Qt's reader does: no unit means inches, and an unknown unit leaves the default.
void takeResolution(TIFF* tiff, QImage& image) {
    uint16_t unit = 0;
    if (!TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit))
        unit = RESUNIT_INCH;
    float x = 0, y = 0;
    if (!TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y))
        return;
    if (unit == RESUNIT_CENTIMETER) {
        image.setDotsPerMeterX(qRound(x * 100));
        image.setDotsPerMeterY(qRound(y * 100));
    } else if (unit == RESUNIT_INCH) {
        image.setDotsPerMeterX(qRound(x * (100 / 2.54)));
        image.setDotsPerMeterY(qRound(y * (100 / 2.54)));
    }
}

void takeProfile(TIFF* tiff, QImage& image) {
    uint32_t count = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &count, &profile) && profile != nullptr &&
        count <= uint32_t(std::numeric_limits<int>::max())) {
        image.setColorSpace(QColorSpace::fromIccProfile(
            QByteArray(static_cast<const char*>(profile), qsizetype(count))));
    }
}

}  // namespace

QImage readPlainTiff(const QByteArray& data, qint64 byteLimit) {
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options)
        return {};
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(byteLimit));
    TiffMemoryFile file{&data};
    const TiffHandle handle = openTiffReader(&file, options.get());
    if (!handle)
        return {};
    TIFF* tiff = handle.get();
    const Kind kind = kindOf(tiff);
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    if (kind == Kind::Unsupported || width == 0 || height == 0 ||
        width > uint32_t(std::numeric_limits<int>::max() / 4) ||
        height > uint32_t(std::numeric_limits<int>::max()))
        return {};
    const int samples = kind == Kind::Grey ? 1 : kind == Kind::Rgb ? 3 : 4;
    const qsizetype rowBytes = qsizetype(width) * samples;
    if (TIFFScanlineSize64(tiff) != uint64_t(rowBytes))
        return {};
    QImage image(int(width), int(height), formatOf(kind));
    if (image.isNull())
        throw std::bad_alloc();
    if (!(TIFFIsTiled(tiff) ? readTiles(tiff, image, samples, byteLimit)
                            : readStrips(tiff, data, image, samples, rowBytes)))
        return {};
    if (kind == Kind::RgbUnassociatedAlpha)
        premultiply(image);
    takeResolution(tiff, image);
    takeProfile(tiff, image);
    return image;
}

}  // namespace velloran::convert
