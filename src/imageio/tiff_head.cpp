// SPDX-License-Identifier: MIT
#include "imageio/tiff_head.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint16 kImageWidth = 256;
constexpr quint16 kImageLength = 257;
constexpr quint16 kBitsPerSample = 258;

// Field types and their sizes in bytes.
qint64 TypeBytes(quint16 type) {
    switch (type) {
        case 1:  // BYTE
        case 2:  // ASCII
        case 6:  // SBYTE
        case 7:  // UNDEFINED
            return 1;
        case 3:  // SHORT
        case 8:  // SSHORT
            return 2;
        case 4:   // LONG
        case 9:   // SLONG
        case 11:  // FLOAT
        case 13:  // IFD
            return 4;
        default:
            return 0;
    }
}

// Reads unsigned fields in the file's byte order from bytes known to hold them.
class Fields {
public:
    explicit Fields(bool bigEndian) : big_(bigEndian) {}
    quint64 Get(const char* at, qint64 bytes) const {
        switch (bytes) {
            case 1:
                return uchar(*at);
            case 2:
                return big_ ? qFromBigEndian<quint16>(at) : qFromLittleEndian<quint16>(at);
            default:
                return big_ ? qFromBigEndian<quint32>(at) : qFromLittleEndian<quint32>(at);
        }
    }

private:
    bool big_;
};

struct Header {
    bool bigEndian = false;
    qint64 directory = 0;
};

std::optional<Header> ReadHeader(const QByteArray& head) {
    if (head.size() < 8 || !(head.startsWith("II") || head.startsWith("MM"))) {
        return std::nullopt;
    }
    Header header;
    header.bigEndian = head.startsWith("MM");
    const Fields fields(header.bigEndian);
    if (fields.Get(head.constData() + 2, 2) != 42) {
        return std::nullopt;
    }
    header.directory = qint64(fields.Get(head.constData() + 4, 4));
    return header;
}

}  // namespace

std::optional<TiffDeclaredSize> TiffFirstDirectorySize(const FileRangeReader& file) {
    const std::optional<Header> header = ReadHeader(file.readAt(0, 8));
    if (!header || header->directory < 8) {
        return std::nullopt;
    }
    const Fields fields(header->bigEndian);
    constexpr qint64 countBytes = 2;
    constexpr qint64 entryBytes = 12;
    constexpr qint64 valueBytes = 4;
    const QByteArray countField = file.readAt(header->directory, countBytes);
    if (countField.size() != countBytes) {
        return std::nullopt;
    }
    // Tags are sorted and the sides come nearly first: a short run of entries holds them.
    const qint64 count = qint64(std::min<quint64>(fields.Get(countField.constData(), 2), 64));
    const QByteArray entries = file.readAt(header->directory + countBytes, count * entryBytes);
    TiffDeclaredSize size;
    for (qint64 at = 0; at + entryBytes <= entries.size(); at += entryBytes) {
        const char* entry = entries.constData() + at;
        const quint16 tag = quint16(fields.Get(entry, 2));
        const qint64 typeBytes = TypeBytes(quint16(fields.Get(entry + 2, 2)));
        const quint64 values = fields.Get(entry + 4, 4);
        const char* value = entry + 8;
        if (tag > kBitsPerSample) {
            break;
        }
        if (typeBytes == 0 || typeBytes > valueBytes || values == 0) {
            continue;
        }
        // A value wider than its field's room lies elsewhere; only its first one counts.
        QByteArray outside;
        if (values > quint64(valueBytes / typeBytes)) {
            const quint64 offset = fields.Get(value, valueBytes);
            if (offset > quint64(file.fileSize())) {
                continue;
            }
            outside = file.readAt(qint64(offset), typeBytes);
            if (outside.size() != typeBytes) {
                continue;
            }
            value = outside.constData();
        }
        // A value narrower than its field sits at the field's start in either byte order.
        const quint64 first = fields.Get(value, typeBytes);
        if (tag == kImageWidth) {
            size.width = qint64(first);
        } else if (tag == kImageLength) {
            size.height = qint64(first);
        } else if (tag == kBitsPerSample) {
            size.bitsPerSample = int(std::min<quint64>(first, 64));
        }
    }
    if (size.width <= 0 || size.height <= 0) {
        return std::nullopt;
    }
    return size;
}
