// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtEndian>

// HEIF items and JPEG XL boxes store EXIF as a 4-byte big-endian offset, counted from the
// end of the offset, followed by data that holds the TIFF structure at that offset.

// The TIFF structure of such a box; nothing when the offset points past its end.
inline QByteArray TiffOfExifBox(const QByteArray& box) {
    if (box.size() < 4) {
        return {};
    }
    const quint32 offset = qFromBigEndian<quint32>(box.constData());
    if (offset > quint32(box.size() - 4)) {
        return {};
    }
    return box.mid(4 + qsizetype(offset));
}

// A box's contents for a TIFF structure: offset 0, then the structure.
inline QByteArray ExifBoxOfTiff(const QByteArray& tiff) {
    return QByteArray(4, '\0') + tiff;
}
