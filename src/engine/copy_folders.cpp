// SPDX-License-Identifier: MIT
#include "engine/copy_folders.h"

#include "util/path_bytes.h"
#include "util/unique_fd.h"
#include "util/vb_error.h"

#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

[[noreturn]] void Refuse(const QString& folder, const QString& why) {
    Raise(vberr::kPathFileAccess, QStringLiteral("Cannot make the folder \"%1\": %2").arg(folder, why));
}

}  // namespace

void MakeCopyFolders(const QString& outputFolder, const QString& relative) {
    if (outputFolder.isEmpty()) {
        Refuse(relative, QStringLiteral("no output folder"));
    }
    UniqueFd at(::open(PathBytes(outputFolder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!at.valid()) {
        Refuse(outputFolder, QString::fromLocal8Bit(std::strerror(errno)));
    }
    QString made = outputFolder;
    for (const QString& part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        made += QLatin1Char('/') + part;
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            Refuse(made, QStringLiteral("it leaves the output folder"));
        }
        const QByteArray name = PathBytes(part);
        if (::mkdirat(at.get(), name.constData(), 0777) != 0 && errno != EEXIST) {
            Refuse(made, QString::fromLocal8Bit(std::strerror(errno)));
        }
        struct stat st {};
        if (::fstatat(at.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            Refuse(made, QString::fromLocal8Bit(std::strerror(errno)));
        }
        int flags = O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
        if (S_ISLNK(st.st_mode)) {
            if (st.st_uid != ::geteuid() && st.st_uid != 0) {
                Refuse(made, QStringLiteral("it is a link that belongs to another user"));
            }
            flags &= ~O_NOFOLLOW;
        }
        UniqueFd next(::openat(at.get(), name.constData(), flags));
        if (!next.valid()) {
            Refuse(made, errno == ENOTDIR ? QStringLiteral("a file of that name is in the way")
                                          : QString::fromLocal8Bit(std::strerror(errno)));
        }
        at = std::move(next);
    }
}
