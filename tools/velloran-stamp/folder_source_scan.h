// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The files "Add All File(s) In Folder" lists for a folder and an extension ("*" for
// every file), in the same order, through the engine's scan, followed by the files the
// window cannot list because their names, or their folders' names, are not UTF-8. The
// scan's own error messages are appended to `problems`.
std::vector<QByteArray> ScanFolderLikeWindow(const QByteArray& folder, const QString& extension,
                                             QStringList* problems);
