// SPDX-License-Identifier: MIT
#include "engine/copy_time.h"

#include "util/path_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString Failure(const QString& what, int error) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
}

// Opens the copy for changing its times. A descriptor that only names the file is checked
// first, then reopened through /proc, so a FIFO or device put at the name is never opened.
int OpenOwnRegularFile(const QByteArray& path, QString* why) {
    const int named = ::open(path.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (named < 0) {
        *why = Failure(QStringLiteral("cannot open the copy"), errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(named, &st) != 0) {
        *why = Failure(QStringLiteral("cannot read the copy's status"), errno);
        ::close(named);
        return -1;
    }
    if (S_ISLNK(st.st_mode) || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        *why = S_ISLNK(st.st_mode) ? QStringLiteral(
                                         "the copy is a symbolic link; its time is "
                                         "left alone")
               : !S_ISREG(st.st_mode)
                   ? QStringLiteral("the copy is not a regular file; its time is left alone")
                   : QStringLiteral("the copy belongs to another user; its time is left alone");
        ::close(named);
        return -1;
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(named);
    int fd = ::open(self.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        // No /proc: the name again, still without following a link.
        fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    struct stat opened {};
    if (fd >= 0 &&
        (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino)) {
        ::close(fd);
        fd = -1;
        errno = ESTALE;
    }
    if (fd < 0) {
        *why = Failure(QStringLiteral("cannot open the copy"), errno);
    }
    ::close(named);
    return fd;
}

}  // namespace

QString SetCopyTime(const QString& copy, const timespec& when) {
    if (copy.isEmpty()) {
        return QStringLiteral("no copy was named");
    }
    QString why;
    const int fd = OpenOwnRegularFile(PathBytes(copy), &why);
    if (fd < 0) {
        return why;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, when};
    if (::futimens(fd, times) != 0) {
        why = Failure(QStringLiteral("cannot set the copy's time"), errno);
    }
    ::close(fd);
    return why;
}

QString SetCopyTime(const QString& copy, const QDateTime& when) {
    if (!when.isValid()) {
        return QStringLiteral("the date taken is not a valid moment");
    }
    const qint64 ms = when.toMSecsSinceEpoch();
    timespec t{};
    t.tv_sec = time_t(ms / 1000);
    t.tv_nsec = long(ms % 1000) * 1000000L;
    if (t.tv_nsec < 0) {
        t.tv_sec -= 1;
        t.tv_nsec += 1000000000L;
    }
    return SetCopyTime(copy, t);
}

QString KeepSourceTime(const QString& source, const QString& copy) {
    struct stat st {};
    if (source.isEmpty() || ::stat(PathBytes(source).constData(), &st) != 0) {
        return Failure(QStringLiteral("cannot read the source's time"),
                       source.isEmpty() ? ENOENT : errno);
    }
    return SetCopyTime(copy, st.st_mtim);
}
