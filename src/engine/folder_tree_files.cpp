// SPDX-License-Identifier: MIT
#include "engine/folder_tree_files.h"

#include "engine/add_folder_tree.h"
#include "util/error_trap.h"

QStringList FolderTreeFiles(const QString& named, const QString& pattern, NameBytes names,
                            QList<StepFailure>* problems) {
    // The window's folder browser gives folders without a trailing separator.
    QString folder = named;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    CollectingDialogs dialogs;
    QStringList folders{folder == QLatin1String("/") ? folder : folder + QLatin1Char('/')};
    GetSubDirectories2016(
        folders, true, dialogs, [] {}, names);
    QStringList files;
    ErrorTrap trap(dialogs, QStringLiteral("FolderTreeFiles"));
    AddFolderTreeFiles(
        trap, 120, folders, pattern, [&](const QString& path) { files << path; }, [] {}, names);
    if (problems != nullptr) {
        *problems << dialogs.failures();
    }
    return files;
}
