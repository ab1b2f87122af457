// SPDX-License-Identifier: MIT
#include "engine/picture_extensions.h"

QStringList PictureExtensions::Pictures() {
    // The kinds the road writes back in their own format (.tiff is not among them: the
    // converter takes .tif only).
    return {QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
            QStringLiteral("tif"),  QStringLiteral("bmp"),  QStringLiteral("gif"),
            QStringLiteral("ico"),  QStringLiteral("heic"), QStringLiteral("heif"),
            QStringLiteral("avif"), QStringLiteral("webp"), QStringLiteral("jxl")};
}

std::optional<PictureExtensions> PictureExtensions::Parse(const QString& text) {
    PictureExtensions taken;
    for (QString extension : text.split(QLatin1Char(','))) {
        extension = extension.trimmed();
        // "*.jpg" and ".jpg" say the same as "jpg".
        if (extension.startsWith(QLatin1String("*.")) && extension.size() > 2) {
            extension = extension.mid(2);
        } else if (extension.startsWith(QLatin1Char('.'))) {
            extension = extension.mid(1);
        }
        if (extension == QLatin1String("*")) {
            return PictureExtensions();
        }
        if (extension == QLatin1String("pictures")) {
            taken.extensions_ << Pictures();
            continue;
        }
        if (extension.isEmpty() || extension.contains(QLatin1Char('/')) ||
            extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?'))) {
            return std::nullopt;
        }
        taken.extensions_ << extension.toLower();
    }
    return taken;
}

bool PictureExtensions::Takes(const QString& fileName) const {
    if (extensions_.isEmpty()) {
        return true;
    }
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && extensions_.contains(fileName.mid(dot + 1).toLower());
}
