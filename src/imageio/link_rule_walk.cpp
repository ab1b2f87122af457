// SPDX-License-Identifier: MIT
#include "imageio/link_rule_walk.h"

#include <QList>

#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

namespace {

UniqueFd OpenRoot() {
    return UniqueFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// Puts the components of `path` before those still to walk, in their order.
void PushFront(std::deque<QByteArray>& pending, const QByteArray& path) {
    const QList<QByteArray> parts = path.split('/');
    for (auto part = parts.crbegin(); part != parts.crend(); ++part) {
        if (!part->isEmpty() && *part != ".") {
            pending.push_front(*part);
        }
    }
}

bool InProcFs(int folderFd) {
    struct statfs fs {};
    return ::fstatfs(folderFd, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

QByteArray Joined(const QList<QByteArray>& walked) {
    QByteArray path;
    for (const QByteArray& part : walked) {
        path += '/' + part;
    }
    return path.isEmpty() ? QByteArrayLiteral("/") : path;
}

}  // namespace

bool LinkOwnerTrusted(uid_t owner) {
    return owner == ::geteuid() || owner == 0;
}

int ReadLinkAt(int folderFd, const char* name, QByteArray* target) {
    // A link's text is at most PATH_MAX bytes; one byte more tells a cut text.
    QByteArray text(PATH_MAX + 1, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(folderFd, name, text.data(), size_t(text.size()));
    if (length < 0) {
        return errno;
    }
    if (length == 0 || length >= text.size()) {
        return length == 0 ? ENOENT : ENAMETOOLONG;
    }
    text.truncate(length);
    *target = text;
    return 0;
}

UniqueFd OpenFolderByLinkRule(const QByteArray& path, QByteArray* resolved, LinkRuleStop* stop,
                              int* hops) {
    int ownHops = 0;
    int& followed = hops != nullptr ? *hops : ownHops;
    auto fail = [stop](int error, const QByteArray& link = QByteArray()) {
        stop->error = error;
        stop->foreignLink = link;
        return UniqueFd();
    };
    if (path.isEmpty()) {
        return fail(ENOENT);
    }
    std::deque<QByteArray> pending;
    PushFront(pending, path);
    if (!path.startsWith('/')) {
        // The working folder as the kernel reached it: its path holds no link.
        QByteArray cwd(PATH_MAX, Qt::Uninitialized);
        if (::getcwd(cwd.data(), size_t(cwd.size())) == nullptr) {
            return fail(errno);
        }
        PushFront(pending, QByteArray(cwd.constData()));
    }
    UniqueFd folder = OpenRoot();
    if (!folder.valid()) {
        return fail(errno);
    }
    QList<QByteArray> walked;
    while (!pending.empty()) {
        const QByteArray name = pending.front();
        pending.pop_front();
        if (name == "..") {
            UniqueFd parent(::openat(folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!parent.valid()) {
                return fail(errno);
            }
            folder = std::move(parent);
            if (!walked.isEmpty()) {
                walked.removeLast();
            }
            continue;
        }
        // A link is opened as itself: its owner and text are those of the very link met.
        UniqueFd next(::openat(folder.get(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!next.valid() || ::fstat(next.get(), &st) != 0) {
            return fail(errno);
        }
        if (S_ISLNK(st.st_mode)) {
            const QByteArray link = Joined(walked + QList<QByteArray>{name});
            if (!LinkOwnerTrusted(st.st_uid)) {
                return fail(0, link);
            }
            if (++followed > kMaxLinkHops) {
                return fail(ELOOP);
            }
            QByteArray target;
            if (const int error = ReadLinkAt(next.get(), "", &target); error != 0) {
                return fail(error);
            }
            // The links of /proc (/proc/self/fd/N naming a folder the program holds open)
            // lead to the object itself; their text is only a description, which may not
            // lead there (a parent no longer searchable, another mount namespace). The
            // kernel follows them; only the process's own pass the owner rule.
            if (InProcFs(folder.get())) {
                UniqueFd object(::openat(folder.get(), name.constData(), O_PATH | O_CLOEXEC));
                struct stat reached {};
                if (!object.valid() || ::fstat(object.get(), &reached) != 0) {
                    return fail(errno);
                }
                if (!S_ISDIR(reached.st_mode)) {
                    return fail(ENOTDIR);
                }
                folder = std::move(object);
                walked = target.startsWith('/') ? target.mid(1).split('/') : walked << name;
                continue;
            }
            PushFront(pending, target);
            if (target.startsWith('/')) {
                folder = OpenRoot();
                walked.clear();
                if (!folder.valid()) {
                    return fail(errno);
                }
            }
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            return fail(ENOTDIR);
        }
        folder = std::move(next);
        walked.append(name);
    }
    *resolved = Joined(walked);
    return folder;
}
