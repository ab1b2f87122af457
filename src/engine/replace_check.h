// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// True when writing the copy of `source` into `outputFolder` (under the source's file
// name) would replace the source itself: both exist and name the same file after links
// are resolved.
bool ReplacesSource(const QString& source, const QString& outputFolder);

// True when any of the sources would be replaced by its copy; the window asks before a
// run that would overwrite originals.
bool AnyReplacesSource(const QStringList& sources, const QString& outputFolder);
