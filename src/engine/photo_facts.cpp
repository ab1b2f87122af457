// SPDX-License-Identifier: MIT
#include "engine/photo_facts.h"

#include "engine/source_metadata_read.h"

#include <optional>
#include <utility>

namespace {

QString Trimmed(const std::string& text) {
    // EXIF strings carry their terminating NULs and often padding blanks.
    return QString::fromUtf8(text.c_str()).trimmed();
}

// "YYYY:MM:DD HH:MM:SS" as EXIF writes it, or an ISO date as XMP does.
QDateTime ParseDate(const QString& text) {
    QDateTime value = QDateTime::fromString(text.left(19), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!value.isValid()) {
        value = QDateTime::fromString(text, Qt::ISODate);
    }
    if (!value.isValid()) {
        value = QDateTime::fromString(text.left(19), Qt::ISODate);
    }
    return value;
}

template <class Data, class Key>
std::optional<QString> Find(const Data& data, const char* key) {
    try {
        const auto it = data.findKey(Key(key));
        if (it != data.end()) {
            return Trimmed(it->toString());
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

}  // namespace

PhotoFacts::PhotoFacts(SourceMetadata metadata) : metadata_(std::move(metadata)) {}

QDateTime PhotoFacts::Taken() const {
    const SourceMetadata::Read& read = metadata_.read();
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized"}) {
        if (const auto text = Find<Exiv2::ExifData, Exiv2::ExifKey>(read.exif, key)) {
            const QDateTime value = ParseDate(*text);
            if (value.isValid()) {
                return value;
            }
        }
    }
    for (const char* key : {"Xmp.exif.DateTimeOriginal", "Xmp.xmp.CreateDate"}) {
        if (const auto text = Find<Exiv2::XmpData, Exiv2::XmpKey>(read.xmp, key)) {
            const QDateTime value = ParseDate(*text);
            if (value.isValid()) {
                return value;
            }
        }
    }
    return read.changed;
}

QString PhotoFacts::Tag(const QString& name) const {
    const SourceMetadata::Read& read = metadata_.read();
    const std::string wanted = name.toStdString();
    try {
        if (name.startsWith(QLatin1String("Exif."))) {
            const auto it = read.exif.findKey(Exiv2::ExifKey(wanted));
            return it == read.exif.end() ? QString() : Trimmed(it->print(&read.exif));
        }
        if (name.startsWith(QLatin1String("Xmp."))) {
            const auto it = read.xmp.findKey(Exiv2::XmpKey(wanted));
            return it == read.xmp.end() ? QString() : Trimmed(it->toString());
        }
        for (const auto& datum : read.exif) {
            if (datum.tagName() == wanted) {
                return Trimmed(datum.print(&read.exif));
            }
        }
        for (const auto& datum : read.xmp) {
            if (datum.tagName() == wanted) {
                return Trimmed(datum.toString());
            }
        }
    } catch (const std::exception&) {
        // Not a key exiv2 knows, or a value it cannot print.
    }
    return QString();
}
