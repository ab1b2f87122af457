// SPDX-License-Identifier: MIT
#include "imageio/result_file.h"

#include "imageio/result_temp_name.h"
#include "util/file_ops.h"
#include "util/path_bytes.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <tuple>
#include <utility>

namespace {

// Links followed before the path counts as a loop, as the kernel counts them.
constexpr int kMaxLinkHops = 40;
constexpr int kNameAttempts = 100;

bool IsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

[[noreturn]] void Throw(ResultFailure failure, const QString& path, const QString& reason) {
    int number = vberr::kPathFileAccess;
    switch (failure) {
        case ResultFailure::FolderMissing:
            number = vberr::kPathNotFound;
            break;
        case ResultFailure::NotWritable:
        case ResultFailure::ForeignLink:
            number = vberr::kPermissionDenied;
            break;
        case ResultFailure::DiskFull:
            number = vberr::kDiskFull;
            break;
        case ResultFailure::IsFolder:
        case ResultFailure::Other:
            break;
    }
    throw ResultFileError(failure, number, path, reason);
}

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return QByteArrayLiteral(".");
    }
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray NameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The path with the user's own links followed; a link of anyone else is refused.
QByteArray FollowOwnLinks(const QString& path) {
    QByteArray current = PathBytes(path);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        if (st.st_uid != ::geteuid()) {
            Throw(ResultFailure::ForeignLink, path,
                  QStringLiteral("it is a link that belongs to another user"));
        }
        QByteArray target(qsizetype(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t length =
            ::readlink(current.constData(), target.data(), size_t(target.size()));
        if (length <= 0 || length >= target.size()) {
            ThrowWriteError(path, length < 0 ? errno : ENAMETOOLONG);
        }
        target.truncate(length);
        current = target.startsWith('/') ? target : FolderOf(current) + '/' + target;
    }
    ThrowWriteError(path, ELOOP);
}

QByteArray RandomLetters(int count) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray letters;
    for (int i = 0; i < count; ++i) {
        letters += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    }
    return letters;
}

QByteArray TemporaryName(const QString& path) {
    return ResultTempName(ThisWriter().writer, RandomLetters(6),
                          PathBytes(QFileInfo(path).suffix()));
}

// Removes the temporary results of processes of the user that ended without cleaning up
// (killed during a write or a conversion): only names that follow the temporary pattern
// to the letter, written on this machine and in this pid namespace by a process that no
// longer runs. Any other name, however alike, is a file of the user. Once per folder and
// process: a folder gets no new leftovers while this process runs. The path is part of
// the key because a folder removed and made again may get the same inode.
void RemoveLeftovers(int folderFd, const QByteArray& folderPath) {
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0) {
        return;
    }
    static std::mutex mutex;
    static std::set<std::tuple<QByteArray, dev_t, ino_t>> swept;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!swept.insert({folderPath, folder.st_dev, folder.st_ino}).second) {
            return;
        }
    }
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (dir == nullptr) {
        if (listFd >= 0) {
            ::close(listFd);
        }
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!IsAbandonedResultTempName(name)) {
            continue;
        }
        struct stat st {};
        if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1) {
            ::unlinkat(folderFd, name.constData(), 0);
        }
    }
    ::closedir(dir);
}

}  // namespace

[[noreturn]] void ThrowWriteError(const QString& path, int error) {
    if (IsDiskFull(error)) {
        Throw(ResultFailure::DiskFull, path, QStringLiteral("the disk is full"));
    }
    if (error == EACCES || error == EPERM || error == EROFS) {
        Throw(ResultFailure::NotWritable, path, QStringLiteral("the folder may not be written to"));
    }
    Throw(ResultFailure::Other, path, QString::fromLocal8Bit(std::strerror(error)));
}

