// SPDX-License-Identifier: MIT
#include "imageio/bitmap_structure.h"

#include <QtEndian>

namespace {

constexpr quint32 kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

quint32 U32(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}
quint16 U16(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}

qint64 RowBytes(qint64 width, qint64 bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// Walks an RLE8 or RLE4 stream from `at`. Runs and deltas may not leave the picture; the
// stream must end with its end-of-bitmap code before the data does.
QString RleDamage(const QByteArray& data, qint64 at, qint64 width, qint64 height, bool rle4) {
    const qint64 end = data.size();
    qint64 x = 0;
    qint64 y = 0;
    while (at + 2 <= end) {
        const int count = uchar(data[at]);
        const int code = uchar(data[at + 1]);
        at += 2;
        if (count > 0) {
            x += count;
        } else if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of bitmap
            return QString();
        } else if (code == 2) {  // delta
            if (at + 2 > end) {
                break;
            }
            x += uchar(data[at]);
            y += uchar(data[at + 1]);
            at += 2;
        } else {  // absolute run of `code` pixels, padded to a 16-bit boundary
            const qint64 bytes = rle4 ? (code + 1) / 2 : code;
            at += (bytes + 1) / 2 * 2;
            x += code;
        }
        if (y > height || (y == height && x > 0)) {
            return QStringLiteral("its compressed rows run past the picture's height");
        }
    }
    Q_UNUSED(width);
    return QStringLiteral("its compressed rows end before the end-of-picture code");
}

}  // namespace

QString BmpDamage(const QByteArray& data) {
    const qint64 size = data.size();
    if (size < 26) {
        return QStringLiteral("its header is cut short");
    }
    const qint64 pixelOffset = U32(data, 10);
    const qint64 infoSize = U32(data, 14);
    const bool core = infoSize == 12;
    if (!core && infoSize < 40) {
        return QStringLiteral("its header has an unknown size (%1 bytes)").arg(infoSize);
    }
    if (14 + infoSize > size) {
        return QStringLiteral("its header is cut short");
    }
    const qint64 width = core ? U16(data, 18) : qint32(U32(data, 18));
    const qint64 signedHeight = core ? U16(data, 20) : qint32(U32(data, 22));
    const qint64 height = qAbs(signedHeight);
    const qint64 bitsPerPixel = U16(data, core ? 24 : 28);
    const quint32 compression = core ? kRgb : U32(data, 30);
    if (width <= 0 || height <= 0) {
        return QStringLiteral("it declares an empty or negative size");
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
        bitsPerPixel != 24 && bitsPerPixel != 32) {
        return QStringLiteral("it declares %1 bits per pixel").arg(bitsPerPixel);
    }
    // Colour masks follow a 40-byte header; larger headers hold them inside.
    qint64 tableStart = 14 + infoSize;
    if (infoSize == 40 && (compression == kBitFields || compression == kAlphaBitFields)) {
        tableStart += compression == kBitFields ? 12 : 16;
    }
    if (bitsPerPixel <= 8) {
        const qint64 used = core ? 0 : U32(data, 46);
        const qint64 entries =
            used > 0 && used < (qint64(1) << bitsPerPixel) ? used : qint64(1) << bitsPerPixel;
        if (tableStart + entries * (core ? 3 : 4) > size) {
            return QStringLiteral("its colour table is cut short");
        }
    }
    if (pixelOffset < 14 + infoSize || pixelOffset >= size) {
        return QStringLiteral("its pixel data lies outside the file");
    }
    switch (compression) {
        case kRgb:
        case kBitFields:
        case kAlphaBitFields:
            if (compression != kRgb && bitsPerPixel != 16 && bitsPerPixel != 32) {
                return QStringLiteral("its colour masks do not fit its depth");
            }
            if (pixelOffset + RowBytes(width, bitsPerPixel) * height > size) {
                return QStringLiteral("it holds fewer pixel rows than its header declares");
            }
            return QString();
        case kRle8:
        case kRle4:
            if (bitsPerPixel != (compression == kRle8 ? 8 : 4) || signedHeight < 0) {
                return QStringLiteral("its compression does not fit its depth");
            }
            return RleDamage(data, pixelOffset, width, height, compression == kRle4);
        default:
            return QStringLiteral("it uses an unknown compression (%1)").arg(compression);
    }
}

QString IconDamage(const QByteArray& data) {
    const qint64 size = data.size();
    const qint64 count = size >= 6 ? U16(data, 4) : 0;
    if (count == 0 || 6 + 16 * count > size) {
        return QStringLiteral("its directory is cut short");
    }
    for (qint64 i = 0; i < count; ++i) {
        const qint64 entry = 6 + 16 * i;
        const qint64 bytes = U32(data, entry + 8);
        const qint64 offset = U32(data, entry + 12);
        if (bytes == 0 || offset < 6 + 16 * count || offset + bytes > size) {
            return QStringLiteral("image %1 of %2 lies outside the file").arg(i + 1).arg(count);
        }
        if (bytes < 40 || U32(data, offset) != 40) {
            continue;  // a PNG entry, judged by its own decoder
        }
        const qint64 width = qint32(U32(data, offset + 4));
        const qint64 height = qint32(U32(data, offset + 8)) / 2;  // colour rows, then mask
        const qint64 bitsPerPixel = U16(data, offset + 14);
        if (width <= 0 || height <= 0 || width > 1024 || height > 1024 || bitsPerPixel == 0 ||
            bitsPerPixel > 32) {
            return QStringLiteral("image %1 of %2 declares an impossible size")
                .arg(i + 1)
                .arg(count);
        }
        const qint64 used = U32(data, offset + 32);
        const qint64 entries = bitsPerPixel > 8 ? 0 : used > 0 ? used : qint64(1) << bitsPerPixel;
        // The mask rows are not counted: some writers leave them out of 32-bit images.
        const qint64 needed = 40 + 4 * entries + RowBytes(width, bitsPerPixel) * height;
        if (needed > bytes) {
            return QStringLiteral("image %1 of %2 holds fewer rows than it declares")
                .arg(i + 1)
                .arg(count);
        }
    }
    return QString();
}
