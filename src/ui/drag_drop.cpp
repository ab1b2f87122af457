// SPDX-License-Identifier: MIT
// Files and folders dropped onto the file list.
#include "engine/add_folder_tree.h"
#include "ui/file_list_view.h"
#include "engine/folder_scan.h"
#include "ui/window_progress.h"
#include "ui/form1.h"
#include "util/error_trap.h"
#include "util/paths.h"

void Form1::ListView1_OLEDragDrop(const QStringList& paths) {
    // The trap reports a failure inside a dropped folder's scan and lets the drop go on,
    // so the entries added so far stay and the program keeps running.
    ErrorTrap trap(dialogs, QStringLiteral("Form1.ListView1_OLEDragDrop"));
    for (const QString& p : paths) {
        // Only a path found as a folder is scanned; anything else, even a path that is
        // gone by now, is appended as delivered.
        if (trap.Test(100, [&] { return IsFolder(p); })) {
            QStringList folders;
            trap.Do(102, [&] { folders << p + QLatin1Char('/'); });
            trap.Do(104, [&] { GetSubDirectories2016(folders, true, dialogs, YieldToWindow); });
            AddFolderTreeFiles(trap, 106, folders, QStringLiteral("*.*"), AddToList(*ListView1),
                               YieldToWindow);
        } else {
            trap.Do(118, [&] { ListView1->Add(p); });
        }
    }
}
