// SPDX-License-Identifier: MIT
#include "imageio/icon_head.h"

#include "imageio/checked_size.h"

#include <QtEndian>

namespace {

constexpr qint64 kDirectoryBytes = 6;
constexpr qint64 kEntryBytes = 16;
constexpr qint64 kBitmapHeaderBytes = 40;
constexpr char kPngSignature[] = "\x89PNG\r\n\x1A\n";

quint16 U16(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}
quint32 U32(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

// The size an entry's own header declares, when that header lies inside `head`.
std::optional<IconDeclaredSize> EntrySize(const QByteArray& head, qint64 offset, bool* png) {
    const qint64 size = head.size();
    *png = offset + 24 <= size &&
           head.mid(offset, 8) == QByteArray::fromRawData(kPngSignature, 8) &&
           head.mid(offset + 12, 4) == "IHDR";
    if (*png) {
        return IconDeclaredSize{qFromBigEndian<quint32>(head.constData() + offset + 16),
                                qFromBigEndian<quint32>(head.constData() + offset + 20)};
    }
    if (offset + kBitmapHeaderBytes <= size && U32(head, offset) >= kBitmapHeaderBytes) {
        // Colour rows, then as many mask rows.
        return IconDeclaredSize{qint32(U32(head, offset + 4)), qint32(U32(head, offset + 8)) / 2};
    }
    return std::nullopt;
}

}  // namespace

std::optional<IconDeclaredSize> IconHeadTooLarge(const QByteArray& head, qint64 byteLimit) {
    if (byteLimit <= 0 || head.size() < kDirectoryBytes) {
        return std::nullopt;
    }
    const qint64 count = U16(head, 4);
    for (qint64 i = 0; i < count && kDirectoryBytes + (i + 1) * kEntryBytes <= head.size(); ++i) {
        const qint64 offset = U32(head, kDirectoryBytes + i * kEntryBytes + 12);
        bool png = false;
        const std::optional<IconDeclaredSize> declared = EntrySize(head, offset, &png);
        if (declared && (!png || i == 0) && declared->width > 0 && declared->height > 0 &&
            ExceedsBytes(declared->width, declared->height, 4, byteLimit)) {
            return declared;
        }
    }
    return std::nullopt;
}
