// SPDX-License-Identifier: MIT
#include "engine/folder_watch.h"

#include "imageio/result_file.h"
#include "util/path_bytes.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                   IN_MODIFY | IN_MOVE_SELF | IN_ONLYDIR;

// Deeper trees are reported and cut there: each level holds a descriptor while it is walked.
constexpr int kMaxDepth = 128;
constexpr qsizetype kMaxProblems = 200;
// One read takes many events at once; a burst beyond this is read on the next turn.
constexpr size_t kEventBufferSize = 64 * 1024;
constexpr int kMaxReadsPerTurn = 16;
// File times come from a coarse clock; a rescan looks this far before the last full read.
constexpr time_t kRescanMarginSeconds = 2;

using Identity = std::pair<dev_t, ino_t>;

struct Folder {
    QByteArray path;
    Identity id;
    bool root = false;
};

// A file seen complete once, waiting to be seen unchanged after the settle time.
struct Waiting {
    Identity id;
    off_t size = 0;
    timespec mtime{};
    Clock::time_point due;
};

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool NotBefore(const timespec& t, const timespec& since) {
    return t.tv_sec > since.tv_sec || (t.tv_sec == since.tv_sec && t.tv_nsec >= since.tv_nsec);
}

QByteArray Child(const QByteArray& folder, const QByteArray& name) {
    return folder == "/" ? folder + name : folder + '/' + name;
}

bool Below(const QByteArray& path, const QByteArray& folder) {
    return path == folder || (path.startsWith(folder) && path.size() > folder.size() &&
                              (folder.endsWith('/') || path.at(folder.size()) == '/'));
}

QByteArray WithoutTrailingSlashes(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    return path;
}

// Opens a subfolder through its parent's descriptor. A symbolic link is followed only to a
// folder of the user's own, judged on the folder really opened, so a link swapped in
// meanwhile gains nothing. -1 when the name is no folder or may not be entered; `refused`
// then says whether a link was refused.
int OpenSubfolder(int parentFd, const char* name, bool* refused) {
    *refused = false;
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    const int fd = ::openat(parentFd, name, kFlags | O_NOFOLLOW);
    if (fd >= 0 || (errno != ELOOP && errno != ENOTDIR)) {
        return fd;
    }
    struct stat link {};
    if (::fstatat(parentFd, name, &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode)) {
        return -1;
    }
    const int target = ::openat(parentFd, name, kFlags);
    struct stat st {};
    if (target >= 0 && ::fstat(target, &st) == 0 && st.st_uid == ::geteuid()) {
        return target;
    }
    if (target >= 0) {
        ::close(target);
        *refused = true;
    }
    return -1;
}

}  // namespace

struct FolderWatch::State {
    FolderWatchOptions options;
    QList<QByteArray> extensions;
    std::set<Identity> skip;
    QList<QByteArray> roots;
    int inotifyFd = -1;
    std::map<int, Folder> folders;
    std::map<QByteArray, Waiting> waiting;
    std::deque<QByteArray> ready;
    QSet<QByteArray> readySet;
    bool rescanDue = false;
    bool rescanning = false;
    // The wall time of the last moment the event queue was read empty: every change before
    // it has been seen, so a rescan after an overflow need look only at later ones.
    timespec lastEmpty{};
    // lastEmpty as it stood when the kernel's queue overflowed: the rescan looks back to
    // there, since the queue may be read empty again long after the events it dropped.
    timespec rescanSince{};
    QList<FolderWatchProblem> problems;
    qsizetype problemsLeftOut = 0;
    qsizetype picturesLeftOut = 0;

    void Problem(const QByteArray& path, const QString& message) {
        if (problems.size() < kMaxProblems) {
            problems.append({PathText(path), message});
        } else {
            ++problemsLeftOut;
        }
    }

    bool WantedName(const QByteArray& folder, const QByteArray& name) const {
        if (name.isEmpty() || name.startsWith('~') || name.startsWith(kResultTempPrefix)) {
            return false;
        }
        // As the window's scan: a dot-file the user may write to is someone's working file.
        if (name.startsWith('.') &&
            ::faccessat(AT_FDCWD, Child(folder, name).constData(), W_OK, AT_EACCESS) == 0) {
            return false;
        }
        if (extensions.isEmpty()) {
            return true;
        }
        const qsizetype dot = name.lastIndexOf('.');
        return dot >= 0 && extensions.contains(name.mid(dot + 1).toLower());
    }

