// SPDX-License-Identifier: MIT
#include "photo_facts.h"

#include <exiv2/exiv2.hpp>

#include "util/descriptor_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

struct PhotoFacts::Read {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    QDateTime changed;
};

namespace {

QString Trimmed(const std::string& text) {
    // EXIF strings carry their terminating NULs and often padding blanks.
    QString value = QString::fromUtf8(text.c_str());
    return value.trimmed();
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

PhotoFacts::PhotoFacts(QByteArray path) : path_(std::move(path)) {}
PhotoFacts::~PhotoFacts() = default;

const PhotoFacts::Read& PhotoFacts::Facts() {
    if (read_) {
        return *read_;
    }
    read_ = std::make_unique<Read>();
    // Only a regular file is read, judged by the file opened (never blocking on a FIFO,
    // which may have taken the name since the run looked), and read through that opening.
    const int fd = ::open(path_.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return *read_;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        read_->changed = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
        try {
            auto image = Exiv2::ImageFactory::open(DescriptorPath(fd).toStdString());
            image->readMetadata();
            read_->exif = image->exifData();
            read_->xmp = image->xmpData();
        } catch (...) {
            // A picture without readable metadata simply has none.
        }
    }
    ::close(fd);
    return *read_;
}

QDateTime PhotoFacts::Taken() {
    const Read& facts = Facts();
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized"}) {
        if (const auto text = Find<Exiv2::ExifData, Exiv2::ExifKey>(facts.exif, key)) {
            const QDateTime value = ParseDate(*text);
            if (value.isValid()) {
                return value;
            }
        }
    }
    for (const char* key : {"Xmp.exif.DateTimeOriginal", "Xmp.xmp.CreateDate"}) {
        if (const auto text = Find<Exiv2::XmpData, Exiv2::XmpKey>(facts.xmp, key)) {
            const QDateTime value = ParseDate(*text);
            if (value.isValid()) {
                return value;
            }
        }
    }
    return facts.changed;
}

QString PhotoFacts::Tag(const QString& name) {
    const Read& facts = Facts();
    const std::string wanted = name.toStdString();
    try {
        if (name.startsWith(QLatin1String("Exif."))) {
            const auto it = facts.exif.findKey(Exiv2::ExifKey(wanted));
            return it == facts.exif.end() ? QString() : Trimmed(it->print(&facts.exif));
        }
        if (name.startsWith(QLatin1String("Xmp."))) {
            const auto it = facts.xmp.findKey(Exiv2::XmpKey(wanted));
            return it == facts.xmp.end() ? QString() : Trimmed(it->toString());
        }
    } catch (const std::exception&) {
        // Not a key exiv2 knows.
        return QString();
    }
    for (const auto& datum : facts.exif) {
        if (datum.tagName() == wanted) {
            return Trimmed(datum.print(&facts.exif));
        }
    }
    for (const auto& datum : facts.xmp) {
        if (datum.tagName() == wanted) {
            return Trimmed(datum.toString());
        }
    }
    return QString();
}
