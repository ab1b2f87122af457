// SPDX-License-Identifier: MIT
#include "undecodable_name_scan.h"

#include "engine/folder_scan.h"
#include "source_list.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <set>
#include <utility>

namespace {

using FolderId = std::pair<dev_t, ino_t>;

struct Listing {
    std::vector<QByteArray> files;    // names, in byte order
    std::vector<QByteArray> folders;  // names, in byte order
};

// The names of one folder's entries, split into files and folders after following links.
// With `allNames` false only names that are not UTF-8 are taken: the window's scan
// handled the others.
Listing ListFolder(const QByteArray& folder, bool allNames) {
    Listing listing;
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return listing;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == ".." || (!allNames && RoundTrips(name))) {
            continue;
        }
        struct stat st {};
        if (::stat((folder + name).constData(), &st) != 0) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            listing.folders.push_back(name);
        } else if (S_ISREG(st.st_mode)) {
            listing.files.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(listing.files.begin(), listing.files.end());
    std::sort(listing.folders.begin(), listing.folders.end());
    return listing;
}

// The window leaves out "~" names and dot-files the user may write (hidden, not
// read-only, not a link).
bool WindowLeavesOut(const QByteArray& name, const QByteArray& path) {
    if (name.startsWith('~')) {
        return true;
    }
    struct stat st {};
    return name.startsWith('.') && ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.constData(), W_OK) == 0;
}

}  // namespace

std::vector<QByteArray> ScanUndecodableNames(const std::vector<QByteArray>& scannedFolders,
                                             const QString& pattern) {
    std::set<FolderId> seen;
    for (const QByteArray& folder : scannedFolders) {
        struct stat st {};
        if (::stat(folder.constData(), &st) == 0) {
            seen.insert({st.st_dev, st.st_ino});
        }
    }
    std::vector<QByteArray> found;
    std::deque<QByteArray> below;  // folders the window never entered
    auto take = [&](const QByteArray& folder, const Listing& listing) {
        for (const QByteArray& name : listing.files) {
            const QByteArray path = folder + name;
            if (MatchesFilePattern(QString::fromUtf8(name), pattern) &&
                !WindowLeavesOut(name, path)) {
                found.push_back(path);
            }
        }
        for (const QByteArray& name : listing.folders) {
            struct stat st {};
            const QByteArray path = folder + name + '/';
            if (::stat(path.constData(), &st) == 0 && seen.insert({st.st_dev, st.st_ino}).second) {
                below.push_back(path);
            }
        }
    };
    for (const QByteArray& folder : scannedFolders) {
        take(folder, ListFolder(folder, false));
    }
    // Every folder is taken once (the seen set), so the walk ends on any tree.
    while (!below.empty()) {
        const QByteArray folder = std::move(below.front());
        below.pop_front();
        take(folder, ListFolder(folder, true));
    }
    return found;
}