    // A file that looks complete: it waits for the settle time before it is handed on.
    void Offer(const QByteArray& path, const struct stat& st) {
        if (!S_ISREG(st.st_mode)) {
            return;
        }
        const Clock::time_point due = Clock::now() + std::chrono::milliseconds(options.settleMs);
        if (readySet.contains(path)) {
            // Written again before it was taken: it waits anew.
            readySet.remove(path);
            ready.erase(std::find(ready.begin(), ready.end(), path));
        } else if (!waiting.contains(path) &&
                   qsizetype(waiting.size() + ready.size()) >= options.maxWaiting) {
            if (picturesLeftOut++ == 0) {
                Problem(path, QStringLiteral("more than %1 pictures are waiting; new ones are "
                                             "left out until they have been taken")
                                  .arg(options.maxWaiting));
            }
            return;
        }
        waiting[path] = Waiting{{st.st_dev, st.st_ino}, st.st_size, st.st_mtim, due};
    }

    void OfferPath(const QByteArray& folder, const QByteArray& name) {
        if (!WantedName(folder, name)) {
            return;
        }
        const QByteArray path = Child(folder, name);
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0) {
            Offer(path, st);
        }
    }

    // A write seen on a file that waits starts its settle time again.
    void Touched(const QByteArray& path) {
        const auto it = waiting.find(path);
        if (it != waiting.end()) {
            it->second.due = Clock::now() + std::chrono::milliseconds(options.settleMs);
        }
    }

    // Watches the opened folder (taking its descriptor) and every folder below; offers the
    // files changed at or after `since` when given. A folder watched before is entered again
    // only by a rescan, and no folder twice in one walk, so a link back up ends there.
    void Walk(int fd, const QByteArray& path, bool root, int depth, const timespec* since,
              QSet<int>& walked) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || skip.contains({st.st_dev, st.st_ino})) {
            ::close(fd);
            return;
        }
        bool added = false;
        const int wd = AddWatch(fd, path, st, root, &added);
        if (wd < 0 || walked.contains(wd) || (!added && !rescanning)) {
            ::close(fd);
            return;
        }
        walked.insert(wd);
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            return;
        }
        QList<QByteArray> subfolders;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..") {
                continue;
            }
            const unsigned char type = entry->d_type;
            if (type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN) {
                subfolders.append(name);
            }
            if (since != nullptr && type != DT_DIR && WantedName(path, name)) {
                struct stat file {};
                if (::fstatat(::dirfd(dir), name.constData(), &file, AT_SYMLINK_NOFOLLOW) == 0 &&
                    NotBefore(file.st_ctim, *since)) {
                    Offer(Child(path, name), file);
                }
            }
        }
        for (const QByteArray& name : std::as_const(subfolders)) {
            if (depth + 1 > kMaxDepth) {
                Problem(Child(path, name),
                        QStringLiteral("folders nested deeper than %1 levels are not watched")
                            .arg(kMaxDepth));
                break;
            }
            bool refused = false;
            const int sub = OpenSubfolder(::dirfd(dir), name.constData(), &refused);
            if (sub >= 0) {
                Walk(sub, Child(path, name), false, depth + 1, since, walked);
            } else if (refused) {
                Problem(Child(path, name),
                        QStringLiteral("a link to a folder of another user is not followed"));
            }
        }
        ::closedir(dir);
    }

    // The watch of an opened folder, added through its descriptor so the folder checked is
    // the folder watched. The same folder reached twice keeps its first path.
    int AddWatch(int fd, const QByteArray& path, const struct stat& st, bool root, bool* added) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        int wd = ::inotify_add_watch(inotifyFd, self.constData(), kFolderEvents);
        if (wd < 0 && errno == ENOENT) {
            // No /proc: the path itself, never through a link below the given folder.
            wd = ::inotify_add_watch(inotifyFd, path.constData(),
                                     kFolderEvents | (root ? 0 : IN_DONT_FOLLOW));
        }
        if (wd < 0) {
            Problem(path, errno == ENOSPC
                              ? QStringLiteral("the system's limit of watched folders is reached "
                                               "(fs.inotify.max_user_watches)")
                              : QStringLiteral("cannot watch the folder: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return -1;
        }
        if (folders.contains(wd)) {
            return wd;
        }
        if (qsizetype(folders.size()) >= options.maxFolders) {
            ::inotify_rm_watch(inotifyFd, wd);
            Problem(path, QStringLiteral("more than %1 folders; this one is not watched")
                              .arg(options.maxFolders));
            return -1;
        }
        folders[wd] = Folder{path, {st.st_dev, st.st_ino}, root};
        *added = true;
        return wd;
    }

    void WalkRoot(const QByteArray& root, const timespec* since, QSet<int>& walked) {
        const int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            Problem(root, QStringLiteral("cannot open the folder: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return;
        }
        Walk(fd, root, true, 0, since, walked);
    }

    // A folder that appeared in a watched one: watched with its tree, and every file in it
    // offered, since all of them are new here.
    void FolderArrived(const Folder& parent, const QByteArray& name) {
        const int parentFd =
            ::open(parent.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        if (parentFd < 0) {
            return;
        }
        struct stat st {};
        bool refused = false;
        // The parent must still be the folder the event came from, not one put in its place.
        const int fd = ::fstat(parentFd, &st) == 0 && Identity{st.st_dev, st.st_ino} == parent.id
                           ? OpenSubfolder(parentFd, name.constData(), &refused)
                           : -1;
        ::close(parentFd);
        const QByteArray path = Child(parent.path, name);
        if (fd >= 0) {
            const timespec always{};
            QSet<int> walked;
            Walk(fd, path, false, 0, &always, walked);
        } else if (refused) {
            Problem(path, QStringLiteral("a link to a folder of another user is not followed"));
        }
    }

    void Unwatch(const QByteArray& folder) {
        for (auto it = folders.begin(); it != folders.end();) {
            if (Below(it->second.path, folder)) {
                ::inotify_rm_watch(inotifyFd, it->first);
                it = folders.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Handle(const inotify_event& event) {
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
            if (!rescanDue) {
                rescanSince = lastEmpty;
            }
            rescanDue = true;
            return;
        }
        const auto it = folders.find(event.wd);
        if (it == folders.end()) {
            return;
        }
        if ((event.mask & IN_IGNORED) != 0) {
            folders.erase(it);
            return;
        }
        const Folder folder = it->second;
        if ((event.mask & IN_MOVE_SELF) != 0) {
            // A subfolder's move is seen in its parent; a given folder moved away leaves the
            // paths built from its name wrong.
            if (folder.root) {
                Problem(folder.path, QStringLiteral("the folder was moved; it is no longer "
                                                    "watched"));
                Unwatch(folder.path);
            }
            return;
        }
        if (event.len == 0) {
            return;
        }
        const QByteArray name(event.name);
        if ((event.mask & IN_ISDIR) != 0) {
            if ((event.mask & IN_MOVED_FROM) != 0) {
                Unwatch(Child(folder.path, name));
            } else if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
                FolderArrived(folder, name);
            }
        } else if ((event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0) {
            OfferPath(folder.path, name);
        } else if ((event.mask & IN_MODIFY) != 0) {
            Touched(Child(folder.path, name));
        }
    }

    void ReadEvents() {
        alignas(inotify_event) static thread_local char buffer[kEventBufferSize];
        for (int reads = 0; reads < kMaxReadsPerTurn; ++reads) {
            timespec before{};
            ::clock_gettime(CLOCK_REALTIME, &before);
            const ssize_t n = ::read(inotifyFd, buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && errno == EAGAIN) {
                    lastEmpty = before;
                }
                return;
            }
            for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                if (at > n) {
                    break;
                }
                Handle(*event);
            }
        }
    }

    void Rescan() {
        rescanDue = false;
        timespec since = rescanSince;
        since.tv_sec -= kRescanMarginSeconds;
        QSet<int> walked;
        rescanning = true;
        for (const QByteArray& root : std::as_const(roots)) {
            WalkRoot(root, &since, walked);
        }
        rescanning = false;
    }

    // Moves the files that stayed unchanged for their settle time to the ready queue.
    void Promote() {
        const Clock::time_point now = Clock::now();
        for (auto it = waiting.begin(); it != waiting.end();) {
            Waiting& w = it->second;
            if (w.due > now) {
                ++it;
                continue;
            }
            struct stat st {};
            if (::lstat(it->first.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
                it = waiting.erase(it);
                continue;
            }
            if (Identity{st.st_dev, st.st_ino} != w.id || st.st_size != w.size ||
                !SameTime(st.st_mtim, w.mtime)) {
                w = Waiting{{st.st_dev, st.st_ino},
                            st.st_size,
                            st.st_mtim,
                            now + std::chrono::milliseconds(options.settleMs)};
                ++it;
                continue;
            }
            ready.push_back(it->first);
            readySet.insert(it->first);
            it = waiting.erase(it);
        }
    }

    int MsToNextDue(Clock::time_point now) const {
        Clock::time_point first = Clock::time_point::max();
        for (const auto& [path, w] : waiting) {
            first = std::min(first, w.due);
        }
        if (first == Clock::time_point::max()) {
            return -1;
        }
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(first - now).count();
        return int(std::max<qint64>(ms, 0));
    }
};

FolderWatch::FolderWatch(const QStringList& folders, FolderWatchOptions options)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    options.settleMs = std::max(options.settleMs, 0);
    s.options = std::move(options);
    for (const QString& extension : std::as_const(s.options.extensions)) {
        s.extensions.append(PathBytes(extension).toLower());
    }
    for (const QString& folder : std::as_const(s.options.skipFolders)) {
        struct stat st {};
        if (!folder.isEmpty() && ::stat(PathBytes(folder).constData(), &st) == 0) {
            s.skip.insert({st.st_dev, st.st_ino});
        }
    }
    s.inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (s.inotifyFd < 0) {
        s.Problem({}, QStringLiteral("cannot watch folders: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    ::clock_gettime(CLOCK_REALTIME, &s.lastEmpty);
    QSet<int> walked;
    for (const QString& folder : folders) {
        if (folder.isEmpty()) {
            s.Problem({}, QStringLiteral("an empty folder name is not watched"));
            continue;
        }
        const QByteArray root = WithoutTrailingSlashes(PathBytes(folder));
        s.roots.append(root);
        s.WalkRoot(root, nullptr, walked);
    }
}

FolderWatch::~FolderWatch() {
    if (state_->inotifyFd >= 0) {
        ::close(state_->inotifyFd);
    }
}

std::optional<QString> FolderWatch::Next(int timeoutMs) {
    State& s = *state_;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (s.ready.empty() && s.inotifyFd >= 0) {
            s.ReadEvents();
            if (s.rescanDue) {
                s.Rescan();
            }
            s.Promote();
        }
        if (!s.ready.empty()) {
            const QByteArray path = s.ready.front();
            s.ready.pop_front();
            s.readySet.remove(path);
            return PathText(path);
        }
        const Clock::time_point now = Clock::now();
        if (now >= end) {
            return std::nullopt;
        }
        int wait = int(std::chrono::ceil<std::chrono::milliseconds>(end - now).count());
        if (const int due = s.MsToNextDue(now); due >= 0) {
            wait = std::min(wait, due);
        }
        // Without a watch the wait still lasts its time, so a caller's loop never spins.
        pollfd p{s.inotifyFd, POLLIN, 0};
        if (::poll(&p, s.inotifyFd >= 0 ? 1 : 0, wait) < 0 && errno == EINTR) {
            return std::nullopt;
        }
    }
}

bool FolderWatch::Watching() const {
    return !state_->folders.empty();
}

QList<FolderWatchProblem> FolderWatch::TakeProblems() {
    State& s = *state_;
    QList<FolderWatchProblem> taken = std::exchange(s.problems, {});
    if (s.problemsLeftOut > 0) {
        taken.append(
            {QString(), QStringLiteral("%1 more problems were not kept").arg(s.problemsLeftOut)});
        s.problemsLeftOut = 0;
    }
    s.picturesLeftOut = 0;
    return taken;
}
