// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class Dialogs;

// Shows the folder browser with a prompt, preselecting initialFolder. Returns the
// chosen folder, or "" when the user cancelled or chose something that is not a folder.
QString BrowseForFolder(Dialogs& dialogs, const QString& prompt, const QString& initialFolder);
