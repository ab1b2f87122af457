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
int writeAt(int fd, const char* data, qsizetype size, qint64 offset) {
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

}  // namespace

OutputFile::OutputFile(QString path) : path_(std::move(path)) {}

OutputFile::~OutputFile() = default;

bool OutputFile::open(QString* error) {
    if (const std::optional<int> fd = DescriptorOfPath(path_)) {
        struct stat status {};
        if (fstat(*fd, &status) != 0) {
            *error = writeError(errno);
            return false;
        }
        if (!S_ISREG(status.st_mode)) {
            *error = QStringLiteral("it is not a regular file");
            return false;
        }
        if (ftruncate(*fd, 0) != 0) {
            *error = writeError(errno);
            return false;
        }
        descriptor_ = *fd;
        return true;
    }
    try {
        result_ = std::make_unique<ResultFile>(path_);
        return true;
    } catch (const ResultFileError& failure) {
        *error = failure.reason();
        return false;
    }
}

bool OutputFile::append(const char* data, qsizetype size, QString* error) {
    if (descriptor_ >= 0) {
        if (const int failure = writeAt(descriptor_, data, size, written_); failure != 0) {
            *error = writeError(failure);
            return false;
        }
        written_ += size;
        return true;
    }
    if (!result_) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    try {
        if (result_->write(data, size) != size)
            result_->RaiseWriteError();
        return true;
    } catch (const ResultFileError& failure) {
        *error = failure.reason();
        return false;
    }
}

bool OutputFile::commit(QString* error) {
    if (descriptor_ >= 0) {
        // A file system without sync support still keeps the bytes.
        if (fdatasync(descriptor_) != 0 && errno != EINVAL && errno != EROFS) {
            *error = writeError(errno);
            return false;
        }
        return true;
    }
    if (!result_) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    try {
        result_->Commit();
        return true;
    } catch (const ResultFileError& failure) {
        *error = failure.reason();
        return false;
    }
}

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    OutputFile file(path);
    return file.open(error) && file.append(data.constData(), data.size(), error) &&
           file.commit(error);
}

}  // namespace velloran::convert
