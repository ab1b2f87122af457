// SPDX-License-Identifier: MIT
#include "imageio/modern_format.h"

#include <QList>
#include <QtEndian>

namespace {

bool StartsWith(const QByteArray& data, const char* bytes, qsizetype length) {
    return data.size() >= length && data.startsWith(QByteArray::fromRawData(bytes, length));
}

// The brands of an ISO base media file's leading "ftyp" box: the major brand first.
// Empty when the file does not begin with one.
QList<QByteArray> FileTypeBrands(const QByteArray& data) {
    if (data.size() < 16 || data.mid(4, 4) != "ftyp") {
        return {};
    }
    const quint32 boxSize = qFromBigEndian<quint32>(data.constData());
    if (boxSize < 16 || boxSize > quint32(data.size()) || boxSize % 4 != 0) {
        return {};
    }
    QList<QByteArray> brands{data.mid(8, 4)};
    for (qsizetype at = 16; at + 4 <= qsizetype(boxSize); at += 4) {
        brands << data.mid(at, 4);
    }
    return brands;
}

bool HasAnyBrand(const QList<QByteArray>& brands, std::initializer_list<const char*> wanted) {
    for (const char* brand : wanted) {
        if (brands.contains(QByteArray(brand))) {
            return true;
        }
    }
    return false;
}

bool IsHeifContainer(const QList<QByteArray>& brands) {
    return HasAnyBrand(brands, {"mif1", "msf1", "heic", "heix", "heim", "heis", "hevc", "hevx",
                                "hevm", "hevs", "avif", "avis"});
}

bool IsAv1(const QList<QByteArray>& brands) {
    return HasAnyBrand(brands, {"avif", "avis"});
}

// The lower-cased text after the last "." of the file name (the decoders link nothing of
// the program's helpers, so this is the rule of LowerExtension restated).
QString LowerExtensionOf(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1).toLower();
}

}  // namespace

std::optional<ModernFormat> ModernFormatOfName(const QString& path) {
    const QString extension = LowerExtensionOf(path);
    if (extension == QLatin1String("heic")) {
        return ModernFormat::Heic;
    }
    if (extension == QLatin1String("heif")) {
        return ModernFormat::Heif;
    }
    if (extension == QLatin1String("avif")) {
        return ModernFormat::Avif;
    }
    if (extension == QLatin1String("webp")) {
        return ModernFormat::WebP;
    }
    if (extension == QLatin1String("jxl")) {
        return ModernFormat::Jxl;
    }
    return std::nullopt;
}

bool HoldsAv1(const QByteArray& data) {
    return IsAv1(FileTypeBrands(data));
}

bool ContentMatchesFormat(const QByteArray& data, ModernFormat format) {
    switch (format) {
        case ModernFormat::Heic: {
            const QList<QByteArray> brands = FileTypeBrands(data);
            return IsHeifContainer(brands) && !IsAv1(brands);
        }
        case ModernFormat::Heif:
            return IsHeifContainer(FileTypeBrands(data));
        case ModernFormat::Avif:
            return IsAv1(FileTypeBrands(data));
        case ModernFormat::WebP:
            return data.size() >= 16 && data.startsWith("RIFF") && data.mid(8, 4) == "WEBP";
        case ModernFormat::Jxl:
            return StartsWith(data, "\xFF\x0A", 2) ||
                   StartsWith(data, "\0\0\0\x0CJXL \r\n\x87\n", 12);
    }
    return false;
}

QString ModernFormatName(ModernFormat format) {
    switch (format) {
        case ModernFormat::Heic:
            return QStringLiteral("HEIC");
        case ModernFormat::Heif:
            return QStringLiteral("HEIF");
        case ModernFormat::Avif:
            return QStringLiteral("AVIF");
        case ModernFormat::WebP:
            return QStringLiteral("WebP");
        case ModernFormat::Jxl:
            return QStringLiteral("JPEG XL");
    }
    return QString();
}
