// SPDX-License-Identifier: MIT
#include "imageio/picture_format.h"

namespace {

bool StartsWith(const QByteArray& data, const char* bytes, qsizetype length) {
    return data.size() >= length && data.startsWith(QByteArray::fromRawData(bytes, length));
}

quint16 U16(const QByteArray& data, qsizetype at) {
    return quint16(uchar(data[at]) | uchar(data[at + 1]) << 8);
}

}  // namespace

PictureFormat SniffPictureFormat(const QByteArray& data) {
    if (StartsWith(data, "\xFF\xD8", 2)) {
        return PictureFormat::Jpeg;
    }
    if (StartsWith(data, "BM", 2)) {
        return PictureFormat::Bmp;
    }
    if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6)) {
        return PictureFormat::Gif;
    }
    if (StartsWith(data, "\x89PNG\r\n\x1A\n", 8)) {
        return PictureFormat::Png;
    }
    if (StartsWith(data, "II*\0", 4) || StartsWith(data, "MM\0*", 4)) {
        return PictureFormat::Tiff;
    }
    // Placeable WMF, plain WMF (in memory or on disk), EMF (" EMF" at 40).
    if (StartsWith(data, "\xD7\xCD\xC6\x9A", 4) || StartsWith(data, "\x01\x00\x09\x00", 4) ||
        StartsWith(data, "\x02\x00\x09\x00", 4) ||
        (StartsWith(data, "\x01\x00\x00\x00", 4) && data.size() >= 44 &&
         data.mid(40, 4) == QByteArrayView(" EMF"))) {
        return PictureFormat::Metafile;
    }
    // Icon (type 1) or cursor (type 2) directory with at least one entry.
    if (data.size() >= 6 && U16(data, 0) == 0 && (U16(data, 2) == 1 || U16(data, 2) == 2) &&
        U16(data, 4) > 0) {
        return PictureFormat::Icon;
    }
    return PictureFormat::Unknown;
}
