// SPDX-License-Identifier: MIT
#pragma once

#include "engine/collecting_dialogs.h"
#include "engine/folder_scan.h"

#include <QList>
#include <QString>
#include <QStringList>

// The files "Add All File(s) In Folder" adds for a folder and its subfolders, in the same
// order, by the same rules, for a program without a window: the folder walk of
// GetSubDirectories2016 and AddFolderTreeFiles. `pattern` as there ("*.jpg", "*.*"); with
// NameBytes::Any names that are not UTF-8 are listed too (their paths carry their bytes).
// What the walk could not read goes to `problems`, when given.
QStringList FolderTreeFiles(const QString& folder, const QString& pattern, NameBytes names,
                            QList<StepFailure>* problems);
