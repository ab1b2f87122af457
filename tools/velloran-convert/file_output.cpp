// SPDX-License-Identifier: MIT
#include "file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

#include "util/descriptor_path.h"

namespace velloran::convert {

namespace {

constexpr int kNameAttempts = 100;

QString writeError(int number) {
    // A full disk is named the same way whatever the file system calls it.
    if (number == ENOSPC || number == EDQUOT)
        return QStringLiteral("the disk is full");
    return QString::fromLocal8Bit(std::strerror(number));
}

// 0 or the errno of the failed write.
int writeAt(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = pwrite(fd, data.constData() + done, size_t(data.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

bool writeThroughDescriptor(int fd, const QByteArray& data, QString* error) {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        *error = writeError(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = QStringLiteral("it is not a regular file");
        return false;
    }
    int failure = ftruncate(fd, 0) == 0 ? writeAt(fd, data) : errno;
    // A file system without sync support still keeps the bytes.
    if (failure == 0 && fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS)
        failure = errno;
    if (failure != 0) {
        *error = writeError(failure);
        return false;
    }
    return true;
}

QByteArray randomLetters() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray letters;
    for (int i = 0; i < 6; ++i)
        letters += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    return letters;
}

bool replaceByName(const QString& path, const QByteArray& data, QString* error) {
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : encoded.left(slash);
    const QByteArray name = encoded.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..") {
        *error = QStringLiteral("it is a folder");
        return false;
    }
    const int folderFd = open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        *error = writeError(errno);
        return false;
    }
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        temporary = ".velloran-convert-" + randomLetters();
        fd = openat(folderFd, temporary.constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *error = writeError(errno);
        close(folderFd);
        return false;
    }
    // A replaced file keeps who may read it.
    struct stat existing {};
    if (fstatat(folderFd, name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(existing.st_mode)) {
        fchmod(fd, existing.st_mode & 0777);
    }
    bool ok = writeThroughDescriptor(fd, data, error);
    if (close(fd) != 0 && ok && errno != EINTR) {
        *error = writeError(errno);
        ok = false;
    }
    if (ok && renameat(folderFd, temporary.constData(), folderFd, name.constData()) != 0) {
        *error = writeError(errno);
        ok = false;
    }
    if (!ok)
        unlinkat(folderFd, temporary.constData(), 0);
    close(folderFd);
    return ok;
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    if (const std::optional<int> fd = DescriptorOfPath(path))
        return writeThroughDescriptor(*fd, data, error);
    return replaceByName(path, data, error);
}

}  // namespace velloran::convert
