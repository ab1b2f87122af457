// SPDX-License-Identifier: MIT
#pragma once

#include "engine/run_planned_sources.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

// Scans a folder and its subfolders the way the window's "Add All File(s) In Folder" does;
// returns the paths in the window's order.
using FolderScan = std::function<QStringList(const QString& folder)>;

// The sources of the operands in order: a folder is scanned, "-" stands for the paths
// read from `input` (one per line, or NUL-separated with `nulSeparated`; empty entries
// are left out; a folder among them is scanned too), anything else is one source, even
// when it does not exist (the run reports it).
std::vector<ListedSource> CollectSources(const std::vector<QByteArray>& operands, bool nulSeparated,
                                   std::FILE* input, const FolderScan& scan);

// The full path of a path named relative to the working folder, with "." parts and
// doubled separators removed (".." is kept: it may cross a symbolic link).
QByteArray AbsolutePath(const QByteArray& path);
