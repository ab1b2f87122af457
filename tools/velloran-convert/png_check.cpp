// SPDX-License-Identifier: MIT
#include "png_check.h"

#include "imageio/checked_size.h"

#include <QtEndian>

#include <zlib.h>

namespace velloran::convert {

namespace {

constexpr qint64 kSignatureBytes = 8;

quint32 bigEndian32(const QByteArray& data, qint64 at) {
    return qFromBigEndian<quint32>(data.constData() + at);
}

// Bytes the zlib stream in `data` unpacks to, counting no further than `cap`; -1 when
// the stream is broken.
qint64 unpackedBytes(const char* data, qint64 length, qint64 cap) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return -1;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = uInt(length);
    Bytef buffer[16384];
    qint64 total = 0;
    int status = Z_OK;
    while (status == Z_OK && total <= cap) {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        total += qint64(sizeof buffer - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            break;  // the stream ended early; libpng keeps what it got
    }
    inflateEnd(&stream);
    return status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR ? total : -1;
}

// Where the compressed part of a zTXt, iTXt or iCCP chunk starts inside its data, or -1
// when the chunk holds none.
qint64 compressedStart(const QByteArray& type, const char* data, qint64 length) {
    const qint64 keywordEnd = qint64(qstrnlen(data, size_t(length)));
    if (type == "zTXt" || type == "iCCP")
        return keywordEnd + 2;  // keyword, NUL, method
    if (type != "iTXt" || keywordEnd + 3 > length || data[keywordEnd + 1] == 0)
        return -1;                                          // uncompressed international text
    qint64 at = keywordEnd + 3;                             // keyword, NUL, flag, method
    for (int field = 0; field < 2 && at < length; ++field)  // language, translated keyword
        at += qint64(qstrnlen(data + at, size_t(length - at))) + 1;
    return at;
}

}  // namespace

QString pngProblem(const QByteArray& data, qint64 byteLimit) {
    const qint64 size = data.size();
    qint64 budget = byteLimit;
    bool sawHeader = false;
    for (qint64 at = kSignatureBytes; at + 12 <= size;) {
        const qint64 length = bigEndian32(data, at);
        const QByteArray type = data.mid(at + 4, 4);
        const char* body = data.constData() + at + 8;
        if (length > 0x7FFFFFFF || at + 12 + length > size) {
            return QStringLiteral(
                       "the file is damaged or truncated (its %1 chunk declares %2 bytes)")
                .arg(QString::fromLatin1(type))
                .arg(length);
        }
        if (!sawHeader) {
            if (type != "IHDR" || length != 13)
                return QStringLiteral("the file is damaged or truncated (it has no header)");
            sawHeader = true;
            const qint64 width = bigEndian32(data, at + 8);
            const qint64 height = bigEndian32(data, at + 12);
            const int bitDepth = uchar(body[8]);
            // PNG sides run from 1 to 2^31 - 1.
            if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
                return QStringLiteral("the file is damaged or truncated (its header is invalid)");
            // Qt holds 16-bit pictures at 8 bytes a pixel, all others at up to 4. Two sides
            // near 2^31 at 8 bytes a pixel pass 2^63: the product is checked.
            const qint64 bytesPerPixel = bitDepth == 16 ? 8 : 4;
            if (ExceedsBytes(width, height, bytesPerPixel, budget)) {
                return QStringLiteral("the picture is too large (%1 x %2 pixels)")
                    .arg(width)
                    .arg(height);
            }
            budget -= width * height * bytesPerPixel;
        } else if (type == "IEND") {
            return QString();
        } else if (type == "zTXt" || type == "iTXt" || type == "iCCP") {
            const qint64 start = compressedStart(type, body, length);
            if (start >= 0 && start < length) {
                const qint64 unpacked = unpackedBytes(body + start, length - start, budget);
                if (unpacked > budget) {
                    return QStringLiteral(
                               "the picture is too large (its %1 chunk unpacks to "
                               "more than the memory limit)")
                        .arg(QString::fromLatin1(type));
                }
                budget -= qMax<qint64>(unpacked, 0);
            }
        }
        at += 12 + length;
    }
    return QStringLiteral("the file is damaged or truncated (it ends before its IEND chunk)");
}

}  // namespace velloran::convert
