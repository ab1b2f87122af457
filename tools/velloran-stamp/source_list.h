// SPDX-License-Identifier: MIT
#pragma once

#include "engine/listed_sources.h"

#include <QByteArray>
#include <cstdio>
#include <vector>

// The sources of the operands in order: a folder is scanned, "-" stands for the paths
// read from `input` (one per line, or NUL-separated with `nulSeparated`; empty entries
// are left out; a folder among them is scanned too), anything else is one source, even
// when it does not exist (the run reports it).
std::vector<ListedSource> CollectSources(const std::vector<QByteArray>& operands, bool nulSeparated,
                                         std::FILE* input, const FolderScan& scan);
