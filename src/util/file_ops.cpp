// SPDX-License-Identifier: MIT
#include "util/file_ops.h"

#include "util/vb_error.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int FileAttributes(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink())) {
        Raise(vberr::kFileNotFound);
    }
    int bits = 0;
    if (info.isSymLink()) {
        bits |= attr::kReparsePoint;
    }
    if (info.isDir()) {
        bits |= attr::kDirectory;
    } else if (info.isFile()) {
        bits |= attr::kArchive;
    }
    if (!info.isWritable()) {
        bits |= attr::kReadOnly;
    }
    if (info.fileName().startsWith(QLatin1Char('.'))) {
        bits |= attr::kHidden;
    }
    return bits;
}

void DeleteFileForced(const QString& path) {
    if (QFile::remove(path)) {
        return;
    }
    try {
        DeleteFileViaScripting(path);
    } catch (const VbError&) {
        // A quiet delete: a missing or locked file is simply left alone.
    }
}

void DeleteFileViaScripting(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        Raise(vberr::kFileNotFound);
    }
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
    if (!file.remove()) {
        Raise(vberr::kPermissionDenied);
    }
}

void WriteBytesToFile(const QByteArray& bytes, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        Raise(file.error() == QFileDevice::PermissionsError ? vberr::kPermissionDenied
                                                            : vberr::kPathFileAccess);
    }
    if (file.write(bytes) != bytes.size()) {
        Raise(vberr::kDiskFull);
    }
    file.close();
}

int WriteAll(int fd, const char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : ENOSPC;
        }
        done += n;
    }
    return 0;
}
