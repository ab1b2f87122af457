// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <functional>
#include <vector>

// One picture to stamp, its path in its own bytes: Linux file names need not be UTF-8.
struct Source {
    QByteArray given;     // as named on the command line, on standard input or by a scan
    QByteArray absolute;  // the full path, which the file-name modes stamp
    int position = 0;     // 1-based place in the whole list, before sharding
};

// Scans a folder and its subfolders the way the window's "Add All File(s) In Folder"
// does, for files matching "*." + extension; returns their paths in the window's order.
using FolderScan =
    std::function<std::vector<QByteArray>(const QByteArray& folder, const QString& extension)>;

// The sources of the operands in order: a folder is scanned, "-" stands for the paths
// read from `input` (one per line, or NUL-separated with `nulSeparated`; empty entries
// are left out; a folder among them is scanned too), anything else is one source, even
// when it does not exist (the run reports it).
std::vector<Source> CollectSources(const std::vector<QByteArray>& operands, bool nulSeparated,
                                   const QString& extension, std::FILE* input,
                                   const FolderScan& scan);

// The full path of a path named relative to the working folder, with "." parts and
// doubled separators removed (".." is kept: it may cross a symbolic link).
QByteArray AbsolutePath(const QByteArray& path);

// True when the bytes are a name Qt carries unchanged (valid UTF-8 without NUL).
bool RoundTrips(const QByteArray& path);
