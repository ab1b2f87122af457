// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The user's private temporary folder: velloran-<uid> inside $TEMP when that is set, else
// inside the system temporary folder, created with mode 0700. Fixed file names in a shared
// folder would let another user plant or redirect files, so anything but a real folder of
// the user closed to everyone else is refused with VbError; nothing is ever chmod-ed.
QString PrivateTempFolder();

// The same checks on a given folder, creating it (mode 0700) when missing.
QString EnsurePrivateFolder(const QString& path);

// Throws VbError when a folder path is empty: a path built from it would name a file in
// the root folder.
void RequireFolder(const QString& folder);
