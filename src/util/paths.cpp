// SPDX-License-Identifier: MIT
#include "util/paths.h"

#include "util/environment.h"
#include "util/path_bytes.h"
#include "util/vb_error.h"

#include <sys/stat.h>

bool FileExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat st {};
    return ::stat(PathBytes(path).constData(), &st) == 0;
}

bool IsFolder(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat st {};
    return ::stat(PathBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString FileNameFromPath(const QString& path) {
    const qsizetype p = path.lastIndexOf(QLatin1Char('/'));
    return path.mid(p + 1);
}

QString FileNamePart(const QString& path) {
    if (path.isEmpty()) {
        return path;
    }
    qsizetype last = -1;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path.at(i) == QLatin1Char('/')) {
            last = i;
        }
    }
    return path.mid(last + 1);
}

QString StripExtension(const QString& name) {
    if (name.isEmpty()) {
        return name;
    }
    const qsizetype p = name.lastIndexOf(QLatin1Char('.'));  // 0-based; position 2 is index 1
    if (p >= 1) {
        return name.left(p);
    }
    return name;
}

namespace {

// Replaces each pair of adjacent separators by one, never re-examining replaced text.
QString CollapsePairs(QStringView text) {
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] == QLatin1Char('/') && i + 1 < text.size() && text[i + 1] == QLatin1Char('/')) {
            out.append(QLatin1Char('/'));
            i += 2;
        } else {
            out.append(text[i]);
            ++i;
        }
    }
    return out;
}

}  // namespace

QString NormalizeBackslashes(const QString& path) {
    if (!path.startsWith(QLatin1Char('/'))) {
        return CollapsePairs(path);
    }
    qsizetype s = 1;
    while (s < path.size() && path.at(s) == QLatin1Char('/')) {
        ++s;
    }
    return QLatin1Char('/') + CollapsePairs(QStringView(path).mid(s));
}

QString LowerExtension(const QString& path) {
    const QString name = FileNameFromPath(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return name.mid(dot + 1).toLower();
}

QString GetSpecialFolderPath(const Environment& env, int folderId) {
    if (folderId == kCsidlDesktop && env.desktopFolder) {
        return env.desktopFolder();
    }
    return QString();
}

QString GetDesktopFolder(const Environment& env) {
    QString desktop = GetSpecialFolderPath(env, kCsidlDesktop);
    if (desktop.isEmpty()) {
        Raise(vberr::kInvalidCall);
    }
    if (!desktop.endsWith(QLatin1Char('/'))) {
        desktop += QLatin1Char('/');
    }
    return desktop;
}
