// SPDX-License-Identifier: MIT
// "Add All File(s) In Folder": every file of one extension in a folder tree.
#include "engine/add_folder_tree.h"
#include "ui/browse_for_folder.h"
#include "engine/folder_scan.h"
#include "ui/window_progress.h"
#include "ui/form1.h"
#include "settings/settings_keys.h"
#include "util/app_title.h"
#include "util/error_trap.h"

namespace {

QString ExtensionPrompt() {
    return QStringLiteral("Enter file extension to load:") + QStringLiteral("\r\r") +
           QStringLiteral("(* for all files, txt for all txt files, doc for all doc files, etc.)");
}

}  // namespace

void Form1::PushButton3_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton3_Click"));
    QString extension;
    QString lastFolder;
    QString folder;
    QStringList folders;

    trap.Do(100, [&] {
        extension = dialogs.inputBox(
            ExtensionPrompt(), ApplicationTitle(),
            store.GetSetting(QString::fromLatin1(key::kExtension), QStringLiteral("*")));
    });
    if (trap.Test(102, [&] { return !extension.isEmpty(); })) {
        trap.Do(102, [&] { store.SaveSetting(QString::fromLatin1(key::kExtension), extension); });
    }
    if (trap.Test(104, [&] { return extension.isEmpty(); })) {
        return;
    }
    trap.Do(106, [&] {
        lastFolder = store.GetSetting(QString::fromLatin1(key::kLastFolder), QString());
    });
    trap.Do(108, [&] {
        folder = BrowseForFolder(dialogs, QStringLiteral("Please select folder:"), lastFolder);
    });
    if (trap.Test(110, [&] { return folder.isEmpty(); })) {
        return;
    }
    trap.Do(112, [&] { store.SaveSetting(QString::fromLatin1(key::kLastFolder), folder); });
    trap.Do(114, [&] { SetMousePointer(kPointerBusy); });
    trap.Do(116, [&] { folders << folder + QLatin1Char('/'); });
    trap.Do(118, [&] { GetSubDirectories2016(folders, true, dialogs, YieldToWindow); });
    AddFolderTreeFiles(trap, 120, folders, QStringLiteral("*.") + extension,
                       AddToList(*ListView1), YieldToWindow);
    trap.Do(132, [&] { SetMousePointer(kPointerDefault); });
}
