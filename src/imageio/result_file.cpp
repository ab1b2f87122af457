// SPDX-License-Identifier: MIT
#include "imageio/result_file.h"

#include "imageio/link_rule_walk.h"
#include "imageio/result_temp_name.h"
#include "util/file_ops.h"
#include "util/path_bytes.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <tuple>
#include <utility>

namespace {

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

[[noreturn]] void ThrowForeignLink(const QString& path, const QByteArray& link) {
    Throw(ResultFailure::ForeignLink, path,
          QStringLiteral("it goes through \"%1\", a link that belongs to another user")
              .arg(PathText(link)));
}

// The folder a result goes into, opened by the link rule, and the name it takes there.
struct ResolvedTarget {
    UniqueFd folder;
    QByteArray folderPath;
    QByteArray name;
};

UniqueFd OpenFolderOrThrow(const QString& path, const QByteArray& folder, QByteArray* resolved,
                           int* hops) {
    LinkRuleStop stop;
    UniqueFd fd = OpenFolderByLinkRule(folder, resolved, &stop, hops);
    if (fd.valid()) {
        return fd;
    }
    if (!stop.foreignLink.isEmpty()) {
        ThrowForeignLink(path, stop.foreignLink);
    }
    if (stop.error == ENOENT || stop.error == ENOTDIR) {
        Throw(ResultFailure::FolderMissing, path, QStringLiteral("the folder does not exist"));
    }
    ThrowWriteError(path, stop.error);
}

// The final folder and name of `path`: every link on the way, the final name's too, is
// followed only by the link rule, and each through the descriptor of its folder.
ResolvedTarget ResolveTarget(const QString& path) {
    QByteArray current = PathBytes(path);
    int hops = 0;
    for (;;) {
        ResolvedTarget target;
        target.name = NameOf(current);
        if (target.name.isEmpty() || target.name == "." || target.name == "..") {
            Throw(ResultFailure::IsFolder, path, QStringLiteral("it is a folder"));
        }
        target.folder = OpenFolderOrThrow(path, FolderOf(current), &target.folderPath, &hops);
        struct stat st {};
        if (::fstatat(target.folder.get(), target.name.constData(), &st, AT_SYMLINK_NOFOLLOW) !=
                0 ||
            !S_ISLNK(st.st_mode)) {
            return target;
        }
        if (!LinkOwnerTrusted(st.st_uid)) {
            Throw(ResultFailure::ForeignLink, path,
                  QStringLiteral("it is a link that belongs to another user"));
        }
        if (++hops > kMaxLinkHops) {
            ThrowWriteError(path, ELOOP);
        }
        QByteArray text;
        if (const int error = ReadLinkAt(target.folder.get(), target.name.constData(), &text);
            error != 0) {
            ThrowWriteError(path, error);
        }
        current = text.startsWith('/') ? text : target.folderPath + '/' + text;
    }
}

QByteArray InFolder(const QByteArray& folder, const QByteArray& name) {
    return folder == "/" ? "/" + name : folder + '/' + name;
}

QByteArray TemporaryName(const QString& path) {
    return ResultTempName(ThisWriter().writer, RandomTagLetters(),
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

void CheckResultFolder(const QString& folder) {
    QByteArray resolved;
    OpenFolderOrThrow(folder, PathBytes(folder), &resolved, nullptr);
}

ResultFile::ResultFile(const QString& path) : path_(path) {
    ResolvedTarget target = ResolveTarget(path);
    folderFd_ = std::move(target.folder);
    targetName_ = target.name;
    targetPath_ = PathText(InFolder(target.folderPath, targetName_));
    struct stat existing {};
    const bool exists =
        ::fstatat(folderFd_.get(), targetName_.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        Throw(ResultFailure::IsFolder, path, QStringLiteral("it is a folder"));
    }
    RemoveLeftovers(folderFd_.get(), target.folderPath);
    for (int attempt = 0; attempt < kNameAttempts && !fd_.valid(); ++attempt) {
        temporaryName_ = TemporaryName(path);
        fd_.Reset(::openat(folderFd_.get(), temporaryName_.constData(),
                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd_.valid() && errno != EEXIST) {
            break;
        }
    }
    if (!fd_.valid()) {
        ThrowWriteError(path, errno);
    }
    // From here a failure, an allocation's too, takes the new file away again.
    try {
        struct stat created {};
        if (::fstat(fd_.get(), &created) != 0) {
            ThrowWriteError(path, errno);
        }
        device_ = quint64(created.st_dev);
        inode_ = quint64(created.st_ino);
        temporaryPath_ = PathText(InFolder(target.folderPath, temporaryName_));
        // A replaced file keeps who may read it.
        if (exists && S_ISREG(existing.st_mode)) {
            ::fchmod(fd_.get(), existing.st_mode & 0777);
        }
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    } catch (...) {
        ::unlinkat(folderFd_.get(), temporaryName_.constData(), 0);
        throw;
    }
}

ResultFile::~ResultFile() {
    // In a folder others may write to, the name may by now hold someone else's file:
    // only this file's own name goes.
    if (!committed_ && NameHoldsThisFile(temporaryName_)) {
        ::unlinkat(folderFd_.get(), temporaryName_.constData(), 0);
    }
}

bool ResultFile::NameHoldsThisFile(const QByteArray& name) const {
    struct stat st {};
    return ::fstatat(folderFd_.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && quint64(st.st_dev) == device_ && quint64(st.st_ino) == inode_;
}

bool ResultFile::NameHolds(const QByteArray& name, quint64 device, quint64 inode) const {
    struct stat st {};
    return ::fstatat(folderFd_.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           !S_ISDIR(st.st_mode) && quint64(st.st_dev) == device && quint64(st.st_ino) == inode;
}

QByteArray ResultFile::ReadBack() const {
    constexpr qint64 kLargestFile = qint64(2) * 1024 * 1024 * 1024 - 1;
    struct stat st {};
    if (!fd_.valid() || ::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile) {
        return {};
    }
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::pread(fd_.get(), bytes.data() + have, size_t(bytes.size() - have), have);
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
    const int error = WriteAll(fd_.get(), data, size);
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
    if (::fdatasync(fd_.get()) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(errno);
    }
    // Only the file this object created may take the final name: another user may have
    // put a link or a file of theirs under the temporary name.
    if (!NameHoldsThisFile(temporaryName_)) {
        RefuseReplaced();
    }
    if (!ExchangeIntoPlace()) {
        RenameIntoPlace();
    }
    committed_ = true;
    if (::close(fd_.Release()) != 0 && errno != EINTR) {
        Fail(errno);
    }
}

// Swaps the two names in one step, so that a swap of the temporary name by another user in
// the instant before is undone by swapping back: the final name then holds again what it
// held. A new name is put in place only while nothing has taken the final name. False when
// the file system cannot do either; the plain rename is then the only way.
bool ResultFile::ExchangeIntoPlace() {
    const int folder = folderFd_.get();
    const char* temporary = temporaryName_.constData();
    const char* target = targetName_.constData();
    struct stat earlier {};
    bool replacing = false;
    unsigned int how = 0;
    // The final name may come or go between the look and the rename (the user's other
    // programs too): looked at again a few times, then refused, since a rename would no
    // longer do what was checked.
    bool moved = false;
    for (int attempt = 0; attempt < 3 && !moved; ++attempt) {
        replacing = ::fstatat(folder, target, &earlier, AT_SYMLINK_NOFOLLOW) == 0;
        if (replacing && S_ISDIR(earlier.st_mode)) {
            Fail(EISDIR);
        }
        how = replacing ? RENAME_EXCHANGE : RENAME_NOREPLACE;
        moved = ::renameat2(folder, temporary, folder, target, how) == 0;
        if (!moved && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
            return false;
        }
        if (!moved && errno != ENOENT && errno != EEXIST) {
            Fail(errno);
        }
    }
    if (!moved) {
        Throw(ResultFailure::ForeignLink, path_,
              QStringLiteral("another user changed the folder while the file was written"));
    }
    if (!NameHoldsThisFile(targetName_)) {
        // What was swapped in goes back; with an exchange the earlier file returns too.
        ::renameat2(folder, target, folder, temporary, how);
        RefuseReplaced();
    }
    // The earlier file now stands under the temporary name; only that very file goes.
    if (replacing && NameHolds(temporaryName_, quint64(earlier.st_dev), quint64(earlier.st_ino))) {
        ::unlinkat(folder, temporary, 0);
    }
    return true;
}

void ResultFile::RenameIntoPlace() {
    const int folder = folderFd_.get();
    if (::renameat(folder, temporaryName_.constData(), folder, targetName_.constData()) != 0) {
        Fail(errno);
    }
    // A swap between the check and the rename is undone: what was moved goes back under
    // the temporary name, so nothing of another user stays under the final name.
    if (!NameHoldsThisFile(targetName_)) {
        ::renameat(folder, targetName_.constData(), folder, temporaryName_.constData());
        RefuseReplaced();
    }
}

void ResultFile::RefuseReplaced() const {
    Throw(ResultFailure::ForeignLink, path_,
          QStringLiteral("another user replaced the file while it was written"));
}
