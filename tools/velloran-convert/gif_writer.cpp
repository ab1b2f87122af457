// SPDX-License-Identifier: MIT
#include "gif_writer.h"

#include <gif_lib.h>

#include <QColorSpace>
#include <QColorTransform>
#include <QHash>
#include <QList>
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "palette_quantiser.h"

namespace velloran::convert {

namespace {

constexpr int kGifMaxSide = 65535;

bool isTransparent(QRgb pixel) {
    return qAlpha(pixel) < 128;
}

QRgb overWhite(QRgb pixel) {
    const int a = qAlpha(pixel);
    const auto mix = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(pixel)), mix(qGreen(pixel)), mix(qBlue(pixel)));
}

// The picture's rows as unpremultiplied sRGB colours: GIF carries no colour profile.
class PictureRows {
public:
    explicit PictureRows(const QImage& image)
        : image_(image),
          convert_(image.colorSpace().isValid() &&
                   image.colorSpace() != QColorSpace(QColorSpace::SRgb)),
          // Built once: every pass over the rows would otherwise build it for each row.
          toSrgb_(convert_ ? image.colorSpace().transformationToColorSpace(QColorSpace::SRgb)
                           : QColorTransform()) {}

    void read(int y, std::vector<QRgb>& out) const {
        QImage row(image_.constScanLine(y), image_.width(), 1, image_.bytesPerLine(),
                   image_.format());
        if (image_.format() == QImage::Format_Indexed8 || image_.format() == QImage::Format_Mono ||
            image_.format() == QImage::Format_MonoLSB) {
            row.setColorTable(image_.colorTable());
        }
        QImage argb = row.convertToFormat(QImage::Format_ARGB32);
        if (convert_) {
            argb.applyColorTransform(toSrgb_);
        }
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(0));
        std::copy(in, in + image_.width(), out.begin());
    }

private:
    const QImage& image_;
    const bool convert_;
    const QColorTransform toSrgb_;
};

struct Palette {
    QList<QRgb> colours;
    bool exact = false;        // every opaque colour of the picture is in `colours`
    bool transparent = false;  // some pixels are transparent
};

// The picture's own colours when it has few enough; also tells whether any pixel is
// transparent.
Palette exactColours(const PictureRows& rows, int width, int height, int maxColors) {
    Palette palette;
    QHash<QRgb, int> seen;
    std::vector<QRgb> row(static_cast<size_t>(width));
    bool tooMany = false;
    for (int y = 0; y < height; ++y) {
        rows.read(y, row);
        for (const QRgb pixel : row) {
            if (isTransparent(pixel)) {
                palette.transparent = true;
            } else if (!tooMany && !seen.contains(overWhite(pixel))) {
                seen.insert(overWhite(pixel), 0);
                palette.colours.append(overWhite(pixel));
                tooMany = palette.colours.size() > maxColors;
            }
        }
    }
    palette.exact = palette.colours.size() <= maxColors - (palette.transparent ? 1 : 0);
    if (!palette.exact)
        palette.colours.clear();
    return palette;
}

struct GifCloser {
    void operator()(GifFileType* file) const {
        int error = 0;
        EGifCloseFile(file, &error);
    }
};

// giflib is C: an exception may not cross it (nor leave EGifCloseFile in a destructor), so
// out of memory is a short write, which giflib reports as a failed write.
int appendToByteArray(GifFileType* gif, const GifByteType* data, int length) {
    try {
        static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data),
                                                         length);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

QString gifError(int code) {
    return QString::fromLatin1(GifErrorString(code));
}

}  // namespace

bool encodeGif(const QImage& image, int maxColors, bool dither, QByteArray* gif, QString* error) {
    if (image.width() > kGifMaxSide || image.height() > kGifMaxSide) {
        *error =
            QStringLiteral("GIF images cannot be larger than %1 pixels a side").arg(kGifMaxSide);
        return false;
    }
    maxColors = qBound(2, maxColors, 256);
    const int width = image.width();
    const int height = image.height();
    const PictureRows rows(image);
    Palette palette = exactColours(rows, width, height, maxColors);
    const int budget = maxColors - (palette.transparent ? 1 : 0);
    const CubeDitherMapper cube(budget, dither);
    if (!palette.exact) {
        const RowSource source = [&rows](int y, std::vector<QRgb>& row, std::vector<bool>& opaque) {
            rows.read(y, row);
            for (size_t x = 0; x < row.size(); ++x) {
                opaque[x] = !isTransparent(row[x]);
                row[x] = overWhite(row[x]);
            }
        };
        palette.colours = budget < kMinAdaptiveColours
                              ? cube.palette()
                              : adaptivePalette(width, height, budget, source, error);
        if (palette.colours.isEmpty())
            return false;
    }
    const int transparentIndex = palette.transparent ? int(palette.colours.size()) : -1;
    QList<QRgb> entries = palette.colours;
    if (palette.transparent)
        entries.append(qRgb(255, 255, 255));

    int errorCode = 0;
    std::unique_ptr<GifFileType, GifCloser> file(EGifOpen(gif, appendToByteArray, &errorCode));
    if (!file) {
        *error = gifError(errorCode);
        return false;
    }
    // GIF colour tables hold a power of two entries.
    int bits = 1;
    while ((1 << bits) < entries.size())
        ++bits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (!map) {
        *error = QStringLiteral("out of memory");
        return false;
    }
    for (int i = 0; i < map->ColorCount; ++i) {
        const QRgb colour = i < entries.size() ? entries.at(i) : 0;
        map->Colors[i] = {GifByteType(qRed(colour)), GifByteType(qGreen(colour)),
                          GifByteType(qBlue(colour))};
    }
    // Transparency needs the graphic control extension, which arrived with GIF89a.
    EGifSetGifVersion(file.get(), transparentIndex >= 0);
    bool ok = EGifPutScreenDesc(file.get(), width, height, 8, 0, map) == GIF_OK;
    GifFreeMapObject(map);  // the file keeps its own copy
    if (ok && transparentIndex >= 0) {
        const GifByteType control[4] = {0x01, 0, 0, GifByteType(transparentIndex)};
        ok = EGifPutExtension(file.get(), GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(file.get(), 0, 0, width, height, false, nullptr) == GIF_OK;

    QHash<QRgb, int> exactIndex;
    for (int i = 0; palette.exact && i < palette.colours.size(); ++i)
        exactIndex.insert(palette.colours.at(i), i);
    OrderedDitherMapper mapper(palette.colours, dither && !palette.exact);
    std::vector<QRgb> row(static_cast<size_t>(width));
    std::vector<GifPixelType> indices(static_cast<size_t>(width));
    for (int y = 0; ok && y < height; ++y) {
        rows.read(y, row);
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = row[size_t(x)];
            indices[size_t(x)] =
                GifPixelType(isTransparent(pixel)           ? transparentIndex
                             : palette.exact                ? exactIndex.value(overWhite(pixel))
                             : budget < kMinAdaptiveColours ? cube.index(overWhite(pixel), x, y)
                                                            : mapper.index(overWhite(pixel), x, y));
        }
        ok = EGifPutLine(file.get(), indices.data(), width) == GIF_OK;
    }
    if (!ok) {
        *error = gifError(file->Error);
        return false;
    }
    // Closing writes the trailer, which can fail too.
    if (EGifCloseFile(file.release(), &errorCode) != GIF_OK) {
        *error = gifError(errorCode);
        return false;
    }
    return true;
}

}  // namespace velloran::convert
