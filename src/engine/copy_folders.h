// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Makes the folders `relative` ("100CANON/raw") below `outputFolder` that a mirrored copy
// goes into, one at a time through the folder before it, so a name swapped in between is
// never followed. A link on the way is followed only when the user or root owns it; a
// link of another user is refused. Throws VbError 75 with the reason.
void MakeCopyFolders(const QString& outputFolder, const QString& relative);
