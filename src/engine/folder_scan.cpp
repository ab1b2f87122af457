// SPDX-License-Identifier: MIT
#include "engine/folder_scan.h"

#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/path_bytes.h"
#include "util/paths.h"
#include "util/vb_error.h"

#include <QList>
#include <QStorageInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace {

// Windows' MAX_PATH: longer folder paths are not descended into, longer names skipped.
constexpr qsizetype kMaxPath = 260;
constexpr char kScanProject[] = "Dunmeroth2021/08/31";
constexpr int kHiddenSystemFolder = attr::kDirectory | attr::kSystem | attr::kHidden;
constexpr int kHiddenSystemLink = kHiddenSystemFolder | attr::kReparsePoint;

using FileId = std::pair<dev_t, ino_t>;

// A directory stream that is closed on every way out.
class DirStream {
public:
    explicit DirStream(const QString& folder)
        : dir_(opendir(PathBytes(folder).constData())), openError_(dir_ ? 0 : errno) {}
    ~DirStream() {
        if (dir_ != nullptr) {
            closedir(dir_);
        }
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;

    bool isOpen() const { return dir_ != nullptr; }
    int openError() const { return openError_; }
    int fd() const { return dirfd(dir_); }
    int readError() const { return readError_; }

    // The next entry other than "." and ".."; nullptr at the end or when reading
    // failed (readError() then holds the errno).
    const dirent* next() {
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(dir_);
            if (entry == nullptr) {
                readError_ = errno;
                return nullptr;
            }
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                return entry;
            }
        }
    }

private:
    DIR* dir_;
    int openError_;
    int readError_ = 0;
};

// A name with its sort key: Windows lists a folder in the order of the upper-cased
// names compared code by code (so "_a" comes after "Zed"); equal keys fall back to the
// exact name to keep the order stable on a case-sensitive file system.
struct SortedName {
    QString key;
    QString name;
    FileId id{};
};

void SortLikeWindows(QList<SortedName>& names) {
    std::sort(names.begin(), names.end(), [](const SortedName& a, const SortedName& b) {
        const int byKey = QString::compare(a.key, b.key, Qt::CaseSensitive);
        return byKey != 0 ? byKey < 0 : a.name < b.name;
    });
}

// The error number of a failed listing, 0 for none.
int ListingError(int error) {
    switch (error) {
        case 0:
            return 0;
        case EACCES:
        case EPERM:
            return vberr::kPermissionDenied;
        case ENOENT:
        case ENOTDIR:
            return vberr::kPathNotFound;
        default:
            return vberr::kPathFileAccess;
    }
}

