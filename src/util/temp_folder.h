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

// A work folder of this run inside the private folder `parent` (PrivateTempFolder()):
// "<prefix>-<tag>", the tag naming this process as a temporary result's name does
// (writer_tag.h), so a later run can tell that the run which made it has ended. Made with
// mode 0700 by mkdirat, never taken over when something stands there. Throws VbError.
QString MakeWorkFolder(const QString& parent, const QByteArray& prefix);

// Removes from the private folder `parent` the work folders "<prefix>-<tag>" whose run has
// ended (this machine since its start, this pid namespace, a process that no longer runs),
// with what they hold. Only what such a run could have made goes: folders, files and links
// of the user on the work folder's own file system, each through the descriptor of its
// folder and never through a link; anything else stays, and so does the folder holding
// it. Other names, however alike, stay. Returns how many work folders went.
int SweepEndedWorkFolders(const QString& parent, const QByteArray& prefix);

// Removes a work folder of this run, made by MakeWorkFolder, the same way.
void RemoveWorkFolder(const QString& path);
