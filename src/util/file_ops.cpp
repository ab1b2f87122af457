// SPDX-License-Identifier: MIT
#include "util/file_ops.h"

#include "util/path_bytes.h"
#include "util/vb_error.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool HiddenName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).startsWith(QLatin1Char('.'));
}

}  // namespace

int FileAttributes(const QString& path) {
    const QByteArray native = PathBytes(path);
    struct stat own {};
    if (path.isEmpty() || ::lstat(native.constData(), &own) != 0) {
        Raise(vberr::kFileNotFound);
    }
    int bits = 0;
    struct stat st = own;
    if (S_ISLNK(own.st_mode)) {
        bits |= attr::kReparsePoint;
        // A dangling link is neither a folder nor a file, and nothing can write through it.
        if (::stat(native.constData(), &st) != 0) {
            return bits | attr::kReadOnly | (HiddenName(path) ? attr::kHidden : 0);
        }
    }
    if (S_ISDIR(st.st_mode)) {
        bits |= attr::kDirectory;
    } else if (S_ISREG(st.st_mode)) {
        bits |= attr::kArchive;
    }
    if (::access(native.constData(), W_OK) != 0) {
        bits |= attr::kReadOnly;
    }
    if (HiddenName(path)) {
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
