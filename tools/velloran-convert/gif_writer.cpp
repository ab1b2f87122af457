// SPDX-License-Identifier: MIT
#include "gif_writer.h"

#include <gif_lib.h>

#include <QHash>
#include <QList>
#include <array>
#include <vector>

#include "image_ops.h"

namespace velloran::convert {

namespace {

constexpr int kGifMaxSide = 65535;

constexpr int kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<GifPixelType> pixels;  // one palette index per pixel, rows without padding
    QList<QRgb> palette;
    int transparentIndex = -1;
};

// Levels per channel of the largest colour cube that fits `budget`. Green gets an extra level
// first, then red, because the eye resolves those best. 256 colours give 6x7x6.
std::array<int, 3> cubeLevels(int budget) {
    int n = 2;
    while ((n + 1) * (n + 1) * (n + 1) <= budget)
        ++n;
    std::array<int, 3> levels{n, n, n};  // red, green, blue
    if (levels[0] * (levels[1] + 1) * levels[2] <= budget)
        ++levels[1];
    if ((levels[0] + 1) * levels[1] * levels[2] <= budget)
        ++levels[0];
    return levels;
}

// Maps 0..255 onto 0..levels-1. `threshold` (odd, 1..127) is the dither offset in 128ths of a
// step; 64 rounds to the nearest level.
int quantize(int value, int levels, int threshold) {
    return (value * (levels - 1) * 128 + threshold * 255) / (255 * 128);
}

// A single level (two colours with one of them transparent) is black.
int levelValue(int level, int levels) {
    return levels > 1 ? level * 255 / (levels - 1) : 0;
}

bool isTransparent(const QImage& argb, int x, int y) {
    return qAlpha(reinterpret_cast<const QRgb*>(argb.constScanLine(y))[x]) < 128;
}

// Succeeds when the opaque pixels use at most `budget` distinct colours.
bool indexExactly(const QImage& argb, const QImage& flat, int budget, IndexedImage* out) {
    QHash<QRgb, int> indexOf;
    for (int y = 0; y < flat.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(flat.constScanLine(y));
        for (int x = 0; x < flat.width(); ++x) {
            if (isTransparent(argb, x, y)) {
                out->pixels.push_back(0);  // fixed up below, once the palette size is known
                continue;
            }
            auto it = indexOf.constFind(line[x]);
            if (it == indexOf.constEnd()) {
                if (indexOf.size() == budget)
                    return false;
                it = indexOf.insert(line[x], int(out->palette.size()));
                out->palette.append(line[x]);
            }
            out->pixels.push_back(GifPixelType(*it));
        }
    }
    return true;
}

void indexByDithering(const QImage& argb, const QImage& flat, int budget, bool dither,
                      IndexedImage* out) {
    const bool grey = budget < 8;
    const auto levels = grey ? std::array<int, 3>{budget, 1, 1} : cubeLevels(budget);
    // Cube entries are only added to the palette once a pixel uses them.
    std::vector<int> paletteIndex(std::size_t(levels[0] * levels[1] * levels[2]), -1);
    for (int y = 0; y < flat.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(flat.constScanLine(y));
        for (int x = 0; x < flat.width(); ++x) {
            if (isTransparent(argb, x, y)) {
                out->pixels.push_back(0);
                continue;
            }
            const int t = dither ? 2 * kBayer8[y % 8][x % 8] + 1 : 64;
            const QRgb pixel = line[x];
            int entry = 0;
            QRgb colour = 0;
            if (grey) {
                entry = quantize(qGray(pixel), levels[0], t);
                const int v = levelValue(entry, levels[0]);
                colour = qRgb(v, v, v);
            } else {
                const int r = quantize(qRed(pixel), levels[0], t);
                const int g = quantize(qGreen(pixel), levels[1], t);
                const int b = quantize(qBlue(pixel), levels[2], t);
                entry = (r * levels[1] + g) * levels[2] + b;
                colour = qRgb(levelValue(r, levels[0]), levelValue(g, levels[1]),
                              levelValue(b, levels[2]));
            }
            int& index = paletteIndex[std::size_t(entry)];
            if (index < 0) {
                index = int(out->palette.size());
                out->palette.append(colour);
            }
            out->pixels.push_back(GifPixelType(index));
        }
    }
}

IndexedImage toIndexed(const QImage& image, int maxColors, bool dither) {
    const QImage argb = toSrgb(image).convertToFormat(QImage::Format_ARGB32);
    const QImage flat = flattenOntoWhite(argb);
    bool anyTransparent = false;
    for (int y = 0; y < argb.height() && !anyTransparent && image.hasAlphaChannel(); ++y) {
        for (int x = 0; x < argb.width() && !anyTransparent; ++x) {
            anyTransparent = isTransparent(argb, x, y);
        }
    }
    const int budget = maxColors - (anyTransparent ? 1 : 0);

    IndexedImage indexed;
    indexed.width = image.width();
    indexed.height = image.height();
    indexed.pixels.reserve(std::size_t(indexed.width) * std::size_t(indexed.height));
    if (!indexExactly(argb, flat, budget, &indexed)) {
        indexed.pixels.clear();
        indexed.palette.clear();
        indexByDithering(argb, flat, budget, dither, &indexed);
    }
    if (anyTransparent) {
        indexed.transparentIndex = int(indexed.palette.size());
        indexed.palette.append(qRgb(255, 255, 255));
        std::size_t i = 0;
        for (int y = 0; y < indexed.height; ++y) {
            for (int x = 0; x < indexed.width; ++x, ++i) {
                if (isTransparent(argb, x, y)) {
                    indexed.pixels[i] = GifPixelType(indexed.transparentIndex);
                }
            }
        }
    }
    return indexed;
}

int appendToByteArray(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

bool writeGif(IndexedImage& indexed, QByteArray* gif, QString* error) {
    int errorCode = 0;
    GifFileType* file = EGifOpen(gif, appendToByteArray, &errorCode);
    if (!file) {
        *error = QString::fromLatin1(GifErrorString(errorCode));
        return false;
    }
    // GIF colour tables hold a power of two entries.
    int bits = 1;
    while ((1 << bits) < indexed.palette.size())
        ++bits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (!map) {
        EGifCloseFile(file, &errorCode);
        *error = QStringLiteral("out of memory");
        return false;
    }
    for (int i = 0; i < map->ColorCount; ++i) {
        const QRgb colour = i < indexed.palette.size() ? indexed.palette.at(i) : 0;
        map->Colors[i] = {GifByteType(qRed(colour)), GifByteType(qGreen(colour)),
                          GifByteType(qBlue(colour))};
    }
    // Transparency needs the graphic control extension, which arrived with GIF89a.
    EGifSetGifVersion(file, indexed.transparentIndex >= 0);
    bool ok = EGifPutScreenDesc(file, indexed.width, indexed.height, 8, 0, map) == GIF_OK;
    GifFreeMapObject(map);  // the file keeps its own copy
    if (ok && indexed.transparentIndex >= 0) {
        const GifByteType control[4] = {0x01, 0, 0, GifByteType(indexed.transparentIndex)};
        ok = EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
    }
    ok =
        ok && EGifPutImageDesc(file, 0, 0, indexed.width, indexed.height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < indexed.height; ++y) {
        ok = EGifPutLine(file, indexed.pixels.data() + std::size_t(y) * std::size_t(indexed.width),
                         indexed.width) == GIF_OK;
    }
    errorCode = file->Error;
    int closeError = 0;
    if (EGifCloseFile(file, &closeError) != GIF_OK && ok) {
        ok = false;
        errorCode = closeError;
    }
    if (!ok)
        *error = QString::fromLatin1(GifErrorString(errorCode));
    return ok;
}

}  // namespace

bool encodeGif(const QImage& image, int maxColors, bool dither, QByteArray* gif, QString* error) {
    if (image.width() > kGifMaxSide || image.height() > kGifMaxSide) {
        *error =
            QStringLiteral("GIF images cannot be larger than %1 pixels a side").arg(kGifMaxSide);
        return false;
    }
    IndexedImage indexed = toIndexed(image, qBound(2, maxColors, 256), dither);
    return writeGif(indexed, gif, error);
}

}  // namespace velloran::convert
