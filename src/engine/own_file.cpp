// SPDX-License-Identifier: MIT
#include "engine/own_file.h"

#include "imageio/result_file.h"
#include "util/file_ops.h"
#include "util/path_bytes.h"
#include "util/vb_error.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool IsOwnFileHolding(const QString& path, const QByteArray& bytes, int mode) {
    const QByteArray native = PathBytes(path);
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
    const QByteArray native = PathBytes(path);
    if (::unlink(native.constData()) != 0 && errno != ENOENT) {
        ThrowWriteError(path, errno);
    }
    const std::lock_guard<std::mutex> noStartMeanwhile(ProgramStartLock());
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

std::mutex& ProgramStartLock() {
    static std::mutex lock;
    return lock;
}
