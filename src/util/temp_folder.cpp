// SPDX-License-Identifier: MIT
#include "util/temp_folder.h"

#include "util/path_bytes.h"
#include "util/unique_fd.h"
#include "util/vb_error.h"
#include "util/writer_tag.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// A work folder holds the stampers' folders and their files: deeper trees were never made
// by a run.
constexpr int kMaxWorkDepth = 8;
constexpr int kNameAttempts = 100;

// Removes the folder `name` in `parentFd` with what a run of the user could have made in
// it. Each folder is opened without following a link and checked to be the user's, on the
// given device; anything else stays where it is. True when the folder went.
bool RemoveTreeAt(int parentFd, const char* name, dev_t device, int depth) {
    UniqueFd folder(
        ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!folder.valid() || ::fstat(folder.get(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid() || st.st_dev != device) {
        return false;
    }
    UniqueFd listing(::dup(folder.get()));
    DIR* dir = listing.valid() ? ::fdopendir(listing.get()) : nullptr;
    if (dir == nullptr) {
        return false;
    }
    listing.Release();
    while (const dirent* entry = ::readdir(dir)) {
        const char* child = entry->d_name;
        if (std::strcmp(child, ".") == 0 || std::strcmp(child, "..") == 0) {
            continue;
        }
        struct stat item {};
        if (::fstatat(folder.get(), child, &item, AT_SYMLINK_NOFOLLOW) != 0 ||
            item.st_uid != ::geteuid() || item.st_dev != device) {
            continue;
        }
        if (S_ISDIR(item.st_mode)) {
            if (depth < kMaxWorkDepth) {
                RemoveTreeAt(folder.get(), child, device, depth + 1);
            }
        } else if (S_ISREG(item.st_mode) || S_ISLNK(item.st_mode)) {
            // A link goes itself; what it points at is never touched.
            ::unlinkat(folder.get(), child, 0);
        }
    }
    ::closedir(dir);
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
}

// The private folder, opened as itself and checked again through its descriptor.
UniqueFd OpenPrivateFolder(const QString& path) {
    UniqueFd folder(::open(PathBytes(path).constData(),
                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!folder.valid() || ::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid() ||
        (st.st_mode & 0077) != 0) {
        return UniqueFd();
    }
    return folder;
}

}  // namespace

QString EnsurePrivateFolder(const QString& path) {
    RequireFolder(path);
    const QByteArray native = PathBytes(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        Raise(vberr::kPathNotFound, QStringLiteral("Cannot create the temporary folder %1: %2")
                                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        Raise(vberr::kPathFileAccess,
              QStringLiteral("The temporary folder %1 is not a folder").arg(path));
    }
    if (st.st_uid != ::geteuid()) {
        Raise(vberr::kPermissionDenied,
              QStringLiteral("The temporary folder %1 belongs to another user").arg(path));
    }
    // Closing it would change a folder someone else may rely on (TEMP=/tmp as root).
    if ((st.st_mode & 0077) != 0) {
        Raise(vberr::kPermissionDenied,
              QStringLiteral("The temporary folder %1 is open to other users").arg(path));
    }
    return path;
}

QString PrivateTempFolder() {
    const QString fromEnv = qEnvironmentVariable("TEMP");
    const QString parent =
        fromEnv.isEmpty() ? QDir::tempPath() : QDir::cleanPath(QDir(fromEnv).absolutePath());
    return EnsurePrivateFolder((parent == QLatin1String("/") ? QString() : parent) +
                               QStringLiteral("/velloran-") + QString::number(::getuid()));
}

void RequireFolder(const QString& folder) {
    if (folder.isEmpty()) {
        Raise(vberr::kPathNotFound, QStringLiteral("No temporary folder is available"));
    }
}

QString MakeWorkFolder(const QString& parent, const QByteArray& prefix) {
    RequireFolder(parent);
    const UniqueFd folder = OpenPrivateFolder(parent);
    if (!folder.valid()) {
        Raise(vberr::kPathFileAccess,
              QStringLiteral("cannot make a work folder in %1: it is not a private folder")
                  .arg(parent));
    }
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
        const QByteArray name = prefix + '-' + WriterTag(ThisWriter().writer, RandomTagLetters());
        if (::mkdirat(folder.get(), name.constData(), 0700) == 0) {
            return parent + QLatin1Char('/') + PathText(name);
        }
        error = errno;
    }
    Raise(vberr::kPathFileAccess, QStringLiteral("cannot make a work folder in %1: %2")
                                      .arg(parent, QString::fromLocal8Bit(std::strerror(error))));
}

int SweepEndedWorkFolders(const QString& parent, const QByteArray& prefix) {
    const UniqueFd folder = OpenPrivateFolder(parent);
    struct stat st {};
    if (!folder.valid() || ::fstat(folder.get(), &st) != 0) {
        return 0;
    }
    UniqueFd listing(::dup(folder.get()));
    DIR* dir = listing.valid() ? ::fdopendir(listing.get()) : nullptr;
    if (dir == nullptr) {
        return 0;
    }
    listing.Release();
    const QByteArray start = prefix + '-';
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(start)) {
            continue;
        }
        const std::optional<ResultWriter> writer = ParseWriterTag(name.mid(start.size()));
        if (writer && IsEndedWriter(*writer) &&
            RemoveTreeAt(folder.get(), name.constData(), st.st_dev, 0)) {
            ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

void RemoveWorkFolder(const QString& path) {
    const QByteArray native = PathBytes(path);
    const qsizetype slash = native.lastIndexOf('/');
    if (path.isEmpty() || slash < 0) {
        return;
    }
    const UniqueFd parent = OpenPrivateFolder(PathText(native.left(slash)));
    struct stat st {};
    if (parent.valid() && ::fstat(parent.get(), &st) == 0) {
        RemoveTreeAt(parent.get(), native.constData() + slash + 1, st.st_dev, 0);
    }
}
