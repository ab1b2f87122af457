// SPDX-License-Identifier: MIT
#include "imageio/whole_file.h"

#include "util/descriptor_path.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

[[noreturn]] void Fail(ReadFailure failure, int systemError, int number, const QString& path,
                       const QString& reason) {
    throw WholeFileError(failure, systemError, number,
                         QStringLiteral("Cannot read \"%1\": %2").arg(path, reason));
}

[[noreturn]] void FailSystem(const QString& path, int error) {
    Fail(ReadFailure::System, error, vberr::kPathFileAccess, path,
         QString::fromLocal8Bit(std::strerror(error)));
}

// Closes a descriptor on every way out of ReadWholeFile.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

}  // namespace

QByteArray ReadWholeFile(const QString& path, qint64 limitBytes) {
    // A descriptor path names a file the caller created and handed over open: it is read
    // through that descriptor, never through a name someone could have replaced.
    const std::optional<int> inherited = DescriptorOfPath(path);
    const Descriptor file{inherited ? ::fcntl(*inherited, F_DUPFD_CLOEXEC, 0)
                                    : ::open(QFile::encodeName(path).constData(),
                                             O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            throw WholeFileError(ReadFailure::Missing, error, vberr::kFileNotFound,
                                 QStringLiteral("File not found: \"%1\"").arg(path));
        }
        if (error == EACCES || error == EPERM) {
            Fail(ReadFailure::Denied, error, vberr::kPermissionDenied, path,
                 QStringLiteral("permission denied"));
        }
        FailSystem(path, error);
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        FailSystem(path, errno);
    }
    if (S_ISDIR(status.st_mode)) {
        Fail(ReadFailure::Folder, 0, vberr::kPathFileAccess, path,
             QStringLiteral("it is a folder, not a file"));
    }
    if (!S_ISREG(status.st_mode)) {
        Fail(ReadFailure::NotRegular, 0, vberr::kPathFileAccess, path,
             QStringLiteral("it is not a regular file"));
    }
    if (limitBytes > 0 && status.st_size > limitBytes) {
        Fail(ReadFailure::TooLarge, 0, vberr::kOutOfMemory, path,
             QStringLiteral("the file is too large"));
    }
    if (status.st_size == 0) {
        Fail(ReadFailure::Empty, 0, vberr::kInvalidPicture, path,
             QStringLiteral("the file is empty"));
    }
    // Never more than the size seen: a file that grows while it is read is cut there.
    QByteArray data(qsizetype(status.st_size), Qt::Uninitialized);
    qsizetype have = 0;
    while (have < data.size()) {
        // From the start whatever offset a shared descriptor was left at.
        const ssize_t n = ::pread(file.fd, data.data() + have, size_t(data.size() - have), have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            FailSystem(path, errno);
        }
        if (n == 0) {
            break;
        }
        have += n;
    }
    data.truncate(have);
    if (data.isEmpty()) {
        Fail(ReadFailure::Empty, 0, vberr::kInvalidPicture, path,
             QStringLiteral("the file is empty"));
    }
    return data;
}
