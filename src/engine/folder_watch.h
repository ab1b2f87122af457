// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// What a FolderWatch looks for and how long a picture must rest before it is handed on.
struct FolderWatchOptions {
    // Extensions without the dot ("jpg", "heic"), compared without regard to case; an
    // empty list takes every name.
    QStringList extensions;
    // Folders whose trees are never watched (the output folder when it lies inside a
    // watched tree, or every copy would be handed back as a new picture). Compared by
    // device and inode, so any spelling of the folder works; each must exist when the
    // watch starts.
    QStringList skipFolders;
    // How long a file's size and modification time must stay unchanged, with no write
    // seen, before it is complete.
    int settleMs = 400;
    // Most files waiting for their settle time at once; more are reported and left out.
    int maxWaiting = 65536;
    // Most folders watched at once; more are reported and left out.
    int maxFolders = 65536;
};

// Something the watch could not do: the path (as PathText gives it) and a sentence.
struct FolderWatchProblem {
    QString path;
    QString message;
};

// Watches folder trees (each given folder, every subfolder in it, and every subfolder
// created or moved in later) and hands each new picture once it is complete: closed after
// writing or moved in, then unchanged for the settle time, so a writer that closes and
// reopens (a tethered camera, a copy in chunks) never yields half a file. Files already
// there when the watch starts are not handed: create the watch before stamping what is
// there, so nothing arriving in between is missed. A picture handed was written or moved
// in after the watch started, so stamp it even when its copy exists: that copy may have
// been made from the half-written file the first pass found.
//
// Left out, as by the window's folder scan: names beginning with "~" and writable
// dot-files, which covers the temporary names our own writers use (".velloran-...");
// these are also left out whatever their permissions. Only regular files are handed. A
// symbolic link to a folder is followed only when the folder belongs to the user. When
// the kernel's event queue overflows, the trees are listed again and every file changed
// since the last events read is handed (some perhaps a second time). A folder moved
// within the trees arrives as a new one: its pictures are handed again under their new
// paths. A file that only appears (a hard link, with no write and no rename) is not seen.
//
// Paths are full paths, built from the given folder's text; names that are not UTF-8 are
// carried losslessly (PathText). Not thread-safe: one thread calls Next.
//
//     FolderWatch watch(folders, options);
//     while (!StopRequested()) {
//         if (const std::optional<QString> path = watch.Next(150)) { stamp(*path); }
//         for (const FolderWatchProblem& p : watch.TakeProblems()) { report(p); }
//     }
class FolderWatch {
public:
    // Starts watching at once. A folder that cannot be watched is reported through
    // TakeProblems(); Watching() tells whether anything is watched at all.
    explicit FolderWatch(const QStringList& folders, FolderWatchOptions options = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // The next complete picture, waiting at most timeoutMs for one (0: only what is ready
    // now). Returns nothing when the time ran out or a signal interrupted the wait, so a
    // caller that polls a stop flag between calls ends within its timeout.
    std::optional<QString> Next(int timeoutMs);

    // True while at least one folder is watched; a caller may end its loop when every
    // given folder was removed or moved away.
    bool Watching() const;

    // The problems met since the last call, oldest first (at most a few hundred are kept;
    // the last one then says how many more there were).
    QList<FolderWatchProblem> TakeProblems();

private:
    struct State;
    std::unique_ptr<State> state_;
};