// Windows wildcard match of an upper-cased name against an upper-cased pattern:
// "*" any run of characters, "?" exactly one.
bool WildcardMatch(QStringView name, QStringView pattern) {
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

// IsOpenableFile for folder + name. The listing already knows most entries' type, so
// only links and entries of unknown type are asked, relative to the open folder.
bool OpenableAt(int dirFd, const dirent& entry) {
    if (entry.d_type == DT_REG) {
        return true;
    }
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat st;
    return fstatat(dirFd, entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

// The subfolders of a folder (symbolic links to folders included) in listing order.
// Returns the error number of a failed listing, 0 when it completed; subfolders read
// before a failure are kept.
int ListSubfolders(const QString& folder, QList<SortedName>& subfolders) {
    DirStream dir(folder);
    if (!dir.isOpen()) {
        return ListingError(dir.openError());
    }
    while (const dirent* entry = dir.next()) {
        if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
            continue;
        }
        struct stat st;
        if (fstatat(dir.fd(), entry->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode)) {
            continue;
        }
        QString name = PathText(QByteArray(entry->d_name));
        QString key = name.toUpper();
        subfolders << SortedName{std::move(key), std::move(name), {st.st_dev, st.st_ino}};
    }
    SortLikeWindows(subfolders);
    return ListingError(dir.readError());
}

// The folder's path without its trailing separator, doubled separators collapsed.
QString PlainFolderPath(const QString& folder) {
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return NormalizeBackslashes(path);
}

// A drive's root is the root of a mounted file system.
bool IsDriveRoot(const QString& folder) {
    const QString path = PlainFolderPath(folder);
    return QStorageInfo(path).rootPath() == path;
}

// A drive's root always qualifies, any other folder unless it is exactly hidden and
// system (with or without being a link). Linux never sets the system bit, so here every
// folder qualifies; loops are kept out by the identity check instead.
bool FolderQualifies(const QString& folder) {
    const int bits = FileAttributes(PlainFolderPath(folder));
    if (bits != kHiddenSystemFolder && bits != kHiddenSystemLink) {
        return true;
    }
    return IsDriveRoot(folder);
}

// Removes the first entry equal to f; keeps the loop index on the entry that follows.
void RemoveFirst(QStringList& folders, const QString& f, qsizetype& index) {
    const qsizetype at = folders.indexOf(f);
    if (at < 0) {
        return;
    }
    folders.removeAt(at);
    if (at <= index) {
        --index;
    }
}

struct ScanContext {
    Dialogs& dialogs;
    // Lets the caller's user interface breathe (the window runs its event loop).
    const std::function<void()>& yield;
    NameBytes names;
    // Every folder collected so far, so a link back up the tree is not followed.
    std::set<FileId> collected;
};

// Appends the qualifying subfolders of f to fresh; returns the listing's error number.
int AddSubfolders(const QString& f, QStringList& fresh, ScanContext& ctx) {
    QList<SortedName> subfolders;
    const int failure = ListSubfolders(f, subfolders);
    for (const SortedName& sub : std::as_const(subfolders)) {
        ctx.yield();
        const QString& name = sub.name;
        if (name.size() < kMaxPath && !HasOddChars(name, ctx.names) &&
            !name.contains(QLatin1Char('?')) && name != QLatin1String(".") &&
            name != QLatin1String("..") && ctx.collected.insert(sub.id).second) {
            fresh << f + name + QLatin1Char('/');
        }
    }
    return failure;
}

void ScanLevel(QStringList& folders, bool recurse, ScanContext& ctx) {
    ErrorTrap trap(ctx.dialogs, QStringLiteral("AddFolder.GetSubDirectories2016"),
                   QString::fromLatin1(kScanProject));
    QStringList fresh;
    // Until the first listing of this call has begun, a failing statement is shown by the
    // trap; afterwards it ends the examination of its entry silently, like a failed
    // listing does.
    bool listingBegun = false;
    auto check = [&](int label, auto&& condition) -> bool {
        return listingBegun ? static_cast<bool>(condition()) : trap.Test(label, condition);
    };
    auto run = [&](int label, auto&& statement) {
        if (listingBegun) {
            statement();
        } else {
            trap.Do(label, statement);
        }
    };

    for (qsizetype i = 0; i < folders.size(); ++i) {
        const QString f = folders.at(i);
        int failure = 0;
        try {
            if (!check(100, [&] { return IsFolder(f); })) {
                continue;
            }
            if (!check(102, [&] { return f.size() < kMaxPath; })) {
                continue;
            }
            run(104, ctx.yield);
            if (!check(106, [&] { return FolderQualifies(f); })) {
                continue;
            }
            listingBegun = true;
            failure = AddSubfolders(f, fresh, ctx);
        } catch (const VbError& e) {
            failure = e.number();
        } catch (...) {
            failure = -1;
        }
        if (failure == vberr::kPermissionDenied || failure == vberr::kPathNotFound) {
            RemoveFirst(folders, f, i);
        }
    }

    if (recurse && !fresh.isEmpty()) {
        trap.Do(110, [&] { ScanLevel(fresh, true, ctx); });
    }
    for (const QString& g : std::as_const(fresh)) {
        if (trap.Test(112, [&] { return IsFolder(g); })) {
            trap.Do(114, ctx.yield);
            if (trap.Test(116, [&] { return FolderQualifies(g); })) {
                trap.Do(118, [&] { folders << g; });
            }
        }
    }
}

}  // namespace

void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs,
                           const std::function<void()>& yield, NameBytes names) {
    ScanContext ctx{dialogs, yield, names, {}};
    for (const QString& f : std::as_const(folders)) {
        struct stat st;
        if (::stat(PathBytes(f).constData(), &st) == 0) {
            ctx.collected.insert({st.st_dev, st.st_ino});
        }
    }
    ScanLevel(folders, recurse, ctx);
}

QStringList ListFolderFiles(const QString& folder, const QString& pattern, NameBytes nameBytes) {
    const QString path = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    DirStream dir(path);
    if (!dir.isOpen()) {
        return {};
    }
    const bool everyName = pattern == QLatin1String("*.*");
    const QString upperPattern = pattern.toUpper();
    QList<SortedName> found;
    while (const dirent* entry = dir.next()) {
        QString name = PathText(QByteArray(entry->d_name));
        if (nameBytes == NameBytes::ShownOnly && HoldsKeptBytes(name)) {
            continue;
        }
        QString key = name.toUpper();
        if (!everyName && !WildcardMatch(key, upperPattern)) {
            continue;
        }
        if (OpenableAt(dir.fd(), *entry)) {
            found << SortedName{std::move(key), std::move(name), {}};
        }
    }
    SortLikeWindows(found);
    QStringList names;
    names.reserve(found.size());
    for (SortedName& item : found) {
        names << std::move(item.name);
    }
    return names;
}

bool MatchesFilePattern(const QString& name, const QString& pattern) {
    return pattern == QLatin1String("*.*") || WildcardMatch(name.toUpper(), pattern.toUpper());
}

bool IsOpenableFile(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat st;
    return ::stat(PathBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasOddChars(const QString& name, NameBytes names) {
    if (names == NameBytes::ShownOnly && HoldsKeptBytes(name)) {
        return true;
    }
    for (const QChar c : name) {
        const char16_t code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 159) || code == u'?' || code == 0xFFFD) {
            return true;
        }
    }
    return false;
}
