// SPDX-License-Identifier: MIT
#include "source_extensions.h"

#include "command_line.h"

QStringList SourceExtensions::Pictures() {
    // The kinds the road writes back in their own format (.tiff is not among them: the
    // converter takes .tif only).
    return {QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
            QStringLiteral("tif"),  QStringLiteral("bmp"),  QStringLiteral("gif"),
            QStringLiteral("ico"),  QStringLiteral("heic"), QStringLiteral("heif"),
            QStringLiteral("avif"), QStringLiteral("webp"), QStringLiteral("jxl")};
}

SourceExtensions::SourceExtensions(const QString& option) {
    for (QString extension : option.split(QLatin1Char(','))) {
        extension = extension.trimmed();
        // "*.jpg" and ".jpg" say the same as "jpg".
        if (extension.startsWith(QLatin1String("*.")) && extension.size() > 2) {
            extension = extension.mid(2);
        } else if (extension.startsWith(QLatin1Char('.'))) {
            extension = extension.mid(1);
        }
        if (extension == QLatin1String("*")) {
            extensions_.clear();
            return;
        }
        if (extension == QLatin1String("pictures")) {
            extensions_ << Pictures();
            continue;
        }
        if (extension.isEmpty() || extension.contains(QLatin1Char('/')) ||
            extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?'))) {
            throw UsageError(QStringLiteral("--ext \"%1\": extensions such as jpg or jpg,png, "
                                            "'pictures' or '*'")
                                 .arg(option));
        }
        extensions_ << extension.toLower();
    }
}

bool SourceExtensions::Takes(const QString& fileName) const {
    if (extensions_.isEmpty()) {
        return true;
    }
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && extensions_.contains(fileName.mid(dot + 1).toLower());
}
