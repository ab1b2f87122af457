// SPDX-License-Identifier: MIT
#include "file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "imageio/result_file.h"
#include "util/descriptor_path.h"

namespace velloran::convert {

namespace {

QString writeError(int number) {
    // A full disk is named the same way whatever the file system calls it.
    if (number == ENOSPC || number == EDQUOT)
        return QStringLiteral("the disk is full");
    return QString::fromLocal8Bit(std::strerror(number));
}

// 0 or the errno of the failed write. Positioned writes leave the offset alone: the
// descriptor's open file, and so its offset, is shared with the program that handed it over.
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

// The program's one result writer: a temporary file beside the name, renamed onto it.
bool replaceByName(const QString& path, const QByteArray& data, QString* error) {
    try {
        ResultFile file(path);
        if (file.write(data) != data.size())
            file.RaiseWriteError();
        file.Commit();
        return true;
    } catch (const ResultFileError& failure) {
        *error = failure.reason();
        return false;
    }
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    if (const std::optional<int> fd = DescriptorOfPath(path))
        return writeThroughDescriptor(*fd, data, error);
    return replaceByName(path, data, error);
}

}  // namespace velloran::convert
