// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The user's private temporary folder: $TEMP when set, else velloran-<uid> inside the
// system temporary folder, created with mode 0700. Throws VbError when the folder is a
// symbolic link or is owned by someone else, and closes it to other users, because fixed file
// names in a shared folder would let another user plant or redirect files.
QString PrivateTempFolder();

// The same checks on a given folder, creating it when missing.
QString EnsurePrivateFolder(const QString& path);
