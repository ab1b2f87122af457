// SPDX-License-Identifier: MIT
#include "ui/browse_for_folder.h"

#include "util/dialogs.h"
#include "util/paths.h"

QString BrowseForFolder(Dialogs& dialogs, const QString& prompt, const QString& initialFolder) {
    const QString folder = dialogs.browseForFolder(prompt, initialFolder);
    if (folder.isEmpty() || !IsFolder(folder)) {
        return QString();
    }
    return folder;
}
