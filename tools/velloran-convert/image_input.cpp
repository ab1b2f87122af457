// SPDX-License-Identifier: MIT
#include "image_input.h"

#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QStringList>
#include <QtEndian>

namespace velloran::convert {

namespace {

constexpr char kJpegCategory[] = "qt.gui.imageio.jpeg";

// Qt's JPEG plugin reports a truncated or corrupt stream only through a logged warning and still
// hands back an image with the missing part painted grey, so warnings logged while decoding are
// collected and inspected.
QStringList* capturedMessages = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (capturedMessages)
        capturedMessages->append(message);
}

// The user's logging rules must not be able to hide those warnings from us.
void keepJpegWarningsEnabled(QLoggingCategory* category) {
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), kJpegCategory) == 0) {
        category->setEnabled(QtWarningMsg, true);
    }
}

class MessageCapture {
public:
    MessageCapture() : previousHandler_(qInstallMessageHandler(captureMessage)) {
        capturedMessages = &messages_;
    }
    ~MessageCapture() {
        qInstallMessageHandler(previousHandler_);
        capturedMessages = nullptr;
    }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const QStringList& messages() const { return messages_; }

private:
    QtMessageHandler previousHandler_;
    QStringList messages_;
};

// libjpeg also warns about stray bytes between markers; such files decode completely, so only
// messages about missing or scrambled data count as damage.
bool reportsDamage(const QString& message) {
    if (message.contains(QLatin1String("premature end"), Qt::CaseInsensitive))
        return true;
    return message.startsWith(QLatin1String("Corrupt JPEG data")) &&
           !message.contains(QLatin1String("extraneous bytes"));
}

// Qt's BMP decoder stops quietly where the data ends and leaves the remaining rows blank, so the
// file must be long enough for the uncompressed rows its header announces. RLE data has no fixed
// length and is not checked.
bool bmpIsTruncated(const QByteArray& header, qint64 fileSize) {
    if (header.size() < 34)
        return false;  // Qt would not have decoded it
    const auto u32 = [&header](int at) {
        return qFromLittleEndian<quint32>(header.constData() + at);
    };
    const quint32 pixelOffset = u32(10);
    const quint32 infoSize = u32(14);
    const quint32 compression = u32(30);
    constexpr quint32 kUncompressed = 0, kBitFields = 3, kAlphaBitFields = 6;
    if (infoSize < 40 || (compression != kUncompressed && compression != kBitFields &&
                          compression != kAlphaBitFields)) {
        return false;
    }
    const qint64 width = qint32(u32(18));
    const qint64 height = qAbs(qint64(qint32(u32(22))));
    const qint64 bitsPerPixel = qFromLittleEndian<quint16>(header.constData() + 28);
    const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    return fileSize < pixelOffset + rowBytes * height;
}

// Qt's GIF decoder also returns whatever rows arrived before the data ended, so walk the block
// structure up to the end of the first image's pixel data.
bool gifIsTruncated(const QByteArray& data) {
    const auto byteAt = [&data](qsizetype at) { return quint8(data.at(at)); };
    const auto colourTableBytes = [](quint8 flags) {
        return (flags & 0x80) ? qsizetype(3) << ((flags & 7) + 1) : 0;
    };
    qsizetype at = 13;  // signature and logical screen descriptor
    if (data.size() < at)
        return true;
    at += colourTableBytes(byteAt(10));
    // Data sub-blocks: length-prefixed, ended by an empty one.
    const auto skipSubBlocks = [&]() {
        while (at < data.size()) {
            const int length = byteAt(at);
            at += 1 + length;
            if (length == 0)
                return true;
        }
        return false;
    };
    while (at < data.size()) {
        const quint8 introducer = byteAt(at);
        if (introducer == 0x21) {  // extension: label, then sub-blocks
            at += 2;
            if (!skipSubBlocks())
                return true;
        } else if (introducer == 0x2C) {  // image: descriptor, local colours, LZW code size, data
            if (at + 10 > data.size())
                return true;
            at += 10 + colourTableBytes(byteAt(at + 9)) + 1;
            return !skipSubBlocks();
        } else {
            return false;  // trailer or unknown block: Qt's verdict stands
        }
    }
    return true;
}

bool isTruncated(const QByteArray& format, const QString& path) {
    if (format != "bmp" && format != "gif")
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return format == "bmp" ? bmpIsTruncated(file.read(34), file.size())
                           : gifIsTruncated(file.readAll());
}

QString oneLine(QString text) {
    return text.replace(u'\n', u' ').trimmed();
}

}  // namespace

QImage readImage(const QString& path, QString* error) {
    QImageReader::setAllocationLimit(1024);  // MB; Qt's default refuses large scans and photos
    if (!previousFilter)
        previousFilter = QLoggingCategory::installFilter(keepJpegWarningsEnabled);

    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Names can lie, and a name-picked decoder may refuse data that another would read: Qt treats
    // .dib as a bare bitmap without file header.
    reader.setDecideFormatFromContent(true);
    MessageCapture capture;
    const QByteArray format = reader.format();  // no longer known once the data is consumed
    QImage image = reader.read();

    if (image.isNull()) {
        QString reason = reader.errorString();
        if (!capture.messages().isEmpty())
            reason += QStringLiteral(" (%1)").arg(capture.messages().last());
        *error = oneLine(reason);
        return {};
    }
    for (const QString& message : capture.messages()) {
        if (reportsDamage(message)) {
            *error = oneLine(QStringLiteral("the file is damaged or truncated (%1)").arg(message));
            return {};
        }
    }
    if (isTruncated(format, path)) {
        *error = QStringLiteral("the file is truncated");
        return {};
    }
    if (image.width() <= 0 || image.height() <= 0) {
        *error = QStringLiteral("the image is empty");
        return {};
    }
    return image;
}

}  // namespace velloran::convert
