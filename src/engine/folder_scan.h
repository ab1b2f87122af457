// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Dialogs;

// Which names a scan lists. Linux names need not be UTF-8; the window lists only names it
// can show, a program that names files by their bytes lists them all (their paths carry
// the bytes, see PathText).
enum class NameBytes { ShownOnly, Any };

// Folder-tree scanning for the file list: the folder collection, one folder's file
// names, and the tests the scan applies to names and paths.

// Extends the folder collection in place, breadth first, with every qualifying folder
// below its entries (each entry ends with "/"; descendants are stored as their
// parent's entry + name + "/"). A folder whose subfolder listing is denied or whose
// path has vanished is removed from the collection. A folder already in the
// collection (same device and inode, e.g. through a symbolic link to an ancestor) is
// never added a second time. Calls `yield` (the window passes its event loop) once per
// folder examined, once per subfolder seen and once per folder appended. Errors outside
// the listing are shown by its own error trap ("AddFolder.GetSubDirectories2016").
// Without `yield` nothing else runs during the scan.
void GetSubDirectories2016(
    QStringList& folders, bool recurse, Dialogs& dialogs,
    const std::function<void()>& yield = [] {}, NameBytes names = NameBytes::ShownOnly);

// Names (no folder) of the openable files of one folder that match a wildcard pattern
// such as "*.jpg" or "*.*", hidden files included, in the order a Windows folder lists
// them (upper-cased names compared code by code). "*.*" matches every name; other
// patterns compare without regard to case, "*" standing for any run of characters
// and "?" for one. Empty when there are none or the folder cannot be listed.
QStringList ListFolderFiles(const QString& folder, const QString& pattern,
                            NameBytes names = NameBytes::ShownOnly);

// True when a name matches such a pattern, as ListFolderFiles decides.
bool MatchesFilePattern(const QString& name, const QString& pattern);

// True exactly for an existing regular file (after following links). Nothing is
// opened, so FIFOs, sockets and devices can never block or be disturbed.
bool IsOpenableFile(const QString& path);

// True when a name holds a control character (below 32 or 127-159), a "?", a U+FFFD or a
// byte that is not valid UTF-8 (kept by PathText); with NameBytes::Any such bytes are
// not odd.
bool HasOddChars(const QString& name, NameBytes names = NameBytes::ShownOnly);
