// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The files "Add All File(s) In Folder" lists for a folder and an extension ("*" for
// every file), in the same order, through the engine's scan. The scan's own error
// messages are appended to `problems`. A file whose name is not UTF-8 is not found by
// the scan (the window lists none either); name it directly or through "-".
std::vector<QByteArray> ScanFolderLikeWindow(const QByteArray& folder, const QString& extension,
                                             QStringList* problems);
