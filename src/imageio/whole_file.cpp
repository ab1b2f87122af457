// SPDX-License-Identifier: MIT
#include "imageio/whole_file.h"

#include "util/descriptor_path.h"
#include "util/path_bytes.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// Fills `buffer` from `offset` of the file, stopping early only where the file ends.
qsizetype ReadFully(int fd, const QString& path, char* buffer, qsizetype length, qint64 offset) {
    qsizetype done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            FailSystem(path, errno);
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

// The ranges a head check asks for, read through the opened descriptor.
class DescriptorRangeReader final : public FileRangeReader {
public:
    DescriptorRangeReader(int fd, const QString& path, qint64 size)
        : fd_(fd), path_(path), size_(size) {}
    qint64 fileSize() const override { return size_; }
    QByteArray readAt(qint64 offset, qint64 length) const override {
        if (offset < 0 || length <= 0 || offset >= size_) {
            return {};
        }
        length = std::min({length, size_ - offset, kMaxRangeBytes, kMaxTotalBytes - spent_});
        if (length <= 0) {
            return {};
        }
        spent_ += length;
        QByteArray range(qsizetype(length), Qt::Uninitialized);
        range.truncate(ReadFully(fd_, path_, range.data(), range.size(), offset));
        return range;
    }

private:
    int fd_;
    const QString& path_;
    qint64 size_;
    mutable qint64 spent_ = 0;
};

}  // namespace

QByteArray ReadWholeFile(const QString& path, qint64 limitBytes) {
    return ReadWholeFile(path, limitBytes, 0, FileHeadRangeCheck());
}

QByteArray ReadWholeFile(const QString& path, qint64 limitBytes, qint64 headBytes,
                         const FileHeadCheck& checkHead) {
    FileHeadRangeCheck check;
    if (checkHead) {
        check = [&](const QByteArray& head, const FileRangeReader& file) {
            checkHead(head, file.fileSize());
        };
    }
    return ReadWholeFile(path, limitBytes, headBytes, check);
}

QByteArray ReadWholeFile(const QString& path, qint64 limitBytes, qint64 headBytes,
                         const FileHeadRangeCheck& checkHead) {
    // A descriptor path names a file the caller created and handed over open: it is read
    // through that descriptor, never through a name someone could have replaced.
    const std::optional<int> inherited = DescriptorOfPath(path);
    const Descriptor file{inherited ? ::fcntl(*inherited, F_DUPFD_CLOEXEC, 0)
                                    : ::open(PathBytes(path).constData(),
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
    // From the start whatever offset a shared descriptor was left at; never more than the
    // size seen: a file that grows while it is read is cut there.
    const auto readFrom = [&](QByteArray& buffer, qsizetype done) {
        done += ReadFully(file.fd, path, buffer.data() + done, buffer.size() - done, done);
        buffer.truncate(done);
    };
    QByteArray data;
    qsizetype have = 0;
    if (checkHead && headBytes > 0 && status.st_size > headBytes) {
        data = QByteArray(qsizetype(headBytes), Qt::Uninitialized);
        readFrom(data, 0);
        checkHead(data, DescriptorRangeReader(file.fd, path, qint64(status.st_size)));
        have = data.size();
    }
    // A head cut short means the file shrank meanwhile: what was read is all there is.
    if (have == 0 || have == headBytes) {
        data.resize(qsizetype(status.st_size));
        readFrom(data, have);
    }
    if (data.isEmpty()) {
        Fail(ReadFailure::Empty, 0, vberr::kInvalidPicture, path,
             QStringLiteral("the file is empty"));
    }
    return data;
}
