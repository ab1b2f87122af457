// SPDX-License-Identifier: MIT
#pragma once

#include "engine/run_planned_sources.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Walks a folder and its subfolders, returning the pictures' paths in the order they are
// listed (FolderTreeFiles with a program's own filter).
using FolderScan = std::function<QStringList(const QString& folder)>;

// The sources of a list of names in order: a folder is walked, anything else is one source,
// even when it does not exist (its road reports it). Each source's full path is kept, and
// for a walked one the folder it was found below.
std::vector<ListedSource> ListSources(const std::vector<QByteArray>& names, const FolderScan& scan);
