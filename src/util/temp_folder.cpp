// SPDX-License-Identifier: MIT
#include "util/temp_folder.h"

#include "util/vb_error.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

QString EnsurePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
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
    if ((st.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        Raise(vberr::kPermissionDenied,
              QStringLiteral("The temporary folder %1 is open to other users").arg(path));
    }
    return path;
}

QString PrivateTempFolder() {
    const QString fromEnv = qEnvironmentVariable("TEMP");
    if (!fromEnv.isEmpty()) {
        return EnsurePrivateFolder(QDir::cleanPath(fromEnv));
    }
    return EnsurePrivateFolder(QDir::tempPath() + QStringLiteral("/velloran-") +
                               QString::number(::getuid()));
}
