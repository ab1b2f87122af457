// SPDX-License-Identifier: MIT
#include "util/temp_folder.h"

#include "util/path_bytes.h"
#include "util/vb_error.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

QString EnsurePrivateFolder(const QString& path) {
    RequireFolder(path);
    const QByteArray native = PathBytes(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        Raise(vberr::kPathNotFound, QStringLiteral("Cannot create the temporary folder %1: %2")
                                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        Raise(vberr::kPathFileAccess,
              QStringLiteral("The temporary folder %1 is not a folder").arg(path));
    }
    if (st.st_uid != ::geteuid()) {
        Raise(vberr::kPermissionDenied,
              QStringLiteral("The temporary folder %1 belongs to another user").arg(path));
    }
    // Closing it would change a folder someone else may rely on (TEMP=/tmp as root).
    if ((st.st_mode & 0077) != 0) {
        Raise(vberr::kPermissionDenied,
              QStringLiteral("The temporary folder %1 is open to other users").arg(path));
    }
    return path;
}

QString PrivateTempFolder() {
    const QString fromEnv = qEnvironmentVariable("TEMP");
    const QString parent =
        fromEnv.isEmpty() ? QDir::tempPath() : QDir::cleanPath(QDir(fromEnv).absolutePath());
    return EnsurePrivateFolder((parent == QLatin1String("/") ? QString() : parent) +
                               QStringLiteral("/velloran-") + QString::number(::getuid()));
}

void RequireFolder(const QString& folder) {
    if (folder.isEmpty()) {
        Raise(vberr::kPathNotFound, QStringLiteral("No temporary folder is available"));
    }
}