ResultFile::ResultFile(const QString& path) : path_(path) {
    const QByteArray target = FollowOwnLinks(path);
    targetPath_ = PathText(target);
    targetName_ = NameOf(target);
    if (targetName_.isEmpty() || targetName_ == "." || targetName_ == "..") {
        Throw(ResultFailure::IsFolder, path, QStringLiteral("it is a folder"));
    }
    const QByteArray folder = FolderOf(target);
    folderFd_ = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            Throw(ResultFailure::FolderMissing, path, QStringLiteral("the folder does not exist"));
        }
        ThrowWriteError(path, errno);
    }
    struct stat existing {};
    const bool exists =
        ::fstatat(folderFd_, targetName_.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        ::close(folderFd_);
        Throw(ResultFailure::IsFolder, path, QStringLiteral("it is a folder"));
    }
    RemoveLeftovers(folderFd_, folder);
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
        temporaryName_ = TemporaryName(path);
        fd_ = ::openat(folderFd_, temporaryName_.constData(),
                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        const int error = errno;
        ::close(folderFd_);
        ThrowWriteError(path, error);
    }
    struct stat created {};
    if (::fstat(fd_, &created) != 0) {
        const int error = errno;
        ::unlinkat(folderFd_, temporaryName_.constData(), 0);
        ::close(fd_);
        ::close(folderFd_);
        ThrowWriteError(path, error);
    }
    device_ = quint64(created.st_dev);
    inode_ = quint64(created.st_ino);
    temporaryPath_ = PathText(folder == "/" ? "/" + temporaryName_ : folder + '/' + temporaryName_);
    // A replaced file keeps who may read it.
    if (exists && S_ISREG(existing.st_mode)) {
        ::fchmod(fd_, existing.st_mode & 0777);
    }
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

ResultFile::~ResultFile() {
    // In a folder others may write to, the name may by now hold someone else's file:
    // only this file's own name goes.
    if (!committed_ && NameHoldsThisFile(temporaryName_)) {
        ::unlinkat(folderFd_, temporaryName_.constData(), 0);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
    ::close(folderFd_);
}

bool ResultFile::NameHoldsThisFile(const QByteArray& name) const {
    struct stat st {};
    return ::fstatat(folderFd_, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && quint64(st.st_dev) == device_ && quint64(st.st_ino) == inode_;
}

QByteArray ResultFile::ReadBack() const {
    constexpr qint64 kLargestFile = qint64(2) * 1024 * 1024 * 1024 - 1;
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile) {
        return {};
    }
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::pread(fd_, bytes.data() + have, size_t(bytes.size() - have), have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return {};
        }
        have += n;
    }
    return bytes;
}

qint64 ResultFile::readData(char*, qint64) {
    return -1;
}

qint64 ResultFile::writeData(const char* data, qint64 size) {
    const int error = WriteAll(fd_, data, size);
    if (error != 0 && writeError_ == 0) {
        writeError_ = error;
    }
    return error == 0 ? size : -1;
}

void ResultFile::Fail(int error) const {
    ThrowWriteError(path_, error);
}

void ResultFile::RaiseWriteError() const {
    Fail(writeError_ != 0 ? writeError_ : EIO);
}

void ResultFile::Finish() {
    // The descriptor stays open: later steps read and rewrite the file through it, never
    // through its name, which others may replace in a folder they may write to.
    QIODevice::close();
}

void ResultFile::Commit() {
    Finish();
    // The bytes go to the disk before the name does, so a crash never leaves a short file
    // under the final name. A filesystem without sync support still keeps the bytes; only
    // real failures count.
    if (::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(errno);
    }
    // Only the file this object created may take the final name: another user may have
    // put a link or a file of theirs under the temporary name.
    if (!NameHoldsThisFile(temporaryName_)) {
        RefuseReplaced();
    }
    if (::renameat(folderFd_, temporaryName_.constData(), folderFd_, targetName_.constData()) !=
        0) {
        Fail(errno);
    }
    // A swap between the check and the rename is undone: what was moved goes back under
    // the temporary name, so nothing of another user stays under the final name.
    if (!NameHoldsThisFile(targetName_)) {
        ::renameat(folderFd_, targetName_.constData(), folderFd_, temporaryName_.constData());
        RefuseReplaced();
    }
    committed_ = true;
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR) {
        Fail(errno);
    }
}

void ResultFile::RefuseReplaced() const {
    Throw(ResultFailure::ForeignLink, path_,
          QStringLiteral("another user replaced the file while it was written"));
}
