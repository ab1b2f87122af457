// SPDX-License-Identifier: MIT
#include "util/file_ops.h"

#include "util/result_file.h"
#include "util/vb_error.h"

#include <QCoreApplication>
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
    QCoreApplication::processEvents();
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

bool IsOwnFileHolding(const QString& path, const QByteArray& bytes, int mode) {
    const QByteArray native = QFile::encodeName(path);
    struct stat named {};
    if (path.isEmpty() || ::lstat(native.constData(), &named) != 0 || !S_ISREG(named.st_mode) ||
        named.st_uid != ::geteuid() || int(named.st_mode & 07777) != mode ||
        named.st_size != bytes.size()) {
        return false;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat opened {};
    bool same =
        ::fstat(fd, &opened) == 0 && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
    QByteArray held(bytes.size() + 1, '\0');
    qsizetype done = 0;
    while (same && done < held.size()) {
        const ssize_t n = ::read(fd, held.data() + done, size_t(held.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    ::close(fd);
    return same && done == bytes.size() && held.left(done) == bytes;
}

void ReplaceWithNewFile(const QString& path, const QByteArray& bytes, int mode) {
    if (path.isEmpty()) {
        Raise(vberr::kPathNotFound);
    }
    const QByteArray native = QFile::encodeName(path);
    if (::unlink(native.constData()) != 0 && errno != ENOENT) {
        ThrowWriteError(path, errno);
    }
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          mode_t(mode));
    if (fd < 0) {
        ThrowWriteError(path, errno);
    }
    int error = WriteAll(fd, bytes.constData(), bytes.size());
    // The umask may have taken bits the file needs; it is our own new file.
    if (error == 0 && ::fchmod(fd, mode_t(mode)) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(native.constData());
        ThrowWriteError(path, error);
    }
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
